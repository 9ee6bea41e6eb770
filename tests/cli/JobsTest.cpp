// A batch run with --jobs 4 gives what --jobs 1 gives, byte for byte:
// results lines, exit status, ancillary file and every output file, for
// forward conversion, verification and back conversion of the corpus
// documents in range, mixed with files that fail, are refused or repeat a
// name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "support/TestFiles.h"

namespace {

using morvane_test::DeadProcessId;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;

namespace fs = std::filesystem;

// The corpus documents of MIF 4.0, 5.0 and 5.5, from the manifest.
std::vector<std::string> CorpusInRange() {
  std::vector<std::string> names;
  std::ifstream manifest(MORVANE_CORPUS_DIR "/MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // the heading
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string file, version;
    std::getline(fields, file, '\t');
    std::getline(fields, version, '\t');
    if (version == "4.00" || version == "5.00" || version == "5.50") names.push_back(file);
  }
  return names;
}

// Every file below the folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path().string());
  }
  return files;
}

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override {
    documents_ = CorpusInRange();
    if (documents_.empty()) GTEST_SKIP() << "no corpus at " MORVANE_CORPUS_DIR;
    dir_ = fs::temp_directory_path() / ("morvane-jobs-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ + "/src/again");
    for (const std::string& name : documents_) {
      fs::copy_file(MORVANE_CORPUS_DIR "/" + name, dir_ + "/src/" + name);
      fs::permissions(dir_ + "/src/" + name, fs::perms::owner_write, fs::perm_options::add);
    }
    WriteBytes(dir_ + "/src/broken.mif", "<MIFFile 5.50>\n<PgfCatalog\n");
    WriteBytes(dir_ + "/src/notes.txt", "not a MIF file\n");
    fs::copy_file(dir_ + "/src/" + documents_.front(), dir_ + "/src/again/" + documents_.front());
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Runs the command with --jobs N after resetting the output folders,
  // and returns what it printed, its status and the files of `folders`.
  struct Run {
    Outcome outcome;
    std::map<std::string, std::string> files;
  };
  Run RunWith(int jobs, const std::string& command, const std::vector<std::string>& clear,
              const std::vector<std::string>& folders) {
    for (const std::string& pattern : clear) {
      for (const auto& entry : fs::directory_iterator(dir_ + "/" + pattern.substr(0, pattern.find('/')))) {
        const std::string ext = pattern.substr(pattern.find('*') + 1);
        const std::string name = entry.path().filename().string();
        if (name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) {
          fs::remove_all(entry.path());
        }
      }
    }
    Run run{Morvane(command + " --jobs " + std::to_string(jobs), dir_), {}};
    for (const std::string& folder : folders) {
      for (auto& [name, bytes] : Snapshot(dir_ + "/" + folder)) run.files[folder + "/" + name] = std::move(bytes);
    }
    return run;
  }
  // The same command with one job and with four gives the same.
  void ExpectSame(const std::string& command, const std::vector<std::string>& clear,
                  const std::vector<std::string>& folders, int expectedStatus) {
    SCOPED_TRACE(command);
    const Run serial = RunWith(1, command, clear, folders);
    const Run parallel = RunWith(4, command, clear, folders);
    EXPECT_EQ(serial.outcome.status, expectedStatus) << serial.outcome.out;
    EXPECT_EQ(parallel.outcome.status, serial.outcome.status);
    EXPECT_EQ(parallel.outcome.out, serial.outcome.out);
    EXPECT_EQ(parallel.outcome.err, serial.outcome.err);
    ASSERT_EQ(parallel.files.size(), serial.files.size());
    for (const auto& [name, bytes] : serial.files) {
      auto it = parallel.files.find(name);
      ASSERT_NE(it, parallel.files.end()) << name;
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
  }

  std::vector<std::string> documents_;
  std::string dir_;
};

TEST_F(Jobs, ForwardVerificationAndBackConversionGiveTheSerialResults) {
  fs::create_directories(dir_ + "/org");
  fs::create_directories(dir_ + "/tr");
  std::string sources;
  for (const std::string& name : documents_) sources += " src/" + name;
  sources += " src/notes.txt src/broken.mif src/again/" + documents_.front();

  const std::string forward = "convert-mif --org-dir org --translated-dir tr" + sources;
  ExpectSame(forward, {"org/*", "tr/*"}, {"org", "tr"}, 1);
  ASSERT_EQ(Morvane(forward, dir_).status, 1);

  // Translated files, one with damaged tags, and one that is no KWX file.
  std::string translated;
  for (const auto& entry : fs::directory_iterator(dir_ + "/tr")) {
    const std::string name = entry.path().filename().string();
    if (name != "ancillary.rtf") translated += " tr/" + name;
  }
  ASSERT_FALSE(translated.empty());
  const std::string damaged = dir_ + "/" + translated.substr(translated.rfind(' ') + 1);
  std::string text = ReadBytes(damaged);
  const std::size_t tag = text.find("<ps ");
  ASSERT_NE(tag, std::string::npos);
  WriteBytes(damaged, text.erase(tag, 4));
  WriteBytes(dir_ + "/tr/stray.rtf", "{\\rtf1 nothing}");
  translated += " tr/stray.rtf";

  ExpectSame("verify --org-dir org" + translated, {"tr/*.cmp"}, {"tr"}, 1);
  ExpectSame("convert-kwx --org-dir org" + translated, {"tr/*.mif", "tr/*.cmp"}, {"tr"}, 1);
  // Without an ancillary file every file says so, and the batch once more.
  ExpectSame("convert-kwx --org-dir org --ancillary none.rtf" + translated, {"tr/*.mif", "tr/*.cmp"}, {"tr"}, 1);
}

TEST(JobsOption, TakesAWholeNumber) {
  for (const char* bad : {"0", "-1", "x", "2000", ""}) {
    Outcome run = Morvane(std::string("convert-mif --jobs '") + bad + "' x.mif");
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.err.find("--jobs takes a whole number from 1 to 1024"), std::string::npos) << run.err;
  }
}

}  // namespace
