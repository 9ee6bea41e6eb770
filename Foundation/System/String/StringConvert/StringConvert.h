// CQ_StringConvert: conversion between 8-bit code pages and 16-bit text.
//
// Code page 65000 goes to the UTF-7 engine and 65001 to the UTF-8 engine;
// every other page goes to the system's converter (glibc iconv), and a page
// the system does not know (0 included) is replaced by the ANSI code page,
// which on this platform is 1252. The conversions of whole texts here
// (si_MultiToWide, si_WideToMulti and their overloads) convert each call's
// text completely with private engine state, so they may run in several
// threads at once and nothing carries over between calls. The si_UTF...
// functions are the engines of CQ_UTF with their process-wide state.
//
// Raw-buffer forms write at most targetSize units including a terminating
// zero, never split a character, and return the number of units written
// without the zero; with a null target they write nothing and return the
// number of units the whole conversion needs. A count of CQ_NPOS means the
// source ends at its terminating zero (which is not converted); with an
// explicit count zero units or bytes are converted like any other, except
// by the UTF engines, which stop at a zero. The string forms replace the
// target's text and return its new length.
//
// Undecodable bytes become U+FFFD, except that undefined single bytes of a
// page become the C1 control or private-use character Windows gives them
// and convert back to the same byte. Characters without a form in the
// target page become the default character (and set *usedDefault). When
// si_WideToMulti writes nothing for a non-empty source, the error manager
// records the system error with the location
// "Foundation\System\String\StringConvert", line 196.
#pragma once

#include <cstdint>

#include "System/Export.h"
#include "System/String/Buffer.h"

class CQ_CString;
class CQ_UString;

class OSTRAKON_API CQ_StringConvert {
 public:
  static constexpr std::uint32_t sn4_CodePageANSI = 1252;
  static constexpr std::uint32_t sn4_CodePageUTF7 = 65000;
  static constexpr std::uint32_t sn4_CodePageUTF8 = 65001;

  static int si_MultiToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count,
                            std::uint32_t codePage);
  static int si_MultiToWide(CQ_UString& target, const char* source, std::uint32_t count, std::uint32_t codePage);
  // Converts through the source's code page.
  static int si_MultiToWide(CQ_UString& target, const CQ_CString& source);
  static int si_MultiToWideANSI(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count);
  static int si_MultiToWideANSI(CQ_UString& target, const char* source, std::uint32_t count);

  static int si_WideToMulti(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count,
                            std::uint32_t codePage, char defaultChar = '?', bool* usedDefault = nullptr);
  // Converts into the target's code page.
  static int si_WideToMulti(CQ_CString& target, const char16_t* source, std::uint32_t count, char defaultChar = '?',
                            bool* usedDefault = nullptr);
  static int si_WideToMulti(CQ_CString& target, const CQ_UString& source, char defaultChar = '?',
                            bool* usedDefault = nullptr);
  static int si_WideToMultiANSI(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count,
                                char defaultChar = '?', bool* usedDefault = nullptr);

  // One byte to one unit: U+FFFD for a lead byte or an undecodable byte.
  static char16_t sus_MultiToWide(char c, std::uint32_t codePage);
  // One unit to one byte: '?' when the unit needs two bytes or has none.
  static char sc_WideToMulti(char16_t u, std::uint32_t codePage);

  // The UTF engines of CQ_UTF (process-wide state), same argument pattern.
  static int si_UTF7ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count);
  static int si_WideToUTF7(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count);
  static int si_UTF8ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count);
  static int si_WideToUTF8(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count);

  // True when the page converts as itself rather than as 1252.
  static bool sb_IsValidCodePage(std::uint32_t codePage);
  // The page a conversion really uses.
  static std::uint32_t sn_ResolveCodePage(std::uint32_t codePage);
  static std::uint32_t sn_GetANSICodePage() { return sn4_CodePageANSI; }
  // True when the byte starts a double-byte character in the page (the
  // Windows lead-byte ranges of 932, 936, 949, 950 and 1361).
  static bool sb_IsLeadByte(char c, std::uint32_t codePage);
};
