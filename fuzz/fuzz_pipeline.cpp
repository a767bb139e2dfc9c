// Fuzz target: runs the whole pipeline on an input data file and a report made from one input.
// The bytes before the first NUL are the input data file, the bytes after it the report.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "driver/run.h"

#if defined(__SANITIZE_ADDRESS__)
#define SCANTELK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCANTELK_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef SCANTELK_ADDRESS_SANITIZER
// Tables come from zero-filled memory that costs nothing until it is written, but the address
// sanitizer writes shadow memory for every allocated byte. Give the fuzzer a machine with little
// memory instead: a large table cannot be had and the run must stop with its one-line message.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}
#endif

namespace {

// A private folder for the three files, made once per process and removed at exit. A plain
// array, so that it still exists when the exit handler runs.
const char* work_folder() {
    static char folder[] = "/tmp/scantelk-fuzz-XXXXXX";
    static const bool made = [] {
        if (mkdtemp(folder) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)made;
    return folder;
}

void write_bytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    const std::string base = std::string(work_folder()) + "/run";
    write_bytes(base + ".dat", data, split);
    if (split < size) {
        write_bytes(base + ".rep", data + split + 1, size - split - 1);
    } else {
        std::remove((base + ".rep").c_str());
    }
    std::remove((base + ".tmp").c_str());
    // A failed stage comes back as an error; nothing may end the process.
    (void)scantelk::run_scantelk(base + ".dat");
    return 0;
}
