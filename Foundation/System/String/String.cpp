// CQ_String: the parts both string classes share, and the helpers of
// StringAccess.h that need to know both of them.
#include "System/String/String.h"

#include <cstring>

#include "System/String/CString.h"
#include "System/String/StringAccess.h"
#include "System/String/StringConvert/CodePages.h"
#include "System/String/UString.h"

CQ_DEFINE_ABSTRACT_TYPE(CQ_String)

CQ_String::CQ_String() : co_Buffer() { CQ_TYPE_CONSTRUCT_ABSTRACT(CQ_String); }

CQ_String::CQ_String(const CQ_String& other) : co_Buffer(other.co_Buffer) { CQ_TYPE_CONSTRUCT_ABSTRACT(CQ_String); }

CQ_String& CQ_String::operator=(const CQ_String& other) {
  co_Buffer = other.co_Buffer;
  return *this;
}

CQ_String::~CQ_String() { CQ_TYPE_DESTRUCT_ABSTRACT(CQ_String); }

void CQ_String::vv_Update() {}

void CQ_String::vv_Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vv_VFormat(format, args);
  va_end(args);
}

void CQ_String::v_Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vv_VFormat(format, args);
  va_end(args);
}

bool CQ_String::b_Match(const char* pattern) const {
  if (const auto* self = dynamic_cast<const CQ_CString*>(this)) {
    return vb_Match(CQ_CString(pattern ? pattern : "", self->n_GetCodePage()));
  }
  return vb_Match(CQ_CString(pattern ? pattern : "", code_pages::kANSI));
}

bool CQ_String::b_Match(const char16_t* pattern) const { return vb_Match(CQ_UString(pattern ? pattern : u"")); }

namespace string_access {

std::uint32_t Count(const char* text, std::uint32_t count) {
  if (!text) return 0;
  if (count != CQ_NPOS) return count;
  return static_cast<std::uint32_t>(std::strlen(text));
}

std::uint32_t Count(const char16_t* text, std::uint32_t count) {
  if (!text) return 0;
  if (count != CQ_NPOS) return count;
  std::uint32_t n = 0;
  while (text[n]) ++n;
  return n;
}

namespace {

template <typename Unit>
std::basic_string_view<Unit> Slice(std::basic_string_view<Unit> text, std::uint32_t pos, std::uint32_t count) {
  if (pos > text.size()) pos = static_cast<std::uint32_t>(text.size());
  return text.substr(pos, count);
}

}  // namespace

std::u16string Wide(const CQ_String& string, std::uint32_t pos, std::uint32_t count) {
  if (const auto* narrow = dynamic_cast<const CQ_CString*>(&string)) {
    const std::string_view bytes = Slice(std::string_view(narrow->qccz_Get(), narrow->vn_GetLength()), pos, count);
    return code_pages::MultiToWide(bytes, narrow->n_GetCodePage());
  }
  if (const auto* wide = dynamic_cast<const CQ_UString*>(&string)) {
    return std::u16string(Slice(std::u16string_view(wide->qcuz_Get(), wide->vn_GetLength()), pos, count));
  }
  // Another string class: read it unit by unit.
  std::u16string out;
  const std::uint32_t length = string.vn_GetLength();
  for (std::uint32_t i = pos; i < length && i - pos < count; ++i) out.push_back(string.vu_GetAt(i));
  return out;
}

std::string Multi(const CQ_String& string, std::uint32_t codePage, std::uint32_t pos, std::uint32_t count) {
  if (const auto* narrow = dynamic_cast<const CQ_CString*>(&string)) {
    const std::string_view bytes = Slice(std::string_view(narrow->qccz_Get(), narrow->vn_GetLength()), pos, count);
    if (code_pages::Resolve(narrow->n_GetCodePage()) == code_pages::Resolve(codePage)) return std::string(bytes);
    return code_pages::WideToMulti(code_pages::MultiToWide(bytes, narrow->n_GetCodePage()), codePage);
  }
  return code_pages::WideToMulti(Wide(string, pos, count), codePage);
}

std::vector<Piece> Split(std::string_view bytes, std::uint32_t codePage) {
  std::vector<Piece> pieces;
  pieces.reserve(bytes.size());
  const std::uint32_t resolved = code_pages::Resolve(codePage);
  const bool doubleByte = code_pages::IsDoubleByte(resolved);
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t n = doubleByte ? code_pages::CharLength(bytes.data() + i, bytes.size() - i, resolved) : 1;
    std::uint32_t code = static_cast<unsigned char>(bytes[i]);
    if (n > 1) {
      code = 0x1000000;
      for (std::size_t k = 0; k < n; ++k) code |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + k])) << (16 - 8 * k);
    }
    pieces.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(n), code});
    i += n;
  }
  return pieces;
}

std::vector<Piece> Split(std::u16string_view units) {
  std::vector<Piece> pieces;
  pieces.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) pieces.push_back({static_cast<std::uint32_t>(i), 1, units[i]});
  return pieces;
}

bool Match(const std::vector<Piece>& text, const std::vector<Piece>& pattern) {
  std::size_t t = 0;
  std::size_t p = 0;
  std::size_t star = pattern.size();  // none yet
  std::size_t mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p].code == '?' || pattern[p].code == text[t].code)) {
      ++t;
      ++p;
    } else if (p < pattern.size() && pattern[p].code == '*') {
      star = p++;
      mark = t;
    } else if (star != pattern.size()) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p].code == '*') ++p;
  return p == pattern.size();
}

namespace {

bool IsWhite(std::uint32_t code) {
  return code == ' ' || code == '\t' || code == '\r' || code == '\n' || code == '\v' || code == '\f';
}

bool InSet(std::uint32_t code, const std::vector<Piece>& set) {
  if (set.empty()) return IsWhite(code);
  for (const Piece& piece : set) {
    if (piece.code == code) return true;
  }
  return false;
}

}  // namespace

std::pair<std::uint32_t, std::uint32_t> StripRange(const std::vector<Piece>& text, std::uint32_t length,
                                                   const std::vector<Piece>& set, bool left, bool right) {
  std::size_t first = 0;
  std::size_t last = text.size();
  if (left) {
    while (first < last && InSet(text[first].code, set)) ++first;
  }
  if (right) {
    while (last > first && InSet(text[last - 1].code, set)) --last;
  }
  const std::uint32_t begin = first < text.size() ? text[first].pos : length;
  const std::uint32_t end = last > first ? text[last - 1].pos + text[last - 1].length : begin;
  return {begin, end};
}

std::string FoldBytes(std::string_view bytes, std::uint32_t codePage) {
  const unsigned char* table = code_pages::CaseTable(codePage, false);
  std::string out(bytes);
  for (const Piece& piece : Split(bytes, codePage)) {
    if (piece.length == 1) out[piece.pos] = static_cast<char>(table[static_cast<unsigned char>(out[piece.pos])]);
  }
  return out;
}

std::u16string FoldUnits(std::u16string_view units) {
  std::u16string out(units);
  for (char16_t& unit : out) unit = code_pages::ToLowerUnit(unit);
  return out;
}

}  // namespace string_access
