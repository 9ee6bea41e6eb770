// Translations made in a real word processor (tests/data/wordprocessor,
// made once by make-fixtures.py with LibreOffice Writer from the KWX RTF
// file of the text_runs document): each verifies with exactly the expected
// messages, and each that has no error back-converts with every character
// in place: the back-converted MIF converted forward again gives the lines
// the translated file holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BackTestSupport.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/session/KernelStrings.h"

namespace {

using namespace back_test;

// The source path forward conversion wrote into the fixtures.
const std::string kFixturePath = "/tmp/morvane-wp-fixture/src/wp.mif";

struct Fixture {
  const char* name;
  const char* language;
  int codePage;
  std::map<std::string, int> messages;  // message text to the number of times it is given
  bool converts;
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

const std::string kHardReturnAdded = "Warning 1707. The internal tag <:hr> has been added.";
const std::string kHardReturnInTextLine =
    "Alert 619. <:hr> is not allowed in text strings and will be deleted   in the conversion from KWX to MIF.";

std::vector<Fixture> Fixtures() {
  return {
      {"linebreaks", "English (US)", 1252,
       {{kHardReturnAdded, 10},
        {"Warning 1707. The internal tag <:hs> has been added.", 1},
        {"Warning 1707. The internal tag <:dh> has been added.", 1},
        {"Warning 1707. The internal tag <:hh> has been added.", 1},
        {"Warning 1707. The internal tag <:ems> has been added.", 1}},
       true},
      {"japanese", "Japanese", 932, {{kHardReturnAdded, 18}, {kHardReturnInTextLine, 2}}, true},
      {"japanese-symbols", "Japanese", 932,
       {{kHardReturnAdded, 18},
        {kHardReturnInTextLine, 2},
        {"Error 1206. The character U+00A9 \"\xA9\" in line 10 cannot be written in the code page of the target "
         "language (932).", 1},
        {"Error 1206. The character U+2122 \"\x99\" in line 10 cannot be written in the code page of the target "
         "language (932).", 1},
        {"Error 1206. The character U+2022 \"\x95\" in line 10 cannot be written in the code page of the target "
         "language (932).", 1}},
       false},
      // 0x81 0x5C (U+4E57) is one of GBK's extension characters.
      {"chinese-simplified", "Chinese (Simplified)", 936,
       {{"Warning 1203. The following Simplified Chinese character does not exist in FrameMaker for Macintosh or "
         "UNIX: \"\x81\x5C\".", 18}},
       true},
      {"chinese-traditional", "Chinese (Traditional)", 950, {}, true},
      {"korean", "Korean", 949, {}, true},
  };
}

std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The lines a translated file should give when its MIF is converted
// forward again: without the header, with the hard returns of text lines
// (which back conversion deletes, alert 619) taken out.
std::vector<std::string> ExpectedAgain(const std::vector<std::string>& translated) {
  std::vector<std::string> out;
  bool textLine = false;
  for (std::size_t i = 6; i < translated.size(); ++i) {
    const std::string& line = translated[i];
    if (line.rfind("<ts ", 0) == 0) textLine = true;
    if (line.rfind("</ts>", 0) == 0) textLine = false;
    if (textLine && line.rfind("<:hr>", 0) == 0 && !out.empty()) {
      out.back() += line.substr(5);
      continue;
    }
    out.push_back(line);
  }
  return out;
}

class WordProcessorFixture : public ScratchTest, public ::testing::WithParamInterface<Fixture> {};

TEST_P(WordProcessorFixture, VerifiesAndComesBackWithEveryCharacter) {
  const Fixture& f = GetParam();
  Settings settings;
  settings.format = 1;
  settings.sourceHyphenation = 0;  // as the command line that made the fixtures
  const std::string mif = ReadBytes(ForwardGoldenDir() + "text_runs/input.mif");
  ASSERT_TRUE(Contains(Forward("wp.mif", mif, settings), lpsz_LoadKernelString(Msg::DONE)));
  const std::string fixture =
      ReadBytes(std::string(MORVANE_TEST_DATA_DIR) + "/wordprocessor/" + f.name + ".rtf");
  ASSERT_NE(fixture.find(kFixturePath), std::string::npos);
  const std::string translatedPath = dir_ + "tr/wp.rtf";
  WriteBytes(translatedPath, ReplacedAll(fixture, kFixturePath, dir_ + "src/wp.mif"));

  // Verification: exactly the expected messages.
  settings.targetLanguage = f.language;
  auto verifier = MakeSession(settings, dir_ + "org/", dir_ + "tr/");
  const CQ_StringList targets = {translatedPath};
  verifier->v_VerifyVarnels(&targets);
  std::map<std::string, int> messages;
  while (verifier->b_NextErrorMessage()) ++messages[verifier->lpsz_GetErrorMessage()];
  EXPECT_EQ(messages, f.messages);

  // Back conversion.
  std::vector<std::string> translated;
  CQ_KWXReader::sv_ReadKWXLines(translatedPath, ".rtf", translated, f.codePage);
  const std::vector<std::string> back = Back("wp", settings);
  if (!f.converts) {
    EXPECT_FALSE(Exists(dir_ + "tr/wp.mif"));
    EXPECT_TRUE(Contains(back, lpsz_LoadKernelString(Msg::BACK_ERR_TAGS))) << ::testing::PrintToString(back);
    return;
  }
  ASSERT_TRUE(Exists(dir_ + "tr/wp.mif")) << ::testing::PrintToString(back);

  // Forward again, as a document of the target language.
  Settings again;
  again.sourceLanguage = f.language;
  std::filesystem::create_directories(dir_ + "again");
  WriteBytes(dir_ + "again/wp.mif", ReadBytes(dir_ + "tr/wp.mif"));
  auto session = MakeSession(again, dir_ + "again/", dir_ + "again/");
  CQ_StringList paths = {dir_ + "again/wp.mif"};
  session->v_ConvertMIF(&paths);
  std::vector<std::string> lines = Lines(ReadBytes(dir_ + "again/wp.txt"));
  ASSERT_GT(lines.size(), 6u);
  lines.erase(lines.begin(), lines.begin() + 6);
  const std::vector<std::string> expected = ExpectedAgain(translated);
  EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WordProcessorFixture, ::testing::ValuesIn(Fixtures()),
                         [](const ::testing::TestParamInfo<Fixture>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
