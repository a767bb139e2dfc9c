#include "util/line_reader.h"

#include <cstring>

namespace scantelk {

bool LineReader::open(const char* path) {
    file_.reset(std::fopen(path, "rb"));
    if (buffer_.size() != kBlockSize) buffer_ = BlockBuffer(kBlockSize);
    begin_ = end_ = scanned_ = last_line_ = 0;
    at_end_ = read_failed_ = marked_ = false;
    line_number_ = 0;
    return file_ != nullptr;
}

bool LineReader::read_line(std::string_view& line) {
    for (;;) {
        const char* base = buffer_.data();
        const void* found = std::memchr(base + begin_ + scanned_, '\n', end_ - begin_ - scanned_);
        std::size_t line_end = 0;
        std::size_t next = 0;
        if (found != nullptr) {
            line_end = static_cast<std::size_t>(static_cast<const char*>(found) - base);
            next = line_end + 1;
            if (line_end > begin_ && base[line_end - 1] == '\r') --line_end;
        } else if (at_end_) {
            if (begin_ == end_) return false;
            line_end = next = end_;
        } else {
            scanned_ = end_ - begin_;
            refill();
            continue;
        }
        line = std::string_view(base + begin_, line_end - begin_);
        last_line_ = begin_;
        begin_ = next;
        scanned_ = 0;
        ++line_number_;
        return true;
    }
}

void LineReader::unread_line() {
    begin_ = last_line_;
    scanned_ = 0;
    --line_number_;
}

void LineReader::mark() {
    marked_ = true;
    mark_ = begin_;
    mark_line_number_ = line_number_;
}

void LineReader::rewind() {
    begin_ = mark_;
    scanned_ = 0;
    line_number_ = mark_line_number_;
    marked_ = false;
}

void LineReader::refill() {
    if (!file_) {
        at_end_ = true;
        return;
    }
    // Bytes before the first one still wanted are dropped; a mark keeps its line and all after.
    const std::size_t keep_from = marked_ ? mark_ : begin_;
    if (keep_from > 0) {
        std::memmove(buffer_.data(), buffer_.data() + keep_from, end_ - keep_from);
        begin_ -= keep_from;
        mark_ -= marked_ ? keep_from : 0;
        end_ -= keep_from;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2, end_);
    const std::size_t got =
        std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
    end_ += got;
    if (got == 0) {
        at_end_ = true;
        read_failed_ = std::ferror(file_.get()) != 0;
    }
}

}  // namespace scantelk
