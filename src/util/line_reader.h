// Whole-line reading of a text file in large blocks.
#pragma once

#include <cstdint>
#include <string_view>

#include "util/file_io.h"

namespace scantelk {

// Reads a file front to back and delivers its physical lines whole, whatever their length.
// A line feed ends a line and is not delivered; a carriage return right before it is dropped
// too, so CR-LF and LF files read identically. A last line without a line feed is delivered.
class LineReader {
  public:
    // Opens the file for binary reading; false when it cannot be opened.
    bool open(const char* path);

    // Delivers the next line. False at end of file (and on every call after it) or on a
    // read error; `line` is then left untouched. A delivered view stays valid until the next call.
    bool read_line(std::string_view& line);

    // Physical number (from 1) of the last line delivered; 0 before the first.
    std::int64_t line_number() const { return line_number_; }

    // Gives back the line just delivered, so that the next read delivers it again. Only the
    // last delivered line can be given back, and only once.
    void unread_line();

    // Keeps every byte from the next line on in memory, so that rewind() can return there: the
    // file may be a pipe, which cannot be repositioned. Until rewind() or release_mark(), the
    // buffer grows with what is read.
    void mark();
    // Returns to the marked line, which the next read delivers again, and drops the mark.
    void rewind();
    void release_mark() { marked_ = false; }

    // True when reading stopped on an error of the device rather than at end of file.
    bool read_failed() const { return read_failed_; }

  private:
    // Moves the unread bytes to the front, grows the buffer if a line fills it, and reads more.
    void refill();

    FileHandle file_;
    BlockBuffer buffer_;
    std::size_t begin_ = 0;      // first unread byte
    std::size_t end_ = 0;        // one past the last byte read from the file
    std::size_t scanned_ = 0;    // bytes from begin_ already known to hold no line feed
    std::size_t last_line_ = 0;  // where the last delivered line begins
    bool marked_ = false;
    std::size_t mark_ = 0;  // where the marked line begins
    std::int64_t mark_line_number_ = 0;
    bool at_end_ = false;
    bool read_failed_ = false;
    std::int64_t line_number_ = 0;
};

}  // namespace scantelk
