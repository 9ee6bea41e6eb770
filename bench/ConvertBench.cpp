// Forward-conversion benchmark: for synthetic MIF documents of 1, 10 and
// 100 MB (or the sizes given), the time and peak memory of a forward
// conversion through a session, beside the floor: one plain pass that
// reads the file line by line, trims each line and writes it out again
// (the ORG copy every conversion makes anyway).
//
// Each measurement runs in a child process of its own, so its peak
// resident size and its processor time (from wait4) are its own. Times are
// processor time (user and system), which a busy machine disturbs less
// than wall-clock time; the best of a few runs for the smaller sizes.
//
//   convert_bench [--sizes 1,10,100] [--dir DIR] [--format rtf|txt]
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "MIFBenchGenerator.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/session/CommunicationFrame.h"

namespace {

struct Measure {
  double seconds = 0;  // processor time, user and system
  double wall = 0;
  double peakMB = 0;
  bool ok = false;
};

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

bool FloorPass(const std::string& mif, const std::string& out) {
  CQ_MIFCopyingReader reader(mif, out);
  std::string line;
  while (reader.b_ReadLine(line, true)) {
  }
  reader.v_Commit();
  return true;
}

bool Convert(const std::string& mif, const std::string& dir, int format) {
  CQ_Morvane_CommunicationFrame session("morvane", "3.0", false);
  session.v_SetORGFilesPath(dir.c_str());
  session.v_SetTranslatedFilesPath(dir.c_str());
  session.v_SetFileFormatForKWX(format);
  session.v_SetSourceLanguage("English (US)");
  session.v_SetTargetLanguage("German");
  CQ_StringList paths = {mif};
  session.v_ConvertMIF(&paths);
  for (const std::string& line : session.rco_GetResults()) {
    if (line == "Done.") return true;
  }
  for (const std::string& line : session.rco_GetResults()) std::fprintf(stderr, "%s\n", line.c_str());
  return false;
}

std::vector<int> ParseSizes(const char* text) {
  std::vector<int> sizes;
  for (const char* p = text; *p;) {
    sizes.push_back(std::atoi(p));
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
  }
  return sizes;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {1, 10, 100};
  std::string dir = (std::filesystem::temp_directory_path() / "morvane_convert_bench").string();
  int format = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--sizes") sizes = ParseSizes(argv[i + 1]);
    else if (opt == "--dir") dir = argv[i + 1];
    else if (opt == "--format") format = std::string(argv[i + 1]) == "txt" ? 0 : 1;
  }
  std::filesystem::create_directories(dir);
  dir += "/";
  std::printf("%8s %10s %10s %10s %10s %8s %10s %8s %8s\n", "input", "floor s", "floor MB/s", "convert s",
              "conv MB/s", "ratio", "peak MB", "peak/in", "wall s");
  for (int mb : sizes) {
    const std::string mif = dir + "bench_" + std::to_string(mb) + "mb.mif";
    const double bytes = static_cast<double>(bench::GenerateMIF(mif, static_cast<std::uint64_t>(mb) << 20));
    const double inMB = bytes / (1 << 20);
    const int runs = mb >= 100 ? 1 : 3;
    Measure floor;
    Measure conv;
    for (int r = 0; r < runs; ++r) {
      const Measure f = InChild([&] { return FloorPass(mif, dir + "floor.org"); });
      const Measure c = InChild([&] { return Convert(mif, dir, format); });
      if (!f.ok || !c.ok) {
        std::fprintf(stderr, "run failed for %d MB\n", mb);
        return 1;
      }
      if (r == 0 || f.seconds < floor.seconds) floor = f;
      if (r == 0 || c.seconds < conv.seconds) conv = c;
    }
    std::printf("%6.1fMB %10.3f %10.1f %10.3f %10.1f %8.2f %10.1f %8.2f %8.3f\n", inMB, floor.seconds,
                inMB / floor.seconds, conv.seconds, inMB / conv.seconds, conv.seconds / floor.seconds, conv.peakMB,
                conv.peakMB / inMB, conv.wall);
    std::fflush(stdout);
    std::filesystem::remove(mif);
  }
  return 0;
}
