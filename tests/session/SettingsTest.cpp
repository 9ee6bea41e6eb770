// The session's settings: what it reads from and writes to the settings
// store, defaults, resets, the verifier's tag map and the GUI-clear rule.
#include <sys/stat.h>

#include <filesystem>

#include "SessionTestSupport.h"
#include "System/Platform/Registry.h"
#include "kernel/session/CommunicationVerifierF.h"
#include "kernel/session/KernelStrings.h"

using Platform::Registry;
using Platform::RegistryValue;

namespace morvane_test {
namespace {

const char kApp[] = "Halvex Morvane for FrameMaker";
const std::string kRoot = "Software\\Halvex\\Halvex Morvane for FrameMaker\\3.0\\";

class SettingsTest : public StoreFixture {
 protected:
  static std::optional<RegistryValue> Stored(const std::string& section, const std::string& name) {
    return Registry::QueryValue(kRoot + section, name);
  }
  static RegistryValue Dword(std::uint32_t n) { return RegistryValue(n); }
  static RegistryValue Text(const char* s) { return RegistryValue(std::string(s)); }
};

TEST_F(SettingsTest, EmptyStoreGivesTheDefaults) {
  CQ_Morvane_CommunicationFrame session(kApp, "3.0", true);
  EXPECT_EQ(CQ_Morvane_Communication::scs_AppRegistryKey, kRoot);
  EXPECT_TRUE(session.b_GetDuringSession());
  EXPECT_TRUE(session.b_GetBetweenSessions());
  EXPECT_STREQ(session.lpsz_GetSourceFilesPath(), "/");
  EXPECT_STREQ(session.lpsz_GetORGFilesPath(), "/");
  EXPECT_STREQ(session.lpsz_GetTranslatedFilesPath(), "/");
  EXPECT_EQ(session.i_GetOverwriteFiles(), 0);
  EXPECT_EQ(session.i_GetFileFormatForKWX(), 1);
  EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "English (US)");
  EXPECT_STREQ(session.lpsz_GetTargetLanguage(), "English (US)");
  EXPECT_EQ(session.i_GetSourceCodePage(), 1252);
  EXPECT_STREQ(session.lpsz_GetTargetMIFLanguage(), "USEnglish");
  EXPECT_EQ(session.i_GetSmartQuotes(), 0);
  EXPECT_EQ(session.i_GetReadOnlyComponents(), 1);
  EXPECT_STREQ(session.lpsz_GetSourceMarkerLength(), "220");
  EXPECT_EQ(session.i_GetTask(), TASK_NONE);
  EXPECT_EQ(session.n_GetFileDialogHelpID(), 3u);
  // Reading writes nothing: the first run has no REPORTING key yet.
  EXPECT_FALSE(Registry::KeyExists(kRoot + "REPORTING"));
}

TEST_F(SettingsTest, StoredSettingsAreReadAndWrittenBackInFull) {
  std::filesystem::create_directories(dir_ + "src");
  std::filesystem::create_directories(dir_ + "org");
  Registry::SetString(kRoot + "PATHS", "SOURCE_FILES", dir_ + "src/");
  Registry::SetString(kRoot + "PATHS", "ORG_FILES", dir_ + "org/");
  Registry::SetString(kRoot + "OPTIONS", "TARGET_LANGUAGE", "Japanese");
  Registry::SetString(kRoot + "OPTIONS", "SOURCE_LANGUAGE", "German");
  Registry::SetDword(kRoot + "OPTIONS", "OVERWRITE_FILES", 1);
  Registry::SetDword(kRoot + "OPTIONS", "SMART_QUOTES", 1);
  Registry::SetDword(kRoot + "OPTIONS", "READ_ONLY_COMPONENTS", 0);
  Registry::SetString(kRoot + "OPTIONS", "SOURCE_MARKER_LENGTH", "100");
  {
    CQ_Morvane_CommunicationFrame session(kApp, "3.0", true);
    EXPECT_STREQ(session.lpsz_GetSourceFilesPath(), (dir_ + "src/").c_str());
    EXPECT_STREQ(session.lpsz_GetORGFilesPath(), (dir_ + "org/").c_str());
    EXPECT_EQ(session.i_GetTargetCodePage(), 932);
    EXPECT_STREQ(session.lpsz_GetSourceMIFLanguage(), "German");
    EXPECT_EQ(session.i_GetOverwriteFiles(), 1);
    EXPECT_EQ(session.i_GetSmartQuotes(), 1);
    EXPECT_EQ(session.i_GetReadOnlyComponents(), 0);
    EXPECT_STREQ(session.lpsz_GetSourceMarkerLength(), "100");
    session.v_SetRTFPageSize(1);
    session.v_SetTranslationHyphenation(1);
    session.v_SetReadOnlyComponents(1);
  }
  EXPECT_EQ(Stored("OPTIONS", "RTF_PAGE_SIZE"), Dword(1));
  EXPECT_EQ(Stored("OPTIONS", "TRANSLATION_HYPHENATION"), Dword(1));
  EXPECT_EQ(Stored("OPTIONS", "TARGET_LANGUAGE"), Text("Japanese"));
  EXPECT_EQ(Stored("OPTIONS", "SOURCE_MARKER_LENGTH"), Text("100"));
  EXPECT_EQ(Stored("PATHS", "TRANSLATED_FILES"), Text("/"));
  // The front end owns this value; the kernel never writes it.
  EXPECT_EQ(Stored("OPTIONS", "READ_ONLY_COMPONENTS"), Dword(0));
}

TEST_F(SettingsTest, PathRulesDuringAndBetweenSessions) {
  std::filesystem::create_directories(dir_ + "kept");
  const std::string kept = dir_ + "kept/";
  Registry::SetString(kRoot + "PATHS", "SOURCE_FILES", kept);
  Registry::SetString(kRoot + "PATHS", "ORG_FILES", kept);
  Registry::SetString(kRoot + "PATHS", "TRANSLATED_FILES", dir_ + "deleted/");
  {
    CQ_Morvane_CommunicationFrame session(kApp, "3.0", true);
    EXPECT_STREQ(session.lpsz_GetSourceFilesPath(), kept.c_str());
    // A stored folder that no longer exists reads back as the root.
    EXPECT_STREQ(session.lpsz_GetTranslatedFilesPath(), "/");
    session.v_SetBetweenSessions(false);
  }
  // Not kept between sessions: the root is written for all three.
  EXPECT_EQ(Stored("PATHS", "BETWEEN_SESSIONS"), Dword(0));
  EXPECT_EQ(Stored("PATHS", "SOURCE_FILES"), Text("/"));
  EXPECT_EQ(Stored("PATHS", "ORG_FILES"), Text("/"));

  Registry::SetString(kRoot + "PATHS", "SOURCE_FILES", kept);
  Registry::SetDword(kRoot + "PATHS", "DURING_SESSION", 0);
  CQ_Morvane_CommunicationFrame session(kApp, "3.0", true);
  EXPECT_FALSE(session.b_GetDuringSession());
  EXPECT_STREQ(session.lpsz_GetSourceFilesPath(), "/");
  EXPECT_STREQ(session.lpsz_GetORGFilesPath(), "/");
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeReadAsMissing) {
  Registry::SetString(kRoot + "OPTIONS", "FILE_FORMAT_FOR_KWX", "0");
  Registry::SetDword(kRoot + "OPTIONS", "TARGET_LANGUAGE", 5);
  Registry::SetString(kRoot + "OPTIONS", "SOURCE_LANGUAGE", "");
  Registry::SetString(kRoot + "PATHS", "DURING_SESSION", "0");
  CQ_Morvane_CommunicationFrame session(kApp, "3.0", true);
  EXPECT_EQ(session.i_GetFileFormatForKWX(), 1);
  EXPECT_STREQ(session.lpsz_GetTargetLanguage(), "English (US)");
  EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "English (US)");
  EXPECT_TRUE(session.b_GetDuringSession());
  EXPECT_EQ(CQ_Morvane_Communication::sn4_GetValueFromRegistry("OPTIONS", "FILE_FORMAT_FOR_KWX", 77), 77u);
  const char* def = "default";
  EXPECT_EQ(CQ_Morvane_Communication::slpsz_GetValueFromRegistry("OPTIONS", "TARGET_LANGUAGE", def), def);
}

TEST_F(SettingsTest, AnUnknownStoredLanguageKeepsTheDefault) {
  Registry::SetString(kRoot + "OPTIONS", "SOURCE_LANGUAGE", "Klingon");
  CQ_Morvane_CommunicationFrame session(kApp, "3.0", true);
  EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "English (US)");
  EXPECT_EQ(session.i_GetSourceCodePage(), 1252);
}

TEST_F(SettingsTest, MissingReportSettingsAreAddedOnlyWhenTheKeyExists) {
  { CQ_Morvane_CommunicationFrame first(kApp, "3.0", true); }
  EXPECT_FALSE(Registry::KeyExists(kRoot + "REPORTING"));

  const std::string bold = lpsz_LoadKernelString(Msg::GLOSSARY_BOLD);
  ASSERT_EQ(bold, "<:b> and <:/b> Bold");
  Registry::SetDword(kRoot + "REPORTING", bold, 0);
  { CQ_Morvane_CommunicationFrame second(kApp, "3.0", true); }
  EXPECT_EQ(Stored("REPORTING", bold), Dword(0));
  for (unsigned id = 19201; id <= Msg::GLOSSARY_LAST; ++id) {
    EXPECT_EQ(Stored("REPORTING", lpsz_LoadKernelString(id)), Dword(1)) << id;
  }
}

TEST_F(SettingsTest, AGuiClearSessionNeverTouchesTheStoreNorAsks) {
  // An unwritable, unreadable configuration folder: any access would fail
  // or leave a trace.
  const std::string locked = dir_ + "locked";
  std::filesystem::create_directories(locked);
  Registry::SetStoreFile(locked + "/halvex/registry.reg");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  RecordingWindow window;
  {
    CQ_Morvane_CommunicationFrame session("Typeshift", "3.0", false);
    session.v_SetUI(&window);
    EXPECT_EQ(session.i_GetOverwriteFiles(), 0);
    session.vv_RestoreSettingsDefaults();
    session.v_ResetBatch();
    session.v_Set();
    auto factory = std::make_unique<ScriptedFactory>();
    factory->actions = {[](CQ_Morvane_CommunicationFrame&) { return 3; }};
    session.v_SetConverterFactory(std::move(factory));
    CQ_StringList files = {dir_ + "a.mif", dir_ + "b.mif"};
    session.v_ConvertMIF(&files);
    session.v_VerifyVarnels(&files);
  }
  chmod(locked.c_str(), 0700);
  EXPECT_TRUE(std::filesystem::is_empty(locked));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(SettingsTest, ResetBatchClearsAGuiSessionOnly) {
  CQ_Morvane_CommunicationFrame gui(kApp, "3.0", true);
  CQ_Morvane_CommunicationFrame plain(kApp, "3.0", false);
  for (CQ_Morvane_CommunicationFrame* s : {&gui, &plain}) {
    s->v_SetORGFilesPath("/org/");
    s->v_SetSourceLanguage("Japanese (Colloquy)");
    s->v_SetSmartQuotes(1);
    s->v_SetCurrentFileName("doc");
    s->v_SetVerificationErrors(4);
    s->v_SetUserCancelled(true);
    s->v_AddMessage("line");
    s->pco_GetCustomTagMap()->emplace("<:b>", "<:b>");
    s->v_ResetBatch();
    EXPECT_STREQ(s->lpsz_GetCurrentFileName(), "");
    EXPECT_EQ(s->n_GetVerificationErrors(), 0u);
    EXPECT_FALSE(s->b_GetUserCancelled());
    EXPECT_FALSE(s->b_GetJapaneseColloquy());
    EXPECT_TRUE(s->pcco_GetCustomTagMap()->empty());
  }
  EXPECT_STREQ(gui.lpsz_GetORGFilesPath(), "");
  EXPECT_STREQ(gui.lpsz_GetSourceLanguage(), "");
  EXPECT_EQ(gui.i_GetSmartQuotes(), 0);
  EXPECT_TRUE(gui.rco_GetResults().empty());
  EXPECT_STREQ(plain.lpsz_GetORGFilesPath(), "/org/");
  EXPECT_STREQ(plain.lpsz_GetSourceLanguage(), "Japanese (Colloquy)");
  EXPECT_EQ(plain.i_GetSourceCodePage(), 932);
  EXPECT_EQ(plain.i_GetSmartQuotes(), 1);
  EXPECT_EQ(plain.rco_GetResults().size(), 1u);
}

TEST_F(SettingsTest, SetReturnsToTheConstructedState) {
  CQ_Morvane_CommunicationFrame session("Typeshift", "3.0", false);
  session.v_SetSourceMarkerLength("50");
  session.v_SetTargetLanguage("French");
  session.v_SetTask(TASK_VERIFY);
  session.v_AddVisibleMIFObject("<TblID 3>");
  session.v_AddTailToAncillaryFile("<file \"x\">");
  CQ_Morvane_ErrorList errors;
  errors.push_back(std::make_unique<CQ_Morvane_ErrorMessage>(3, "e", ""));
  session.v_TakeErrorList(&errors);
  session.v_Set();
  EXPECT_STREQ(session.lpsz_GetSourceMarkerLength(), "220");
  EXPECT_STREQ(session.lpsz_GetTargetLanguage(), "");
  EXPECT_EQ(session.i_GetTask(), TASK_NONE);
  EXPECT_FALSE(session.b_GetVisibleMIFObject("<TblID 3>"));
  EXPECT_TRUE(session.b_AncillaryFileIsEmpty());
  EXPECT_TRUE(session.pcco_GetErrorList()->empty());
  EXPECT_EQ(session.ccs_GetAppName(), "Typeshift");
}

TEST_F(SettingsTest, DefaultsRestoreSettingsAndPaths) {
  CQ_Morvane_CommunicationFrame session("Typeshift", "3.0", false);
  session.v_SetSourceLanguage("Korean");
  session.v_SetReadOnlyComponents(0);
  session.vv_RestoreSettingsDefaults();
  EXPECT_EQ(session.i_GetFileFormatForKWX(), 1);
  EXPECT_EQ(session.i_GetSourceCodePage(), 1252);
  EXPECT_EQ(session.i_GetReadOnlyComponents(), 1);
  session.vv_RestorePathsDefaults();
  EXPECT_STREQ(session.lpsz_GetTranslatedFilesPath(), "/");
  EXPECT_TRUE(session.b_GetBetweenSessions());
}

TEST_F(SettingsTest, VerifierSessionKeepsItsOwnPages) {
  std::filesystem::create_directories(dir_ + "org");
  Registry::SetString(kRoot + "PATHS", "ORG_FILES", dir_ + "org/");
  Registry::SetString(kRoot + "OPTIONS", "SOURCE_LANGUAGE", "Klingon");
  {
    CQ_Morvane_CommunicationVerifierF session(kApp, "3.0", true);
    EXPECT_STREQ(session.lpsz_GetORGFilesPath(), (dir_ + "org/").c_str());
    EXPECT_STREQ(session.lpsz_GetSourceFilesPath(), "");
    EXPECT_EQ(session.i_GetSmartQuotes(), 1);
    // Stored as a name only, not checked against the language table.
    EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "Klingon");
    EXPECT_EQ(session.i_GetSourceCodePage(), 0);
    session.v_SetRTFPageSize(1);
  }
  EXPECT_EQ(Stored("OPTIONS", "FILE_FORMAT_FOR_KWX"), Dword(1));
  EXPECT_EQ(Stored("OPTIONS", "TARGET_LANGUAGE"), Text("English (US)"));
  EXPECT_FALSE(Stored("OPTIONS", "RTF_PAGE_SIZE"));
  EXPECT_FALSE(Stored("OPTIONS", "SMART_QUOTES"));
  EXPECT_FALSE(Stored("PATHS", "SOURCE_FILES"));
  EXPECT_FALSE(Registry::KeyExists(kRoot + "REPORTING"));
}

TEST_F(SettingsTest, TagMapFromReportFlags) {
  CQ_Morvane_CommunicationFrame session("Typeshift", "3.0", false);
  ASSERT_EQ(CQ_Morvane_CommunicationFrame::sacs_CustomiseFrame.size(), 45u);
  std::vector<bool> flags(45, false);
  session.vv_CreateTagMap(&flags);
  EXPECT_TRUE(session.pcco_GetCustomTagMap()->empty());

  flags[3] = true;
  session.vv_CreateTagMap(&flags);
  CQ_TagMap expected;
  for (const char* key : {"<:c>", "<:/c>", "<:c1>", "<:/c1>", "<:c2>", "<:/c2>"}) expected.emplace(key, key);
  EXPECT_EQ(*session.pcco_GetCustomTagMap(), expected);

  flags.assign(45, false);
  flags[0] = flags[4] = flags[22] = flags[28] = flags[40] = true;
  session.vv_CreateTagMap(&flags);
  for (const char* key : {"<:b>", "<:/b>", "<:cs \"", "<:/cs>", "<:imk ", "<:r1", "<:r3", "<imk", "</imk>"}) {
    EXPECT_EQ(session.pcco_GetCustomTagMap()->count(key), 1u) << key;
  }
  EXPECT_EQ(session.pcco_GetCustomTagMap()->size(), 9u);
  EXPECT_TRUE(session.b_GetVerifierReportOption(0));
  EXPECT_TRUE(session.b_GetVerifierReportOption(40));
  EXPECT_FALSE(session.b_GetVerifierReportOption(1));
  EXPECT_FALSE(session.b_GetVerifierReportOption(99));

  session.vv_CreateTagMap(nullptr);  // no flags: the map stays as it is
  EXPECT_EQ(session.pcco_GetCustomTagMap()->size(), 9u);
}

TEST_F(SettingsTest, ReportOptionsChangeOnlyWithoutGui) {
  CQ_Morvane_CommunicationFrame plain("Typeshift", "3.0", false);
  plain.v_RestoreVerifierReportDefaults();
  EXPECT_EQ(plain.pcco_GetCustomTagMap()->size(), 14u);
  EXPECT_TRUE(plain.b_GetVerifierReportOption(2));
  plain.v_SetVerifierReportOption(2, false);
  EXPECT_FALSE(plain.b_GetVerifierReportOption(2));
  EXPECT_EQ(plain.pcco_GetCustomTagMap()->count("<:/bi>"), 0u);
  plain.v_SetVerifierReportOption(36, true);
  EXPECT_TRUE(plain.b_GetVerifierReportOption(36));

  CQ_Morvane_CommunicationFrame gui(kApp, "3.0", true);
  gui.v_RestoreVerifierReportDefaults();
  gui.v_SetVerifierReportOption(0, true);
  EXPECT_TRUE(gui.pcco_GetCustomTagMap()->empty());
}

TEST(Paths, VerifyPathNeedsAnEnterableFolder) {
  EXPECT_TRUE(CQ_Morvane_Communication::b_VerifyPath("/"));
  EXPECT_TRUE(CQ_Morvane_Communication::b_VerifyPath("/tmp/"));
  EXPECT_FALSE(CQ_Morvane_Communication::b_VerifyPath("/no/such/folder/"));
  EXPECT_FALSE(CQ_Morvane_Communication::b_VerifyPath(""));
  EXPECT_FALSE(CQ_Morvane_Communication::b_VerifyPath("/etc/passwd"));
}

}  // namespace
}  // namespace morvane_test
