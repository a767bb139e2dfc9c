// Writing a file so that a failed write never costs the file it replaces.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "util/file_io.h"

namespace scantelk {

// A file written under a temporary name in the folder of the file it replaces, and renamed over
// it only once complete and closed: a failed write leaves the older file byte for byte as it was.
// A symbolic link to a regular file is replaced where it points and stays a link. Written in
// place, as a plain write would, when no file can be made in that folder or the path names
// anything but a regular file (a device, a pipe, a link to nothing). Hard links to the older
// file keep the older content. The new file takes the older one's permission bits.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile() { abandon(); }

    // Opens the file that will replace `path`, creating none yet when `path` exists but may not
    // be written: false then, with nothing changed.
    bool open(const std::string& path);

    // Writes the bytes; a failure is remembered and fails commit().
    void write(const char* bytes, std::size_t size);

    // Closes the file and puts it in place of the older one; false when a write, the close or
    // the rename failed, and then the older file is as it was and the new one gone.
    bool commit();

    // Closes and removes the new file, leaving the older one as it was.
    void abandon();

  private:
    // Creates the new file under a name of its own beside target_; false when none can be made.
    bool create_temporary();

    FileHandle file_;
    std::string target_;     // the file replaced: the path, or the file its link points to
    std::string temporary_;  // the new file's name until it is renamed; empty when in place
    bool failed_ = false;
};

}  // namespace scantelk
