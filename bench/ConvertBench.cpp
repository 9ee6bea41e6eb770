// Forward-conversion benchmark: for synthetic MIF documents of 1, 10 and
// 100 MB (or the sizes given), the time and peak memory of a forward
// conversion through a session, beside the floor: one plain pass that
// reads the file line by line, trims each line and writes it out again
// (the ORG copy every conversion makes anyway).
//
// Each measurement runs in a child process of its own, so its peak
// resident size and its processor time (from wait4) are its own. Times are
// processor time (user and system), which a busy machine disturbs less
// than wall-clock time. A shared virtual machine disturbs single runs by a
// third and more, so each size keeps the best of many runs: 21 up to 1 MB,
// 15 up to 10 MB, 9 above (or --runs N); with fewer, the ratio of two
// best times still moves by 0.5 and more from one benchmark run to the next.
// Peak memory is shown whole and above the peak of converting a one-page
// document (the program and its libraries, a few megabytes), which is what
// the input costs.
//
//   convert_bench [--sizes 1,10,100] [--dir DIR] [--format rtf|txt] [--runs N] [--keep yes]
//
// --keep leaves the generated documents in DIR (bench_<N>mb.mif), for
// profiling the conversion of the same bytes outside the benchmark.
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

#include "BenchSupport.h"
#include "MIFBenchGenerator.h"
#include "kernel/session/CommunicationFrame.h"

namespace {

using bench::FloorPass;
using bench::InChild;
using bench::Measure;

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

}  // namespace

int main(int argc, char** argv) {
  int format = 1;
  int runsAsked = 0;
  const bench::Options options =
      bench::ParseOptions(argc, argv, "morvane_convert_bench", [&](const std::string& opt, const char* value) {
        if (opt == "--format") format = std::string(value) == "txt" ? 0 : 1;
        if (opt == "--runs") runsAsked = std::atoi(value);
      });
  const std::vector<int>& sizes = options.sizes;
  std::string dir = options.dir;
  const bool keep = options.keep;
  std::filesystem::create_directories(dir);
  dir += "/";
  // The fixed cost: a document of one page.
  const std::string small = dir + "bench_base.mif";
  bench::GenerateMIF(small, 0);
  const Measure base = InChild([&] { return Convert(small, dir, format); });
  std::filesystem::remove(small);
  std::printf("one-page document: peak %.1f MB\n", base.peakMB);
  std::printf("%8s %10s %10s %10s %10s %8s %10s %8s %10s %8s\n", "input", "floor s", "floor MB/s", "convert s",
              "conv MB/s", "ratio", "peak MB", "peak/in", "above/in", "wall s");
  for (int mb : sizes) {
    const std::string mif = dir + "bench_" + std::to_string(mb) + "mb.mif";
    const double bytes = static_cast<double>(bench::GenerateMIF(mif, static_cast<std::uint64_t>(mb) << 20));
    const double inMB = bytes / (1 << 20);
    const int runs = runsAsked > 0 ? runsAsked : mb <= 1 ? 21 : mb <= 10 ? 15 : 9;
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
    std::printf("%6.1fMB %10.3f %10.1f %10.3f %10.1f %8.2f %10.1f %8.2f %10.2f %8.3f\n", inMB, floor.seconds,
                inMB / floor.seconds, conv.seconds, inMB / conv.seconds, conv.seconds / floor.seconds, conv.peakMB,
                conv.peakMB / inMB, (conv.peakMB - base.peakMB) / inMB, conv.wall);
    std::fflush(stdout);
    if (!keep) std::filesystem::remove(mif);
  }
  return 0;
}
