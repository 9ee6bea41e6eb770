// Post-processing passes over a KWX piece list.
//
// Each pass reads the list once and builds a new one. Moving blocks is a
// forward pass with a queue: a block is replaced by its placeholder and
// held until the next boundary piece, where the held blocks are written
// in document order. This gives the layout of a walk from the end that
// moves each block before its nearest following boundary, without moving
// elements of a vector more than once. Run handling keeps the opening tag
// of the run in force and a stack of runs interrupted by anchored frames
// and tables.
#include "kernel/forward/KWXPostProcessor.h"

#include <string_view>
#include <utility>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXTagTables.h"

using KWX::b_HasPrefix;

namespace {

constexpr std::string_view kEmptyFontBlock = "<Font\n<FTag `'>\n> # end of Font\n";

bool IsFootnoteBoundary(const std::string& p) {
  return b_HasPrefix(p, KWX::PREFIX_PS) || b_HasPrefix(p, KWX::PREFIX_AF) || b_HasPrefix(p, KWX::PREFIX_TB) ||
         p == KWX::TAG_CT_CLOSE || p == KWX::TAG_TBT_CLOSE || p == KWX::TAG_TR_CLOSE;
}

bool IsMarkerBoundary(const std::string& p) {
  return IsFootnoteBoundary(p) || b_HasPrefix(p, KWX::PREFIX_FN) || p == KWX::TAG_FN_CLOSE;
}

bool IsIndexMarkerBoundary(const std::string& p) { return IsMarkerBoundary(p) || b_HasPrefix(p, KWX::PREFIX_MK); }

// Moves every block [openPrefix ... closeTag] (nested blocks of the same
// kind counted) to the next boundary piece and leaves its placeholder.
template <class Boundary, class Placeholder>
void MoveBlocks(std::vector<std::string>& pieces, std::string_view openPrefix, std::string_view closeTag,
                Boundary isBoundary, Placeholder placeholder) {
  std::vector<std::string> out;
  out.reserve(pieces.size() + 8);
  std::vector<std::string> held;
  auto flush = [&] {
    for (std::string& p : held) out.push_back(std::move(p));
    held.clear();
  };
  const std::size_t n = pieces.size();
  for (std::size_t k = 0; k < n; ++k) {
    std::string& p = pieces[k];
    if (b_HasPrefix(p, openPrefix)) {
      std::size_t depth = 0;
      std::size_t j = k;
      for (; j < n; ++j) {
        if (b_HasPrefix(pieces[j], openPrefix)) {
          ++depth;
        } else if (pieces[j] == closeTag && --depth == 0) {
          break;
        }
      }
      if (j == n) throw 6;
      out.push_back(placeholder(p));
      for (std::size_t m = k; m <= j; ++m) held.push_back(std::move(pieces[m]));
      k = j;
      continue;
    }
    // A block that no boundary follows still ends before the file does.
    if (!held.empty() && (isBoundary(p) || p == KWX::TAG_KWX_CLOSE)) flush();
    out.push_back(std::move(p));
  }
  flush();
  pieces.swap(out);
}

bool IsRunOpening(const std::string& p) { return b_HasPrefix(p, KWX::PREFIX_CS) || b_HasPrefix(p, KWX::PREFIX_FC); }
bool IsRunClosing(const std::string& p) { return p == KWX::TAG_CS_CLOSE || p == KWX::TAG_FC_CLOSE; }
bool IsFontChange(const std::string& p) { return IsRunOpening(p) || IsRunClosing(p); }

bool IsElementTag(const std::string& p) {
  return b_HasPrefix(p, KWX::PREFIX_IEL) || b_HasPrefix(p, KWX::PREFIX_IEL_CLOSE) ||
         b_HasPrefix(p, KWX::PREFIX_IELF) || b_HasPrefix(p, KWX::PREFIX_IELF_CLOSE);
}

// The quoted name of a tag: the text between its first two double quotes.
std::string_view QuotedName(std::string_view tag) {
  const std::size_t open = tag.find('"');
  if (open == std::string_view::npos) return {};
  const std::size_t close = tag.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  return tag.substr(open + 1, close - open - 1);
}

}  // namespace

void CQ_KWXPostProcessor::v_Run(std::vector<std::string>& pieces, bool structured, bool japaneseAlignment) {
  m_rcoTags.v_ResetElfCounter();
  v_PlaceFootnotes(pieces);
  v_PlaceMarkers(pieces);
  v_PlaceIndexMarkers(pieces);
  v_BalanceConditions(pieces);
  v_CloseRuns(pieces);
  if (structured) v_ElementTags(pieces);
  if (japaneseAlignment) v_RegroupSortStrings(pieces);
}

void CQ_KWXPostProcessor::v_PlaceFootnotes(std::vector<std::string>& pieces) {
  MoveBlocks(pieces, KWX::PREFIX_FN, KWX::TAG_FN_CLOSE, IsFootnoteBoundary, [this](const std::string& opening) {
    const std::string id = opening.substr(KWX::PREFIX_FN.size(), opening.size() - KWX::PREFIX_FN.size() - 1);
    std::string tag = KWX::ccs_MakeIdTag(KWX::PREFIX_IFN, id);
    m_rcoTags.b_Enter(tag, "<FNote " + id + ">\n");
    return tag;
  });
}

void CQ_KWXPostProcessor::v_PlaceMarkers(std::vector<std::string>& pieces) {
  MoveBlocks(pieces, KWX::PREFIX_MK, KWX::TAG_MK_CLOSE, IsMarkerBoundary, [this](const std::string& opening) {
    std::string tag = KWX::ccs_PlaceholderForm(opening);
    m_rcoTags.b_Enter(tag, KWX::MIF_MARKER_PLACEHOLDER);
    return tag;
  });
}

void CQ_KWXPostProcessor::v_PlaceIndexMarkers(std::vector<std::string>& pieces) {
  MoveBlocks(pieces, KWX::PREFIX_IMK, KWX::TAG_IMK_CLOSE, IsIndexMarkerBoundary,
             [this](const std::string& opening) {
               std::string tag = KWX::ccs_PlaceholderForm(opening);
               m_rcoTags.b_Enter(tag, KWX::MIF_INDEX_MARKER_PLACEHOLDER);
               return tag;
             });
}

void CQ_KWXPostProcessor::v_BalanceConditions(std::vector<std::string>& pieces) {
  std::vector<std::string> out;
  out.reserve(pieces.size() + 8);
  bool open = false;
  std::size_t insets = 0;
  for (std::string& p : pieces) {
    if (b_HasPrefix(p, KWX::PREFIX_CNS)) {
      if (open) out.emplace_back(KWX::TAG_CNS_CLOSE);
      open = true;
    } else if (p == KWX::TAG_CNS_CLOSE) {
      if (!open) {
        out.emplace_back(KWX::TAG_CNS_DUMMY);
        m_rcoTags.b_Enter(KWX::TAG_CNS_DUMMY, KWX::MIF_CNS_DUMMY);
      }
      open = false;
    } else if (b_HasPrefix(p, KWX::PREFIX_TI)) {
      ++insets;
    } else if (p == KWX::TAG_TI_CLOSE) {
      if (insets > 0) --insets;
    }
    out.push_back(std::move(p));
  }
  if (open || insets > 0) {
    // Closed by a dummy paragraph in the last text column; a list without
    // a column closes them before </kwx>.
    std::vector<std::string> closing;
    std::size_t at = out.size();
    for (std::size_t k = out.size(); k-- > 0;) {
      if (out[k] == KWX::TAG_TR_CLOSE) {
        at = k;
        break;
      }
    }
    if (at < out.size()) {
      closing.emplace_back(KWX::TAG_PS_DUMMY);
      m_rcoTags.b_Enter(KWX::TAG_PS_DUMMY, KWX::MIF_PS_DUMMY);
    } else if (!out.empty() && out.back() == KWX::TAG_KWX_CLOSE) {
      at = out.size() - 1;
    }
    if (open) closing.emplace_back(KWX::TAG_CNS_CLOSE);
    for (std::size_t i = 0; i < insets; ++i) closing.emplace_back(KWX::TAG_TI_CLOSE);
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(closing.begin()),
               std::make_move_iterator(closing.end()));
  }
  pieces.swap(out);
}

void CQ_KWXPostProcessor::v_CloseRuns(std::vector<std::string>& pieces) {
  std::vector<std::string> out;
  out.reserve(pieces.size() + 8);
  std::string open;                // opening tag of the run in force
  std::vector<std::string> saved;  // runs interrupted by <af> and <tb>
  auto close = [&] {
    if (open.empty()) return;
    if (!out.empty() && out.back() == open) {
      out.pop_back();  // a run with nothing in it
    } else if (b_HasPrefix(open, KWX::PREFIX_FC)) {
      out.emplace_back(KWX::TAG_FC_CLOSE);
      m_rcoTags.b_Enter(KWX::TAG_FC_CLOSE, kEmptyFontBlock);
    } else {
      out.emplace_back(KWX::TAG_CS_CLOSE);
    }
    open.clear();
  };
  for (std::string& p : pieces) {
    if (IsRunOpening(p)) {
      close();
      open = p;
      out.push_back(std::move(p));
    } else if (IsRunClosing(p)) {
      close();
    } else if (KWX::b_IsExternalTag(p)) {
      std::string interrupted = open;
      close();
      const bool frameOrTable = b_HasPrefix(p, KWX::PREFIX_AF) || b_HasPrefix(p, KWX::PREFIX_TB);
      const bool frameOrTableEnd = p == KWX::TAG_AF_CLOSE || p == KWX::TAG_TB_CLOSE;
      out.push_back(std::move(p));
      if (frameOrTable) {
        saved.push_back(std::move(interrupted));
      } else if (frameOrTableEnd && !saved.empty()) {
        open = std::move(saved.back());
        saved.pop_back();
        if (!open.empty()) out.push_back(open);
      }
    } else {
      out.push_back(std::move(p));
    }
  }
  close();
  pieces.swap(out);
}

void CQ_KWXPostProcessor::v_ElementTags(std::vector<std::string>& pieces) {
  const std::size_t n = pieces.size();
  // Element ranges within one segment that hold a font change.
  for (std::size_t k = 0; k < n; ++k) {
    if (!b_HasPrefix(pieces[k], KWX::PREFIX_IEL)) continue;
    const std::string name(QuotedName(pieces[k]));
    const std::string closing = KWX::ccs_MakeQuotedTag(KWX::PREFIX_IEL_CLOSE, name);
    std::size_t depth = 0;
    bool fontChange = false;
    std::size_t j = k;
    for (; j < n; ++j) {
      const std::string& p = pieces[j];
      if (j > k && KWX::b_IsExternalTag(p)) break;
      if (b_HasPrefix(p, KWX::PREFIX_IEL) && QuotedName(p) == name) {
        ++depth;
      } else if (p == closing && --depth == 0) {
        break;
      } else if (IsFontChange(p)) {
        fontChange = true;
      }
    }
    if (j == n || pieces[j] != closing || !fontChange) continue;
    const std::string* fragment = m_rcoTags.pcs_FindFragment(pieces[k]);
    const std::string* closingFragment = m_rcoTags.pcs_FindFragment(closing);
    const std::string opening = fragment ? *fragment : pieces[k];
    pieces[k] = m_rcoTags.rcs_TagForFragment(KWX::NUMBERED_ELF, name, opening);
    std::string elfClosing = KWX::ccs_MakeQuotedTag(KWX::PREFIX_IELF_CLOSE, name);
    m_rcoTags.b_Enter(elfClosing, closingFragment ? *closingFragment : closing);
    pieces[j] = std::move(elfClosing);
  }
  // Element tags between paragraphs: a run of element tags with an
  // external tag (or the start) before it and an external tag after it.
  std::vector<char> between(n, 0);
  for (std::size_t k = 0; k < n;) {
    if (!IsElementTag(pieces[k])) {
      ++k;
      continue;
    }
    std::size_t j = k;
    while (j < n && IsElementTag(pieces[j])) ++j;
    const bool before = k == 0 || KWX::b_IsExternalTag(pieces[k - 1]);
    const bool after = j < n && KWX::b_IsExternalTag(pieces[j]);
    if (before && after) {
      for (std::size_t m = k; m < j; ++m) between[m] = 1;
    }
    k = j;
  }
  // Both tags of an element take the external form, or neither does, so
  // that every element stays closed by a tag of its own form.
  std::vector<std::pair<std::string, std::size_t>> open;
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& p = pieces[k];
    const bool begins = b_HasPrefix(p, KWX::PREFIX_IEL) || b_HasPrefix(p, KWX::PREFIX_IELF);
    const bool ends = b_HasPrefix(p, KWX::PREFIX_IEL_CLOSE) || b_HasPrefix(p, KWX::PREFIX_IELF_CLOSE);
    if (begins) {
      open.emplace_back(std::string(QuotedName(p)), k);
    } else if (ends) {
      const std::string_view name = QuotedName(p);
      for (std::size_t m = open.size(); m-- > 0;) {
        if (open[m].first == name) {
          pairs.emplace_back(open[m].second, k);
          open.erase(open.begin() + static_cast<std::ptrdiff_t>(m));
          break;
        }
      }
    }
  }
  for (const auto& [b, e] : pairs) {
    if (!between[b] || !between[e]) continue;
    for (std::size_t k : {b, e}) {
      const std::string* fragment = m_rcoTags.pcs_FindFragment(pieces[k]);
      std::string external = KWX::ccs_ExternalElementForm(pieces[k]);
      m_rcoTags.b_Enter(external, fragment ? *fragment : pieces[k]);
      pieces[k] = std::move(external);
    }
  }
}

void CQ_KWXPostProcessor::v_RegroupSortStrings(std::vector<std::string>& pieces) {
  std::vector<std::string> out;
  out.reserve(pieces.size() + 8);
  std::vector<std::string> sortParts;  // of the entry being read
  bool inIndexMarker = false;
  bool inSortPart = false;
  auto endEntry = [&] {
    for (std::string& p : sortParts) out.push_back(std::move(p));
    sortParts.clear();
    inSortPart = false;
  };
  for (std::string& p : pieces) {
    if (b_HasPrefix(p, KWX::PREFIX_IMK)) {
      inIndexMarker = true;
      out.push_back(std::move(p));
      continue;
    }
    if (!inIndexMarker) {
      out.push_back(std::move(p));
      continue;
    }
    if (p == KWX::TAG_IE || p == KWX::TAG_IMK_CLOSE) {
      endEntry();
      inIndexMarker = p != KWX::TAG_IMK_CLOSE;
      out.push_back(std::move(p));
    } else if (p == KWX::TAG_SS) {
      out.emplace_back(KWX::TAG_SO);
      m_rcoTags.b_Enter(KWX::TAG_SO, "# Sort Order\n");
      inSortPart = true;
      sortParts.push_back(std::move(p));
    } else if (p == KWX::TAG_IL) {
      inSortPart = false;
      out.push_back(std::move(p));
    } else if (inSortPart) {
      sortParts.push_back(std::move(p));
    } else {
      out.push_back(std::move(p));
    }
  }
  endEntry();
  pieces.swap(out);
}
