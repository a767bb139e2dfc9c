// What the readers and the writer share: how a C stream is closed and how much moves at a time.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace scantelk {

// Files are read and written this many bytes at a time: few system calls for little memory.
// (Blocks of 128 KB to 1 MB measured alike on the reference run.)
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace scantelk
