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

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// The first piece at or after `from` that has any of `kinds`, or the end.
std::size_t NextOf(const CQ_KWXPieces& pieces, std::size_t from, std::uint32_t kinds) {
  const std::size_t n = pieces.size();
  const st_KWXPiece* const p = pieces.data();
  // Most pieces are passed over: four are tested at once, their kinds
  // joined, and the one found among them is then told apart.
  while (from + 4 <= n &&
         ((p[from].n_Kinds | p[from + 1].n_Kinds | p[from + 2].n_Kinds | p[from + 3].n_Kinds) & kinds) == 0) {
    from += 4;
  }
  while (from < n && (p[from].n_Kinds & kinds) == 0) ++from;
  return from;
}

// Writes a pass's output list through a pointer: the list is sized once
// for the pieces expected (a list's new pieces are left unwritten, see
// st_KWXPieceAllocator; it grows should more come), pieces and runs of
// pieces are stored without a vector's per-element steps, and Finish cuts
// the list to what was written. A pass adds a few pieces to a list at
// most: room for a quarter more serves.
class CPieceWriter {
 public:
  CPieceWriter(CQ_KWXPieces& out, std::size_t input) : m_out(out) {
    m_out.resize(input + input / 4 + 64);
    m_at = m_out.data();
    m_end = m_at + m_out.size();
  }
  void Put(const st_KWXPiece& piece) {
    if (m_at == m_end) Grow(1);
    *m_at++ = piece;
  }
  // The pieces [begin, end) of a list.
  void Put(const CQ_KWXPieces& in, std::size_t begin, std::size_t end) {
    const std::size_t count = end - begin;
    if (static_cast<std::size_t>(m_end - m_at) < count) Grow(count);
    if (count != 0) std::memcpy(static_cast<void*>(m_at), in.data() + begin, count * sizeof(st_KWXPiece));
    m_at += count;
  }
  void Put(const std::vector<st_KWXPiece>& pieces) {
    if (static_cast<std::size_t>(m_end - m_at) < pieces.size()) Grow(pieces.size());
    for (const st_KWXPiece& p : pieces) *m_at++ = p;
  }
  bool Empty() const { return m_at == m_out.data(); }
  const st_KWXPiece& Back() const { return m_at[-1]; }
  void Pop() { --m_at; }
  // The list holds what was written.
  CQ_KWXPieces& Finish() {
    m_out.resize(static_cast<std::size_t>(m_at - m_out.data()));
    return m_out;
  }

 private:
  void Grow(std::size_t more) {
    const std::size_t used = static_cast<std::size_t>(m_at - m_out.data());
    m_out.resize(std::max(2 * m_out.size(), used + more));
    m_at = m_out.data() + used;
    m_end = m_out.data() + m_out.size();
  }

  CQ_KWXPieces& m_out;
  st_KWXPiece* m_at;
  st_KWXPiece* m_end;
};

// Moves every block [opening kind ... closing kind] (nested blocks of the
// same kind counted) to the next boundary piece and leaves its
// placeholder. Only openings, and boundaries while blocks are held, stop
// the walk; the pieces between are copied as whole runs, and a list
// without an opening is left as it is.
template <class Placeholder>
void MoveBlocks(CQ_KWXPieceList& list, CQ_KWXPieces& scratch, std::uint32_t openKind,
                std::uint32_t closeKind, std::uint32_t boundary, Placeholder placeholder) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  const std::size_t n = pieces.size();
  std::size_t k = NextOf(pieces, 0, openKind);
  if (k == n) return;
  CPieceWriter out(scratch, n);
  out.Put(pieces, 0, k);
  std::vector<st_KWXPiece> held;
  // A block that no boundary follows still ends before the file does.
  const std::uint32_t heldStop = openKind | boundary | KWX_PIECE_KWX_CLOSE;
  while (k < n) {
    const std::size_t next = NextOf(pieces, k, held.empty() ? openKind : heldStop);
    out.Put(pieces, k, next);
    if (next == n) break;
    const st_KWXPiece p = pieces[next];
    if (!p.b_Is(openKind)) {
      out.Put(held);
      held.clear();
      out.Put(p);
      k = next + 1;
      continue;
    }
    std::size_t depth = 0;
    std::size_t j = next;
    for (; j < n; ++j) {
      if (pieces[j].b_Is(openKind)) {
        ++depth;
      } else if (pieces[j].b_Is(closeKind) && --depth == 0) {
        break;
      }
    }
    if (j == n) throw Result::DAMAGED;
    out.Put(list.st_Make(placeholder(p.sv())));
    held.insert(held.end(), pieces.begin() + static_cast<std::ptrdiff_t>(next),
                pieces.begin() + static_cast<std::ptrdiff_t>(j) + 1);
    k = j + 1;
  }
  out.Put(held);
  pieces.swap(out.Finish());
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
  MoveBlocks(pieces, m_vecScratch, KWX_PIECE_FN, KWX_PIECE_FN_CLOSE, kFootnoteBoundary,
             [this](std::string_view opening) {
               const std::string id(
                   opening.substr(KWX::PREFIX_FN.size(), opening.size() - KWX::PREFIX_FN.size() - 1));
               std::string tag = KWX::ccs_MakeIdTag(KWX::PREFIX_IFN, id);
               m_rcoTags.b_Enter(tag, "<FNote " + id + ">\n");
               return tag;
             });
}

void CQ_KWXPostProcessor::v_PlaceMarkers(CQ_KWXPieceList& pieces) {
  MoveBlocks(pieces, m_vecScratch, KWX_PIECE_MK, KWX_PIECE_MK_CLOSE, kMarkerBoundary,
             [this](std::string_view opening) {
               std::string tag = KWX::ccs_PlaceholderForm(opening);
               m_rcoTags.b_Enter(tag, KWX::MIF_MARKER_PLACEHOLDER);
               return tag;
             });
}

void CQ_KWXPostProcessor::v_PlaceIndexMarkers(CQ_KWXPieceList& pieces) {
  MoveBlocks(pieces, m_vecScratch, KWX_PIECE_IMK, KWX_PIECE_IMK_CLOSE, kIndexMarkerBoundary,
             [this](std::string_view opening) {
               std::string tag = KWX::ccs_PlaceholderForm(opening);
               m_rcoTags.b_Enter(tag, KWX::MIF_INDEX_MARKER_PLACEHOLDER);
               return tag;
             });
}

void CQ_KWXPostProcessor::v_BalanceConditions(CQ_KWXPieceList& list) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  constexpr std::uint32_t kStops = KWX_PIECE_CNS | KWX_PIECE_CNS_CLOSE | KWX_PIECE_TI | KWX_PIECE_TI_CLOSE;
  const std::size_t n = pieces.size();
  std::size_t k = NextOf(pieces, 0, kStops);
  if (k == n) return;  // nothing to balance
  CPieceWriter out(m_vecScratch, n);
  out.Put(pieces, 0, k);
  bool open = false;
  std::size_t insets = 0;
  while (k < n) {
    const st_KWXPiece& p = pieces[k];
    if (p.b_Is(KWX_PIECE_CNS)) {
      if (open) out.Put(list.st_Make(KWX::TAG_CNS_CLOSE));
      open = true;
    } else if (p.b_Is(KWX_PIECE_CNS_CLOSE)) {
      if (!open) {
        out.Put(list.st_Make(KWX::TAG_CNS_DUMMY));
        m_rcoTags.b_Enter(KWX::TAG_CNS_DUMMY, KWX::MIF_CNS_DUMMY);
      }
      open = false;
    } else if (p.b_Is(KWX_PIECE_TI)) {
      ++insets;
    } else if (p.b_Is(KWX_PIECE_TI_CLOSE)) {
      if (insets > 0) --insets;
    }
    out.Put(p);
    const std::size_t next = NextOf(pieces, k + 1, kStops);
    out.Put(pieces, k + 1, next);
    k = next;
  }
  CQ_KWXPieces& result = out.Finish();
  if (open || insets > 0) {
    // Closed by a dummy paragraph in the last text column; a list without
    // a column closes them before </kwx>.
    std::vector<st_KWXPiece> closing;
    std::size_t at = result.size();
    for (std::size_t i = result.size(); i-- > 0;) {
      if (result[i].b_Is(KWX_PIECE_TR_CLOSE)) {
        at = i;
        break;
      }
    }
    if (at < result.size()) {
      closing.push_back(list.st_Make(KWX::TAG_PS_DUMMY));
      m_rcoTags.b_Enter(KWX::TAG_PS_DUMMY, KWX::MIF_PS_DUMMY);
    } else if (!result.empty() && result.back().b_Is(KWX_PIECE_KWX_CLOSE)) {
      at = result.size() - 1;
    }
    if (open) closing.push_back(list.st_Make(KWX::TAG_CNS_CLOSE));
    for (std::size_t i = 0; i < insets; ++i) closing.push_back(list.st_Make(KWX::TAG_TI_CLOSE));
    result.insert(result.begin() + static_cast<std::ptrdiff_t>(at), closing.begin(), closing.end());
  }
  pieces.swap(result);
}

void CQ_KWXPostProcessor::v_CloseRuns(CQ_KWXPieceList& list) {
  CQ_KWXPieces& pieces = list.rco_Pieces();
  constexpr std::uint32_t kRunOpening = KWX_PIECE_CS | KWX_PIECE_FC;
  constexpr std::uint32_t kRunClosing = KWX_PIECE_CS_CLOSE | KWX_PIECE_FC_CLOSE;
  // Without a run tag no run is ever open, and every step below keeps the
  // list as it is.
  const std::size_t n = pieces.size();
  if (NextOf(pieces, 0, kRunOpening | kRunClosing) == n) return;
  CPieceWriter out(m_vecScratch, n);
  const st_KWXPiece none{};
  st_KWXPiece open{};                // opening tag of the run in force; none when n_Size is 0
  std::vector<st_KWXPiece> saved;    // runs interrupted by <af> and <tb>
  const st_KWXPiece fcClose = list.st_Make(KWX::TAG_FC_CLOSE);
  const st_KWXPiece csClose = list.st_Make(KWX::TAG_CS_CLOSE);
  // The tables keep the first fragment entered for a tag: the pair is
  // entered once a pass.
  bool fcCloseEntered = false;
  // Ends the run in force, which the caller has found open.
  auto close = [&] {
    if (!out.Empty() && out.Back().sv() == open.sv()) {
      out.Pop();  // a run with nothing in it
    } else if (open.b_Is(KWX_PIECE_FC)) {
      out.Put(fcClose);
      if (!fcCloseEntered) m_rcoTags.b_Enter(KWX::TAG_FC_CLOSE, kEmptyFontBlock);
      fcCloseEntered = true;
    } else {
      out.Put(csClose);
    }
    open = none;
  };
  // Only run tags and external tags act; other pieces are copied.
  constexpr std::uint32_t kStops = kRunOpening | kRunClosing | KWX_PIECE_EXTERNAL;
  for (const st_KWXPiece& p : pieces) {
    if (!p.b_Is(kStops)) {
      out.Put(p);
    } else if (p.b_Is(kRunOpening)) {
      if (open.n_Size != 0) close();
      open = p;
      out.Put(p);
    } else if (p.b_Is(kRunClosing)) {
      if (open.n_Size != 0) close();
    } else {
      const st_KWXPiece interrupted = open;
      if (open.n_Size != 0) close();
      const bool frameOrTable = p.b_Is(KWX_PIECE_AF | KWX_PIECE_TB);
      const bool frameOrTableEnd = p.b_Is(KWX_PIECE_AF_CLOSE | KWX_PIECE_TB_CLOSE);
      out.Put(p);
      if (frameOrTable) {
        saved.push_back(interrupted);
      } else if (frameOrTableEnd && !saved.empty()) {
        open = saved.back();
        saved.pop_back();
        if (open.n_Size != 0) out.Put(open);
      }
    }
  }
  if (open.n_Size != 0) close();
  pieces.swap(out.Finish());
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
    const CQ_TagText* fragment = m_rcoTags.pcs_FindFragment(pieces[k].sv());
    const CQ_TagText* closingFragment = m_rcoTags.pcs_FindFragment(closing);
    const std::string opening(fragment ? std::string_view(*fragment) : pieces[k].sv());
    pieces[k] = list.st_Make(m_rcoTags.sv_TagForFragment(KWX::NUMBERED_ELF, name, opening));
    std::string elfClosing = KWX::ccs_MakeQuotedTag(KWX::PREFIX_IELF_CLOSE, name);
    m_rcoTags.b_Enter(elfClosing, closingFragment ? std::string_view(*closingFragment) : closing);
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
      const CQ_TagText* fragment = m_rcoTags.pcs_FindFragment(pieces[k].sv());
      const std::string external = KWX::ccs_ExternalElementForm(pieces[k].sv());
      m_rcoTags.b_Enter(external, fragment ? std::string_view(*fragment) : pieces[k].sv());
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
