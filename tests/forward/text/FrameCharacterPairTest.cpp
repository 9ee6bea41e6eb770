// FrameMaker characters of Western text in the double-byte code pages 932,
// 936, 949 and 950: forward conversion writes the code page's character for
// each (checked here against iconv, independently of the converter's own
// table) or the tag "<:ch NN>", never a byte that a reader of the code page
// takes for the first half of a character; back conversion's Western
// escaping turns either form into the FrameMaker escape it came from; and
// text written before (Windows-1252 bytes) is escaped exactly as the
// escaping without FrameMaker characters escapes it.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>
#include <vector>

#include "kernel/backward/KWXLexicon.h"
#include "kernel/backward/MIFEscaping.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"
#include "support/TestFiles.h"

namespace {

const int kPages[] = {932, 936, 949, 950};

using morvane_test::Visible;

// Bytes in one code page converted into another through iconv; empty when
// any of them has no form there.
std::string Iconv(const std::string& bytes, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in = bytes;
  char* ip = in.data();
  std::size_t il = in.size();
  std::string out(in.size() * 4 + 8, '\0');
  char* op = out.data();
  std::size_t ol = out.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
  iconv_close(cd);
  if (!ok) return {};
  out.resize(out.size() - ol);
  return out;
}

std::string PageName(int codePage) { return "CP" + std::to_string(codePage); }

std::string Escape(int code) { return CQ_MIFEscaping::scs_HexEscape(static_cast<unsigned char>(code)); }

CQ_TextSettings Asian(int codePage, bool symbol = false, int quotes = 0) {
  CQ_TextSettings s;
  s.i_SourceCodePage = codePage;
  s.b_SymbolCharacterSet = symbol;
  s.i_SmartQuotes = quotes;
  s.cs_SourceLanguage = codePage == 932 ? "Japanese" : codePage == 949 ? "Korean" : "Chinese (Simplified)";
  return s;
}

// The codes whose Normal-character-set text is one Windows-1252 byte.
std::vector<int> CodesWithAByte() {
  std::vector<int> codes;
  for (int code = 0x80; code <= 0xFF; ++code) {
    if (CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code)).size() == 1) codes.push_back(code);
  }
  return codes;
}

TEST(FrameCharacterPair, EveryCodeBecomesTheCodePagesCharacterOrItsTag) {
  const std::vector<int> codes = CodesWithAByte();
  ASSERT_EQ(codes.size(), 118u);
  for (int page : kPages) {
    int pairs = 0;
    int tags = 0;
    for (int code : codes) {
      SCOPED_TRACE(::testing::Message() << "code page " << page << ", code " << std::hex << code);
      const std::string kwx = ccs_ConvertMIFText(Escape(code), Asian(page));
      const std::string byte1252(CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code)));
      const std::string utf8 = Iconv(byte1252, "CP1252", "UTF-8");
      ASSERT_FALSE(utf8.empty());
      if (kwx == CQ_TextConverter::scs_FrameCharacterTag(static_cast<unsigned char>(code))) {
        // Only when iconv gives no double-byte character that converts
        // back to the same character, or one that old text could spell: a
        // FrameMaker character's Windows-1252 byte and an ASCII byte.
        const std::string bytes = Iconv(utf8, "UTF-8", PageName(page).c_str());
        const bool pair = bytes.size() == 2 && Iconv(bytes, PageName(page).c_str(), "UTF-8") == utf8;
        const bool oldText = pair && static_cast<unsigned char>(bytes[1]) < 0x80 &&
                             Iconv(bytes.substr(0, 1), "CP1252", "UTF-8") != "" &&
                             CQ_TextConverter::si_FrameCodeFor1252Byte(static_cast<unsigned char>(bytes[0])) >= 0x80;
        EXPECT_TRUE(!pair || oldText) << Visible(bytes);
        ++tags;
        continue;
      }
      ASSERT_EQ(kwx.size(), 2u) << Visible(kwx);
      EXPECT_TRUE(CQ_TextConverter::sb_IsLeadByte(page, static_cast<unsigned char>(kwx[0]))) << Visible(kwx);
      EXPECT_TRUE(CQ_TextConverter::sb_IsTrailByte(page, static_cast<unsigned char>(kwx[1]))) << Visible(kwx);
      EXPECT_EQ(Iconv(kwx, PageName(page).c_str(), "UTF-8"), utf8) << Visible(kwx);
      ++pairs;
    }
    // Typographic quotes are characters of every one of them.
    for (int code : {0xD2, 0xD3, 0xD4, 0xD5}) {
      EXPECT_GE(CQ_TextConverter::si_FrameCharacterPair(page, static_cast<unsigned char>(code)), 0)
          << page << " " << std::hex << code;
    }
    EXPECT_GT(pairs, 5) << page;
    EXPECT_EQ(pairs + tags, static_cast<int>(codes.size()));
  }
}

TEST(FrameCharacterPair, NoPairIsACharacterTheVerifierWarnsAbout) {
  // The ranges of the characters FrameMaker on other platforms lacks.
  for (int page : kPages) {
    for (int code = 0x80; code <= 0xFF; ++code) {
      const int pair = CQ_TextConverter::si_FrameCharacterPair(page, static_cast<unsigned char>(code));
      if (pair < 0) continue;
      const int lead = pair >> 8;
      const int trail = pair & 0xFF;
      SCOPED_TRACE(::testing::Message() << page << " " << std::hex << pair);
      EXPECT_EQ(CQ_TextConverter::si_FrameCodeForPair(page, static_cast<unsigned char>(lead),
                                                      static_cast<unsigned char>(trail)),
                code);
      if (page == 932) {
        EXPECT_TRUE(lead != 0xED && lead != 0xEE && lead < 0xFA && lead != 0xEA);
      } else if (page == 950) {
        EXPECT_FALSE(lead == 0xF9 && trail >= 0xDD);
      } else {
        EXPECT_FALSE(lead >= 0x81 && lead <= 0xA0 && lead != 0x90);
      }
    }
  }
}

TEST(FrameCharacterPair, WesternEscapingGivesEveryCodeBack) {
  for (int page : kPages) {
    const CQ_MIFEscaping base(false, page);
    const CQ_MIFEscaping text = CQ_MIFEscaping::sco_WesternText(base);
    const CQ_MIFEscaping bytes = CQ_MIFEscaping::sco_WesternBytes(page);
    EXPECT_EQ(text.i_FrameCharacterCodePage(), page);
    EXPECT_EQ(base.i_FrameCharacterCodePage(), 0);
    for (int code : CodesWithAByte()) {
      SCOPED_TRACE(::testing::Message() << "code page " << page << ", code " << std::hex << code);
      // Text around the character, so that it stands between letters and
      // the pieces around it are escaped too.
      const std::string mif = "a" + Escape(code) + "b'c";
      const std::string kwx = ccs_ConvertMIFText(mif, Asian(page));
      for (const CQ_MIFEscaping* escaping : {&text, &bytes}) {
        std::string out;
        for (const KWX::st_Token& t : KWX::sast_Tokenize(kwx)) {
          if (t.et_Kind == KWX::TOKEN_TEXT) {
            escaping->n_Append(t.cs_Text, out);
          } else {
            ASSERT_TRUE(escaping->b_CharacterTag(t.cs_Text, out)) << t.cs_Text;
          }
        }
        EXPECT_EQ(out, "a" + Escape(code) + "b\\x27 c");
      }
    }
  }
}

TEST(FrameCharacterPair, TextWrittenBeforeIsEscapedAsBefore) {
  // A Windows-1252 byte followed by a letter, a digit, a blank or
  // punctuation: what KWX files held before FrameMaker characters became
  // code-page characters. No such sequence reads as a FrameMaker
  // character, so the output is the one the escapings without them give.
  for (int page : kPages) {
    const CQ_MIFEscaping base(false, page);
    const CQ_MIFEscaping text = CQ_MIFEscaping::sco_WesternText(base);
    const CQ_MIFEscaping bytes = CQ_MIFEscaping::sco_WesternBytes(page);
    const CQ_MIFEscaping western(false, 1252);
    for (int code : CodesWithAByte()) {
      const char b = CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code))[0];
      for (int next = 0x20; next < 0x7F; ++next) {
        if (next == '<' || next == '>') continue;
        const std::string old = {'x', b, static_cast<char>(next), 'y', b};
        ASSERT_EQ(text.ccs_Escape(old), base.ccs_Escape(old)) << page << " " << Visible(old);
        ASSERT_EQ(bytes.ccs_Escape(old), western.ccs_Escape(old)) << page << " " << Visible(old);
      }
    }
  }
}

TEST(FrameCharacterPair, OnlyWesternTextOfADoubleBytePageChanges) {
  struct Case {
    const char* what;
    CQ_TextSettings settings;
    unsigned flags;
    std::string mif;
    std::string expected;
  };
  CQ_TextSettings western;
  const std::string emDashPair = Iconv("\xE2\x80\x94", "UTF-8", "CP936");
  ASSERT_EQ(emDashPair.size(), 2u);
  const std::vector<Case> cases = {
      {"single-byte page", western, TEXT_CONTENT, "\\xd1 ", "\x97"},
      {"Asian font", Asian(936), TEXT_CONTENT | TEXT_RAW_ESCAPES, "\\xd1 ", "\xd1"},
      {"Symbol character set", Asian(936, true), TEXT_CONTENT, "\\xd1 ", "\xd1"},
      {"tag argument", Asian(936), TEXT_NAME, "Caf\\x8e ", "Caf\xe9"},
      {"quotes as tags", Asian(936, false, 1), TEXT_CONTENT, "\\xd2 x\\xd3 ", "<:ldq>x<:rdq>"},
      {"string content", Asian(936), TEXT_CONTENT, "a\\xd1 b", "a" + emDashPair + "b"},
      {"format text", Asian(936), TEXT_MESSAGE, "\\xd1 \\ x", emDashPair + "<:hs>x"},
      {"lacking character", Asian(936), TEXT_CONTENT, "na\\x95 ve", "na<:ch 95>ve"},
      {"reserved character", Asian(936), TEXT_CONTENT, "\\xa1 ", "<:r30>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Visible(ccs_ConvertMIFText(c.mif, c.settings, c.flags)), Visible(c.expected)) << c.what;
  }
  EXPECT_EQ(CQ_TextConverter(Asian(932)).ccs_ConvertNamedCharacter("EmDash"),
            ccs_ConvertMIFText("\\xd1 ", Asian(932)));
}

TEST(FrameCharacterPair, TagFormIsReadOnlyWhenWellFormed) {
  const struct {
    std::string tag;
    int code;
  } rows[] = {
      {"<:ch 8a>", 0x8A}, {"<:ch ff>", 0xFF}, {"<:ch 80>", 0x80}, {"<:ch 7f>", -1}, {"<:ch 8A>", -1},
      {"<:ch 8g>", -1},   {"<:ch 8a", -1},    {"<:ch 8ab>", -1},  {"<:c 8a>", -1},  {"<:ch  8a>", -1},
  };
  const CQ_MIFEscaping escaping(false, 936);
  for (const auto& r : rows) {
    EXPECT_EQ(CQ_TextConverter::si_FrameCharacterTagCode(r.tag), r.code) << r.tag;
    std::string out;
    EXPECT_EQ(escaping.b_CharacterTag(r.tag, out), r.code >= 0) << r.tag;
    EXPECT_EQ(out, r.code >= 0 ? Escape(r.code) : "") << r.tag;
  }
  for (int code = 0x80; code <= 0xFF; ++code) {
    const std::string tag = CQ_TextConverter::scs_FrameCharacterTag(static_cast<unsigned char>(code));
    EXPECT_EQ(CQ_TextConverter::si_FrameCharacterTagCode(tag), code);
    EXPECT_EQ(KWX::CQ_KWXLexicon::rst_Lookup(tag).i_TagId, KWX::TAGID_RESERVED_CHARACTER) << tag;
  }
}

}  // namespace
