// The line reader over LF, CR LF and CR-only files, block boundaries and very
// long lines, and the copying reader that writes the ORG file.
#include <gtest/gtest.h>

#include "MIFTestSupport.h"
#include "System/Platform/FileException.h"
#include "kernel/forward/MIFLineReader.h"

namespace {

using mif_test::Exists;
using mif_test::ListFolder;
using mif_test::ReadFile;
using mif_test::WriteFile;

std::vector<std::string> ReadAll(CQ_MIFLineReader& reader, bool trim) {
  std::vector<std::string> lines;
  std::string line;
  while (reader.b_ReadLine(line, trim)) lines.push_back(line);
  return lines;
}

std::vector<std::string> ReadText(const std::string& text, bool trim) {
  CQ_MIFLineReader reader(text.data(), text.size());
  return ReadAll(reader, trim);
}

struct ReaderRow {
  const char* name;
  std::string input;
  bool trim;
  std::vector<std::string> lines;
};

TEST(MIFLineReaderTest, LineEndsAndTrimming) {
  const ReaderRow rows[] = {
      {"LF", "<A\n <B>\n>\n", true, {"<A", "<B>", ">"}},
      {"CR LF", "<A\r\n <B>\r\n>\r\n", true, {"<A", "<B>", ">"}},
      {"CR only", "<A\r <B>\r>\r", true, {"<A", "<B>", ">"}},
      {"mixed", "<A\r\n<B>\r<C>\n", true, {"<A", "<B>", "<C>"}},
      {"no final line end", "<A\n<B>", true, {"<A", "<B>"}},
      {"runs of line ends", "\n\n\r\n<A\r\r\n\n<B>\n\n", true, {"<A", "<B>"}},
      {"blank lines are skipped when trimming", "<A\n \t \n<B>\n", true, {"<A", "<B>"}},
      {"all white space kinds", "\t\v\f <A> \t\v\f\n", true, {"<A>"}},
      {"untrimmed keeps blanks", "  <A> \n \t \n<B>\n", false, {"  <A> ", " \t ", "<B>"}},
      {"empty input", "", true, {}},
      {"only line ends", "\r\n\r\n", true, {}},
      {"NUL bytes stay in the line", std::string("<A\0B>\n", 6), true, {std::string("<A\0B>", 5)}},
  };
  for (const ReaderRow& row : rows) EXPECT_EQ(ReadText(row.input, row.trim), row.lines) << row.name;
}

TEST(MIFLineReaderTest, LinesAcrossBlockBoundaries) {
  // A CR LF pair split by the 4096-byte block boundary gives no empty line,
  // and a line spanning blocks comes out whole.
  const std::size_t block = CQ_MIFLineReader::BLOCK_SIZE;
  for (std::size_t first : {block - 2, block - 1, block, block + 1}) {
    std::string text(first, 'a');
    text += "\r\n";
    text += std::string(block * 2 + 7, 'b');
    text += "\r\nend";
    const std::vector<std::string> lines = ReadText(text, true);
    ASSERT_EQ(lines.size(), 3u) << first;
    EXPECT_EQ(lines[0], std::string(first, 'a'));
    EXPECT_EQ(lines[1], std::string(block * 2 + 7, 'b'));
    EXPECT_EQ(lines[2], "end");
  }
}

TEST(MIFLineReaderTest, MegabyteLineReadWhole) {
  std::string text = "<ImportObject\n&";
  text.append(6 * 1024 * 1024, '7');
  text += "\n> # end of ImportObject\n";
  const std::vector<std::string> lines = ReadText(text, true);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), 6u * 1024 * 1024 + 1);
}

class MIFFileReaderTest : public mif_test::SessionTest {};

TEST_F(MIFFileReaderTest, FileAndMemoryReadAlike) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += (i % 3 == 0 ? "  <Line " : "<Line ") + std::to_string(i) + (i % 2 ? ">\r\n" : ">\r");
  WriteFile(dir_ + "a.mif", text);
  CQ_MIFLineReader file(dir_ + "a.mif");
  const std::vector<std::string> fromFile = ReadAll(file, true);
  EXPECT_EQ(fromFile, ReadText(text, true));
  EXPECT_EQ(fromFile.size(), 3000u);
  EXPECT_EQ(file.n_LinesRead(), 3000u);
}

TEST_F(MIFFileReaderTest, MissingFileRaisesFileException) {
  try {
    CQ_MIFLineReader reader(dir_ + "missing.mif");
    FAIL() << "no exception";
  } catch (const Platform::CQ_FileException& e) {
    EXPECT_EQ(e.m_cause, Platform::CQ_FileException::fileNotFound);
    EXPECT_EQ(e.m_strFileName, dir_ + "missing.mif");
  }
}

TEST_F(MIFFileReaderTest, CopyingReaderWritesTrimmedLinesOnCommit) {
  WriteFile(dir_ + "doc.mif", "  <MIFFile 5.50>\r\n\r\n\t<Para \r> # end of Para\n");
  {
    CQ_MIFCopyingReader reader(dir_ + "doc.mif", dir_ + "doc.org");
    const std::vector<std::string> lines = ReadAll(reader, true);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_FALSE(Exists(dir_ + "doc.org"));  // only after commit
    reader.v_Commit();
  }
  EXPECT_EQ(ReadFile(dir_ + "doc.org"), "<MIFFile 5.50>\n<Para\n> # end of Para\n");
  EXPECT_EQ(ListFolder(dir_), (std::vector<std::string>{"doc.mif", "doc.org"}));
}

TEST_F(MIFFileReaderTest, CopyingReaderWithoutCommitLeavesNothing) {
  WriteFile(dir_ + "doc.mif", "<MIFFile 5.50>\n<Para\n");
  WriteFile(dir_ + "doc.org", "older ORG file\n");
  {
    CQ_MIFCopyingReader reader(dir_ + "doc.mif", dir_ + "doc.org");
    std::string line;
    while (reader.b_ReadLine(line)) {
    }
  }
  EXPECT_EQ(ReadFile(dir_ + "doc.org"), "older ORG file\n");
  EXPECT_EQ(ListFolder(dir_), (std::vector<std::string>{"doc.mif", "doc.org"}));
}

TEST_F(MIFFileReaderTest, CopyingReaderIntoMissingFolderRaises) {
  WriteFile(dir_ + "doc.mif", "<MIFFile 5.50>\n");
  EXPECT_THROW(CQ_MIFCopyingReader(dir_ + "doc.mif", dir_ + "no/such/doc.org"), Platform::CQ_FileException);
}

}  // namespace
