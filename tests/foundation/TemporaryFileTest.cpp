// Temporary output files: their names, commit and discard, the commit gate,
// and which leftovers count as a dead writer's.
#include "System/Platform/TemporaryFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "System/Platform/FileException.h"

namespace {

using morvane_test::DeadProcessId;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;

namespace fs = std::filesystem;
using Platform::CQ_TemporaryFile;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class TemporaryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("morvane-tmpfile-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    dir_ += "/";
  }
  void TearDown() override {
    CQ_TemporaryFile::sv_SetCommitGate(nullptr);
    fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(TemporaryFileTest, CommitRenamesAndAnUncommittedFileVanishes) {
  const std::string longName(255, 'x');
  {
    CQ_TemporaryFile file(dir_ + longName);
    EXPECT_EQ(file.rcs_GetTemporaryName().size(), 50u);
    EXPECT_EQ(Names(dir_), std::set<std::string>{file.rcs_GetTemporaryName()});
    file.v_Write("abc", 3);
    file.v_Commit();
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{longName});
  EXPECT_EQ(ReadBytes(dir_ + longName), "abc");
  {
    CQ_TemporaryFile file(dir_ + longName);
    file.v_Write("new", 3);
  }
  EXPECT_EQ(ReadBytes(dir_ + longName), "abc");
  EXPECT_EQ(Names(dir_).size(), 1u);

  EXPECT_THROW(CQ_TemporaryFile(dir_ + std::string(256, 'y')), Platform::CQ_FileException);
  EXPECT_THROW(CQ_TemporaryFile(dir_ + "no/such/folder/f"), Platform::CQ_FileException);
}

TEST_F(TemporaryFileTest, AFolderInTheWayFailsTheCheckAndKeepsEverything) {
  fs::create_directories(dir_ + "doc.rtf");
  CQ_TemporaryFile file(dir_ + "doc.rtf");
  file.v_Write("x", 1);
  try {
    file.v_CheckDestination();
    FAIL() << "no exception";
  } catch (const Platform::CQ_FileException& e) {
    EXPECT_EQ(e.m_strFileName, dir_ + "doc.rtf");
    EXPECT_EQ(e.m_cause, Platform::CQ_FileException::accessDenied);
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{"doc.rtf"});
  EXPECT_TRUE(fs::is_directory(dir_ + "doc.rtf"));
}

void RefusingGate() { throw 99; }

TEST_F(TemporaryFileTest, CommitGateMayAbandonTheCommit) {
  CQ_TemporaryFile::sv_SetCommitGate(&RefusingGate);
  {
    CQ_TemporaryFile file(dir_ + "doc.rtf");
    file.v_Write("x", 1);
    EXPECT_THROW(file.v_Commit(), int);
  }
  EXPECT_TRUE(Names(dir_).empty());
  CQ_TemporaryFile::sv_SetCommitGate(nullptr);
  CQ_TemporaryFile file(dir_ + "doc.rtf");
  file.v_Commit();
  EXPECT_EQ(Names(dir_), std::set<std::string>{"doc.rtf"});
}

TEST_F(TemporaryFileTest, LeftoversAreTheFilesOfWritersThatAreGone) {
  const std::uint32_t self = static_cast<std::uint32_t>(getpid());
  const std::uint32_t dead = static_cast<std::uint32_t>(DeadProcessId());
  const std::uint32_t tag = CQ_TemporaryFile::sn_ProcessTag();
  ASSERT_NE(tag, 0u) << "this system does not tell process start times";
  const struct {
    std::string name;
    bool leftover;
  } rows[] = {
      {CQ_TemporaryFile::scs_TemporaryName("doc.rtf", self, tag, 3), false},     // this live writer
      {CQ_TemporaryFile::scs_TemporaryName("doc.rtf", self, tag + 1, 3), true},  // an earlier process with this id
      {CQ_TemporaryFile::scs_TemporaryName("doc.rtf", dead, tag, 3), true},      // its process has ended
      {CQ_TemporaryFile::scs_TemporaryName("doc.rtf", 0, 0, 3), false},          // no process id: not ours
      {".doc.rtf." + std::to_string(dead) + ".0.tmp", true},                     // the earlier form, process gone
      {".doc.rtf." + std::to_string(self) + ".12.tmp", false},                   // the earlier form, process alive
      {".doc.rtf.12x.0.tmp", false},
      {"doc.rtf." + std::to_string(dead) + ".0.tmp", false},  // not hidden: not ours
      {".~0000000g-00000001-00000001-00000001-00000001.tmp", false},  // not hexadecimal
  };
  for (const auto& row : rows) EXPECT_EQ(CQ_TemporaryFile::sb_IsLeftover(row.name), row.leftover) << row.name;

  // A writer that has ended but was not yet reaped by its parent.
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t zombie = fork();
  if (zombie == 0) {
    const std::uint32_t own = CQ_TemporaryFile::sn_ProcessTag();
    if (write(channel[1], &own, sizeof own) != sizeof own) _exit(1);
    _exit(0);
  }
  std::uint32_t zombieTag = 0;
  ASSERT_EQ(read(channel[0], &zombieTag, sizeof zombieTag), static_cast<ssize_t>(sizeof zombieTag));
  const std::string zombieName =
      CQ_TemporaryFile::scs_TemporaryName("doc.rtf", static_cast<std::uint32_t>(zombie), zombieTag, 0);
  bool ended = false;
  for (int wait = 0; wait < 500 && !ended; ++wait) {
    ended = CQ_TemporaryFile::sb_IsLeftover(zombieName);
    if (!ended) usleep(2000);
  }
  EXPECT_TRUE(ended) << "a zombie's file counts as left over";
  int status = 0;
  waitpid(zombie, &status, 0);
  close(channel[0]);
  close(channel[1]);

  // A dead writer's name as another machine sharing the folder would
  // write it: only that machine can tell, so it stays.
  std::string foreign = CQ_TemporaryFile::scs_TemporaryName("doc.rtf", dead, tag, 3);
  foreign[11] = foreign[11] == 'f' ? '0' : 'f';
  EXPECT_FALSE(CQ_TemporaryFile::sb_IsLeftover(foreign)) << foreign;
}

TEST_F(TemporaryFileTest, AKilledWritersFileIsSweptByTheNextProcessOnly) {
  // A child writes and dies without running any destructor, as after
  // SIGKILL.
  const pid_t child = fork();
  if (child == 0) {
    CQ_TemporaryFile* file = new CQ_TemporaryFile(dir_ + "doc.rtf");
    file->v_Write("partial", 7);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(Names(dir_).size(), 1u);
  const std::string leftover = *Names(dir_).begin();

  // A live writer's file in the same folder stays.
  CQ_TemporaryFile live(dir_ + "other.rtf");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{live.rcs_GetTemporaryName()}));  // the sweep ran
  EXPECT_EQ(CQ_TemporaryFile::sn_SweepFolderOnce(dir_), 0u);                      // once per process
  // Another process sees this one's file as a live writer's.
  const pid_t other = fork();
  if (other == 0) _exit(CQ_TemporaryFile::sb_IsLeftover(live.rcs_GetTemporaryName()) ? 1 : 0);
  waitpid(other, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(leftover, live.rcs_GetTemporaryName());
}

}  // namespace
