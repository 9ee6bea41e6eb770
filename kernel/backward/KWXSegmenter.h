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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXLexicon.h"
#include "kernel/session/ExtStringList.h"

namespace KWX {

// The bracket error of a text read bracket by bracket, front to back: 101
// when "<" and ">" differ in number, 102 when the depth falls below zero,
// 103 when it rises above two, 104 when an external tag ("<" followed by
// anything but ":") opens inside another tag; 0 when the brackets are sound.
struct st_BracketCount {
  std::size_t n_Opening = 0;
  std::size_t n_Closing = 0;
  long i_Depth = 0;
  int i_Fault = 0;
  bool b_Nested = false;

  // A "<"; external: a byte of the text follows it and is no ":".
  void v_Open(bool external) {
    ++n_Opening;
    if (i_Fault != 0) return;
    if (i_Depth >= 1 && external) b_Nested = true;
    if (++i_Depth > 2) i_Fault = 103;
  }
  void v_Close() {
    ++n_Closing;
    if (i_Fault == 0 && --i_Depth < 0) i_Fault = 102;
  }
  int i_Error() const {
    if (n_Opening != n_Closing) return 101;
    if (i_Fault != 0) return i_Fault;
    return b_Nested ? 104 : 0;
  }
};

// The texts are views: into the text the segment list keeps (the
// tokeniser's segments), or into text their maker keeps alive.
struct OSTRAKON_API st_TagSegment {
  std::string_view cs_Tag;   // from the "<" to the ">" that brings the depth back to zero
  std::string_view cs_Text;  // the tag and all that follows it, line breaks as "\n"
  int i_TagId = TAGID_UNKNOWN_EXTERNAL;
  int i_Category = CATEGORY_UNKNOWN_EXTERNAL;
  std::array<unsigned char, 5> an_Flags{};  // cleared; the verifier's own use
  // 1-based number of the line on which the segment ends (where the next
  // external tag starts); for the last segment, one more than the number
  // of lines.
  unsigned n_Line = 0;
  // The bracket error of cs_Text (st_BracketCount) when the tokeniser
  // counted it while cutting the text; -1 when not counted.
  int i_BracketError = -1;

  // The text that follows the segment's own tag (the whole text when it
  // does not begin with the tag). The tokeniser's segments view their tag
  // where their text begins, which needs no comparison.
  std::string_view sv_TextAfterTag() const {
    if (cs_Tag.size() <= cs_Text.size() &&
        (cs_Tag.data() == cs_Text.data() || cs_Text.substr(0, cs_Tag.size()) == cs_Tag)) {
      return cs_Text.substr(cs_Tag.size());
    }
    return cs_Text;
  }
};

// The segments of one or more tokenised line lists, with the joined text of
// those lists, which the segments' views point into. A copy shares the
// text; the text goes when the last list holding it is cleared or ends.
class OSTRAKON_API CQ_TagSegmentList {
 public:
  using value_type = st_TagSegment;
  using iterator = std::vector<st_TagSegment>::iterator;
  using const_iterator = std::vector<st_TagSegment>::const_iterator;

  CQ_TagSegmentList() = default;
  explicit CQ_TagSegmentList(std::size_t count) : m_vecSegments(count) {}

  std::size_t size() const { return m_vecSegments.size(); }
  bool empty() const { return m_vecSegments.empty(); }
  st_TagSegment& operator[](std::size_t i) { return m_vecSegments[i]; }
  const st_TagSegment& operator[](std::size_t i) const { return m_vecSegments[i]; }
  st_TagSegment& back() { return m_vecSegments.back(); }
  const st_TagSegment& back() const { return m_vecSegments.back(); }
  st_TagSegment& front() { return m_vecSegments.front(); }
  const st_TagSegment& front() const { return m_vecSegments.front(); }
  iterator begin() { return m_vecSegments.begin(); }
  iterator end() { return m_vecSegments.end(); }
  const_iterator begin() const { return m_vecSegments.begin(); }
  const_iterator end() const { return m_vecSegments.end(); }
  void reserve(std::size_t n) { m_vecSegments.reserve(n); }
  void push_back(const st_TagSegment& segment) { m_vecSegments.push_back(segment); }
  // Empties the list and lets its text go.
  void clear() {
    m_vecSegments.clear();
    m_vecTexts.clear();
  }

  // Keeps `text` for as long as the list (or a copy) holds it; the view
  // returned stays valid that long.
  std::string_view sv_Keep(std::string text) {
    return sv_Share(std::make_shared<const std::string>(std::move(text)));
  }
  // The same for a text others may hold too.
  std::string_view sv_Share(std::shared_ptr<const std::string> text) {
    m_vecTexts.push_back(std::move(text));
    return *m_vecTexts.back();
  }

 private:
  std::vector<st_TagSegment> m_vecSegments;
  std::vector<std::shared_ptr<const std::string>> m_vecTexts;
};

// A file's lines held as one text in which each line is followed by a line
// feed (the text the tokeniser cuts its segments from), with the place of
// each of those line feeds. Copies share the text; a line is read as a
// view, valid while the text or a segment list cut from it lives.
class OSTRAKON_API CQ_KWXText {
 public:
  CQ_KWXText() : CQ_KWXText(std::string(), {}) {}
  // The lines joined, each with its line feed.
  explicit CQ_KWXText(const std::vector<std::string>& lines);
  // Takes text whose line k ends with the line feed at ends[k]; the last
  // line feed is the text's last byte.
  CQ_KWXText(std::string text, std::vector<std::size_t> ends)
      : m_pcoText(std::make_shared<const std::string>(std::move(text))), m_vecEnds(std::move(ends)) {}

  std::size_t size() const { return m_vecEnds.size(); }
  bool empty() const { return m_vecEnds.empty(); }
  // Line k without its line feed.
  std::string_view operator[](std::size_t k) const {
    const std::size_t begin = k == 0 ? 0 : m_vecEnds[k - 1] + 1;
    return std::string_view(*m_pcoText).substr(begin, m_vecEnds[k] - begin);
  }
  // The whole text, line feeds included.
  std::string_view sv() const { return *m_pcoText; }
  const std::shared_ptr<const std::string>& rco_Shared() const { return m_pcoText; }
  const std::vector<std::size_t>& rco_Ends() const { return m_vecEnds; }

 private:
  std::shared_ptr<const std::string> m_pcoText;
  std::vector<std::size_t> m_vecEnds;
};

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

  // Appends the segments of lines, in file order, to segments. The list
  // keeps the lines' joined text (each line with its line feed), which the
  // segments view.
  static void sv_Tokenise(const std::vector<std::string>& lines, CQ_TagSegmentList& segments);
  // The same for lines held as one text, which the list then shares.
  static void sv_Tokenise(const CQ_KWXText& lines, CQ_TagSegmentList& segments);
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
