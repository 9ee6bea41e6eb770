// Back-conversion benchmark: for synthetic MIF documents of 1, 10 and 100
// MB (or the sizes given), forward conversion first (not measured), then
// the time and peak memory of the back conversion of the untranslated and
// of the pseudo-translated KWX file, each through a session in a child
// process of its own (its processor time and peak resident size from
// wait4). Run by hand, never by CTest: speed is measured, not asserted.
//
//   back_convert_benchmark [--sizes 1,10,100] [--dir DIR]
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
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/session/CommunicationFrame.h"

namespace {

using bench::InChild;
using bench::Measure;

std::unique_ptr<CQ_Morvane_CommunicationFrame> Session(const std::string& dir) {
  auto session = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
  session->v_SetORGFilesPath(dir.c_str());
  session->v_SetTranslatedFilesPath(dir.c_str());
  session->v_SetFileFormatForKWX(0);
  session->v_SetSourceLanguage("English (US)");
  session->v_SetTargetLanguage("German");
  return session;
}

bool Done(const CQ_Morvane_Communication& session) {
  for (const std::string& line : session.rco_GetResults()) {
    if (line == "Done.") return true;
  }
  for (const std::string& line : session.rco_GetResults()) std::fprintf(stderr, "%s\n", line.c_str());
  return false;
}

bool Forward(const std::string& mif, const std::string& dir) {
  auto session = Session(dir);
  CQ_StringList paths = {mif};
  session->v_ConvertMIF(&paths);
  session->b_CreateAncillaryFile(dir + "ancillary.txt");
  return Done(*session);
}

bool Back(const std::string& kwx, const std::string& dir) {
  auto session = Session(dir);
  CQ_StringList paths = {kwx};
  session->v_ConvertKWX(&paths, (dir + "ancillary.txt").c_str());
  return Done(*session);
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options options =
      bench::ParseOptions(argc, argv, "morvane_back_bench", [](const std::string&, const char*) {});
  const std::vector<int>& sizes = options.sizes;
  std::string dir = options.dir;
  std::filesystem::create_directories(dir + "/src");
  dir += "/";
  std::printf("%8s %10s %10s %10s %10s %10s %10s %10s\n", "input", "forward s", "back s", "back MB/s", "peak MB",
              "pseudo s", "pseudo MB/s", "peak MB");
  for (int mb : sizes) {
    const std::string mif = dir + "src/bench.mif";
    const double bytes = static_cast<double>(bench::GenerateMIF(mif, static_cast<std::uint64_t>(mb) << 20));
    const double inMB = bytes / (1 << 20);
    const Measure forward = InChild([&] { return Forward(mif, dir); });
    if (!forward.ok) {
      std::fprintf(stderr, "forward conversion failed for %d MB\n", mb);
      return 1;
    }
    const int runs = mb >= 100 ? 1 : 3;
    Measure back;
    for (int r = 0; r < runs; ++r) {
      const Measure m = InChild([&] { return Back(dir + "bench.txt", dir); });
      if (!m.ok) return 1;
      if (r == 0 || m.seconds < back.seconds) back = m;
    }
    sv_PseudoTranslateFile(dir + "bench.txt", dir + "bench.txt");
    sv_PseudoTranslateFile(dir + "ancillary.txt", dir + "ancillary.txt");
    Measure pseudo;
    for (int r = 0; r < runs; ++r) {
      const Measure m = InChild([&] { return Back(dir + "bench.txt", dir); });
      if (!m.ok) return 1;
      if (r == 0 || m.seconds < pseudo.seconds) pseudo = m;
    }
    std::printf("%6.1fMB %10.3f %10.3f %10.1f %10.1f %10.3f %10.1f %10.1f\n", inMB, forward.seconds, back.seconds,
                inMB / back.seconds, back.peakMB, pseudo.seconds, inMB / pseudo.seconds, pseudo.peakMB);
    std::fflush(stdout);
    for (const char* f : {"src/bench.mif", "bench.mif", "bench.org", "bench.txt", "ancillary.txt", "bench.cmp"}) {
      std::filesystem::remove(dir + f);
    }
  }
  return 0;
}
