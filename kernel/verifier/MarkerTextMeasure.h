// The length of marker text in the form back conversion gives it in MIF.
//
// FrameMaker takes at most 255 characters of marker text. A marker's KWX
// text is measured as it will stand inside the MIF MText string that back
// conversion writes: a text byte that MIF escapes ("\xNN ") counts 5, a
// byte that is dropped counts 0, line breaks count 0; an internal tag
// counts the length of its MIF form ("<VarnelBold\>" for <:b>, "<NAME\>"
// for a building block or character format, "<Default Para Font\>" for the
// closing tags, 5 for a special, reserved or quote character). In index
// marker text the characters ":", ";", "[" and "]" take an escaping
// backslash, <:sh> and <:t> are dropped and a backslash counts twice over.
// The separators <ie>, <il>, <ss>, <sl> are external tags; their caller
// counts them (one character each).
#pragma once

#include <cstddef>
#include <string_view>

#include "System/Export.h"

class OSTRAKON_API CQ_MarkerTextMeasure {
 public:
  // The MIF length of text (bytes and internal tags; no external tags).
  static std::size_t sn_MIFLength(std::string_view text, bool indexMarker);
  // The MIF length of one internal tag.
  static std::size_t sn_InternalTagLength(std::string_view tag, bool indexMarker);
};
