#include "util/replacement_file.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace scantelk {
namespace {

namespace fs = std::filesystem;

// Names tried for the new file, beside the one it replaces, before writing in place instead:
// a few are taken only when as many runs crashed or run at once.
constexpr int kTemporaryNames = 16;

// Creates a file for writing that did not exist before; null when one of that name exists or
// none can be made.
std::FILE* create_new_file(const std::string& path) {
#ifdef _WIN32
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
#endif
    return file;
}

// Renames `from` over `to`. Windows keeps an existing `to` unless asked to replace it.
bool rename_over(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// True when the path may be written: it exists, and opening it to append changes nothing.
bool may_write(const std::string& path) {
    return FileHandle(std::fopen(path.c_str(), "ab")) != nullptr;
}

}  // namespace

bool ReplacementFile::open(const std::string& path) {
    abandon();
    failed_ = false;
    std::error_code error;
    const fs::file_status link = fs::symlink_status(path, error);
    const fs::file_status status = fs::status(path, error);
    const bool is_new = !fs::exists(link);
    if (!is_new && fs::is_regular_file(status)) {
        if (!may_write(path)) return false;
        target_ = fs::is_symlink(link) ? fs::canonical(path, error).string() : path;
        if (!error && create_temporary()) {
            fs::permissions(temporary_, status.permissions(), error);
            if (!error) return true;
            abandon();  // rather in place than readable by more than the older file was
        }
    } else if (is_new) {
        target_ = path;
        if (create_temporary()) return true;
    }
    file_.reset(std::fopen(path.c_str(), "wb"));
    return file_ != nullptr;
}

bool ReplacementFile::create_temporary() {
    for (int n = 0; n < kTemporaryNames; ++n) {
        temporary_ = target_ + ".partial-" + std::to_string(n);
        file_.reset(create_new_file(temporary_));
        if (file_) return true;
        if (errno != EEXIST) break;
    }
    temporary_.clear();
    return false;
}

void ReplacementFile::write(const char* bytes, std::size_t size) {
    if (size > 0 && std::fwrite(bytes, 1, size, file_.get()) != size) failed_ = true;
}

bool ReplacementFile::commit() {
    const bool flushed = std::fflush(file_.get()) == 0 && std::ferror(file_.get()) == 0;
    const bool closed = std::fclose(file_.release()) == 0;
    bool done = !failed_ && flushed && closed;
    if (!temporary_.empty()) {
        done = done && rename_over(temporary_, target_);
        if (!done) std::remove(temporary_.c_str());
        temporary_.clear();
    }
    return done;
}

void ReplacementFile::abandon() {
    file_.reset();
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

}  // namespace scantelk
