#include "ReaderTestSupport.h"
#include "support/TestFiles.h"

#include <iconv.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace reader_test {

std::string Visible(std::string_view s) { return morvane_test::Visible(s); }

std::string Visible(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "[" + Visible(line) + "]\n";
  return out;
}

std::string DataPath(const std::string& name) { return std::string(MORVANE_TEST_DATA_DIR) + "/reader/" + name; }

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "reader-" + std::to_string(::getpid()) + "-" + name;
}

std::string ReadBytes(const std::string& path) {
  EXPECT_TRUE(morvane_test::Exists(path)) << "cannot open " << path;
  return morvane_test::ReadBytes(path);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  (void)morvane_test::WriteBytes(path, bytes);
}

std::string Encode(std::string_view utf8, int codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(name.c_str(), "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in(utf8);
  std::string out(in.size() * 4 + 4, '\0');
  char* ip = in.data();
  std::size_t il = in.size();
  char* op = out.data();
  std::size_t ol = out.size();
  const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<std::size_t>(-1)) << "not encodable in " << name << ": " << utf8;
  out.resize(out.size() - ol);
  return out;
}

std::vector<std::string> ExpectedLines(const std::string& sampleName, int codePage) {
  std::istringstream in(ReadBytes(DataPath("samples/" + sampleName + ".utf8")));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(Encode(line, codePage));
  }
  return lines;
}

::testing::AssertionResult SameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    if (expected[i] != actual[i]) {
      return ::testing::AssertionFailure() << "line " << i + 1 << " differs:\n  expected [" << Visible(expected[i])
                                           << "]\n  actual   [" << Visible(actual[i]) << "]";
    }
  }
  if (expected.size() != actual.size()) {
    return ::testing::AssertionFailure() << expected.size() << " lines expected, " << actual.size() << " read:\n"
                                         << Visible(actual);
  }
  return ::testing::AssertionSuccess();
}

}  // namespace reader_test
