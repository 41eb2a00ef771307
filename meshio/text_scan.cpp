#include "meshio/text_scan.h"

#include "meshio/meshio.h"
#include "meshio/reading.h"

#include <charconv>
#include <cmath>

namespace tuft::meshio {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The line without the comment a '#' starting a word begins.
std::string_view withoutComment(std::string_view line)
{
    for (std::size_t i = line.find('#'); i != std::string_view::npos; i = line.find('#', i + 1))
        if (i == 0 || isBlank(line[i - 1]))
            return line.substr(0, i);
    return line;
}

// Takes a leading '+' off; false when another sign follows it ("+-1", "++1").
bool withoutPlus(std::string_view &text)
{
    if (text.empty() || text[0] != '+')
        return true;
    text.remove_prefix(1);
    return text.empty() || (text[0] != '+' && text[0] != '-');
}

std::string_view trimmed(std::string_view text)
{
    std::size_t start = 0, end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}

} // namespace

std::string_view LineScanner::take()
{
    const std::size_t end = data_.find('\n', position_);
    const std::size_t stop = end == std::string_view::npos ? data_.size() : end;
    std::string_view line = data_.substr(position_, stop - position_);
    position_ = stop == data_.size() ? stop : stop + 1;
    ++read_;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool LineScanner::next(std::string_view &line)
{
    if (position_ >= data_.size())
        return false;
    line = take();
    number_ = read_;
    if (line.empty() || line.back() != '\\') {
        line = withoutComment(line);
        return true;
    }
    joined_.assign(line.data(), line.size() - 1);
    while (position_ < data_.size()) {
        const std::string_view more = take();
        const bool continues = !more.empty() && more.back() == '\\';
        joined_.push_back(' ');
        joined_.append(more.data(), more.size() - (continues ? 1 : 0));
        if (!continues)
            break;
    }
    line = withoutComment(joined_);
    return true;
}

std::string_view WordScanner::word()
{
    while (position_ < text_.size() && isBlank(text_[position_]))
        ++position_;
    const std::size_t start = position_;
    while (position_ < text_.size() && !isBlank(text_[position_]))
        ++position_;
    return text_.substr(start, position_ - start);
}

std::string WordScanner::rest()
{
    const std::string_view left = trimmed(text_.substr(position_));
    position_ = text_.size();
    return std::string(left);
}

std::size_t WordScanner::numbers(double *out, std::size_t most)
{
    std::size_t count = 0;
    for (std::string_view text = word(); !text.empty(); text = word(), ++count) {
        double value = 0;
        if (!number(text, value)) {
            double anything = 0;
            const bool parses =
                std::from_chars(text.data(), text.data() + text.size(), anything).ptr == text.data() + text.size();
            fail("\"" + excerpt(text) + "\" is " + (parses ? "not a finite number" : "not a number"));
        }
        if (count < most)
            out[count] = value;
    }
    return count;
}

bool WordScanner::integer(std::string_view text, long long &value)
{
    if (!withoutPlus(text))
        return false;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && parsed.ec == std::errc() && parsed.ptr == text.data() + text.size();
}

bool WordScanner::number(std::string_view text, double &value)
{
    if (!withoutPlus(text) || text.empty() || (text[0] == '-' && text.size() > 1 && text[1] == '+'))
        return false;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && std::isfinite(value);
}

void WordScanner::fail(const std::string &what) const
{
    throw MeshIoError(*path_ + ": line " + std::to_string(line_) + ": " + what);
}

} // namespace tuft::meshio
