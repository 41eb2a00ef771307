// Sine and cosine that give the same bits on every platform. The C libraries differ in
// the last bit (glibc rounds correctly, mingw-w64 uses the x87 unit), and a turned blade
// must come out the same on Linux and Windows. Built of IEEE additions and
// multiplications only, with the classic Cody-Waite reduction by pi/2 in three parts
// and the minimax polynomials of Sun's freely distributable libm: within one unit in
// the last place of the true value.
#pragma once

namespace tuft::host {

double portableSin(double radians);
double portableCos(double radians);

} // namespace tuft::host
