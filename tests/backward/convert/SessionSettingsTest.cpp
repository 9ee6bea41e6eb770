// Back conversion takes the character set and the source hyphenation from
// the translated file's header and hands them to its in-memory forward run,
// its ancillary-file check and its MIF pass; the session's own settings are
// neither used for that file nor changed by it. Each row converts the
// fixture forward with one pair of settings and back in sessions whose
// settings differ from the header's, and checks that the output and the
// results are those of a session that agrees with the header, and that
// every session still reports its own settings afterwards.
#include <gtest/gtest.h>

#include <cstdio>

#include "backward/convert/BackTestSupport.h"
#include "kernel/session/KernelStrings.h"

using namespace back_test;

namespace {

struct Row {
  const char* name;
  bool softHyphens;            // the fixture with a soft hyphen at a line end
  int headerCharacterSet;      // the settings the file was converted with
  int headerHyphenation;
  int sessionCharacterSet;     // the back-converting session's
  int sessionHyphenation;
  const char* expectedString;  // the edited paragraph's text in the output
};

const Row kRows[] = {
    {"SymbolHeaderInNormalSession", false, 1, 0, 0, 1, "<String `T\\xe9 xt with '>"},
    {"NormalHeaderInSymbolSession", false, 0, 1, 1, 0, "<String `T\\x8e xt with '>"},
    {"SymbolHeaderSameHyphenation", false, 1, 1, 0, 1, "<String `T\\xe9 xt with '>"},
    {"NormalHeaderOtherHyphenation", false, 0, 0, 0, 1, "<String `T\\x8e xt with '>"},
    {"SoftHyphensTurnedOffInKeepingSession", true, 0, 0, 0, 1, "<String `Silbentren-NUNG bleibt: \\xa1  und \\x8a  und \\xdf '>"},
    {"SoftHyphensKeptInTurningOffSession", true, 0, 1, 1, 0, "<String `Silbentren-'>"},
};

class SessionSettingsTest : public ScratchTest, public ::testing::WithParamInterface<Row> {
 protected:
  struct Run {
    std::vector<std::string> results;
    std::string mif;
    int characterSet = -1;  // the session's settings after the run
    int hyphenation = -1;
  };

  Run BackIn(const Settings& s) {
    std::remove((dir_ + "tr/doc.mif").c_str());
    auto session = MakeSession(s, dir_ + "org/", dir_ + "tr/");
    CQ_StringList paths = {dir_ + "tr/doc.txt"};
    session->v_ConvertKWX(&paths, (dir_ + "tr/ancillary.txt").c_str());
    Run run;
    run.results = ResultLines(*session);
    run.mif = Exists(dir_ + "tr/doc.mif") ? ReadBytes(dir_ + "tr/doc.mif") : std::string();
    run.characterSet = session->i_GetCharacterSet();
    run.hyphenation = session->i_GetSourceHyphenation();
    return run;
  }
};

TEST_P(SessionSettingsTest, HeaderSettingsServeTheFileAndTheSessionKeepsItsOwn) {
  const Row& row = GetParam();
  Settings header;
  header.characterSet = row.headerCharacterSet;
  header.sourceHyphenation = row.headerHyphenation;
  if (row.softHyphens) {
    header.sourceLanguage = "German";
    header.smartQuotes = 1;
  }
  const std::string fixture = row.softHyphens ? ForwardGoldenDir() + "quotes_as_tags_german/input.mif"
                                              : DataDir() + "roundtrip/columns.mif";
  const std::vector<std::string> forward = Forward("doc.mif", ReadBytes(fixture), header);
  ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
  if (row.softHyphens) {
    // The translator's edit: the word after the line-end soft hyphen, so
    // that the paragraph is rebuilt from the ORG copy's lines.
    std::vector<std::string> kwx = Lines(ReadBytes(dir_ + "tr/doc.txt"));
    for (std::string& line : kwx) {
      const std::size_t at = line.find("nung");
      if (at != std::string::npos) line.replace(at, 4, "NUNG");
    }
    WriteBytes(dir_ + "tr/doc.txt", Joined(kwx));
  }
  if (!row.softHyphens) {
    // The translator's edit: a letter whose MIF form depends on the
    // character set.
    std::vector<std::string> kwx = Lines(ReadBytes(dir_ + "tr/doc.txt"));
    bool edited = false;
    for (std::string& line : kwx) {
      if (line.rfind("<ps \"Body\" 2><:imk 1>Text with", 0) == 0) {
        line.replace(line.find("Text"), 4, "T\xE9xt");
        edited = true;
        break;
      }
    }
    ASSERT_TRUE(edited);
    WriteBytes(dir_ + "tr/doc.txt", Joined(kwx));
  }

  const Run agreeing = BackIn(header);
  ASSERT_FALSE(agreeing.mif.empty()) << ::testing::PrintToString(agreeing.results);
  EXPECT_TRUE(Contains(MIFLines(agreeing.mif), row.expectedString)) << ::testing::PrintToString(agreeing.results);
  EXPECT_EQ(agreeing.characterSet, row.headerCharacterSet);
  EXPECT_EQ(agreeing.hyphenation, row.headerHyphenation);

  Settings other = header;
  other.characterSet = row.sessionCharacterSet;
  other.sourceHyphenation = row.sessionHyphenation;
  const Run differing = BackIn(other);
  // The same bytes and the same results (no ancillary-header warnings).
  EXPECT_EQ(differing.mif, agreeing.mif);
  EXPECT_EQ(differing.results, agreeing.results);
  // The session's own settings are what they were before the run.
  EXPECT_EQ(differing.characterSet, row.sessionCharacterSet);
  EXPECT_EQ(differing.hyphenation, row.sessionHyphenation);
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionSettingsTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
