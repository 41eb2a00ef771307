#include "app/standard_streams.h"

namespace tuft::app {

void endLinesWithNewlineOnly() {} // they do already

} // namespace tuft::app
