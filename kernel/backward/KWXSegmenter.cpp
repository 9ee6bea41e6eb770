// The tokeniser is one pass over the lines with a depth counter. Positions
// count through the file as if its lines were joined, each with its line
// feed; a segment is a range of them: it starts at pendingStart, its tag
// ends at tagEnd, and it ends where the next external tag starts ("<"
// followed by anything but ":"). Only brackets and the byte after a "<" are
// looked at one by one; runs between them are passed over a word at a
// time, so a file of one very long line costs no more than many short ones.
// Each segment's tag and text are copied once, straight from the lines.
#include "kernel/backward/KWXSegmenter.h"

#include "kernel/forward/KWXFormat.h"

namespace KWX {

namespace {

// Appends the bytes of the joined lines in [from, to) to out; `line` is the
// line that holds `from`, and starts[k] is where line k begins.
void AppendRange(const std::vector<std::string>& lines, const std::vector<std::size_t>& starts, std::size_t line,
                 std::size_t from, std::size_t to, std::string& out) {
  out.reserve(out.size() + (to - from));
  for (std::size_t k = line; from < to; ++k) {
    const std::string& text = lines[k];
    const std::size_t lineFeed = starts[k] + text.size();  // where the line's line feed stands
    if (from < lineFeed) {
      const std::size_t n = (to < lineFeed ? to : lineFeed) - from;
      out.append(text, from - starts[k], n);
      from += n;
    }
    if (from < to && from == lineFeed) {
      out.push_back('\n');
      ++from;
    }
  }
}

}  // namespace

void CQ_KWXSegmenter::sv_Tokenise(const std::vector<std::string>& lines, CQ_TagSegmentList& segments) {
  std::vector<std::size_t> starts;
  starts.reserve(lines.size());
  std::size_t total = 0;
  for (const std::string& line : lines) {
    starts.push_back(total);
    total += line.size() + 1;
  }
  const std::size_t firstNew = segments.size();
  // Most lines open one segment: room for that many saves the list's
  // regrowth (a hint only; the list grows past it when it must).
  segments.reserve(firstNew + lines.size());

  std::size_t pendingStart = 0;  // where the open segment (or the text before the first tag) begins
  std::size_t pendingLine = 0;   // the line that holds pendingStart
  std::size_t tagEnd = 0;        // one past the open segment's tag, when tagOpen
  bool tagOpen = false;
  long long depth = 0;
  char previous = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    const std::size_t n = line.size();
    // i == n is the line's line feed.
    for (std::size_t i = 0; i <= n;) {
      const char c = i < n ? line[i] : '\n';
      // A run of bytes that are no bracket, after a byte that opens no tag,
      // changes nothing: it is passed over whole.
      if (previous != '<' && c != '<' && c != '>') {
        const std::size_t j = i < n ? KWX::sn_FindBracket(line, i + 1) : n + 1;
        previous = j <= n ? line[j - 1] : '\n';
        i = j;
        continue;
      }
      if (c == '<') {
        ++depth;
      } else if (c == '>') {
        --depth;
      }
      const std::size_t pos = starts[k] + i;
      if (c == '>' && depth == 0 && !tagOpen) {
        tagEnd = pos + 1;
        tagOpen = true;
      } else if (previous == '<' && c != ':' && tagOpen) {
        // The "<" before c, on this line, starts the next segment.
        st_TagSegment segment;
        AppendRange(lines, starts, pendingLine, pendingStart, tagEnd, segment.cs_Tag);
        AppendRange(lines, starts, pendingLine, pendingStart, pos - 1, segment.cs_Text);
        segment.n_Line = static_cast<unsigned>(k + 1);
        segments.push_back(std::move(segment));
        pendingStart = pos - 1;
        pendingLine = k;
        tagOpen = false;
        depth = 1;
      }
      previous = c;
      ++i;
    }
  }
  if (tagOpen) {
    st_TagSegment segment;
    AppendRange(lines, starts, pendingLine, pendingStart, tagEnd, segment.cs_Tag);
    AppendRange(lines, starts, pendingLine, pendingStart, total, segment.cs_Text);
    segment.n_Line = static_cast<unsigned>(lines.size() + 1);
    segments.push_back(std::move(segment));
  } else if (pendingStart < total && segments.size() > firstNew) {
    AppendRange(lines, starts, pendingLine, pendingStart, total, segments.back().cs_Text);
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
