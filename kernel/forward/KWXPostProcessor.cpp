// Post-processing passes over a KWX piece list.
//
// Each pass reads the list once and builds a new one from the same
// records. Moving blocks is a forward pass with a queue: a block is
// replaced by its placeholder and held until the next boundary piece, where
// the held blocks are written in document order. This gives the layout of a walk from the end that
// moves each block before its nearest following boundary, without moving
// elements of a vector more than once. Run handling keeps the opening tag
// of the run in force and a stack of runs interrupted by anchored frames
// and tables.
#include "kernel/forward/KWXPostProcessor.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXTagTables.h"
#include "kernel/session/ResultCodes.h"

using KWX::b_HasPrefix;

namespace {

constexpr std::string_view kEmptyFontBlock = "<Font\n<FTag `'>\n> # end of Font\n";

constexpr std::uint32_t kFootnoteBoundary = KWX_PIECE_PS | KWX_PIECE_AF | KWX_PIECE_TB | KWX_PIECE_CT_CLOSE |
                                            KWX_PIECE_TBT_CLOSE | KWX_PIECE_TR_CLOSE;
constexpr std::uint32_t kMarkerBoundary = kFootnoteBoundary | KWX_PIECE_FN | KWX_PIECE_FN_CLOSE;
constexpr std::uint32_t kIndexMarkerBoundary = kMarkerBoundary | KWX_PIECE_MK;

// Moves every block [opening kind ... closing kind] (nested blocks of the
// same kind counted) to the next boundary piece and leaves its
// placeholder.
template <class Placeholder>
void MoveBlocks(CQ_KWXPieceList& list, CQ_KWXPieces& out, std::uint32_t openKind,
                std::uint32_t closeKind, std::uint32_t boundary, Placeholder placeholder) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  std::vector<st_KWXPiece> held;
  auto flush = [&] {
    out.insert(out.end(), held.begin(), held.end());
    held.clear();
  };
  const std::size_t n = pieces.size();
  for (std::size_t k = 0; k < n; ++k) {
    const st_KWXPiece p = pieces[k];
    if (p.b_Is(openKind)) {
      std::size_t depth = 0;
      std::size_t j = k;
      for (; j < n; ++j) {
        if (pieces[j].b_Is(openKind)) {
          ++depth;
        } else if (pieces[j].b_Is(closeKind) && --depth == 0) {
          break;
        }
      }
      if (j == n) throw Result::DAMAGED;
      out.push_back(list.st_Make(placeholder(p.sv())));
      held.insert(held.end(), pieces.begin() + static_cast<std::ptrdiff_t>(k),
                  pieces.begin() + static_cast<std::ptrdiff_t>(j) + 1);
      k = j;
      continue;
    }
    // A block that no boundary follows still ends before the file does.
    if (!held.empty() && p.b_Is(boundary | KWX_PIECE_KWX_CLOSE)) flush();
    out.push_back(p);
  }
  flush();
  pieces.swap(out);
}

bool IsFontChange(std::string_view p) {
  return b_HasPrefix(p, KWX::PREFIX_CS) || b_HasPrefix(p, KWX::PREFIX_FC) || p == KWX::TAG_CS_CLOSE ||
         p == KWX::TAG_FC_CLOSE;
}

bool IsElementTag(std::string_view p) {
  return b_HasPrefix(p, KWX::PREFIX_IEL) || b_HasPrefix(p, KWX::PREFIX_IEL_CLOSE) ||
         b_HasPrefix(p, KWX::PREFIX_IELF) || b_HasPrefix(p, KWX::PREFIX_IELF_CLOSE);
}

// The quoted name of a tag: the text between its first two double quotes.
std::string_view QuotedName(std::string_view tag) { return KWX::sv_QuotedName(tag); }

}  // namespace

CQ_KWXPieces& CQ_KWXPostProcessor::rco_Output(std::size_t expected) {
  m_vecScratch.clear();
  m_vecScratch.reserve(expected);
  return m_vecScratch;
}

void CQ_KWXPostProcessor::v_Run(CQ_KWXPieceList& pieces, bool structured, bool japaneseAlignment) {
  m_rcoTags.v_ResetElfCounter();
  v_PlaceFootnotes(pieces);
  v_PlaceMarkers(pieces);
  v_PlaceIndexMarkers(pieces);
  v_BalanceConditions(pieces);
  v_CloseRuns(pieces);
  if (structured) v_ElementTags(pieces);
  if (japaneseAlignment) v_RegroupSortStrings(pieces);
}

void CQ_KWXPostProcessor::v_Run(std::vector<std::string>& pieces, bool structured, bool japaneseAlignment) {
  CQ_KWXPieceList list = CQ_KWXPieceList::sco_FromStrings(pieces);
  v_Run(list, structured, japaneseAlignment);
  pieces = list.ast_Strings();
}

// The string forms run the compact steps on a copy.
#define MORVANE_STRING_STEP(step)                                              \
  void CQ_KWXPostProcessor::step(std::vector<std::string>& pieces) {          \
    CQ_KWXPieceList list = CQ_KWXPieceList::sco_FromStrings(pieces);          \
    step(list);                                                                \
    pieces = list.ast_Strings();                                               \
  }
MORVANE_STRING_STEP(v_PlaceFootnotes)
MORVANE_STRING_STEP(v_PlaceMarkers)
MORVANE_STRING_STEP(v_PlaceIndexMarkers)
MORVANE_STRING_STEP(v_BalanceConditions)
MORVANE_STRING_STEP(v_CloseRuns)
MORVANE_STRING_STEP(v_ElementTags)
MORVANE_STRING_STEP(v_RegroupSortStrings)
#undef MORVANE_STRING_STEP

void CQ_KWXPostProcessor::v_PlaceFootnotes(CQ_KWXPieceList& pieces) {
  MoveBlocks(pieces, rco_Output(pieces.size() + 8), KWX_PIECE_FN, KWX_PIECE_FN_CLOSE, kFootnoteBoundary,
             [this](std::string_view opening) {
               const std::string id(
                   opening.substr(KWX::PREFIX_FN.size(), opening.size() - KWX::PREFIX_FN.size() - 1));
               std::string tag = KWX::ccs_MakeIdTag(KWX::PREFIX_IFN, id);
               m_rcoTags.b_Enter(tag, "<FNote " + id + ">\n");
               return tag;
             });
}

void CQ_KWXPostProcessor::v_PlaceMarkers(CQ_KWXPieceList& pieces) {
  MoveBlocks(pieces, rco_Output(pieces.size() + 8), KWX_PIECE_MK, KWX_PIECE_MK_CLOSE, kMarkerBoundary,
             [this](std::string_view opening) {
               std::string tag = KWX::ccs_PlaceholderForm(opening);
               m_rcoTags.b_Enter(tag, KWX::MIF_MARKER_PLACEHOLDER);
               return tag;
             });
}

void CQ_KWXPostProcessor::v_PlaceIndexMarkers(CQ_KWXPieceList& pieces) {
  MoveBlocks(pieces, rco_Output(pieces.size() + 8), KWX_PIECE_IMK, KWX_PIECE_IMK_CLOSE, kIndexMarkerBoundary,
             [this](std::string_view opening) {
               std::string tag = KWX::ccs_PlaceholderForm(opening);
               m_rcoTags.b_Enter(tag, KWX::MIF_INDEX_MARKER_PLACEHOLDER);
               return tag;
             });
}

void CQ_KWXPostProcessor::v_BalanceConditions(CQ_KWXPieceList& list) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  CQ_KWXPieces& out = rco_Output(pieces.size() + 8);
  bool open = false;
  std::size_t insets = 0;
  for (const st_KWXPiece& p : pieces) {
    if (p.b_Is(KWX_PIECE_CNS)) {
      if (open) out.push_back(list.st_Make(KWX::TAG_CNS_CLOSE));
      open = true;
    } else if (p.b_Is(KWX_PIECE_CNS_CLOSE)) {
      if (!open) {
        out.push_back(list.st_Make(KWX::TAG_CNS_DUMMY));
        m_rcoTags.b_Enter(KWX::TAG_CNS_DUMMY, KWX::MIF_CNS_DUMMY);
      }
      open = false;
    } else if (p.b_Is(KWX_PIECE_TI)) {
      ++insets;
    } else if (p.b_Is(KWX_PIECE_TI_CLOSE)) {
      if (insets > 0) --insets;
    }
    out.push_back(p);
  }
  if (open || insets > 0) {
    // Closed by a dummy paragraph in the last text column; a list without
    // a column closes them before </kwx>.
    std::vector<st_KWXPiece> closing;
    std::size_t at = out.size();
    for (std::size_t k = out.size(); k-- > 0;) {
      if (out[k].b_Is(KWX_PIECE_TR_CLOSE)) {
        at = k;
        break;
      }
    }
    if (at < out.size()) {
      closing.push_back(list.st_Make(KWX::TAG_PS_DUMMY));
      m_rcoTags.b_Enter(KWX::TAG_PS_DUMMY, KWX::MIF_PS_DUMMY);
    } else if (!out.empty() && out.back().b_Is(KWX_PIECE_KWX_CLOSE)) {
      at = out.size() - 1;
    }
    if (open) closing.push_back(list.st_Make(KWX::TAG_CNS_CLOSE));
    for (std::size_t i = 0; i < insets; ++i) closing.push_back(list.st_Make(KWX::TAG_TI_CLOSE));
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), closing.begin(), closing.end());
  }
  pieces.swap(out);
}

void CQ_KWXPostProcessor::v_CloseRuns(CQ_KWXPieceList& list) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  CQ_KWXPieces& out = rco_Output(pieces.size() + 8);
  const st_KWXPiece none;
  st_KWXPiece open;                  // opening tag of the run in force; none when n_Size is 0
  std::vector<st_KWXPiece> saved;    // runs interrupted by <af> and <tb>
  const st_KWXPiece fcClose = list.st_Make(KWX::TAG_FC_CLOSE);
  const st_KWXPiece csClose = list.st_Make(KWX::TAG_CS_CLOSE);
  // The tables keep the first fragment entered for a tag: the pair is
  // entered once a pass.
  bool fcCloseEntered = false;
  auto close = [&] {
    if (open.n_Size == 0) return;
    if (!out.empty() && out.back().sv() == open.sv()) {
      out.pop_back();  // a run with nothing in it
    } else if (open.b_Is(KWX_PIECE_FC)) {
      out.push_back(fcClose);
      if (!fcCloseEntered) m_rcoTags.b_Enter(KWX::TAG_FC_CLOSE, kEmptyFontBlock);
      fcCloseEntered = true;
    } else {
      out.push_back(csClose);
    }
    open = none;
  };
  constexpr std::uint32_t kRunOpening = KWX_PIECE_CS | KWX_PIECE_FC;
  constexpr std::uint32_t kRunClosing = KWX_PIECE_CS_CLOSE | KWX_PIECE_FC_CLOSE;
  for (const st_KWXPiece& p : pieces) {
    if (p.b_Is(kRunOpening)) {
      close();
      open = p;
      out.push_back(p);
    } else if (p.b_Is(kRunClosing)) {
      close();
    } else if (p.b_Is(KWX_PIECE_EXTERNAL)) {
      const st_KWXPiece interrupted = open;
      close();
      const bool frameOrTable = p.b_Is(KWX_PIECE_AF | KWX_PIECE_TB);
      const bool frameOrTableEnd = p.b_Is(KWX_PIECE_AF_CLOSE | KWX_PIECE_TB_CLOSE);
      out.push_back(p);
      if (frameOrTable) {
        saved.push_back(interrupted);
      } else if (frameOrTableEnd && !saved.empty()) {
        open = saved.back();
        saved.pop_back();
        if (open.n_Size != 0) out.push_back(open);
      }
    } else {
      out.push_back(p);
    }
  }
  close();
  pieces.swap(out);
}

void CQ_KWXPostProcessor::v_ElementTags(CQ_KWXPieceList& list) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  const std::size_t n = pieces.size();
  // Element ranges within one segment that hold a font change.
  for (std::size_t k = 0; k < n; ++k) {
    if (!b_HasPrefix(pieces[k].sv(), KWX::PREFIX_IEL)) continue;
    const std::string name(QuotedName(pieces[k].sv()));
    const std::string closing = KWX::ccs_MakeQuotedTag(KWX::PREFIX_IEL_CLOSE, name);
    std::size_t depth = 0;
    bool fontChange = false;
    std::size_t j = k;
    for (; j < n; ++j) {
      const std::string_view p = pieces[j].sv();
      if (j > k && KWX::b_IsExternalTag(p)) break;
      if (b_HasPrefix(p, KWX::PREFIX_IEL) && QuotedName(p) == name) {
        ++depth;
      } else if (p == closing && --depth == 0) {
        break;
      } else if (IsFontChange(p)) {
        fontChange = true;
      }
    }
    if (j == n || pieces[j].sv() != closing || !fontChange) continue;
    const std::string_view* fragment = m_rcoTags.pcs_FindFragment(pieces[k].sv());
    const std::string_view* closingFragment = m_rcoTags.pcs_FindFragment(closing);
    const std::string opening(fragment ? *fragment : pieces[k].sv());
    pieces[k] = list.st_Make(m_rcoTags.sv_TagForFragment(KWX::NUMBERED_ELF, name, opening));
    std::string elfClosing = KWX::ccs_MakeQuotedTag(KWX::PREFIX_IELF_CLOSE, name);
    m_rcoTags.b_Enter(elfClosing, closingFragment ? *closingFragment : closing);
    pieces[j] = list.st_Make(elfClosing);
  }
  // Element tags between paragraphs: a run of element tags with an
  // external tag (or the start) before it and an external tag after it.
  std::vector<char> between(n, 0);
  for (std::size_t k = 0; k < n;) {
    if (!IsElementTag(pieces[k].sv())) {
      ++k;
      continue;
    }
    std::size_t j = k;
    while (j < n && IsElementTag(pieces[j].sv())) ++j;
    const bool before = k == 0 || KWX::b_IsExternalTag(pieces[k - 1].sv());
    const bool after = j < n && KWX::b_IsExternalTag(pieces[j].sv());
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
    const std::string_view p = pieces[k].sv();
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
      const std::string_view* fragment = m_rcoTags.pcs_FindFragment(pieces[k].sv());
      const std::string external = KWX::ccs_ExternalElementForm(pieces[k].sv());
      m_rcoTags.b_Enter(external, fragment ? *fragment : pieces[k].sv());
      pieces[k] = list.st_Make(external);
    }
  }
}

void CQ_KWXPostProcessor::v_RegroupSortStrings(CQ_KWXPieceList& list) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  CQ_KWXPieces& out = rco_Output(pieces.size() + 8);
  CQ_KWXPieces sortParts;  // of the entry being read
  bool inIndexMarker = false;
  bool inSortPart = false;
  auto endEntry = [&] {
    out.insert(out.end(), sortParts.begin(), sortParts.end());
    sortParts.clear();
    inSortPart = false;
  };
  for (const st_KWXPiece& piece : pieces) {
    const std::string_view p = piece.sv();
    if (b_HasPrefix(p, KWX::PREFIX_IMK)) {
      inIndexMarker = true;
      out.push_back(piece);
      continue;
    }
    if (!inIndexMarker) {
      out.push_back(piece);
      continue;
    }
    if (p == KWX::TAG_IE || p == KWX::TAG_IMK_CLOSE) {
      endEntry();
      inIndexMarker = p != KWX::TAG_IMK_CLOSE;
      out.push_back(piece);
    } else if (p == KWX::TAG_SS) {
      out.push_back(list.st_Make(KWX::TAG_SO));
      m_rcoTags.b_Enter(KWX::TAG_SO, "# Sort Order\n");
      inSortPart = true;
      sortParts.push_back(piece);
    } else if (p == KWX::TAG_IL) {
      inSortPart = false;
      out.push_back(piece);
    } else if (inSortPart) {
      sortParts.push_back(piece);
    } else {
      out.push_back(piece);
    }
  }
  endEntry();
  pieces.swap(out);
}
