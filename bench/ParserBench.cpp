// Font mapping parser benchmark: for synthetic MIF documents of 1, 10 and
// 100 MB (or the sizes given), the processor time and peak memory of the
// table-driven lexer and parser collecting every Pgf, Font and
// CombinedFontDefn piece, beside the floor: one plain pass that reads the
// file line by line, trims each line and writes it out again.
//
// Each measurement runs in a child process of its own (its peak resident
// size and processor time come from wait4); each size keeps the best of
// several runs (--runs N, default 9 up to 10 MB and 5 above), since a shared
// machine disturbs single runs. Peak memory is shown whole and above the
// peak of parsing a one-page document.
//
//   parser_bench [--sizes 1,10,100] [--dir DIR] [--runs N] [--buffer BYTES] [--keep yes]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "MIFBenchGenerator.h"
#include "fontmapping/parser/FontMappingParser.h"
#include "fontmapping/parser/SSException.h"
#include "kernel/forward/MIFLineReader.h"

namespace {

using bench::InChild;
using bench::Measure;

bool FloorPass(const std::string& mif, const std::string& out) {
  CQ_MIFCopyingReader reader(mif, out);
  std::string line;
  while (reader.b_ReadLine(line, true)) {
  }
  reader.v_Commit();
  return true;
}

bool ParseFile(const std::string& mif, long buffer, std::size_t* count) {
  std::vector<CTextPiece> pieces;
  std::vector<std::string> log;
  long errors = 0;
  try {
    CQ_FontMappingParser parser(mif, pieces, log, errors, buffer);
    parser.v_Run();
  } catch (const SSException& e) {
    std::fprintf(stderr, "%s: %s\n", mif.c_str(), e.what());
    return false;
  }
  if (count) *count = pieces.size();
  return errors == 0 && !pieces.empty();
}

}  // namespace

int main(int argc, char** argv) {
  int runsAsked = 0;
  long buffer = CQ_FontMappingParser::kDefaultBufferSize;
  const bench::Options options =
      bench::ParseOptions(argc, argv, "morvane_parser_bench", [&](const std::string& opt, const char* value) {
        if (opt == "--runs") runsAsked = std::atoi(value);
        if (opt == "--buffer") buffer = std::atol(value);
      });
  std::string dir = options.dir;
  std::filesystem::create_directories(dir);
  dir += "/";
  const std::string small = dir + "bench_base.mif";
  bench::GenerateMIF(small, 0);
  const Measure base = InChild([&] { return ParseFile(small, buffer, nullptr); });
  std::filesystem::remove(small);

  std::printf("parser buffer %ld bytes; base peak %.1f MB\n", buffer, base.peakMB);
  std::printf("%8s %9s %10s %9s %10s %7s %9s %9s %8s %9s\n", "input", "floor s", "floor MB/s", "parse s", "parse MB/s",
              "ratio", "peak MB", "+peak MB", "peak/in", "pieces");
  for (int mb : options.sizes) {
    const std::string mif = dir + "bench_" + std::to_string(mb) + "mb.mif";
    const double inMB = static_cast<double>(bench::GenerateMIF(mif, static_cast<std::uint64_t>(mb) << 20)) / (1 << 20);
    const int runs = runsAsked > 0 ? runsAsked : (mb <= 10 ? 9 : 5);
    Measure floor, parse;
    for (int r = 0; r < runs; ++r) {
      const Measure f = InChild([&] { return FloorPass(mif, dir + "floor.org"); });
      if (r == 0 || f.seconds < floor.seconds) floor = f;
      const Measure p = InChild([&] { return ParseFile(mif, buffer, nullptr); });
      if (!p.ok) {
        std::fprintf(stderr, "parse of %s failed\n", mif.c_str());
        return 1;
      }
      if (r == 0 || p.seconds < parse.seconds) parse = p;
    }
    std::size_t pieces = 0;
    ParseFile(mif, buffer, &pieces);
    const double extra = parse.peakMB - base.peakMB;
    std::printf("%6.1fMB %9.3f %10.1f %9.3f %10.1f %7.2f %9.1f %9.1f %8.2f %9zu\n", inMB, floor.seconds, inMB / floor.seconds,
                parse.seconds, inMB / parse.seconds, parse.seconds / floor.seconds, parse.peakMB, extra, extra / inMB, pieces);
    std::fflush(stdout);
    std::filesystem::remove(dir + "floor.org");
    if (!options.keep) std::filesystem::remove(mif);
  }
  return 0;
}
