// The three planting modes. Each seeds the random source, plants blade after blade
// through the blade transfer, then empties the template layer.
#pragma once

namespace tuft {

void plantGround();
void plantPoints(const double (*positions)[3], int count, const float *weights);
void plantPolygons(int count);

} // namespace tuft
