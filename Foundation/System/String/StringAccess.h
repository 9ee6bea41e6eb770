// Helpers shared by CQ_CString and CQ_UString (internal).
//
// Text of any string in either width, and the character-level algorithms
// (matching, stripping, translating) written once over "pieces": a piece
// is one character with its position, its length in units and a code that
// identifies it (a 16-bit unit, a byte, or the packed bytes of a
// double-byte character).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <type_traits>
#include <vector>

class CQ_String;

namespace string_access {

// The units [pos, pos + count) of `string` (in its own units, clamped),
// as 16-bit text or as 8-bit text in `codePage`.
std::u16string Wide(const CQ_String& string, std::uint32_t pos = 0,
                    std::uint32_t count = 0xFFFFFFFFu);
std::string Multi(const CQ_String& string, std::uint32_t codePage, std::uint32_t pos = 0,
                  std::uint32_t count = 0xFFFFFFFFu);

// The number of units of a counted or zero-terminated (count 0xFFFFFFFF)
// text; a null text has none.
std::uint32_t Count(const char* text, std::uint32_t count);
std::uint32_t Count(const char16_t* text, std::uint32_t count);

struct Piece {
  std::uint32_t pos;
  std::uint32_t length;
  std::uint32_t code;
};

std::vector<Piece> Split(std::string_view bytes, std::uint32_t codePage);
std::vector<Piece> Split(std::u16string_view units);

// Wildcard match of whole texts: "*" any run, "?" one character.
bool Match(const std::vector<Piece>& text, const std::vector<Piece>& pattern);
// The range [begin, end) in units that remains after removing pieces whose
// code is in `set` (white space when `set` is empty) from the chosen ends.
std::pair<std::uint32_t, std::uint32_t> StripRange(const std::vector<Piece>& text, std::uint32_t length,
                                                   const std::vector<Piece>& set, bool left, bool right);

template <typename Unit>
std::basic_string<Unit> Translate(std::basic_string_view<Unit> text, const std::vector<Piece>& pieces,
                                  std::basic_string_view<Unit> fromText, const std::vector<Piece>& from,
                                  std::basic_string_view<Unit> toText, const std::vector<Piece>& to) {
  std::basic_string<Unit> out;
  out.reserve(text.size());
  for (const Piece& piece : pieces) {
    std::size_t index = from.size();
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (from[i].code == piece.code) {
        index = i;
        break;
      }
    }
    if (index == from.size()) {
      out.append(text.substr(piece.pos, piece.length));
    } else if (index < to.size()) {
      out.append(toText.substr(to[index].pos, to[index].length));
    }
  }
  (void)fromText;
  return out;
}

// Lexicographic comparison by unsigned unit value: negative, 0, positive.
template <typename Unit>
int Compare(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    using U = std::make_unsigned_t<Unit>;
    const auto x = static_cast<U>(a[i]);
    const auto y = static_cast<U>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Lower-case copies for comparisons without regard to case.
std::string FoldBytes(std::string_view bytes, std::uint32_t codePage);
std::u16string FoldUnits(std::u16string_view units);

}  // namespace string_access
