// The About page's system lines. Memory in KB as /proc/meminfo gives it,
// the swap space standing for the paging file; disk space in whole MB of
// the file system holding the program; the distribution's own name and the
// kernel's release. Anything that cannot be read says "Unavailable".
#include "SystemInfo.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "FrontEndStrings.h"

namespace brannock {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// The mount point of the file system that holds path: the deepest entry
// of /proc/self/mounts that is a prefix of it.
std::string MountPointOf(const std::string& path) {
  std::istringstream mounts(ReadFile("/proc/self/mounts"));
  std::string line, best = "/";
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, point;
    fields >> device >> point;
    if (point.empty()) continue;
    const bool prefix = path.compare(0, point.size(), point) == 0 &&
                        (point == "/" || path.size() == point.size() || path[point.size()] == '/');
    if (prefix && point.size() > best.size()) best = point;
  }
  return best;
}

}  // namespace

std::optional<MemoryInfo> ParseMeminfo(const std::string& text) {
  MemoryInfo info;
  bool total = false, available = false;
  long long memFree = 0;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    char name[64];
    long long value = 0;
    if (std::sscanf(line.c_str(), "%63[^:]: %lld", name, &value) != 2) continue;
    const std::string key = name;
    if (key == "MemTotal") info.totalKB = value, total = true;
    if (key == "MemAvailable") info.availableKB = value, available = true;
    if (key == "MemFree") memFree = value;
    if (key == "SwapTotal") info.swapTotalKB = value;
    if (key == "SwapFree") info.swapFreeKB = value;
  }
  if (!total) return std::nullopt;
  // Kernels before 3.14 have no MemAvailable.
  if (!available) info.availableKB = memFree;
  return info;
}

std::string ParseOsRelease(const std::string& text) {
  std::istringstream in(text);
  std::string line, pretty, name, version;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = Unquoted(line.substr(eq + 1));
    if (key == "PRETTY_NAME") pretty = value;
    if (key == "NAME") name = value;
    if (key == "VERSION") version = value;
  }
  if (!pretty.empty()) return pretty;
  if (!version.empty() && !name.empty()) return name + " " + version;
  return name;
}

std::vector<std::string> SystemInfoLines(const std::string& appName, const std::string& programPath,
                                         const std::string& root) {
  std::vector<std::string> lines;
  lines.push_back(LoadString(brannock::Text::SYS_OVERVIEW));
  lines.push_back(FormatString(brannock::Text::SYS_RUNNING, appName.c_str()));

  if (auto memory = ParseMeminfo(ReadFile(root + "proc/meminfo"))) {
    lines.push_back(FormatString(brannock::Text::SYS_PHYSICAL_TOTAL, memory->totalKB));
    lines.push_back(FormatString(brannock::Text::SYS_PHYSICAL_FREE, memory->availableKB));
    lines.push_back(FormatString(brannock::Text::SYS_PAGING_TOTAL, memory->swapTotalKB));
    lines.push_back(FormatString(brannock::Text::SYS_PAGING_FREE, memory->swapFreeKB));
  } else {
    for (unsigned id : {brannock::Text::SYS_PHYSICAL_TOTAL_UNAVAILABLE, brannock::Text::SYS_PHYSICAL_FREE_UNAVAILABLE, brannock::Text::SYS_PAGING_TOTAL_UNAVAILABLE, brannock::Text::SYS_PAGING_FREE_UNAVAILABLE}) lines.push_back(LoadString(id));
  }

  struct statvfs fs {};
  if (!programPath.empty() && statvfs(programPath.c_str(), &fs) == 0) {
    const unsigned long long unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    const long long totalMB = static_cast<long long>(fs.f_blocks * unit / (1024 * 1024));
    const long long freeMB = static_cast<long long>(fs.f_bavail * unit / (1024 * 1024));
    const std::string mount = MountPointOf(programPath);
    lines.push_back(FormatString(brannock::Text::SYS_DISK_TOTAL, totalMB, mount.c_str()));
    lines.push_back(FormatString(brannock::Text::SYS_DISK_FREE, freeMB, mount.c_str()));
  } else {
    lines.push_back(LoadString(brannock::Text::SYS_DISK_TOTAL_UNAVAILABLE));
    lines.push_back(LoadString(brannock::Text::SYS_DISK_FREE_UNAVAILABLE));
  }

  std::string os = ParseOsRelease(ReadFile(root + "etc/os-release"));
  if (os.empty()) os = ParseOsRelease(ReadFile(root + "usr/lib/os-release"));
  if (os.empty()) os = LoadString(brannock::Text::SYS_OS_UNKNOWN);
  lines.push_back(FormatString(brannock::Text::SYS_OS, os.c_str()));
  struct utsname uts {};
  if (uname(&uts) == 0) {
    int major = 0, minor = 0;
    std::sscanf(uts.release, "%d.%d", &major, &minor);
    lines.push_back(FormatString(brannock::Text::SYS_KERNEL, uts.sysname, uts.release));
    lines.push_back(FormatString(brannock::Text::SYS_MAJOR_VERSION, major));
    lines.push_back(FormatString(brannock::Text::SYS_MINOR_VERSION, minor));
  }
  return lines;
}

}  // namespace brannock
