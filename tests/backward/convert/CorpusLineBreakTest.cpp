// Every supported corpus document, translated in the RTF form by typing a
// line break ("\line", as word processors write Shift+Enter) for the first
// blank between two words of every paragraph: the verifier reports one
// added hard return per break and nothing else, and the back-converted
// document, converted forward again, holds a hard return at every break:
// no two words are glued together. Rows skip when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BackTestSupport.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/session/KernelStrings.h"

namespace {

using namespace back_test;

std::vector<std::string> CorpusDocuments() {
  std::vector<std::string> out;
  if (!HaveCorpus()) return out;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
    if (entry.path().extension() != ".mif") continue;
    const std::string head = ReadBytes(entry.path().string()).substr(0, 16);
    if (head.rfind("<MIFFile 4", 0) != 0 && head.rfind("<MIFFile 5.0", 0) != 0 && head.rfind("<MIFFile 5.5", 0) != 0) {
      continue;
    }
    out.push_back(entry.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// A marker byte that KWX text never holds; the RTF writer stores it as it is.
constexpr char kBreak = '\x01';

// Marks the first blank between two words of the text (outside tags) of a
// paragraph line; false when the line has none.
bool MarkBreak(std::string& line) {
  int depth = 0;
  for (std::size_t i = 0; i + 2 < line.size(); ++i) {
    const char c = line[i];
    if (c == '<') ++depth;
    if (c == '>' && depth > 0) --depth;
    if (depth != 0 || c == '<' || c == '>') continue;
    const auto word = [](char b) { return b != ' ' && b != '<' && b != '>' && b != '\t'; };
    if (word(c) && line[i + 1] == ' ' && word(line[i + 2])) {
      line[i + 1] = kBreak;
      return true;
    }
  }
  return false;
}

class CorpusLineBreaks : public ScratchTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(CorpusLineBreaks, GiveAddedHardReturnsAndNeverGlueWords) {
  const std::string name = GetParam();
  const std::string base = name.substr(0, name.size() - 4);
  Settings settings;
  settings.format = 1;
  const std::vector<std::string> forward = Forward(name, WithoutChangeBars(ReadBytes(CorpusDir() + name)), settings);
  ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);

  // The translation: a line break for a blank in every paragraph.
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadKWXLines(dir_ + "org/" + base + ".rtf", ".rtf", lines, 1252);
  unsigned breaks = 0;
  bool textLine = false;
  for (std::string& line : lines) {
    if (line.rfind("<ts ", 0) == 0) textLine = true;
    if (line.rfind("</ts>", 0) == 0) textLine = false;
    if (!textLine && line.rfind("<ps \"", 0) == 0 && MarkBreak(line)) ++breaks;
  }
  ASSERT_GT(breaks, 0u);
  CQ_StringList prepared(lines.begin(), lines.end());
  CQ_KWXRTFWriter::sv_PrepareLines(prepared, 1252);
  const std::string translatedPath = dir_ + "tr/" + base + ".rtf";
  CQ_KWXRTFWriter::sv_Write(translatedPath, prepared, true, 1252, 1252, true);
  std::string rtf = ReadBytes(translatedPath);
  std::size_t written = 0;
  for (std::size_t at = rtf.find(kBreak); at != std::string::npos; at = rtf.find(kBreak, at)) {
    rtf.replace(at, 1, "\\line ");
    ++written;
  }
  ASSERT_EQ(written, breaks);
  WriteBytes(translatedPath, rtf);

  // Verification: one added hard return per break, nothing else.
  auto verifier = MakeSession(settings, dir_ + "org/", dir_ + "tr/");
  const CQ_StringList targets = {translatedPath};
  verifier->v_VerifyVarnels(&targets);
  std::map<std::string, unsigned> messages;
  while (verifier->b_NextErrorMessage()) ++messages[verifier->lpsz_GetErrorMessage()];
  EXPECT_EQ(messages, (std::map<std::string, unsigned>{{"Warning 1707. The internal tag <:hr> has been added.", breaks}}));

  // Back conversion, and forward conversion of the result: the lines the
  // translated file gives, a hard return at every break.
  std::vector<std::string> translated;
  CQ_KWXReader::sv_ReadKWXLines(translatedPath, ".rtf", translated, 1252);
  EXPECT_EQ(static_cast<unsigned>(std::count_if(translated.begin(), translated.end(),
                                                [](const std::string& l) { return l.rfind("<:hr>", 0) == 0; })),
            breaks + static_cast<unsigned>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
              return l.rfind("<:hr>", 0) == 0;
            })));
  const std::vector<std::string> back = Back(base, settings);
  ASSERT_TRUE(Exists(dir_ + "tr/" + base + ".mif")) << ::testing::PrintToString(back);
  std::filesystem::create_directories(dir_ + "again");
  WriteBytes(dir_ + "again/" + name, ReadBytes(dir_ + "tr/" + base + ".mif"));
  auto session = MakeSession(settings, dir_ + "again/", dir_ + "again/");
  CQ_StringList paths = {dir_ + "again/" + name};
  session->v_ConvertMIF(&paths);
  std::vector<std::string> again;
  CQ_KWXReader::sv_ReadKWXLines(dir_ + "again/" + base + ".rtf", ".rtf", again, 1252);
  const std::vector<std::string> expected = WithoutSourcePath(translated);
  const std::vector<std::string> actual = WithoutSourcePath(again);
  std::size_t k = 0;
  while (k < expected.size() && k < actual.size() && expected[k] == actual[k]) ++k;
  EXPECT_TRUE(k == expected.size() && k == actual.size())
      << "line " << k + 1 << "\n expected: " << (k < expected.size() ? expected[k].substr(0, 300) : "(end)")
      << "\n actual:   " << (k < actual.size() ? actual[k].substr(0, 300) : "(end)");
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusLineBreaks, ::testing::ValuesIn(CorpusDocuments()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string n = info.param.substr(0, info.param.size() - 4);
                           for (char& c : n) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return n;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusLineBreaks);

}  // namespace
