// The byte escaping of translated text and the writer of marker texts and
// format definitions. Escaping: table rows for each mode, and the whole
// table against forward conversion's character table (a mapped byte must
// convert back to itself). Writer: rows of tokens with the string they
// give, each also converted forward again, which must give the same
// tokens.
#include <gtest/gtest.h>

#include "backward/convert/BackTestSupport.h"
#include "kernel/backward/MIFEscaping.h"
#include "kernel/backward/MIFTextWriter.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/MarkerTextConverter.h"
#include "kernel/forward/TextConverter.h"

namespace {

using back_test::Visible;

struct EscapeRow {
  const char* name;
  bool symbol;
  int codePage;
  std::string text;
  std::string expected;
  std::size_t units;
};

class EscapeTest : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(EscapeTest, WritesTheEscapes) {
  const EscapeRow& row = GetParam();
  const CQ_MIFEscaping escaping(row.symbol, row.codePage);
  std::string out;
  EXPECT_EQ(escaping.n_Append(row.text, out), row.units) << Visible(row.text);
  EXPECT_EQ(out, row.expected) << Visible(row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EscapeTest,
    ::testing::Values(
        EscapeRow{"plain", false, 1252, "abc", "abc", 3},
        EscapeRow{"e_acute", false, 1252, "\xE9", "\\x8e ", 1},
        EscapeRow{"e_acute_symbol", true, 1252, "\xE9", "\\xe9 ", 1},
        EscapeRow{"tab", false, 1252, "a\tb", "a\\x08 b", 3},
        EscapeRow{"tab_symbol", true, 1252, "\t", "\\x08 ", 1},
        EscapeRow{"greater_than", false, 1252, "a>b", "a\\>b", 3},
        EscapeRow{"quotes_of_mif_strings", false, 1252, "`'", "\\x60 \\x27 ", 2},
        EscapeRow{"backslash_tilde", false, 1252, "\\~", "\\x5c \\x7e ", 2},
        EscapeRow{"soft_hyphen_byte", false, 1252, "\xAD", "\\x2d ", 1},
        EscapeRow{"dropped_controls", false, 1252, std::string("a\x01\x1F\x7F", 4), "a", 1},
        EscapeRow{"dropped_high", false, 1252, "\x81\x8F\x90", "", 0},
        EscapeRow{"no_break_space_is_a_hard_space", false, 1252, "a\xA0" "b", "a\\x11 b", 3},
        EscapeRow{"dropped_high_symbol_kept", true, 1253, "\x81\xA0", "\\x81 \\xa0 ", 2},
        EscapeRow{"euro_sign", false, 1252, "\x80", "\\xf5 ", 1},
        EscapeRow{"left_double_quote", false, 1252, "\x93", "\\xd2 ", 1},
        EscapeRow{"double_byte_trail_backslash", false, 932, "\x83\x5C", "\x83\x5C", 2},
        EscapeRow{"double_byte_trail_backslash_then_x5c", false, 932, "\x95\x5Cx5c ", "\x95\x5C\\x78 5c ", 6},
        EscapeRow{"double_byte_raw", false, 932, "\x82\xA0x", "\x82\xA0x", 3},
        EscapeRow{"double_byte_symbol_trail_backslash", true, 932, "\x83\x5C", "\x83\x5C", 2},
        EscapeRow{"double_byte_symbol", true, 932, "\x83\x40", "\\x83 \\x40 ", 2},
        EscapeRow{"double_byte_symbol_backslash", true, 932, "a\\b", "a\\\\b", 3},
        EscapeRow{"double_byte_katakana_byte", false, 932, "\xB1", "\xB1", 1}),
    [](const ::testing::TestParamInfo<EscapeRow>& info) { return std::string(info.param.name); });

TEST(EscapeTable, EveryMappedByteConvertsBackToItself) {
  CQ_TextSettings settings;
  settings.i_SourceCodePage = 1252;
  const CQ_TextConverter forward(settings);
  const CQ_MIFEscaping escaping(false, 1252);
  int mapped = 0;
  for (int b = 0x20; b <= 0xFF; ++b) {
    const int entry = CQ_MIFEscaping::si_TableEntry(static_cast<unsigned char>(b));
    // "<" and ">" never stand in KWX text; the soft-hyphen byte is written
    // as FrameMaker's plain hyphen.
    if (entry < 0 || b == '<' || b == '>' || b == 0xAD) continue;
    // Bytes whose FrameMaker code has no Windows-1252 glyph come back as
    // a reserved-character tag; all others as the byte itself.
    const std::string back = forward.ccs_Convert(escaping.ccs_Escape(std::string(1, static_cast<char>(b))));
    const std::string_view kwx = CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(entry));
    EXPECT_EQ(back, std::string(kwx)) << "byte " << b;
    if (kwx.size() == 1) {
      EXPECT_EQ(back, std::string(1, static_cast<char>(b))) << "byte " << b;
      ++mapped;
    }
  }
  EXPECT_GT(mapped, 120);
}

// A long text escaped whole equals its bytes escaped one at a time, in
// every mode: runs longer than any buffer, escapes at every offset, tabs,
// '>' and dropped bytes among them.
TEST(EscapeTable, LongTextEscapesAsItsBytesDo) {
  std::string text;
  unsigned state = 12345;
  for (int k = 0; k < 6000; ++k) {
    state = state * 1103515245u + 12345u;
    const unsigned pick = (state >> 16) % 10;
    if (pick < 6) {
      text.append((state >> 8) % 300, static_cast<char>('a' + k % 26));  // plain runs of 0 to 299 bytes
    } else {
      text.push_back(static_cast<char>((state >> 20) & 0xFF));  // any byte, escaped, dropped or plain
    }
  }
  ASSERT_GT(text.size(), 200000u);
  for (const auto& [symbol, codePage] : {std::pair{false, 1252}, std::pair{true, 1252}}) {
    const CQ_MIFEscaping escaping(symbol, codePage);
    std::string bytewise;
    std::size_t units = 0;
    for (const char c : text) units += escaping.n_Append(std::string_view(&c, 1), bytewise);
    std::string whole = "kept ";
    EXPECT_EQ(escaping.n_Append(text, whole), units) << "symbol " << symbol;
    EXPECT_EQ(whole, "kept " + bytewise) << "symbol " << symbol;
  }
}

// Plain runs are searched sixteen bytes at a time: every byte value at
// every offset of a plain text longer than two such steps, alone and after
// line feeds (plain bytes the quick test stops at), escapes as its bytes do.
TEST(EscapeTable, EveryByteAtEveryOffsetOfAPlainRunEscapesAsItsBytesDo) {
  const CQ_MIFEscaping escaping(false, 1252);
  for (const std::string& ground : {std::string(40, 'a'), std::string("ab\ncd\n") + std::string(32, 'e')}) {
    for (int b = 0; b < 256; ++b) {
      for (std::size_t at = 0; at < ground.size(); ++at) {
        std::string text = ground;
        text[at] = static_cast<char>(b);
        std::string bytewise;
        std::size_t units = 0;
        for (const char c : text) units += escaping.n_Append(std::string_view(&c, 1), bytewise);
        std::string whole;
        bool low = false;
        ASSERT_EQ(escaping.n_Append(text, whole, low), units) << "byte " << b << " at " << at;
        ASSERT_EQ(whole, bytewise) << "byte " << b << " at " << at;
      }
    }
  }
}

TEST(EscapeTable, AccentedTextInShortRunsEscapesAsItsBytesDo) {
  // Runs of 0 to 20 plain bytes between escaped bytes, as in accented or
  // pseudo-translated text: runs that end near the text's end and near the
  // end of the writer's own buffer are copied as byte by byte.
  const std::string accented = "\xE0\xE9\xF6\xFC\xEE\xB7\x84";
  unsigned state = 4242;
  std::vector<std::string> texts;
  for (int k = 0; k < 60; ++k) {
    std::string text;
    const int pieces = 1 + k * 7;
    for (int j = 0; j < pieces; ++j) {
      state = state * 1103515245u + 12345u;
      text.append((state >> 16) % 21, static_cast<char>('a' + j % 26));
      text.push_back(accented[(state >> 8) % accented.size()]);
    }
    text.append(static_cast<std::size_t>(k % 17), 'z');  // a short run at the very end
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    for (const auto& escaping : {CQ_MIFEscaping(false, 1252), CQ_MIFEscaping(false, 1250)}) {
      std::string bytewise;
      std::size_t units = 0;
      for (const char c : text) units += escaping.n_Append(std::string_view(&c, 1), bytewise);
      std::string whole = "kept ";
      bool low = true;
      EXPECT_EQ(escaping.n_Append(text, whole, low), units) << Visible(text);
      EXPECT_EQ(whole, "kept " + bytewise) << Visible(text);
      std::string plain;
      EXPECT_EQ(escaping.n_Append(text, plain), units) << Visible(text);
      EXPECT_EQ(plain, bytewise) << Visible(text);
    }
  }
}

// The escaping that also tells whether it wrote a special character's
// escape: the same text and units as n_Append; in the normal character set
// of a single-byte code page the flag is clear exactly when no escape of a
// code below 0x20 was written, and then every backslash starts a unit and
// the units counted along the text are the ones returned; any other mode
// sets it.
TEST(EscapeTable, LowCodesFlagTellsSpecialEscapes) {
  std::vector<std::string> texts = {"", "plain", "a\tb", "a\xA0" "b", "a>b\\c`", std::string("\x01\x02", 2)};
  for (int b = 0; b < 256; ++b) texts.push_back(std::string(1, static_cast<char>(b)) + "x");
  unsigned state = 777;
  for (int k = 0; k < 200; ++k) {
    std::string text;
    for (int j = 0; j < 40; ++j) {
      state = state * 1103515245u + 12345u;
      text.push_back((state >> 16) % 3 == 0 ? static_cast<char>((state >> 20) & 0xFF) : 'a');
    }
    texts.push_back(text);
  }
  const CQ_MIFEscaping normal(false, 1252);
  const std::vector<CQ_MIFEscaping> others = {CQ_MIFEscaping(true, 1252), CQ_MIFEscaping(false, 932),
                                              CQ_MIFEscaping::sco_WesternBytes(932),
                                              CQ_MIFEscaping::sco_WesternText(CQ_MIFEscaping(false, 936))};
  int clear = 0;
  int set = 0;
  for (const std::string& text : texts) {
    std::string plain;
    std::string flagged = "kept";
    bool low = true;
    const std::size_t units = normal.n_Append(text, plain);
    EXPECT_EQ(normal.n_Append(text, flagged, low), units) << Visible(text);
    EXPECT_EQ(flagged, "kept" + plain) << Visible(text);
    bool special = false;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < plain.size(); ++counted) {
      if (plain[i] != '\\') {
        ++i;
        continue;
      }
      ASSERT_LT(i + 1, plain.size()) << Visible(text);
      const bool hex = plain[i + 1] == 'x';
      special = special || (hex && (plain[i + 2] == '0' || plain[i + 2] == '1'));
      i += hex ? 5 : 2;
    }
    EXPECT_EQ(low, special) << Visible(text);
    if (!low) {
      EXPECT_EQ(counted, units) << Visible(text);
    }
    ++(low ? set : clear);
    for (const CQ_MIFEscaping& other : others) {
      std::string a;
      std::string b;
      bool otherLow = false;
      EXPECT_EQ(other.n_Append(text, a, otherLow), other.n_Append(text, b)) << Visible(text);
      EXPECT_EQ(a, b) << Visible(text);
      EXPECT_TRUE(otherLow) << Visible(text);
    }
  }
  EXPECT_GT(clear, 100);
  EXPECT_GT(set, 5);
}

TEST(EscapeTable, CharacterTagsGiveTheirCodes) {
  const CQ_MIFEscaping normal(false, 1252);
  const CQ_MIFEscaping symbol(true, 1252);
  for (const auto& [tag, code, symbolCode] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"<:t>", "\\x08 ", "\\x08 "},     {"<:hr>", "\\x09 ", "\\x09 "}, {"<:hs>", "\\x11 ", "\\x11 "},
           {"<:lq>", "\\xd4 ", "\\x91 "},    {"<:grq>", "\\xd2 ", "\\x93 "}, {"<:glq>", "\\xe3 ", "\\x84 "},
           {"<:r30>", "\\xa1 ", "\\xa1 "},   {"<:r39>", "\\xda ", "\\xda "}, {"<:lt>", "\\x3c ", "\\x3c "}}) {
    std::string a;
    std::string b;
    EXPECT_TRUE(normal.b_CharacterTag(tag, a)) << tag;
    EXPECT_TRUE(symbol.b_CharacterTag(tag, b)) << tag;
    EXPECT_EQ(a, code) << tag;
    EXPECT_EQ(b, symbolCode) << tag;
  }
  std::string none;
  EXPECT_FALSE(normal.b_CharacterTag("<:cs \"X\" 1>", none));
  EXPECT_TRUE(none.empty());
}

// --- the string writer ------------------------------------------------------------------------

struct WriterRow {
  const char* name;
  CQ_MIFTextWriter::ET_Mode mode;
  CQ_KWXTokens tokens;
  std::string expected;
};

class WriterTest : public ::testing::TestWithParam<WriterRow> {
 protected:
  CQ_TagMap tags_ = {{"<:bb \"$pagenum\">", "<$pagenum\\>"}, {"<:cs \"Emphasis\">", "<Emphasis\\>"}};
  CQ_MIFEscaping escaping_{false, 1252};
};

// Index text as a straightforward reference writes it: character by
// character, index syntax characters with their backslashes, every other
// byte escaped on its own; "<ss>" opens a sort string.
std::string IndexTextByCharacters(const CQ_MIFEscaping& escaping, const CQ_KWXTokens& tokens) {
  const CQ_MIFEscaping text = CQ_MIFEscaping::sco_WesternText(escaping);
  std::string out;
  bool sortString = false;
  for (const std::string& token : tokens) {
    if (token == KWX::TAG_SS) {
      out += '[';
      sortString = true;
      continue;
    }
    for (const char c : token) {
      if (c == ':' || c == ';' || c == '[') {
        out += std::string("\\\\") + c;
      } else if (c == ']') {
        out += sortString ? "]" : "\\\\]";
        sortString = false;
      } else if (c == '\\') {
        out += "\\\\\\\\";
      } else if (c == '>') {
        out += "\\\\\\>";
      } else {
        text.n_Append(std::string_view(&c, 1), out);
      }
    }
  }
  escaping.v_ProtectStringEnd(out);
  return out;
}

// Index text of single-byte documents (both character sets) as the writer
// writes it, against the reference.
TEST(WriterIndexText, TextIsWrittenAsItsCharactersOneByOne) {
  const CQ_TagMap tags;
  const std::string alphabet = std::string("ab :;[]\\>x") + "\xE9\xFC\x84\xB7\x81\x93\x8E\x5C\x01";
  unsigned state = 31;
  for (const auto& [symbol, codePage] : {std::pair{false, 1252}, std::pair{true, 1252}, std::pair{false, 1250}}) {
    const CQ_MIFEscaping escaping(symbol, codePage);
    const CQ_MIFTextWriter writer(tags, escaping);
    for (int k = 0; k < 200; ++k) {
      CQ_KWXTokens tokens;
      for (int t = 0; t < 3; ++t) {
        std::string token;
        const int length = 1 + k % 23;
        for (int i = 0; i < length; ++i) {
          state = state * 1103515245u + 12345u;
          token.push_back(alphabet[(state >> 16) % alphabet.size()]);
        }
        tokens.push_back(token);
        if (t < 2) tokens.emplace_back(KWX::TAG_SS);
      }
      EXPECT_EQ(writer.ccs_Write(KWXBack::sco_Views(tokens), 0, tokens.size(), CQ_MIFTextWriter::MODE_INDEX),
                IndexTextByCharacters(escaping, tokens))
          << codePage << (symbol ? " symbol " : " ") << Visible(tokens[0]);
    }
  }
}

TEST_P(WriterTest, WritesTheStringAndConvertsBackToTheTokens) {
  const WriterRow& row = GetParam();
  const CQ_MIFTextWriter writer(tags_, escaping_);
  const std::string raw = writer.ccs_Write(KWXBack::sco_Views(row.tokens), 0, row.tokens.size(), row.mode);
  EXPECT_EQ(raw, row.expected);

  CQ_TextSettings settings;
  settings.i_SourceCodePage = 1252;
  const CQ_TextConverter text(settings);
  const bool format = row.mode == CQ_MIFTextWriter::MODE_FORMAT;
  const CQ_MarkerTextConverter converter(text, format ? TEXT_MESSAGE : TEXT_CONTENT);
  unsigned options = CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS;
  if (row.mode == CQ_MIFTextWriter::MODE_INDEX) options |= CQ_MarkerTextConverter::MARKER_INDEX;
  CQ_KWXTokens again;
  for (const auto& piece : converter.ast_Convert(raw, options)) {
    for (const KWX::st_Token& t : KWX::sast_Tokenize(piece.cs_Text)) again.emplace_back(t.cs_Text);
  }
  // Joined text, as the converter joins it.
  CQ_KWXTokens expected;
  for (const std::string& t : row.tokens) {
    if (!expected.empty() && t.front() != '<' && expected.back().front() != '<') {
      expected.back() += t;
    } else {
      expected.push_back(t);
    }
  }
  EXPECT_EQ(again, expected) << raw;
}

using W = CQ_MIFTextWriter;

INSTANTIATE_TEST_SUITE_P(
    Rows, WriterTest,
    ::testing::Values(
        WriterRow{"building_block_as_spelled", W::MODE_FORMAT, {"Page ", "<:bb \"$pagenum\">"}, "Page <$pagenum\\>"},
        WriterRow{"unknown_building_block", W::MODE_FORMAT, {"<:bb \"$chapnum\">"}, "<$chapnum\\>"},
        WriterRow{"character_format_and_default_font",
                  W::MODE_FORMAT,
                  {"a ", "<:cs \"Emphasis\">", "b", "<:/cs>"},
                  "a <Emphasis\\>b<Default \\xa6  Font\\>"},
        WriterRow{"format_tab_and_specials",
                  W::MODE_FORMAT,
                  {"x", "<:t>", "y", "<:sh>", "z", "<:hs>", "w", "<:hr>"},
                  "x\\\\ty\\\\-z\\x11 w\\\\r"},
        WriterRow{"marker_tab", W::MODE_MARKER, {"a", "<:t>", "b"}, "a\\tb"},
        WriterRow{"marker_accents_and_quotes", W::MODE_MARKER, {"caf\xE9 `it's`"}, "caf\\x8e  \\x60 it\\x27 s\\x60 "},
        WriterRow{"index_levels_and_entries",
                  W::MODE_INDEX,
                  {"Level one", "<il>", "level two", "<ie>", "other"},
                  "Level one:level two;other"},
        WriterRow{"index_typed_syntax",
                  W::MODE_INDEX,
                  {"a: b; c [d]"},
                  "a\\\\: b\\\\; c \\\\[d\\\\]"},
        WriterRow{"index_sort_string", W::MODE_INDEX, {"entry", "<ss>", "sort", "<sl>", "key]"}, "entry[sort:key]"},
        WriterRow{"index_backslash_and_brackets",
                  W::MODE_INDEX,
                  {"a\\b ", "<:lt>", "x", "<:gt>"},
                  "a\\\\\\\\b \\\\\\x3c x\\\\\\x3e "}),
    [](const ::testing::TestParamInfo<WriterRow>& info) { return std::string(info.param.name); });

TEST(WriterFonts, FontsOfBackConversionAndTheDocumentsSpelling) {
  const CQ_TagMap tags;
  const CQ_MIFEscaping escaping(false, 1252);
  const CQ_MIFTextWriter writer(tags, escaping);
  const CQ_KWXTokens tokens = {"<:b>", "x", "<:/b>", "<:i>", "y", "<:/i>", "<:s>", "z", "<:/s>"};
  EXPECT_EQ(writer.ccs_Write(KWXBack::sco_Views(tokens), 0, tokens.size(), W::MODE_MARKER, W::DEFAULT_FONT_PARA),
            "<VarnelBold\\>x<Default Para Font\\><VarnelItalic\\>y<Default Para Font\\><VarnelSmallCaps\\>z"
            "<Default Para Font\\>");
  EXPECT_EQ(W::scs_DefaultFontSpelling("a<Default Para Font\\>"), W::DEFAULT_FONT_PARA);
  EXPECT_EQ(W::scs_DefaultFontSpelling("a<Default \\xa6  Font\\>"), W::DEFAULT_FONT_SIGN);
  EXPECT_TRUE(W::scs_DefaultFontSpelling("plain").empty());
}

}  // namespace
