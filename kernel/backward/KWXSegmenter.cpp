// The tokeniser is one pass over the lines with a depth counter. The lines
// are held joined, each with its line feed, in one text the segment list
// shares (lines given one by one are joined first); a segment is a range of
// it: it starts at pendingStart, its tag ends
// at tagEnd, and it ends where the next external tag starts ("<" followed by
// anything but ":"). Only brackets and the byte after a "<" are looked at
// one by one; runs between them are passed over 16 bytes at a time, so a
// file of one very long line costs no more than many short ones. No segment
// copies its text: its tag and text are views of the joined text.
#include "kernel/backward/KWXSegmenter.h"

#include <cstring>

#include "kernel/forward/KWXFormat.h"

namespace KWX {

CQ_KWXText::CQ_KWXText(const std::vector<std::string>& lines) {
  // Line k ends at its line feed, ends[k]; the joined text is the file's.
  std::vector<std::size_t> ends;
  ends.reserve(lines.size());
  std::size_t total = 0;
  for (const std::string& line : lines) {
    total += line.size() + 1;
    ends.push_back(total - 1);
  }
  std::string joinedText(total, '\n');
  for (std::size_t k = 0, at = 0; k < lines.size(); ++k) {
    std::memcpy(joinedText.data() + at, lines[k].data(), lines[k].size());
    at = ends[k] + 1;
  }
  m_pcoText = std::make_shared<const std::string>(std::move(joinedText));
  m_vecEnds = std::move(ends);
}

void CQ_KWXSegmenter::sv_Tokenise(const std::vector<std::string>& lines, CQ_TagSegmentList& segments) {
  sv_Tokenise(CQ_KWXText(lines), segments);
}

void CQ_KWXSegmenter::sv_Tokenise(const CQ_KWXText& lines, CQ_TagSegmentList& segments) {
  const std::vector<std::size_t>& ends = lines.rco_Ends();
  const std::string_view text = segments.sv_Share(lines.rco_Shared());
  const std::size_t total = text.size();
  const std::size_t firstNew = segments.size();
  // Most lines open one segment: room for that many saves the list's
  // regrowth (a hint only; the list grows past it when it must).
  segments.reserve(firstNew + lines.size());

  std::size_t pendingStart = 0;  // where the open segment (or the text before the first tag) begins
  std::size_t tagEnd = 0;        // one past the open segment's tag, when tagOpen
  bool tagOpen = false;
  long long depth = 0;
  std::size_t line = 0;  // the line that holds pos
  std::size_t ignored = total;  // a bracket that counts for nothing in the depth
  // The bracket count of the open segment's text, which holds every
  // bracket from pendingStart on. The byte after a "<" always lies in the
  // text of the "<": a segment's text never ends with a "<" (the next one
  // would have begun there), and the whole text ends with a line feed.
  st_BracketCount count;
  // Inlined at both of the walk's calls: a call a bracket cost more than
  // the work done for most brackets.
  sv_ForEachBracket(text, [&](std::size_t pos) __attribute__((always_inline)) {
    const bool opening = text[pos] == '<';
    if (pos == ignored) {
      if (opening) {
        count.v_Open(text[pos + 1] != ':');
      } else {
        count.v_Close();
      }
      return;
    }
    if (opening) {
      ++depth;
      // A "<" followed by anything but ":" starts the next segment once the
      // open one's tag has closed. (The text ends with a line feed, so a
      // byte follows.)
      if (tagOpen && text[pos + 1] != ':') {
        while (ends[line] < pos + 1) ++line;  // the line of the byte after it
        st_TagSegment segment;
        segment.cs_Tag = text.substr(pendingStart, tagEnd - pendingStart);
        segment.cs_Text = text.substr(pendingStart, pos - pendingStart);
        segment.n_Line = static_cast<unsigned>(line + 1);
        segment.i_BracketError = count.i_Error();
        segments.push_back(segment);
        pendingStart = pos;
        tagOpen = false;
        count = st_BracketCount();
        // The new segment's "<" is open; a bracket right after it counts
        // for nothing in the depth.
        depth = 1;
        ignored = pos + 1;
      }
      count.v_Open(text[pos + 1] != ':');
    } else {
      count.v_Close();
      if (--depth == 0 && !tagOpen) {
        tagEnd = pos + 1;
        tagOpen = true;
      }
    }
  });
  if (tagOpen) {
    st_TagSegment segment;
    segment.cs_Tag = text.substr(pendingStart, tagEnd - pendingStart);
    segment.cs_Text = text.substr(pendingStart);
    segment.n_Line = static_cast<unsigned>(lines.size() + 1);
    segment.i_BracketError = count.i_Error();
    segments.push_back(segment);
  } else if (pendingStart < total && segments.size() > firstNew) {
    // The last segment of these lines ends where the open one began: it
    // takes the rest of the text, whose brackets it has not counted.
    std::string_view& last = segments.back().cs_Text;
    last = text.substr(static_cast<std::size_t>(last.data() - text.data()));
    segments.back().i_BracketError = -1;
  }
}

st_ClassifyResult CQ_KWXSegmenter::st_Classify(CQ_TagSegmentList& segments, bool isSource) {
  st_ClassifyResult result;
  CQ_LexiconMemo lexicon;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    st_TagSegment& segment = segments[i];
    const st_LexiconEntry& entry = lexicon.rst_Lookup(segment.cs_Tag);
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
