// Marker and format text: building blocks, character formats, the default
// font, index separators and their backslash escapes, and the text
// conversion of everything else.
#include <gtest/gtest.h>

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

}  // namespace
