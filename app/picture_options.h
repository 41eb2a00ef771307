// The command line's words for pictures: sizes as WxH and cameras as the view room reads them.
#pragma once

#include "view/picture.h"

#include <string>

namespace tuft::app {

// "WIDTHxHEIGHT" in pixels, 16 to 8192 each; throws UsageError naming the option.
void parsePictureSize(const std::string &text, view::PictureOptions &options);
// A --camera value; throws UsageError naming the option.
view::Camera cameraOption(const std::string &text);

} // namespace tuft::app
