// The front end's logic without a display: field checks, the file-list
// rules, report flags and page values in the settings store, the About
// page's parsing, and the batch flows over a real session with a scripted
// Dialogs seam.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FrontEndTestSupport.h"
#include "ScriptedDialogs.h"
#include "System/Platform/FileException.h"
#include "System/Platform/Registry.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"
#include "logic/BatchFlow.h"
#include "logic/FrontEndStrings.h"
#include "logic/PageState.h"
#include "logic/SystemInfo.h"

namespace fs = std::filesystem;
using namespace brannock;
using brannock_test::ReadText;
using brannock_test::ScriptedDialogs;

namespace {

const char kApp[] = "Halvex Morvane for FrameMaker";

// A fresh settings store and work folder per test.
class FrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brannock-test-XXXXXX";
    root_ = mkdtemp(pattern);
    root_ += "/";
    // The store replaces its file with fsync at every write; in memory
    // that costs nothing.
    char store[] = "/dev/shm/brannock-store-XXXXXX";
    store_ = fs::is_directory("/dev/shm") && mkdtemp(store) ? std::string(store) : root_ + "config";
    fs::create_directories(store_);
    setenv("XDG_CONFIG_HOME", store_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(root_);
    fs::remove_all(store_);
  }
  std::string Dir(const std::string& name) {
    fs::create_directories(root_ + name);
    return root_ + name + "/";
  }
  std::string root_, store_;
};

}  // namespace

// Every named id is the number of its table line and finds that line's
// text; ids ascend and never reach the kernel's glossary range.
TEST(FrontEndStrings, NamesNumbersAndTextsComeFromOneTable) {
  struct Entry {
    unsigned id;
    unsigned named;
    const char* name;
    const char* text;
  } const entries[] = {
#define FRONTEND_STRING(id, name, text) {id, brannock::Text::name, #name, text},
#include "frontend/logic/FrontEndStringTable.inc"
#undef FRONTEND_STRING
  };
  unsigned previous = 0;
  for (const Entry& e : entries) {
    EXPECT_EQ(e.named, e.id) << e.name;
    EXPECT_GT(e.id, previous) << e.name;
    EXPECT_LT(e.id, Msg::GLOSSARY_FIRST) << e.name;
    EXPECT_STREQ(LoadString(e.id), e.text) << e.name;
    previous = e.id;
  }
  EXPECT_EQ(brannock::Text::ASK_CANCEL, 150u);
}

TEST(FrontEndStrings, TextsAndFilters) {
  EXPECT_STREQ(LoadString(brannock::Text::APP_NAME), "Halvex Morvane for FrameMaker");
  EXPECT_STREQ(LoadString(brannock::Text::APP_VERSION), "Version 3.00 (Build 1)");
  EXPECT_STREQ(LoadString(Msg::GLOSSARY_BOLD), "<:b> and <:/b> Bold");
  EXPECT_STREQ(LoadString(Msg::GLOSSARY_SORT_STRING), "<ss> Sort String");
  EXPECT_STREQ(LoadString(12345), "");
  EXPECT_EQ(FormatString(brannock::Text::MIF_FILES_TO_CONVERT, 3), "3 MIF File(s) will be converted to KWX.");
  EXPECT_EQ(FormatString(brannock::Text::NUMBER_OUT_OF_RANGE, 255), "Please enter a number between 1 and 255.");
  EXPECT_EQ(FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, "/a/"),
            "You may not place the KWX files in the\nsame directory as the source files:\n(/a/)\nChoose another directory.");
  EXPECT_EQ(QtFilter(LoadString(brannock::Text::FILTER_MIF)), "MIF Files (*.mif)");
  EXPECT_EQ(QtFilter(LoadString(brannock::Text::FILTER_TXT)), "Text Files (*.txt)");
}

TEST(PageRules, MarkerLength) {
  const struct {
    const char* text;
    bool valid;
  } rows[] = {{"0", false}, {"256", false}, {"12a", false}, {"", false},  {"-1", false}, {" 12", false},
              {"1000", false}, {"0255", false}, {"1", true}, {"255", true}, {"220", true}, {"007", true}};
  for (const auto& row : rows) EXPECT_EQ(ValidMarkerLength(row.text), row.valid) << '"' << row.text << '"';
}

TEST(PageRules, FirstAndLastSwap) {
  using List = std::vector<std::string>;
  const struct {
    List in, out;
  } rows[] = {
      {{}, {}},
      {{"/d/b.mif"}, {"/d/b.mif"}},
      {{"/d/b.mif", "/d/a.mif"}, {"/d/a.mif", "/d/b.mif"}},
      {{"/d/a.mif", "/d/b.mif"}, {"/d/a.mif", "/d/b.mif"}},
      {{"/d/c.mif", "/d/a.mif", "/d/b.mif"}, {"/d/b.mif", "/d/a.mif", "/d/c.mif"}},
      {{"/d/c.mif", "/d/z.mif", "/d/b.mif"}, {"/d/b.mif", "/d/z.mif", "/d/c.mif"}},
      {{"/d/a.mif", "/d/z.mif", "/d/b.mif"}, {"/d/a.mif", "/d/z.mif", "/d/b.mif"}},
      {{"/d/x.mif", "/d/x.mif"}, {"/d/x.mif", "/d/x.mif"}},
  };
  for (const auto& row : rows) {
    List files = row.in;
    SwapFirstAndLast(files);
    EXPECT_EQ(files, row.out) << (row.in.empty() ? "" : row.in.front());
  }
}

TEST(PageRules, AncillaryFilesAndFolders) {
  EXPECT_EQ(WithoutAncillaryFiles({"/t/ANCILLARY.RTF", "/t/a.rtf", "/t/ancillary.txt", "/t/myancillary.rtf",
                                   "/t/ancillary.rtf.bak"}),
            (std::vector<std::string>{"/t/a.rtf", "/t/ancillary.rtf.bak"}));
  EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
  EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
  EXPECT_EQ(WithTrailingSeparator(""), "");
  EXPECT_TRUE(SameFolder("/Work/Src", "/work/src/"));
  EXPECT_FALSE(SameFolder("/work/src/", "/work/src2/"));
}

TEST(PageRules, DefaultReportFlagsAreTheFiveCharacterFormatTypes) {
  std::vector<int> on;
  for (int i = 0; i < kReportTypes; ++i) {
    if (DefaultReportFlag(i)) on.push_back(Msg::GLOSSARY_FIRST + i);
  }
  EXPECT_EQ(on, (std::vector<int>{19200, 19202, 19203, 19221, 19231}));
}

TEST(SystemInfo, Parsing) {
  auto memory = ParseMeminfo("MemTotal:       16000 kB\nMemFree:  100 kB\nMemAvailable:   8000 kB\n"
                             "SwapTotal:  2048 kB\nSwapFree: 1024 kB\n");
  ASSERT_TRUE(memory);
  EXPECT_EQ(memory->totalKB, 16000);
  EXPECT_EQ(memory->availableKB, 8000);
  EXPECT_EQ(memory->swapTotalKB, 2048);
  EXPECT_EQ(memory->swapFreeKB, 1024);
  auto old = ParseMeminfo("MemTotal: 10 kB\nMemFree: 4 kB\n");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->availableKB, 4);
  EXPECT_FALSE(ParseMeminfo("garbage\n"));

  EXPECT_EQ(ParseOsRelease("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(ParseOsRelease("NAME=Fedora\nVERSION='40 (Workstation)'\n"), "Fedora 40 (Workstation)");
  EXPECT_EQ(ParseOsRelease(""), "");
}

TEST_F(FrontEndTest, SystemLinesSayUnavailableForWhatCannotBeRead) {
  const std::string fake = Dir("fakeroot");
  const std::vector<std::string> lines = SystemInfoLines(kApp, "/no/such/program", fake);
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[0], "System Settings Overview:");
  EXPECT_EQ(lines[1], "Halvex Morvane for FrameMaker is running");
  EXPECT_EQ(lines[2], "Total Physical Memory: Unavailable");
  EXPECT_EQ(lines[6], "Total Disk Space: Unavailable");
  EXPECT_EQ(lines[7], "Available Disk Space: Unavailable");
  EXPECT_EQ(lines[8], "Operating System: Unknown OS");

  fs::create_directories(fake + "proc");
  fs::create_directories(fake + "etc");
  std::ofstream(fake + "proc/meminfo") << "MemTotal: 2048 kB\nMemAvailable: 1024 kB\nSwapTotal: 512 kB\nSwapFree: 256 kB\n";
  std::ofstream(fake + "etc/os-release") << "PRETTY_NAME=\"Test OS 1\"\n";
  const std::vector<std::string> real = SystemInfoLines(kApp, root_, fake);
  EXPECT_EQ(real[2], "Total Physical Memory: 2048 KB");
  EXPECT_EQ(real[3], "Available Physical Memory: 1024 KB");
  EXPECT_EQ(real[4], "Total Paging File Memory: 512 KB");
  EXPECT_EQ(real[5], "Available Paging File Memory: 256 KB");
  EXPECT_EQ(real[6].rfind("Total Disk Space: ", 0), 0u);
  EXPECT_EQ(real[6].find("Unavailable"), std::string::npos);
  EXPECT_EQ(real[8], "Operating System: Test OS 1");
}

TEST_F(FrontEndTest, ReportFlagsRoundTripThroughTheStore) {
  CQ_Morvane_CommunicationFrame session(kApp, "v", true);  // sets the store's key
  EXPECT_EQ(LoadReportFlags(), DefaultReportFlags());
  std::vector<bool> flags(kReportTypes);
  for (int i = 0; i < kReportTypes; ++i) flags[i] = i % 2 == 0;
  SaveReportFlags(flags);
  EXPECT_EQ(LoadReportFlags(), flags);
  // The tag map follows the flags when the page is applied.
  SettingsState settings = LoadSettings(session);
  EXPECT_EQ(settings.reportFlags, flags);
  ApplySettings(session, settings);
  EXPECT_TRUE(session.b_GetVerifierReportOption(0));
  EXPECT_FALSE(session.b_GetVerifierReportOption(1));
}

TEST_F(FrontEndTest, PathsApplyAndLoad) {
  CQ_Morvane_CommunicationFrame session(kApp, "v", true);
  PathsState paths{Dir("s"), Dir("o"), root_ + "t", true, false};
  ApplyPaths(session, paths);
  EXPECT_EQ(std::string(session.lpsz_GetTranslatedFilesPath()), root_ + "t/");
  EXPECT_TRUE(session.b_GetDuringSession());
  EXPECT_FALSE(session.b_GetBetweenSessions());
  EXPECT_EQ(FirstMissingPath(paths), std::optional<int>(2));  // t does not exist
  Dir("t");
  EXPECT_EQ(FirstMissingPath(paths), std::nullopt);
  paths.duringSession = false;
  paths.betweenSessions = true;
  ApplyPaths(session, paths);
  EXPECT_EQ(std::string(session.lpsz_GetSourceFilesPath()), "/");
  EXPECT_FALSE(session.b_GetBetweenSessions());  // needs "During Session"
  EXPECT_FALSE(LoadPaths(session).betweenSessions);
}

TEST_F(FrontEndTest, WriteLinesReplacesTheFileWhole) {
  const std::string file = Dir("w") + "results.txt";
  std::ofstream(file) << "old content that is longer than the new one\n";
  WriteLines({"one", "", "three"}, file);
  EXPECT_EQ(ReadText(file), "one\n\nthree\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ + "w"), fs::directory_iterator()), 1);  // no temporary left
  EXPECT_THROW(WriteLines({"x"}, root_ + "no/such/dir/results.txt"), Platform::CQ_FileException);
}

TEST_F(FrontEndTest, FailedSaveIsReportedIntoTheResults) {
  CQ_Morvane_CommunicationFrame session(kApp, "v", true);
  ScriptedDialogs dialogs;
  BatchFlow flow(session, dialogs);
  dialogs.savePaths.push_back(root_ + "no/such/dir/out.txt");
  EXPECT_FALSE(flow.SaveResults({"a"}, root_));
  char line[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
  ASSERT_TRUE(session.b_GetNextMessage(line));
  EXPECT_EQ(std::string(line).rfind("File Error", 0), 0u) << line;
  ASSERT_TRUE(session.b_GetNextMessage(line));
  EXPECT_EQ(std::string(line), lpsz_LoadKernelString(Msg::FILE_NAME_LABEL) + root_ + "no/such/dir/out.txt");
  // A name without an extension gets ".txt".
  dialogs.savePaths.push_back(root_ + "saved");
  EXPECT_TRUE(flow.SaveResults({"a", "b"}, root_));
  EXPECT_EQ(ReadText(root_ + "saved.txt"), "a\nb\n");
}

TEST_F(FrontEndTest, CancelQuestionSetsTheFlagUnlessAnsweredNo) {
  CQ_Morvane_CommunicationFrame session(kApp, "v", true);
  ScriptedDialogs dialogs;
  BatchFlow flow(session, dialogs);
  dialogs.answers = {Platform::IDNO, Platform::IDYES};
  EXPECT_FALSE(flow.AskCancel());
  EXPECT_FALSE(session.b_GetUserCancelled());
  EXPECT_TRUE(flow.AskCancel());
  EXPECT_TRUE(session.b_GetUserCancelled());
  EXPECT_EQ(dialogs.boxes[0].caption, kApp);
}

// The confirmation checks of each batch kind, over a session whose batch
// never starts (the dialog is cancelled after the scripted answers).
TEST_F(FrontEndTest, ConfirmationChecks) {
  const std::string src = Dir("Src"), org = Dir("org"), out = Dir("out"), upper = Dir("SRC");
  std::ofstream(src + "a.mif") << "x";
  const struct {
    BatchKind kind;
    std::vector<std::string> fields;
    std::string refusal;  // empty: accepted
  } rows[] = {
      {BatchKind::ConvertMIF, {org, out}, ""},
      {BatchKind::ConvertMIF, {src, out}, FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, src.c_str())},
      {BatchKind::ConvertMIF, {org, upper}, FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, src.c_str())},  // compared without case
      {BatchKind::ConvertMIF, {org, root_ + "SRCX/"}, LoadString(brannock::Text::FOLDER_MISSING)},
      {BatchKind::ConvertMIF, {org, root_ + "missing"}, LoadString(brannock::Text::FOLDER_MISSING)},
      {BatchKind::ConvertMIF, {org, src.substr(0, src.size() - 1)}, FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, src.c_str())},
      {BatchKind::VerifyVarnels, {org}, ""},
      {BatchKind::VerifyVarnels, {src}, LoadString(brannock::Text::VERIFY_TWO_FOLDERS)},
      {BatchKind::VerifyVarnels, {root_ + "missing/"}, LoadString(brannock::Text::FOLDER_MISSING)},
      {BatchKind::ConvertKWX, {src}, ""},
      {BatchKind::ConvertKWX, {root_ + "missing/"}, LoadString(brannock::Text::FOLDER_MISSING)},
  };
  for (const auto& row : rows) {
    CQ_Morvane_CommunicationFrame session(kApp, "v", true);
    ScriptedDialogs dialogs;
    BatchFlow flow(session, dialogs);
    const char* file = row.kind == BatchKind::ConvertMIF ? "a.mif" : "a.rtf";
    dialogs.files.push_back({src, {src + file}});
    dialogs.confirmations.push_back(row.fields);
    PathsState paths{src, org, out, true, true};
    SettingsState settings;
    settings.overwriteFiles = 1;
    // Accepted rows run the driver on a file that is no MIF file; only the
    // check matters here.
    flow.Run(row.kind, paths, settings, nullptr, {});
    const std::string shown = dialogs.boxes.empty() ? "" : dialogs.boxes[0].text;
    const bool refused = shown == LoadString(brannock::Text::FOLDER_MISSING) || shown == LoadString(brannock::Text::VERIFY_TWO_FOLDERS) || shown.rfind("You may not", 0) == 0;
    if (row.refusal.empty()) {
      EXPECT_FALSE(refused) << static_cast<int>(row.kind) << " " << row.fields[0] << " -> " << shown;
    } else {
      EXPECT_EQ(shown, row.refusal) << static_cast<int>(row.kind) << " " << row.fields[0];
    }
    EXPECT_FALSE(session.b_GetRunningTask());
  }
}

TEST_F(FrontEndTest, ForwardFlowSetsPathsRangesAndStartsInTheKeptFolder) {
  const std::string src = Dir("src"), org = Dir("org"), out = Dir("out");
  fs::copy_file(MORVANE_SOURCE_DIR "/samples/sample.mif", src + "b.mif");
  fs::copy_file(MORVANE_SOURCE_DIR "/samples/sample.mif", src + "a.mif");
  CQ_Morvane_CommunicationFrame session(kApp, "v", true);
  ScriptedDialogs dialogs;
  BatchFlow flow(session, dialogs);
  dialogs.files.push_back({src, {src + "b.mif", src + "a.mif"}});
  dialogs.confirmations.push_back({org, out});
  dialogs.answers = {Platform::IDOK, Platform::IDNO};
  PathsState paths{Dir("start"), org, out, true, true};
  std::vector<std::pair<int, int>> ranges;
  std::vector<bool> busy;
  FlowHooks hooks;
  hooks.resetBars = [&](int f, int b) { ranges.emplace_back(f, b); };
  hooks.setBusy = [&](bool b) { busy.push_back(b); };
  ASSERT_TRUE(flow.Run(BatchKind::ConvertMIF, paths, SettingsState{}, nullptr, hooks));
  EXPECT_EQ(dialogs.fileRequests.at(0).startDir, root_ + "start/");
  EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>{{0, 0}, {8, 16}}));
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(std::string(session.lpsz_GetSourceFilesPath()), src);
  EXPECT_EQ(std::string(session.lpsz_GetORGFilesPath()), org);
  EXPECT_EQ(std::string(session.lpsz_GetTranslatedFilesPath()), out);
  EXPECT_EQ(paths.source, src);
  EXPECT_EQ(session.n_GetFileDialogHelpID(), 256u);
  EXPECT_EQ(session.i_GetBatchProcessed(), 2);
  EXPECT_EQ(session.i_GetBatchFailed(), 0);
  EXPECT_FALSE(session.b_GetRunningTask());
  // Without "During Session" the dialog starts at the root.
  paths.duringSession = false;
  dialogs.fileRequests.clear();
  EXPECT_FALSE(flow.Run(BatchKind::ConvertMIF, paths, SettingsState{}, nullptr, hooks));
  EXPECT_EQ(dialogs.fileRequests.at(0).startDir, "/");
}

// The "Clear change bars" box of the MIF confirmation: off by default, so a
// document with change bars is refused; on, the document converts from a
// copy in the ORG folder. The choice is stored and offered again.
TEST_F(FrontEndTest, ClearChangeBarsBoxDecidesWhetherAChangeBarredDocumentConverts) {
  const std::string src = Dir("src"), org = Dir("org"), out = Dir("out");
  const std::string sample = ReadText(MORVANE_SOURCE_DIR "/samples/sample.mif");
  std::string barred = sample;
  for (const std::string statement : {"<FChangeBar ", "<DAutoChBars "}) {
    const std::size_t at = barred.find(statement + "No>");
    ASSERT_NE(at, std::string::npos) << statement;
    barred.replace(at, statement.size() + 3, statement + "Yes>");
  }
  std::ofstream(src + "bars.mif", std::ios::binary) << barred;

  const struct {
    std::optional<bool> chosen;  // the box as ticked in the dialog; nothing: left alone
    bool offered;                // the box as the dialog shows it
    bool converted;
  } rows[] = {{std::nullopt, false, false}, {true, false, true}, {std::nullopt, true, true}, {false, true, false}};
  int run = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(run++);
    fs::remove_all(org);
    fs::create_directories(org);
    CQ_Morvane_CommunicationFrame session(kApp, "v", true);
    ScriptedDialogs dialogs;
    BatchFlow flow(session, dialogs);
    dialogs.files.push_back({src, {src + "bars.mif"}});
    dialogs.confirmations.push_back({org, out});
    if (row.chosen) dialogs.checkStates.push_back({*row.chosen});
    dialogs.answers = {Platform::IDOK, Platform::IDNO};  // the summary, the ancillary question
    PathsState paths{src, org, out, true, true};
    SettingsState settings;
    settings.overwriteFiles = 1;
    ASSERT_TRUE(flow.Run(BatchKind::ConvertMIF, paths, settings, nullptr, {}));

    const ConfirmRequest& shown = dialogs.confirmRequests.at(0);
    ASSERT_EQ(shown.CheckStates(), std::vector<bool>{row.offered});
    EXPECT_EQ(shown.items.back().text, "Clear change bars (convert from a copy with change bars switched off)");
    EXPECT_EQ(LoadClearChangeBars(), row.chosen.value_or(row.offered));
    EXPECT_EQ(session.b_GetClearChangeBars(), row.converted);

    std::string results;
    char line[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
    while (session.b_GetNextMessage(line)) results += std::string(line) + "\n";
    EXPECT_EQ(session.i_GetBatchProcessed(), 1);
    EXPECT_EQ(session.i_GetBatchFailed(), row.converted ? 0 : 1) << results;
    EXPECT_EQ(fs::exists(org + "bars.org"), row.converted);
    EXPECT_EQ(fs::exists(org + "bars.rtf"), row.converted);
    if (row.converted) {
      const std::string copy = org + "change-bars-off/bars.mif";
      EXPECT_NE(results.find("Change bars switched off (2 statements) in a copy of " + src + "bars.mif:\n  " + copy +
                             "\n"),
                std::string::npos)
          << results;
      EXPECT_NE(results.find("Converting " + copy + "\nDone.\n"), std::string::npos) << results;
      EXPECT_EQ(ReadText(copy), sample);
    } else {
      EXPECT_NE(results.find("Change Bars are"), std::string::npos) << results;
      EXPECT_FALSE(fs::exists(org + "change-bars-off"));
    }
    EXPECT_EQ(ReadText(src + "bars.mif"), barred);
  }
}
