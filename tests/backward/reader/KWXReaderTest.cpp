// The text reader's line ends, the choice of reader by extension, the
// header validations of back conversion and of the verifier with every
// failure code, and the version rules.
#include <gtest/gtest.h>

#include <cstdio>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"
#include "System/Platform/FileException.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/ResultCodes.h"

namespace {

using namespace reader_test;

std::vector<std::string> TextLines(std::string_view bytes) {
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadTextBytes(bytes, [&lines](std::string&& line) { lines.push_back(std::move(line)); });
  return lines;
}

struct LineCase {
  const char* what;
  std::string bytes;
  std::vector<std::string> lines;
};

// Names the row in test output.
void PrintTo(const LineCase& s, std::ostream* os) { *os << s.what; }

class TextLineEnds : public ::testing::TestWithParam<LineCase> {};

TEST_P(TextLineEnds, SplitAsExpected) {
  EXPECT_TRUE(SameLines(GetParam().lines, TextLines(GetParam().bytes))) << Visible(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextLineEnds,
    ::testing::Values(LineCase{"LF", "a\nb\n", {"a", "b"}}, LineCase{"CR LF", "a\r\nb\r\n", {"a", "b"}},
                      LineCase{"CR", "a\rb\r", {"a", "b"}},
                      LineCase{"blank lines and mixed ends", "\r\n\na\r\n\r\n\n\rb\n\r", {"a", "b"}},
                      LineCase{"last line without an end", "a\nb", {"a", "b"}},
                      LineCase{"blanks are kept", "  a \t\n \n", {"  a \t", " "}},
                      LineCase{"nothing", "", {}}, LineCase{"only line ends", "\r\n\r\n", {}},
                      LineCase{"bytes of any value", std::string("\x82\xa0\0x\n", 5), {std::string("\x82\xa0\0x", 4)}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return "row" + std::to_string(info.index); });

TEST(TextReader, LinesLongerThanABlockAndEndsOnABlockBoundary) {
  // Lines cross the 4096-byte blocks, and a CR LF pair is split by one.
  const std::string a(4095, 'a');
  const std::string b(9000, 'b');
  const std::string file = a + "\r\n" + b + "\n\n" + "c";
  const std::string path = TempPath("text-reader.txt");
  WriteBytes(path, file);
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadTextFile(path, [&lines](std::string&& line) { lines.push_back(std::move(line)); });
  std::remove(path.c_str());
  EXPECT_EQ(lines, (std::vector<std::string>{a, b, "c"}));
}

TEST(TextReader, CRLFFileWithBlankLinesEqualsLFFile) {
  EXPECT_EQ(TextLines("<kwx \"F3.00\">\r\n\r\n<sourcecharset \"Normal\">\r\n"),
            TextLines("<kwx \"F3.00\">\n<sourcecharset \"Normal\">\n"));
}

// A text file read for its KWX lines gives the lines the block reader cuts
// from the same bytes, appended after the lines the list held: drawn texts
// of tags, text, blanks and every kind of line end, and lines longer than
// a block; held as one text, the same lines each followed by a line feed
// (the text they were held in before goes). A file without a line is a
// missing header line.
TEST(KWXReader, TextFileGivesTheBlockReadersLines) {
  const std::vector<std::string> pieces = {"a", "<ps \"B\" 1>", "\r", "\n", "\r\n", " ", "\x82\xa0", "<:t>",
                                           std::string(5000, 'x')};
  std::mt19937 draw(9122026);
  const std::string path = TempPath("drawn-kwx.txt");
  int read = 0;
  for (int round = 0; round < 400; ++round) {
    std::string bytes;
    const std::size_t count = draw() % 16;
    // Lines longer than a block in one round of ten.
    const std::size_t choices = round % 10 == 0 ? pieces.size() : pieces.size() - 1;
    for (std::size_t k = 0; k < count; ++k) bytes += pieces[draw() % choices];
    WriteBytes(path, bytes);
    std::vector<std::string> expected = {"held before"};
    const std::vector<std::string> cut = TextLines(bytes);
    expected.insert(expected.end(), cut.begin(), cut.end());
    std::vector<std::string> lines = {"held before"};
    int code = Result::OK;
    try {
      CQ_KWXReader::sv_ReadKWXLines(path, ".txt", lines, 1252);
    } catch (int c) {
      code = c;
    }
    // Held as one text: the same lines, each followed by a line feed.
    KWX::CQ_KWXText held({"held before"});
    int heldCode = Result::OK;
    try {
      CQ_KWXReader::sv_ReadKWXText(path, ".txt", held, 1252);
    } catch (int c) {
      heldCode = c;
    }
    if (cut.empty()) {
      EXPECT_EQ(code, CQ_KWXReader::KWX_MISSING_HEADER_LINE) << Visible(bytes);
      EXPECT_EQ(heldCode, CQ_KWXReader::KWX_MISSING_HEADER_LINE) << Visible(bytes);
    } else {
      EXPECT_EQ(code, Result::OK) << Visible(bytes);
      EXPECT_TRUE(SameLines(expected, lines)) << Visible(bytes);
      ASSERT_EQ(heldCode, Result::OK) << Visible(bytes);
      std::vector<std::string> heldLines;
      std::string joined;
      for (std::size_t k = 0; k < held.size(); ++k) {
        heldLines.emplace_back(held[k]);
        joined += std::string(held[k]) + "\n";
      }
      EXPECT_TRUE(SameLines(cut, heldLines)) << Visible(bytes);
      EXPECT_EQ(held.sv(), joined) << Visible(bytes);
      ++read;
    }
  }
  std::remove(path.c_str());
  EXPECT_GT(read, 300);
}

TEST(KWXReader, ExtensionChoosesTheReaderWithoutRegardToCase) {
  std::vector<std::string> rtf, rtfUpper, asText;
  CQ_KWXReader::sv_ReadKWXLines(DataPath("sample-1252.rtf"), ".rtf", rtf, 1252);
  CQ_KWXReader::sv_ReadKWXLines(DataPath("sample-1252.rtf"), ".RtF", rtfUpper, 1252);
  CQ_KWXReader::sv_ReadKWXLines(DataPath("sample-1252.rtf"), ".txt", asText, 1252);
  EXPECT_EQ(rtf, rtfUpper);
  EXPECT_EQ(rtf[0], "<kwx \"F3.00\">");
  EXPECT_EQ(asText[0], "{\\rtf1\\ansi\\ansicpg1252 \\deff3\\deflang1024 ");
}

TEST(KWXReader, AnEmptyResultIsAMissingHeaderLine) {
  const std::string path = TempPath("empty-kwx.txt");
  WriteBytes(path, "\r\n\r\n");
  std::vector<std::string> lines;
  int code = Result::OK;
  try {
    CQ_KWXReader::sv_ReadKWXLines(path, ".txt", lines, 1252);
  } catch (int c) {
    code = c;
  }
  std::remove(path.c_str());
  EXPECT_EQ(code, CQ_KWXReader::KWX_MISSING_HEADER_LINE);
}

TEST(KWXReader, AFileOfOneHugeLineEndsWithAMissingHeaderLine) {
  // A whole document that lost its line ends: one line of many megabytes.
  std::string line = "<kwx \"F3.00\"><sourcecharset \"Normal\">";
  while (line.size() < 8u * 1024 * 1024) line += "<ps \"Body\" 1>Text with <:b>tags<:/b>.";
  const std::string path = TempPath("one-line.txt");
  WriteBytes(path, line);
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadKWXLines(path, ".txt", lines, 1252);
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), line.size());
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  st_KWXHeader header;
  int code = Result::OK;
  try {
    CQ_KWXReader::sv_ValidateConversionHeader(lines, session, header);
  } catch (int c) {
    code = c;
  }
  EXPECT_EQ(code, CQ_KWXReader::KWX_MISSING_HEADER_LINE);
}

TEST(KWXReader, RTFCodesPassThrough) {
  const std::string path = TempPath("empty.rtf");
  WriteBytes(path, "");
  std::vector<std::string> lines;
  int code = Result::OK;
  try {
    CQ_KWXReader::sv_ReadKWXLines(path, ".rtf", lines, 1252);
  } catch (int c) {
    code = c;
  }
  std::remove(path.c_str());
  EXPECT_EQ(code, CQ_RTFReader::RTF_EMPTY_FILE);
  EXPECT_THROW(CQ_KWXReader::sv_ReadKWXLines(DataPath("sample-1252.txt"), ".rtf", lines, 1252), int);
  EXPECT_THROW(CQ_KWXReader::sv_ReadKWXLines(DataPath("missing.txt"), ".txt", lines, 1252),
               Platform::CQ_FileException);
}

// --- header validation -----------------------------------------------------------

const std::vector<std::string> kGood = {
    "<kwx \"F3.00\">",          "<sourcecharset \"Normal\">", "<sourcelanguage \"German\">",
    "<sourcehyphenation \"Turn Off\">", "<sourcequotes \"As Text\">", "<sourcepath \"C:\\a\\b.mif\">",
    "<page \"1\">"};

std::vector<std::string> With(std::size_t index, const std::string& line) {
  std::vector<std::string> lines = kGood;
  lines[index] = line;
  return lines;
}

std::vector<std::string> FirstLines(std::size_t count) { return {kGood.begin(), kGood.begin() + count}; }

enum class Mode { Conversion, VerifierFirst, VerifierAncillary };

struct HeaderCase {
  const char* what;
  std::vector<std::string> lines;
  Mode mode;
  int code;  // 0: accepted
};

// Names the row in test output.
void PrintTo(const HeaderCase& s, std::ostream* os) { *os << s.what; }

std::vector<HeaderCase> HeaderCases() {
  using R = CQ_KWXReader;
  const Mode C = Mode::Conversion, V = Mode::VerifierFirst, A = Mode::VerifierAncillary;
  return {
      {"a written header", kGood, C, 0},
      {"the same in the verifier", kGood, V, 0},
      {"trailing text on header lines", {"<kwx \"F3.00\">x", "<sourcecharset \"Symbol\"> y",
                                         "<sourcelanguage \"German\">", "<sourcehyphenation \"Leave As Is\">z",
                                         "<sourcequotes \"As Tags\">!", "<sourcepath \"", "</kwx>"}, C, 0},
      {"no lines at all", {}, C, R::KWX_MISSING_HEADER_LINE},
      {"F3.01 in back conversion", With(0, "<kwx \"F3.01\">"), C, R::KWX_MORE_RECENT},
      {"F3.01 in the verifier", With(0, "<kwx \"F3.01\">"), V, 0},
      {"F3.02 in the verifier", With(0, "<kwx \"F3.02\">"), V, R::KWX_MORE_RECENT},
      {"F2.00", With(0, "<kwx \"F2.00\">"), C, R::KWX_PREVIOUS},
      {"tf", With(0, "<tf>"), V, R::KWX_PREVIOUS},
      {"I3.00", With(0, "<kwx \"I3.00\">"), C, R::KWX_INTERLEAF},
      {"tfi in the verifier", With(0, "<tfi>"), V, R::KWX_INTERLEAF},
      {"tfi in back conversion", With(0, "<tfi>"), C, R::KWX_NOT_KWX},
      {"plain text", With(0, "Hello"), C, R::KWX_NOT_KWX},
      {"lower-case tag", With(0, "<KWX \"F3.00\">"), C, R::KWX_NOT_KWX},
      {"character set other", With(1, "<sourcecharset \"Other\">"), C, R::KWX_BAD_CHARSET},
      {"character set case", With(1, "<sourcecharset \"normal\">"), V, R::KWX_BAD_CHARSET},
      {"language tag missing", With(2, "<sourcehyphenation \"Turn Off\">"), C, R::KWX_BAD_LANGUAGE_LINE},
      {"language line too short", With(2, "<sourcelanguage \""), C, R::KWX_BAD_LANGUAGE_LINE},
      {"empty language name", With(2, "<sourcelanguage \"\">"), C, R::KWX_UNKNOWN_LANGUAGE},
      {"unknown language", With(2, "<sourcelanguage \"Klingon\">"), C, R::KWX_UNKNOWN_LANGUAGE},
      {"language case", With(2, "<sourcelanguage \"german\">"), V, R::KWX_UNKNOWN_LANGUAGE},
      {"closing quote missing loses two characters", With(2, "<sourcelanguage \"Germanxx"), C, 0},
      {"hyphenation other", With(3, "<sourcehyphenation \"On\">"), C, R::KWX_BAD_HYPHENATION},
      {"quotes other", With(4, "<sourcequotes \"Smart\">"), C, R::KWX_BAD_QUOTES},
      {"source path missing", With(5, "<page \"1\">"), C, R::KWX_BAD_SOURCE_PATH},
      {"source path of a document in the verifier", With(5, "<file \"C:\\a.mif\">"), V, R::KWX_BAD_SOURCE_PATH},
      {"ancillary file without source path", With(5, "<file \"C:\\a.mif\">"), A, 0},
      {"ancillary file of five lines", FirstLines(5), A, 0},
      {"ancillary file of four lines", FirstLines(4), A, R::KWX_MISSING_HEADER_LINE},
      {"one line", FirstLines(1), C, R::KWX_MISSING_HEADER_LINE},
      {"two lines", FirstLines(2), C, R::KWX_MISSING_HEADER_LINE},
      {"three lines", FirstLines(3), V, R::KWX_MISSING_HEADER_LINE},
      {"four lines", FirstLines(4), C, R::KWX_MISSING_HEADER_LINE},
      {"ending after the quotes line", FirstLines(5), C, R::KWX_MISSING_HEADER_LINE},
      {"a bad line before a missing one", {"<kwx \"F3.00\">", "x"}, C, R::KWX_BAD_CHARSET},
  };
}

class HeaderValidation : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderValidation, GivesItsCode) {
  const HeaderCase& c = GetParam();
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  st_KWXHeader header;
  int code = Result::OK;
  try {
    if (c.mode == Mode::Conversion) {
      CQ_KWXReader::sv_ValidateConversionHeader(c.lines, session, header);
    } else {
      const std::string name = c.mode == Mode::VerifierAncillary ? "/t/Ancillary.RTF" : "/t/chapter.rtf";
      CQ_KWXReader::sv_ValidateVerifierHeader(c.lines, session, name, true, header);
    }
  } catch (int raised) {
    code = raised;
  }
  EXPECT_EQ(code, c.code) << c.what << "\n" << Visible(c.lines);
}

INSTANTIATE_TEST_SUITE_P(Table, HeaderValidation, ::testing::ValuesIn(HeaderCases()),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) {
                           return "row" + std::to_string(info.index);
                         });

TEST(HeaderValidation, StoresTheSettingsAndWritesTheSession) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  session.v_SetSmartQuotes(0);
  st_KWXHeader header;
  const std::vector<std::string> lines = {"<kwx \"F3.00\">", "<sourcecharset \"Symbol\">",
                                          "<sourcelanguage \"Japanese\">", "<sourcehyphenation \"Leave As Is\">",
                                          "<sourcequotes \"As Tags\">", "<sourcepath \"D:\\x.mif\">"};
  CQ_KWXReader::sv_ValidateConversionHeader(lines, session, header);
  EXPECT_EQ(header.i_Version, 2);
  EXPECT_TRUE(header.b_SymbolCharacterSet);
  EXPECT_EQ(header.cs_SourceLanguage, "Japanese");
  EXPECT_EQ(header.i_SourceHyphenation, 1);
  EXPECT_TRUE(header.b_QuotesAsTags);
  EXPECT_EQ(header.cs_SourcePathLine, "<sourcepath \"D:\\x.mif\">");
  EXPECT_EQ(session.et_GetKWXVersion(), KWX_VERSION_F300);
  EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "Japanese");
  EXPECT_EQ(session.i_GetSourceCodePage(), 932);
  EXPECT_EQ(session.i_GetSmartQuotes(), 1);

  // "As Text" clears the quotes setting again.
  std::vector<std::string> asText = kGood;
  CQ_KWXReader::sv_ValidateConversionHeader(asText, session, header);
  EXPECT_EQ(session.i_GetSmartQuotes(), 0);
  EXPECT_FALSE(header.b_SymbolCharacterSet);
  EXPECT_EQ(header.cs_SourceLanguage, "German");
  EXPECT_EQ(session.i_GetSourceCodePage(), 1252);
}

TEST(HeaderValidation, LanguageNameLosesTheLastTwoCharactersUnchecked) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  st_KWXHeader header;
  CQ_KWXReader::sv_ValidateConversionHeader(With(2, "<sourcelanguage \"Frenchxx"), session, header);
  EXPECT_EQ(header.cs_SourceLanguage, "French");
}

TEST(HeaderValidation, AnUnknownLanguageLeavesThePreviousOne) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  session.v_SetSourceLanguage("Czech");
  st_KWXHeader header;
  EXPECT_THROW(CQ_KWXReader::sv_ValidateConversionHeader(With(2, "<sourcelanguage \"Klingon\">"), session, header),
               int);
  EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "Czech");
  EXPECT_EQ(session.i_GetSourceCodePage(), 1250);
}

struct PairCase {
  const char* source;
  const char* target;
  int code;  // of the target; the source is always accepted
  int version;
};

// Names the row in test output.
void PrintTo(const PairCase& s, std::ostream* os) { *os << s.target; }

class VerifierPair : public ::testing::TestWithParam<PairCase> {};

TEST_P(VerifierPair, SecondFileMustHaveTheFirstsVersion) {
  const PairCase& c = GetParam();
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  st_KWXHeader source, target;
  CQ_KWXReader::sv_ValidateVerifierHeader(With(0, c.source), session, "/o/a.txt", true, source);
  EXPECT_EQ(static_cast<int>(session.et_GetKWXVersion()), c.version);
  int code = Result::OK;
  try {
    CQ_KWXReader::sv_ValidateVerifierHeader(With(0, c.target), session, "/t/a.txt", false, target);
  } catch (int raised) {
    code = raised;
  }
  EXPECT_EQ(code, c.code) << c.source << " / " << c.target;
}

INSTANTIATE_TEST_SUITE_P(
    Table, VerifierPair,
    ::testing::Values(PairCase{"<kwx \"F3.00\">", "<kwx \"F3.00\">", 0, 2},
                      PairCase{"<kwx \"F3.01\">", "<kwx \"F3.01\">", 0, 3},
                      PairCase{"<kwx \"F3.00\">", "<kwx \"F3.01\">", CQ_KWXReader::KWX_VERSION_MISMATCH, 2},
                      PairCase{"<kwx \"F3.01\">", "<kwx \"F3.00\">", CQ_KWXReader::KWX_VERSION_MISMATCH, 3},
                      PairCase{"<kwx \"F3.00\">", "<kwx \"F2.00\">", CQ_KWXReader::KWX_PREVIOUS, 2}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return "row" + std::to_string(info.index); });

struct VersionCase {
  const char* line;
  bool verifier;
  int code;
};

// Names the row in test output.
void PrintTo(const VersionCase& s, std::ostream* os) { *os << s.line; }

class VersionRules : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionRules, InOrder) {
  EXPECT_EQ(CQ_KWXReader::si_VersionRuleCode(GetParam().line, GetParam().verifier), GetParam().code)
      << GetParam().line << (GetParam().verifier ? " (verifier)" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionRules,
    ::testing::Values(VersionCase{"<kwx \"F2.00\">", false, CQ_KWXReader::KWX_PREVIOUS},
                      VersionCase{"<kwx \"F2", true, CQ_KWXReader::KWX_PREVIOUS},
                      VersionCase{"<tf>", false, CQ_KWXReader::KWX_PREVIOUS},
                      VersionCase{"<tf> ", false, CQ_KWXReader::KWX_NOT_KWX},
                      VersionCase{"<kwx \"F3.01\">", false, CQ_KWXReader::KWX_MORE_RECENT},
                      VersionCase{"<kwx \"F4.00\">", true, CQ_KWXReader::KWX_MORE_RECENT},
                      VersionCase{"<kwx \"F", false, CQ_KWXReader::KWX_MORE_RECENT},
                      VersionCase{"<kwx \"I3.00\">", false, CQ_KWXReader::KWX_INTERLEAF},
                      VersionCase{"<kwx \"I2.00\">", true, CQ_KWXReader::KWX_INTERLEAF},
                      VersionCase{"<tfi>", true, CQ_KWXReader::KWX_INTERLEAF},
                      VersionCase{"<tfi>", false, CQ_KWXReader::KWX_NOT_KWX},
                      VersionCase{"<kwx F3.00>", false, CQ_KWXReader::KWX_NOT_KWX},
                      VersionCase{"", true, CQ_KWXReader::KWX_NOT_KWX}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return "row" + std::to_string(info.index); });

TEST(KWXReader, AncillaryFileNames) {
  EXPECT_TRUE(CQ_KWXReader::sb_IsAncillaryFileName("C:/t/Ancillary.RTF"));
  EXPECT_TRUE(CQ_KWXReader::sb_IsAncillaryFileName("ancillary.txt"));
  EXPECT_TRUE(CQ_KWXReader::sb_IsAncillaryFileName("/t/myancillary.txt"));
  EXPECT_FALSE(CQ_KWXReader::sb_IsAncillaryFileName("/t/ancillary.doc"));
  EXPECT_FALSE(CQ_KWXReader::sb_IsAncillaryFileName("/t/ancillary.txt.bak"));
  EXPECT_FALSE(CQ_KWXReader::sb_IsAncillaryFileName("ncillary.rtf"));
}

}  // namespace
