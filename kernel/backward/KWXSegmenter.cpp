// The tokeniser is one pass over the lines with a depth counter and a
// buffer of pending text. An external tag starts where a "<" is followed
// by anything but ":"; at that moment the pending text, less those two
// characters, closes the open segment. Both steps are constant work per
// character, so a file of one very long line costs no more than many
// short ones; runs without brackets are appended whole.
#include "kernel/backward/KWXSegmenter.h"

#include "kernel/forward/KWXFormat.h"

namespace KWX {

void CQ_KWXSegmenter::sv_Tokenise(const std::vector<std::string>& lines, CQ_TagSegmentList& segments) {
  std::string pending;
  std::string openTag;
  bool tagOpen = false;
  long long depth = 0;
  char previous = 0;
  const std::size_t firstNew = segments.size();
  // Most lines open one segment: room for that many saves the list's
  // regrowth (a hint only; the list grows past it when it must).
  segments.reserve(firstNew + lines.size());

  const auto scan = [&](char c, unsigned lineNumber) {
    if (c == '<') {
      ++depth;
    } else if (c == '>') {
      --depth;
    }
    pending.push_back(c);
    if (c == '>' && depth == 0 && !tagOpen) {
      openTag = pending;
      tagOpen = true;
    } else if (previous == '<' && c != ':' && tagOpen) {
      st_TagSegment segment;
      segment.cs_Tag = std::move(openTag);
      segment.cs_Text.assign(pending, 0, pending.size() - 2);
      segment.n_Line = lineNumber;
      segments.push_back(std::move(segment));
      pending.erase(0, pending.size() - 2);
      openTag.clear();
      tagOpen = false;
      depth = 1;
    }
    previous = c;
  };

  unsigned lineNumber = 0;
  for (const std::string& line : lines) {
    ++lineNumber;
    const std::size_t n = line.size();
    std::size_t i = 0;
    while (i < n) {
      // A run of bytes that are no bracket, after a byte that opens no tag,
      // changes nothing but the pending text: it is taken whole.
      if (previous != '<' && line[i] != '<' && line[i] != '>') {
        const std::size_t j = KWX::sn_FindBracket(line, i + 1);
        pending.append(line, i, j - i);
        previous = line[j - 1];
        i = j;
        continue;
      }
      scan(line[i], lineNumber);
      ++i;
    }
    scan('\n', lineNumber);
  }
  if (tagOpen) {
    st_TagSegment segment;
    segment.cs_Tag = std::move(openTag);
    segment.cs_Text = std::move(pending);
    segment.n_Line = lineNumber + 1;
    segments.push_back(std::move(segment));
  } else if (!pending.empty() && segments.size() > firstNew) {
    segments.back().cs_Text += pending;
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
