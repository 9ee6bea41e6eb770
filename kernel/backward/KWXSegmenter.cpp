// The tokeniser is one pass over the file's text, the lines joined with
// their line feeds, with a depth counter. A segment is a range of that text:
// it starts at pendingStart, its tag ends at tagEnd, and it ends where the
// next external tag starts ("<" followed by anything but ":"). Only brackets
// and the byte after a "<" are looked at one by one; runs between them are
// passed over a word at a time, so a file of one very long line costs no
// more than many short ones. Each segment's tag and text are copied once,
// straight from the joined text.
#include "kernel/backward/KWXSegmenter.h"

#include "kernel/forward/KWXFormat.h"

namespace KWX {

void CQ_KWXSegmenter::sv_Tokenise(const std::vector<std::string>& lines, CQ_TagSegmentList& segments) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 1;
  std::string text;
  text.reserve(size);
  // lineEnds[k]: where the line feed of line k + 1 stands in text.
  std::vector<std::size_t> lineEnds;
  lineEnds.reserve(lines.size());
  for (const std::string& line : lines) {
    text += line;
    lineEnds.push_back(text.size());
    text += '\n';
  }
  const std::size_t firstNew = segments.size();
  // Most lines open one segment: room for that many saves the list's
  // regrowth (a hint only; the list grows past it when it must).
  segments.reserve(firstNew + lines.size());

  std::size_t pendingStart = 0;  // where the open segment (or the text before the first tag) begins
  std::size_t tagEnd = 0;        // one past the open segment's tag, when tagOpen
  bool tagOpen = false;
  long long depth = 0;
  char previous = 0;
  std::size_t line = 0;  // index into lineEnds of the line holding pos
  const std::size_t n = text.size();
  std::size_t pos = 0;
  while (pos < n) {
    const char c = text[pos];
    // A run of bytes that are no bracket, after a byte that opens no tag,
    // changes nothing: it is passed over whole.
    if (previous != '<' && c != '<' && c != '>') {
      const std::size_t j = KWX::sn_FindBracket(text, pos + 1);
      previous = text[j - 1];
      pos = j;
      continue;
    }
    if (c == '<') {
      ++depth;
    } else if (c == '>') {
      --depth;
    }
    if (c == '>' && depth == 0 && !tagOpen) {
      tagEnd = pos + 1;
      tagOpen = true;
    } else if (previous == '<' && c != ':' && tagOpen) {
      // The "<" before c starts the next segment.
      while (lineEnds[line] < pos) ++line;
      st_TagSegment segment;
      segment.cs_Tag.assign(text, pendingStart, tagEnd - pendingStart);
      segment.cs_Text.assign(text, pendingStart, pos - 1 - pendingStart);
      segment.n_Line = static_cast<unsigned>(line + 1);
      segments.push_back(std::move(segment));
      pendingStart = pos - 1;
      tagOpen = false;
      depth = 1;
    }
    previous = c;
    ++pos;
  }
  if (tagOpen) {
    st_TagSegment segment;
    segment.cs_Tag.assign(text, pendingStart, tagEnd - pendingStart);
    segment.cs_Text.assign(text, pendingStart);
    segment.n_Line = static_cast<unsigned>(lines.size() + 1);
    segments.push_back(std::move(segment));
  } else if (pendingStart < n && segments.size() > firstNew) {
    segments.back().cs_Text.append(text, pendingStart);
  }
}

st_ClassifyResult CQ_KWXSegmenter::st_Classify(CQ_TagSegmentList& segments, bool isSource) {
  st_ClassifyResult result;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    st_TagSegment& segment = segments[i];
    const st_LexiconEntry& entry = CQ_KWXLexicon::rst_Lookup(segment.cs_Tag);
    segment.i_TagId = entry.i_TagId;
    segment.i_Category = entry.i_Category;
    if (segment.i_Category != CATEGORY_UNKNOWN_EXTERNAL) continue;
    const bool added = segment.cs_Tag.size() > 1 && segment.cs_Tag[1] == '#';
    if (isSource) {
      result.ast_Errors.push_back({i, added ? ERROR_ADDED_IN_SOURCE : ERROR_UNKNOWN_EXTERNAL_TAG});
    } else if (added) {
      segment.i_Category = CATEGORY_ADDED;
      ++result.n_AddedTags;
    }
  }
  return result;
}

}  // namespace KWX
