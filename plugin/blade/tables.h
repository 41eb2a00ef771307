// What the preview leaves for the blade template: samples and UV values of the last draw.
#pragma once

#include "blade/curve.h"

namespace tuft {

constexpr int kSampleRows = kMaxDivision + 1;
constexpr int kUvPairs = 2 * kMaxDivision + 2;

extern double g_sampleTable[kSampleRows][3];
extern float g_uvTable[kUvPairs][2];

// Division the preview draws with and the next panel opens with; always 1..8.
extern int g_storedDivision;
// Stores a Division, clamped to 1..8, so that nothing out of range reaches the tables.
void storeDivision(int division);

// Draws the side and front views of the curve into the current OpenGL context and
// refills the sample and UV tables.
void drawPreview();

// Builds the blade in the active layer from the curve and the panel's blade options.
void buildBladeTemplate();

} // namespace tuft
