#include "app/picture_options.h"

#include "app/plant_job.h"

#include <charconv>
#include <stdexcept>

namespace tuft::app {

void parsePictureSize(const std::string &text, view::PictureOptions &options)
{
    const std::size_t x = text.find('x');
    int width = 0, height = 0;
    const auto whole = [](const std::string &part, int &value) {
        const auto parsed = std::from_chars(part.data(), part.data() + part.size(), value);
        return !part.empty() && parsed.ec == std::errc() && parsed.ptr == part.data() + part.size();
    };
    if (x == std::string::npos || !whole(text.substr(0, x), width) || !whole(text.substr(x + 1), height) ||
        width < 16 || height < 16 || width > 8192 || height > 8192)
        throw UsageError("--picture-size " + text + ": expected WIDTHxHEIGHT in pixels, 16 to 8192 each");
    options.width = width;
    options.height = height;
}

view::Camera cameraOption(const std::string &text)
{
    try {
        return view::parseCamera(text);
    } catch (const std::invalid_argument &error) {
        throw UsageError("--camera " + text + ": " + error.what());
    }
}

} // namespace tuft::app
