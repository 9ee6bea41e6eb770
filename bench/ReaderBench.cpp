// Scaling of the KWX reader with the size of the file: reading the RTF
// form, reading the text form, and tokenising plus classifying, for
// synthetic documents of growing size. Prints megabytes per second; a step
// that grew faster than linearly would show a falling rate. Not a test:
// run by hand.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "kernel/backward/KWXReader.h"
#include "kernel/backward/KWXSegmenter.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/KWXTextWriter.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

CQ_StringList Document(int paragraphs) {
  CQ_StringList lines = {"<kwx \"F3.00\">", "<sourcecharset \"Normal\">", "<sourcelanguage \"German\">",
                         "<sourcehyphenation \"Turn Off\">", "<sourcequotes \"As Text\">",
                         "<sourcepath \"C:\\a\\b.mif\">", "<page \"1\">", "<tr 3>"};
  for (int i = 0; i < paragraphs; ++i) {
    lines.push_back("<ps \"Body\" " + std::to_string(i % 50 + 1) + ">Gr\xfc\xdf" "e aus <:cs \"Emphasis\" 2>K\xf6ln<:/cs>, " +
                    "mit {Klammern} und \\ Zeichen<:t>und einem <:xr \"Heading\" 4> Verweis.");
    if (i % 100 == 0) lines.push_back("<tb 7>");
    if (i % 100 == 0) lines.push_back("</tb>");
  }
  lines.insert(lines.end(), {"</tr>", "</page>", "</kwx>"});
  return lines;
}

}  // namespace

int main() {
  const std::string dir = "/tmp/reader-benchmark-" + std::to_string(::getpid());
  std::printf("%10s %8s %12s %12s %14s\n", "paragraphs", "RTF MB", "RTF MB/s", "text MB/s", "segments MB/s");
  for (int paragraphs : {10000, 100000, 1000000}) {
    const CQ_StringList lines = Document(paragraphs);
    const std::string rtf = dir + ".rtf", txt = dir + ".txt";
    CQ_KWXRTFWriter::sv_PrepareAndWrite(rtf, lines, true, 1252, 1252, true);
    CQ_KWXTextWriter::sv_Write(txt, lines);
    double textBytes = 0;
    for (const std::string& line : lines) textBytes += static_cast<double>(line.size() + 2);
    FILE* f = std::fopen(rtf.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const double rtfBytes = static_cast<double>(std::ftell(f));
    std::fclose(f);

    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> fromRtf;
    CQ_KWXReader::sv_ReadKWXLines(rtf, ".rtf", fromRtf, 1252);
    const double rtfTime = Seconds(start);

    start = std::chrono::steady_clock::now();
    std::vector<std::string> fromText;
    CQ_KWXReader::sv_ReadKWXLines(txt, ".txt", fromText, 1252);
    const double textTime = Seconds(start);

    start = std::chrono::steady_clock::now();
    KWX::CQ_TagSegmentList segments;
    KWX::CQ_KWXSegmenter::sv_Tokenise(fromText, segments);
    KWX::CQ_KWXSegmenter::st_Classify(segments, true);
    const double segmentTime = Seconds(start);

    std::remove(rtf.c_str());
    std::remove(txt.c_str());
    if (fromRtf != fromText) {
      std::printf("RTF and text forms differ\n");
      return 1;
    }
    std::printf("%10d %8.1f %12.1f %12.1f %14.1f\n", paragraphs, rtfBytes / 1e6, rtfBytes / 1e6 / rtfTime,
                textBytes / 1e6 / textTime, textBytes / 1e6 / segmentTime);
  }
  return 0;
}
