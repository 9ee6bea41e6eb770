// Verification through the batch driver with the kernel's own converters:
// the results lines and counters of a batch, the records handed to the
// session, the suppression choices of the report list, reading and header
// failures, and the back-conversion check's codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kernel/session/KernelStrings.h"
#include "kernel/verifier/VarnelVerification.h"
#include "verifier/report/ReportTestSupport.h"
#include "verifier/rules/RulesTestSupport.h"

using namespace ReportTest;

namespace {

const std::string CLOSING_LINE(84, '_');

class BatchVerify : public ::testing::TestWithParam<int> {
 protected:
  int Format() const { return GetParam(); }
  std::string Extension() const { return Format() == 0 ? ".txt" : ".rtf"; }
  // Writes a pair: the source into the ORG folder, the target into the
  // translated folder, both named name + extension; returns the target.
  std::string Pair(const std::string& name, const std::string& source, const std::string& target) {
    WriteKWX(folders.Org() + name + Extension(), source, Format());
    const std::string path = folders.Translated() + name + Extension();
    WriteKWX(path, target, Format());
    return path;
  }
  std::string Fixture(const std::string& name) { return ReadFile(DataPath(name)); }
  // The results after the batch's time stamp (an empty line, the date and
  // an empty line).
  std::vector<std::string> BatchLines(CQ_Morvane_Communication& session) {
    std::vector<std::string> lines = DrainResults(session);
    EXPECT_GE(lines.size(), 3u);
    if (lines.size() >= 3) lines.erase(lines.begin(), lines.begin() + 3);
    return lines;
  }
  std::vector<std::string> Verifying(const std::string& path) { return {ccs_FormatKernelString(Msg::VERIFYING_FILE, path.c_str())}; }

  Folders folders;
};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_P(BatchVerify, ResultsCountersAndReportsOfABatch) {
  auto session = MakeSession(Format(), folders);
  session->v_RestoreVerifierReportDefaults();
  const std::string source = Fixture("source.txt");
  const std::string clean = Pair("clean", source, source);
  const std::string faults = Pair("faults", source, Fixture("faults/target.txt"));
  const std::string walk = Pair("walk", Fixture("walk_stops/source.txt"), Fixture("walk_stops/target.txt"));
  const std::string other = folders.Translated() + "notes.doc";
  // A report left by an earlier run of a file that is now clean goes.
  WriteFile(folders.Translated() + "clean.cmp", "old report");

  const CQ_StringList paths{other, clean, faults, walk};
  session->v_VerifyVarnels(&paths);

  const std::vector<std::string> expected =
      std::vector<std::string>{lpsz_LoadKernelString(Msg::VERIFY_ERR_KWX_EXTENSION), lpsz_LoadKernelString(Msg::VERIFY_ERR_KWX_EXTENSION_HINT)} + Verifying(clean) +
      ResultLines("Verification complete.", 0, 0, 0, 0) + Verifying(faults) +
      ResultLines("Verification complete.", 1, 0, 5, 4) + Verifying(walk) +
      ResultLines("Verification complete.", 0, 16, 0, 0) + std::vector<std::string>{CLOSING_LINE};
  EXPECT_EQ(BatchLines(*session), expected);
  EXPECT_EQ(session->i_GetBatchProcessed(), 3);
  EXPECT_EQ(session->i_GetBatchFailed(), 0);
  // The driver zeroes three counters after each file; the suppressions stay.
  EXPECT_EQ(session->n_GetVerificationErrors(), 0u);
  EXPECT_EQ(session->n_GetVerificationAlerts(), 0u);
  EXPECT_EQ(session->n_GetVerificationWarnings(), 0u);
  EXPECT_EQ(session->n_GetVerificationSuppressions(), 0u);

  EXPECT_FALSE(std::filesystem::exists(folders.Translated() + "clean.cmp"));
  EXPECT_TRUE(std::filesystem::exists(folders.Translated() + "faults.cmp"));
  EXPECT_TRUE(std::filesystem::exists(folders.Translated() + "walk.cmp"));

  // The records of both files, without the suppressed ones, in report
  // order: the first names the changed character format and its line.
  ASSERT_TRUE(session->b_NextErrorMessage());
  EXPECT_STREQ(session->lpsz_GetErrorMessage(), "Error 803. The internal tag <:cs \"Emphasis\" 2> is not a valid tag.");
  EXPECT_EQ(session->n_GetTargetRef(), 14u);  // the segment ends where </fn> begins, on line 14
  EXPECT_EQ(session->n_GetSourceRef(), 0u);
  unsigned shown = 1;
  while (session->b_NextErrorMessage()) ++shown;
  EXPECT_EQ(shown, 1u + 5u + 16u);
}

TEST_P(BatchVerify, SuppressionChoicesOfTheReportList) {
  // Report-list index 0 is "<:b> and <:/b> Bold"; 34 is "<:t> Tab".
  auto session = MakeSession(Format(), folders);
  session->v_SetVerifierReportOption(0, true);
  const std::string source = RulesTest::Build(RulesTest::ON_PAGE, "<ps \"A\" 1>a <:b>b<:/b><:t>\n<ps \"A\" 1>c\n");
  const std::string target = RulesTest::Build(RulesTest::ON_PAGE, "<ps \"A\" 1>a b\n<ps \"A\" 1>c <:b>d<:/b><:t>\n");
  const std::string path = Pair("moved", source, target);
  const CQ_StringList paths{path};
  session->v_VerifyVarnels(&paths);
  EXPECT_EQ(BatchLines(*session), Verifying(path) + ResultLines("Verification complete.", 0, 0, 2, 4) +
                                      std::vector<std::string>{CLOSING_LINE});
  const std::string report = ReadFile(folders.Translated() + "moved.cmp");
  EXPECT_NE(report.find("<:b> and <:/b> Bold"), std::string::npos);
  EXPECT_EQ(report.find("<:t> Tab"), std::string::npos);

  // Suppressing the tab as well leaves nothing shown but the lists.
  session->v_SetVerifierReportOption(34, true);
  session->v_VerifyVarnels(&paths);
  EXPECT_EQ(BatchLines(*session), Verifying(path) + ResultLines("Verification complete.", 0, 0, 0, 6) +
                                      std::vector<std::string>{CLOSING_LINE});
  const std::string again = ReadFile(folders.Translated() + "moved.cmp");
  EXPECT_NE(again.find("<:t> Tab"), std::string::npos);
  EXPECT_EQ(again.find("Comparing internal tags"), std::string::npos);

  // Taking the bold choice back shows the bold warnings again.
  session->v_SetVerifierReportOption(0, false);
  session->v_SetVerifierReportOption(34, false);
  session->v_VerifyVarnels(&paths);
  EXPECT_EQ(BatchLines(*session), Verifying(path) + ResultLines("Verification complete.", 0, 0, 6, 0) +
                                      std::vector<std::string>{CLOSING_LINE});
}

TEST_P(BatchVerify, ReadingAndHeaderFailuresEndTheFileAndTheBatchGoesOn) {
  auto session = MakeSession(Format(), folders);
  const std::string source = Fixture("source.txt");
  const std::string missing = folders.Translated() + "missing" + Extension();
  WriteKWX(missing, source, Format());  // no source of that name in the ORG folder
  std::string newer = source;
  newer.replace(newer.find("F3.00"), 5, "F3.01");
  const std::string mismatch = Pair("mismatch", source, newer);
  const std::string plain = Pair("plain", source, "Just text\nand more text\n");
  const std::string clean = Pair("clean", source, source);
  const CQ_StringList paths{missing, mismatch, plain, clean};
  session->v_VerifyVarnels(&paths);

  const std::string missingSource = folders.Org() + "missing" + Extension();
  const std::vector<std::string> plainLines{lpsz_LoadKernelString(Msg::VERIFY_ERR_NOT_KWX), lpsz_LoadKernelString(Msg::VERIFY_ERR_NOT_KWX_HINT_F), ""};
  const std::vector<std::string> expected =
      Verifying(missing) + std::vector<std::string>{lpsz_LoadKernelString(Msg::FILE_ERR_NOT_FOUND), "Filename:" + missingSource, ""} +
      Verifying(mismatch) + std::vector<std::string>{lpsz_LoadKernelString(Msg::VERIFY_ERR_VERSION_MISMATCH), ""} + Verifying(plain) +
      plainLines + Verifying(clean) + ResultLines("Verification complete.", 0, 0, 0, 0) +
      std::vector<std::string>{CLOSING_LINE};
  EXPECT_EQ(BatchLines(*session), expected);
  EXPECT_EQ(session->i_GetBatchProcessed(), 4);
  EXPECT_EQ(session->i_GetBatchFailed(), 3);
  for (const char* name : {"missing.cmp", "mismatch.cmp", "plain.cmp", "clean.cmp"}) {
    EXPECT_FALSE(std::filesystem::exists(folders.Translated() + name)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, BatchVerify, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) { return info.param == 0 ? "text" : "rtf"; });

// --- back conversion's check ---------------------------------------------------------------

class BackConversionCheck : public ::testing::Test {
 protected:
  BackConversionCheck() : session(MakeSession(0, folders)) {
    session->v_SetCurrentFileName("chapter");
    session->v_SetCurrentFileExtension(".txt");
  }
  int Check(const std::string& text, const CQ_TagMap& map, bool document) {
    try {
      CQ_VarnelVerification::sv_CheckBackConversionTags(*session, RulesTest::Lines(text), map, document,
                                                        folders.Translated() + "chapter.txt");
    } catch (int code) {
      return code;
    }
    return 0;
  }
  bool ReportWritten() const { return std::filesystem::exists(folders.Translated() + "chapter.cmp"); }

  Folders folders;
  std::unique_ptr<CQ_Morvane_CommunicationFrame> session;
};

TEST_F(BackConversionCheck, ACleanFilePassesWithoutAReport) {
  const std::string source = ReadFile(DataPath("source.txt"));
  EXPECT_EQ(Check(source, RulesTest::TagMapOf(source), true), 0);
  EXPECT_FALSE(ReportWritten());
}

TEST_F(BackConversionCheck, AlertsAndWarningsAloneWriteNoReport) {
  // A hard return in a text string is an alert (619), not an error.
  const std::string text = RulesTest::Build(RulesTest::BODY, "<page \"1\">\n<ts 1>a<:hr>b\n</ts>\n</page>");
  EXPECT_EQ(Check(text, RulesTest::TagMapOf(text), true), 0);
  EXPECT_FALSE(ReportWritten());
}

TEST_F(BackConversionCheck, TheAncillarySectionStopsWithItsOwnCode) {
  const std::string section = RulesTest::Build(RulesTest::ANCILLARY, "<bb \"Variable Formats\">\n<vfmt \"Name\">Text");
  const CQ_TagMap map = RulesTest::TagMapOf(section);
  // Framed as back conversion frames it: its own first and last lines.
  std::vector<std::string> lines = RulesTest::Lines(section);
  std::vector<std::string> framed{"<kwx \"F3.00\">"};
  framed.insert(framed.end(), lines.begin() + 5, lines.end());
  std::string text;
  for (const std::string& line : framed) text += line + "\n";
  EXPECT_EQ(Check(text, map, false), 0);
  EXPECT_FALSE(ReportWritten());

  std::string broken = text;
  broken.replace(broken.find("Text"), 4, "Text<:b");
  EXPECT_EQ(Check(broken, map, false), 10010);
  ASSERT_TRUE(ReportWritten());
  const std::string report = ReadFile(folders.Translated() + "chapter.cmp");
  EXPECT_EQ(report.rfind("----------------------------------------------------------------------\r\n"
                         "Verification Report generated by the Backwards process\r\n",
                         0),
            0u);
  EXPECT_NE(report.find("\r\nVerify external tags\r\n====================\r\n[1] Error 101."), std::string::npos);
}

}  // namespace
