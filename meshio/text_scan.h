// Reading text formats strictly: lines with their numbers, words, and numbers read as
// the nearest double, finite, with the file and the line named in every refusal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tuft::meshio {

// The UTF-8 byte-order mark some editors put at the start of a text file.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// How many bytes of `text` are a byte-order mark: 3 or 0.
inline std::size_t byteOrderMarkIn(std::string_view text)
{
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

// The lines of a text, a byte-order mark at the start of the file passed over. "\n" or
// "\r\n" ends a line; a backslash at the end of a line joins the next one to it; a '#'
// that starts a word starts a comment.
class LineScanner {
public:
    // `firstLine`: the number of the text's first line in its file.
    explicit LineScanner(std::string_view data, std::size_t firstLine = 1)
        : data_(data), position_(firstLine == 1 ? byteOrderMarkIn(data) : 0), read_(firstLine - 1)
    {
    }
    // The next line, comment removed; false at the end of the text.
    bool next(std::string_view &line);
    // The number (from 1) of the line next() returned last; for a joined line, its first.
    std::size_t number() const { return number_; }

private:
    std::string_view take();

    std::string_view data_;
    std::size_t position_, number_ = 0, read_;
    std::string joined_;
};

// The words of one line.
class WordScanner {
public:
    WordScanner(const std::string &path, std::size_t line, std::string_view text)
        : path_(&path), line_(line), text_(text)
    {
    }

    // The next word; empty at the end of the line.
    std::string_view word();
    // What is left of the line, without blanks at either end.
    std::string rest();
    // Reads every word left as a number, into `out` (up to `most`), and returns how many
    // there were; refuses a word that is not a finite number.
    std::size_t numbers(double *out, std::size_t most);
    // A whole number, refusing anything else (and numbers beyond a long long).
    static bool integer(std::string_view text, long long &value);
    // A number as the nearest double; false for anything else, nan and infinities included.
    static bool number(std::string_view text, double &value);

    // Throws MeshIoError: "<path>: line <n>: <what>".
    [[noreturn]] void fail(const std::string &what) const;

private:
    const std::string *path_;
    std::size_t line_;
    std::string_view text_;
    std::size_t position_ = 0;
};

} // namespace tuft::meshio
