// The per-user settings store: types, names, persistence and failure.
#include <unistd.h>

#include <filesystem>

#include "SessionTestSupport.h"
#include "System/Platform/Registry.h"

using Platform::Registry;
using Platform::RegistryValue;

namespace morvane_test {
namespace {

const std::string kKey = "Software\\Halvex\\Halvex Morvane for FrameMaker\\3.0\\OPTIONS";

class RegistryTest : public StoreFixture {};

TEST_F(RegistryTest, ValuesRoundTripWithTheirTypes) {
  EXPECT_FALSE(Registry::KeyExists(kKey));
  ASSERT_TRUE(Registry::SetDword(kKey, "RTF_PAGE_SIZE", 1));
  ASSERT_TRUE(Registry::SetDword(kKey, "BIG", 0xFFFFFFFFu));
  const std::string awkward = "C:\\quoted \"name\"\nsecond line = [not a key]";
  ASSERT_TRUE(Registry::SetString(kKey, "SOURCE_LANGUAGE", awkward));
  ASSERT_TRUE(Registry::SetString(kKey, "EMPTY", ""));

  EXPECT_TRUE(Registry::KeyExists(kKey));
  EXPECT_EQ(Registry::QueryValue(kKey, "RTF_PAGE_SIZE"), std::optional<RegistryValue>(std::uint32_t{1}));
  EXPECT_EQ(Registry::QueryValue(kKey, "BIG"), std::optional<RegistryValue>(std::uint32_t{0xFFFFFFFFu}));
  EXPECT_EQ(Registry::QueryValue(kKey, "SOURCE_LANGUAGE"), std::optional<RegistryValue>(awkward));
  EXPECT_EQ(Registry::QueryValue(kKey, "EMPTY"), std::optional<RegistryValue>(std::string()));
  EXPECT_FALSE(Registry::QueryValue(kKey, "MISSING"));
  EXPECT_FALSE(Registry::QueryValue(kKey + "X", "RTF_PAGE_SIZE"));
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  ASSERT_TRUE(Registry::SetDword(kKey, "Smart_Quotes", 1));
  ASSERT_TRUE(Registry::SetDword(kKey, "SMART_QUOTES", 0));
  auto lower = kKey;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(Registry::QueryValue(lower, "smart_quotes"), std::optional<RegistryValue>(std::uint32_t{0}));
  EXPECT_NE(StoreText().find("\"Smart_Quotes\"=dword:00000000"), std::string::npos) << StoreText();
}

TEST_F(RegistryTest, StoreIsAReadableRegFile) {
  ASSERT_TRUE(Registry::SetDword(kKey, "FILE_FORMAT_FOR_KWX", 1));
  ASSERT_TRUE(Registry::SetString(kKey, "TARGET_LANGUAGE", "German"));
  EXPECT_EQ(StoreText(),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Halvex\\Halvex Morvane for FrameMaker\\3.0\\OPTIONS]\n"
            "\"FILE_FORMAT_FOR_KWX\"=dword:00000001\n"
            "\"TARGET_LANGUAGE\"=\"German\"\n");
}

TEST_F(RegistryTest, HandWrittenAndDamagedLinesAreTolerated) {
  std::filesystem::create_directories(dir_ + "config/halvex");
  WriteFile(storeFile_,
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "; a comment\r\n"
            "[HKEY_CURRENT_USER\\" + kKey + "]\r\n"
            "\"GOOD\"=dword:0000002a\r\n"
            "\"SHORT\"=dword:2a\r\n"
            "\"UNCLOSED\"=\"abc\r\n"
            "garbage line\r\n"
            "\"TEXT\"=\"a\\\\b\"\r\n"
            "[HKEY_LOCAL_MACHINE\\Other]\r\n"
            "\"ELSEWHERE\"=dword:00000001\r\n");
  EXPECT_EQ(Registry::QueryValue(kKey, "GOOD"), std::optional<RegistryValue>(std::uint32_t{42}));
  EXPECT_EQ(Registry::QueryValue(kKey, "TEXT"), std::optional<RegistryValue>(std::string("a\\b")));
  EXPECT_FALSE(Registry::QueryValue(kKey, "SHORT"));
  EXPECT_FALSE(Registry::QueryValue(kKey, "UNCLOSED"));
  EXPECT_FALSE(Registry::KeyExists("Other"));
  // A write keeps what parsed and drops what did not.
  ASSERT_TRUE(Registry::SetDword(kKey, "NEW", 7));
  EXPECT_EQ(Registry::QueryValue(kKey, "GOOD"), std::optional<RegistryValue>(std::uint32_t{42}));
  EXPECT_EQ(StoreText().find("garbage"), std::string::npos);
}

TEST_F(RegistryTest, FailedWriteLeavesTheOldStoreIntact) {
  ASSERT_TRUE(Registry::SetDword(kKey, "KEPT", 1));
  const std::string before = StoreText();
  // A folder where the temporary file would go makes the write fail, for
  // any user.
  const std::string blocker = storeFile_ + ".tmp." + std::to_string(getpid());
  std::filesystem::create_directories(blocker);
  EXPECT_FALSE(Registry::SetDword(kKey, "KEPT", 2));
  EXPECT_EQ(StoreText(), before);
  EXPECT_EQ(Registry::QueryValue(kKey, "KEPT"), std::optional<RegistryValue>(std::uint32_t{1}));
  std::filesystem::remove(blocker);
  EXPECT_TRUE(Registry::SetDword(kKey, "KEPT", 2));
  for (const auto& entry : std::filesystem::directory_iterator(dir_ + "config/halvex")) {
    EXPECT_EQ(entry.path().filename(), "registry.reg");
  }
}

TEST(RegistryLocation, FollowsXdgConfigHome) {
  const char* old = getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", "/somewhere/conf", 1);
  EXPECT_EQ(Registry::StoreFile(), "/somewhere/conf/halvex/registry.reg");
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(Registry::StoreFile(), std::string(getenv("HOME")) + "/.config/halvex/registry.reg");
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

TEST(WindowMessages, RegisteredNamesGiveStableIdentifiers) {
  unsigned progress = Platform::RegisterWindowMessage("Update The Morvane Progress Indicators");
  unsigned results = Platform::RegisterWindowMessage("Update The Morvane Results Window");
  EXPECT_GE(progress, 0xC000u);
  EXPECT_GE(results, 0xC000u);
  EXPECT_NE(progress, results);
  EXPECT_EQ(progress, Platform::RegisterWindowMessage("Update The Morvane Progress Indicators"));
  EXPECT_EQ(Platform::RegisterWindowMessage(""), 0u);
}

}  // namespace
}  // namespace morvane_test
