// Double-byte characters whose second byte is 0x5C (the backslash), in
// code pages 932, 936, 949 and 950: back conversion's escaping and forward
// conversion's reading agree byte for byte in both character sets; the
// RTF form keeps them whether written by this system ("\'hh") or by a word
// processor ("\uN"); and a translation into each of the four languages,
// in the text and the RTF form, comes back with every character in place.
// Every character with that second byte is found through iconv, so the
// rows do not depend on a hand-made list.
#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BackTestSupport.h"
#include "kernel/backward/MIFEscaping.h"
#include "kernel/backward/RTFReader.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/KernelStrings.h"

namespace {

using namespace back_test;

// The Unicode character of bytes in a code page, or 0 when they are none.
char32_t Decode(const std::string& bytes, int codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-32LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  std::string in = bytes;
  char* ip = in.data();
  std::size_t il = in.size();
  char out[8];
  char* op = out;
  std::size_t ol = sizeof out;
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0 && op - out == 4;
  iconv_close(cd);
  if (!ok) return 0;
  return static_cast<char32_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8 |
                               static_cast<unsigned char>(out[2]) << 16 | static_cast<unsigned char>(out[3]) << 24);
}

// UTF-8 text in a code page ("" when a character has no form there).
std::string Encode(const std::string& utf8, int codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(name.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  std::string in = utf8;
  char* ip = in.data();
  std::size_t il = in.size();
  std::string out(in.size() * 2 + 8, '\0');
  char* op = out.data();
  std::size_t ol = out.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
  iconv_close(cd);
  if (!ok) return "";
  out.resize(out.size() - ol);
  return out;
}

// Every character of the code page whose second byte is 0x5C (UHC, code
// page 949, has none: there a lead byte never takes 0x5C as second byte).
std::vector<std::string> TrailBackslashCharacters(int codePage) {
  std::vector<std::string> out;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    if (!CQ_TextConverter::sb_IsLeadByte(codePage, static_cast<unsigned char>(lead))) continue;
    const std::string c{static_cast<char>(lead), '\x5C'};
    if (Decode(c, codePage) != 0) out.push_back(c);
  }
  return out;
}

// A text full of those characters, each followed by what could be misread
// after a backslash: an escape's letters, "x5c " itself, another backslash,
// a blank and letters; then common words of the language.
std::string TrailText(int codePage) {
  static const char* const kFollowers[] = {"", "x5c ", "\\", "t", " ", "X5C ", "q", "Q", "\\x5c ", "-", "r", "a"};
  std::string text;
  std::size_t k = 0;
  for (const std::string& c : TrailBackslashCharacters(codePage)) {
    text += c;
    text += kFollowers[k++ % (sizeof kFollowers / sizeof kFollowers[0])];
  }
  const char* words = codePage == 932   ? "表示する機能の予定 ソフト"
                      : codePage == 936 ? "中文文本 \\ 表示"
                      : codePage == 949 ? "한국어 텍스트 \\ 표시"
                                        : "許功蓋 中文";
  const std::string encoded = Encode(words, codePage);
  EXPECT_FALSE(encoded.empty()) << words;
  return text + encoded;
}

struct CodePageRow {
  int codePage;
  const char* language;
  std::size_t atLeast;  // characters with second byte 0x5C the code page has at least
};

const CodePageRow kRows[] = {
    {932, "Japanese", 40}, {936, "Chinese (Simplified)", 100}, {949, "Korean", 0}, {950, "Chinese (Traditional)", 80}};

class TrailBackslash : public ::testing::TestWithParam<CodePageRow> {};

TEST_P(TrailBackslash, EscapingAndForwardConversionAgreeInBothCharacterSets) {
  const int cp = GetParam().codePage;
  ASSERT_GE(TrailBackslashCharacters(cp).size(), GetParam().atLeast);
  const std::string text = TrailText(cp);
  for (bool symbol : {false, true}) {
    const CQ_MIFEscaping escaping(symbol, cp);
    const std::string mif = escaping.ccs_Escape(text);
    CQ_TextSettings settings;
    settings.i_SourceCodePage = cp;
    settings.b_SymbolCharacterSet = symbol;
    EXPECT_EQ(Visible(CQ_TextConverter(settings).ccs_Convert(mif)), Visible(text))
        << (symbol ? "Symbol" : "Normal") << " MIF " << Visible(mif);
    // Every such character is written as its own two bytes.
    for (const std::string& c : TrailBackslashCharacters(cp)) {
      EXPECT_NE(mif.find(c), std::string::npos) << Visible(c);
    }
  }
}

TEST_P(TrailBackslash, ForwardConversionReadsTheEscapedSecondByteToo) {
  const int cp = GetParam().codePage;
  CQ_TextSettings settings;
  settings.i_SourceCodePage = cp;
  const CQ_TextConverter forward(settings);
  for (const std::string& c : TrailBackslashCharacters(cp)) {
    const std::string lead(1, c[0]);
    EXPECT_EQ(Visible(forward.ccs_Convert(lead + "\\x5c " + "a" + lead + "\\X5C b")), Visible(c + "a" + c + "b"));
  }
  // Not after a lead byte, "\x5c " stays a backslash of its own.
  EXPECT_EQ(forward.ccs_Convert("a\\x5c t"), "a\\t");
}

TEST_P(TrailBackslash, RTFFormKeepsThemInBothWritings) {
  const int cp = GetParam().codePage;
  const std::string text = TrailText(cp);
  // As this system writes it: "\'hh" for every byte of 128 or more.
  const std::string line = "<ps \"Body\" 1>" + text;
  CQ_StringList prepared{line};
  CQ_KWXRTFWriter::sv_PrepareLines(prepared, cp);
  const std::string path = ::testing::TempDir() + "trail-" + std::to_string(cp) + ".rtf";
  CQ_KWXRTFWriter::sv_Write(path, prepared, true, cp, cp, true);
  std::vector<std::string> lines;
  CQ_RTFReader(cp).v_ReadFile(path, lines);
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Visible(lines[0]), Visible(line));

  // As a word processor writes it: each double-byte character as "\uN"
  // with a fallback in the font's code page (here a 1252 "?").
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fcharset0 Times;}}\\pard\\plain ";
  std::string expected;
  for (const std::string& c : TrailBackslashCharacters(cp)) {
    const char32_t u = Decode(c, cp);
    const long value = u > 32767 ? static_cast<long>(u) - 65536 : static_cast<long>(u);
    rtf += "\\u" + std::to_string(value) + "?x5c ";
    // A few codes share their character with another (932's NEC-selected
    // IBM rows); the character comes back in the code page's own form.
    std::string back;
    ASSERT_TRUE(CQ_RTFReader::sb_EncodeCharacter(u, cp, back)) << Visible(c);
    expected += back + "x5c ";
  }
  rtf += "}";
  if (expected.empty()) return;  // 949 has no such character
  std::vector<std::string> read;
  CQ_RTFReader reader(cp);
  reader.v_ReadBytes(rtf, read);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(Visible(read[0]), Visible(expected));
  EXPECT_TRUE(reader.rco_GetUnrepresentable().empty());
}

INSTANTIATE_TEST_SUITE_P(CodePages, TrailBackslash, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<CodePageRow>& info) {
                           return "cp" + std::to_string(info.param.codePage);
                         });

// --- whole round trips ----------------------------------------------------------------------

struct PipelineRow {
  CodePageRow language;
  int format;  // 0 text, 1 RTF
};

class TranslatedIntoDoubleByte : public ScratchTest, public ::testing::WithParamInterface<PipelineRow> {};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Bytes of 128 or more ("\'hh" escapes of them in RTF) replaced by "?".
std::string WithoutWesternBytes(const std::string& kwx, bool rtf) {
  std::string out;
  for (std::size_t i = 0; i < kwx.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(kwx[i]);
    if (rtf && c == '\\' && i + 3 < kwx.size() && kwx[i + 1] == '\'' && kwx[i + 2] >= '8' && kwx[i + 2] <= 'f' &&
        !(kwx[i + 2] > '9' && kwx[i + 2] < 'a')) {
      out.push_back('?');
      i += 3;
    } else if (!rtf && c >= 0x80) {
      out.push_back('?');
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

TEST_P(TranslatedIntoDoubleByte, EveryCharacterComesBack) {
  const int cp = GetParam().language.codePage;
  Settings settings;
  settings.format = GetParam().format;
  const std::string mif = ReadBytes(ForwardGoldenDir() + "text_runs/input.mif");
  const std::vector<std::string> forward = Forward("runs.mif", mif, settings);
  const std::string kwxPath = dir_ + "tr/runs" + Ext(settings);
  ASSERT_TRUE(Exists(kwxPath)) << ::testing::PrintToString(forward);

  // The translation replaces the text of one paragraph.
  const std::string source = "Back to the first body format; an empty run leaves nothing.";
  const std::string translation = TrailText(cp);
  // What comes back: as typed; in RTF, each character in the code page's
  // own form of its Unicode character (932's NEC-selected IBM rows share
  // their characters with the IBM rows).
  std::string expected;
  // The source's Western typographic characters have no place in a
  // double-byte translation: the translator replaced them (as plain "?").
  std::string kwx = WithoutWesternBytes(ReadBytes(kwxPath), settings.format == 1);
  if (settings.format == 0) {
    ASSERT_NE(kwx.find(source), std::string::npos);
    kwx = Replaced(kwx, source, translation);
    expected = translation;
  } else {
    // In RTF as a word processor writes the translation: "\uN" characters.
    std::string rtf;
    for (std::size_t i = 0; i < translation.size(); ++i) {
      const unsigned char b = static_cast<unsigned char>(translation[i]);
      if (CQ_TextConverter::sb_IsLeadByte(cp, b) && i + 1 < translation.size()) {
        const char32_t u = Decode(translation.substr(i, 2), cp);
        rtf += "\\u" + std::to_string(static_cast<long>(u) - (u > 32767 ? 65536 : 0)) + "?";
        ASSERT_TRUE(CQ_RTFReader::sb_EncodeCharacter(u, cp, expected));
        ++i;
      } else if (b == '\\') {
        rtf += "\\\\";
        expected.push_back('\\');
      } else {
        rtf.push_back(static_cast<char>(b));
        expected.push_back(static_cast<char>(b));
      }
    }
    ASSERT_NE(kwx.find(source), std::string::npos);
    kwx = Replaced(kwx, source, rtf);
  }
  WriteBytes(kwxPath, kwx);

  settings.targetLanguage = GetParam().language.language;
  const std::vector<std::string> back = Back("runs", settings);
  ASSERT_TRUE(Exists(dir_ + "tr/runs.mif")) << ::testing::PrintToString(back);
  const std::string output = ReadBytes(dir_ + "tr/runs.mif");
  for (const std::string& c : TrailBackslashCharacters(cp)) {
    if (expected.find(c) != std::string::npos) {
      EXPECT_NE(output.find(c), std::string::npos) << Visible(c);
    }
  }

  // Converted forward again as a document of that language: the text line
  // holds the translation as it was typed.
  Settings again;
  again.sourceLanguage = GetParam().language.language;
  std::filesystem::create_directories(dir_ + "again");
  WriteBytes(dir_ + "again/runs.mif", output);
  auto session = MakeSession(again, dir_ + "again/", dir_ + "again/");
  CQ_StringList paths = {dir_ + "again/runs.mif"};
  session->v_ConvertMIF(&paths);
  const std::vector<std::string> lines = Lines(ReadBytes(dir_ + "again/runs.txt"));
  bool found = false;
  for (const std::string& line : lines) {
    if (line.find(expected) != std::string::npos) found = true;
  }
  EXPECT_TRUE(found) << Visible(expected) << "\n" << Visible(Joined(lines));
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedIntoDoubleByte,
                         ::testing::Values(PipelineRow{kRows[0], 0}, PipelineRow{kRows[0], 1},
                                           PipelineRow{kRows[1], 0}, PipelineRow{kRows[1], 1},
                                           PipelineRow{kRows[2], 0}, PipelineRow{kRows[2], 1},
                                           PipelineRow{kRows[3], 0}, PipelineRow{kRows[3], 1}),
                         [](const ::testing::TestParamInfo<PipelineRow>& info) {
                           return "cp" + std::to_string(info.param.language.codePage) +
                                  (info.param.format == 0 ? "_text" : "_rtf");
                         });

}  // namespace

namespace {

// The one place a raw second byte 0x5C is escaped: right before the
// closing apostrophe of a string.
TEST(StringEnd, OnlyASecondByteBackslashAtTheEndIsEscaped) {
  struct Row {
    bool symbol;
    int codePage;
    std::string content;
    std::string expected;
  };
  const Row rows[] = {
      {false, 932, "a\x95\x5c", "a\x95\\x5c "},
      {true, 932, "\\x41 \x95\x5c", "\\x41 \x95\\x5c "},
      {false, 950, "\xa5\x5c\xa5\x5c", "\xa5\x5c\xa5\\x5c "},
      {false, 932, "\x95\x5c" "a", "\x95\x5c" "a"},
      {false, 932, "\x95\x5c\\x5c ", "\x95\x5c\\x5c "},
      {true, 932, "a\\\\", "a\\\\"},
      {false, 932, "\x81\x95\x5c", "\x81\x95\x5c"},  // 0x81 0x95 is the character; 0x5C stands alone
      {false, 1252, "\x95\x5c", "\x95\x5c"},
      {false, 949, "\xb0\x5c", "\xb0\x5c"},
  };
  for (const Row& row : rows) {
    std::string content = row.content;
    CQ_MIFEscaping(row.symbol, row.codePage).v_ProtectStringEnd(content);
    EXPECT_EQ(Visible(content), Visible(row.expected)) << Visible(row.content) << " in " << row.codePage;
    CQ_TextSettings settings;
    settings.i_SourceCodePage = row.codePage;
    settings.b_SymbolCharacterSet = row.symbol;
    EXPECT_EQ(Visible(CQ_TextConverter(settings).ccs_Convert(content)),
              Visible(CQ_TextConverter(settings).ccs_Convert(row.content)))
        << Visible(row.content);
  }
}

}  // namespace

namespace {

// A document as FrameMaker writes double-byte text: characters raw, so a
// String may end with a second byte 0x5C right before its apostrophe. It
// converts, and its untranslated round trip gives the same text again.
class FrameMakerDoubleByteDocument : public ScratchTest, public ::testing::WithParamInterface<CodePageRow> {};

TEST_P(FrameMakerDoubleByteDocument, StringsEndingWithASecondByteBackslashConvertBothWays) {
  const int cp = GetParam().codePage;
  if (TrailBackslashCharacters(cp).empty()) GTEST_SKIP() << "no such characters in this code page";
  const std::string c = TrailBackslashCharacters(cp).back();
  std::string mif = ReadBytes(ForwardGoldenDir() + "text_runs/input.mif");
  auto replace = [&mif](const std::string& from, const std::string& to) {
    const std::size_t at = mif.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    mif.replace(at, from.size(), to);
  };
  // Western characters have no place in this document's text.
  replace("<String ` plain\\t\\xd2 quoted\\xd3  \\\\path'>", "<String ` plain\\tquoted \\\\path'>");
  replace("<Char EmDash>", "<String `-'>");
  replace("<String `Back to the first body format; '>", "<String `" + c + "'>");
  replace("<String `an empty run leaves nothing.'>", "<String `x" + c + c + "\\\\'>");
  Settings settings;
  settings.sourceLanguage = settings.targetLanguage = GetParam().language;
  const std::vector<std::string> forward = Forward("fm.mif", mif, settings);
  ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
  const std::vector<std::string> kwx = Lines(ReadBytes(dir_ + "tr/fm.txt"));
  const std::string expected = "<ps \"Body\" 1>" + c + "x" + c + c + "\\";
  EXPECT_NE(std::find(kwx.begin(), kwx.end(), expected), kwx.end()) << Visible(Joined(kwx));

  const std::vector<std::string> back = Back("fm", settings);
  ASSERT_TRUE(Exists(dir_ + "tr/fm.mif")) << ::testing::PrintToString(back);
  std::filesystem::create_directories(dir_ + "again");
  WriteBytes(dir_ + "again/fm.mif", ReadBytes(dir_ + "tr/fm.mif"));
  auto session = MakeSession(settings, dir_ + "again/", dir_ + "again/");
  CQ_StringList paths = {dir_ + "again/fm.mif"};
  session->v_ConvertMIF(&paths);
  std::vector<std::string> again = Lines(ReadBytes(dir_ + "again/fm.txt"));
  std::vector<std::string> first = kwx;
  ASSERT_GT(again.size(), 6u);
  again.erase(again.begin() + 5);  // the source path
  first.erase(first.begin() + 5);
  EXPECT_EQ(again, first);
}

INSTANTIATE_TEST_SUITE_P(CodePages, FrameMakerDoubleByteDocument, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<CodePageRow>& info) {
                           return "cp" + std::to_string(info.param.codePage);
                         });

}  // namespace
