// Whole-file reading: files of every size class come back byte for byte,
// a source of unknown size (a pipe) is read to its end, and a missing file
// or a folder raises the file exception.
#include "System/Platform/WholeFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "System/Platform/FileException.h"

namespace {

namespace fs = std::filesystem;
using Platform::CQ_WholeFile;

std::string Folder(const char* name) {
  const fs::path dir = fs::temp_directory_path() / ("morvane-wholefile-" + std::to_string(getpid()) + "-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string() + "/";
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(WholeFileTest, FilesOfEverySizeComeBackByteForByte) {
  const std::string dir = Folder("sizes");
  // Empty, one byte, around the growth block and the large-block size.
  for (const std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(65535), std::size_t(65536),
                                 std::size_t(65537), Platform::LARGE_BLOCK - 1, Platform::LARGE_BLOCK,
                                 3 * Platform::LARGE_BLOCK + 17}) {
    const std::string path = dir + "f" + std::to_string(size);
    const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    morvane_test::WriteBytes(path, bytes);
    const CQ_WholeFile file(path);
    ASSERT_EQ(file.size(), size);
    EXPECT_TRUE(file.sv() == bytes) << size;
  }
  fs::remove_all(dir);
}

TEST(WholeFileTest, ASourceOfUnknownSizeIsReadToItsEnd) {
  // A pipe tells no size: the reader starts small and grows.
  const std::string dir = Folder("fifo");
  const std::string path = dir + "pipe";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const std::string bytes = RandomBytes(300000, 7);
  std::thread writer([&] { morvane_test::WriteBytes(path, bytes); });
  const CQ_WholeFile file(path);
  writer.join();
  EXPECT_EQ(file.size(), bytes.size());
  EXPECT_TRUE(file.sv() == bytes);
  fs::remove_all(dir);
}

TEST(WholeFileTest, AMissingFileOrAFolderRaisesTheFileException) {
  const std::string dir = Folder("errors");
  EXPECT_THROW(CQ_WholeFile(dir + "missing.mif"), Platform::CQ_FileException);
  EXPECT_THROW(CQ_WholeFile(dir.substr(0, dir.size() - 1)), Platform::CQ_FileException);
  fs::remove_all(dir);
}

}  // namespace
