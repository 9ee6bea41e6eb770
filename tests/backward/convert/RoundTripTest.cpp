// Round trips through the batch drivers, over every corpus document of MIF
// 4.0 to 5.5, 7.0 and the Unicode versions 8.0 to 2020 (change bars
// switched off in the copy converted; 7.0 and the Unicode versions accepted
// by the session's setting) and every forward-conversion fixture:
// - untranslated: forward conversion, back conversion of the untranslated
//   KWX file, and the result compared with the ORG copy statement by
//   statement (SameDocument says which differences are allowed; a Unicode
//   result is compared through the same code-page copy conversion reads,
//   and with the source document itself in UTF-8); then the
//   result converted forward again gives the same KWX file and ancillary
//   section;
// - pseudo-translated: the KWX file and the ancillary file pseudo-
//   translated, verified (no error or alert in verification mode),
//   converted back; converting the result forward
//   again gives exactly the pseudo-translated KWX lines (tags in the same
//   order, pseudo-translated text where the source text was) and the
//   pseudo-translated ancillary section.
// Corpus documents whose text the corpus manifest says is Japanese are
// converted with Japanese as source and target language. Corpus rows skip
// when the corpus folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "backward/convert/BackTestSupport.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/MIFUnicode.h"
#include "kernel/session/KernelStrings.h"

using namespace back_test;

namespace {

struct Case {
  std::string name;  // row name
  std::string path;  // the MIF file
  bool corpus;
  int highestMIFVersion = 55;  // 70: MIF 7.0 accepted; 2020: the Unicode versions too
  bool unicode = false;        // a MIF 8.0 to 2020 document
  std::string language = {};   // source and target language, when not English (US)
};

// The corpus documents whose text the manifest says is Japanese.
std::set<std::string> JapaneseCorpusDocuments() {
  std::set<std::string> names;
  for (const std::string& row : Lines(ReadBytes(CorpusDir() + "MANIFEST.tsv"))) {
    const std::size_t tab = row.find('\t');
    if (tab != std::string::npos && row.find("asian-lang[Japanese]") != std::string::npos) {
      names.insert(row.substr(0, tab));
    }
  }
  return names;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.path; }

std::vector<Case> Cases() {
  std::vector<Case> cases;
  if (std::filesystem::is_directory(ForwardGoldenDir())) {
    for (const auto& entry : std::filesystem::directory_iterator(ForwardGoldenDir())) {
      const std::string input = entry.path().string() + "/input.mif";
      if (std::filesystem::exists(input)) cases.push_back({"fixture_" + entry.path().filename().string(), input, false});
    }
  }
  if (std::filesystem::is_directory(DataDir() + "roundtrip")) {
    for (const auto& entry : std::filesystem::directory_iterator(DataDir() + "roundtrip")) {
      if (entry.path().extension() == ".mif") {
        cases.push_back({"back_" + entry.path().stem().string(), entry.path().string(), false});
      }
    }
  }
  if (HaveCorpus()) {
    const std::set<std::string> japanese = JapaneseCorpusDocuments();
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
      if (entry.path().extension() != ".mif") continue;
      const std::string head = ReadBytes(entry.path().string()).substr(0, 16);
      const bool mif70 = head.rfind("<MIFFile 7.0", 0) == 0;
      const bool unicode = CQ_MIFUnicode::sb_IsAcceptedUnicodeVersion(CQ_MIFUnicode::si_Version(head));
      if (head.rfind("<MIFFile 4", 0) != 0 && head.rfind("<MIFFile 5.0", 0) != 0 && head.rfind("<MIFFile 5.5", 0) != 0 &&
          !mif70 && !unicode) {
        continue;
      }
      cases.push_back({"corpus_" + entry.path().stem().string(), entry.path().string(), true,
                       unicode ? CQ_MIFUnicode::HIGHEST_VERSION : (mif70 ? 70 : 55), unicode,
                       japanese.count(entry.path().filename().string()) ? "Japanese" : ""});
    }
  }
  std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.name < b.name; });
  for (Case& c : cases) {
    for (char& ch : c.name) {
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
  }
  return cases;
}

// The settings a fixture was written for, where it says so.
Settings FixtureSettings(const Case& c) {
  Settings s;
  s.highestMIFVersion = c.highestMIFVersion;
  if (!c.language.empty()) s.sourceLanguage = s.targetLanguage = c.language;
  const std::string file = std::filesystem::path(c.path).parent_path().string() + "/settings.txt";
  if (c.corpus || !std::filesystem::exists(file)) return s;
  for (const std::string& line : Lines(ReadBytes(file))) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank);
    const std::string value = line.substr(blank + 1);
    if (key == "source-language") s.sourceLanguage = s.targetLanguage = value;
    if (key == "smart-quotes") s.smartQuotes = std::atoi(value.c_str());
    if (key == "character-set") s.characterSet = std::atoi(value.c_str());
  }
  return s;
}

// Ancillary lines with the names of paragraph numbering formats left out:
// a format is named by its own text, which the translation changes.
std::vector<std::string> WithoutFormatNames(std::vector<std::string> lines) {
  for (std::string& l : lines) {
    if (l.rfind("<pnfmt \"", 0) != 0) continue;
    const std::vector<KWX::st_Token> tokens = KWX::sast_Tokenize(l);
    l = "<pnfmt>" + l.substr(tokens.front().cs_Text.size());
  }
  return lines;
}

::testing::AssertionResult SameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  std::size_t k = 0;
  while (k < expected.size() && k < actual.size() && expected[k] == actual[k]) ++k;
  if (k == expected.size() && k == actual.size()) return ::testing::AssertionSuccess();
  auto at = [k](const std::vector<std::string>& v) { return k < v.size() ? v[k].substr(0, 300) : "(end)"; };
  return ::testing::AssertionFailure() << "line " << k + 1 << " of " << expected.size() << "/" << actual.size()
                                       << "\n expected: " << at(expected) << "\n actual:   " << at(actual);
}

class RoundTripTest : public ScratchTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    mif_ = WithoutChangeBars(ReadBytes(GetParam().path));
    settings_ = FixtureSettings(GetParam());
    name_ = GetParam().corpus ? std::filesystem::path(GetParam().path).filename().string() : "doc.mif";
    base_ = name_.substr(0, name_.size() - 4);
  }

  // Forward-converts the back-converted MIF file again (as the same source
  // path, from a folder of its own) and returns its KWX and ancillary lines.
  void ForwardAgain(std::vector<std::string>& kwx, std::vector<std::string>& ancillary) {
    const std::string again = dir_ + "again/";
    std::filesystem::create_directories(again + "src");
    std::filesystem::create_directories(again + "org");
    WriteBytes(again + "src/" + name_, ReadBytes(dir_ + "tr/" + base_ + ".mif"));
    auto session = MakeSession(settings_, again + "org/", again + "org/");
    CQ_StringList paths = {again + "src/" + name_};
    session->v_ConvertMIF(&paths);
    kwx = Lines(ReadBytes(again + "org/" + base_ + Ext(settings_)));
    const CQ_StringList& a = session->rco_GetAncillaryLines();
    ancillary.assign(a.begin(), a.end());
  }

  // The back-converted file's lines as the ORG copy spells them: a Unicode
  // result read through the code-page copy forward conversion makes.
  std::vector<std::string> OutputAsORG() {
    const std::string output = ReadBytes(dir_ + "tr/" + base_ + ".mif");
    if (!GetParam().unicode) return MIFLines(output);
    std::string copy;
    CQ_MIFUnicode::st_Unheld unheld;
    const int codePage = MakeSession(settings_, dir_ + "org/", dir_ + "tr/")->i_GetSourceCodePage();
    EXPECT_TRUE(CQ_MIFUnicode::sb_ToCodePageForm(output, codePage, settings_.characterSet != 0, copy, unheld))
        << CQ_MIFUnicode::scs_CodePointName(unheld.c_Character) << " in line " << unheld.sz_Line;
    return MIFLines(copy);
  }

  std::string mif_;
  Settings settings_;
  std::string name_;
  std::string base_;
};

TEST_P(RoundTripTest, UntranslatedGivesTheORGStatementsBack) {
  const std::vector<std::string> forward = Forward(name_, mif_, settings_);
  ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
  const std::vector<std::string> back = Back(base_, settings_);
  ASSERT_TRUE(Exists(dir_ + "tr/" + base_ + ".mif")) << ::testing::PrintToString(back);
  EXPECT_FALSE(Contains(back, lpsz_LoadKernelString(Msg::BACK_WARN_NO_ANCILLARY_FILE_HINT))) << ::testing::PrintToString(back);
  for (const std::string& line : back) {
    EXPECT_EQ(line.find("Warning 14"), std::string::npos) << line;
  }

  const std::vector<std::string> org = MIFLines(ReadBytes(dir_ + "org/" + base_ + ".org"));
  EXPECT_TRUE(SameDocument(org, OutputAsORG(), Differences()));
  if (GetParam().unicode) {
    // The untranslated KWX file verifies clean against its ORG copy.
    auto verifier = MakeSession(settings_, dir_ + "org/", dir_ + "org/");
    const CQ_StringList targets = {dir_ + "org/" + base_ + ".txt"};
    verifier->v_VerifyVarnels(&targets);
    const std::vector<std::string> verified = ResultLines(*verifier);
    EXPECT_TRUE(Contains(verified, lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE))) << ::testing::PrintToString(verified);
    for (const std::string& line : verified) {
      EXPECT_NE(line.rfind("Errors: ", 0), 0u) << ::testing::PrintToString(verified);
      EXPECT_NE(line.rfind("Alerts: ", 0), 0u) << ::testing::PrintToString(verified);
      EXPECT_NE(line.rfind("Warnings: ", 0), 0u) << ::testing::PrintToString(verified);
    }
    // Written in UTF-8 as the source is, under its version line.
    const std::string output = ReadBytes(dir_ + "tr/" + base_ + ".mif");
    EXPECT_EQ(output.substr(0, 14), mif_.substr(0, 14));
    EXPECT_TRUE(SameDocument(MIFLines(mif_), MIFLines(output), Differences()));
  }

  const std::vector<std::string> kwx = Lines(ReadBytes(dir_ + "org/" + base_ + ".txt"));
  std::vector<std::string> kwxAgain;
  std::vector<std::string> ancillaryAgain;
  ForwardAgain(kwxAgain, ancillaryAgain);
  EXPECT_TRUE(SameLines(WithoutSourcePath(kwx), WithoutSourcePath(kwxAgain))) << "the KWX file converted again";
  std::vector<std::string> ancillary = Lines(ReadBytes(dir_ + "tr/ancillary.txt"));
  ancillary.erase(ancillary.begin(), ancillary.begin() + 5);  // header lines
  ancillary.pop_back();                                       // </kwx>
  EXPECT_TRUE(SameLines(WithoutSourcePath(ancillary), WithoutSourcePath(ancillaryAgain))) << "the ancillary section";
}

TEST_P(RoundTripTest, TargetLanguageAndHyphenationSwitchOnlyWhereDocumented) {
  // The program's defaults: soft hyphens at line ends and hyphenation of
  // the translation turned off; the target language differs.
  if (settings_.sourceLanguage != "English (US)") GTEST_SKIP() << "written for another source language";
  settings_.sourceHyphenation = 0;
  settings_.translationHyphenation = 0;
  settings_.targetLanguage = "German";
  const std::vector<std::string> forward = Forward(name_, mif_, settings_);
  ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
  const std::vector<std::string> back = Back(base_, settings_);
  ASSERT_TRUE(Exists(dir_ + "tr/" + base_ + ".mif")) << ::testing::PrintToString(back);
  Differences allowed;
  allowed.sourceMIFLanguage = "USEnglish";
  allowed.targetMIFLanguage = "German";
  allowed.hyphenationOff = true;
  allowed.softHyphensOff = true;
  const std::vector<std::string> org = MIFLines(ReadBytes(dir_ + "org/" + base_ + ".org"));
  const std::vector<std::string> output = OutputAsORG();
  EXPECT_TRUE(SameDocument(org, output, allowed));
  // Nothing else was switched: a third language stays. A MIF 7.0 Kumihan
  // table names the language whose line composition rules it holds (one
  // table per language), and the dictionary preferences of MIF 9.0 and
  // later name the language each dictionary service serves: neither is a
  // language of text, and both stay.
  for (const std::string& line : output) {
    if (line.rfind("<KLanguage ", 0) == 0 || line.rfind("<DiLanguage ", 0) == 0) continue;
    EXPECT_EQ(line.find("USEnglish"), std::string::npos) << line;
  }
}

TEST_P(RoundTripTest, PseudoTranslatedTextComesBackWhereTheSourceTextWas) {
  const std::vector<std::string> forward = Forward(name_, mif_, settings_);
  ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
  const std::string kwxPath = dir_ + "tr/" + base_ + ".txt";
  const std::string ancillaryPath = dir_ + "tr/ancillary.txt";
  // The source side of the ancillary file, as the front end leaves it in
  // the ORG folder too.
  WriteBytes(dir_ + "org/ancillary.txt", ReadBytes(ancillaryPath));
  // Pseudo-translated in the document's own code page: Windows-1252 accents
  // in a double-byte text would be bytes of no character there.
  st_PseudoTranslationOptions pseudo;
  pseudo.i_SourceCodePage = MakeSession(settings_, dir_ + "org/", dir_ + "tr/")->i_GetSourceCodePage();
  pseudo.i_TargetCodePage = pseudo.i_SourceCodePage;
  sv_PseudoTranslateFile(kwxPath, kwxPath, pseudo);
  sv_PseudoTranslateFile(ancillaryPath, ancillaryPath, pseudo);
  const std::vector<std::string> translated = Lines(ReadBytes(kwxPath));
  ASSERT_NE(translated, Lines(ReadBytes(dir_ + "org/" + base_ + ".txt")));

  // The verifier, in verification mode, finds no error and no alert in
  // either pseudo-translated file. The only findings allowed are warnings
  // about characters of an Asian target that FrameMaker on other platforms
  // lacks: the source text holds them too (source_936 has one on purpose).
  auto verifier = MakeSession(settings_, dir_ + "org/", dir_ + "tr/");
  const CQ_StringList targets = {kwxPath, ancillaryPath};
  verifier->v_VerifyVarnels(&targets);
  const std::vector<std::string> verified = ResultLines(*verifier);
  EXPECT_EQ(std::count(verified.begin(), verified.end(), lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE)), 2)
      << ::testing::PrintToString(verified);
  for (const std::string& line : verified) {
    EXPECT_NE(line.rfind("Errors: ", 0), 0u) << ::testing::PrintToString(verified);
    EXPECT_NE(line.rfind("Alerts: ", 0), 0u) << ::testing::PrintToString(verified);
  }
  for (const std::string& report : {dir_ + "tr/" + base_ + ".cmp", dir_ + "tr/ancillary.cmp"}) {
    if (!Exists(report)) continue;
    for (const std::string& line : Lines(ReadBytes(report))) {
      if (line.rfind("[", 0) != 0) continue;
      EXPECT_NE(line.find("does not exist in FrameMaker"), std::string::npos) << line;
    }
  }

  const std::vector<std::string> back = Back(base_, settings_);
  ASSERT_TRUE(Exists(dir_ + "tr/" + base_ + ".mif")) << ::testing::PrintToString(back);
  std::vector<std::string> kwxAgain;
  std::vector<std::string> ancillaryAgain;
  ForwardAgain(kwxAgain, ancillaryAgain);
  EXPECT_TRUE(SameLines(WithoutSourcePath(translated), WithoutSourcePath(kwxAgain)));
  std::vector<std::string> ancillary = Lines(ReadBytes(ancillaryPath));
  ancillary.erase(ancillary.begin(), ancillary.begin() + 5);
  ancillary.pop_back();
  EXPECT_TRUE(SameLines(WithoutFormatNames(WithoutSourcePath(ancillary)),
                        WithoutFormatNames(WithoutSourcePath(ancillaryAgain))))
      << "the ancillary section";
}

INSTANTIATE_TEST_SUITE_P(Documents, RoundTripTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RoundTripTest);

}  // namespace
