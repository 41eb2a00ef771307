// Shift-JIS monitor texts in UTF-8, by iconv.
#include "host/progress.h"

#include <iconv.h>

namespace tuft::host {

std::string displayText(const char *text)
{
    std::string input(text != nullptr ? text : "");
    iconv_t convert = iconv_open("UTF-8", "SHIFT_JIS");
    if (convert == reinterpret_cast<iconv_t>(-1))
        return input;
    std::string output(input.size() * 4 + 4, '\0');
    char *in = input.data();
    char *out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const bool ok = iconv(convert, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(convert);
    if (!ok)
        return input;
    output.resize(output.size() - outLeft);
    return output;
}

} // namespace tuft::host
