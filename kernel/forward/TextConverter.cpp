// Text conversion, byte by byte, in two passes.
//
// The first pass is a small state machine (normal, escape, hex) that
// resolves MIF's backslash escapes and maps FrameMaker codes. In double-byte
// code pages it tracks the bytes it copies literally: a byte after a lead
// byte is a second byte, and a second byte 0x5C is copied instead of
// starting an escape. Bytes produced by escapes never start or end a
// character, since FrameMaker escapes each byte of such a character on its
// own ("\x84 \\" is a lead byte and the second byte 0x5C). The optional
// after-pass turns the backslash sequences of format texts into tags; it
// reads its input as a reader of the KWX text would, so a 0x5C that follows
// a lead byte stays, and it straightens typographic double quotes.
//
// The FrameMaker characters of each double-byte code page are found once,
// through Unicode: FrameMaker code, its Windows-1252 byte, that byte's
// Unicode character, the code page's bytes for it; a pair counts only when
// it converts back to the same character, and not when it is a Windows-1252
// byte of a FrameMaker character followed by an ASCII byte, which is how
// such a character and the text after it stood in KWX files written before.
#include "kernel/forward/TextConverter.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "System/String/StringConvert/StringConvert.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/session/Communication.h"

namespace {

// FrameMaker code 0x80 + i to Windows-1252; 0 marks a reserved character,
// whose tag comes from KWX::sast_ReservedCharacters().
constexpr std::array<std::uint8_t, 128> kHighCodes = {
    // 0x80-0x8F
    0xC4, 0xC5, 0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE1, 0xE0, 0xE2, 0xE4, 0xE3, 0xE5, 0xE7, 0xE9, 0xE8,
    // 0x90-0x9F
    0xEA, 0xEB, 0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA, 0xF9, 0xFB, 0xFC,
    // 0xA0-0xAF (0xA1 reserved)
    0x86, 0x00, 0xA2, 0xA3, 0xA7, 0x95, 0xB6, 0xDF, 0xAE, 0xA9, 0x99, 0xB4, 0xA8, 0xA6, 0xC6, 0xD8,
    // 0xB0-0xBF
    0xD7, 0xB1, 0xF0, 0x8A, 0xA5, 0xB5, 0xB9, 0xB2, 0xB3, 0xBC, 0xBD, 0xAA, 0xBA, 0xBE, 0xE6, 0xF8,
    // 0xC0-0xCF
    0xBF, 0xA1, 0xAC, 0xD0, 0x83, 0xDD, 0xFD, 0xAB, 0xBB, 0x85, 0xFE, 0xC0, 0xC3, 0xD5, 0x8C, 0x9C,
    // 0xD0-0xDF (0xDA, 0xDE, 0xDF reserved)
    0x96, 0x97, 0x93, 0x94, 0x91, 0x92, 0xF7, 0xDE, 0xFF, 0x9F, 0x00, 0xA4, 0x8B, 0x9B, 0x00, 0x00,
    // 0xE0-0xEF
    0x87, 0xB7, 0x82, 0x84, 0x89, 0xC2, 0xCA, 0xC1, 0xCB, 0xC8, 0xCD, 0xCE, 0xCF, 0xCC, 0xD3, 0xD4,
    // 0xF0-0xFF (0xF5, 0xF9, 0xFA, 0xFD, 0xFE, 0xFF reserved)
    0x9A, 0xD2, 0xDA, 0xDB, 0xD9, 0x00, 0x88, 0x98, 0xAF, 0x00, 0x00, 0xB0, 0xB8, 0x00, 0x00, 0x00,
};

struct NamedCharacter {
  std::string_view name;
  unsigned char code;
};

constexpr std::array<NamedCharacter, 19> kNamedCharacters = {{
    {"DiscHyphen", 0x04},  {"NoHyphen", 0x05},  {"SoftHyphen", 0x06},  {"Tab", 0x08},
    {"HardReturn", 0x09},  {"NumberSpace", 0x10}, {"HardSpace", 0x11}, {"ThinSpace", 0x12},
    {"EnSpace", 0x13},     {"EmSpace", 0x14},   {"HardHyphen", 0x15},  {"Dagger", 0xA0},
    {"Cent", 0xA2},        {"Pound", 0xA3},     {"Bullet", 0xA5},      {"Yen", 0xB4},
    {"EnDash", 0xD0},      {"EmDash", 0xD1},    {"DoubleDagger", 0xE0},
}};

// The KWX text of every FrameMaker code, built once from the tables above.
struct CodeTable {
  std::array<std::string, 256> text;
  std::array<int, 256> inverse;  // Windows-1252 byte to FrameMaker code

  CodeTable() {
    inverse.fill(-1);
    for (int code = 0x20; code < 0x7F; ++code) {
      text[code] = std::string(1, static_cast<char>(code));
    }
    // "<" and ">" never stand for themselves in KWX text.
    text['<'] = std::string(KWX::TAG_LT);
    text['>'] = std::string(KWX::TAG_GT);
    for (const KWX::st_CharacterTag& special : KWX::sast_SpecialCharacters()) {
      text[special.n_Code] = std::string(special.cs_Tag);
    }
    for (const KWX::st_CharacterTag& reserved : KWX::sast_ReservedCharacters()) {
      text[reserved.n_Code] = std::string(reserved.cs_Tag);
    }
    for (int code = 0x80; code <= 0xFF; ++code) {
      const std::uint8_t byte = kHighCodes[code - 0x80];
      if (byte != 0) {
        text[code] = std::string(1, static_cast<char>(byte));
        inverse[byte] = code;
      }
    }
    for (int code = 0x20; code < 0x7F; ++code) {
      inverse[code] = code;
    }
  }
};

const CodeTable& Codes() {
  static const CodeTable table;
  return table;
}

// The FrameMaker characters of one double-byte code page in both
// directions.
struct FramePairTable {
  std::array<int, 256> pairOfCode;                  // lead << 8 | trail, or -1
  std::array<std::int16_t, 65536> codeOfPair;       // FrameMaker code, or -1

  explicit FramePairTable(int codePage) {
    pairOfCode.fill(-1);
    codeOfPair.fill(-1);
    const auto page = static_cast<std::uint32_t>(codePage);
    // Windows-1252 bytes that stand for FrameMaker characters: the text of
    // Western runs before their characters became the code page's.
    std::array<bool, 256> frameByte{};
    for (int code = 0x80; code <= 0xFF; ++code) {
      const std::string& text = Codes().text[code];
      if (text.size() == 1) frameByte[static_cast<unsigned char>(text[0])] = true;
    }
    for (int code = 0x80; code <= 0xFF; ++code) {
      const std::string& text = Codes().text[code];
      if (text.size() != 1) continue;  // reserved characters keep their tags
      const char16_t unit = CQ_StringConvert::sus_MultiToWide(text[0], 1252);
      if (unit == 0xFFFD || (unit >= 0x80 && unit <= 0x9F)) continue;
      char bytes[8] = {};
      bool usedDefault = false;
      const int n = CQ_StringConvert::si_WideToMulti(bytes, sizeof bytes, &unit, 1, page, '?', &usedDefault);
      if (n != 2 || usedDefault) continue;
      const auto lead = static_cast<unsigned char>(bytes[0]);
      const auto trail = static_cast<unsigned char>(bytes[1]);
      if (!CQ_TextConverter::sb_IsLeadByte(codePage, lead) || !CQ_TextConverter::sb_IsTrailByte(codePage, trail)) {
        continue;
      }
      // Such a byte followed by ASCII text is what a KWX file written
      // before held (a cent sign and an "F" in code page 950); read as one
      // character it would lose the letter.
      if (trail < 0x80 && frameByte[lead]) continue;
      char16_t back[4] = {};
      if (CQ_StringConvert::si_MultiToWide(back, 4, bytes, 2, page) != 1 || back[0] != unit) continue;
      const int pair = lead << 8 | trail;
      if (codeOfPair[static_cast<std::size_t>(pair)] >= 0) continue;  // first code keeps a shared pair
      pairOfCode[static_cast<std::size_t>(code)] = pair;
      codeOfPair[static_cast<std::size_t>(pair)] = static_cast<std::int16_t>(code);
    }
  }
};

// The table of a double-byte code page, built on first use; null for any
// other code page.
const FramePairTable* FramePairs(int codePage) {
  static std::once_flag once[4];
  static const FramePairTable* tables[4] = {};
  int index = -1;
  switch (codePage) {
    case 932: index = 0; break;
    case 936: index = 1; break;
    case 949: index = 2; break;
    case 950: index = 3; break;
    default: return nullptr;
  }
  std::call_once(once[index], [&] { tables[index] = new FramePairTable(codePage); });
  return tables[index];
}

// Longest digit run collected for one hex escape; longer runs are kept as
// text rather than read as a number.
constexpr std::size_t kMaxHexDigits = 8;

// One conversion's first pass.
// The first backslash, '<' or '>' at or after `from`, or the text's size;
// sixteen bytes at a time where SSE2 is there.
std::size_t NextSpecial(std::string_view text, std::size_t from) {
  const char* const p = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)), _mm_cmpeq_epi8(v, backslash));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  if (i < n && n >= 16) {
    // The rest, shorter than sixteen bytes: the text's last sixteen are
    // tested at once, those before `i` left out of the mask.
    const std::size_t at = n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)), _mm_cmpeq_epi8(v, backslash));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)) & (0xFFFFu << (i - at));
    return mask != 0 ? at + static_cast<std::size_t>(__builtin_ctz(mask)) : n;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    // Texts shorter than sixteen bytes: eight at a time, the rest with the
    // text's last eight, those before `i` left out. Each byte is tested
    // exactly (no borrow runs from one byte into the next).
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
    const auto zeroBytes = [](std::uint64_t v) { return ~(((v & low7) + low7) | v | low7); };
    const auto specials = [&](std::uint64_t w) {
      return zeroBytes(w ^ 0x3C3C3C3C3C3C3C3CULL) | zeroBytes(w ^ 0x3E3E3E3E3E3E3E3EULL) |
             zeroBytes(w ^ 0x5C5C5C5C5C5C5C5CULL);  // '<', '>', '\\'
    };
    for (; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (const std::uint64_t m = specials(w)) return i + static_cast<std::size_t>(std::countr_zero(m)) / 8;
    }
    if (i < n && n >= 8) {
      const std::size_t at = n - 8;
      std::uint64_t w;
      std::memcpy(&w, p + at, 8);
      const std::uint64_t m = specials(w) & (~std::uint64_t{0} << (8 * (i - at)));
      return m != 0 ? at + static_cast<std::size_t>(std::countr_zero(m)) / 8 : n;
    }
  }
  while (i < n && p[i] != '\\' && p[i] != '<' && p[i] != '>') ++i;
  return i;
}

// Whether the text holds a backslash, '<' or '>' (NextSpecial(text, 0) <
// text.size()), without finding where: the bytes are tested sixteen at a
// time where SSE2 is there, the tests joined and looked at once.
bool HasSpecial(std::string_view text) {
  const char* const p = text.data();
  const std::size_t n = text.size();
#if defined(__SSE2__)
  if (n >= 16) {
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i backslash = _mm_set1_epi8('\\');
    const auto hits = [&](const char* at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)), _mm_cmpeq_epi8(v, backslash));
    };
    // The last sixteen bytes are tested too, those before them again.
    __m128i any = hits(p + n - 16);
    for (std::size_t i = 0; i + 16 < n; i += 16) any = _mm_or_si128(any, hits(p + i));
    return _mm_movemask_epi8(any) != 0;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    if (n >= 8) {
      // The first and the last eight bytes, tested exactly as NextSpecial
      // tests them.
      constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
      const auto zeroBytes = [](std::uint64_t v) { return ~(((v & low7) + low7) | v | low7); };
      const auto specials = [&](std::uint64_t w) {
        return zeroBytes(w ^ 0x3C3C3C3C3C3C3C3CULL) | zeroBytes(w ^ 0x3E3E3E3E3E3E3E3EULL) |
               zeroBytes(w ^ 0x5C5C5C5C5C5C5C5CULL);  // '<', '>', '\\'
      };
      std::uint64_t first;
      std::uint64_t last;
      std::memcpy(&first, p, 8);
      std::memcpy(&last, p + n - 8, 8);
      return (specials(first) | specials(last)) != 0;
    }
  }
  return NextSpecial(text, 0) < n;
}

class FirstPass {
 public:
  FirstPass(const CQ_TextSettings& settings, std::string& out, unsigned flags)
      : m_settings(settings),
        m_out(out),
        m_codePage(settings.i_SourceCodePage),
        m_doubleByte(CQ_TextConverter::sb_IsDoubleByteCodePage(settings.i_SourceCodePage)),
        m_quotesAsTags(settings.i_SmartQuotes == 1),
        m_rawEscapes((flags & TEXT_RAW_ESCAPES) != 0 && m_doubleByte),
        m_framePairs(m_doubleByte && !m_rawEscapes && !settings.b_SymbolCharacterSet && (flags & TEXT_IN_TAG) == 0
                         ? FramePairs(m_codePage)
                         : nullptr) {}

  void Run(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (m_state == State::Normal && !m_doubleByte) {
        // Plain bytes, the bulk of any text, are copied as one run.
        const std::size_t j = NextSpecial(text, i);
        if (j > i) {
          m_out.append(text.data() + i, j - i);
          i = j;
          if (i == text.size()) break;
        }
      }
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (m_state == State::Normal && m_trail && c == '\\' && b_EscapedTrailBackslash(text, i)) {
        // "\x5c " right after a lead byte is that character's second byte
        // written as an escape: the character is whole again.
        AppendLiteral('\\');
        i += kEscapedBackslash.size() - 1;
        continue;
      }
      switch (m_state) {
        case State::Normal:
          Normal(c);
          break;
        case State::Escape:
          m_state = State::Normal;
          Escape(c);
          break;
        case State::Hex:
          if (KWX::b_IsHexDigit(c) && m_hexDigits.size() < kMaxHexDigits + 1) {
            m_hexDigits.push_back(static_cast<char>(c));
          } else if (c == ' ') {
            EndHex(true);
          } else {
            // A byte that cannot belong to the escape ends it unconsumed.
            EndHex(false);
            Normal(c);
          }
          break;
      }
    }
    // Input that ends inside an escape keeps what it held.
    if (m_state == State::Escape) {
      m_out.push_back('\\');
    } else if (m_state == State::Hex) {
      EndHex(false);
    }
    m_state = State::Normal;
  }

 private:
  enum class State { Normal, Escape, Hex };

  // The escape of the byte 0x5C, with its blank.
  static constexpr std::string_view kEscapedBackslash = "\\x5c ";

  // True when text[i..] is "\x5c " (either case of the letter and digit).
  static bool b_EscapedTrailBackslash(std::string_view text, std::size_t i) {
    if (text.size() - i < kEscapedBackslash.size()) return false;
    return (text[i + 1] == 'x' || text[i + 1] == 'X') && text[i + 2] == '5' &&
           (text[i + 3] == 'c' || text[i + 3] == 'C') && text[i + 4] == ' ';
  }

  void Normal(unsigned char c) {
    if (m_trail && !(m_escapedLead && c == '\\') && CQ_TextConverter::sb_IsTrailByte(m_codePage, c)) {
      // Second byte of a double-byte character: copied, whatever it is.
      AppendLiteral(c);
      return;
    }
    // A byte that cannot be a second byte ends the character.
    m_trail = false;
    if (c == '\\') {
      m_state = State::Escape;
    } else if (c == '<') {
      AppendTag(KWX::TAG_LT);
    } else if (c == '>') {
      AppendTag(KWX::TAG_GT);
    } else {
      AppendLiteral(c);
    }
  }

  void Escape(unsigned char c) {
    switch (c) {
      case '>':
        AppendTag(KWX::TAG_GT);
        break;
      case 'Q':
        AppendByte('`');
        break;
      case 'q':
        AppendByte('\'');
        break;
      case '\\':
        AppendByte('\\');
        break;
      case 't':
        AppendTag(KWX::TAG_T);
        break;
      case 'x':
      case 'X':
        m_state = State::Hex;
        m_hexMarker = static_cast<char>(c);
        m_hexDigits.clear();
        break;
      case '<':
        AppendByte('\\');
        AppendTag(KWX::TAG_LT);
        break;
      default:
        AppendByte('\\');
        Normal(c);
        break;
    }
  }

  void EndHex(bool blankConsumed) {
    m_state = State::Normal;
    int value = -1;
    if (!m_hexDigits.empty() && m_hexDigits.size() <= kMaxHexDigits) {
      value = 0;
      for (char digit : m_hexDigits) {
        value = value * 16 + KWX::i_HexValue(static_cast<unsigned char>(digit));
        if (value > 0xFF) {
          value = -1;
          break;
        }
      }
    }
    if (value < 0) {
      // Not a character code: the escape stays as it was written.
      AppendByte('\\');
      AppendByte(static_cast<unsigned char>(m_hexMarker));
      for (char digit : m_hexDigits) {
        AppendByte(static_cast<unsigned char>(digit));
      }
      if (blankConsumed) {
        AppendByte(' ');
      }
      return;
    }
    if (m_rawEscapes && value >= 0x80) {
      // A byte of the code page: it may start a double-byte character
      // whose second byte follows raw or escaped (a backslash after it
      // then starts that escape).
      AppendLiteral(static_cast<unsigned char>(value));
      m_escapedLead = m_trail;
      return;
    }
    Code(static_cast<unsigned char>(value));
  }

  // A character code from a hex escape or a Char statement.
  void Code(unsigned char v) {
    if (m_settings.b_SymbolCharacterSet && v >= 32) {
      if (m_quotesAsTags && !m_doubleByte) {
        // Windows code-page quote bytes; the closing German/Czech double
        // quote has the glyph of the English opening one.
        switch (v) {
          case 132: AppendTag(KWX::TAG_GLQ); return;
          case 147: AppendTag(m_settings.cs_SourceLanguage == "Czech" ? KWX::TAG_GRQ : KWX::TAG_LDQ); return;
          case 148: AppendTag(KWX::TAG_RDQ); return;
          case 145: AppendTag(KWX::TAG_LQ); return;
          case 146: AppendTag(KWX::TAG_RQ); return;
          case 171: AppendTag(KWX::TAG_FLQ); return;
          case 187: AppendTag(KWX::TAG_FRQ); return;
          default: break;
        }
      }
      if (v == '<') {
        AppendTag(KWX::TAG_LT);
      } else if (v == '>') {
        AppendTag(KWX::TAG_GT);
      } else {
        AppendByte(v);
      }
      return;
    }
    if (m_quotesAsTags) {
      switch (v) {
        case 199: AppendTag(KWX::TAG_FLQ); return;
        case 200: AppendTag(KWX::TAG_FRQ); return;
        case 210: AppendTag(m_settings.cs_SourceLanguage == "German" ? KWX::TAG_GRQ : KWX::TAG_LDQ); return;
        case 211: AppendTag(KWX::TAG_RDQ); return;
        case 212: AppendTag(KWX::TAG_LQ); return;
        case 213: AppendTag(KWX::TAG_RQ); return;
        case 227: AppendTag(KWX::TAG_GLQ); return;
        default: break;
      }
    }
    const std::string& text = Codes().text[v];
    if (m_framePairs != nullptr && v >= 0x80 && text.size() == 1) {
      // Western text of a double-byte code page: the code page's own
      // character, or a tag that keeps the code.
      const int pair = m_framePairs->pairOfCode[v];
      if (pair >= 0) {
        AppendByte(static_cast<unsigned char>(pair >> 8));
        AppendByte(static_cast<unsigned char>(pair & 0xFF));
      } else {
        AppendTag(CQ_TextConverter::scs_FrameCharacterTag(v));
      }
      return;
    }
    if (text.size() == 1) {
      AppendByte(static_cast<unsigned char>(text[0]));
    } else if (!text.empty()) {
      AppendTag(text);
    }
  }

  // Appends a byte that an escape or a table produced; it never belongs to
  // a double-byte character of the literal text.
  void AppendByte(unsigned char c) {
    m_trail = false;
    m_out.push_back(static_cast<char>(c));
  }

  // Appends a byte copied from the input and keeps the double-byte state: a
  // byte after a lead byte is its second byte; otherwise a lead byte
  // announces a second byte.
  void AppendLiteral(unsigned char c) {
    m_escapedLead = false;
    if (m_doubleByte) {
      m_trail = !m_trail && CQ_TextConverter::sb_IsLeadByte(m_codePage, c);
    }
    m_out.push_back(static_cast<char>(c));
  }

  void AppendTag(std::string_view tag) {
    m_trail = false;
    m_out.append(tag);
  }

  const CQ_TextSettings& m_settings;
  std::string& m_out;
  const int m_codePage;
  const bool m_doubleByte;
  const bool m_quotesAsTags;
  const bool m_rawEscapes;
  const FramePairTable* const m_framePairs;  // Western text of a double-byte page
  State m_state = State::Normal;
  bool m_trail = false;
  bool m_escapedLead = false;  // the lead byte m_trail waits after came from an escape
  char m_hexMarker = 'x';
  std::string m_hexDigits;
};

// Windows code-page bytes of typographic double quotes: low, left, right,
// and the two guillemets.
bool IsTypographicDoubleQuote(unsigned char c) { return c == 132 || c == 147 || c == 148 || c == 171 || c == 187; }

// The after-pass and quote straightening over out[from..]. In double-byte
// code pages a byte after a lead byte is a second byte and is copied as it
// is; tags and ASCII never are lead bytes.
void AfterPass(std::string& out, std::size_t from, int codePage, bool afterPass, bool straighten) {
  const bool doubleByte = CQ_TextConverter::sb_IsDoubleByteCodePage(codePage);
  std::string result;
  result.reserve(out.size() - from + 16);
  bool trail = false;
  for (std::size_t i = from; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (doubleByte) {
      if (trail && CQ_TextConverter::sb_IsTrailByte(codePage, c)) {
        trail = false;
        result.push_back(static_cast<char>(c));
        continue;
      }
      trail = CQ_TextConverter::sb_IsLeadByte(codePage, c);
    }
    if (straighten && IsTypographicDoubleQuote(c)) {
      result.push_back('"');
      continue;
    }
    if (!afterPass || c != '\\' || i + 1 == out.size()) {
      result.push_back(static_cast<char>(c));
      continue;
    }
    const char next = out[++i];
    switch (next) {
      case ' ': result.append(KWX::TAG_HS); break;
      case '-': result.append(KWX::TAG_SH); break;
      case 'r': result.append(KWX::TAG_HR); break;
      case 't': result.append(KWX::TAG_T); break;
      default:
        // Any other sequence stays, and its second byte is not read again
        // as the start of a sequence.
        result.push_back('\\');
        result.push_back(straighten && IsTypographicDoubleQuote(static_cast<unsigned char>(next)) ? '"' : next);
        // A lead byte after the backslash announces a second byte.
        trail = doubleByte && CQ_TextConverter::sb_IsLeadByte(codePage, static_cast<unsigned char>(next));
        break;
    }
  }
  out.resize(from);
  out.append(result);
}

}  // namespace

CQ_TextSettings CQ_TextSettings::st_FromSession(const CQ_Morvane_Communication& session) {
  CQ_TextSettings settings;
  settings.b_SymbolCharacterSet = session.i_GetCharacterSet() != 0;
  settings.i_SmartQuotes = session.i_GetSmartQuotes();
  settings.i_SourceCodePage = session.i_GetSourceCodePage();
  settings.cs_SourceLanguage = session.lpsz_GetSourceLanguage();
  return settings;
}

std::string CQ_TextConverter::ccs_Convert(std::string_view mifText, unsigned flags) const {
  std::string out;
  v_AppendConverted(mifText, flags, out);
  return out;
}

bool CQ_TextConverter::b_AsItIs(std::string_view mifText, unsigned flags) const {
  return !m_bDoubleByte && (flags & (TEXT_AFTER_PASS | TEXT_STRAIGHTEN_QUOTES)) == 0 && !HasSpecial(mifText);
}

void CQ_TextConverter::v_AppendConverted(std::string_view mifText, unsigned flags, std::string& out) const {
  const std::size_t from = out.size();
  const bool doubleByte = m_bDoubleByte;
  if (!doubleByte && !HasSpecial(mifText)) {
    // Single-byte text without a backslash or bracket, most strings of a
    // document: the first pass would copy it as one run of plain bytes.
    out.append(mifText);
  } else {
    out.reserve(from + mifText.size() + mifText.size() / 4);
    FirstPass pass(m_stSettings, out, flags);
    pass.Run(mifText);
  }
  const bool afterPass = (flags & TEXT_AFTER_PASS) != 0;
  const bool straighten = (flags & TEXT_STRAIGHTEN_QUOTES) != 0 && !doubleByte;
  if (afterPass || straighten) {
    AfterPass(out, from, m_stSettings.i_SourceCodePage, afterPass, straighten);
  }
}

std::string CQ_TextConverter::ccs_ConvertNamedCharacter(std::string_view name) const {
  const std::string escape = scs_NamedCharacterEscape(name);
  return escape.empty() ? std::string() : ccs_Convert(escape, TEXT_CONTENT);
}

int CQ_TextConverter::si_NamedCharacterCode(std::string_view name) {
  for (const NamedCharacter& named : kNamedCharacters) {
    if (named.name == name) {
      return named.code;
    }
  }
  return -1;
}

std::string CQ_TextConverter::scs_NamedCharacterEscape(std::string_view name) {
  const int code = si_NamedCharacterCode(name);
  if (code < 0) {
    return std::string();
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string escape = "\\x";
  escape.push_back(kDigits[code >> 4]);
  escape.push_back(kDigits[code & 0x0F]);
  escape.push_back(' ');
  return escape;
}

std::string_view CQ_TextConverter::scs_FrameCodeToKWX(unsigned char code) { return Codes().text[code]; }

int CQ_TextConverter::si_FrameCodeFor1252Byte(unsigned char b) { return Codes().inverse[b]; }

int CQ_TextConverter::si_FrameCharacterPair(int codePage, unsigned char code) {
  const FramePairTable* table = FramePairs(codePage);
  return table != nullptr ? table->pairOfCode[code] : -1;
}

int CQ_TextConverter::si_FrameCodeForPair(int codePage, unsigned char lead, unsigned char trail) {
  const FramePairTable* table = FramePairs(codePage);
  return table != nullptr ? table->codeOfPair[static_cast<std::size_t>(lead << 8 | trail)] : -1;
}

std::string CQ_TextConverter::scs_FrameCharacterTag(unsigned char code) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string tag(KWX::PREFIX_CH);
  tag.push_back(kDigits[code >> 4]);
  tag.push_back(kDigits[code & 0x0F]);
  tag.push_back('>');
  return tag;
}

int CQ_TextConverter::si_FrameCharacterTagCode(std::string_view tag) {
  if (tag.size() != KWX::PREFIX_CH.size() + 3 || tag.substr(0, KWX::PREFIX_CH.size()) != KWX::PREFIX_CH ||
      tag.back() != '>') {
    return -1;
  }
  const auto hi = static_cast<unsigned char>(tag[KWX::PREFIX_CH.size()]);
  const auto lo = static_cast<unsigned char>(tag[KWX::PREFIX_CH.size() + 1]);
  const auto lowerHex = [](unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  if (!lowerHex(hi) || !lowerHex(lo)) return -1;
  const int code = KWX::i_HexValue(hi) * 16 + KWX::i_HexValue(lo);
  return code >= 0x80 ? code : -1;
}

bool CQ_TextConverter::sb_IsDoubleByteCodePage(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// The lead-byte ranges are those Windows reports for the code pages
// (user-defined rows included); the trail-byte ranges are the second bytes
// each code page defines.
bool CQ_TextConverter::sb_IsLeadByte(int codePage, unsigned char b) {
  switch (codePage) {
    case 932:
      return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
      return b >= 0x81 && b <= 0xFE;
    default:
      return false;
  }
}

bool CQ_TextConverter::sb_IsTrailByte(int codePage, unsigned char b) {
  switch (codePage) {
    case 932:
      return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
    case 936:
      return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
    case 949:
      return (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
    case 950:
      return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
    default:
      return false;
  }
}

std::string ccs_ConvertMIFText(std::string_view mifText, const CQ_TextSettings& settings, unsigned flags) {
  return CQ_TextConverter(settings).ccs_Convert(mifText, flags);
}
