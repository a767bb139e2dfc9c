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

    // True when reading stopped on an error of the device rather than at end of file.
    bool read_failed() const { return read_failed_; }

  private:
    // Moves the unread bytes to the front, grows the buffer if a line fills it, and reads more.
    void refill();

    FileHandle file_;
    BlockBuffer buffer_;
    std::size_t begin_ = 0;    // first unread byte
    std::size_t end_ = 0;      // one past the last byte read from the file
    std::size_t scanned_ = 0;  // bytes from begin_ already known to hold no line feed
    bool at_end_ = false;
    bool read_failed_ = false;
    std::int64_t line_number_ = 0;
};

}  // namespace scantelk
