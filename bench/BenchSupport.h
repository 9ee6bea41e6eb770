// What the benchmarks share: a measurement taken in a child process of its
// own, so that its processor time and peak resident size (from wait4) are
// the work's alone, the options every benchmark takes, and the floor pass
// the conversions are measured against.
#pragma once

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/forward/MIFLineReader.h"

namespace bench {

struct Measure {
  double seconds = 0;  // processor time, user and system
  double wall = 0;
  double peakMB = 0;
  bool ok = false;  // the work returned true
};

// Runs work() in a forked child and measures it.
template <class F>
Measure InChild(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) std::_Exit(work() ? 0 : 1);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  Measure m;
  m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

// "1,10,100" -> {1, 10, 100} (sizes in MB).
inline std::vector<int> ParseSizes(const char* text) {
  std::vector<int> sizes;
  for (const char* p = text; *p;) {
    sizes.push_back(std::atoi(p));
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
  }
  return sizes;
}

// The options every benchmark takes: --sizes 1,10,100 (MB), --dir DIR (where
// documents and outputs go, a temporary folder by default) and --keep yes
// (leave the documents there). Other options go to `extra`, which returns
// false for an option it does not know.
struct Options {
  std::vector<int> sizes = {1, 10, 100};
  std::string dir;
  bool keep = false;
};

template <class Extra>
Options ParseOptions(int argc, char** argv, const char* defaultFolder, Extra&& extra) {
  Options o;
  o.dir = (std::filesystem::temp_directory_path() / defaultFolder).string();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--sizes") o.sizes = ParseSizes(argv[i + 1]);
    else if (opt == "--dir") o.dir = argv[i + 1];
    else if (opt == "--keep") o.keep = std::string(argv[i + 1]) == "yes";
    else extra(opt, argv[i + 1]);
  }
  return o;
}

// The floor: one plain pass that reads the MIF file line by line, trims
// each line and writes it out again (the ORG copy every conversion makes).
inline bool FloorPass(const std::string& mif, const std::string& out) {
  CQ_MIFCopyingReader reader(mif, out);
  std::string line;
  while (reader.b_ReadLine(line, true)) {
  }
  reader.v_Commit();
  return true;
}

}  // namespace bench
