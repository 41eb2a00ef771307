#include "plugin/entry/leading_integer.h"

#include <cctype>
#include <climits>

namespace tuft {

long long leadingInteger(const char *text)
{
    if (text == nullptr)
        return 0;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        value = value > (LLONG_MAX - digit) / 10 ? LLONG_MAX : value * 10 + digit;
    }
    return negative ? -value : value;
}

} // namespace tuft
