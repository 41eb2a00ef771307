#include "app/standard_streams.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace tuft::app {

void endLinesWithNewlineOnly()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

} // namespace tuft::app
