// CQ_UTF: the UTF-7 and UTF-8 engines with process-wide state.
//
// The engines keep what a call leaves unfinished for the next call: the
// UTF-7 encoder its pending bits and an open base64 run (closed by
// si_WideToUTF7Exit), the UTF-7 decoder its run and bits, the UTF-8
// decoder a partly read sequence, so that a text cut into pieces converts
// as a whole. The Init functions clear that state. The state is shared by
// the whole process: two threads must not use one engine at once. For
// conversions of complete texts use CQ_StringConvert with code pages
// 65000 and 65001, which use private state.
//
// Every function writes at most targetSize units including a terminating
// zero (none when targetSize is 0), stops early when the next character
// would not fit (what was not read is lost), and returns the number of
// units written without the terminating zero. A count of CQ_NPOS means the
// source ends at its terminating zero; a zero unit or byte always ends the
// source. A null target writes nothing and returns 0.
#pragma once

#include <cstdint>

#include "System/Export.h"

class OSTRAKON_API CQ_UTF {
 public:
  static void sv_WideToUTF7Init();
  static int si_WideToUTF7(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count);
  // Closes an open base64 run (its last bits and "-") into target.
  static int si_WideToUTF7Exit(char* target, std::uint32_t targetSize);

  static void sv_UTF7ToWideInit();
  static int si_UTF7ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count);

  // Stateless: one byte below U+0080, two below U+0800, three otherwise;
  // surrogates are written one by one.
  static int si_WideToUTF8(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count);

  static void sv_UTF8ToWideInit();
  // Malformed bytes give U+FFFD; a sequence split between two calls is
  // joined unless sv_UTF8ToWideInit runs in between.
  static int si_UTF8ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count);
};
