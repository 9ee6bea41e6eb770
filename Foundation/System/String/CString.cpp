// CQ_CString: 8-bit text over TextStore<char>.
//
// Text from other strings or in other code pages is converted into this
// string's code page before it is stored; text already in the same page is
// copied (or its block shared) unchanged. Character-level operations split
// the text with the page's lead-byte rules first.
#include "System/String/CString.h"

#include <cstring>
#include <string>

#include "System/String/Formatting.h"
#include "System/String/StringAccess.h"
#include "System/String/StringConvert/CodePages.h"
#include "System/String/TextStore.h"
#include "System/String/UString.h"

CQ_DEFINE_TYPE(CQ_CString)

namespace {

using Store = text_store::TextStore<char>;
using string_access::Count;

std::uint32_t Size(std::size_t n) { return static_cast<std::uint32_t>(n); }

bool SamePage(std::uint32_t a, std::uint32_t b) { return code_pages::Resolve(a) == code_pages::Resolve(b); }

}  // namespace

CQ_CString::CQ_CString(std::uint32_t codePage) : CQ_String(), n_CodePage(codePage) { CQ_TYPE_CONSTRUCT(CQ_CString); }

CQ_CString::CQ_CString(const char* text, std::uint32_t codePage) : CQ_String(), n_CodePage(codePage) {
  CQ_TYPE_CONSTRUCT(CQ_CString);
  Store(co_Buffer).Set(text, Count(text, CQ_NPOS));
}

CQ_CString::CQ_CString(const char* text, std::uint32_t count, std::uint32_t codePage)
    : CQ_String(), n_CodePage(codePage) {
  CQ_TYPE_CONSTRUCT(CQ_CString);
  Store(co_Buffer).Set(text, Count(text, count));
}

CQ_CString::CQ_CString(const char16_t* text, std::uint32_t count, std::uint32_t codePage)
    : CQ_String(), n_CodePage(codePage) {
  CQ_TYPE_CONSTRUCT(CQ_CString);
  vv_Init(text, count);
}

CQ_CString::CQ_CString(const CQ_CString& other) : CQ_String(other), n_CodePage(other.n_CodePage) {
  CQ_TYPE_CONSTRUCT(CQ_CString);
}

CQ_CString::CQ_CString(const CQ_String& other, std::uint32_t codePage) : CQ_String(), n_CodePage(codePage) {
  CQ_TYPE_CONSTRUCT(CQ_CString);
  vv_Init(other);
}

CQ_CString& CQ_CString::operator=(const CQ_CString& other) {
  if (this != &other) {
    co_Buffer = other.co_Buffer;
    n_CodePage = other.n_CodePage;
    vv_Update();
  }
  return *this;
}

CQ_CString& CQ_CString::operator=(const char* text) {
  vv_Init(text, CQ_NPOS, CQ_NPOS);
  return *this;
}

CQ_CString::~CQ_CString() { CQ_TYPE_DESTRUCT(CQ_CString); }

CQ_String* CQ_CString::vpco_Create() const { return new CQ_CString(n_CodePage); }

void CQ_CString::vv_SetSize(std::uint32_t size, bool keep) {
  Store(co_Buffer).SetSize(size, keep);
  vv_Update();
}

void CQ_CString::vv_SetMinSize(std::uint32_t size, bool keep) {
  Store(co_Buffer).SetMinSize(size, keep);
  vv_Update();
}

void CQ_CString::vv_Replace(char16_t unit, std::uint32_t pos, std::uint32_t count) {
  const std::string one = code_pages::WideToMulti(std::u16string_view(&unit, 1), n_CodePage);
  std::string fill;
  for (std::uint32_t i = 0; i < count; ++i) fill += one;
  Store(co_Buffer).Overwrite(pos, fill.data(), Size(fill.size()));
  vv_Update();
}

void CQ_CString::vv_Replace(char unit, std::uint32_t pos, std::uint32_t count) {
  const std::string fill(count, unit);
  Store(co_Buffer).Overwrite(pos, fill.data(), Size(fill.size()));
  vv_Update();
}

char CQ_CString::vc_GetAt(std::uint32_t pos) const {
  Store store(const_cast<CQ_Buffer&>(co_Buffer));
  return pos < store.Length() ? store.Data()[pos] : 0;
}

char16_t CQ_CString::vu_GetAt(std::uint32_t pos) const {
  Store store(const_cast<CQ_Buffer&>(co_Buffer));
  const std::uint32_t length = store.Length();
  if (pos >= length) return 0;
  const std::size_t n = code_pages::CharLength(store.Data() + pos, length - pos, code_pages::Resolve(n_CodePage));
  const std::u16string unit = code_pages::MultiToWide(std::string_view(store.Data() + pos, n), n_CodePage);
  return unit.empty() ? 0 : unit[0];
}

void CQ_CString::vv_SetAt(char16_t unit, std::uint32_t pos) {
  Store store(co_Buffer);
  const std::uint32_t length = store.Length();
  if (pos > length) return;
  const std::size_t old =
      pos < length ? code_pages::CharLength(store.Data() + pos, length - pos, code_pages::Resolve(n_CodePage)) : 0;
  const std::string bytes = code_pages::WideToMulti(std::u16string_view(&unit, 1), n_CodePage);
  store.Splice(pos, Size(old), bytes.data(), Size(bytes.size()));
  vv_Update();
}

void CQ_CString::vv_SetAt(char unit, std::uint32_t pos) {
  Store store(co_Buffer);
  if (pos > store.Length()) return;
  store.Overwrite(pos, &unit, 1);
  vv_Update();
}

namespace {

void MapCase(CQ_Buffer& buffer, std::uint32_t codePage, bool upper) {
  Store store(buffer);
  const std::string_view text = store.View();
  if (text.empty()) return;
  const unsigned char* table = code_pages::CaseTable(codePage, upper);
  std::string mapped(text);
  for (const auto& piece : string_access::Split(text, codePage)) {
    if (piece.length == 1) mapped[piece.pos] = static_cast<char>(table[static_cast<unsigned char>(mapped[piece.pos])]);
  }
  if (mapped == text) return;
  std::memcpy(buffer.pb_GetData(), mapped.data(), mapped.size());
}

}  // namespace

void CQ_CString::vv_ToLower() {
  MapCase(co_Buffer, n_CodePage, false);
  vv_Update();
}

void CQ_CString::vv_ToUpper() {
  MapCase(co_Buffer, n_CodePage, true);
  vv_Update();
}

void CQ_CString::vv_Remove(std::uint32_t pos, std::uint32_t count) {
  Store(co_Buffer).Splice(pos, count, nullptr, 0);
  vv_Update();
}

namespace {

std::uint32_t FindBytes(std::string_view text, std::string_view needle, std::uint32_t start, std::uint32_t codePage) {
  if (start > text.size()) return CQ_NPOS;
  const std::uint32_t resolved = code_pages::Resolve(codePage);
  if (!code_pages::IsDoubleByte(resolved)) {
    const std::size_t at = text.find(needle, start);
    return at == std::string_view::npos ? CQ_NPOS : Size(at);
  }
  if (needle.empty()) return start;
  // Only positions where a character starts may match.
  for (std::size_t at = 0; at < text.size();) {
    if (at >= start && text.compare(at, needle.size(), needle) == 0) return Size(at);
    at += code_pages::CharLength(text.data() + at, text.size() - at, resolved);
  }
  return CQ_NPOS;
}

}  // namespace

std::uint32_t CQ_CString::vn_Find(char16_t unit, std::uint32_t start) const {
  bool usedDefault = false;
  const std::string needle = code_pages::WideToMulti(std::u16string_view(&unit, 1), n_CodePage, '?', &usedDefault);
  if (usedDefault || needle.empty()) return CQ_NPOS;
  return FindBytes(std::string_view(qccz_Get(), vn_GetLength()), needle, start, n_CodePage);
}

std::uint32_t CQ_CString::vn_Find(char unit, std::uint32_t start) const {
  return FindBytes(std::string_view(qccz_Get(), vn_GetLength()), std::string_view(&unit, 1), start, n_CodePage);
}

std::uint32_t CQ_CString::vn_Find(const CQ_String& string, std::uint32_t start) const {
  const std::string needle = string_access::Multi(string, n_CodePage);
  return FindBytes(std::string_view(qccz_Get(), vn_GetLength()), needle, start, n_CodePage);
}

bool CQ_CString::vb_Match(const CQ_String& pattern) const {
  const std::string bytes = string_access::Multi(pattern, n_CodePage);
  return string_access::Match(string_access::Split(std::string_view(qccz_Get(), vn_GetLength()), n_CodePage),
                              string_access::Split(bytes, n_CodePage));
}

namespace {

void Strip(CQ_Buffer& buffer, std::uint32_t codePage, std::string_view set, bool left, bool right) {
  Store store(buffer);
  const std::string_view text = store.View();
  const auto range = string_access::StripRange(string_access::Split(text, codePage), Size(text.size()),
                                               string_access::Split(set, codePage), left, right);
  if (range.first == 0 && range.second == text.size()) return;
  store.Set(text.data() + range.first, range.second - range.first);
}

}  // namespace

void CQ_CString::vv_Strip(const CQ_String& set) {
  Strip(co_Buffer, n_CodePage, string_access::Multi(set, n_CodePage), true, true);
  vv_Update();
}

void CQ_CString::vv_StripRight() {
  Strip(co_Buffer, n_CodePage, std::string_view(), false, true);
  vv_Update();
}

void CQ_CString::vv_StripLeft() {
  Strip(co_Buffer, n_CodePage, std::string_view(), true, false);
  vv_Update();
}

namespace {

int CompareBytes(std::string_view a, std::string_view b, std::uint32_t flags, std::uint32_t codePage) {
  if (flags & CQ_String::sn4_CompareNoCase) {
    return string_access::Compare<char>(string_access::FoldBytes(a, codePage), string_access::FoldBytes(b, codePage));
  }
  return string_access::Compare<char>(a, b);
}

int CompareUnits(std::u16string_view a, std::u16string_view b, std::uint32_t flags) {
  if (flags & CQ_String::sn4_CompareNoCase) {
    return string_access::Compare<char16_t>(string_access::FoldUnits(a), string_access::FoldUnits(b));
  }
  return string_access::Compare<char16_t>(a, b);
}

}  // namespace

int CQ_CString::vi_Compare(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t flags) const {
  std::string_view mine(qccz_Get(), vn_GetLength());
  if (pos > mine.size()) pos = Size(mine.size());
  mine = mine.substr(pos, count);
  const auto* narrow = dynamic_cast<const CQ_CString*>(&string);
  if (narrow && SamePage(narrow->n_CodePage, n_CodePage)) {
    return CompareBytes(mine, std::string_view(narrow->qccz_Get(), narrow->vn_GetLength()), flags, n_CodePage);
  }
  return CompareUnits(code_pages::MultiToWide(mine, n_CodePage), string_access::Wide(string), flags);
}

int CQ_CString::vi_Compare(const char16_t* text, std::uint32_t count, std::uint32_t flags) const {
  const std::u16string mine = code_pages::MultiToWide(std::string_view(qccz_Get(), vn_GetLength()), n_CodePage);
  return CompareUnits(mine, std::u16string_view(text ? text : u"", Count(text, count)), flags);
}

int CQ_CString::vi_Compare(const char* text, std::uint32_t count, std::uint32_t flags) const {
  return CompareBytes(std::string_view(qccz_Get(), vn_GetLength()), std::string_view(text ? text : "", Count(text, count)),
                      flags, n_CodePage);
}

void CQ_CString::vv_Translate(const CQ_String& from, const CQ_String& to) {
  const std::string fromBytes = string_access::Multi(from, n_CodePage);
  const std::string toBytes = string_access::Multi(to, n_CodePage);
  Store store(co_Buffer);
  const std::string_view text = store.View();
  const std::string out = string_access::Translate<char>(text, string_access::Split(text, n_CodePage), fromBytes,
                                                         string_access::Split(fromBytes, n_CodePage), toBytes,
                                                         string_access::Split(toBytes, n_CodePage));
  if (out != text) store.Set(out.data(), Size(out.size()));
  vv_Update();
}

void CQ_CString::vv_SetLength(std::uint32_t length) {
  Store(co_Buffer).SetLength(length);
  vv_Update();
}

std::uint32_t CQ_CString::vn_GetLength() const { return Store(const_cast<CQ_Buffer&>(co_Buffer)).Length(); }

std::uint32_t CQ_CString::vn_GetMaximumLength() const {
  return Store(const_cast<CQ_Buffer&>(co_Buffer)).MaximumLength();
}

void CQ_CString::vv_SetGrowth(std::uint32_t growth) { co_Buffer.v_SetGranularity(growth); }

std::uint32_t CQ_CString::vn_GetGrowth() const { return co_Buffer.n_GetGranularity(); }

void CQ_CString::vv_VFormat(const char* format, va_list args) {
  const std::string text = formatting::FormatNarrow(format, args);
  Store(co_Buffer).Set(text.data(), Size(text.size()));
  vv_Update();
}

void CQ_CString::vv_VFormat(const char16_t* format, va_list args) {
  const std::string text = code_pages::WideToMulti(formatting::FormatWide(format, args), n_CodePage);
  Store(co_Buffer).Set(text.data(), Size(text.size()));
  vv_Update();
}

void CQ_CString::v_Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  vv_VFormat(format, args);
  va_end(args);
}

void CQ_CString::vv_Init(const CQ_Buffer& buffer) {
  const auto* data = reinterpret_cast<const char*>(buffer.pcb_GetData());
  const std::uint32_t used = buffer.n_GetUsedSize();
  const void* zero = data ? std::memchr(data, 0, used) : nullptr;
  const std::uint32_t length = zero ? Size(static_cast<const char*>(zero) - data) : used;
  if (zero && length + 1 == used) {
    // Already text with its terminating zero: share the block.
    const std::uint32_t growth = co_Buffer.n_GetGranularity();
    co_Buffer = buffer;
    co_Buffer.v_SetGranularity(growth);
  } else {
    Store(co_Buffer).Set(data, length);
  }
  vv_Update();
}

void CQ_CString::vv_Init(const char16_t* text, std::uint32_t count) {
  const std::string bytes =
      code_pages::WideToMulti(std::u16string_view(text ? text : u"", Count(text, count)), n_CodePage);
  Store(co_Buffer).Set(bytes.data(), Size(bytes.size()));
  vv_Update();
}

void CQ_CString::vv_Init(const char* text, std::uint32_t count, std::uint32_t codePage) {
  codePage = ownCodePage(codePage);
  const std::uint32_t n = Count(text, count);
  if (SamePage(codePage, n_CodePage)) {
    Store(co_Buffer).Set(text, n);
  } else {
    const std::string bytes = code_pages::WideToMulti(code_pages::MultiToWide(std::string_view(text, n), codePage), n_CodePage);
    Store(co_Buffer).Set(bytes.data(), Size(bytes.size()));
  }
  vv_Update();
}

void CQ_CString::vv_Init(const CQ_String& string) {
  if (&string == this) return;
  const auto* narrow = dynamic_cast<const CQ_CString*>(&string);
  if (narrow && SamePage(narrow->n_CodePage, n_CodePage)) {
    const std::uint32_t growth = co_Buffer.n_GetGranularity();
    co_Buffer = narrow->co_Buffer;
    co_Buffer.v_SetGranularity(growth);
  } else {
    const std::string bytes = string_access::Multi(string, n_CodePage);
    Store(co_Buffer).Set(bytes.data(), Size(bytes.size()));
  }
  vv_Update();
}

void CQ_CString::vv_Init(std::uint32_t size) {
  Store(co_Buffer).SetSize(size, false);
  vv_Update();
}

void CQ_CString::vv_Init() {
  co_Buffer.v_Release();
  vv_Update();
}

namespace {

// The first `count` units of `string` (of at most `length`) in `codePage`.
std::string SourceBytes(const CQ_String& string, std::uint32_t count, std::uint32_t length, std::uint32_t codePage) {
  std::uint32_t available = string.vn_GetLength();
  if (length < available) available = length;
  return string_access::Multi(string, codePage, 0, count < available ? count : available);
}

std::string ConvertedBytes(const char* text, std::uint32_t count, std::uint32_t from, std::uint32_t to) {
  const std::string_view bytes(text ? text : "", Count(text, count));
  if (SamePage(from, to)) return std::string(bytes);
  return code_pages::WideToMulti(code_pages::MultiToWide(bytes, from), to);
}

}  // namespace

void CQ_CString::vv_StringReplace(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) {
  const std::string bytes = SourceBytes(string, count, length, n_CodePage);
  Store(co_Buffer).Overwrite(pos, bytes.data(), Size(bytes.size()));
  vv_Update();
}

void CQ_CString::vv_StringReplace(const char16_t* text, std::uint32_t pos, std::uint32_t count) {
  const std::string bytes =
      code_pages::WideToMulti(std::u16string_view(text ? text : u"", Count(text, count)), n_CodePage);
  Store(co_Buffer).Overwrite(pos, bytes.data(), Size(bytes.size()));
  vv_Update();
}

void CQ_CString::vv_StringReplace(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) {
  if (SamePage(ownCodePage(codePage), n_CodePage)) {
    Store(co_Buffer).Overwrite(pos, text, Count(text, count));  // the buffer copes with text from itself
  } else {
    const std::string bytes = ConvertedBytes(text, count, ownCodePage(codePage), n_CodePage);
    Store(co_Buffer).Overwrite(pos, bytes.data(), Size(bytes.size()));
  }
  vv_Update();
}

void CQ_CString::vv_StringInsert(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) {
  const std::string bytes = SourceBytes(string, count, length, n_CodePage);
  Store(co_Buffer).Splice(pos, 0, bytes.data(), Size(bytes.size()));
  vv_Update();
}

void CQ_CString::vv_StringInsert(const char16_t* text, std::uint32_t pos, std::uint32_t count) {
  const std::string bytes =
      code_pages::WideToMulti(std::u16string_view(text ? text : u"", Count(text, count)), n_CodePage);
  Store(co_Buffer).Splice(pos, 0, bytes.data(), Size(bytes.size()));
  vv_Update();
}

void CQ_CString::vv_StringInsert(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) {
  if (SamePage(ownCodePage(codePage), n_CodePage)) {
    Store(co_Buffer).Splice(pos, 0, text, Count(text, count));  // the buffer copes with text from itself
  } else {
    const std::string bytes = ConvertedBytes(text, count, ownCodePage(codePage), n_CodePage);
    Store(co_Buffer).Splice(pos, 0, bytes.data(), Size(bytes.size()));
  }
  vv_Update();
}

const char* CQ_CString::qccz_Get() const { return Store(const_cast<CQ_Buffer&>(co_Buffer)).Data(); }

char* CQ_CString::qcz_GetBuffer() { return reinterpret_cast<char*>(co_Buffer.pb_GetData()); }

bool CQ_CString::operator==(const CQ_CString& other) const {
  return std::string_view(qccz_Get(), vn_GetLength()) == std::string_view(other.qccz_Get(), other.vn_GetLength());
}

bool CQ_CString::operator==(const char* text) const {
  return std::string_view(qccz_Get(), vn_GetLength()) == std::string_view(text ? text : "");
}
