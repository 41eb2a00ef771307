#include "plugin/grow/angles.h"

#include "plugin/grow/arctangent.h"

namespace tuft {

namespace {

double degrees(double radians) { return radians * 180 / 3.141592653589793; }

} // namespace

Alignment alignmentFromNormal(const double (&normal)[3])
{
    const double nx = normal[0];
    const double ny = normal[1];
    const double nz = normal[2];
    if (ny < 0)
        return {180 - degrees(portableAtan2(-nz, -ny)), -degrees(portableAtan2(nx, -ny))};
    return {-degrees(portableAtan2(nz, ny)), -degrees(portableAtan2(-nx, ny))};
}

} // namespace tuft
