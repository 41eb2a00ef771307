#include "plugin/blade/preview.h"

#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>

#include <initializer_list>

namespace tuft {

void storeDivision(BladeShape &shape, int division) { shape.division = clampDivision(division); }

namespace {

constexpr double kScale = 0.9;

void drawControlPolygon(const double (&curve)[kCurveCoordinates], int across, int up)
{
    glColor3d(0.5, 0.5, 0.5);
    for (GLenum mode : {GLenum(GL_LINE_STRIP), GLenum(GL_POINTS)}) {
        glBegin(mode);
        for (int point = 0; point < 3; ++point)
            glVertex2d(kScale * curve[3 * point + across], kScale * curve[3 * point + up]);
        glEnd();
    }
}

void drawSideView(const BladeShape &shape, double step)
{
    drawControlPolygon(shape.curve, kZ1, kY1);
    glColor3d(0.0, 1.0, 0.0);
    glBegin(GL_LINE_STRIP);
    for (double t = 0.0; t <= 1.0; t += step) {
        const Point3 p = evaluateCurve(shape.curve, t);
        glVertex2d(kScale * p.z, kScale * p.y);
    }
    glEnd();
    glBegin(GL_POINTS);
    for (double t = 0.0; t < 1.0; t += step) {
        const Point3 p = evaluateCurve(shape.curve, t);
        glVertex2d(kScale * p.z, kScale * p.y);
    }
    glEnd();
}

void drawFrontView(BladeShape &shape, double step)
{
    PreviewTables &tables = shape.tables;
    drawControlPolygon(shape.curve, kX1, kY1);
    glColor3d(0.0, 1.0, 0.0);
    glBegin(GL_LINE_STRIP);
    int samples = 0;
    for (double t = 0.0; t <= 1.0 && samples < kSampleRows; t += step, ++samples) {
        const Point3 p = evaluateCurve(shape.curve, t);
        tables.samples[samples][0] = p.x;
        tables.samples[samples][1] = p.y;
        tables.uvs[samples][0] = static_cast<float>(p.x);
        tables.uvs[samples][1] = static_cast<float>(p.y);
        glVertex2d(kScale * p.x, kScale * p.y);
    }
    glEnd();
    glBegin(GL_POINTS);
    for (double t = 0.0; t <= 1.0; t += step) {
        const Point3 p = evaluateCurve(shape.curve, t);
        glVertex2d(kScale * p.x, kScale * p.y);
    }
    glEnd();
    // The outline mirrored to -x, from the samples just stored.
    glColor3d(0.0, 1.0, 0.0);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i <= shape.division && samples + i < kUvPairs; ++i) {
        const double x = tables.samples[i][0];
        const double y = tables.samples[i][1];
        tables.uvs[samples + i][0] = static_cast<float>(-x);
        tables.uvs[samples + i][1] = static_cast<float>(y);
        glVertex2d(-kScale * x, kScale * y);
    }
    glEnd();
}

} // namespace

void drawPreview(BladeShape &shape)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3d(1.0, 1.0, 1.0);
    glPointSize(2.0f);
    // The side view sets the sample step and the front view reuses it.
    const double step = 1.0 / shape.division;
    glViewport(0, 0, 250, 250);
    drawSideView(shape, step);
    glViewport(250, 0, 250, 250);
    drawFrontView(shape, step);
    glFlush();
}

} // namespace tuft
