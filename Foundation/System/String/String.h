// CQ_String: the abstract base of the 8-bit CQ_CString and the 16-bit
// CQ_UString.
//
// A string is a value: copies share one CQ_Buffer data block (copy on
// write). The text is kept with a terminating zero unit inside the used
// size; a string that never held text has no data block at all. Positions
// and counts are 0-based and in the string's own units (bytes for
// CQ_CString, 16-bit units for CQ_UString); CQ_NPOS means "to the end" as a
// count and "not found" as a result. Positions past the end are clamped to
// the end. Operations that mix widths convert through the 8-bit string's
// code page (a CQ_UString uses the ANSI code page 1252 for bare 8-bit
// text) with CQ_StringConvert. Every change ends with a call of vv_Update.
//
// Choices this class fixes for its families of operations:
// - vv_Replace, vv_StringReplace and v_Replace overwrite: the source is
//   written over the text from `pos`, and the text grows when the source
//   runs past its end. vv_StringInsert and v_Insert insert. In the string
//   forms, `count` is the number of source units to take (CQ_NPOS: all)
//   and `length` the number of units the source holds (CQ_NPOS: ask it).
//   In the pointer forms `count` is the number of source units, CQ_NPOS
//   meaning "up to the terminating zero". A code page of CQ_NPOS stands
//   for the string's own code page (1252 for a CQ_UString).
// - vb_Match: the whole text must match the pattern, in which "*" stands
//   for any run of characters (also none), "?" for exactly one character
//   (a double-byte character counts as one), and every other character for
//   itself; matching respects case. There is no escape character.
// - vv_Strip (set): removes the characters of `set` from both ends of the
//   text (an empty set means white space: blank, tab, CR, LF, VT, FF);
//   vv_StripLeft and vv_StripRight remove white space from one end.
// - vv_Translate (from, to): every character found in `from` is replaced
//   by the character at the same position in `to`; characters of `from`
//   that have no counterpart in `to` (it is shorter) are removed.
// - vi_Compare flags: sn4_CompareCase (0) compares unit values;
//   sn4_CompareNoCase (1) compares after mapping both sides to lower case
//   (Latin, Greek and Cyrillic letters, as vv_ToLower). The result is
//   negative, 0 or positive. vi_Compare (string, pos, count, flags)
//   compares `count` units of this text from `pos` with all of `string`;
//   the pointer forms compare all of this text with the first `count` units
//   of the given text (CQ_NPOS: up to its zero).
// - vv_ToLower and vv_ToUpper map Latin, Greek and Cyrillic letters; in a
//   double-byte code page only single-byte letters change, trail bytes of
//   double-byte characters never do.
// - Formatting follows printf. In 8-bit formats "%s" takes 8-bit text; in
//   16-bit formats "%s" and "%ls" take 16-bit text and "%hs" and "%S" 8-bit
//   text (widened with the ANSI code page). "%n" is not supported.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "System/Export.h"
#include "System/String/Buffer.h"
#include "System/Type.h"

class OSTRAKON_API CQ_String {
  // Slots 0-2: vpcco_GetType, vpv_IsA, vpv_IsKindOf.
  CQ_DECLARE_ROOT_TYPE(CQ_String)

 public:
  static constexpr std::uint32_t sn4_CompareCase = 0;
  static constexpr std::uint32_t sn4_CompareNoCase = 1;

  // Slot 3.
  virtual ~CQ_String();

  // Slot 4: a new empty string of the same class; the caller deletes it.
  virtual CQ_String* vpco_Create() const = 0;
  // Slot 5: room for `size` units plus the terminating zero. With keep the
  // text stays (cut to `size` units when longer); without keep the text
  // becomes empty. Size 0 releases the data.
  virtual void vv_SetSize(std::uint32_t size, bool keep) = 0;
  // Slot 6: as vv_SetSize, but only grows.
  virtual void vv_SetMinSize(std::uint32_t size, bool keep) = 0;
  // Slots 7, 8: writes the character `count` times from `pos`.
  virtual void vv_Replace(char16_t unit, std::uint32_t pos, std::uint32_t count) = 0;
  virtual void vv_Replace(char unit, std::uint32_t pos, std::uint32_t count) = 0;
  // Slots 9, 10: the unit at `pos` in the other width (0 past the end).
  virtual char vc_GetAt(std::uint32_t pos) const = 0;
  virtual char16_t vu_GetAt(std::uint32_t pos) const = 0;
  // Slots 11, 12: overwrites the unit at `pos`; at the end it appends.
  virtual void vv_SetAt(char16_t unit, std::uint32_t pos) = 0;
  virtual void vv_SetAt(char unit, std::uint32_t pos) = 0;
  // Slots 13, 14.
  virtual void vv_ToLower() = 0;
  virtual void vv_ToUpper() = 0;
  // Slot 15: removes `count` units (CQ_NPOS: to the end) at `pos`.
  virtual void vv_Remove(std::uint32_t pos, std::uint32_t count) = 0;
  // Slots 16-18: position of the first occurrence at or after `start`, or
  // CQ_NPOS. In a double-byte code page only character starts match.
  virtual std::uint32_t vn_Find(char16_t unit, std::uint32_t start) const = 0;
  virtual std::uint32_t vn_Find(char unit, std::uint32_t start) const = 0;
  virtual std::uint32_t vn_Find(const CQ_String& string, std::uint32_t start) const = 0;
  // Slot 19: called after every change; does nothing here.
  virtual void vv_Update();
  // Slot 20.
  virtual bool vb_Match(const CQ_String& pattern) const = 0;
  // Slots 21-23.
  virtual void vv_Strip(const CQ_String& set) = 0;
  virtual void vv_StripRight() = 0;
  virtual void vv_StripLeft() = 0;
  // Slots 24-26.
  virtual int vi_Compare(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t flags) const = 0;
  virtual int vi_Compare(const char16_t* text, std::uint32_t count, std::uint32_t flags) const = 0;
  virtual int vi_Compare(const char* text, std::uint32_t count, std::uint32_t flags) const = 0;
  // Slot 27.
  virtual void vv_Translate(const CQ_String& from, const CQ_String& to) = 0;
  // Slot 28: makes the text `length` units long: cut, or extended with
  // zero units (to be written through the raw pointer).
  virtual void vv_SetLength(std::uint32_t length) = 0;
  // Slots 29, 30: the text length; the units the block holds without
  // growing (terminating zero excluded; 0 without data).
  virtual std::uint32_t vn_GetLength() const = 0;
  virtual std::uint32_t vn_GetMaximumLength() const = 0;
  // Slots 31, 32: the allocation step in units.
  virtual void vv_SetGrowth(std::uint32_t growth) = 0;
  virtual std::uint32_t vn_GetGrowth() const = 0;
  // Slots 33, 34: the text becomes the formatted 8-bit format.
  virtual void vv_VFormat(const char* format, va_list args) = 0;
  virtual void vv_Format(const char* format, ...);
  // Slots 35-40: the text becomes a copy of: a buffer's bytes (taken as
  // text of this string's units, up to a zero unit); `count` 16-bit units
  // (CQ_NPOS: up to the zero); `count` bytes in `codePage`; another string;
  // nothing, with room for `size` units; nothing (data released).
  virtual void vv_Init(const CQ_Buffer& buffer) = 0;
  virtual void vv_Init(const char16_t* text, std::uint32_t count) = 0;
  virtual void vv_Init(const char* text, std::uint32_t count, std::uint32_t codePage) = 0;
  virtual void vv_Init(const CQ_String& string) = 0;
  virtual void vv_Init(std::uint32_t size) = 0;
  virtual void vv_Init() = 0;
  // Slots 41-46: see the class comment for the meaning of the counts.
  virtual void vv_StringReplace(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) = 0;
  virtual void vv_StringReplace(const char16_t* text, std::uint32_t pos, std::uint32_t count) = 0;
  virtual void vv_StringReplace(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) = 0;
  virtual void vv_StringInsert(const CQ_String& string, std::uint32_t pos, std::uint32_t count, std::uint32_t length) = 0;
  virtual void vv_StringInsert(const char16_t* text, std::uint32_t pos, std::uint32_t count) = 0;
  virtual void vv_StringInsert(const char* text, std::uint32_t pos, std::uint32_t count, std::uint32_t codePage) = 0;

  // Non-virtual members callers use.
  void v_Set(const CQ_String& string) { vv_Init(string); }
  void v_Set(const char16_t* text, std::uint32_t count = CQ_NPOS) { vv_Init(text, count); }
  void v_Set(const CQ_Buffer& buffer) { vv_Init(buffer); }
  void v_Replace(const CQ_String& string, std::uint32_t pos, std::uint32_t count = CQ_NPOS) {
    vv_StringReplace(string, pos, count, CQ_NPOS);
  }
  void v_Replace(const char16_t* text, std::uint32_t pos, std::uint32_t count = CQ_NPOS) {
    vv_StringReplace(text, pos, count);
  }
  void v_Insert(const CQ_String& string, std::uint32_t pos, std::uint32_t count = CQ_NPOS) {
    vv_StringInsert(string, pos, count, CQ_NPOS);
  }
  void v_Insert(const char16_t* text, std::uint32_t pos, std::uint32_t count = CQ_NPOS) {
    vv_StringInsert(text, pos, count);
  }
  void v_Append(char unit) { vv_StringInsert(&unit, CQ_NPOS, 1, CQ_NPOS); }
  void v_Append(char16_t unit) { vv_StringInsert(&unit, CQ_NPOS, 1); }
  void v_Append(const char* text, std::uint32_t count = CQ_NPOS) {
    vv_StringInsert(text, CQ_NPOS, count, CQ_NPOS);
  }
  void v_Append(const char16_t* text, std::uint32_t count = CQ_NPOS) { vv_StringInsert(text, CQ_NPOS, count); }
  void v_Append(const CQ_String& string, std::uint32_t count = CQ_NPOS) {
    vv_StringInsert(string, CQ_NPOS, count, CQ_NPOS);
  }
  void v_Remove(std::uint32_t pos, std::uint32_t count = CQ_NPOS) { vv_Remove(pos, count); }
  void v_Format(const char* format, ...);
  void v_VFormat(const char* format, va_list args) { vv_VFormat(format, args); }
  char c_GetAt(std::uint32_t pos) const { return vc_GetAt(pos); }
  char16_t u_GetAt(std::uint32_t pos) const { return vu_GetAt(pos); }
  void v_SetAt(char unit, std::uint32_t pos) { vv_SetAt(unit, pos); }
  void v_SetAt(char16_t unit, std::uint32_t pos) { vv_SetAt(unit, pos); }
  // Matches a zero-terminated pattern (see vb_Match).
  bool b_Match(const char* pattern) const;
  bool b_Match(const char16_t* pattern) const;
  bool b_IsEmpty() const { return vn_GetLength() == 0; }
  // Makes the data private before it is written through a raw pointer.
  void v_CopyWeWrite() { co_Buffer.v_CopyWeWrite(); }

  const CQ_Buffer& rcco_GetBuffer() const { return co_Buffer; }
  // Use count of the data block (0 without data).
  std::uint32_t n_GetUseCount() const { return co_Buffer.n_GetUseCount(); }

 protected:
  CQ_String();
  CQ_String(const CQ_String& other);
  CQ_String& operator=(const CQ_String& other);

  CQ_Buffer co_Buffer;
};
