// Verification benchmark: for synthetic MIF documents of 1, 10 and 100 MB
// (or the sizes given), forward conversion to a KWX text file, then the
// verification of that file (the source) against a lightly changed copy
// (the translation) through the session's verification batch, as the
// command line's verify runs it.
//
// The translation changes a line about every N lines (--every, default
// 100), in turn: a word of text set in capitals, one external tag deleted,
// two internal tags swapped, another word changed. The report then has findings all
// through the file, but changes stay far apart, so the comparison's walk
// never gives up and every tag is compared.
//
// Each measurement runs in a child process of its own (processor time and
// peak resident size from wait4); the best of three runs (two for 100 MB
// and more). The ratio columns divide by the previous size's figures, so
// linear growth shows as ratios close to the input ratio.
//
//   verify_bench [--sizes 1,10,100] [--dir DIR] [--every N] [--keep yes]
//
// --keep leaves the documents, KWX files and reports in DIR.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "MIFBenchGenerator.h"
#include "kernel/session/CommunicationFrame.h"

namespace {

using bench::InChild;
using bench::Measure;

void PrintResults(const CQ_Morvane_CommunicationFrame& session) {
  for (const std::string& line : session.rco_GetResults()) std::fprintf(stderr, "%s\n", line.c_str());
}

// Forward conversion of mif into dir (KWX as text), as convert_bench runs it.
bool Convert(const std::string& mif, const std::string& dir) {
  CQ_Morvane_CommunicationFrame session("morvane", "3.0", false);
  session.v_SetORGFilesPath(dir.c_str());
  session.v_SetTranslatedFilesPath(dir.c_str());
  session.v_SetFileFormatForKWX(0);
  session.v_SetSourceLanguage("English (US)");
  session.v_SetTargetLanguage("German");
  CQ_StringList paths = {mif};
  session.v_ConvertMIF(&paths);
  for (const std::string& line : session.rco_GetResults()) {
    if (line == "Done.") return true;
  }
  PrintResults(session);
  return false;
}

// The translated KWX file verified against the file of the same name in
// orgDir, with the command line's settings.
bool Verify(const std::string& translated, const std::string& orgDir) {
  CQ_Morvane_CommunicationFrame session("morvane", "3.0", false);
  session.v_ResetBatch();
  session.v_SetFileFormatForKWX(0);
  session.v_SetTargetLanguage("German");
  session.v_SetORGFilesPath(orgDir.c_str());
  session.v_RestoreVerifierReportDefaults();
  CQ_StringList paths = {translated};
  session.v_VerifyVarnels(&paths);
  if (session.i_GetBatchProcessed() == 1 && session.i_GetBatchFailed() == 0) return true;
  PrintResults(session);
  return false;
}

// The end of the tag that opens at text[pos] ('<'), one past its '>' at
// depth zero; npos when it never closes.
std::size_t TagEnd(const std::string& text, std::size_t pos) {
  int depth = 0;
  for (std::size_t i = pos; i < text.size(); ++i) {
    if (text[i] == '<') ++depth;
    if (text[i] == '>' && --depth == 0) return i + 1;
  }
  return std::string::npos;
}

// Sets the first word of four or more lower-case letters after the line's
// last tag in capitals, as a translator's change of text.
bool ChangeWord(std::string& line) {
  const std::size_t lastTag = line.rfind('>');
  std::size_t pos = lastTag == std::string::npos ? 0 : lastTag + 1;
  while (pos < line.size()) {
    std::size_t end = pos;
    while (end < line.size() && line[end] >= 'a' && line[end] <= 'z') ++end;
    if (end - pos >= 4) {
      for (std::size_t i = pos; i < end; ++i) line[i] = static_cast<char>(line[i] - 'a' + 'A');
      return true;
    }
    pos = end + 1;
  }
  return false;
}

// Deletes the external tag that opens the line (not the file's last tag).
bool DeleteExternalTag(std::string& line) {
  if (line.size() < 2 || line[0] != '<' || line[1] == ':' || line.rfind("</kwx>", 0) == 0) return false;
  const std::size_t end = TagEnd(line, 0);
  if (end == std::string::npos) return false;
  line.erase(0, end);
  return true;
}

// Swaps the line's first two internal tags.
bool SwapInternalTags(std::string& line) {
  const std::size_t a = line.find("<:");
  if (a == std::string::npos) return false;
  const std::size_t aEnd = TagEnd(line, a);
  if (aEnd == std::string::npos) return false;
  const std::size_t b = line.find("<:", aEnd);
  if (b == std::string::npos) return false;
  const std::size_t bEnd = TagEnd(line, b);
  if (bEnd == std::string::npos) return false;
  const std::string first = line.substr(a, aEnd - a);
  const std::string second = line.substr(b, bEnd - b);
  if (first == second) return false;
  line = line.substr(0, a) + second + line.substr(aEnd, b - aEnd) + first + line.substr(bEnd);
  return true;
}

struct Changes {
  unsigned words = 0, deleted = 0, swapped = 0;
};

// Copies source to target, changing a line about every Nth line after the
// header: from each Nth line on, the first line the next kind of change
// applies to.
Changes Mutate(const std::string& source, const std::string& target, unsigned every) {
  std::ifstream in(source, std::ios::binary);
  std::ofstream out(target, std::ios::binary);
  Changes changes;
  std::string line;
  unsigned number = 0;
  unsigned next = every;  // the line from which the next change is made
  unsigned kind = 0;
  while (std::getline(in, line)) {
    ++number;
    if (number > 6 && number >= next) {
      bool done = false;
      switch (kind % 4) {
        case 0:
        case 3: done = ChangeWord(line); changes.words += done; break;
        case 1: done = DeleteExternalTag(line); changes.deleted += done; break;
        case 2: done = SwapInternalTags(line); changes.swapped += done; break;
      }
      if (done) {
        ++kind;
        next = number + every;
      }
    }
    out << line << '\n';
  }
  if (!out) throw std::runtime_error("cannot write " + target);
  return changes;
}

// Report lines that begin a numbered entry ("[n] ").
unsigned NumberedEntries(const std::string& report) {
  std::ifstream in(report, std::ios::binary);
  unsigned n = 0;
  std::string line;
  while (std::getline(in, line)) n += line.size() > 1 && line[0] == '[' && line[1] >= '0' && line[1] <= '9';
  return n;
}

double MB(const std::string& path) { return static_cast<double>(std::filesystem::file_size(path)) / (1 << 20); }

}  // namespace

int main(int argc, char** argv) {
  unsigned every = 100;
  const bench::Options options =
      bench::ParseOptions(argc, argv, "morvane_verify_bench", [&](const std::string& opt, const char* value) {
        if (opt == "--every") every = static_cast<unsigned>(std::max(2, std::atoi(value)));
      });
  const std::vector<int>& sizes = options.sizes;
  std::string dir = options.dir;
  const bool keep = options.keep;
  const std::string conv = dir + "/conv/";
  const std::string org = dir + "/org/";
  const std::string tr = dir + "/tr/";
  for (const std::string& d : {conv, org, tr}) std::filesystem::create_directories(d);

  std::printf("one line in about %u of the translation changed; times are processor seconds, best of 3 (2 from 100 MB)\n",
              every);
  std::printf("%8s %8s %9s %9s %9s %9s %8s %8s %8s %8s %8s\n", "input", "KWX MB", "convert s", "verify s",
              "vrf MB/s", "peak MB", "entries", "x input", "x conv", "x verify", "x peak");
  double prevIn = 0, prevConv = 0, prevVerify = 0, prevPeak = 0;
  for (int mb : sizes) {
    const std::string name = "bench_" + std::to_string(mb) + "mb";
    const std::string mif = dir + "/" + name + ".mif";
    const double inMB =
        static_cast<double>(bench::GenerateMIF(mif, static_cast<std::uint64_t>(mb) << 20)) / (1 << 20);
    const int runs = mb >= 100 ? 2 : 3;

    Measure convert;
    for (int r = 0; r < runs; ++r) {
      const Measure c = InChild([&] { return Convert(mif, conv); });
      if (!c.ok) {
        std::fprintf(stderr, "conversion failed for %d MB\n", mb);
        return 1;
      }
      if (r == 0 || c.seconds < convert.seconds) convert = c;
    }
    const std::string source = org + name + ".txt";
    const std::string target = tr + name + ".txt";
    std::filesystem::copy_file(conv + name + ".txt", source, std::filesystem::copy_options::overwrite_existing);
    const Changes changes = Mutate(source, target, every);
    const double kwxMB = MB(source);

    Measure verify;
    for (int r = 0; r < runs; ++r) {
      const Measure v = InChild([&] { return Verify(target, org); });
      if (!v.ok) {
        std::fprintf(stderr, "verification failed for %d MB\n", mb);
        return 1;
      }
      if (r == 0 || v.seconds < verify.seconds) verify = v;
    }
    const unsigned entries = NumberedEntries(tr + name + ".cmp");

    std::printf("%6.1fMB %8.1f %9.3f %9.3f %9.1f %9.1f %8u", inMB, kwxMB, convert.seconds, verify.seconds,
                kwxMB / verify.seconds, verify.peakMB, entries);
    if (prevIn > 0) {
      std::printf(" %8.2f %8.2f %8.2f %8.2f\n", inMB / prevIn, convert.seconds / prevConv, verify.seconds / prevVerify,
                  verify.peakMB / prevPeak);
    } else {
      std::printf(" %8s %8s %8s %8s\n", "-", "-", "-", "-");
    }
    std::fprintf(stderr, "  %s: %u words changed, %u external tags deleted, %u tag pairs swapped\n", name.c_str(),
                 changes.words, changes.deleted, changes.swapped);
    std::fflush(stdout);
    prevIn = inMB;
    prevConv = convert.seconds;
    prevVerify = verify.seconds;
    prevPeak = verify.peakMB;
    if (!keep) {
      for (const auto& entry : std::filesystem::directory_iterator(conv)) std::filesystem::remove(entry.path());
      for (const std::string& f : {mif, source, target, tr + name + ".cmp"}) std::filesystem::remove(f);
    }
  }
  return 0;
}
