// What the planting modes share: the random state, the blade transfer and the monitor.
#pragma once

#include "grow/random.h"

namespace tuft {

extern RandomSource g_random;

// Seeds the random state from the C library's clock.
void seedFromClock();

// SETLAYER template, COPY, SETLAYER work, PASTE: the work layer holds one fresh copy.
void bladeIntake();
// CUT, SETLAYER current, PASTE: the transformed copy joins the current layer.
void bladeHandOver();
enum class Disposal { kCut, kDelete };
// Empties the template layer and makes the current layer active again.
void disposeTemplate(Disposal disposal);

void openMonitor(const char *title, const char *caption, unsigned total);
void stepMonitor();
void closeMonitor();

// The options every mode reads at its start.
RunValues readRunValues();

} // namespace tuft
