// The body of a PLY file, value by value: ASCII or binary in either byte order, each
// value checked against its type's form and range, every fault placed (the line in
// ASCII, the byte in binary).
#pragma once

#include "meshio/formats.h"
#include "meshio/ply_header.h"
#include "meshio/reading.h"
#include "meshio/text_scan.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace tuft::meshio::ply {

// Reads values from the body, ASCII or binary, and says where a fault lies: the line in
// ASCII, the byte in binary.
class Body {
public:
    Body(const std::string &path, const std::string &data, std::size_t start, std::size_t headerLines, Format format)
        : path_(path), data_(data), position_(start), line_(headerLines), format_(format)
    {
    }

    // Starts the next element instance (a line in ASCII).
    void beginRecord(const std::string &element, std::size_t index)
    {
        element_ = &element;
        index_ = index;
        recordStart_ = position_;
        if (format_ != Format::kAscii)
            return;
        while (position_ < data_.size()) {
            const std::size_t end = data_.find('\n', position_);
            const std::size_t stop = end == std::string::npos ? data_.size() : end;
            ++line_;
            text_ = std::string_view(data_).substr(position_, stop - position_);
            position_ = stop == data_.size() ? stop : stop + 1;
            if (text_.find_first_not_of(" \t\r") != std::string_view::npos) {
                cursor_ = 0;
                return;
            }
        }
        fail("the file ends early");
    }

    void endRecord()
    {
        if (format_ == Format::kAscii && text_.find_first_not_of(" \t\r", cursor_) != std::string_view::npos)
            fail("more values than the header declares");
    }

    double read(Type type) { return format_ == Format::kAscii ? readText(type) : readBinary(type); }

    // A list's length: a whole number, and no more items than the file can still hold.
    std::size_t readCount(const Property &property)
    {
        const double count = read(property.countType);
        if (count < 0)
            fail("a list of " + numberText(count) + " items");
        // In ASCII the items stand on the record's line, in binary anywhere after it.
        const std::size_t room =
            format_ == Format::kAscii ? (text_.size() - cursor_ + 1) / 2 : remaining() / sizeOf(property.type);
        if (count > static_cast<double>(room))
            fail("a list of " + numberText(count) + " items runs past the end of the file");
        return static_cast<std::size_t>(count);
    }

    [[noreturn]] void fail(const std::string &what) const
    {
        std::string where = path_ + ": ";
        if (format_ == Format::kAscii)
            where += "line " + std::to_string(line_) + ": ";
        else
            where += "byte " + std::to_string(recordStart_) + ": ";
        if (element_ != nullptr)
            where += *element_ + " " + std::to_string(index_) + ": ";
        throw MeshIoError(where + what);
    }

    std::size_t remaining() const { return data_.size() - position_; }

private:
    double readBinary(Type type)
    {
        const std::size_t size = sizeOf(type);
        if (size > remaining())
            fail("the file ends early");
        unsigned char bytes[8];
        std::memcpy(bytes, data_.data() + position_, size);
        position_ += size;
        if (format_ == Format::kBinaryBig)
            std::reverse(bytes, bytes + size);
        switch (type) {
        case Type::kInt8:
            return static_cast<std::int8_t>(bytes[0]);
        case Type::kUint8:
            return bytes[0];
        case Type::kInt16:
            return as<std::int16_t>(bytes);
        case Type::kUint16:
            return as<std::uint16_t>(bytes);
        case Type::kInt32:
            return as<std::int32_t>(bytes);
        case Type::kUint32:
            return as<std::uint32_t>(bytes);
        case Type::kFloat32:
            return as<float>(bytes);
        case Type::kFloat64:
            return as<double>(bytes);
        }
        return 0.0;
    }

    template <typename T> static double as(const unsigned char *bytes)
    {
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return static_cast<double>(value);
    }

    // A value as text: a number of the property's kind, an integer type's within its range.
    double readText(Type type)
    {
        const std::size_t start = text_.find_first_not_of(" \t\r", cursor_);
        if (start == std::string_view::npos)
            fail("fewer values than the header declares");
        std::size_t end = text_.find_first_of(" \t\r", start);
        if (end == std::string_view::npos)
            end = text_.size();
        cursor_ = end;
        const std::string_view word = text_.substr(start, end - start);
        if (isFloat(type)) {
            double value = 0.0;
            const auto parsed = std::from_chars(word.data(), word.data() + word.size(), value);
            if (parsed.ptr != word.data() + word.size() ||
                (parsed.ec != std::errc() && parsed.ec != std::errc::result_out_of_range))
                fail("\"" + excerpt(word) + "\" is not a number");
            if (parsed.ec == std::errc())
                return value;
            // Beyond a double's range: too small is 0, too large infinite (refused where it is kept).
            const std::size_t exponent = word.find_first_of("eE");
            return exponent != std::string_view::npos && word.substr(exponent + 1, 1) == "-" ? 0.0 : HUGE_VAL;
        }
        long long value = 0;
        double lowest, highest;
        rangeOf(type, lowest, highest);
        if (!WordScanner::integer(word, value) || value < lowest || value > highest)
            fail("\"" + excerpt(word) + "\" is not a whole number from " + numberText(lowest) + " to " +
                 numberText(highest));
        return static_cast<double>(value);
    }

    const std::string &path_;
    const std::string &data_;
    std::size_t position_;
    std::size_t line_;
    Format format_;
    std::string_view text_;
    std::size_t cursor_ = 0, recordStart_ = 0;
    const std::string *element_ = nullptr;
    std::size_t index_ = 0;
};

} // namespace tuft::meshio::ply
