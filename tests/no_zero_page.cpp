// Preloaded into the program by the memory tests: makes every large anonymous mapping a shared
// one, whose never-written pages become resident when they are read, as they do on kernels
// without a shared zero page. The peak memory of a run then counts every page the program
// reads, on any kernel.
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>

namespace {

constexpr std::size_t kLarge = std::size_t{1} << 20;

void* system_mmap(void* address, std::size_t length, int protection, int flags, int fd,
                  off_t offset) {
    return reinterpret_cast<void*>(
        syscall(SYS_mmap, address, length, protection, flags, fd, offset));
}

// The large blocks handed out by calloc below, to be unmapped by free.
struct Block {
    void* start;
    std::size_t length;
};
Block blocks[64];

}  // namespace

extern "C" {

void* __libc_calloc(std::size_t count, std::size_t size);
void __libc_free(void* pointer);

void* mmap(void* address, std::size_t length, int protection, int flags, int fd, off_t offset) {
    if ((flags & MAP_ANONYMOUS) != 0 && (flags & MAP_PRIVATE) != 0 && length >= kLarge)
        flags = (flags & ~MAP_PRIVATE) | MAP_SHARED;
    return system_mmap(address, length, protection, flags, fd, offset);
}

// The C library's own allocator maps large blocks without going through mmap above.
void* calloc(std::size_t count, std::size_t size) {
    const std::size_t bytes = count * size;
    if (size != 0 && bytes / size != count) return nullptr;
    if (bytes < kLarge) return __libc_calloc(count, size);
    for (Block& block : blocks) {
        if (block.start != nullptr) continue;
        void* start = system_mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                  MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (start == MAP_FAILED) return nullptr;
        block = {start, bytes};
        return start;
    }
    return __libc_calloc(count, size);
}

void free(void* pointer) {
    for (Block& block : blocks) {
        if (pointer != nullptr && block.start == pointer) {
            munmap(block.start, block.length);
            block = {nullptr, 0};
            return;
        }
    }
    __libc_free(pointer);
}

}  // extern "C"
