#include "meshio/ply_header.h"

#include "meshio/meshio.h"
#include "meshio/reading.h"
#include "meshio/text_scan.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace tuft::meshio::ply {

bool typeFromName(std::string_view name, Type &type)
{
    static const std::unordered_map<std::string_view, Type> kTypes = {
        {"char", Type::kInt8},     {"int8", Type::kInt8},       {"uchar", Type::kUint8},    {"uint8", Type::kUint8},
        {"short", Type::kInt16},   {"int16", Type::kInt16},     {"ushort", Type::kUint16},  {"uint16", Type::kUint16},
        {"int", Type::kInt32},     {"int32", Type::kInt32},     {"uint", Type::kUint32},    {"uint32", Type::kUint32},
        {"float", Type::kFloat32}, {"float32", Type::kFloat32}, {"double", Type::kFloat64}, {"float64", Type::kFloat64},
    };
    const auto found = kTypes.find(name);
    if (found == kTypes.end())
        return false;
    type = found->second;
    return true;
}

std::string numberText(double value)
{
    char text[32];
    if (std::floor(value) == value && std::fabs(value) < 9.0e18)
        return std::string(text, std::to_chars(text, text + sizeof text, static_cast<long long>(value)).ptr);
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

namespace {

// The smallest size one instance of an element can have in the body: its fixed
// properties and the counts of its lists in binary; in ASCII a character and a blank
// (or the line's end) a property, a list's count at least.
std::size_t smallestRecord(const Element &element, Format format)
{
    if (element.properties.empty())
        return 0;
    if (format == Format::kAscii)
        return 2 * element.properties.size();
    std::size_t size = 0;
    for (const Property &property : element.properties)
        size += property.list ? sizeOf(property.countType) : sizeOf(property.type);
    return size;
}

class HeaderParser {
public:
    HeaderParser(const std::string &path, const std::string &data) : path_(path), data_(data) {}

    Header parse()
    {
        bool formatSeen = false;
        for (std::size_t position = byteOrderMarkIn(data_);;) {
            const std::size_t end = data_.find('\n', position);
            if (end == std::string::npos)
                fail("the header has no end_header");
            std::string_view line = std::string_view(data_).substr(position, end - position);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            position = end + 1;
            ++header_.lines;
            WordScanner words(path_, header_.lines, line);
            const std::string_view keyword = words.word();
            if (header_.lines == 1 && keyword != "ply")
                fail("not a PLY file (it does not start with \"ply\")");
            if (keyword == "end_header") {
                header_.bodyStart = position;
                break;
            }
            if (keyword == "format")
                formatSeen = format(words);
            else if (keyword == "element")
                element(words);
            else if (keyword == "property")
                property(words, line);
            else if (keyword == "comment")
                header_.comments.push_back(words.rest());
            else if (!keyword.empty() && keyword != "ply" && keyword != "obj_info")
                fail("unknown keyword \"" + excerpt(keyword) + "\"");
        }
        if (!formatSeen)
            throw MeshIoError(path_ + ": the header has no format line");
        checkCounts();
        return header_;
    }

private:
    [[noreturn]] void fail(const std::string &what) const
    {
        throw MeshIoError(path_ + ": header line " + std::to_string(header_.lines) + ": " + what);
    }

    bool format(WordScanner &words)
    {
        const std::string_view name = words.word();
        if (name == "ascii")
            header_.format = Format::kAscii;
        else if (name == "binary_little_endian")
            header_.format = Format::kBinaryLittle;
        else if (name == "binary_big_endian")
            header_.format = Format::kBinaryBig;
        else
            fail("unknown format \"" + excerpt(name) + "\"");
        return true;
    }

    void element(WordScanner &words)
    {
        Element element;
        element.name = std::string(words.word());
        const std::string_view count = words.word();
        unsigned long long value = 0;
        const auto parsed = std::from_chars(count.data(), count.data() + count.size(), value);
        if (element.name.empty() || count.empty() || parsed.ec != std::errc() ||
            parsed.ptr != count.data() + count.size())
            fail("an element needs a name and a count");
        if (element.name == "vertex" && seenVertex_)
            fail("a second vertex element: faces could not tell which points they join");
        seenVertex_ |= element.name == "vertex";
        element.count = static_cast<std::size_t>(std::min<unsigned long long>(value, SIZE_MAX));
        header_.elements.push_back(std::move(element));
        names_.clear();
    }

    void property(WordScanner &words, std::string_view line)
    {
        if (header_.elements.empty())
            fail("a property before any element");
        Property property;
        const std::string_view type = words.word();
        if (type == "list") {
            const std::string_view countType = words.word(), itemType = words.word();
            if (!typeFromName(countType, property.countType) || !typeFromName(itemType, property.type) ||
                isFloat(property.countType))
                fail("bad list property \"" + excerpt(line, 80) + "\"");
            property.list = true;
        } else if (!typeFromName(type, property.type)) {
            fail("unknown type \"" + excerpt(type) + "\"");
        }
        property.name = std::string(words.word());
        if (property.name.empty())
            fail("a property without a name");
        if (!names_.insert(property.name).second)
            property.name.clear(); // a repeated name counts once: its values are read past
        header_.elements.back().properties.push_back(std::move(property));
    }

    // What the header declares must fit in what follows it, before anything is taken
    // for it.
    void checkCounts() const
    {
        const std::size_t body = data_.size() - header_.bodyStart;
        std::size_t needed = 0;
        for (const Element &element : header_.elements) {
            if (element.count == 0)
                continue;
            const std::size_t each = smallestRecord(element, header_.format);
            if (each == 0)
                throw MeshIoError(path_ + ": the element " + element.name + " has no properties but " +
                                  std::to_string(element.count) + " instances");
            if (element.count > (body + 1) / each || needed + element.count * each > body + 1)
                throw MeshIoError(path_ + ": the header declares " + std::to_string(element.count) + " " +
                                  element.name + " elements, more than the file holds (" + std::to_string(body) +
                                  " bytes after the header)");
            needed += element.count * each;
        }
    }

    const std::string &path_;
    const std::string &data_;
    Header header_;
    bool seenVertex_ = false;
    std::unordered_set<std::string> names_; // of the current element's properties
};

} // namespace

Header parseHeader(const std::string &path, const std::string &data) { return HeaderParser(path, data).parse(); }

} // namespace tuft::meshio::ply
