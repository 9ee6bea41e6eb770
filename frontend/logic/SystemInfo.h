// Facts about this machine for the About page: memory and swap from
// /proc/meminfo, disk space of the program's file system (statvfs), the
// operating system's name (/etc/os-release) and kernel version (uname).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brannock {

struct MemoryInfo {
  long long totalKB = 0, availableKB = 0, swapTotalKB = 0, swapFreeKB = 0;
};

// Parses the text of /proc/meminfo; nothing when MemTotal is missing.
std::optional<MemoryInfo> ParseMeminfo(const std::string& text);

// The PRETTY_NAME of an os-release text (NAME and VERSION when it has
// none); empty when neither is there.
std::string ParseOsRelease(const std::string& text);

// The About page's lines, as built from the front end's strings 6000 to
// 6180, for the program at programPath. Files are read from root (for
// tests; "/" in the program).
std::vector<std::string> SystemInfoLines(const std::string& appName, const std::string& programPath,
                                         const std::string& root = "/");

}  // namespace brannock
