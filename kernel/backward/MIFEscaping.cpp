// The escaping table and the three writing modes.
//
// The table maps Windows code page 1252 bytes to FrameMaker codes; it is
// the inverse of the character table forward conversion reads with, so a
// mapped byte converts back to itself. Built once from pairs of (byte,
// code) as the table is usually printed.
#include "kernel/backward/MIFEscaping.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"

namespace {

struct Pair {
  std::uint8_t byte;
  std::uint8_t code;
};

constexpr Pair kMapped[] = {
    {0x09, 0x08}, {0x27, 0x27}, {0x5C, 0x5C}, {0x60, 0x60}, {0x7E, 0x7E}, {0xAD, 0x2D},
    // A no-break space typed into the text is FrameMaker's hard space:
    // dropped, it would glue the words on either side together.
    {0xA0, 0x11},
    // 0x80-0x9F
    {0x80, 0xF5}, {0x82, 0xE2}, {0x83, 0xC4}, {0x84, 0xE3}, {0x85, 0xC9}, {0x86, 0xA0}, {0x87, 0xE0},
    {0x88, 0xF6}, {0x89, 0xE4}, {0x8A, 0xB3}, {0x8B, 0xDC}, {0x8C, 0xCE}, {0x8D, 0xF9}, {0x8E, 0xFA},
    {0x91, 0xD4}, {0x92, 0xD5}, {0x93, 0xD2}, {0x94, 0xD3}, {0x95, 0xA5}, {0x96, 0xD0}, {0x97, 0xD1},
    {0x98, 0xF7}, {0x99, 0xAA}, {0x9A, 0xF0}, {0x9B, 0xDD}, {0x9C, 0xCF}, {0x9D, 0xFD}, {0x9E, 0xFE},
    {0x9F, 0xD9},
    // 0xA1-0xBF
    {0xA1, 0xC1}, {0xA2, 0xA2}, {0xA3, 0xA3}, {0xA4, 0xDB}, {0xA5, 0xB4}, {0xA6, 0xAD}, {0xA7, 0xA4},
    {0xA8, 0xAC}, {0xA9, 0xA9}, {0xAA, 0xBB}, {0xAB, 0xC7}, {0xAC, 0xC2}, {0xAE, 0xA8}, {0xAF, 0xF8},
    {0xB0, 0xFB}, {0xB1, 0xB1}, {0xB2, 0xB7}, {0xB3, 0xB8}, {0xB4, 0xAB}, {0xB5, 0xB5}, {0xB6, 0xA6},
    {0xB7, 0xE1}, {0xB8, 0xFC}, {0xB9, 0xB6}, {0xBA, 0xBC}, {0xBB, 0xC8}, {0xBC, 0xB9}, {0xBD, 0xBA},
    {0xBE, 0xBD}, {0xBF, 0xC0},
    // 0xC0-0xDF
    {0xC0, 0xCB}, {0xC1, 0xE7}, {0xC2, 0xE5}, {0xC3, 0xCC}, {0xC4, 0x80}, {0xC5, 0x81}, {0xC6, 0xAE},
    {0xC7, 0x82}, {0xC8, 0xE9}, {0xC9, 0x83}, {0xCA, 0xE6}, {0xCB, 0xE8}, {0xCC, 0xED}, {0xCD, 0xEA},
    {0xCE, 0xEB}, {0xCF, 0xEC}, {0xD0, 0xC3}, {0xD1, 0x84}, {0xD2, 0xF1}, {0xD3, 0xEE}, {0xD4, 0xEF},
    {0xD5, 0xCD}, {0xD6, 0x85}, {0xD7, 0xB0}, {0xD8, 0xAF}, {0xD9, 0xF4}, {0xDA, 0xF2}, {0xDB, 0xF3},
    {0xDC, 0x86}, {0xDD, 0xC5}, {0xDE, 0xD7}, {0xDF, 0xA7},
    // 0xE0-0xFF
    {0xE0, 0x88}, {0xE1, 0x87}, {0xE2, 0x89}, {0xE3, 0x8B}, {0xE4, 0x8A}, {0xE5, 0x8C}, {0xE6, 0xBE},
    {0xE7, 0x8D}, {0xE8, 0x8F}, {0xE9, 0x8E}, {0xEA, 0x90}, {0xEB, 0x91}, {0xEC, 0x93}, {0xED, 0x92},
    {0xEE, 0x94}, {0xEF, 0x95}, {0xF0, 0xB2}, {0xF1, 0x96}, {0xF2, 0x98}, {0xF3, 0x97}, {0xF4, 0x99},
    {0xF5, 0x9B}, {0xF6, 0x9A}, {0xF7, 0xD6}, {0xF8, 0xBF}, {0xF9, 0x9D}, {0xFA, 0x9C}, {0xFB, 0x9E},
    {0xFC, 0x9F}, {0xFD, 0xC6}, {0xFE, 0xCA}, {0xFF, 0xD8},
};

struct CharacterTag {
  std::string_view tag;
  std::uint8_t code;        // FrameMaker code (the fixed tag map)
  std::uint8_t symbolCode;  // the code page's byte in the Symbol character set; 0: as code
};

constexpr CharacterTag kCharacterTags[] = {
    {"<:dh>", 0x04, 0},   {"<:nh>", 0x05, 0},   {"<:sh>", 0x06, 0},   {"<:t>", 0x08, 0},    {"<:hr>", 0x09, 0},
    {"<:ns>", 0x10, 0},   {"<:hs>", 0x11, 0},   {"<:ts>", 0x12, 0},   {"<:ens>", 0x13, 0},  {"<:ems>", 0x14, 0},
    {"<:hh>", 0x15, 0},   {"<:lt>", 0x3C, 0},   {"<:gt>", 0x3E, 0},   {"<:lq>", 0xD4, 0x91}, {"<:rq>", 0xD5, 0x92},
    {"<:ldq>", 0xD2, 0x93}, {"<:rdq>", 0xD3, 0x94}, {"<:flq>", 0xC7, 0xAB}, {"<:frq>", 0xC8, 0xBB},
    {"<:glq>", 0xE3, 0x84}, {"<:grq>", 0xD2, 0x93}, {"<:r1>", 0x7F, 0},  {"<:r30>", 0xA1, 0}, {"<:r31>", 0xFA, 0},
    {"<:r32>", 0xDF, 0},  {"<:r33>", 0xFE, 0},  {"<:r34>", 0xFD, 0},  {"<:r35>", 0xF9, 0},  {"<:r36>", 0xF5, 0},
    {"<:r37>", 0xDE, 0},  {"<:r38>", 0xFF, 0},  {"<:r39>", 0xDA, 0},
};

constexpr char kDigits[] = "0123456789abcdef";

// What the normal character set of a single-byte code page writes for a
// byte that is not written as it is: up to five bytes, padded to eight so
// that they are copied in one piece.
struct Written {
  char bytes[5] = {};
  std::uint8_t length = 0;
  std::uint8_t units = 0;  // 0 for a dropped byte, else 1
  bool lowCode = false;    // an escape of a code below 0x20
};
static_assert(sizeof(Written) == 8);

struct Table {
  std::array<int, 256> entry;
  std::array<bool, 256> plain;
  std::array<Written, 256> written;
  Table() {
    entry.fill(CQ_MIFEscaping::BYTE_AS_IS);
    for (int b = 0x00; b <= 0x08; ++b) entry[b] = CQ_MIFEscaping::BYTE_DROPPED;
    for (int b = 0x0B; b <= 0x1F; ++b) entry[b] = CQ_MIFEscaping::BYTE_DROPPED;
    for (int b : {0x7F, 0x81, 0x8F, 0x90}) entry[b] = CQ_MIFEscaping::BYTE_DROPPED;
    for (const Pair& p : kMapped) entry[p.byte] = p.code;
    // Bytes the normal character set of a single-byte code page writes
    // unchanged ('>' takes a backslash, a tab its code).
    for (int b = 0; b < 256; ++b) plain[b] = entry[b] == CQ_MIFEscaping::BYTE_AS_IS && b != '>' && b != '\t';
    for (int b = 0; b < 256; ++b) {
      Written& w = written[b];
      const int code = b == '\t' ? 0x08 : entry[b];
      if (b == '>') {
        w = Written{{'\\', '>'}, 2, 1, false};
      } else if (code == CQ_MIFEscaping::BYTE_AS_IS) {
        w = Written{{static_cast<char>(b)}, 1, 1, false};
      } else if (code >= 0) {
        w = Written{{'\\', 'x', kDigits[code >> 4], kDigits[code & 0x0F], ' '}, 5, 1, code < 0x20};
      }
    }
  }
};

const Table& Entries() {
  static const Table table;
  return table;
}

#if defined(__SSE2__)
// The bytes of the sixteen at p that may not be written as they are, one
// bit each: a class wider than the table's (control bytes, bytes above
// 0x7D and the four ASCII bytes the table maps or escapes), which holds
// every byte that is not plain; the line feed, plain after all, is in it
// too and is written from the table as it is.
inline unsigned NotPlainMask(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Signed comparisons: the bytes above 0x7F are below 0x20.
  const __m128i range = _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_cmpgt_epi8(v, _mm_set1_epi8(0x7D)));
  const __m128i ascii = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\'')), _mm_cmpeq_epi8(v, _mm_set1_epi8('>'))),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(v, _mm_set1_epi8('`'))));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(range, ascii)));
}
#endif

void AppendHex(unsigned char code, std::string& out) {
  const char escape[5] = {'\\', 'x', kDigits[code >> 4], kDigits[code & 0x0F], ' '};
  out.append(escape, sizeof escape);
}

// True when text begins "x5c " (either case of the letter and digit): after
// a raw second byte 0x5C it would read as that byte's escape.
bool StartsLikeEscapedBackslash(std::string_view text) {
  return text.size() >= 4 && (text[0] == 'x' || text[0] == 'X') && text[1] == '5' && (text[2] == 'c' || text[2] == 'C') &&
         text[3] == ' ';
}

bool IsControl(unsigned char b) { return b < 0x20 || b == 0x7F; }

using KWX::b_IsHexDigit;
using KWX::i_HexValue;

}  // namespace

CQ_MIFEscaping::CQ_MIFEscaping(bool symbol, int codePage)
    : m_bSymbol(symbol), m_bDoubleByte(CQ_TextConverter::sb_IsDoubleByteCodePage(codePage)), m_iCodePage(codePage) {}

int CQ_MIFEscaping::si_TableEntry(unsigned char byte) { return Entries().entry[byte]; }

CQ_MIFEscaping CQ_MIFEscaping::sco_WesternText(const CQ_MIFEscaping& base) {
  CQ_MIFEscaping western = base;
  if (base.m_bDoubleByte && !base.m_bSymbol) western.m_iFramePairPage = base.m_iCodePage;
  return western;
}

CQ_MIFEscaping CQ_MIFEscaping::sco_WesternBytes(int codePage) {
  CQ_MIFEscaping western(false, 1252);
  if (CQ_TextConverter::sb_IsDoubleByteCodePage(codePage)) western.m_iFramePairPage = codePage;
  return western;
}

bool CQ_MIFEscaping::b_CharacterTag(std::string_view tag, std::string& escaped) const {
  // Every character tag is four to six bytes long, "<:ch NN>" eight; text
  // of other tags is looked up in a table by its bytes rather than compared
  // with each.
  // Closing tags ("<:/cs>" and the like) are as short, but none is one.
  if (tag.size() < 4 || tag.size() > 8 || tag[1] != ':' || tag[2] == '/') return false;
  if (tag.size() > 6) {
    const int code = CQ_TextConverter::si_FrameCharacterTagCode(tag);
    if (code < 0) return false;
    AppendHex(static_cast<unsigned char>(code), escaped);
    return true;
  }
  static const std::unordered_map<std::string_view, const CharacterTag*> byTag = [] {
    std::unordered_map<std::string_view, const CharacterTag*> map;
    for (const CharacterTag& c : kCharacterTags) map.emplace(c.tag, &c);
    return map;
  }();
  const auto it = byTag.find(tag);
  if (it == byTag.end()) return false;
  const CharacterTag& c = *it->second;
  AppendHex(m_bSymbol && c.symbolCode ? c.symbolCode : c.code, escaped);
  return true;
}

std::string CQ_MIFEscaping::scs_HexEscape(unsigned char code) {
  std::string out;
  AppendHex(code, out);
  return out;
}

// The normal character set of a single-byte code page: bytes go into a
// local buffer that is appended in one piece when full and at the end,
// rather than escape by escape; what a byte that is not written as it is
// gives comes from the table whole.
std::size_t CQ_MIFEscaping::n_AppendSingleByte(std::string_view text, std::string& out, bool* lowCodes) const {
  const Table& table = Entries();
  char buffer[1024];
  // Room a step needs at most: a short run copied as sixteen bytes, and one
  // written byte.
  constexpr std::size_t kStep = 16 + sizeof(Written);
  std::size_t used = 0;
  std::size_t units = 0;
  bool low = false;
  const char* p = text.data();
  const char* const end = p + text.size();
  // A byte written otherwise than as it is, from the table whole.
  const auto writeByte = [&](unsigned char b) {
    const Written& w = table.written[b];
    std::memcpy(buffer + used, &w, sizeof w);
    used += w.length;
    units += w.units;
    low |= w.lowCode;
  };
#if defined(__SSE2__)
  // Sixteen bytes a round: the bytes that may not be written as they are
  // are taken one by one from the round's mask, each run of plain bytes
  // before them copied in one piece (sixteen bytes at once where the text
  // has them, of which the run is kept). A round writes at most five bytes
  // for each of its sixteen, and a copy may reach sixteen bytes further.
  constexpr std::size_t kRound = 16 * sizeof(Written) + 16;
  while (end - p >= 16) {
    if (used > sizeof buffer - kRound) {
      out.append(buffer, used);
      used = 0;
    }
    const char* const round = p;
    unsigned mask = NotPlainMask(round);
    if (mask == 0) {
      std::memcpy(buffer + used, p, 16);
      used += 16;
      units += 16;
      p += 16;
      continue;
    }
    do {
      const char* const at = round + __builtin_ctz(mask);
      mask &= mask - 1;
      const std::size_t run = static_cast<std::size_t>(at - p);
      if (run > 0) {
        if (end - p >= 16) {
          std::memcpy(buffer + used, p, 16);
        } else {
          std::memcpy(buffer + used, p, run);
        }
        used += run;
        units += run;
      }
      writeByte(static_cast<unsigned char>(*at));
      p = at + 1;
    } while (mask != 0);
    const std::size_t rest = static_cast<std::size_t>(round + 16 - p);
    if (rest > 0) {
      if (end - p >= 16) {
        std::memcpy(buffer + used, p, 16);
      } else {
        std::memcpy(buffer + used, p, rest);
      }
      used += rest;
      units += rest;
      p = round + 16;
    }
  }
#endif
  // Each step: a run of bytes written as they are (one unit per byte), then
  // one byte written otherwise (the last bytes of the text where SSE2 is
  // there, all of it otherwise).
  while (p < end) {
    if (used > sizeof buffer - kStep) {
      out.append(buffer, used);
      used = 0;
    }
    const char* q = p;
    while (q < end && table.plain[static_cast<unsigned char>(*q)]) ++q;
    const std::size_t run = static_cast<std::size_t>(q - p);
    if (run > 0) {
      if (run < 16 && end - p >= 16) {
        // Short runs between escapes (accented text): sixteen bytes copied
        // at once (a copy of fixed size needs no call), only run of them
        // kept.
        std::memcpy(buffer + used, p, 16);
        used += run;
      } else if (run <= sizeof buffer - kStep - used) {
        std::memcpy(buffer + used, p, run);
        used += run;
      } else {
        out.append(buffer, used);
        used = 0;
        out.append(p, run);
      }
      units += run;
      p = q;
      if (p == end) break;
    }
    writeByte(static_cast<unsigned char>(*p++));
  }
  out.append(buffer, used);
  if (lowCodes) *lowCodes = low;
  return units;
}

std::size_t CQ_MIFEscaping::n_Append(std::string_view text, std::string& out) const {
  return m_iFramePairPage != 0 ? n_AppendWithFramePairs(text, out) : n_AppendBase(text, out);
}

std::size_t CQ_MIFEscaping::n_Append(std::string_view text, std::string& out, bool& lowCodes) const {
  if (m_iFramePairPage == 0 && !m_bSymbol && !m_bDoubleByte) return n_AppendSingleByte(text, out, &lowCodes);
  // The other modes are not told apart: their text may hold anything.
  lowCodes = true;
  return n_Append(text, out);
}

// Double-byte characters are found as forward conversion and the KWX
// readers find them (a lead byte and a byte that can follow it), so the
// pieces between FrameMaker characters start and end on whole characters
// and the base mode pairs their bytes as it would have in the whole text.
std::size_t CQ_MIFEscaping::n_AppendWithFramePairs(std::string_view text, std::string& out) const {
  const int page = m_iFramePairPage;
  std::size_t units = 0;
  std::size_t from = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80 || i + 1 == n || !CQ_TextConverter::sb_IsLeadByte(page, b) ||
        !CQ_TextConverter::sb_IsTrailByte(page, static_cast<unsigned char>(text[i + 1]))) {
      ++i;
      continue;
    }
    const int code = CQ_TextConverter::si_FrameCodeForPair(page, b, static_cast<unsigned char>(text[i + 1]));
    if (code < 0) {
      i += 2;
      continue;
    }
    if (i > from) units += n_AppendBase(text.substr(from, i - from), out);
    AppendHex(static_cast<unsigned char>(code), out);
    ++units;
    i += 2;
    from = i;
  }
  if (n > from) units += n_AppendBase(text.substr(from), out);
  return units;
}

std::size_t CQ_MIFEscaping::n_AppendBase(std::string_view text, std::string& out) const {
  if (!m_bSymbol && !m_bDoubleByte) return n_AppendSingleByte(text, out);
  const Table& table = Entries();
  std::size_t units = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (!m_bSymbol && !m_bDoubleByte) {
      // A run of bytes written as they are (the commonest text) is
      // appended whole: one unit per byte.
      std::size_t j = i;
      while (j < n && table.plain[static_cast<unsigned char>(text[j])]) ++j;
      if (j > i) {
        out.append(text.data() + i, j - i);
        units += j - i;
        i = j;
        if (i == n) break;
      }
    }
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (m_bDoubleByte && i + 1 < n && CQ_TextConverter::sb_IsLeadByte(m_iCodePage, b) &&
        CQ_TextConverter::sb_IsTrailByte(m_iCodePage, static_cast<unsigned char>(text[i + 1]))) {
      const unsigned char trail = static_cast<unsigned char>(text[++i]);
      if (trail == '\\') {
        // Written as FrameMaker writes double-byte MIF and as forward
        // conversion reads it, in every character set: the two raw bytes.
        out.push_back(static_cast<char>(b));
        out.push_back('\\');
        units += 2;
        // Forward conversion also reads "\x5c " after a lead byte as the
        // second byte; text that would look like it starts with an escaped
        // letter so that it stays text.
        if (StartsLikeEscapedBackslash(text.substr(i + 1))) {
          AppendHex(static_cast<unsigned char>(text[++i]), out);
          ++units;
        }
        continue;
      }
      if (m_bSymbol) {
        AppendHex(b, out);
        AppendHex(trail, out);
      } else {
        out.push_back(static_cast<char>(b));
        out.push_back(static_cast<char>(trail));
      }
      units += 2;
      continue;
    }
    if (b == '\t') {
      // FrameMaker's tab, whatever the character set.
      AppendHex(0x08, out);
      ++units;
      continue;
    }
    if (b == '>') {
      out.append("\\>");
      ++units;
      continue;
    }
    const int entry = table.entry[b];
    if (m_bSymbol || m_bDoubleByte) {
      if (IsControl(b)) continue;
      if (m_bSymbol && m_bDoubleByte && b == '\\') {
        out.append("\\\\");
      } else if (entry == BYTE_AS_IS || (m_bDoubleByte && !m_bSymbol && b >= 0x80)) {
        // Unmapped double-byte pages keep their single bytes (half-width
        // katakana and the like) as they are.
        out.push_back(static_cast<char>(b));
      } else {
        AppendHex(b, out);
      }
      ++units;
      continue;
    }
    if (entry == BYTE_DROPPED) continue;
    if (entry == BYTE_AS_IS) {
      out.push_back(static_cast<char>(b));
    } else {
      AppendHex(static_cast<unsigned char>(entry), out);
    }
    ++units;
  }
  return units;
}

void CQ_MIFEscaping::v_ProtectStringEnd(std::string& content) const {
  if (!m_bDoubleByte || content.size() < 2 || content.back() != '\\') return;
  // Escapes are ASCII, so a scan from the start pairs the raw bytes as
  // forward conversion does.
  std::size_t i = 0;
  const std::size_t n = content.size();
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(content[i]);
    if (i + 1 < n && CQ_TextConverter::sb_IsLeadByte(m_iCodePage, b) &&
        CQ_TextConverter::sb_IsTrailByte(m_iCodePage, static_cast<unsigned char>(content[i + 1]))) {
      if (i + 2 == n) {
        content.pop_back();
        AppendHex(0x5C, content);
        return;
      }
      i += 2;
    } else if (b == '\\' && i + 1 < n) {
      i += 2;  // an escape's backslash and the byte it escapes
    } else {
      ++i;
    }
  }
}

std::size_t CQ_MIFEscaping::sn_CountUnits(std::string_view raw) {
  std::size_t units = 0;
  const std::size_t n = raw.size();
  std::size_t i = 0;
  while (i < n) {
    if (raw[i] != '\\' || i + 1 == n) {
      ++units;
      ++i;
      continue;
    }
    const char next = raw[i + 1];
    if (next == 'x' || next == 'X') {
      std::size_t j = i + 2;
      int value = 0;
      while (j < n && j < i + 10 && b_IsHexDigit(static_cast<unsigned char>(raw[j]))) {
        value = value * 16 + i_HexValue(static_cast<unsigned char>(raw[j]));
        ++j;
      }
      if (j == i + 2 || value > 0xFF) {
        units += j - i;
        i = j;
        continue;
      }
      if (j < n && raw[j] == ' ') ++j;
      if (!CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(value)).empty()) ++units;
      i = j;
      continue;
    }
    switch (next) {
      case 't':
      case '>':
      case 'q':
      case 'Q':
      case '\\':
        ++units;
        break;
      default:
        units += 2;
        break;
    }
    i += 2;
  }
  return units;
}
