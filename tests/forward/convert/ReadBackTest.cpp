// The RTF form of converted documents read back by an independent RTF
// reader (Debian's unrtf): its plain text must be the lines of the text
// form. Also the self-check itself: it must find the faults it looks for.
// The unrtf test is skipped when unrtf is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "forward/convert/ConvertTestSupport.h"
#include "forward/convert/KWXSelfCheck.h"

using namespace convert_test;

namespace {

bool HaveUnrtf() { return std::system("command -v unrtf >/dev/null 2>&1") == 0; }

// The lines unrtf recovers, without its banner (up to the first line of
// hyphens).
CQ_StringList UnrtfLines(const std::string& path) {
  std::string output;
  if (FILE* pipe = ::popen(("unrtf --text '" + path + "' 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ::pclose(pipe);
  }
  CQ_StringList lines;
  bool banner = true;
  for (const std::string& line : SplitLines(output)) {
    if (banner) {
      banner = line.empty() || line.find_first_not_of('-') != std::string::npos;
    } else {
      lines.push_back(line);
    }
  }
  return lines;
}

class ReadBackTest : public ScratchTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReadBackTest, UnrtfRecoversTheTextLines) {
  if (!HaveUnrtf()) GTEST_SKIP() << "unrtf is not installed; the independent read-back check is skipped";
  const std::string name = GetParam();
  for (const char* sub : {"src", "org"}) std::filesystem::create_directories(dir_ + sub);
  std::filesystem::copy_file(DataDir() + "golden/" + name + "/input.mif", dir_ + "src/" + name + ".mif");
  for (int format : {0, 1}) {
    auto session = MakeSession(ReadSettings(DataDir() + "golden/" + name + "/settings.txt"), dir_ + "org/",
                               dir_ + "org/", format);
    CQ_StringList paths = {dir_ + "src/" + name + ".mif"};
    session->v_ConvertMIF(&paths);
  }
  const CQ_StringList text = SplitLines(ReadBytes(dir_ + "org/" + name + ".txt"));
  ASSERT_GT(text.size(), 8u);
  EXPECT_EQ(text, UnrtfLines(dir_ + "org/" + name + ".rtf")) << name;
}

// Cases whose text is plain ASCII, so unrtf's output encoding plays no part.
INSTANTIATE_TEST_SUITE_P(AsciiCases, ReadBackTest,
                         ::testing::Values("conditions", "tables_frames", "structured", "target_1250_letter"));

struct BrokenRow {
  const char* name;
  std::vector<std::string> lines;
};

TEST(SelfCheckTest, FindsEachFault) {
  const std::vector<std::string> head = {"<kwx \"F3.00\">", "<page \"1\">", "<tr 1>"};
  const std::vector<std::string> tail = {"</tr>", "</page>", "</kwx>"};
  const std::vector<BrokenRow> rows = {
      {"raw bracket in text", {"<ps \"B\" 1>a > b"}},
      {"tag left open at the line end", {"<ps \"B\" 1>a <:cs \"E\" 1"}},
      {"unknown tag", {"<ps \"B\" 1>a <:zz> b"}},
      {"character format not closed in its segment", {"<ps \"B\" 1><:cs \"E\" 1>a", "<ps \"B\" 1>b<:/cs>"}},
      {"font change closed twice", {"<ps \"B\" 1><:fc 1>a<:/fc><:/fc>"}},
      {"condition opened twice", {"<ps \"B\" 1><:cns \"A\" 1>a<:cns \"B\" 2>b<:/cns>"}},
      {"condition open at the end", {"<ps \"B\" 1><:cns \"A\" 1>a"}},
      {"text after a structural tag", {"<tb 1>x", "</tb>"}},
      {"closing tag of another block", {"<tb 1>", "</row>", "</tb>"}},
      {"paragraph outside a text container", {"</tr>", "<ps \"B\" 1>x", "<tr 2>"}},
      {"building block in running text", {"<ps \"B\" 1>a<:bb \"$x\">"}},
      {"too deep", {"<ps \"a<:lt<:x>>\" 1>"}},
  };
  std::vector<std::string> clean = head;
  clean.push_back("<ps \"B\" 1>a<:cs \"E\" 1>b<:/cs><:fn 2>");
  clean.push_back("<fn 2>");
  clean.push_back("<ps \"F\" 2>note");
  clean.push_back("</fn>");
  clean.insert(clean.end(), tail.begin(), tail.end());
  EXPECT_TRUE(CheckKWXLines(CQ_StringList(clean.begin(), clean.end())).empty())
      << ::testing::PrintToString(CheckKWXLines(CQ_StringList(clean.begin(), clean.end())));
  for (const BrokenRow& row : rows) {
    CQ_StringList lines(head.begin(), head.end());
    lines.insert(lines.end(), row.lines.begin(), row.lines.end());
    lines.insert(lines.end(), tail.begin(), tail.end());
    EXPECT_FALSE(CheckKWXLines(lines).empty()) << row.name;
  }
}

}  // namespace
