// The written RTF read back by an independent reader (Debian's unrtf): the
// plain text it recovers must be the KWX lines that went in. Skipped when
// unrtf is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "forward/writers/WritersTestSupport.h"
#include "kernel/forward/KWXRTFWriter.h"

using namespace writers_test;

namespace {

bool HaveUnrtf() { return std::system("command -v unrtf >/dev/null 2>&1") == 0; }

// The text lines unrtf recovers, without its banner (the lines up to and
// including the first line of hyphens).
std::vector<std::string> UnrtfLines(const std::string& path) {
  std::string output;
  if (FILE* pipe = ::popen(("unrtf --text '" + path + "' 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ::pclose(pipe);
  }
  std::vector<std::string> lines;
  bool banner = true;
  std::size_t start = 0;
  while (start <= output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    if (banner) {
      banner = line.empty() || line.find_first_not_of('-') != std::string::npos;
    } else {
      lines.push_back(line);
    }
    start = end + 1;
  }
  return lines;
}

bool IsAscii(const std::string& line) {
  for (unsigned char c : line) {
    if (c >= 0x80) return false;
  }
  return true;
}

class RTFReadBackTest : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    if (!HaveUnrtf()) GTEST_SKIP() << "unrtf is not installed; the independent read-back check is skipped";
  }
};

TEST_F(RTFReadBackTest, UnrtfRecoversTheLinesOfASingleBytePage) {
  // Latin-1-range text, backslashes, braces, nested and stray brackets,
  // an empty line: unrtf's 1252 output agrees with these bytes.
  CQ_StringList lines = ReadLines(DataDir() + "cp1252_to1250_letter.kwx");
  lines.insert(lines.end() - 1, {"<ps \"a<:lt>b\" 3>x > y {z}", "", "<:hr>\\\\server\\{share}"});
  CQ_KWXRTFWriter::sv_PrepareAndWrite(dir_ + "read.rtf", lines, false, 1252, 1250, true);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), UnrtfLines(dir_ + "read.rtf"));
}

TEST_F(RTFReadBackTest, UnrtfFindsEveryParagraphOfEveryCodePage) {
  // For the double-byte pages unrtf's own character mapping differs, so
  // only the paragraph count and the lines of plain ASCII are compared.
  const char* names[] = {"cp1250", "cp1251", "cp1252_a4", "cp1253", "cp1254", "cp1257",
                         "cp932",  "cp936",  "cp949",     "cp950"};
  for (const char* name : names) {
    const CQ_StringList lines = ReadLines(DataDir() + name + ".kwx");
    const std::vector<std::string> back = UnrtfLines(DataDir() + name + ".rtf");
    ASSERT_EQ(lines.size(), back.size()) << name;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (IsAscii(lines[i])) {
        EXPECT_EQ(lines[i], back[i]) << name << ", line " << i + 1;
      }
    }
  }
}

}  // namespace
