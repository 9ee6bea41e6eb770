// Cutting a KWX line list into tag segments and classifying them.
//
// A tag segment is one external tag with the text that follows it up to
// the next external tag ("<" followed by anything but ":"); internal tags
// stay inside the text. The tokeniser follows the bracket depth and does
// not repair unbalanced brackets (the verifier reports them). Text before
// the first external tag becomes part of the first tag. Classification
// gives each segment the id and category of its lexicon entry and finds
// the source-file validity errors 201 (a tag added with "<#...>") and 203
// (an unknown external tag); the caller words and files them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXLexicon.h"
#include "kernel/session/ExtStringList.h"

namespace KWX {

struct OSTRAKON_API st_TagSegment {
  std::string cs_Tag;   // from the "<" to the ">" that brings the depth back to zero
  std::string cs_Text;  // the tag and all that follows it, line breaks as "\n"
  int i_TagId = TAGID_UNKNOWN_EXTERNAL;
  int i_Category = CATEGORY_UNKNOWN_EXTERNAL;
  std::array<unsigned char, 5> an_Flags{};  // cleared; the verifier's own use
  // 1-based number of the line on which the segment ends (where the next
  // external tag starts); for the last segment, one more than the number
  // of lines.
  unsigned n_Line = 0;
};

using CQ_TagSegmentList = std::vector<st_TagSegment>;

// One validity error found while classifying a source file.
struct st_ClassifyError {
  std::size_t n_Segment;  // 0-based index into the segment list
  int i_Error;            // ERROR_ADDED_IN_SOURCE or ERROR_UNKNOWN_EXTERNAL_TAG
};

struct st_ClassifyResult {
  std::vector<st_ClassifyError> ast_Errors;  // in segment order; source files only
  unsigned n_AddedTags = 0;                  // target segments added with "<#...>"
};

class OSTRAKON_API CQ_KWXSegmenter {
 public:
  enum : int {
    ERROR_ADDED_IN_SOURCE = 201,       // "<#...>" in a source file
    ERROR_UNKNOWN_EXTERNAL_TAG = 203,  // "The external tag %s is unknown to Halvex Morvane."
  };

  // Appends the segments of lines, in file order, to segments.
  static void sv_Tokenise(const std::vector<std::string>& lines, CQ_TagSegmentList& segments);
  static void sv_Tokenise(const CExtStringList& lines, CQ_TagSegmentList& segments) {
    sv_Tokenise(lines.Lines(), segments);
  }

  // Gives every segment its lexicon id and category. A segment of
  // category 4 whose tag begins "<#" is error 201 in a source file and
  // becomes category 7 (and is counted) in a target file; any other
  // segment of category 4 is error 203 in a source file.
  static st_ClassifyResult st_Classify(CQ_TagSegmentList& segments, bool isSource);
};

}  // namespace KWX
