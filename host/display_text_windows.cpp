// Shift-JIS monitor texts in UTF-8, by the Windows code-page functions (through UTF-16).
#include "host/progress.h"

#include <windows.h>

namespace tuft::host {

namespace {

constexpr UINT kShiftJis = 932;

} // namespace

std::string displayText(const char *text)
{
    const std::string input(text != nullptr ? text : "");
    if (input.empty())
        return input;
    const int size = static_cast<int>(input.size());
    const int wide = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, input.data(), size, nullptr, 0);
    if (wide <= 0)
        return input;
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, input.data(), size, utf16.data(), wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return input;
    std::string output(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, output.data(), bytes, nullptr, nullptr);
    return output;
}

} // namespace tuft::host
