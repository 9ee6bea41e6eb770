// Scaling of the tag tables, the line rule and the text conversion with
// the number of paragraphs. Prints the time per paragraph for growing
// documents; a step that grew faster than linearly would show a rising
// time per paragraph. Not a test: run by hand.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXTagTables.h"
#include "kernel/forward/TextConverter.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
  CQ_TextSettings settings;
  settings.i_SmartQuotes = 1;
  const CQ_TextConverter converter(settings);
  std::printf("%10s %14s %14s %14s\n", "paragraphs", "tables ns/pgf", "lines ns/pgf", "text ns/pgf");
  for (int paragraphs : {10000, 100000, 1000000}) {
    // Every paragraph has its own format block, then the document repeats
    // them all once: half the requests make tags, half reuse them.
    auto start = std::chrono::steady_clock::now();
    CQ_KWXTagTables tables;
    std::size_t checksum = 0;
    for (int round = 0; round < 2; ++round) {
      for (int i = 0; i < paragraphs; ++i) {
        const std::string fragment = "<Para\n<PgfTag `Body'>\n<PgfFIndent " + std::to_string(i) +
                                     ".0\">\n<PgfLIndent 0.0\">\n<PgfSpBefore 4.0 pt>\n";
        checksum += tables.sv_TagForFragment(KWX::NUMBERED_PS, "Body", fragment).size();
      }
    }
    const double tablesTime = Seconds(start);

    start = std::chrono::steady_clock::now();
    KWX::CQ_KWXLineJoiner joiner;
    for (int i = 0; i < paragraphs; ++i) {
      joiner.v_Add("<ps \"Body\" 1>");
      joiner.v_Add("Some text of the paragraph, with a ");
      joiner.v_Add("<:cs \"Emphasis\" 2>");
      joiner.v_Add("word");
      joiner.v_Add("<:/cs>");
      joiner.v_Add(" and a tab<:t>.");
    }
    checksum += joiner.lst_Finish().size();
    const double linesTime = Seconds(start);

    start = std::chrono::steady_clock::now();
    const std::string mif = "The \\xd2 quick\\xd3  brown fox\\xd5 s jump \\> over <the> lazy dog\\t.";
    for (int i = 0; i < paragraphs; ++i) {
      checksum += converter.ccs_Convert(mif).size();
    }
    const double textTime = Seconds(start);

    std::printf("%10d %14.1f %14.1f %14.1f\n", paragraphs, tablesTime * 1e9 / paragraphs,
                linesTime * 1e9 / paragraphs, textTime * 1e9 / paragraphs);
    if (checksum == 0) std::printf("unexpected\n");
  }
  return 0;
}
