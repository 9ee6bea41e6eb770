// Table-driven cases of the text conversion: escapes, hex codes, quote
// rules in both character sets, the after-pass, quote straightening, named
// characters and double-byte protection.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"
#include "support/TestFiles.h"

namespace {

// Bytes of 128 and more, and control bytes, shown as <HH> in failure
// messages.
using morvane_test::Visible;

CQ_TextSettings Settings(bool symbol, int quotes, int codePage, const char* language) {
  CQ_TextSettings s;
  s.b_SymbolCharacterSet = symbol;
  s.i_SmartQuotes = quotes;
  s.i_SourceCodePage = codePage;
  s.cs_SourceLanguage = language;
  return s;
}

// Settings used by the rows below.
const CQ_TextSettings kTextEn = Settings(false, 0, 1252, "English (US)");
const CQ_TextSettings kTagsEn = Settings(false, 1, 1252, "English (US)");
const CQ_TextSettings kTagsDe = Settings(false, 1, 1252, "German");
const CQ_TextSettings kTextDe = Settings(false, 0, 1252, "German");
const CQ_TextSettings kSymTagsEn = Settings(true, 1, 1252, "English (US)");
const CQ_TextSettings kSymTagsCz = Settings(true, 1, 1250, "Czech");
const CQ_TextSettings kSymTextCz = Settings(true, 0, 1250, "Czech");
const CQ_TextSettings kSymTagsRu = Settings(true, 1, 1251, "Russian");
const CQ_TextSettings kSymTagsJa = Settings(true, 1, 932, "Japanese");
const CQ_TextSettings kJa = Settings(false, 1, 932, "Japanese");
const CQ_TextSettings kJaText = Settings(false, 0, 932, "Japanese");
const CQ_TextSettings kZhCn = Settings(false, 0, 936, "Chinese (Simplified)");
const CQ_TextSettings kKo = Settings(false, 0, 949, "Korean");
const CQ_TextSettings kZhTw = Settings(false, 0, 950, "Chinese (Traditional)");
const CQ_TextSettings kNoPage = Settings(false, 0, 0, "");

struct Case {
  const char* what;
  const CQ_TextSettings* settings;
  unsigned flags;
  std::string input;   // MIF string content
  std::string expect;  // KWX text
};

std::string Describe(const Case& c) {
  return std::string(c.what) + ": input `" + Visible(c.input) + "' (code page " +
         std::to_string(c.settings->i_SourceCodePage) + (c.settings->b_SymbolCharacterSet ? ", Symbol" : ", Normal") +
         (c.settings->i_SmartQuotes ? ", As Tags" : ", As Text") + ", language " + c.settings->cs_SourceLanguage +
         ", flags " + std::to_string(c.flags) + ")";
}

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const std::string got = ccs_ConvertMIFText(c.input, *c.settings, c.flags);
    EXPECT_EQ(Visible(c.expect), Visible(got)) << Describe(c);
  }
}

TEST(TextConverterTest, EscapesOfStringContent) {
  RunCases({
      {"plain text", &kTextEn, TEXT_CONTENT, "Hello, world", "Hello, world"},
      {"less-than", &kTextEn, TEXT_CONTENT, "a<b", "a<:lt>b"},
      {"escaped greater-than", &kTextEn, TEXT_CONTENT, "a\\>b", "a<:gt>b"},
      {"unescaped greater-than is still a tag", &kTextEn, TEXT_CONTENT, "a>b", "a<:gt>b"},
      {"tab escape", &kTextEn, TEXT_CONTENT, "x\\ty", "x<:t>y"},
      {"backquote escape", &kTextEn, TEXT_CONTENT, "\\Qcode\\q", "`code'"},
      {"escaped backslash", &kTextEn, TEXT_CONTENT, "C:\\\\dir", "C:\\dir"},
      {"two escaped backslashes", &kTextEn, TEXT_CONTENT, "\\\\\\\\", "\\\\"},
      {"unknown escape keeps its backslash", &kTextEn, TEXT_CONTENT, "\\z\\ ", "\\z\\ "},
      {"backslash before less-than", &kTextEn, TEXT_CONTENT, "\\<", "\\<:lt>"},
      {"backslash at the end", &kTextEn, TEXT_CONTENT, "end\\", "end\\"},
      {"markup-like text", &kTextEn, TEXT_CONTENT, "<$paranum\\>", "<:lt>$paranum<:gt>"},
      {"empty", &kTextEn, TEXT_CONTENT, "", ""},
  });
}

TEST(TextConverterTest, EscapesInAnAsianFontAreCodePageBytes) {
  const unsigned raw = TEXT_CONTENT | TEXT_RAW_ESCAPES;
  RunCases({
      // "Nihongo" as MIF 7.0 writes it in a Shift-JIS font: each byte an
      // escape, or an escaped lead byte and a raw second byte.
      {"escaped pairs and a raw second byte", &kJaText, raw, "\\x93 \\xfa \\x96 {\\x8c \\xea ",
       "\x93\xfa\x96{\x8c\xea"},
      {"a backslash after an escaped lead byte starts an escape", &kJaText, raw, "\\x95 \\x5c a", "\x95\\a"},
      {"an escaped second byte backslash", &kJaText, raw, "\\x95 \\\\b", "\x95\\b"},
      {"raw pairs stay as they are", &kJaText, raw, "\x93\xfa<", "\x93\xfa<:lt>"},
      {"escapes below 0x80 are FrameMaker codes", &kJaText, raw, "a\\x11 b\\x09 ", "a<:hs>b<:hr>"},
      {"other double-byte pages", &kZhCn, raw, "\\xd6 \\xd0 ", "\xd6\xd0"},
      // Without the flag, or in a single-byte page, escapes are FrameMaker
      // codes as always.
      // (É is no character of code page 932: its tag; the left double quote
      // is the code page's own.)
      {"FrameMaker codes without the flag", &kJaText, TEXT_CONTENT, "\\x83 \\xd2 ", "<:ch 83>\x81\x67"},
      {"single-byte pages ignore the flag", &kTextEn, raw, "\\x83 \\x9f ", "\xc9\xfc"},
  });
}

TEST(TextConverterTest, HexEscapes) {
  RunCases({
      {"ASCII code", &kTextEn, TEXT_CONTENT, "\\x41 B", "AB"},
      {"blank ends the escape and is consumed", &kTextEn, TEXT_CONTENT, "\\x41  B", "A B"},
      {"upper-case digits and marker", &kTextEn, TEXT_CONTENT, "\\XC4 \\xc4 ", "\x83\x83"},
      {"code of less-than", &kTextEn, TEXT_CONTENT, "\\x3c \\x3e ", "<:lt><:gt>"},
      {"FrameMaker A-umlaut", &kTextEn, TEXT_CONTENT, "\\x80 ", "\xC4"},
      {"dagger", &kTextEn, TEXT_CONTENT, "\\xa0 ", "\x86"},
      {"bullet", &kTextEn, TEXT_CONTENT, "\\xa5 ", "\x95"},
      {"en dash and em dash", &kTextEn, TEXT_CONTENT, "\\xd0 \\xd1 ", "\x96\x97"},
      {"reserved 0xA1 As Text", &kTextEn, TEXT_CONTENT, "\\xa1 ", "<:r30>"},
      {"reserved 0xA1 As Tags", &kTagsEn, TEXT_CONTENT, "\\xa1 ", "<:r30>"},
      {"reserved 0x7F", &kTextEn, TEXT_CONTENT, "\\x7f ", "<:r1>"},
      {"reserved 0xFF and 0xDA", &kTextEn, TEXT_CONTENT, "\\xff \\xda ", "<:r38><:r39>"},
      {"discretionary hyphen", &kTextEn, TEXT_CONTENT, "\\x04 ", "<:dh>"},
      {"hard return", &kTextEn, TEXT_CONTENT, "a\\x09 b", "a<:hr>b"},
      {"hard space", &kTextEn, TEXT_CONTENT, "\\x11 ", "<:hs>"},
      {"hard hyphen", &kTextEn, TEXT_CONTENT, "\\x15 ", "<:hh>"},
      {"control code without tag", &kTextEn, TEXT_CONTENT, "a\\x01 \\x1f b", "ab"},
      {"escape ended by the end of the text", &kTextEn, TEXT_CONTENT, "x\\xd1", "x\x97"},
      {"escape ended by a non-hex byte", &kTextEn, TEXT_CONTENT, "\\xd1-", "\x97-"},
      {"escape without digits stays text", &kTextEn, TEXT_CONTENT, "\\xzz ", "\\xzz "},
      {"escape over 255 stays text", &kTextEn, TEXT_CONTENT, "\\x1d2 ", "\\x1d2 "},
      {"leading zeros", &kTextEn, TEXT_CONTENT, "\\x0041 ", "A"},
  });
}

// FrameMaker codes 0xC7, 0xC8, 0xD2 to 0xD5, 0xE3 under each quote rule.
TEST(TextConverterTest, SmartQuotesNormalCharacterSet) {
  RunCases({
      {"0xD2 As Tags", &kTagsEn, TEXT_CONTENT, "\\xd2 ", "<:ldq>"},
      {"0xD2 As Tags German", &kTagsDe, TEXT_CONTENT, "\\xd2 ", "<:grq>"},
      {"0xD2 As Text", &kTextEn, TEXT_CONTENT, "\\xd2 ", "\x93"},
      {"0xD2 As Text German", &kTextDe, TEXT_CONTENT, "\\xd2 ", "\x93"},
      {"0xD3 As Tags", &kTagsEn, TEXT_CONTENT, "\\xd3 ", "<:rdq>"},
      {"0xD3 As Tags German", &kTagsDe, TEXT_CONTENT, "\\xd3 ", "<:rdq>"},
      {"0xD4 0xD5 As Tags", &kTagsEn, TEXT_CONTENT, "\\xd4 x\\xd5 ", "<:lq>x<:rq>"},
      {"0xD4 0xD5 As Text", &kTextEn, TEXT_CONTENT, "\\xd4 x\\xd5 ", "\x91x\x92"},
      {"0xE3 As Tags", &kTagsEn, TEXT_CONTENT, "\\xe3 ", "<:glq>"},
      {"0xE3 As Tags German", &kTagsDe, TEXT_CONTENT, "\\xe3 ", "<:glq>"},
      {"0xE3 As Text", &kTextEn, TEXT_CONTENT, "\\xe3 ", "\x84"},
      {"guillemets As Tags", &kTagsEn, TEXT_CONTENT, "\\xc7 x\\xc8 ", "<:flq>x<:frq>"},
      {"guillemets As Text", &kTextEn, TEXT_CONTENT, "\\xc7 x\\xc8 ", "\xABx\xBB"},
      {"German sentence", &kTagsDe, TEXT_CONTENT, "\\xe3 Ja\\xd2 ", "<:glq>Ja<:grq>"},
      {"quote tags regardless of code page", &kJa, TEXT_CONTENT, "\\xd2 ", "<:ldq>"},
      {"straight quotes stay", &kTagsEn, TEXT_CONTENT, "\"x\" \\q", "\"x\" '"},
  });
}

// In the Symbol character set hex codes are bytes of the source code page;
// the quote bytes are those of the Windows code pages.
TEST(TextConverterTest, SmartQuotesSymbolCharacterSet) {
  RunCases({
      {"low double quote", &kSymTagsCz, TEXT_CONTENT, "\\x84 ", "<:glq>"},
      {"left double quote, Czech", &kSymTagsCz, TEXT_CONTENT, "\\x93 ", "<:grq>"},
      {"left double quote, other language", &kSymTagsEn, TEXT_CONTENT, "\\x93 ", "<:ldq>"},
      {"right double quote", &kSymTagsCz, TEXT_CONTENT, "\\x94 ", "<:rdq>"},
      {"single quotes", &kSymTagsRu, TEXT_CONTENT, "\\x91 x\\x92 ", "<:lq>x<:rq>"},
      {"guillemets", &kSymTagsRu, TEXT_CONTENT, "\\xab x\\xbb ", "<:flq>x<:frq>"},
      {"Czech sentence", &kSymTagsCz, TEXT_CONTENT, "\\x84 Ano\\x93 ", "<:glq>Ano<:grq>"},
      {"As Text keeps the bytes", &kSymTextCz, TEXT_CONTENT, "\\x84 Ano\\x93 ", "\x84" "Ano\x93"},
      {"FrameMaker quote codes are plain bytes", &kSymTagsEn, TEXT_CONTENT, "\\xd2 ", "\xD2"},
      {"no quote tags in double-byte pages", &kSymTagsJa, TEXT_CONTENT, "\\x93 ", "\x93"},
      {"bytes are not mapped", &kSymTagsRu, TEXT_CONTENT, "\\xc0 \\xff ", "\xC0\xFF"},
      {"codes below 32 are special characters", &kSymTagsRu, TEXT_CONTENT, "\\x09 \\x08 \\x03 ", "<:hr><:t>"},
      {"code of less-than", &kSymTagsRu, TEXT_CONTENT, "\\x3c ", "<:lt>"},
      {"0xA1 is a byte in Symbol", &kSymTagsRu, TEXT_CONTENT, "\\xa1 ", "\xA1"},
  });
}

TEST(TextConverterTest, AfterPassAndStraightening) {
  RunCases({
      {"backslash blank, content", &kTextEn, TEXT_CONTENT, "A\\\\ B", "A\\ B"},
      {"backslash blank, message", &kTextEn, TEXT_MESSAGE, "A\\\\ B", "A<:hs>B"},
      {"unknown escape blank, name", &kTextEn, TEXT_NAME, "A\\ B", "A<:hs>B"},
      {"backslash hyphen, content", &kTextEn, TEXT_CONTENT, "\\\\-", "\\-"},
      {"backslash hyphen, message", &kTextEn, TEXT_MESSAGE, "\\\\-", "<:sh>"},
      {"backslash r, name", &kTextEn, TEXT_NAME, "a\\\\rb", "a<:hr>b"},
      {"backslash t of a numbering format", &kTextEn, TEXT_NAME, "<n+\\>.\\\\t", "<:lt>n+<:gt>.<:t>"},
      {"other sequence stays", &kTextEn, TEXT_NAME, "\\\\q", "\\q"},
      {"pair is not read twice", &kTextEn, TEXT_NAME, "\\\\\\\\t", "\\\\t"},
      {"lone backslash at the end", &kTextEn, TEXT_NAME, "x\\\\", "x\\"},
      {"straightening in names", &kTextEn, TEXT_NAME, "\\xd2 Hi\\xd3 ", "\"Hi\""},
      {"straightening of low quote and guillemets", &kTextEn, TEXT_NAME, "\\xe3 \\xc7 \\xc8 ", "\"\"\""},
      {"single quotes are not straightened", &kTextEn, TEXT_NAME, "\\xd4 \\xd5 ", "\x91\x92"},
      {"no straightening in messages", &kTextEn, TEXT_MESSAGE, "\\xd2 ", "\x93"},
      {"tags are not straightened", &kTagsEn, TEXT_NAME, "\\xd2 Hi\\xd3 ", "<:ldq>Hi<:rdq>"},
      {"straightening in Symbol", &kSymTextCz, TEXT_NAME, "\\x84 x\\x93 ", "\"x\""},
      {"no straightening in double-byte pages", &kJaText, TEXT_NAME, "\\xd2 ", "\x93"},
      {"code page 0 counts as single-byte", &kNoPage, TEXT_NAME, "\\xd2 ", "\""},
  });
}

// Second bytes of double-byte characters: 0x5C must not start an escape,
// neither in the first pass nor in the after-pass; bytes that cannot be
// second bytes end the character.
TEST(TextConverterTest, DoubleByteProtection) {
  RunCases({
      {"932 trail 0x5C is copied", &kJaText, TEXT_CONTENT, "\x83\x5c" "abc", "\x83\x5c" "abc"},
      {"932 trail 0x5C before an escape", &kJaText, TEXT_CONTENT, "\x83\x5c\\>", "\x83\x5c<:gt>"},
      {"932 trail 0x5C followed by t", &kJaText, TEXT_CONTENT, "\x95\x5ct", "\x95\x5ct"},
      {"1252 the same bytes are an escape", &kTextEn, TEXT_CONTENT, "\x83\\t", "\x83<:t>"},
      {"932 trail 0x5C twice", &kJaText, TEXT_CONTENT, "\x83\x5c\x83\x5c\\t", "\x83\x5c\x83\x5c<:t>"},
      {"932 after-pass skips the trail", &kJaText, TEXT_NAME, "\x83\x5c-\x83\x5c ", "\x83\x5c-\x83\x5c "},
      {"932 after-pass after the character", &kJaText, TEXT_NAME, "\x83\x5c\\\\-", "\x83\x5c<:sh>"},
      {"932 trail with lead value", &kJaText, TEXT_CONTENT, "\x88\x9f\\>", "\x88\x9f<:gt>"},
      {"932 half-width katakana is single", &kJaText, TEXT_CONTENT, "\xb1\\>", "\xb1<:gt>"},
      {"932 lead before less-than", &kJaText, TEXT_CONTENT, "\x83<\\>", "\x83<:lt><:gt>"},
      {"932 lead at the end", &kJaText, TEXT_CONTENT, "ab\x83", "ab\x83"},
      {"932 ASCII trail", &kJaText, TEXT_CONTENT, "\x82\x60\\t", "\x82\x60<:t>"},
      {"936 trail 0x5C", &kZhCn, TEXT_CONTENT, "\x81\x5c\\t", "\x81\x5c<:t>"},
      {"950 trail 0x5C", &kZhTw, TEXT_CONTENT, "\xa5\x5c\\t", "\xa5\x5c<:t>"},
      {"950 0x5C after 0xA1 0x40", &kZhTw, TEXT_CONTENT, "\xa1\x40\\t", "\xa1\x40<:t>"},
      {"949 0x5C is never a trail", &kKo, TEXT_CONTENT, "\xb0\\t", "\xb0<:t>"},
      {"949 ordinary character", &kKo, TEXT_CONTENT, "\xb0\xa1\\t", "\xb0\xa1<:t>"},
      {"932 Symbol escaped lead and trail", &kSymTagsJa, TEXT_NAME, "\\x83 \\x5c -", "\x83\x5c-"},
      {"932 Symbol escaped lead, escaped trail", &kSymTagsJa, TEXT_CONTENT, "\\x83 \\\\", "\x83\\"},
      {"932 Symbol lead, escaped trail, lead, trail", &kSymTagsJa, TEXT_CONTENT, "\\x84 \\\\\\x84 ]", "\x84\x5c\x84]"},
      {"932 Symbol after-pass keeps an escaped trail", &kSymTagsJa, TEXT_NAME, "\\x84 \\\\-", "\x84\x5c-"},
      {"932 Symbol backquote trail", &kSymTagsJa, TEXT_CONTENT, "\\x84 \\Q", "\x84`"},
  });
}

TEST(TextConverterTest, NamedCharacters) {
  struct Row {
    const char* name;
    const CQ_TextSettings* settings;
    std::string expect;
  };
  const Row rows[] = {
      {"EmDash", &kTextEn, "\x97"},     {"EnDash", &kTextEn, "\x96"},      {"Tab", &kTextEn, "<:t>"},
      {"HardReturn", &kTextEn, "<:hr>"}, {"HardSpace", &kTextEn, "<:hs>"}, {"SoftHyphen", &kTextEn, "<:sh>"},
      {"DiscHyphen", &kTextEn, "<:dh>"}, {"NoHyphen", &kTextEn, "<:nh>"},  {"NumberSpace", &kTextEn, "<:ns>"},
      {"ThinSpace", &kTextEn, "<:ts>"},  {"EnSpace", &kTextEn, "<:ens>"},  {"EmSpace", &kTextEn, "<:ems>"},
      {"HardHyphen", &kTextEn, "<:hh>"}, {"Dagger", &kTextEn, "\x86"},     {"DoubleDagger", &kTextEn, "\x87"},
      {"Cent", &kTextEn, "\xa2"},        {"Pound", &kTextEn, "\xa3"},      {"Bullet", &kTextEn, "\x95"},
      {"Yen", &kTextEn, "\xa5"},         {"EmDash", &kSymTagsRu, "\xd1"},  {"Tab", &kSymTagsRu, "<:t>"},
      {"Bogus", &kTextEn, ""},           {"emdash", &kTextEn, ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Visible(row.expect), Visible(CQ_TextConverter(*row.settings).ccs_ConvertNamedCharacter(row.name)))
        << "Char " << row.name << (row.settings->b_SymbolCharacterSet ? " (Symbol)" : " (Normal)");
  }
  EXPECT_EQ("\\xd1 ", CQ_TextConverter::scs_NamedCharacterEscape("EmDash"));
  EXPECT_EQ("\\x04 ", CQ_TextConverter::scs_NamedCharacterEscape("DiscHyphen"));
  EXPECT_EQ("", CQ_TextConverter::scs_NamedCharacterEscape("Return"));
}

TEST(TextConverterTest, InterfacesAgree) {
  const std::string mif = "\\xd2 a\\\\ b<\\xd3 ";
  CQ_TextConverter converter(kTagsDe);
  std::string inOut = mif;
  converter.v_Convert(inOut, TEXT_NAME);
  std::string appended = "prefix";
  converter.v_AppendConverted(mif, TEXT_NAME, appended);
  EXPECT_EQ("<:grq>a<:hs>b<:lt><:rdq>", inOut);
  EXPECT_EQ("prefix" + inOut, appended);
  EXPECT_EQ(inOut, ccs_ConvertMIFText(mif, kTagsDe, TEXT_NAME));
}

// Plain runs are passed over many bytes at a time: a special byte at every
// place of texts of every length up to past two such steps is found.
TEST(TextConverterTest, SpecialBytesAtEveryPlace) {
  for (std::size_t length = 1; length <= 40; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (const auto& [special, converted] : {std::pair<char, std::string>{'<', "<:lt>"}, {'>', "<:gt>"},
                                               {'\\', "\\"}}) {
        std::string input(length, 'a');
        input[at] = special;
        // A backslash before the last byte escapes an 'a' and keeps itself.
        const std::string expect = input.substr(0, at) + converted + input.substr(at + 1);
        EXPECT_EQ(Visible(expect), Visible(ccs_ConvertMIFText(input, kTextEn, TEXT_CONTENT)))
            << "length " << length << ", at " << at;
      }
    }
  }
}

// Whatever the bytes, the output holds no "<" or ">" outside well-formed
// internal tags, so the KWX line stays parseable.
TEST(TextConverterTest, OutputIsAlwaysWellFormed) {
  const CQ_TextSettings* all[] = {&kTextEn, &kTagsDe, &kSymTagsCz, &kJa, &kKo, &kZhTw};
  std::string input;
  unsigned seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    input.clear();
    const int length = static_cast<int>(seed % 24);
    for (int i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      static const char kInteresting[] = "\\<>x Qqt-r0d2\x83\x5c\x81\xa5";
      const unsigned pick = (seed >> 16) % 40;
      input.push_back(pick < sizeof(kInteresting) - 1 ? kInteresting[pick] : static_cast<char>(seed >> 8));
    }
    for (const CQ_TextSettings* settings : all) {
      for (unsigned flags : {TEXT_CONTENT, TEXT_NAME, TEXT_MESSAGE}) {
        const std::string out = ccs_ConvertMIFText(input, *settings, flags);
        for (const KWX::st_Token& token : KWX::sast_Tokenize(out)) {
          ASSERT_NE(KWX::TOKEN_UNCLOSED_TAG, token.et_Kind) << Visible(input) << " -> " << Visible(out);
          if (token.et_Kind == KWX::TOKEN_TAG) {
            ASSERT_TRUE(KWX::b_IsInternalTag(token.cs_Text)) << Visible(input) << " -> " << Visible(out);
          } else {
            ASSERT_EQ(std::string_view::npos, token.cs_Text.find('>')) << Visible(input) << " -> " << Visible(out);
          }
        }
      }
    }
  }
}

// Text is taken as it is exactly when it holds no backslash or bracket, in
// a single-byte code page, for flags without the after pass or quote
// straightening; such text converts to itself. Every length up to a few
// sixteen-byte steps, a special byte anywhere or nowhere.
TEST(TextConverterTest, TextTakenAsItIsExactlyWithoutBackslashOrBracket) {
  const CQ_TextConverter single(kTextEn);
  const CQ_TextConverter doubleByte(Settings(false, 0, 932, "Japanese"));
  std::mt19937 random(1209);
  const char plain[] = {'a', ' ', 'Z', '\x92', '\'', '`', '0', '#'};
  const char special[] = {'\\', '<', '>'};
  for (std::size_t size = 0; size <= 50; ++size) {
    for (int round = 0; round < 40; ++round) {
      std::string text;
      for (std::size_t k = 0; k < size; ++k) text.push_back(plain[random() % sizeof plain]);
      if (size > 0 && round % 2 == 1) text[random() % size] = special[random() % sizeof special];
      const bool hasSpecial = text.find_first_of("\\<>") != std::string::npos;
      ASSERT_EQ(single.b_AsItIs(text, TEXT_CONTENT), !hasSpecial) << '"' << text << '"';
      EXPECT_FALSE(single.b_AsItIs(text, TEXT_NAME));
      EXPECT_FALSE(single.b_AsItIs(text, TEXT_MESSAGE));
      EXPECT_FALSE(doubleByte.b_AsItIs(text, TEXT_CONTENT));
      if (!hasSpecial) {
        EXPECT_EQ(single.ccs_Convert(text, TEXT_CONTENT), text);
      }
    }
  }
}

}  // namespace
