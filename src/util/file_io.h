// What the readers and the writer share: how a C stream is closed and how much moves at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace scantelk {

// Files are read and written this many bytes at a time: few system calls for little memory.
// (Blocks of 128 KB to 1 MB measured alike on the reference run.)
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// A block of bytes that is not zero-filled: the readers and the writer write every byte before
// they read it, and zero-filling two 1 MB blocks would cost a small run most of its time.
class BlockBuffer {
  public:
    explicit BlockBuffer(std::size_t size = 0) { resize(size, 0); }

    char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

    // Makes the block `size` bytes long, keeping its first `keep` bytes.
    void resize(std::size_t size, std::size_t keep) {
        auto fresh = std::make_unique_for_overwrite<char[]>(size);
        keep = std::min({keep, size, size_});
        if (keep > 0) std::memcpy(fresh.get(), bytes_.get(), keep);
        bytes_ = std::move(fresh);
        size_ = size;
    }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
};

}  // namespace scantelk
