// Western documents converted with a Chinese, Japanese or Korean source
// language. Their curly quotes, accented letters and dashes are FrameMaker
// characters of 0x80 and more; in the KWX file they must be characters of
// the double-byte code page (or tags), never a single byte that the code
// page reads as the first half of a character, which would join the "<" of
// the next tag and make back conversion refuse the file.
//
// Rows: four Western fixtures and one with every FrameMaker character x
// four languages x both KWX forms.
// - untranslated: converts, holds no lone lead byte, verifies clean,
//   converts back, and gives exactly the MIF the English (US) run gives;
// - pseudo-translated in the document's code page: verifies without
//   errors or alerts, converts back, and converting the result forward
//   again gives the pseudo-translated KWX lines.
// A KWX file written before FrameMaker characters became code-page
// characters (Windows-1252 bytes in a Western run) still converts back to
// the source's statements, and a Unicode document (MIF 9.0) gives the
// English run's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "BackTestSupport.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/backward/MIFEscaping.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/KernelStrings.h"

namespace {

using namespace back_test;

struct Row {
  std::string fixture;   // path below tests/data
  std::string language;  // source and target language
  int codePage;
  int format;            // 0 text, 1 RTF
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.fixture << " " << r.language << " format " << r.format; }

// A Western run's text: A-umlaut and A-ring, each followed by a letter
// (their Windows-1252 bytes and those letters are characters of all four
// code pages, so files written before were accepted).
constexpr const char* kRunText = "b\\x80 ld caf\\x81 s";

// The row whose document is text_runs with every FrameMaker character of
// 0x80 and more that has a Windows-1252 byte, each after an "x", in one
// string.
constexpr const char* kEveryCode = "every_code";

std::string TestDataDir() { return std::filesystem::path(DataDir()).parent_path().parent_path().string() + "/"; }

std::vector<Row> Rows() {
  const std::vector<std::string> fixtures = {"convert/golden/formats_master/input.mif",
                                             "convert/golden/text_runs/input.mif", "back/roundtrip/columns.mif",
                                             "convert/golden/markers_footnotes/input.mif", kEveryCode};
  const std::vector<std::pair<std::string, int>> languages = {
      {"Chinese (Simplified)", 936}, {"Japanese", 932}, {"Korean", 949}, {"Chinese (Traditional)", 950}};
  std::vector<Row> rows;
  for (const std::string& f : fixtures) {
    for (const auto& [language, codePage] : languages) {
      for (int format : {0, 1}) rows.push_back({f, language, codePage, format});
    }
  }
  return rows;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  if (info.param.fixture == kEveryCode) {
    return std::string(kEveryCode) + "_" + std::to_string(info.param.codePage) + (info.param.format == 0 ? "_txt" : "_rtf");
  }
  std::string name = std::filesystem::path(info.param.fixture).parent_path().filename().string();
  if (name == "roundtrip") name = std::filesystem::path(info.param.fixture).stem().string();
  name += "_" + std::to_string(info.param.codePage) + (info.param.format == 0 ? "_txt" : "_rtf");
  return name;
}

// The first byte of KWX text that is a lead byte without a second byte of
// the code page after it, shown with its line; empty when there is none.
std::string LoneLeadByte(const std::vector<std::string>& lines, int codePage) {
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& l = lines[k];
    for (std::size_t i = 0; i < l.size(); ++i) {
      const auto b = static_cast<unsigned char>(l[i]);
      if (!CQ_TextConverter::sb_IsLeadByte(codePage, b)) continue;
      if (i + 1 < l.size() && CQ_TextConverter::sb_IsTrailByte(codePage, static_cast<unsigned char>(l[i + 1]))) {
        ++i;
        continue;
      }
      return "line " + std::to_string(k + 1) + ": " + Visible(l);
    }
  }
  return {};
}

::testing::AssertionResult VerifiedClean(const std::vector<std::string>& results, bool warningsAllowed) {
  const std::string complete = lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE);
  if (std::count(results.begin(), results.end(), complete) != 2) {
    return ::testing::AssertionFailure() << "not verified: " << ::testing::PrintToString(results);
  }
  for (const std::string& line : results) {
    if (line.rfind("Errors: ", 0) == 0 || line.rfind("Alerts: ", 0) == 0 ||
        (!warningsAllowed && line.rfind("Warnings: ", 0) == 0)) {
      return ::testing::AssertionFailure() << line << "\n" << ::testing::PrintToString(results);
    }
  }
  return ::testing::AssertionSuccess();
}

class WesternTextInAsianDocumentTest : public ScratchTest, public ::testing::WithParamInterface<Row> {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    if (GetParam().fixture == kEveryCode) {
      mif_ = ReadBytes(TestDataDir() + "convert/golden/text_runs/input.mif");
      std::string every;
      for (int code = 0x80; code <= 0xFF; ++code) {
        if (CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code)).size() != 1) continue;
        every += "x" + CQ_MIFEscaping::scs_HexEscape(static_cast<unsigned char>(code));
      }
      const std::string line = "<String `second line'>";
      ASSERT_NE(mif_.find(line), std::string::npos);
      mif_.replace(mif_.find(line), line.size(), "<String `" + every + "'>");
    } else {
      mif_ = ReadBytes(TestDataDir() + GetParam().fixture);
    }
    ASSERT_FALSE(mif_.empty()) << GetParam().fixture;
    settings_.sourceLanguage = settings_.targetLanguage = GetParam().language;
    settings_.format = GetParam().format;
  }

  // Forward conversion of the fixture; the ancillary file's source side
  // kept in the ORG folder as the front end keeps it.
  void ConvertForward(const Settings& s) {
    const std::vector<std::string> forward = Forward("doc.mif", mif_, s);
    ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
    ASSERT_TRUE(Exists(dir_ + "tr/ancillary" + Ext(s)));
    WriteBytes(dir_ + "org/ancillary" + Ext(s), ReadBytes(dir_ + "tr/ancillary" + Ext(s)));
  }

  std::vector<std::string> Verify(const Settings& s) {
    auto verifier = MakeSession(s, dir_ + "org/", dir_ + "tr/");
    const CQ_StringList targets = {dir_ + "tr/doc" + Ext(s), dir_ + "tr/ancillary" + Ext(s)};
    verifier->v_VerifyVarnels(&targets);
    return ResultLines(*verifier);
  }

  // Back conversion; the output's lines, or nothing when it failed.
  std::vector<std::string> ConvertBack(const Settings& s) {
    const std::vector<std::string> back = Back("doc", s);
    EXPECT_TRUE(Contains(back, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(back);
    for (const std::string& line : back) EXPECT_EQ(line.find("Error"), std::string::npos) << line;
    if (!Exists(dir_ + "tr/doc.mif")) return {};
    return MIFLines(ReadBytes(dir_ + "tr/doc.mif"));
  }

  // The whole untranslated round trip with English (US), in a folder of
  // its own.
  std::vector<std::string> EnglishOutput() {
    const std::string keep = dir_;
    dir_ += "english/";
    for (const char* sub : {"src", "org", "tr"}) std::filesystem::create_directories(dir_ + sub);
    Settings english = settings_;
    english.sourceLanguage = english.targetLanguage = "English (US)";
    ConvertForward(english);
    std::vector<std::string> output = ConvertBack(english);
    dir_ = keep;
    return output;
  }

  std::string mif_;
  Settings settings_;
};

TEST_P(WesternTextInAsianDocumentTest, UntranslatedGivesTheEnglishRunsMIF) {
  const std::vector<std::string> english = EnglishOutput();
  ASSERT_FALSE(english.empty());

  ConvertForward(settings_);
  if (settings_.format == 0) {
    for (const char* file : {"tr/doc.txt", "tr/ancillary.txt"}) {
      EXPECT_EQ(LoneLeadByte(Lines(ReadBytes(dir_ + file)), GetParam().codePage), "") << file;
    }
  }
  EXPECT_TRUE(VerifiedClean(Verify(settings_), false));
  const std::vector<std::string> output = ConvertBack(settings_);
  ASSERT_FALSE(output.empty());
  ASSERT_EQ(output.size(), english.size());
  for (std::size_t k = 0; k < output.size(); ++k) {
    ASSERT_EQ(Visible(output[k]), Visible(english[k])) << "line " << k + 1;
  }
}

TEST_P(WesternTextInAsianDocumentTest, PseudoTranslatedConvertsBackToTheSameKWX) {
  ConvertForward(settings_);
  st_PseudoTranslationOptions pseudo;
  pseudo.i_SourceCodePage = pseudo.i_TargetCodePage = GetParam().codePage;
  const std::string kwx = dir_ + "tr/doc" + Ext(settings_);
  const std::string ancillary = dir_ + "tr/ancillary" + Ext(settings_);
  sv_PseudoTranslateFile(kwx, kwx, pseudo);
  sv_PseudoTranslateFile(ancillary, ancillary, pseudo);
  // Pseudo-translated text may hold characters FrameMaker on other
  // platforms lacks (warnings), never errors or alerts.
  EXPECT_TRUE(VerifiedClean(Verify(settings_), true));
  const std::vector<std::string> output = ConvertBack(settings_);
  ASSERT_FALSE(output.empty());

  // Forward again in the same form: the same KWX lines as the
  // pseudo-translated file.
  const std::string again = dir_ + "again/";
  for (const char* sub : {"src", "org"}) std::filesystem::create_directories(again + sub);
  WriteBytes(again + "src/doc.mif", ReadBytes(dir_ + "tr/doc.mif"));
  auto session = MakeSession(settings_, again + "org/", again + "org/");
  CQ_StringList paths = {again + "src/doc.mif"};
  session->v_ConvertMIF(&paths);
  ASSERT_TRUE(Exists(again + "org/doc" + Ext(settings_))) << ::testing::PrintToString(ResultLines(*session));
  std::vector<std::string> expected;
  std::vector<std::string> actual;
  CQ_KWXReader::sv_ReadKWXLines(kwx, Ext(settings_), expected, GetParam().codePage);
  CQ_KWXReader::sv_ReadKWXLines(again + "org/doc" + Ext(settings_), Ext(settings_), actual, GetParam().codePage);
  EXPECT_EQ(WithoutSourcePath(expected), WithoutSourcePath(actual));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WesternTextInAsianDocumentTest, ::testing::ValuesIn(Rows()), RowName);

// text_runs with a run in a font of the Western encoding that holds
// kRunText.
std::string WithFrameRomanRun(std::string mif) {
  const std::string from = "    <FWeight `Bold'>\n   > # end of Font\n   <String ` bold'>";
  const std::size_t at = mif.find(from);
  if (at == std::string::npos) return {};
  mif.replace(at, from.size(),
              "    <FWeight `Bold'>\n    <FEncoding `FrameRoman'>\n   > # end of Font\n   <String ` " + std::string(kRunText) +
                  "'>");
  return mif;
}

class WesternTextFileTest : public ScratchTest {};

TEST_F(WesternTextFileTest, AKWXFileWithWindows1252BytesStillConvertsBackToTheSource) {
  const std::string mif = WithFrameRomanRun(ReadBytes(TestDataDir() + "convert/golden/text_runs/input.mif"));
  ASSERT_FALSE(mif.empty());
  const std::string root = dir_;
  for (const auto& [language, codePage] : std::vector<std::pair<std::string, int>>{
           {"Chinese (Simplified)", 936}, {"Japanese", 932}, {"Korean", 949}, {"Chinese (Traditional)", 950}}) {
    SCOPED_TRACE(language);
    dir_ = root + std::to_string(codePage) + "/";
    for (const char* sub : {"src", "org", "tr"}) std::filesystem::create_directories(dir_ + sub);
    Settings s;
    s.sourceLanguage = s.targetLanguage = language;
    const std::vector<std::string> forward = Forward("doc.mif", mif, s);
    ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);

    // The run's text as this system wrote it before: Windows-1252 bytes,
    // which the English conversion still writes.
    CQ_TextSettings english;
    CQ_TextSettings asian;
    asian.i_SourceCodePage = codePage;
    asian.cs_SourceLanguage = language;
    const std::string oldText = ccs_ConvertMIFText(kRunText, english);
    const std::string newText = ccs_ConvertMIFText(kRunText, asian);
    ASSERT_NE(oldText, newText);
    std::string kwx = ReadBytes(dir_ + "tr/doc.txt");
    const std::size_t at = kwx.find(newText);
    ASSERT_NE(at, std::string::npos) << Visible(newText);
    kwx.replace(at, newText.size(), oldText);
    WriteBytes(dir_ + "tr/doc.txt", kwx);

    const std::vector<std::string> back = Back("doc", s);
    ASSERT_TRUE(Contains(back, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(back);
    const std::vector<std::string> org = MIFLines(ReadBytes(dir_ + "org/doc.org"));
    EXPECT_TRUE(SameDocument(org, MIFLines(ReadBytes(dir_ + "tr/doc.mif")), Differences()));
  }
  dir_ = root;
}

TEST_F(WesternTextFileTest, UnicodeDocumentsQuotesComeBackAsTheirCharacters) {
  // text_runs as MIF 9.0 writes it: its curly quotes in UTF-8.
  std::string mif = ReadBytes(TestDataDir() + "convert/golden/text_runs/input.mif");
  const std::string version = "<MIFFile 5.50>";
  const std::string quoted = "\\xd2 quoted\\xd3  ";
  ASSERT_EQ(mif.rfind(version, 0), 0u);
  ASSERT_NE(mif.find(quoted), std::string::npos);
  mif.replace(0, version.size(), "<MIFFile 9.00>");
  mif.replace(mif.find(quoted), quoted.size(), "\xE2\x80\x9Cquoted\xE2\x80\x9D ");
  // Each language's output is the English (US) run's, the first row.
  const std::string root = dir_;
  std::string english;
  for (const char* language :
       {"English (US)", "Chinese (Simplified)", "Japanese", "Korean", "Chinese (Traditional)"}) {
    SCOPED_TRACE(language);
    dir_ = root + std::string(language).substr(0, 3) + std::to_string(std::string(language).size()) + "/";
    for (const char* sub : {"src", "org", "tr"}) std::filesystem::create_directories(dir_ + sub);
    Settings s;
    s.sourceLanguage = s.targetLanguage = language;
    s.highestMIFVersion = 2020;
    const std::vector<std::string> forward = Forward("doc.mif", mif, s);
    ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
    const std::vector<std::string> back = Back("doc", s);
    ASSERT_TRUE(Contains(back, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(back);
    const std::string output = ReadBytes(dir_ + "tr/doc.mif");
    EXPECT_NE(output.find("\xE2\x80\x9Cquoted\xE2\x80\x9D"), std::string::npos);
    if (english.empty()) {
      english = output;
    } else {
      EXPECT_EQ(Visible(output), Visible(english));
    }
  }
  dir_ = root;
}

}  // namespace
