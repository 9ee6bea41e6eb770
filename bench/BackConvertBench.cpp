// Back-conversion benchmark: for synthetic MIF documents of 1, 10 and 100
// MB (or the sizes given), forward conversion first (not measured), then
// the back conversion of the untranslated and of the pseudo-translated KWX
// file through a session, each beside its floor: one plain pass that reads
// every line of the files back conversion must read (the translated KWX
// file, the ORG copy and the ancillary file), trims it and writes it out
// again.
//
// Each measurement runs in a child process of its own, so its processor
// time (user and system) and peak resident size (from wait4) are its own;
// each size keeps the best of several runs (9 up to 1 MB, 5 up to 10 MB,
// 3 above, or --runs N), since a shared machine disturbs single runs by a
// third and more. "in MB" is the size of the three files back conversion
// reads; peak memory is shown whole, as a multiple of that, and above the
// peak of back-converting a one-page document (the program and its
// libraries), which is what the input costs.
//
//   back_convert_bench [--sizes 1,10,100] [--dir DIR] [--runs N] [--keep yes] [--once yes|pseudo]
//                      [--stages yes|pseudo]
//
// --keep leaves the last size's files in DIR (src/bench.mif, bench.org,
// bench.txt, ancillary.txt, the pseudo-translated pseudo/bench.txt and
// pseudo/ancillary.txt, and the outputs) for profiling. --once yes runs
// one back conversion of the last size's untranslated file in this
// process after preparing it, and nothing else (for a profiler); --once
// pseudo the same for the pseudo-translated file. --stages yes prepares the
// last size and back-converts it in this process (--runs times, 5 by
// default), printing the processor time of each stage the converter names,
// the least of the runs each, so that the cost of each stage shows
// (--stages pseudo: the pseudo-translated file). The whole includes the
// batch driver's work around the stages.
//
// Columns: "time x" is back conversion's processor time as a multiple of
// the floor's, "peak x" its peak resident size as a multiple of the input
// (the floor streams, so its own peak is the program's alone).
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "MIFBenchGenerator.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/session/CommunicationFrame.h"

namespace {

using bench::InChild;
using bench::Measure;

std::unique_ptr<CQ_Morvane_CommunicationFrame> Session(const std::string& orgDir, const std::string& translatedDir) {
  auto session = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
  session->v_SetORGFilesPath(orgDir.c_str());
  session->v_SetTranslatedFilesPath(translatedDir.c_str());
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

// Forward conversion of mif: ORG copy, KWX text file and ancillary file in dir.
bool Forward(const std::string& mif, const std::string& dir) {
  auto session = Session(dir, dir);
  CQ_StringList paths = {mif};
  session->v_ConvertMIF(&paths);
  (void)session->b_CreateAncillaryFile(dir + "ancillary.txt");
  return Done(*session);
}

// Back conversion of translatedDir/bench.txt against orgDir/bench.org;
// observer (may be null) sees its progress steps.
bool Back(const std::string& orgDir, const std::string& translatedDir, CQ_Morvane_Observer* observer = nullptr) {
  auto session = Session(orgDir, translatedDir);
  session->v_SetObserver(observer);
  CQ_StringList paths = {translatedDir + "bench.txt"};
  session->v_ConvertKWX(&paths, (translatedDir + "ancillary.txt").c_str());
  return Done(*session);
}

double ProcessSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The processor time at the end of each named stage of a run.
class StageClock : public CQ_Morvane_Observer {
 public:
  void v_ProgressStep(bool) override {}
  void v_ResultsWaiting() override {}
  void v_StageEnded(const char* stage) override { ends.emplace_back(stage, ProcessSeconds()); }
  std::vector<std::pair<std::string, double>> ends;
};

// Back-converts runs times in this process and prints each stage's least
// processor time over the runs.
int Stages(int runs, const std::string& orgDir, const std::string& translatedDir) {
  std::vector<std::pair<std::string, double>> best;
  double bestTotal = 0;
  for (int r = 0; r < runs; ++r) {
    StageClock clock;
    const double start = ProcessSeconds();
    if (!Back(orgDir, translatedDir, &clock)) return 1;
    const double total = ProcessSeconds() - start;
    if (r == 0) {
      for (const auto& end : clock.ends) best.emplace_back(end.first, 1e30);
    }
    if (clock.ends.size() != best.size()) {
      std::fprintf(stderr, "the runs named different stages\n");
      return 1;
    }
    double previous = start;
    for (std::size_t k = 0; k < best.size(); ++k) {
      best[k].second = std::min(best[k].second, clock.ends[k].second - previous);
      previous = clock.ends[k].second;
    }
    if (r == 0 || total < bestTotal) bestTotal = total;
  }
  std::printf("%-28s %9s %6s\n", "stage", "cpu s", "share");
  for (const auto& [stage, seconds] : best) {
    std::printf("%-28s %9.4f %5.1f%%\n", stage.c_str(), seconds, 100.0 * seconds / bestTotal);
  }
  std::printf("%-28s %9.4f\n", "whole back conversion", bestTotal);
  return 0;
}

// The floor: every line of the three files read, trimmed and written.
bool Floor(const std::string& orgDir, const std::string& translatedDir) {
  for (const std::string& file :
       {translatedDir + "bench.txt", orgDir + "bench.org", translatedDir + "ancillary.txt"}) {
    CQ_MIFCopyingReader reader(file, translatedDir + "floor.out");
    std::string line;
    while (reader.b_ReadLine(line, true)) {
    }
    reader.v_Commit();
  }
  std::filesystem::remove(translatedDir + "floor.out");
  return true;
}

double FileMB(const std::string& path) { return static_cast<double>(std::filesystem::file_size(path)) / (1 << 20); }

struct Result {
  Measure floor;
  Measure back;
};

Result Best(int runs, const std::string& orgDir, const std::string& translatedDir) {
  Result best;
  for (int r = 0; r < runs; ++r) {
    const Measure f = InChild([&] { return Floor(orgDir, translatedDir); });
    const Measure b = InChild([&] { return Back(orgDir, translatedDir); });
    if (!f.ok || !b.ok) {
      std::fprintf(stderr, "a run failed\n");
      std::exit(1);
    }
    if (r == 0 || f.seconds < best.floor.seconds) best.floor = f;
    if (r == 0 || b.seconds < best.back.seconds) best.back = b;
  }
  return best;
}

// Documents at dir: the MIF source in src/, forward outputs in dir, the
// pseudo-translated KWX and ancillary files in pseudo/.
bool Prepare(const std::string& dir, std::uint64_t bytes) {
  const std::string mif = dir + "src/bench.mif";
  bench::GenerateMIF(mif, bytes);
  if (!Forward(mif, dir)) return false;
  sv_PseudoTranslateFile(dir + "bench.txt", dir + "pseudo/bench.txt");
  sv_PseudoTranslateFile(dir + "ancillary.txt", dir + "pseudo/ancillary.txt");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runsAsked = 0;
  bool once = false;
  bool oncePseudo = false;
  bool stages = false;
  bool stagesPseudo = false;
  const bench::Options options =
      bench::ParseOptions(argc, argv, "morvane_back_bench", [&](const std::string& opt, const char* value) {
        if (opt == "--runs") runsAsked = std::atoi(value);
        if (opt == "--once") {
          once = std::string(value) == "yes" || std::string(value) == "pseudo";
          oncePseudo = std::string(value) == "pseudo";
        }
        if (opt == "--stages") {
          stages = std::string(value) == "yes" || std::string(value) == "pseudo";
          stagesPseudo = std::string(value) == "pseudo";
        }
      });
  std::string dir = options.dir;
  std::filesystem::create_directories(dir + "/src");
  std::filesystem::create_directories(dir + "/pseudo");
  dir += "/";
  const std::string pseudo = dir + "pseudo/";

  if (stages) {
    const int mb = options.sizes.empty() ? 10 : options.sizes.back();
    if (!Prepare(dir, static_cast<std::uint64_t>(mb) << 20)) return 1;
    return Stages(runsAsked > 0 ? runsAsked : 5, dir, stagesPseudo ? pseudo : dir);
  }
  if (once) {
    const int mb = options.sizes.empty() ? 10 : options.sizes.back();
    if (!Prepare(dir, static_cast<std::uint64_t>(mb) << 20)) return 1;
    return Back(dir, oncePseudo ? pseudo : dir) ? 0 : 1;
  }

  // The fixed cost: a document of one page.
  if (!Prepare(dir, 0)) return 1;
  const Measure base = InChild([&] { return Back(dir, dir); });
  std::printf("one-page document: peak %.1f MB\n", base.peakMB);
  std::printf("%-7s %8s %9s %9s %7s %9s %8s %9s %8s\n", "file", "in MB", "floor s", "back s", "time x", "peak MB",
              "peak x", "above/in", "back MB/s");
  for (int mb : options.sizes) {
    if (!Prepare(dir, static_cast<std::uint64_t>(mb) << 20)) {
      std::fprintf(stderr, "forward conversion failed for %d MB\n", mb);
      return 1;
    }
    const int runs = runsAsked > 0 ? runsAsked : mb <= 1 ? 9 : mb <= 10 ? 5 : 3;
    for (const bool translated : {false, true}) {
      const std::string tr = translated ? pseudo : dir;
      const double inMB = FileMB(tr + "bench.txt") + FileMB(dir + "bench.org") + FileMB(tr + "ancillary.txt");
      const Result r = Best(runs, dir, tr);
      std::printf("%-7s %8.1f %9.3f %9.3f %7.2f %9.1f %8.2f %9.2f %8.1f\n", translated ? "pseudo" : "plain", inMB,
                  r.floor.seconds, r.back.seconds, r.back.seconds / r.floor.seconds, r.back.peakMB,
                  r.back.peakMB / inMB, (r.back.peakMB - base.peakMB) / inMB, inMB / r.back.seconds);
      std::fflush(stdout);
    }
    if (!options.keep) {
      for (const std::string& f : {dir + "src/bench.mif", dir + "bench.mif", dir + "bench.org", dir + "bench.txt",
                                   dir + "ancillary.txt", dir + "bench.cmp", pseudo + "bench.txt",
                                   pseudo + "bench.mif", pseudo + "ancillary.txt", pseudo + "bench.cmp"}) {
        std::filesystem::remove(f);
      }
    }
  }
  return 0;
}
