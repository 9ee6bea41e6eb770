// Helpers shared by the reader's tests: readable byte dumps, fixture paths
// and an independent code-page encoder (glibc's iconv) for expected lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace reader_test {

// Bytes outside printable ASCII as \xNN, so failure messages stay readable.
std::string Visible(std::string_view s);
std::string Visible(const std::vector<std::string>& lines);

// A file of the reader's fixture folder.
std::string DataPath(const std::string& name);

// A file name in the test's temporary folder, unique to this process.
std::string TempPath(const std::string& name);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);

// UTF-8 text in a Windows code page, through iconv; fails the test when a
// character has no bytes there.
std::string Encode(std::string_view utf8, int codePage);

// The expected lines of a UTF-8 sample: its non-empty lines in codePage.
std::vector<std::string> ExpectedLines(const std::string& sampleName, int codePage);

// Element-wise comparison with the first differing line shown.
::testing::AssertionResult SameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

}  // namespace reader_test
