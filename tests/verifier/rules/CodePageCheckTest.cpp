// The character checks that keep a translation's text within the target
// code page: bytes that are no character of it (1207, one message per
// line, text only, never inside <:c> spans), and characters the RTF reader
// could not put into it (1206, with the character as U+XXXX, its glyph in
// the source code page and its line). Both are errors that nobody can
// suppress, in verification and in back conversion.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "verifier/rules/RulesTestSupport.h"

namespace {

using namespace RulesTest;

// The 1-based line of lines that holds text.
int LineOf(const std::vector<std::string>& lines, const std::string& text) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(text) != std::string::npos) return static_cast<int>(i + 1);
  }
  return 0;
}

// The texts of the entries with message number.
std::vector<std::string> Texts(const CQ_VarnelVerifier& verifier, int number) {
  std::vector<std::string> out;
  for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
    if (entry.i_Message == number) out.push_back(entry.co_Record.ccs_Text);
  }
  return out;
}

struct BytesRow {
  const char* language;
  std::string text;       // the paragraph's text
  std::string reported;   // the bytes the message names ("" for none)
};

std::ostream& operator<<(std::ostream& out, const BytesRow& row) { return out << row.language; }

class CodePageBytes : public ::testing::TestWithParam<BytesRow> {};

TEST_P(CodePageBytes, BytesThatAreNoCharacterAreErrors) {
  const BytesRow& row = GetParam();
  auto session = MakeSession();
  session->v_SetTargetLanguage(row.language);
  const std::string marker = "<ps \"B\" 1>";
  const std::vector<std::string> target = Lines(Build(ON_PAGE, marker + row.text));
  const int line = LineOf(target, marker);
  const int codePage = session->i_GetTargetCodePage();
  std::vector<std::string> expected;
  if (!row.reported.empty()) {
    expected.push_back("Error 1207. The byte(s) " + row.reported + " in line " + std::to_string(line) +
                       " are no character of the code page of the target language (" + std::to_string(codePage) +
                       ").");
  }
  {
    CQ_FrameVarnelVerifier verifier(*session, true);
    ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"B\" 1>x<:b>y<:/b><:c>z<:/c>"))));
    ASSERT_TRUE(verifier.b_CheckTarget(target));
    EXPECT_EQ(Texts(verifier, 1207), expected) << Dump(verifier);
    for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
      if (entry.i_Message == 1207) {
        EXPECT_EQ(entry.co_Record.ccs_Tag, "Do not suppress!");
      }
    }
  }
  // Back conversion refuses the file.
  CQ_FrameVarnelVerifier verifier(*session, true);
  const bool clean = verifier.b_CheckTranslatedList(target, TagMapOf(Build(ON_PAGE, marker + "x<:b>y<:/b><:c>z<:/c>")));
  EXPECT_EQ(clean, row.reported.empty()) << Dump(verifier);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CodePageBytes,
    ::testing::Values(
        // a lead byte at the end of the text, before a tag, before a blank's stray byte
        BytesRow{"Japanese", "ab\x95", "0x95"},
        BytesRow{"Japanese", "\x95<:b>x<:/b>", "0x95"},
        BytesRow{"Japanese", "\x85\x40 undefined row", "0x85 0x40"},
        BytesRow{"Japanese", "\x80", "0x80"},
        BytesRow{"Japanese", "\x95\x5c\x8e\xa6 \xb1", ""},
        BytesRow{"Japanese", "<:c>\x95<:/c>ok", ""},
        // Spans of other character sets close again; other tags that
        // begin alike open none.
        BytesRow{"English (US)", "<:c>\x81<:/c>then \x8d", "0x8D"},
        BytesRow{"English (US)", "<:c1>\x81<:/c1>ok", ""},
        BytesRow{"English (US)", "<:c1>\x81<:/c1>\x8d", "0x8D"},
        BytesRow{"English (US)", "<:c2><:b>\x81<:/b><:/c2><:b>\x8d<:/b>", "0x8D"},
        BytesRow{"English (US)", "<:c2>\x81 <:c>\x8d<:/c> \x90<:/c2>ok", ""},
        BytesRow{"English (US)", "<:cs \"E\" 1>\x81<:/cs>", "0x81"},
        BytesRow{"English (US)", "<:ch 3>\x81", "0x81"},
        // two on one line: one message
        BytesRow{"Japanese", "\x80 and \xA0", "0x80"},
        BytesRow{"Chinese (Traditional)", "\xa5\x5c\x81\x40", "0x81 0x40"},
        BytesRow{"Chinese (Traditional)", "\xb3\x5c\xa5\x5c", ""},
        BytesRow{"Chinese (Simplified)", "\xb1\xed\x81\x5c", ""},
        BytesRow{"Chinese (Simplified)", "\xff", "0xFF"},
        BytesRow{"Korean", "\xc7\xd1\xb1\xb9", ""},
        BytesRow{"Korean", "\xc7\x5c", "0xC7 0x5C"},
        BytesRow{"Greek", "\xe1\xe2\xaa", "0xAA"},
        BytesRow{"English (US)", "caf\xe9 \x93quoted\x94", ""},
        BytesRow{"English (US)", "a\x81", "0x81"},
        // runs of plain bytes longer than a word, before and after the byte
        // that is no character, and a tag or line end inside the run
        BytesRow{"English (US)", "caf\xe9s na\xefves r\xe9sum\xe9s \xe0 la \x81 fin", "0x81"},
        BytesRow{"English (US)", "a long line of plain ASCII text<:b>then\xe9\xe8\xe0\xfc\xf6\xe4 more<:/b>\x8d", "0x8D"},
        BytesRow{"English (US)", "\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\xf6\xe4", ""},
        BytesRow{"Greek", "\xe1\xe2\xe3\xe4\xe5\xe6\xe7\xe8\xe9\xea\xeb\xec\xed\xee\xaa", "0xAA"},
        BytesRow{"Japanese", "plain ASCII words before a lead byte that stands alone \x95", "0x95"},
        BytesRow{"Japanese", "\xb1\xb2\xb3\xb4\xb5\xb6\xb7\xb8\xb9\xba \x95\x5c text \x80", "0x80"},
        // the one byte that is no character at each place of a word, after
        // plain ASCII and after bytes from 0x80 that are characters
        BytesRow{"English (US)", "abcdefg\x81", "0x81"},
        BytesRow{"English (US)", "abcdefgh\x8f", "0x8F"},
        BytesRow{"English (US)", "abcdefghijklmno\x90", "0x90"},
        BytesRow{"English (US)", "abcdefghijklmnopq\x9d", "0x9D"},
        BytesRow{"English (US)", "\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\x9d", "0x9D"},
        BytesRow{"English (US)", "\xe9\xe8\xe0\xfc\xf6\xe4\xe9\x9d\xe8", "0x9D"},
        BytesRow{"English (US)", "abcdefghijklmnopqrstuvwxyz<:b>abcdefghijklmnop<:/b>", ""},
        BytesRow{"Japanese", "abcdefghijklmnop\x95\x5c", ""},
        BytesRow{"Japanese", "abcdefghijklmno\x85\x40", "0x85 0x40"},
        // bytes from 0x80 that are characters passed over sixteen at a time,
        // the one that is none at the start, middle and end of such a step
        BytesRow{"English (US)", "\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\x81", "0x81"},
        BytesRow{"English (US)", "\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\xf6\xe4\xe9\xe8\xe0\xfc\xf6\xe4\x8f\xe8\xe0\xfc\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9", "0x8F"},
        BytesRow{"English (US)", "\xb7\xb7\xb7\xb7\xb7\xb7\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\x9d\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9", "0x9D"},
        BytesRow{"English (US)", "\xb7\xb7\xb7\xb7\xb7\xb7\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\x93\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9", ""},
        // Greek lacks bytes from 0xA0 as well as from 0x80
        BytesRow{"Greek", "\xe1\xe2\xe3\xaa\xe4\xe5\xe6\xe7\xe8\xe9\xea\xeb\xec\xed\xee\xef", "0xAA"},
        BytesRow{"Greek", "\xe1\xe2\xe3\xe4\xe5\xe6\xe7\xe8\xd2\xe9\xea\xeb\xec\xed\xee\xef", "0xD2"}),
    [](const ::testing::TestParamInfo<BytesRow>& info) { return "row" + std::to_string(info.index); });

// Many paragraphs, each on its line, drawn from texts with and without
// bytes that are no character of code page 1252, some inside <:c> spans,
// some long: every line whose text outside the spans holds such a byte
// gets its message, naming the first, and no other line does, wherever
// those lines stand among the others (the segments are searched as one
// text from one such byte to the next).
TEST(CodePageBytes, EveryLineWithSuchAByteGetsItsMessageAmongManyParagraphs) {
  const std::vector<std::string> pieces = {"abc", "\xe9t\xe9", "x\x81y", "\x8d", "<:c>\x81<:/c>", std::string(40, 'q'),
                                           "<:b>z<:/b>", "\x93q\x94", "w\x9d\x90"};
  const auto firstLacking = [](const std::string& text) -> int {
    bool inSpan = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text.compare(i, 4, "<:c>") == 0) inSpan = true;
      if (text.compare(i, 5, "<:/c>") == 0) inSpan = false;
      const auto b = static_cast<unsigned char>(text[i]);
      if (!inSpan && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)) return b;
    }
    return -1;
  };
  std::mt19937 draw(1207);
  auto session = MakeSession();
  session->v_SetTargetLanguage("English (US)");
  int reported = 0;
  for (int round = 0; round < 60; ++round) {
    std::string body;
    std::vector<std::string> texts;
    const std::size_t paragraphs = 1 + draw() % 12;
    for (std::size_t p = 0; p < paragraphs; ++p) {
      std::string text = "p" + std::to_string(p) + " ";
      const std::size_t count = draw() % 4;
      for (std::size_t k = 0; k < count; ++k) text += pieces[draw() % pieces.size()];
      texts.push_back(text);
      body += (p == 0 ? "" : "\n") + std::string("<ps \"B\" 1>") + text;
    }
    const std::vector<std::string> target = Lines(Build(ON_PAGE, body));
    std::vector<std::string> expected;
    for (const std::string& text : texts) {
      const int b = firstLacking(text);
      if (b < 0) continue;
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(b));
      expected.push_back("Error 1207. The byte(s) " + std::string(hex) + " in line " +
                         std::to_string(LineOf(target, "<ps \"B\" 1>" + text)) +
                         " are no character of the code page of the target language (1252).");
    }
    CQ_FrameVarnelVerifier verifier(*session, true);
    const CQ_TagMap tags = TagMapOf(Build(ON_PAGE, "<ps \"B\" 1>x<:b>y<:/b><:c>z<:/c>"));
    const bool clean = verifier.b_CheckTranslatedList(target, tags);
    EXPECT_EQ(Texts(verifier, 1207), expected) << Dump(verifier);
    EXPECT_EQ(clean, expected.empty());
    reported += static_cast<int>(expected.size());
  }
  EXPECT_GT(reported, 30);
}

TEST(UnrepresentableCharacters, AreErrorsNamingCharacterGlyphAndLine) {
  auto session = MakeSession();
  session->v_SetTargetLanguage("Japanese");
  const std::vector<std::string> target =
      Lines(Build(ON_PAGE, "<ps \"B\" 1>\x95\x5c\n<ps \"B\" 2>second\n<:hr>third"));
  const int second = LineOf(target, "second");
  const int third = LineOf(target, "third");
  const std::vector<st_UnrepresentableCharacter> characters = {
      {static_cast<std::size_t>(second), U'\u2122'},
      {static_cast<std::size_t>(third), U'\u00A9'},
      {static_cast<std::size_t>(third), U'\u200D'},
  };
  const std::vector<std::string> expected = {
      "Error 1206. The character U+2122 \"\x99\" in line " + std::to_string(second) +
          " cannot be written in the code page of the target language (932).",
      "Error 1206. The character U+00A9 \"\xA9\" in line " + std::to_string(third) +
          " cannot be written in the code page of the target language (932).",
      // no glyph in the source code page either
      "Error 1206. The character U+200D \"\" in line " + std::to_string(third) +
          " cannot be written in the code page of the target language (932).",
  };
  const std::string source = Build(ON_PAGE, "<ps \"B\" 1>a\n<ps \"B\" 2>b");
  {
    CQ_FrameVarnelVerifier verifier(*session, true);
    ASSERT_TRUE(verifier.b_CheckSource(Lines(source)));
    verifier.v_SetUnrepresentableCharacters(characters);
    ASSERT_TRUE(verifier.b_CheckTarget(target));
    EXPECT_EQ(Texts(verifier, 1206), expected) << Dump(verifier);
    // Each is filed with the segment of its line.
    std::vector<std::string> segments;
    for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
      if (entry.i_Message != 1206) continue;
      EXPECT_EQ(entry.i_Section, 12);
      EXPECT_EQ(entry.co_Record.ccs_Tag, "Do not suppress!");
      segments.push_back(entry.cs_Context.str().substr(0, 10));
    }
    EXPECT_EQ(segments, (std::vector<std::string>{"<ps \"B\" 2>", "<ps \"B\" 2>", "<ps \"B\" 2>"}));
  }
  CQ_FrameVarnelVerifier verifier(*session, true);
  verifier.v_SetUnrepresentableCharacters(characters);
  EXPECT_FALSE(verifier.b_CheckTranslatedList(target, TagMapOf(source)));
  EXPECT_EQ(verifier.n_GetErrors(), 3u);
  // Without them, the same lines are clean.
  CQ_FrameVarnelVerifier clean(*session, true);
  EXPECT_TRUE(clean.b_CheckTranslatedList(target, TagMapOf(source))) << Dump(clean);
}

}  // namespace
