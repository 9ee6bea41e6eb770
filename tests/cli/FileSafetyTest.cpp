// What the morvane program leaves on disk when files cannot be written,
// names collide or are long, a run is killed, or an output would replace
// its own source: never a half-written or foreign file under a final name,
// no temporary files that outlive their writer, every failure reported.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MIFBenchGenerator.h"
#include "support/TestFiles.h"
#include "cli/CliSupport.h"

namespace {

using morvane_test::DeadProcessId;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The names in a folder, sorted.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Names that begin with a dot or end in ".part": temporary files.
std::set<std::string> Hidden(const std::string& folder) {
  std::set<std::string> hidden;
  for (const std::string& name : Names(folder)) {
    if (name[0] == '.' || (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)) hidden.insert(name);
  }
  return hidden;
}

class FileSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("morvane-safety-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    for (const char* sub : {"out", "tr", "a", "b"}) fs::create_directories(dir_ + "/" + sub);
    sample_ = ReadBytes(MORVANE_SAMPLES_DIR "/sample.mif");
    WriteBytes(dir_ + "/sample.mif", sample_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  bool Exists(const std::string& name) const { return fs::exists(dir_ + "/" + name); }
  // The sample with its first paragraph's text changed: another version of
  // the same document.
  std::string Changed(const std::string& text) const {
    std::string changed = sample_;
    const std::size_t at = changed.find("Ready to print.");
    changed.replace(at, 15, text);
    return changed;
  }
  std::string dir_;
  std::string sample_;
};

// --- the ancillary file -------------------------------------------------------------

TEST_F(FileSafety, AncillaryFileThatCannotBeWrittenIsReportedNotFatal) {
  const struct {
    const char* blocked;  // a folder in the way of this copy
    const char* arguments;
  } rows[] = {
      {"out/ancillary.rtf", "convert-mif --org-dir out sample.mif"},
      {"tr/ancillary.rtf", "convert-mif --org-dir out --translated-dir tr sample.mif"},
      {"out/ancillary.txt", "convert-mif --format txt --org-dir out sample.mif"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments);
    fs::remove_all(dir_ + "/out");
    fs::remove_all(dir_ + "/tr");
    fs::create_directories(dir_ + "/out");
    fs::create_directories(dir_ + "/tr");
    fs::create_directories(dir_ + "/" + row.blocked);
    Outcome run = Morvane(row.arguments, dir_);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("Done.\n"), std::string::npos) << run.out;
    // Neither copy is written when one cannot be.
    EXPECT_EQ(run.out.find("Created the ancillary file:"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(dir_ + "/out/ancillary.rtf") && !fs::is_directory(dir_ + "/out/ancillary.rtf"));
    EXPECT_NE(run.out.find("File Error 3100. The file could not be accessed.\nFilename:" + dir_ + "/" +
                           row.blocked + "\nNo ancillary file created.\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(fs::is_directory(dir_ + "/" + row.blocked));
    EXPECT_EQ(Hidden(dir_ + "/out"), std::set<std::string>());
    EXPECT_EQ(Hidden(dir_ + "/tr"), std::set<std::string>());
  }
}

// --- names ------------------------------------------------------------------------------

TEST_F(FileSafety, SameNameFromTwoFoldersIsRefusedBeforeItsOutputsAreWritten) {
  WriteBytes(dir_ + "/a/doc.mif", sample_);
  WriteBytes(dir_ + "/b/doc.mif", Changed("Bereit zum Drucken."));
  Outcome run = Morvane("convert-mif --format txt --org-dir out a/doc.mif b/doc.mif a/doc.mif", dir_);
  EXPECT_EQ(run.status, 1) << run.out;
  const std::string refusal =
      "File Error 3200. Another file of this batch has the same name and would replace its output files.\n"
      "Give the file another name, or convert it in a batch of its own with other output folders.\n\n";
  EXPECT_NE(run.out.find("Converting " + dir_ + "/b/doc.mif\n" + refusal + "Converting " + dir_ + "/a/doc.mif\n" +
                         refusal),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Count(run.out, "Done."), 1u);
  EXPECT_EQ(ReadBytes(dir_ + "/out/doc.txt").find("Bereit"), std::string::npos);
  EXPECT_NE(ReadBytes(dir_ + "/out/doc.txt").find("Ready to print."), std::string::npos);
  EXPECT_EQ(ReadBytes(dir_ + "/out/doc.org").find("Bereit"), std::string::npos);
  EXPECT_EQ(Count(ReadBytes(dir_ + "/out/ancillary.txt"), "<file "), 1u);

  // Back conversion writes each MIF file beside its translated file: the
  // same names in two folders do not collide there.
  ASSERT_EQ(Morvane("convert-mif --format txt --org-dir out --translated-dir a a/doc.mif", dir_).status, 0);
  fs::copy_file(dir_ + "/a/doc.txt", dir_ + "/b/doc.txt");
  fs::remove(dir_ + "/a/doc.mif");
  fs::remove(dir_ + "/b/doc.mif");
  Outcome back = Morvane("convert-kwx --org-dir out a/doc.txt b/doc.txt", dir_);
  EXPECT_EQ(back.status, 0) << back.out;
  EXPECT_TRUE(Exists("a/doc.mif"));
  EXPECT_TRUE(Exists("b/doc.mif"));
}

// A folder path of exactly `length` bytes below the test folder, made of
// components no longer than a file name may be.
std::string DeepFolder(const std::string& base, std::size_t length) {
  std::string folder = base;
  while (folder.size() < length) {
    const std::size_t room = length - folder.size() - 1;  // less the '/'
    std::size_t part = std::min<std::size_t>(room, 200);
    if (room - part > 0 && room - part < 2) part -= 2;  // leave room for a last component
    folder += "/" + std::string(part, 'd');
  }
  fs::create_directories(folder);
  return folder;
}

TEST_F(FileSafety, LongNamesConvertBothWaysWithoutLeftovers) {
  const struct {
    std::string folder;  // where the document and its outputs lie
    std::string file;
  } rows[] = {
      {dir_ + "/a", std::string(251, 'n')},  // name.mif, name.org, name.rtf: 255 bytes each
      {dir_ + "/out", std::string(240, 'm')},  // 244 bytes each
      // A folder so deep that a final path of 4,095 bytes is just possible.
      {DeepFolder(dir_ + "/b", 4095 - 1 - std::string("ancillary.rtf").size()), "doc"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder.size());
    WriteBytes(row.folder + "/" + row.file + ".mif", sample_);
    Outcome run = Morvane("convert-mif '" + row.file + ".mif'", row.folder);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(Names(row.folder),
              (std::set<std::string>{row.file + ".mif", row.file + ".org", row.file + ".rtf", "ancillary.rtf"}));

    fs::remove(row.folder + "/" + row.file + ".mif");
    Outcome back = Morvane("convert-kwx --org-dir . '" + row.file + ".rtf'", row.folder);
    EXPECT_EQ(back.status, 0) << back.out;
    EXPECT_NE(ReadBytes(row.folder + "/" + row.file + ".mif").find("Ready to print."), std::string::npos);
    EXPECT_EQ(Hidden(row.folder), std::set<std::string>());
  }
}

// --- failures and kills -----------------------------------------------------------------

TEST_F(FileSafety, FailedFileKeepsTheOlderOutputsTogether) {
  ASSERT_EQ(Morvane("convert-mif --org-dir out --translated-dir tr sample.mif", dir_).status, 0);
  const std::string org = ReadBytes(dir_ + "/out/sample.org");
  const std::string kwx = ReadBytes(dir_ + "/out/sample.rtf");

  // The second version cannot be written completely: the copy for
  // translation has a folder in its way. Neither its ORG copy nor its
  // source KWX file may replace the first version's.
  WriteBytes(dir_ + "/sample.mif", Changed("Bereit zum Drucken."));
  fs::remove(dir_ + "/tr/sample.rtf");
  fs::create_directories(dir_ + "/tr/sample.rtf");
  Outcome run = Morvane("convert-mif --org-dir out --translated-dir tr sample.mif", dir_);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("File Error 3100. The file could not be accessed.\nFilename:" + dir_ + "/tr/sample.rtf\n"),
            std::string::npos)
      << run.out;
  // (Compared as truth values: the files are too long to print.)
  EXPECT_TRUE(ReadBytes(dir_ + "/out/sample.org") == org);
  EXPECT_TRUE(ReadBytes(dir_ + "/out/sample.rtf") == kwx);
  EXPECT_EQ(Hidden(dir_ + "/out"), std::set<std::string>());

  // A first conversion that fails leaves no ORG copy at all.
  fs::create_directories(dir_ + "/a/sample.rtf");
  Outcome first = Morvane("convert-mif --org-dir a sample.mif", dir_);
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(Names(dir_ + "/a"), std::set<std::string>{"sample.rtf"});
}

TEST_F(FileSafety, TemporaryFilesOfDeadRunsAreRemovedAndLiveOnesKept) {
  const std::string dead = std::to_string(DeadProcessId());
  const std::string alive = std::to_string(getpid());
  const std::vector<std::string> gone = {".sample.rtf." + dead + ".0.tmp", ".sample.rtf." + dead + ".17.tmp",
                                         "sample.org.part"};
  const std::vector<std::string> kept = {".sample.rtf." + alive + ".0.tmp", ".other.rtf.x.tmp", "notes.part"};
  for (const std::string& name : gone) WriteBytes(dir_ + "/out/" + name, "partial");
  for (const std::string& name : kept) WriteBytes(dir_ + "/out/" + name, "partial");
  Outcome run = Morvane("convert-mif --org-dir out sample.mif", dir_);
  EXPECT_EQ(run.status, 0) << run.out;
  for (const std::string& name : gone) EXPECT_FALSE(Exists("out/" + name)) << name;
  for (const std::string& name : kept) EXPECT_TRUE(Exists("out/" + name)) << name;
}

// True while a process of the group has not ended (zombies have).
bool GroupStillRuns(pid_t group) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!std::getline(in, stat) || stat.rfind(')') == std::string::npos) continue;
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string state, parent, processGroup;
    fields >> state >> parent >> processGroup;
    if (processGroup == std::to_string(group) && state != "Z" && state != "X") return true;
  }
  return false;
}

// Starts morvane with the arguments in the folder and kills it, with every
// process it started, by SIGKILL after the delay (or lets it finish when it
// is faster).
void RunAndKill(const std::vector<std::string>& arguments, const std::string& folder, std::chrono::microseconds delay) {
  const pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    if (chdir(folder.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(MORVANE_CLI)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execv(MORVANE_CLI, argv.data());
    _exit(127);
  }
  setpgid(child, child);
  std::this_thread::sleep_for(delay);
  kill(-child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  // The signal reaches the group's other processes asynchronously: wait
  // until none of them runs any more.
  for (int wait = 0; wait < 500 && GroupStillRuns(child); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST_F(FileSafety, KilledRunsLeaveOldOrNewFilesAndTheNextRunCleansUp) {
  bench::GenerateMIF(dir_ + "/big.mif", 16u << 20);
  ASSERT_EQ(Morvane("convert-mif --org-dir out --translated-dir tr big.mif", dir_).status, 0);
  std::map<std::string, std::string> complete;
  for (const char* name : {"out/big.org", "out/big.rtf", "tr/big.rtf", "out/ancillary.rtf"}) {
    complete[name] = ReadBytes(dir_ + "/" + name);
  }
  const std::vector<std::string> arguments = {"convert-mif", "--org-dir", "out", "--translated-dir", "tr", "big.mif"};
  for (int step = 0; step < 12; ++step) {
    SCOPED_TRACE(step);
    for (const auto& [name, bytes] : complete) fs::remove(dir_ + "/" + name);
    RunAndKill(arguments, dir_, std::chrono::milliseconds(30 * step));
    // Whatever the moment, a final name holds a complete file or nothing,
    // and an ORG copy never stands beside a missing source KWX file.
    for (const auto& [name, bytes] : complete) {
      if (Exists(name)) {
        EXPECT_TRUE(ReadBytes(dir_ + "/" + name) == bytes) << name;
      }
    }
    if (Exists("out/big.org")) {
      EXPECT_TRUE(Exists("out/big.rtf") && Exists("tr/big.rtf"));
    }
    // The next run removes what the killed one left.
    ASSERT_EQ(Morvane("convert-mif --org-dir out --translated-dir tr big.mif", dir_).status, 0);
    EXPECT_EQ(Hidden(dir_ + "/out"), std::set<std::string>());
    EXPECT_EQ(Hidden(dir_ + "/tr"), std::set<std::string>());
  }
}

TEST_F(FileSafety, KilledParallelBatchesLeaveOldOrNewFilesAndTheNextRunCleansUp) {
  std::vector<std::string> arguments = {"convert-mif", "--jobs", "3", "--format", "txt", "--org-dir", "out"};
  std::vector<std::string> names;
  for (int k = 0; k < 4; ++k) {
    const std::string name = "doc" + std::to_string(k);
    bench::GenerateMIF(dir_ + "/" + name + ".mif", (2u + k) << 20, 100 + k);
    arguments.push_back(name + ".mif");
    names.push_back(name);
  }
  ASSERT_EQ(Morvane("convert-mif --jobs 1 --format txt --org-dir out doc0.mif doc1.mif doc2.mif doc3.mif", dir_).status,
            0);
  std::map<std::string, std::string> complete;
  for (const auto& entry : fs::directory_iterator(dir_ + "/out")) {
    complete["out/" + entry.path().filename().string()] = ReadBytes(entry.path().string());
  }
  for (int step = 0; step < 8; ++step) {
    SCOPED_TRACE(step);
    for (const auto& [name, bytes] : complete) fs::remove(dir_ + "/" + name);
    RunAndKill(arguments, dir_, std::chrono::milliseconds(40 * step));
    for (const auto& [name, bytes] : complete) {
      if (Exists(name)) {
        EXPECT_TRUE(ReadBytes(dir_ + "/" + name) == bytes) << name;
      }
    }
    // Files take their names in list order: a later document never
    // stands without the earlier ones.
    for (std::size_t k = 1; k < names.size(); ++k) {
      if (Exists("out/" + names[k] + ".txt")) {
        EXPECT_TRUE(Exists("out/" + names[k - 1] + ".txt")) << names[k];
      }
    }
    ASSERT_EQ(Morvane("convert-mif --jobs 3 --format txt --org-dir out doc0.mif doc1.mif doc2.mif doc3.mif", dir_).status,
              0);
    EXPECT_EQ(Hidden(dir_ + "/out"), std::set<std::string>());
  }
}

// --- back conversion over the source -------------------------------------------------------

TEST_F(FileSafety, BackConversionDoesNotReplaceTheSourceMIFUnlessAsked) {
  ASSERT_EQ(Morvane("convert-mif --org-dir . sample.mif", dir_).status, 0);
  Outcome refused = Morvane("convert-kwx --org-dir . sample.rtf", dir_);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("Converting " + dir_ + "/sample.rtf\n"
                             "Conversion Error 3210. The MIF file would replace the source file it was converted from:\n" +
                             dir_ + "/sample.mif\n"
                             "Choose another folder for the translated files, or allow replacing the source file.\n\n"),
            std::string::npos)
      << refused.out;
  EXPECT_TRUE(ReadBytes(dir_ + "/sample.mif") == sample_);
  EXPECT_EQ(Hidden(dir_), std::set<std::string>());

  // The same folder reached through a link is the same folder.
  fs::create_directory_symlink(dir_, dir_ + "/link");
  EXPECT_EQ(Morvane("convert-kwx --org-dir . link/sample.rtf", dir_).status, 1);
  EXPECT_TRUE(ReadBytes(dir_ + "/sample.mif") == sample_);

  Outcome asked = Morvane("convert-kwx --org-dir . --replace-source sample.rtf", dir_);
  EXPECT_EQ(asked.status, 0) << asked.out;
  EXPECT_NE(asked.out.find("Done."), std::string::npos);
  EXPECT_NE(ReadBytes(dir_ + "/sample.mif").find("Ready to print."), std::string::npos);

  // Elsewhere nothing is refused.
  fs::copy_file(dir_ + "/sample.rtf", dir_ + "/tr/sample.rtf");
  EXPECT_EQ(Morvane("convert-kwx --org-dir . tr/sample.rtf", dir_).status, 0);
}

}  // namespace
