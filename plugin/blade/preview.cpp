#include "blade/tables.h"

#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>

#include <initializer_list>

namespace tuft {

double g_sampleTable[kSampleRows][3];
float g_uvTable[kUvPairs][2];
int g_storedDivision = 5;

void storeDivision(int division) { g_storedDivision = clampDivision(division); }

namespace {

constexpr double kScale = 0.9;
double g_sampleStep;

void drawControlPolygon(int across, int up)
{
    glColor3d(0.5, 0.5, 0.5);
    for (GLenum mode : {GLenum(GL_LINE_STRIP), GLenum(GL_POINTS)}) {
        glBegin(mode);
        for (int point = 0; point < 3; ++point)
            glVertex2d(kScale * g_curve[3 * point + across], kScale * g_curve[3 * point + up]);
        glEnd();
    }
}

void drawSideView()
{
    g_sampleStep = 1.0 / g_storedDivision;
    drawControlPolygon(kZ1, kY1);
    glColor3d(0.0, 1.0, 0.0);
    glBegin(GL_LINE_STRIP);
    for (double t = 0.0; t <= 1.0; t += g_sampleStep) {
        const Point3 p = evaluateCurve(g_curve, t);
        glVertex2d(kScale * p.z, kScale * p.y);
    }
    glEnd();
    glBegin(GL_POINTS);
    for (double t = 0.0; t < 1.0; t += g_sampleStep) {
        const Point3 p = evaluateCurve(g_curve, t);
        glVertex2d(kScale * p.z, kScale * p.y);
    }
    glEnd();
}

void drawFrontView()
{
    drawControlPolygon(kX1, kY1);
    glColor3d(0.0, 1.0, 0.0);
    glBegin(GL_LINE_STRIP);
    int samples = 0;
    for (double t = 0.0; t <= 1.0 && samples < kSampleRows; t += g_sampleStep, ++samples) {
        const Point3 p = evaluateCurve(g_curve, t);
        g_sampleTable[samples][0] = p.x;
        g_sampleTable[samples][1] = p.y;
        g_uvTable[samples][0] = static_cast<float>(p.x);
        g_uvTable[samples][1] = static_cast<float>(p.y);
        glVertex2d(kScale * p.x, kScale * p.y);
    }
    glEnd();
    glBegin(GL_POINTS);
    for (double t = 0.0; t <= 1.0; t += g_sampleStep) {
        const Point3 p = evaluateCurve(g_curve, t);
        glVertex2d(kScale * p.x, kScale * p.y);
    }
    glEnd();
    // The outline mirrored to -x, from the samples just stored.
    glColor3d(0.0, 1.0, 0.0);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i <= g_storedDivision && samples + i < kUvPairs; ++i) {
        const double x = g_sampleTable[i][0];
        const double y = g_sampleTable[i][1];
        g_uvTable[samples + i][0] = static_cast<float>(-x);
        g_uvTable[samples + i][1] = static_cast<float>(y);
        glVertex2d(-kScale * x, kScale * y);
    }
    glEnd();
}

} // namespace

void drawPreview()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3d(1.0, 1.0, 1.0);
    glPointSize(2.0f);
    glViewport(0, 0, 250, 250);
    drawSideView();
    glViewport(250, 0, 250, 250);
    drawFrontView();
    glFlush();
}

} // namespace tuft
