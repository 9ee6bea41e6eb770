// CQ_CString: 8-bit text in a Windows code page.
//
// The code page is given to the constructor (0: the ANSI code page 1252)
// and changed with v_SetCodePage, which retags the text without converting
// it. Positions count bytes; in the double-byte code pages searching,
// matching, stripping, translating and case mapping work on whole
// characters, so a trail byte is never taken for a character of its own.
// qccz_Get never returns null. See CQ_String for the rules common to both
// string classes.
#pragma once

#include <cstdint>

#include "System/Export.h"
#include "System/String/String.h"

class OSTRAKON_API CQ_CString : public CQ_String {
  CQ_DECLARE_TYPE(CQ_CString)

 public:
  explicit CQ_CString(std::uint32_t codePage = 0);
  CQ_CString(const char* text, std::uint32_t codePage = 0);  // NOLINT: implicit like a text literal
  CQ_CString(const char* text, std::uint32_t count, std::uint32_t codePage);
  // Converts 16-bit text into the code page.
  CQ_CString(const char16_t* text, std::uint32_t count, std::uint32_t codePage);
  // Shares the data block and takes over the code page.
  CQ_CString(const CQ_CString& other);
  // Converts any string into the code page.
  CQ_CString(const CQ_String& other, std::uint32_t codePage);
  CQ_CString& operator=(const CQ_CString& other);
  CQ_CString& operator=(const char* text);
  ~CQ_CString() override;

  CQ_String* vpco_Create() const override;
  void vv_SetSize(std::uint32_t size, bool keep) override;
  void vv_SetMinSize(std::uint32_t size, bool keep) override;
  void vv_Replace(char16_t unit, std::uint32_t pos, std::uint32_t count) override;
  void vv_Replace(char unit, std::uint32_t pos, std::uint32_t count) override;
  char vc_GetAt(std::uint32_t pos) const override;
  // The character that starts at `pos` (a lead byte gives its whole
  // double-byte character).
  char16_t vu_GetAt(std::uint32_t pos) const override;
  // Replaces the character that starts at `pos` by the unit's bytes.
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
  void vv_SetGrowth(std::uint32_t growth) override;
  std::uint32_t vn_GetGrowth() const override;
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
  // Slot 47: formatting with a 16-bit format; the result is converted into
  // the code page.
  virtual void vv_VFormat(const char16_t* format, va_list args);

  using CQ_String::v_Format;
  using CQ_String::v_Set;
  using CQ_String::v_VFormat;
  // The text becomes `count` bytes (CQ_NPOS: up to the zero) in this
  // string's code page.
  void v_Set(const char* text, std::uint32_t count = CQ_NPOS) { vv_Init(text, count, CQ_NPOS); }
  void v_Format(const char16_t* format, ...);
  void v_VFormat(const char16_t* format, va_list args) { vv_VFormat(format, args); }
  using CQ_String::v_Replace;
  using CQ_String::v_Insert;
  void v_Replace(const char* text, std::uint32_t pos, std::uint32_t count = CQ_NPOS) {
    vv_StringReplace(text, pos, count, CQ_NPOS);
  }
  void v_Insert(const char* text, std::uint32_t pos, std::uint32_t count = CQ_NPOS) {
    vv_StringInsert(text, pos, count, CQ_NPOS);
  }

  // The zero-terminated text ("" without data). Valid until the next change.
  const char* qccz_Get() const;
  // Writable text after making the data private; null without data. Write
  // at most vn_GetLength() bytes (use vv_SetLength first to make room).
  char* qcz_GetBuffer();

  std::uint32_t n_GetCodePage() const { return n_CodePage; }
  void v_SetCodePage(std::uint32_t codePage) { n_CodePage = codePage; }

  bool operator==(const CQ_CString& other) const;
  bool operator==(const char* text) const;
  CQ_CString& operator+=(const CQ_CString& other) {
    v_Append(other);
    return *this;
  }
  CQ_CString& operator+=(const char* text) {
    v_Append(text);
    return *this;
  }

 private:
  std::uint32_t ownCodePage(std::uint32_t codePage) const { return codePage == CQ_NPOS ? n_CodePage : codePage; }
  std::uint32_t n_CodePage;
};
