// CQ_StringConvert: the exported face of CodePages.cpp. Raw-buffer forms
// convert the whole text first and then copy as many whole characters as
// the target holds; a conversion that can write nothing is reported to the
// error manager.
#include "System/String/StringConvert/StringConvert.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "System/ErrorManager/ErrorManager.h"
#include "System/String/CString.h"
#include "System/String/StringAccess.h"
#include "System/String/StringConvert/CodePages.h"
#include "System/String/StringConvert/UTF.h"
#include "System/String/UString.h"

namespace {

using string_access::Count;

constexpr const char* kLocationFile = "Foundation\\System\\String\\StringConvert";
constexpr std::uint32_t kLocationLine = 196;

// Bytes of `text` that fit in `room` without splitting a character.
std::size_t WholeCharacters(const std::string& text, std::size_t room, std::uint32_t codePage) {
  if (text.size() <= room) return text.size();
  const std::uint32_t resolved = code_pages::Resolve(codePage);
  std::size_t fit = 0;
  if (resolved == code_pages::kUTF8) {
    fit = room;
    while (fit > 0 && (static_cast<unsigned char>(text[fit]) & 0xC0) == 0x80) --fit;
    return fit;
  }
  if (resolved == code_pages::kUTF7) {
    // A base64 run from "+" to its "-" is kept or dropped as a whole.
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = at + 1;
      if (text[at] == '+') {
        while (end < text.size() && text[end] != '-') ++end;
        if (end < text.size()) ++end;
      }
      if (end > room) break;
      at = end;
      fit = at;
    }
    return fit;
  }
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = code_pages::CharLength(text.data() + at, text.size() - at, resolved);
    if (at + n > room) break;
    at += n;
    fit = at;
  }
  return fit;
}

}  // namespace

int CQ_StringConvert::si_MultiToWide(char16_t* target, std::uint32_t targetSize, const char* source,
                                     std::uint32_t count, std::uint32_t codePage) {
  if (!source) return 0;
  const std::u16string units = code_pages::MultiToWide(std::string_view(source, Count(source, count)), codePage);
  if (!target) return static_cast<int>(units.size());
  if (targetSize == 0) return 0;
  std::size_t n = units.size() < targetSize - 1 ? units.size() : targetSize - 1;
  if (n > 0 && n < units.size() && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) --n;  // keep pairs whole
  std::memcpy(target, units.data(), n * sizeof(char16_t));
  target[n] = 0;
  return static_cast<int>(n);
}

int CQ_StringConvert::si_MultiToWide(CQ_UString& target, const char* source, std::uint32_t count, std::uint32_t codePage) {
  target.vv_Init(source, count, codePage);
  return static_cast<int>(target.vn_GetLength());
}

int CQ_StringConvert::si_MultiToWide(CQ_UString& target, const CQ_CString& source) {
  target.vv_Init(source);
  return static_cast<int>(target.vn_GetLength());
}

int CQ_StringConvert::si_MultiToWideANSI(char16_t* target, std::uint32_t targetSize, const char* source,
                                         std::uint32_t count) {
  return si_MultiToWide(target, targetSize, source, count, sn4_CodePageANSI);
}

int CQ_StringConvert::si_MultiToWideANSI(CQ_UString& target, const char* source, std::uint32_t count) {
  return si_MultiToWide(target, source, count, sn4_CodePageANSI);
}

int CQ_StringConvert::si_WideToMulti(char* target, std::uint32_t targetSize, const char16_t* source,
                                     std::uint32_t count, std::uint32_t codePage, char defaultChar, bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  if (!source) return 0;
  const std::uint32_t n = Count(source, count);
  const std::string bytes = code_pages::WideToMulti(std::u16string_view(source, n), codePage, defaultChar, usedDefault);
  if (!target) return static_cast<int>(bytes.size());
  const std::size_t fit = targetSize ? WholeCharacters(bytes, targetSize - 1, codePage) : 0;
  if (targetSize) {
    std::memcpy(target, bytes.data(), fit);
    target[fit] = 0;
  }
  if (fit == 0 && n > 0) {
    errno = bytes.empty() ? EILSEQ : ENOBUFS;
    if (CQ_ErrorManager* manager = CQ_ErrorManager::spco_Get()) {
      manager->v_SetSystemError();
      manager->v_AddLocation(kLocationFile, kLocationLine);
    }
  }
  return static_cast<int>(fit);
}

int CQ_StringConvert::si_WideToMulti(CQ_CString& target, const char16_t* source, std::uint32_t count, char defaultChar,
                                     bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  const std::string bytes = code_pages::WideToMulti(std::u16string_view(source ? source : u"", Count(source, count)),
                                                    target.n_GetCodePage(), defaultChar, usedDefault);
  target.vv_Init(bytes.data(), static_cast<std::uint32_t>(bytes.size()), CQ_NPOS);
  return static_cast<int>(target.vn_GetLength());
}

int CQ_StringConvert::si_WideToMulti(CQ_CString& target, const CQ_UString& source, char defaultChar, bool* usedDefault) {
  const CQ_UString keep(source);  // the target may not alias the source, but stay safe
  return si_WideToMulti(target, keep.qcuz_Get(), keep.vn_GetLength(), defaultChar, usedDefault);
}

int CQ_StringConvert::si_WideToMultiANSI(char* target, std::uint32_t targetSize, const char16_t* source,
                                         std::uint32_t count, char defaultChar, bool* usedDefault) {
  return si_WideToMulti(target, targetSize, source, count, sn4_CodePageANSI, defaultChar, usedDefault);
}

char16_t CQ_StringConvert::sus_MultiToWide(char c, std::uint32_t codePage) {
  return code_pages::ByteToUnit(static_cast<unsigned char>(c), codePage);
}

char CQ_StringConvert::sc_WideToMulti(char16_t u, std::uint32_t codePage) {
  if (u == 0) return 0;
  const unsigned char byte = code_pages::UnitToByte(u, codePage);
  return byte ? static_cast<char>(byte) : '?';
}

int CQ_StringConvert::si_UTF7ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count) {
  return CQ_UTF::si_UTF7ToWide(target, targetSize, source, count);
}

int CQ_StringConvert::si_WideToUTF7(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count) {
  return CQ_UTF::si_WideToUTF7(target, targetSize, source, count);
}

int CQ_StringConvert::si_UTF8ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count) {
  return CQ_UTF::si_UTF8ToWide(target, targetSize, source, count);
}

int CQ_StringConvert::si_WideToUTF8(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count) {
  return CQ_UTF::si_WideToUTF8(target, targetSize, source, count);
}

bool CQ_StringConvert::sb_IsValidCodePage(std::uint32_t codePage) { return code_pages::IsKnown(codePage); }

std::uint32_t CQ_StringConvert::sn_ResolveCodePage(std::uint32_t codePage) { return code_pages::Resolve(codePage); }

bool CQ_StringConvert::sb_IsLeadByte(char c, std::uint32_t codePage) {
  return code_pages::IsLeadByte(static_cast<unsigned char>(c), code_pages::Resolve(codePage));
}
