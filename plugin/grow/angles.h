// The turns about X and then Z that tilt an upright blade toward a polygon's normal.
#pragma once

namespace tuft {

struct Alignment {
    double aboutX; // degrees
    double aboutZ; // degrees
};

Alignment alignmentFromNormal(const double (&normal)[3]);

} // namespace tuft
