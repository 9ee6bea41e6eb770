// Verification reports compared with golden files, in both modes and both
// file formats: a translated file with a few deliberate tag faults (a
// missing tag, an extra tag, a moved tag, a changed attribute, a tag added
// with "<#...>", suppressed message types), a walk that gives up, a
// target that ends early, a bold tag moved across segments, tags added
// with "<#...>" accepted and refused, broken brackets, and the tag check
// of back conversion. Each case runs through the batch driver with the
// kernel's own converters; its results lines are checked as well.
// MORVANE_UPDATE_GOLDEN=1 rewrites the golden files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "kernel/backward/KWXReader.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"
#include "kernel/verifier/VarnelVerification.h"
#include "verifier/report/ReportTestSupport.h"
#include "verifier/rules/RulesTestSupport.h"

using namespace ReportTest;

namespace {

enum Suppression { NONE, DEFAULTS, DEFAULTS_AND_PARAGRAPHS };

struct GoldenCase {
  const char* folder;
  Suppression suppression;
  unsigned result;  // 2300 complete, 2301 failed; 1140 for back conversion
  unsigned errors, alerts, warnings, suppressed;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.folder; }

// The report-list index of paragraph styles.
constexpr unsigned PARAGRAPH_STYLES = 42;

void Suppress(CQ_Morvane_CommunicationFrame& session, Suppression suppression) {
  if (suppression == NONE) return;
  session.v_RestoreVerifierReportDefaults();
  if (suppression == DEFAULTS_AND_PARAGRAPHS) session.v_SetVerifierReportOption(PARAGRAPH_STYLES, true);
}

std::string SourceOf(const std::string& folder) {
  const std::string own = DataPath(folder + "/source.txt");
  return std::filesystem::exists(own) ? ReadFile(own) : ReadFile(DataPath("source.txt"));
}

class GoldenReport : public ::testing::TestWithParam<std::tuple<GoldenCase, int>> {
 protected:
  const GoldenCase& Case() const { return std::get<0>(GetParam()); }
  int Format() const { return std::get<1>(GetParam()); }
  std::string Extension() const { return Format() == 0 ? ".txt" : ".rtf"; }
  std::string Golden() const { return DataPath(std::string(Case().folder) + "/expected" + Extension() + ".cmp"); }
  FixedDate date;
  Folders folders;
};

TEST_P(GoldenReport, VerificationWritesTheGoldenReport) {
  const GoldenCase& c = Case();
  auto session = MakeSession(Format(), folders);
  Suppress(*session, c.suppression);
  WriteKWX(folders.Org() + "chapter" + Extension(), SourceOf(c.folder), Format());
  const std::string target = folders.Translated() + "chapter" + Extension();
  WriteKWX(target, ReadFile(DataPath(std::string(c.folder) + "/target.txt")), Format());

  const CQ_StringList paths{target};
  session->v_VerifyVarnels(&paths);
  const std::vector<std::string> results = DrainResults(*session);
  std::vector<std::string> expected{ccs_FormatKernelString(Msg::VERIFYING_FILE, target.c_str())};
  for (const std::string& line :
       ResultLines(lpsz_LoadKernelString(c.result), c.errors, c.alerts, c.warnings, c.suppressed)) {
    expected.push_back(line);
  }
  const auto from = std::find(results.begin(), results.end(), expected.front());
  ASSERT_GE(results.end() - from, static_cast<long>(expected.size()));
  EXPECT_EQ(std::vector<std::string>(from, from + static_cast<long>(expected.size())), expected);

  // The records the session got: everything the user did not suppress.
  unsigned shown = 0;
  while (session->b_NextErrorMessage()) ++shown;
  EXPECT_EQ(shown, c.errors + c.alerts + c.warnings);

  const std::string report = folders.Translated() + "chapter.cmp";
  ASSERT_TRUE(std::filesystem::exists(report));
  EXPECT_TRUE(MatchesGolden(Golden(), folders.Normalised(ReadFile(report))));
}

const GoldenCase kVerificationCases[] = {
    {"faults", DEFAULTS, 2300, 1, 0, 5, 4},
    {"walk_stops", NONE, 2300, 0, 16, 0, 0},
    {"ends_early", NONE, 2300, 9, 0, 2, 0},
    {"bold_moved", NONE, 2300, 0, 0, 4, 0},
    {"added_tags", DEFAULTS_AND_PARAGRAPHS, 2300, 4, 2, 3, 1},
    {"brackets", NONE, 2301, 1, 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Verification, GoldenReport,
                         ::testing::Combine(::testing::ValuesIn(kVerificationCases), ::testing::Values(0, 1)),
                         [](const ::testing::TestParamInfo<std::tuple<GoldenCase, int>>& info) {
                           return std::string(std::get<0>(info.param).folder) +
                                  (std::get<1>(info.param) == 0 ? "_text" : "_rtf");
                         });

// The two forms of a report hold the same lines: the RTF report read back
// by the KWX reader's RTF reader gives the text report's lines (empty lines
// aside, which neither reader delivers), up to the names of the files.
class ReportForms : public ::testing::TestWithParam<const char*> {};

TEST_P(ReportForms, RTFReportReadsAsTheTextReport) {
  const std::string folder = GetParam();
  std::vector<std::string> text;
  CQ_KWXReader::sv_ReadKWXLines(DataPath(folder + "/expected.txt.cmp"), ".txt", text, 1252);
  std::vector<std::string> rtf;
  CQ_KWXReader::sv_ReadKWXLines(DataPath(folder + "/expected.rtf.cmp"), ".rtf", rtf, 1252);
  for (std::string& line : rtf) {
    for (std::size_t at = line.find("chapter.rtf"); at != std::string::npos; at = line.find("chapter.rtf", at)) {
      line.replace(at, 11, "chapter.txt");
    }
  }
  ASSERT_GT(text.size(), 10u);
  EXPECT_EQ(rtf, text);
}

INSTANTIATE_TEST_SUITE_P(Golden, ReportForms,
                         ::testing::Values("faults", "walk_stops", "ends_early", "bold_moved", "added_tags", "brackets",
                                           "backwards"));

// Back conversion's check of a translated file: a report of its own form
// and the code that stops the file.
class GoldenBackConversionReport : public ::testing::TestWithParam<int> {
 protected:
  FixedDate date;
  Folders folders;
};

TEST_P(GoldenBackConversionReport, TagErrorsWriteTheGoldenReportAndStopTheFile) {
  const int format = GetParam();
  auto session = MakeSession(format, folders);
  session->v_SetCurrentFileName("chapter");
  session->v_SetCurrentFileExtension(format == 0 ? ".txt" : ".rtf");
  const std::string translated = folders.Translated() + "chapter" + (format == 0 ? ".txt" : ".rtf");
  const std::string source = ReadFile(DataPath("source.txt"));
  const std::string target = ReadFile(DataPath("backwards/target.txt"));
  int code = Result::OK;
  try {
    CQ_VarnelVerification::sv_CheckBackConversionTags(*session, RulesTest::Lines(target), RulesTest::TagMapOf(source),
                                                      true, translated);
  } catch (int raised) {
    code = raised;
  }
  EXPECT_EQ(code, Result::TAG_ERRORS);
  const std::string report = folders.Translated() + "chapter.cmp";
  ASSERT_TRUE(std::filesystem::exists(report));
  EXPECT_TRUE(MatchesGolden(DataPath(std::string("backwards/expected") + (format == 0 ? ".txt" : ".rtf") + ".cmp"),
                            folders.Normalised(ReadFile(report))));
  // The session's counters and error list are not the back converter's.
  EXPECT_EQ(session->n_GetVerificationErrors(), 0u);
  EXPECT_TRUE(session->pcco_GetErrorList()->empty());
}

INSTANTIATE_TEST_SUITE_P(BackConversion, GoldenBackConversionReport, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) { return info.param == 0 ? "text" : "rtf"; });

}  // namespace
