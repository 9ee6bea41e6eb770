// Real input verified through the batch drivers: every corpus document in
// MIF 4.0, 5.0 or 5.5 (change bars switched off in a copy, as users are
// told to), converted to KWX by the forward driver with its ancillary
// file, verifies clean against itself in both file forms; and KWX RTF
// files saved again by a word processor verify clean against the files
// forward conversion wrote. Clean means "Verification complete." with no
// counts and no report file. Skipped when the corpus folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "kernel/session/KernelStrings.h"
#include "verifier/report/ReportTestSupport.h"

using namespace ReportTest;

namespace {

const std::string CORPUS = MORVANE_CORPUS_DIR;
const std::string CLOSING_LINE(84, '_');

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  std::error_code error;
  if (!std::filesystem::is_directory(CORPUS, error)) return {"(no corpus)"};
  for (const auto& entry : std::filesystem::directory_iterator(CORPUS)) {
    if (entry.path().extension() != ".mif") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string head(16, '\0');
    in.read(head.data(), 16);
    if (head.rfind("<MIFFile 4", 0) == 0 || head.rfind("<MIFFile 5.0", 0) == 0 || head.rfind("<MIFFile 5.5", 0) == 0) {
      names.push_back(entry.path().filename());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string WithoutChangeBars(std::string mif) {
  for (const std::string& from : {std::string("<FChangeBar Yes"), std::string("<DAutoChBars Yes")}) {
    const std::string to = from.substr(0, from.size() - 3) + "No";
    for (std::size_t at = mif.find(from); at != std::string::npos; at = mif.find(from, at + to.size())) {
      mif.replace(at, from.size(), to);
    }
  }
  return mif;
}

// The lines a clean verification of each path adds, and the closing line.
std::vector<std::string> CleanRun(const std::vector<std::string>& paths) {
  std::vector<std::string> lines;
  for (const std::string& path : paths) {
    lines.push_back(ccs_FormatKernelString(Msg::VERIFYING_FILE, path.c_str()));
    lines.push_back(lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE));
    lines.emplace_back("");
  }
  lines.push_back(CLOSING_LINE);
  return lines;
}

std::vector<std::string> AfterTimeStamp(std::vector<std::string> lines) {
  if (lines.size() >= 3) lines.erase(lines.begin(), lines.begin() + 3);
  return lines;
}

std::string RowName(const std::string& name) {
  std::string row = name;
  for (char& c : row) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return row;
}

class CorpusVerify : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(CorpusVerify, ForwardConvertedDocumentAndAncillaryFileVerifyClean) {
  const auto& [file, format] = GetParam();
  if (file == "(no corpus)") GTEST_SKIP() << "corpus folder " << CORPUS << " is absent";
  Folders folders;
  const std::string extension = format == 0 ? ".txt" : ".rtf";
  const std::string base = file.substr(0, file.size() - 4);
  std::filesystem::create_directories(folders.Root() + "mif");
  const std::string mif = folders.Root() + "mif/" + file;
  WriteFile(mif, WithoutChangeBars(ReadFile(CORPUS + "/" + file)));

  auto session = MakeSession(format, folders);
  const CQ_StringList sources{mif};
  session->v_ConvertMIF(&sources);
  const std::vector<std::string> converted = DrainResults(*session);
  ASSERT_NE(std::find(converted.begin(), converted.end(), lpsz_LoadKernelString(Msg::DONE)), converted.end())
      << "forward conversion failed: " << ::testing::PrintToString(converted);
  ASSERT_TRUE(session->b_CreateAncillaryFile(folders.Org() + "ancillary" + extension));
  ASSERT_TRUE(session->b_CreateAncillaryFile(folders.Translated() + "ancillary" + extension));
  DrainResults(*session);

  const std::vector<std::string> targets{folders.Translated() + base + extension,
                                         folders.Translated() + "ancillary" + extension};
  const CQ_StringList paths(targets.begin(), targets.end());
  session->v_VerifyVarnels(&paths);
  EXPECT_EQ(AfterTimeStamp(DrainResults(*session)), CleanRun(targets));
  EXPECT_FALSE(std::filesystem::exists(folders.Translated() + base + ".cmp"))
      << ReadFile(folders.Translated() + base + ".cmp").substr(0, 3000);
  EXPECT_FALSE(std::filesystem::exists(folders.Translated() + "ancillary.cmp"))
      << ReadFile(folders.Translated() + "ancillary.cmp").substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusVerify,
                         ::testing::Combine(::testing::ValuesIn(CorpusFiles()), ::testing::Values(0, 1)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, int>>& info) {
                           return RowName(std::get<0>(info.param)) + (std::get<1>(info.param) == 0 ? "_text" : "_rtf");
                         });

// --- KWX RTF saved again by a word processor -----------------------------------------------------

struct Resaved {
  const char* name;
  const char* targetLanguage;  // a language of the sample's code page
  unsigned alerts = 0;         // characters of the sample that FrameMaker lacks in that language
  unsigned added = 0;          // special characters the word processor wrote as its own control words
};

void PrintTo(const Resaved& r, std::ostream* os) { *os << r.name; }

class ResavedVerify : public ::testing::TestWithParam<Resaved> {};

TEST_P(ResavedVerify, VerifiesCleanAgainstTheWrittenFile) {
  const std::string reader = std::string(MORVANE_TEST_DATA_DIR) + "/reader/";
  const std::string fixture = GetParam().name;
  // An ancillary file keeps its name: it may go without a source path.
  const std::string name = fixture.rfind("ancillary", 0) == 0 ? "ancillary" : fixture;
  Folders folders;
  WriteFile(folders.Org() + name + ".rtf", ReadFile(reader + fixture + ".rtf"));
  const std::string target = folders.Translated() + name + ".rtf";
  WriteFile(target, ReadFile(reader + "resaved/" + fixture + ".rtf"));
  auto session = MakeSession(1, folders);
  session->v_SetTargetLanguage(GetParam().targetLanguage);
  const CQ_StringList paths{target};
  session->v_VerifyVarnels(&paths);
  const std::string report = folders.Translated() + name + ".cmp";
  if (GetParam().added > 0) {
    // The word processor writes the sample's no-break space and soft hyphen
    // as "\~" and "\-": FrameMaker's hard space and discretionary hyphen,
    // reported as internal tags the translation added.
    const std::vector<std::string> expected{ccs_FormatKernelString(Msg::VERIFYING_FILE, target.c_str()), lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE),
                                            ccs_FormatKernelString(Msg::VERIFY_WARNING_COUNT, GetParam().added), "", CLOSING_LINE};
    EXPECT_EQ(AfterTimeStamp(DrainResults(*session)), expected);
    std::vector<std::string> messages;
    while (session->b_NextErrorMessage()) messages.push_back(session->lpsz_GetErrorMessage());
    EXPECT_EQ(messages, (std::vector<std::string>{"Warning 1707. The internal tag <:hs> has been added.",
                                                  "Warning 1707. The internal tag <:dh> has been added."}));
    return;
  }
  if (GetParam().alerts == 0) {
    EXPECT_EQ(AfterTimeStamp(DrainResults(*session)), CleanRun({target}));
    EXPECT_FALSE(std::filesystem::exists(report)) << ReadFile(report).substr(0, 3000);
    return;
  }
  // The character check of the target language is all there is to report.
  const std::vector<std::string> expected{ccs_FormatKernelString(Msg::VERIFYING_FILE, target.c_str()), lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE),
                                          ccs_FormatKernelString(Msg::VERIFY_ALERT_COUNT, GetParam().alerts), "", CLOSING_LINE};
  EXPECT_EQ(AfterTimeStamp(DrainResults(*session)), expected);
  unsigned characterAlerts = 0;
  while (session->b_NextErrorMessage()) {
    characterAlerts += std::string(session->lpsz_GetErrorMessage()).rfind("Alert 1204.", 0) == 0 ? 1 : 0;
  }
  EXPECT_EQ(characterAlerts, GetParam().alerts);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ResavedVerify,
    ::testing::Values(Resaved{"sample-1252", "English (US)", 0, 2}, Resaved{"sample-1250", "Polish"},
                      Resaved{"sample-1251-1250", "Russian"}, Resaved{"sample-1253", "Greek"},
                      Resaved{"sample-1254", "Turkish"}, Resaved{"sample-1257", "Latvian"},
                      Resaved{"sample-932", "Japanese"}, Resaved{"sample-936", "Chinese (Simplified)"},
                      Resaved{"sample-949", "Korean", 1}, Resaved{"sample-950", "Chinese (Traditional)"},
                      Resaved{"ancillary-1252", "English (US)"}),
    [](const ::testing::TestParamInfo<Resaved>& info) { return RowName(info.param.name); });

}  // namespace
