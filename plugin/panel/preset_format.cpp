#include "plugin/panel/preset_format.h"

#include "plugin/entry/leading_integer.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace tuft {

namespace {

// Appends text to out at `length`, never past `capacity`.
void append(char *out, std::size_t capacity, std::size_t &length, const char *text)
{
    const std::size_t n = std::strlen(text);
    if (length + n < capacity) {
        std::memcpy(out + length, text, n);
        length += n;
    }
}

const char *skipBlanks(const char *text)
{
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    return text;
}

bool startsWithNoCase(const char *text, const char *prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*text)) != *prefix)
            return false;
    return true;
}

} // namespace

void formatPresetDouble(double value, char (&out)[32])
{
    char raw[32];
    std::snprintf(raw, sizeof raw, "%g", value);
    const char point = *std::localeconv()->decimal_point;
    std::size_t length = 0;
    for (const char *c = raw; *c != '\0' && length + 1 < sizeof out; ++c) {
        out[length++] = *c == point ? '.' : *c;
        if (*c != 'e')
            continue;
        // Copy the exponent's sign, then pad its digits to three.
        ++c;
        out[length++] = *c;
        const std::size_t digits = std::strlen(c + 1);
        for (std::size_t pad = digits; pad < 3; ++pad)
            out[length++] = '0';
        std::memcpy(out + length, c + 1, digits);
        length += digits;
        break;
    }
    out[length] = '\0';
}

std::size_t formatPreset(const PresetValues &values, char (&out)[512])
{
    std::size_t length = 0;
    char number[32];
    append(out, sizeof out, length, kPresetHeader);
    for (int integer : {values.number, values.division}) {
        append(out, sizeof out, length, "\r\n");
        std::snprintf(number, sizeof number, "%d", integer);
        append(out, sizeof out, length, number);
    }
    for (double value : values.doubles) {
        append(out, sizeof out, length, "\r\n");
        formatPresetDouble(value, number);
        append(out, sizeof out, length, number);
    }
    out[length] = '\0';
    return length;
}

int parsePresetInt(const char *text)
{
    const long long value = leadingInteger(text);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

double parsePresetDouble(const char *text)
{
    text = skipBlanks(text);
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    // One sign only: from_chars would take a second '-' as the number's own.
    if (*text == '-' || *text == '+')
        return 0.0;
    double value = 0.0;
    const char *end = text + std::strlen(text);
    std::chars_format format = std::chars_format::general;
    if (startsWithNoCase(text, "0x")) {
        text += 2;
        format = std::chars_format::hex;
    }
    const auto result = std::from_chars(text, end, value, format);
    // Nothing that parses, a number beyond a double's range or below its smallest step,
    // "nan" and "inf": none of them is a value a control can hold.
    if (result.ptr == text || result.ec == std::errc::result_out_of_range || !std::isfinite(value))
        return 0.0;
    return negative ? -value : value;
}

bool nextPresetRead(const char *data, std::size_t size, std::size_t &position, char (&out)[kPresetReadLength + 1])
{
    int length = 0;
    while (length < kPresetReadLength && position < size) {
        char c = data[position++];
        if (c == '\r' && position < size && data[position] == '\n') {
            c = '\n';
            ++position;
        }
        out[length++] = c;
        if (c == '\n')
            break;
    }
    out[length] = '\0';
    return length > 0;
}

bool isPresetHeader(const char *firstRead)
{
    return std::strncmp(firstRead, kPresetHeader, kPresetHeaderCompared) == 0;
}

void applyPresetRead(int index, const char *text, PresetValues &values)
{
    if (index == 1)
        values.number = parsePresetInt(text);
    else if (index == 2)
        values.division = parsePresetInt(text);
    else if (index >= 3 && index < 3 + kPresetDoubles)
        values.doubles[index - 3] = parsePresetDouble(text);
}

} // namespace tuft
