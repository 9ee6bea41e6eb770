// Round trips through the kernel's RTF writer: lines written as RTF read
// back as the same lines, for every sample, every source and target code
// page and both papers, and for random lines of every byte value. The
// writer's file for a sample is also byte for byte the fixture the reader's
// other tests use.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/forward/KWXRTFWriter.h"

namespace {

using namespace reader_test;

const int kCodePages[] = {932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1257};

std::vector<std::string> WriteAndRead(const std::vector<std::string>& lines, int source, int target, bool a4,
                                      bool portrait) {
  CQ_StringList prepared(lines.begin(), lines.end());
  CQ_KWXRTFWriter::sv_PrepareLines(prepared, source);
  const std::string path = TempPath("round-trip.rtf");
  CQ_KWXRTFWriter::sv_Write(path, prepared, a4, source, target, portrait);
  std::vector<std::string> read;
  CQ_KWXReader::sv_ReadKWXLines(path, ".rtf", read, target);
  std::remove(path.c_str());
  return read;
}

std::vector<std::string> NonEmpty(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

struct Sample {
  const char* name;
  int source;
  int target;
};

// Names the row in test output.
void PrintTo(const Sample& s, std::ostream* os) { *os << s.name; }

class WriterRoundTrip : public ::testing::TestWithParam<Sample> {};

TEST_P(WriterRoundTrip, WriterFileIsTheFixture) {
  const Sample& s = GetParam();
  const std::string text = ReadBytes(DataPath(std::string(s.name) + ".txt"));
  std::vector<std::string> lines;  // empty lines included, as the writer would get them
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  CQ_StringList prepared(lines.begin(), lines.end());
  CQ_KWXRTFWriter::sv_PrepareLines(prepared, s.source);
  const std::string path = TempPath("fixture.rtf");
  CQ_KWXRTFWriter::sv_Write(path, prepared, true, s.source, s.target, true);
  const std::string written = ReadBytes(path);
  std::remove(path.c_str());
  EXPECT_EQ(written, ReadBytes(DataPath(std::string(s.name) + ".rtf")));
}

TEST_P(WriterRoundTrip, EveryTargetAndPaperReadsBack) {
  const Sample& s = GetParam();
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadKWXLines(DataPath(std::string(s.name) + ".txt"), ".txt", lines, s.source);
  for (int target : kCodePages) {
    for (bool a4 : {true, false}) {
      for (bool portrait : {true, false}) {
        // The lines stay in the source code page; the reader is told so.
        CQ_StringList prepared(lines.begin(), lines.end());
        CQ_KWXRTFWriter::sv_PrepareLines(prepared, s.source);
        const std::string path = TempPath("targets.rtf");
        CQ_KWXRTFWriter::sv_Write(path, prepared, a4, s.source, target, portrait);
        std::vector<std::string> read;
        CQ_KWXReader::sv_ReadKWXLines(path, ".rtf", read, s.source);
        std::remove(path.c_str());
        EXPECT_TRUE(SameLines(lines, read)) << "target " << target << (a4 ? " A4" : " Letter")
                                            << (portrait ? " portrait" : " landscape");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, WriterRoundTrip,
                         ::testing::Values(Sample{"sample-1252", 1252, 1252}, Sample{"sample-1251-1250", 1251, 1250},
                                           Sample{"sample-932", 932, 932}, Sample{"sample-936", 936, 936},
                                           Sample{"sample-949", 949, 949}, Sample{"sample-950", 950, 950},
                                           Sample{"ancillary-1252", 1252, 1252}),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

// Random lines of every byte but the line ends, with tags, stray brackets,
// tabs and blanks, in every code page: what the writer stores, the reader
// gives back, empty lines aside. Each line begins as the lines of a KWX
// file do (an external tag or a hard return): the reader
// takes a line that does not, after running text, as a break typed inside
// that text.
TEST(WriterRoundTrip, RandomLinesOfEveryByte) {
  std::mt19937 random(20261207);
  const std::vector<std::string> pieces = {"<ps \"Body\" 1>", "<:t>", "<:cs \"x<:lt>y\" 2>", "<", ">", "\t", " ",
                                           "\\", "{", "}", "\\par", "\\'41", "<tr 3>", "<:b>"};
  for (int codePage : kCodePages) {
    std::vector<std::string> lines;
    for (int n = 0; n < 200; ++n) {
      static const char* const kBeginnings[] = {"<tr 3>", "<:hr>", "<ps \"Body\" 1>"};
      std::string line = kBeginnings[n % 3];
      const int length = static_cast<int>(random() % 40);
      for (int i = 0; i < length; ++i) {
        if (random() % 4 == 0) {
          line += pieces[random() % pieces.size()];
        } else {
          char c;
          do {
            c = static_cast<char>(random() % 256);
          } while (c == '\n' || c == '\r');
          line.push_back(c);
        }
      }
      lines.push_back(line);
    }
    EXPECT_TRUE(SameLines(NonEmpty(lines), WriteAndRead(lines, codePage, codePage, true, true)))
        << "code page " << codePage;
  }
}

}  // namespace
