// CQ_UString: text of 16-bit units.
//
// Positions count 16-bit units; a surrogate pair counts as two. Bare 8-bit
// text is read and written in the ANSI code page 1252 unless a code page
// is given. qcuz_Get never returns null. See CQ_String for the rules
// common to both string classes.
#pragma once

#include <cstdint>

#include "System/Export.h"
#include "System/String/String.h"

class CQ_CString;

class OSTRAKON_API CQ_UString : public CQ_String {
  CQ_DECLARE_TYPE(CQ_UString)

 public:
  CQ_UString();
  CQ_UString(const char16_t* text, std::uint32_t count = CQ_NPOS);  // NOLINT: implicit like a text literal
  // Shares the data block.
  CQ_UString(const CQ_UString& other);
  // Converts an 8-bit string through its code page.
  explicit CQ_UString(const CQ_CString& other);
  CQ_UString& operator=(const CQ_UString& other);
  CQ_UString& operator=(const char16_t* text);
  ~CQ_UString() override;

  CQ_String* vpco_Create() const override;
  void vv_SetSize(std::uint32_t size, bool keep) override;
  void vv_SetMinSize(std::uint32_t size, bool keep) override;
  void vv_Replace(char16_t unit, std::uint32_t pos, std::uint32_t count) override;
  void vv_Replace(char unit, std::uint32_t pos, std::uint32_t count) override;
  // The unit at `pos` in the ANSI code page ('?' when it has no byte).
  char vc_GetAt(std::uint32_t pos) const override;
  char16_t vu_GetAt(std::uint32_t pos) const override;
  void vv_SetAt(char16_t unit, std::uint32_t pos) override;
  void vv_SetAt(char unit, std::uint32_t pos) override;
  void vv_ToLower() override;
  void vv_ToUpper() override;
  void vv_Remove(std::uint32_t pos, std::uint32_t count) override;
  std::uint32_t vn_Find(char16_t unit, std::uint32_t start) const override;
  std::uint32_t vn_Find(char unit, std::uint32_t start) const override;
  std::uint32_t vn_Find(const CQ_String& string, std::uint32_t start) const override;
  bool vb_Match(const CQ_String& pattern) const override;
  void vv_Strip(const CQ_String& set) override;
  void vv_StripRight() override;
  void vv_StripLeft() override;
  int vi_Compare(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t flags) const override;
  int vi_Compare(const char16_t* text, std::uint32_t count, std::uint32_t flags) const override;
  int vi_Compare(const char* text, std::uint32_t count, std::uint32_t flags) const override;
  void vv_Translate(const CQ_String& from, const CQ_String& to) override;
  void vv_SetLength(std::uint32_t length) override;
  std::uint32_t vn_GetLength() const override;
  std::uint32_t vn_GetMaximumLength() const override;
  // Growth in characters: the buffer's granularity is twice as many bytes.
  void vv_SetGrowth(std::uint32_t growth) override;
  std::uint32_t vn_GetGrowth() const override;
  // The 8-bit format is formatted as 8-bit text and widened with 1252.
  void vv_VFormat(const char* format, va_list args) override;
  void vv_Init(const CQ_Buffer& buffer) override;
  void vv_Init(const char16_t* text, std::uint32_t count) override;
  void vv_Init(const char* text, std::uint32_t count, std::uint32_t codePage) override;
  void vv_Init(const CQ_String& string) override;
  void vv_Init(std::uint32_t size) override;
  void vv_Init() override;
  void vv_StringReplace(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) override;
  void vv_StringReplace(const char16_t* text, std::uint32_t pos, std::uint32_t count) override;
  void vv_StringReplace(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) override;
  void vv_StringInsert(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) override;
  void vv_StringInsert(const char16_t* text, std::uint32_t pos, std::uint32_t count) override;
  void vv_StringInsert(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) override;
  // Slot 47: formatting with a 16-bit format.
  virtual void vv_VFormat(const char16_t* format, va_list args);

  using CQ_String::v_Format;
  using CQ_String::v_VFormat;
  void v_Format(const char16_t* format, ...);
  void v_VFormat(const char16_t* format, va_list args) { vv_VFormat(format, args); }

  // The zero-terminated text (u"" without data). Valid until the next change.
  const char16_t* qcuz_Get() const;
  // Writable text after making the data private; null without data.
  char16_t* quz_GetBuffer();

  bool operator==(const CQ_UString& other) const;
  bool operator==(const char16_t* text) const;
  CQ_UString& operator+=(const CQ_UString& other) {
    v_Append(other);
    return *this;
  }
};
