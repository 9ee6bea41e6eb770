// The shared test helpers: reads and writes, first differences, scratch
// folders, and golden files whose update mode never passes.
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace morvane_test;

TEST(TestFiles, WriteThenReadGivesTheBytesBack) {
  ScratchFolder scratch("test-files");
  const std::string path = scratch.Path() + "bytes.bin";
  const std::string bytes("a\0b\r\n\xff", 6);
  ASSERT_TRUE(WriteBytes(path, bytes));
  EXPECT_TRUE(Exists(path));
  EXPECT_EQ(ReadBytes(path), bytes);
  ASSERT_TRUE(WriteBytes(path, "short"));  // replaces, never appends
  EXPECT_EQ(ReadBytes(path), "short");
  EXPECT_EQ(ReadBytes(scratch.Path() + "missing"), "");
  EXPECT_FALSE(WriteBytes(scratch.Path() + "no/such/folder/file", "x"));
}

TEST(TestFiles, ScratchFoldersAreDistinctAndGoAway) {
  std::string first;
  {
    ScratchFolder a("test-files");
    ScratchFolder b("test-files");
    first = a.Path();
    EXPECT_NE(a.Path(), b.Path());
    EXPECT_EQ(a.Path().back(), '/');
    ASSERT_TRUE(WriteBytes(a.Path() + "inside", "x"));
  }
  if (!std::getenv("MORVANE_KEEP_SCRATCH")) {
    EXPECT_FALSE(Exists(first));
  }
}

TEST(TestFiles, FirstDifferenceNamesTheLineAndBothTexts) {
  struct Row {
    const char* expected;
    const char* actual;
    const char* shown;  // empty: no difference
  } rows[] = {
      {"same\n", "same\n", ""},
      {"a\nbc\n", "a\nbd\n", "first difference at line 2, column 2\n  expected: bc\n  actual:   bd"},
      {"a\n", "a\nmore\n", "first difference at line 2, column 1\n  expected: (end of text)\n  actual:   more"},
      {"x\ty\n", "x y\n", "first difference at line 1, column 2\n  expected: x<09>y\n  actual:   x y"},
  };
  for (const Row& row : rows) EXPECT_EQ(FirstDifference(row.expected, row.actual), row.shown) << row.expected;
}

TEST(TestFiles, GoldenComparisonAndUpdateModeNeverPasses) {
  ScratchFolder scratch("test-files");
  const std::string golden = scratch.Path() + "expected.txt";
  ::unsetenv("MORVANE_UPDATE_GOLDEN");
  EXPECT_FALSE(MatchesGolden(golden, "text\n"));  // no golden file yet
  ASSERT_TRUE(WriteBytes(golden, "text\n"));
  EXPECT_TRUE(MatchesGolden(golden, "text\n"));
  const ::testing::AssertionResult differs = MatchesGolden(golden, "other\n");
  EXPECT_FALSE(differs);
  EXPECT_NE(std::string(differs.message()).find("line 1"), std::string::npos) << differs.message();

  for (const char* value : {"1", "yes"}) {
    ::setenv("MORVANE_UPDATE_GOLDEN", value, 1);
    EXPECT_TRUE(UpdateGolden());
    const ::testing::AssertionResult updated = MatchesGolden(golden, std::string("new ") + value);
    EXPECT_FALSE(updated) << value;  // written, but not a pass
    EXPECT_NE(std::string(updated.message()).find("rewrote " + golden), std::string::npos);
    EXPECT_EQ(ReadBytes(golden), std::string("new ") + value);
  }
  ::setenv("MORVANE_UPDATE_GOLDEN", "0", 1);
  EXPECT_FALSE(UpdateGolden());
  ::unsetenv("MORVANE_UPDATE_GOLDEN");
  EXPECT_FALSE(UpdateGolden());
  EXPECT_TRUE(MatchesGolden(golden, "new yes"));
}

}  // namespace
