// Per-byte and per-tag lengths follow the escaping table and the tag map of
// back conversion, so the measure agrees with the MIF that will be written.
#include "kernel/verifier/MarkerTextMeasure.h"

#include <array>

#include "kernel/backward/KWXLexicon.h"
#include "kernel/forward/KWXFormat.h"

namespace {

constexpr std::size_t ByteLength(unsigned char c, bool indexMarker) {
  if (c == '\n' || c == '\r') return 0;
  if (c == '\t') return 5;
  if (c < 0x20 || c == 0x7F) return 0;
  if (c == '\\') return indexMarker ? 10 : 5;
  if (c == 0x27 || c == 0x60 || c == 0x7E) return 5;
  if (indexMarker && (c == ':' || c == ';' || c == '[' || c == ']')) return 2;
  if (c < 0x80) return 1;
  if (c == 0x81 || c == 0x8F || c == 0x90 || c == 0xA0) return 0;
  return 5;
}

// ByteLength of every byte, for marker texts and for index marker texts,
// so that a text is measured by one look-up a byte.
struct ByteLengths {
  std::array<unsigned char, 256> plain{};
  std::array<unsigned char, 256> index{};
};

constexpr ByteLengths MakeByteLengths() {
  ByteLengths t;
  for (unsigned c = 0; c < 256; ++c) {
    t.plain[c] = static_cast<unsigned char>(ByteLength(static_cast<unsigned char>(c), false));
    t.index[c] = static_cast<unsigned char>(ByteLength(static_cast<unsigned char>(c), true));
  }
  return t;
}

constexpr ByteLengths BYTE_LENGTHS = MakeByteLengths();

// The quoted name of a tag, without its quotes.
std::string_view QuotedName(std::string_view tag) { return KWX::sv_QuotedName(tag, true); }

}  // namespace

std::size_t CQ_MarkerTextMeasure::sn_InternalTagLength(std::string_view tag, bool indexMarker) {
  constexpr std::size_t DEFAULT_FONT = sizeof("<Default Para Font\\>") - 1;
  switch (KWX::CQ_KWXLexicon::rst_Lookup(tag).i_TagId) {
    case KWX::TAGID_SPECIAL_CHARACTER:
      if (tag == "<:lt>" || tag == "<:gt>") return indexMarker ? 6 : 5;
      if (indexMarker && (tag == "<:sh>" || tag == "<:t>")) return 0;
      return 5;
    case KWX::TAGID_RESERVED_CHARACTER:
      return 5;
    case KWX::TAGID_B:
      return sizeof("<VarnelBold\\>") - 1;
    case KWX::TAGID_I:
      return sizeof("<VarnelItalic\\>") - 1;
    case KWX::TAGID_BI:
      return sizeof("<VarnelBoldItalic\\>") - 1;
    case KWX::TAGID_S:
      return sizeof("<VarnelSmallCaps\\>") - 1;
    case KWX::TAGID_C:
      if (tag == "<:c1>") return sizeof("<VarnelCourierNew\\>") - 1;
      if (tag == "<:c2>") return sizeof("<VarnelArial\\>") - 1;
      return sizeof("<VarnelNormal\\>") - 1;
    case KWX::TAGID_B_CLOSE:
    case KWX::TAGID_I_CLOSE:
    case KWX::TAGID_BI_CLOSE:
    case KWX::TAGID_S_CLOSE:
    case KWX::TAGID_C_CLOSE:
    case KWX::TAGID_CS_CLOSE:
      return DEFAULT_FONT;
    case KWX::TAGID_CS:
    case KWX::TAGID_IBB:
      return QuotedName(tag).size() + 3;  // "<" NAME "\>"
    default:
      return 0;  // comments, placeholders and tags that markers may not hold
  }
}

std::size_t CQ_MarkerTextMeasure::sn_MIFLength(std::string_view text, bool indexMarker) {
  const std::array<unsigned char, 256>& lengths = indexMarker ? BYTE_LENGTHS.index : BYTE_LENGTHS.plain;
  std::size_t length = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '<') {
      length += lengths[static_cast<unsigned char>(text[pos])];
      ++pos;
      continue;
    }
    long depth = 0;
    std::size_t end = pos;
    for (; end < text.size(); ++end) {
      if (text[end] == '<') ++depth;
      if (text[end] == '>' && --depth == 0) break;
    }
    end = end < text.size() ? end + 1 : text.size();
    length += sn_InternalTagLength(text.substr(pos, end - pos), indexMarker);
    pos = end;
  }
  return length;
}
