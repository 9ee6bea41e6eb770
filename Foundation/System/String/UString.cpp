// CQ_UString: 16-bit text over TextStore<char16_t>. Bare 8-bit text is
// read and written in the ANSI code page unless a code page is given.
#include "System/String/UString.h"

#include <cstring>
#include <string>

#include "System/String/CString.h"
#include "System/String/Formatting.h"
#include "System/String/StringAccess.h"
#include "System/String/StringConvert/CodePages.h"
#include "System/String/TextStore.h"

CQ_DEFINE_TYPE(CQ_UString)

namespace {

using Store = text_store::TextStore<char16_t>;
using string_access::Count;

std::uint32_t Size(std::size_t n) { return static_cast<std::uint32_t>(n); }

std::uint32_t PageOf(std::uint32_t codePage) { return codePage == CQ_NPOS ? code_pages::kANSI : codePage; }

char16_t Widen(char unit) { return code_pages::ByteToUnit(static_cast<unsigned char>(unit), code_pages::kANSI); }

int CompareUnits(std::u16string_view a, std::u16string_view b, std::uint32_t flags) {
  if (flags & CQ_String::sn4_CompareNoCase) {
    return string_access::Compare<char16_t>(string_access::FoldUnits(a), string_access::FoldUnits(b));
  }
  return string_access::Compare<char16_t>(a, b);
}

}  // namespace

CQ_UString::CQ_UString() : CQ_String() {
  co_Buffer.v_SetGranularity(CQ_Buffer::sn4_DefaultGranularity);
  CQ_TYPE_CONSTRUCT(CQ_UString);
}

CQ_UString::CQ_UString(const char16_t* text, std::uint32_t count) : CQ_String() {
  CQ_TYPE_CONSTRUCT(CQ_UString);
  Store(co_Buffer).Set(text, Count(text, count));
}

CQ_UString::CQ_UString(const CQ_UString& other) : CQ_String(other) { CQ_TYPE_CONSTRUCT(CQ_UString); }

CQ_UString::CQ_UString(const CQ_CString& other) : CQ_String() {
  CQ_TYPE_CONSTRUCT(CQ_UString);
  vv_Init(other);
}

CQ_UString& CQ_UString::operator=(const CQ_UString& other) {
  if (this != &other) {
    co_Buffer = other.co_Buffer;
    vv_Update();
  }
  return *this;
}

CQ_UString& CQ_UString::operator=(const char16_t* text) {
  vv_Init(text, CQ_NPOS);
  return *this;
}

CQ_UString::~CQ_UString() { CQ_TYPE_DESTRUCT(CQ_UString); }

CQ_String* CQ_UString::vpco_Create() const { return new CQ_UString(); }

void CQ_UString::vv_SetSize(std::uint32_t size, bool keep) {
  Store(co_Buffer).SetSize(size, keep);
  vv_Update();
}

void CQ_UString::vv_SetMinSize(std::uint32_t size, bool keep) {
  Store(co_Buffer).SetMinSize(size, keep);
  vv_Update();
}

void CQ_UString::vv_Replace(char16_t unit, std::uint32_t pos, std::uint32_t count) {
  const std::u16string fill(count, unit);
  Store(co_Buffer).Overwrite(pos, fill.data(), Size(fill.size()));
  vv_Update();
}

void CQ_UString::vv_Replace(char unit, std::uint32_t pos, std::uint32_t count) { vv_Replace(Widen(unit), pos, count); }

char CQ_UString::vc_GetAt(std::uint32_t pos) const {
  const char16_t unit = vu_GetAt(pos);
  if (unit == 0) return 0;
  const unsigned char byte = code_pages::UnitToByte(unit, code_pages::kANSI);
  return byte ? static_cast<char>(byte) : '?';
}

char16_t CQ_UString::vu_GetAt(std::uint32_t pos) const {
  Store store(const_cast<CQ_Buffer&>(co_Buffer));
  return pos < store.Length() ? store.Data()[pos] : 0;
}

void CQ_UString::vv_SetAt(char16_t unit, std::uint32_t pos) {
  Store store(co_Buffer);
  if (pos > store.Length()) return;
  store.Overwrite(pos, &unit, 1);
  vv_Update();
}

void CQ_UString::vv_SetAt(char unit, std::uint32_t pos) { vv_SetAt(Widen(unit), pos); }

namespace {

void MapCase(CQ_Buffer& buffer, bool upper) {
  Store store(buffer);
  const std::u16string_view text = store.View();
  std::u16string mapped(text);
  for (char16_t& unit : mapped) unit = upper ? code_pages::ToUpperUnit(unit) : code_pages::ToLowerUnit(unit);
  if (mapped == text) return;
  std::memcpy(buffer.pb_GetData(), mapped.data(), mapped.size() * sizeof(char16_t));
}

}  // namespace

void CQ_UString::vv_ToLower() {
  MapCase(co_Buffer, false);
  vv_Update();
}

void CQ_UString::vv_ToUpper() {
  MapCase(co_Buffer, true);
  vv_Update();
}

void CQ_UString::vv_Remove(std::uint32_t pos, std::uint32_t count) {
  Store(co_Buffer).Splice(pos, count, nullptr, 0);
  vv_Update();
}

namespace {

std::uint32_t FindUnits(std::u16string_view text, std::u16string_view needle, std::uint32_t start) {
  if (start > text.size()) return CQ_NPOS;
  const std::size_t at = text.find(needle, start);
  return at == std::u16string_view::npos ? CQ_NPOS : Size(at);
}

}  // namespace

std::uint32_t CQ_UString::vn_Find(char16_t unit, std::uint32_t start) const {
  return FindUnits(std::u16string_view(qcuz_Get(), vn_GetLength()), std::u16string_view(&unit, 1), start);
}

std::uint32_t CQ_UString::vn_Find(char unit, std::uint32_t start) const { return vn_Find(Widen(unit), start); }

std::uint32_t CQ_UString::vn_Find(const CQ_String& string, std::uint32_t start) const {
  return FindUnits(std::u16string_view(qcuz_Get(), vn_GetLength()), string_access::Wide(string), start);
}

bool CQ_UString::vb_Match(const CQ_String& pattern) const {
  const std::u16string units = string_access::Wide(pattern);
  return string_access::Match(string_access::Split(std::u16string_view(qcuz_Get(), vn_GetLength())),
                              string_access::Split(units));
}

namespace {

void Strip(CQ_Buffer& buffer, std::u16string_view set, bool left, bool right) {
  Store store(buffer);
  const std::u16string_view text = store.View();
  const auto range = string_access::StripRange(string_access::Split(text), Size(text.size()), string_access::Split(set),
                                               left, right);
  if (range.first == 0 && range.second == text.size()) return;
  store.Set(text.data() + range.first, range.second - range.first);
}

}  // namespace

void CQ_UString::vv_Strip(const CQ_String& set) {
  Strip(co_Buffer, string_access::Wide(set), true, true);
  vv_Update();
}

void CQ_UString::vv_StripRight() {
  Strip(co_Buffer, std::u16string_view(), false, true);
  vv_Update();
}

void CQ_UString::vv_StripLeft() {
  Strip(co_Buffer, std::u16string_view(), true, false);
  vv_Update();
}

int CQ_UString::vi_Compare(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t flags) const {
  std::u16string_view mine(qcuz_Get(), vn_GetLength());
  if (pos > mine.size()) pos = Size(mine.size());
  return CompareUnits(mine.substr(pos, count), string_access::Wide(string), flags);
}

int CQ_UString::vi_Compare(const char16_t* text, std::uint32_t count, std::uint32_t flags) const {
  return CompareUnits(std::u16string_view(qcuz_Get(), vn_GetLength()),
                      std::u16string_view(text ? text : u"", Count(text, count)), flags);
}

int CQ_UString::vi_Compare(const char* text, std::uint32_t count, std::uint32_t flags) const {
  const std::u16string other =
      code_pages::MultiToWide(std::string_view(text ? text : "", Count(text, count)), code_pages::kANSI);
  return CompareUnits(std::u16string_view(qcuz_Get(), vn_GetLength()), other, flags);
}

void CQ_UString::vv_Translate(const CQ_String& from, const CQ_String& to) {
  const std::u16string fromUnits = string_access::Wide(from);
  const std::u16string toUnits = string_access::Wide(to);
  Store store(co_Buffer);
  const std::u16string_view text = store.View();
  const std::u16string out =
      string_access::Translate<char16_t>(text, string_access::Split(text), fromUnits, string_access::Split(fromUnits),
                                         toUnits, string_access::Split(toUnits));
  if (out != text) store.Set(out.data(), Size(out.size()));
  vv_Update();
}

void CQ_UString::vv_SetLength(std::uint32_t length) {
  Store(co_Buffer).SetLength(length);
  vv_Update();
}

std::uint32_t CQ_UString::vn_GetLength() const { return Store(const_cast<CQ_Buffer&>(co_Buffer)).Length(); }

std::uint32_t CQ_UString::vn_GetMaximumLength() const {
  return Store(const_cast<CQ_Buffer&>(co_Buffer)).MaximumLength();
}

void CQ_UString::vv_SetGrowth(std::uint32_t growth) { co_Buffer.v_SetGranularity(growth * 2); }

std::uint32_t CQ_UString::vn_GetGrowth() const { return co_Buffer.n_GetGranularity() / 2; }

void CQ_UString::vv_VFormat(const char* format, va_list args) {
  const std::u16string text = code_pages::MultiToWide(formatting::FormatNarrow(format, args), code_pages::kANSI);
  Store(co_Buffer).Set(text.data(), Size(text.size()));
  vv_Update();
}

void CQ_UString::vv_VFormat(const char16_t* format, va_list args) {
  const std::u16string text = formatting::FormatWide(format, args);
  Store(co_Buffer).Set(text.data(), Size(text.size()));
  vv_Update();
}

void CQ_UString::v_Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  vv_VFormat(format, args);
  va_end(args);
}

void CQ_UString::vv_Init(const CQ_Buffer& buffer) {
  const auto* data = reinterpret_cast<const char16_t*>(buffer.pcb_GetData());
  const std::uint32_t units = buffer.n_GetUsedSize() / 2;
  std::uint32_t length = 0;
  while (length < units && data[length]) ++length;
  if (length < units && length + 1 == units && buffer.n_GetUsedSize() % 2 == 0) {
    // Already text with its terminating zero: share the block.
    const std::uint32_t growth = co_Buffer.n_GetGranularity();
    co_Buffer = buffer;
    co_Buffer.v_SetGranularity(growth);
  } else {
    std::u16string copy(length, u'\0');
    if (length) std::memcpy(copy.data(), data, length * sizeof(char16_t));
    Store(co_Buffer).Set(copy.data(), length);
  }
  vv_Update();
}

void CQ_UString::vv_Init(const char16_t* text, std::uint32_t count) {
  Store(co_Buffer).Set(text, Count(text, count));
  vv_Update();
}

void CQ_UString::vv_Init(const char* text, std::uint32_t count, std::uint32_t codePage) {
  const std::u16string units = code_pages::MultiToWide(std::string_view(text ? text : "", Count(text, count)), PageOf(codePage));
  Store(co_Buffer).Set(units.data(), Size(units.size()));
  vv_Update();
}

void CQ_UString::vv_Init(const CQ_String& string) {
  if (&string == this) return;
  if (const auto* wide = dynamic_cast<const CQ_UString*>(&string)) {
    const std::uint32_t growth = co_Buffer.n_GetGranularity();
    co_Buffer = wide->co_Buffer;
    co_Buffer.v_SetGranularity(growth);
  } else {
    const std::u16string units = string_access::Wide(string);
    Store(co_Buffer).Set(units.data(), Size(units.size()));
  }
  vv_Update();
}

void CQ_UString::vv_Init(std::uint32_t size) {
  Store(co_Buffer).SetSize(size, false);
  vv_Update();
}

void CQ_UString::vv_Init() {
  co_Buffer.v_Release();
  vv_Update();
}

namespace {

std::u16string SourceUnits(const CQ_String& string, std::uint32_t count, std::uint32_t length) {
  std::uint32_t available = string.vn_GetLength();
  if (length < available) available = length;
  return string_access::Wide(string, 0, count < available ? count : available);
}

std::u16string Widened(const char* text, std::uint32_t count, std::uint32_t codePage) {
  return code_pages::MultiToWide(std::string_view(text ? text : "", Count(text, count)), PageOf(codePage));
}

}  // namespace

void CQ_UString::vv_StringReplace(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) {
  const std::u16string units = SourceUnits(string, count, length);
  Store(co_Buffer).Overwrite(pos, units.data(), Size(units.size()));
  vv_Update();
}

void CQ_UString::vv_StringReplace(const char16_t* text, std::uint32_t pos, std::uint32_t count) {
  Store(co_Buffer).Overwrite(pos, text, Count(text, count));
  vv_Update();
}

void CQ_UString::vv_StringReplace(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) {
  const std::u16string units = Widened(text, count, codePage);
  Store(co_Buffer).Overwrite(pos, units.data(), Size(units.size()));
  vv_Update();
}

void CQ_UString::vv_StringInsert(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) {
  const std::u16string units = SourceUnits(string, count, length);
  Store(co_Buffer).Splice(pos, 0, units.data(), Size(units.size()));
  vv_Update();
}

void CQ_UString::vv_StringInsert(const char16_t* text, std::uint32_t pos, std::uint32_t count) {
  Store(co_Buffer).Splice(pos, 0, text, Count(text, count));
  vv_Update();
}

void CQ_UString::vv_StringInsert(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) {
  const std::u16string units = Widened(text, count, codePage);
  Store(co_Buffer).Splice(pos, 0, units.data(), Size(units.size()));
  vv_Update();
}

const char16_t* CQ_UString::qcuz_Get() const { return Store(const_cast<CQ_Buffer&>(co_Buffer)).Data(); }

char16_t* CQ_UString::quz_GetBuffer() { return reinterpret_cast<char16_t*>(co_Buffer.pb_GetData()); }

bool CQ_UString::operator==(const CQ_UString& other) const {
  return std::u16string_view(qcuz_Get(), vn_GetLength()) == std::u16string_view(other.qcuz_Get(), other.vn_GetLength());
}

bool CQ_UString::operator==(const char16_t* text) const {
  return std::u16string_view(qcuz_Get(), vn_GetLength()) == std::u16string_view(text ? text : u"");
}
