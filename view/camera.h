// Where a picture is seen from: a perspective camera that frames the scene's bounds.
#pragma once

#include <string>

namespace tuft::view {

struct Camera {
    double azimuth = 35;   // degrees about the up axis, from +Z toward +X
    double elevation = 30; // degrees above the ground
    double distance = 0;   // from the bounds' centre; 0: as far as frames them
    bool top = false;      // straight down, +X to the right and +Z down the picture
    // What a person does in a viewport: the distance times `zoom`, and the point looked
    // at moved across the view by `pan` (in units of the object's size).
    double zoom = 1;
    double pan[2] = {0, 0};
};

// "AZIMUTH,ELEVATION[,DISTANCE]" in degrees, or "top"; throws std::invalid_argument
// saying what is wrong.
Camera parseCamera(const std::string &text);

// The matrices of a camera framing the bounds, column-major as OpenGL takes them.
struct View {
    double projection[16];
    double modelView[16];
    double eye[3];
};
View frame(const Camera &camera, const float (&low)[3], const float (&high)[3], double aspect);

} // namespace tuft::view
