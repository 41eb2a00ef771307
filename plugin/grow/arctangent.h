// atan2 that gives the same bits on every platform (the C libraries differ in the last
// bit, and the blades on a polygon must stand the same on Linux and Windows). IEEE
// additions, multiplications and divisions only, after the reduction and minimax
// polynomial of Sun's freely distributable libm: within one unit in the last place.
#pragma once

namespace tuft {

double portableAtan2(double y, double x);

} // namespace tuft
