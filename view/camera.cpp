#include "view/camera.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tuft::view {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFieldOfView = 35; // degrees, vertical

double radians(double degrees) { return degrees * kPi / 180; }

void normalize(double (&v)[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (double &c : v)
        c /= length;
}

// The camera's view of a box from a direction: the point looked at and the distance to
// it, so that every corner shows with a small margin and the box sits in the middle of
// the picture whatever its shape.
struct Fit {
    double target[3];
    double distance;
};

// Where along one of the picture's axes to look so that a box's picture is centred on
// it at `distance`: the corners' projections, (c - t) / (distance - depth), as far out on
// one side as on the other. They move the other way as t grows, so halving finds it.
double centring(const double (&along)[8], const double (&depth)[8], double distance, double a)
{
    double low = -1e300, high = 1e300;
    for (int i = 0; i < 8; ++i) {
        low = std::max(low, along[i] - a * (distance - depth[i]));
        high = std::min(high, along[i] + a * (distance - depth[i]));
    }
    const auto lopsided = [&](double t) {
        double most = -1e300, least = 1e300;
        for (int i = 0; i < 8; ++i) {
            const double projected = (along[i] - t) / (distance - depth[i]);
            most = std::max(most, projected), least = std::min(least, projected);
        }
        return most + least;
    };
    for (int step = 0; step < 100 && low < high; ++step) {
        const double middle = (low + high) / 2;
        (lopsided(middle) > 0 ? low : high) = middle;
    }
    return (low + high) / 2;
}

Fit fitBox(const float (&low)[3], const float (&high)[3], const double (&right)[3], const double (&up)[3],
           const double (&back)[3], double halfWidth, double halfHeight)
{
    constexpr double kFill = 0.92;
    const double centre[3] = {(low[0] + high[0]) / 2.0, (low[1] + high[1]) / 2.0, (low[2] + high[2]) / 2.0};
    double x[8], y[8], z[8];
    for (int corner = 0; corner < 8; ++corner) {
        x[corner] = y[corner] = z[corner] = 0;
        for (int i = 0; i < 3; ++i) {
            const double c = ((corner >> i) & 1 ? high[i] : low[i]) - centre[i];
            x[corner] += c * right[i];
            y[corner] += c * up[i];
            z[corner] += c * back[i];
        }
    }
    // A corner shows when -a <= (c - t) / (D - z) <= a; some t serves every corner of an
    // axis once D reaches (max(c + a z) - min(c - a z)) / 2a.
    const double a[2] = {kFill * halfWidth, kFill * halfHeight};
    const double *along[2] = {x, y};
    Fit fit{{}, 1e-3};
    for (int axis = 0; axis < 2; ++axis) {
        double most = -1e300, least = 1e300;
        for (int i = 0; i < 8; ++i) {
            most = std::max(most, along[axis][i] + a[axis] * z[i]);
            least = std::min(least, along[axis][i] - a[axis] * z[i]);
            fit.distance = std::max(fit.distance, z[i] * 1.001);
        }
        fit.distance = std::max(fit.distance, (most - least) / (2 * a[axis]));
    }
    const double shiftX = centring(x, z, fit.distance, a[0]), shiftY = centring(y, z, fit.distance, a[1]);
    for (int i = 0; i < 3; ++i)
        fit.target[i] = centre[i] + shiftX * right[i] + shiftY * up[i];
    return fit;
}

} // namespace

Camera parseCamera(const std::string &text)
{
    Camera camera;
    if (text == "top") {
        camera.top = true;
        camera.elevation = 90;
        camera.azimuth = 0;
        return camera;
    }
    std::vector<double> values;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        std::size_t used = 0;
        double value = 0;
        try {
            value = std::stod(part, &used);
        } catch (const std::exception &) {
            used = 0;
        }
        if (used == 0 || used != part.size() || !std::isfinite(value))
            throw std::invalid_argument("\"" + part + "\" is not a number");
        values.push_back(value);
    }
    if (values.size() < 2 || values.size() > 3)
        throw std::invalid_argument("expected AZIMUTH,ELEVATION[,DISTANCE] in degrees, or top");
    if (values[1] < -89 || values[1] > 89)
        throw std::invalid_argument("the elevation must be within -89 and 89 degrees (top looks straight down)");
    if (values.size() == 3 && values[2] <= 0)
        throw std::invalid_argument("the distance must be above 0");
    camera.azimuth = values[0];
    camera.elevation = values[1];
    camera.distance = values.size() == 3 ? values[2] : 0;
    return camera;
}

View frame(const Camera &camera, const float (&low)[3], const float (&high)[3], double aspect)
{
    const double extent[3] = {double(high[0]) - low[0], double(high[1]) - low[1], double(high[2]) - low[2]};
    const double radius =
        std::max(1e-3, 0.5 * std::sqrt(extent[0] * extent[0] + extent[1] * extent[1] + extent[2] * extent[2]));
    const double halfHeight = std::tan(radians(kFieldOfView) / 2);
    const double halfWidth = halfHeight * aspect;
    double toEye[3] = {std::cos(radians(camera.elevation)) * std::sin(radians(camera.azimuth)),
                       std::sin(radians(camera.elevation)),
                       std::cos(radians(camera.elevation)) * std::cos(radians(camera.azimuth))};
    double up[3] = {0, 1, 0};
    if (camera.top) {
        toEye[0] = 0, toEye[1] = 1, toEye[2] = 0;
        up[0] = 0, up[1] = 0, up[2] = -1;
    }
    View view{};
    // A look-at matrix: the camera's right, up and back axes as rows.
    double back[3] = {toEye[0], toEye[1], toEye[2]};
    normalize(back);
    double right[3] = {up[1] * back[2] - up[2] * back[1], up[2] * back[0] - up[0] * back[2],
                       up[0] * back[1] - up[1] * back[0]};
    normalize(right);
    const double trueUp[3] = {back[1] * right[2] - back[2] * right[1], back[2] * right[0] - back[0] * right[2],
                              back[0] * right[1] - back[1] * right[0]};
    const Fit fit = fitBox(low, high, right, trueUp, back, halfWidth, halfHeight);
    const double distance = camera.zoom * (camera.distance > 0 ? camera.distance : fit.distance);
    double target[3];
    for (int i = 0; i < 3; ++i) {
        target[i] = fit.target[i] + radius * (camera.pan[0] * right[i] + camera.pan[1] * trueUp[i]);
        view.eye[i] = target[i] + toEye[i] * distance;
    }
    double *m = view.modelView;
    std::fill_n(m, 16, 0.0);
    for (int i = 0; i < 3; ++i) {
        m[4 * i + 0] = right[i];
        m[4 * i + 1] = trueUp[i];
        m[4 * i + 2] = back[i];
    }
    m[12] = -(right[0] * view.eye[0] + right[1] * view.eye[1] + right[2] * view.eye[2]);
    m[13] = -(trueUp[0] * view.eye[0] + trueUp[1] * view.eye[1] + trueUp[2] * view.eye[2]);
    m[14] = -(back[0] * view.eye[0] + back[1] * view.eye[1] + back[2] * view.eye[2]);
    m[15] = 1;
    // The target is within the box, so nothing of it is farther from the target than its diameter.
    const double reach = radius * (2 + std::abs(camera.pan[0]) + std::abs(camera.pan[1]));
    const double nearPlane = std::max(distance - reach, distance * 1e-2), farPlane = distance + reach;
    double *p = view.projection;
    std::fill_n(p, 16, 0.0);
    p[0] = 1 / halfWidth;
    p[5] = 1 / halfHeight;
    p[10] = -(farPlane + nearPlane) / (farPlane - nearPlane);
    p[11] = -1;
    p[14] = -2 * farPlane * nearPlane / (farPlane - nearPlane);
    return view;
}

} // namespace tuft::view
