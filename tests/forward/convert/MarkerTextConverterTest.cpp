// Marker and format text: building blocks, character formats, the default
// font, index separators and their backslash escapes, and the text
// conversion of everything else.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/MarkerTextConverter.h"

namespace {

constexpr unsigned kFormats = CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS;
constexpr unsigned kIndex = CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS | CQ_MarkerTextConverter::MARKER_INDEX;

struct Row {
  const char* raw;      // MIF string content, escapes as written
  unsigned options;
  unsigned textFlags;
  const char* expected;  // the pieces, concatenated
};

const Row kRows[] = {
    {"<$paranum\\>", kFormats, TEXT_MESSAGE, "<:bb \"$paranum\">"},
    {"See <Emphasis\\>this<Default Para Font\\> now", kFormats, TEXT_MESSAGE,
     "See <:cs \"Emphasis\">this<:/cs> now"},
    // The paragraph sign written as a hex escape; with no run open the
    // block stays as it is.
    {"<Default \\xa6  Font\\>plain", kFormats, TEXT_MESSAGE, "<:bb \"Default \xB6 Font\">plain"},
    {"<Emphasis\\>a<Default \\xa6  Font\\>b", kFormats, TEXT_MESSAGE, "<:cs \"Emphasis\">a<:/cs>b"},
    // A format that follows another closes it; one left open is closed.
    {"<A\\>x<B\\>y", kFormats, TEXT_MESSAGE, "<:cs \"A\">x<:/cs><:cs \"B\">y<:/cs>"},
    {"<header1\\>", kFormats, TEXT_MESSAGE, "<:cs \"header1\"><:/cs>"},
    // Numbering formats know no character formats.
    {"H:<n\\>.<n+\\>\\\\t", 0, TEXT_MESSAGE, "H:<:bb \"n\">.<:bb \"n+\"><:t>"},
    {"<Emphasis\\>x", 0, TEXT_MESSAGE, "<:bb \"Emphasis\">x"},
    {"\\xd2 <$paratext\\>\\xd3  on page\\x11 <$pagenum\\>", kFormats, TEXT_MESSAGE,
     "\x93<:bb \"$paratext\">\x94 on page<:hs><:bb \"$pagenum\">"},
    // A bracket that closes nothing is text.
    {"a < b", kFormats, TEXT_CONTENT, "a <:lt> b"},
    {"a \\> b", kFormats, TEXT_CONTENT, "a <:gt> b"},
    {"", kFormats, TEXT_CONTENT, ""},
    // Index markers: entries, levels, sort strings and literal separators.
    {"a;b:c[d:e]", kIndex, TEXT_CONTENT, "a<ie>b<il>c<ss>d<sl>e]"},
    {"x\\\\:y\\\\;z\\\\[w", kIndex, TEXT_CONTENT, "x:y;z[w"},
    {"undefined\\\\:\\\\nx", kIndex, TEXT_CONTENT, "undefined:\\nx"},
    {"<$startrange\\>library calls;<$startrange\\>calls, library", kIndex, TEXT_CONTENT,
     "<:bb \"$startrange\">library calls<ie><:bb \"$startrange\">calls, library"},
    {"<Emphasis\\>a:b", kIndex, TEXT_CONTENT, "<:cs \"Emphasis\">a<:/cs><il>b"},
    // Outside index markers the separators are text.
    {"a;b:c[d]", kFormats, TEXT_CONTENT, "a;b:c[d]"},
};

TEST(MarkerTextConverterTest, ConvertsEachRow) {
  CQ_TextSettings settings;
  const CQ_TextConverter text(settings);
  for (const Row& row : kRows) {
    const CQ_MarkerTextConverter converter(text, row.textFlags);
    std::string joined;
    for (const auto& piece : converter.ast_Convert(row.raw, row.options)) joined += piece.cs_Text;
    EXPECT_EQ(row.expected, joined) << "input: " << row.raw;
  }
}

TEST(MarkerTextConverterTest, TagsCarryTheMIFTheyStandFor) {
  const CQ_TextConverter text{CQ_TextSettings()};
  const CQ_MarkerTextConverter converter(text, TEXT_MESSAGE);
  const auto pieces = converter.ast_Convert("<Emphasis\\>x<Default \\xa6  Font\\>;<$pagenum\\>", kIndex);
  ASSERT_EQ(5u, pieces.size());
  EXPECT_TRUE(pieces[0].b_Tag);
  EXPECT_EQ("<Emphasis\\>", pieces[0].cs_MIF);
  EXPECT_FALSE(pieces[1].b_Tag);
  EXPECT_EQ("x", pieces[1].cs_Text);
  EXPECT_EQ("<:/cs>", pieces[2].cs_Text);  // the default font closes the run
  EXPECT_EQ("<ie>", pieces[3].cs_Text);
  EXPECT_EQ(";", pieces[3].cs_MIF);
  EXPECT_EQ("<$pagenum\\>", pieces[4].cs_MIF);
}

TEST(MarkerTextConverterTest, DoubleByteSecondByteIsNoEscape) {
  CQ_TextSettings settings;
  settings.i_SourceCodePage = 932;
  const CQ_TextConverter text(settings);
  const CQ_MarkerTextConverter converter(text, TEXT_CONTENT);
  // 0x95 0x5C is one Shift-JIS character; the "\x3a " after it is a colon.
  std::string joined;
  for (const auto& piece : converter.ast_Convert("\x95\\:a", kIndex)) joined += piece.cs_Text;
  EXPECT_EQ("\x95\\<il>a", joined);
}

TEST(MarkerTextConverterTest, CountsFrameMakerCharacters) {
  const CQ_TextConverter text{CQ_TextSettings()};
  const CQ_MarkerTextConverter converter(text, TEXT_CONTENT);
  EXPECT_EQ(4u, converter.n_CharacterCount("ab\\xd2 c"));
  EXPECT_EQ(2u, converter.n_CharacterCount("\\\\:"));
  EXPECT_EQ(0u, converter.n_CharacterCount(""));
}

// --- the one-pass converter against a plain unit-by-unit reading ----------------
//
// The reference cuts the whole string into units first and then reads the
// syntax unit by unit, the simplest form of the rules. The converter skips
// stretches of plain bytes without decoding them; every string built from
// the tokens below (plain text next to each byte the syntax reads, escapes
// that decode to syntax, double-byte characters whose second byte is a
// backslash) must give the same pieces.

struct RefUnit {
  std::size_t begin;
  std::size_t end;
  int decoded;  // -1: no single character
};

std::vector<RefUnit> RefUnits(std::string_view raw, int codePage) {
  std::vector<RefUnit> units;
  const bool doubleByte = CQ_TextConverter::sb_IsDoubleByteCodePage(codePage);
  std::size_t i = 0;
  while (i < raw.size()) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (doubleByte && i + 1 < raw.size() && CQ_TextConverter::sb_IsLeadByte(codePage, c)) {
      units.push_back({i, i + 2, -1});
      i += 2;
    } else if (c != '\\' || i + 1 == raw.size()) {
      units.push_back({i, i + 1, c});
      i += 1;
    } else if (raw[i + 1] == 'x' || raw[i + 1] == 'X') {
      std::size_t j = i + 2;
      int value = 0;
      while (j < raw.size() && j < i + 10 && std::isxdigit(static_cast<unsigned char>(raw[j]))) {
        value = value * 16 + std::stoi(std::string(1, raw[j]), nullptr, 16);
        ++j;
      }
      if (j == i + 2 || value > 0xFF) {
        units.push_back({i, j, -1});
      } else {
        if (j < raw.size() && raw[j] == ' ') ++j;
        units.push_back({i, j, value});
      }
      i = j;
    } else {
      const std::string_view known = "\\>tQq";
      const std::string_view values = "\\>\t`'";
      const std::size_t at = known.find(raw[i + 1]);
      units.push_back({i, i + 2, at == std::string_view::npos ? -1 : values[at]});
      i += 2;
    }
  }
  return units;
}

std::vector<CQ_MarkerTextConverter::st_Piece> RefConvert(const CQ_TextConverter& text, unsigned textFlags,
                                                        std::string_view raw, unsigned options) {
  const bool formats = (options & CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS) != 0;
  const bool index = (options & CQ_MarkerTextConverter::MARKER_INDEX) != 0;
  const std::vector<RefUnit> units = RefUnits(raw, text.rst_GetSettings().i_SourceCodePage);
  std::vector<CQ_MarkerTextConverter::st_Piece> pieces;
  std::string pending;
  bool literalOpen = false;
  std::size_t literalBegin = 0;
  std::size_t literalEnd = 0;
  auto flushLiteral = [&] {
    if (literalOpen) pending += text.ccs_Convert(raw.substr(literalBegin, literalEnd - literalBegin), textFlags);
    literalOpen = false;
  };
  auto literal = [&](const RefUnit& u) {
    if (literalOpen && literalEnd == u.begin) {
      literalEnd = u.end;
      return;
    }
    flushLiteral();
    literalOpen = true;
    literalBegin = u.begin;
    literalEnd = u.end;
  };
  auto tag = [&](std::string tagText, std::string mif) {
    flushLiteral();
    if (!pending.empty()) pieces.push_back({false, pending, ""});
    pending.clear();
    pieces.push_back({true, std::move(tagText), std::move(mif)});
  };
  bool run = false;
  bool sortString = false;
  auto closeRun = [&] {
    if (run) tag("<:/cs>", "");
    run = false;
  };
  for (std::size_t k = 0; k < units.size(); ++k) {
    const RefUnit& u = units[k];
    const std::string_view escapable = ":;[]<>\\";
    if (index && u.decoded == '\\' && k + 1 < units.size() && units[k + 1].decoded > 0 &&
        escapable.find(static_cast<char>(units[k + 1].decoded)) != std::string_view::npos) {
      literal(units[++k]);
      continue;
    }
    if (u.decoded == '<') {
      std::size_t close = k + 1;
      while (close < units.size() && units[close].decoded != '>') ++close;
      if (close < units.size()) {
        std::string decoded;
        for (std::size_t j = k + 1; j < close; ++j) {
          if (units[j].decoded < 0) {
            decoded += raw.substr(units[j].begin, units[j].end - units[j].begin);
          } else {
            decoded += static_cast<char>(units[j].decoded);
          }
        }
        const std::string name = text.ccs_Convert(raw.substr(u.end, units[close].begin - u.end), TEXT_NAME);
        const std::string mif(raw.substr(u.begin, units[close].end - u.begin));
        const bool defaultFont = CQ_MarkerTextConverter::sb_IsDefaultFontName(decoded);
        if (!formats || (!decoded.empty() && decoded[0] == '$') || (defaultFont && !run)) {
          tag("<:bb \"" + name + "\">", mif);
        } else if (defaultFont) {
          closeRun();
        } else {
          closeRun();
          tag("<:cs \"" + name + "\">", mif);
          run = true;
        }
        k = close;
        continue;
      }
    }
    if (index && u.decoded == ';') {
      sortString = false;
      closeRun();
      tag("<ie>", ";");
    } else if (index && u.decoded == ':') {
      closeRun();
      tag(sortString ? "<sl>" : "<il>", ":");
    } else if (index && u.decoded == '[' && !sortString) {
      sortString = true;
      closeRun();
      tag("<ss>", "[");
    } else {
      if (index && u.decoded == ']') sortString = false;
      literal(u);
    }
  }
  closeRun();
  flushLiteral();
  if (!pending.empty()) pieces.push_back({false, pending, ""});
  return pieces;
}

std::string Describe(const std::vector<CQ_MarkerTextConverter::st_Piece>& pieces) {
  std::string out;
  for (const auto& p : pieces) out += (p.b_Tag ? "[tag " : "[text ") + p.cs_Text + " | " + p.cs_MIF + "]";
  return out;
}

TEST(MarkerTextConverterTest, AgreesWithUnitByUnitReading) {
  // Plain text, each byte the syntax reads, escapes that decode to syntax or
  // to nothing, a lone backslash, a lead byte (code pages 932 and 936) and
  // 0xA6 (a lead byte in 936 only).
  const std::vector<std::string> tokens = {"a",  ";",      ":",     "[",    "]",  "<",   ">",
                                           "\\>", "\\\\",  "\\x3a ", "\\x3c", "\\xzz", "\\",   "$n",
                                           "\x95", "\xA6", "Default Para Font"};
  const unsigned optionSets[] = {0u, CQ_MarkerTextConverter::MARKER_INDEX, kFormats, kIndex};
  std::vector<std::string> inputs = {""};
  for (const auto& a : tokens) {
    inputs.push_back(a);
    for (const auto& b : tokens) {
      inputs.push_back(a + b);
      for (const auto& c : tokens) inputs.push_back(a + b + c);
    }
  }
  inputs.push_back("<Emphasis\\>x:y<Default \\xa6  Font\\>z;w[v:u]t\\\\:s");
  inputs.push_back("\x95\\<b\\>c\xA6\\>d");
  int compared = 0;
  for (const int codePage : {1252, 932, 936}) {
    CQ_TextSettings settings;
    settings.i_SourceCodePage = codePage;
    const CQ_TextConverter text(settings);
    for (const unsigned textFlags : {unsigned(TEXT_CONTENT), unsigned(TEXT_MESSAGE)}) {
      const CQ_MarkerTextConverter converter(text, textFlags);
      for (const unsigned options : optionSets) {
        for (const std::string& raw : inputs) {
          const std::string expected = Describe(RefConvert(text, textFlags, raw, options));
          const std::string actual = Describe(converter.ast_Convert(raw, options));
          ASSERT_EQ(expected, actual) << "input: \"" << raw << "\" code page " << codePage << " options "
                                      << options << " text flags " << textFlags;
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, 100000);
}

}  // namespace
