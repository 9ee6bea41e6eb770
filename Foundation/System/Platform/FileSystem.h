// File-system services the kernel needs: existence tests, directory tests,
// free space, and the error classes for failed file operations.
#pragma once

#include <cstdint>
#include <string>

#include "System/Export.h"

namespace Platform {

OSTRAKON_API bool FileExists(const std::string& path);

// True when the path names a directory that the process may enter.
OSTRAKON_API bool DirectoryIsEnterable(const std::string& path);

// Free bytes for an unprivileged user on the file system holding path, or
// -1 when that cannot be determined.
OSTRAKON_API std::int64_t FreeDiskSpace(const std::string& path);

// The directory part of a path, up to and including its last '/', or empty.
OSTRAKON_API std::string DirectoryOf(const std::string& path);

// The part of a path after its last '/'.
OSTRAKON_API std::string FileNameOf(const std::string& path);

// True when both paths name one existing file (the same device and inode,
// through links or not).
OSTRAKON_API bool SameFile(const std::string& a, const std::string& b);

// Equality of two paths without regard to ASCII case, as the drivers
// compare their ORG and translated folders.
OSTRAKON_API bool SamePathIgnoringCase(const std::string& a, const std::string& b);

}  // namespace Platform
