// Converting one restructured MIF line list into KWX pieces.
//
// The walker reads the list once, front to back. Statement names are
// matched whole. Containers whose closers produce KWX (pages, frames, text
// lines, paragraphs, footnotes, tables and their parts) are kept on a
// stack, so every closer is known by the block it closes, whatever comment
// follows it. Blocks that stand for one tag (fonts, conditions, markers,
// variables, cross-references, text insets, hidden rows) are read ahead
// whole and become the tag's MIF fragment; any other block is skipped
// whole, since nothing in it is translatable. Character-format and
// font-change runs are tracked per text container (a footnote, table or
// anchored frame interrupts the paragraph around it, whose run goes on
// afterwards); condition runs are tracked for the whole list.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/MIFToKWXConverter.h"
#include "kernel/session/Communication.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

using MIFSyntax::HasKeyword;
using MIFSyntax::IsCloser;
using MIFSyntax::IsStatement;
using MIFSyntax::Keyword;
using MIFSyntax::NetDepth;
using MIFSyntax::ValueIs;

namespace {

constexpr std::string_view kEndOfColumn = "<End of TextRectID>";
constexpr std::string_view kEndOfFrame = "<End Of AFrame>";
constexpr std::string_view kPageBody = "<PageBody>";
constexpr std::string_view kIXgenMarker = "!IXGEN_DONT_EDIT_THIS!";
constexpr std::string_view kEndOfMarker = "> # end of Marker\n";
constexpr std::string_view kEndOfTitle = "> # end of TblTitleContent\n> # end of TblTitle\n";
constexpr std::string_view kEndOfTitleContent = "> # end of TblTitleContent\n";

enum class Block {
  Page,
  Frame,             // an unanchored frame: <ufo>
  AnchoredFrame,     // closed by "<End Of AFrame>", not by a MIF closer
  TextLine,
  Para,
  ParaLine,
  FNote,
  Tbl,
  TblTitle,          // closes with </tbt>
  TblTitleContent,   // closes with </tbt> when no TblTitle wraps it
  TblTitleInner,     // the content of a wrapped title: closes silently
  TblH,
  TblBody,
  TblF,
  Row,
  Cell,
  CellContent,
};

// The open blocks, innermost last: a stack whose push is a store and a
// count while its room lasts.
class BlockStack {
 public:
  void push_back(Block b) {
    if (m_size == m_items.size()) m_items.resize(m_items.empty() ? 32 : 2 * m_items.size());
    m_items[m_size++] = b;
  }
  bool empty() const { return m_size == 0; }
  Block back() const { return m_items[m_size - 1]; }
  void pop_back() { --m_size; }

 private:
  std::vector<Block> m_items;
  std::size_t m_size = 0;
};

enum Run : int { RUN_NONE = 0, RUN_CS, RUN_FC };
// Added to RUN_CS or RUN_FC when the run's font has an Asian encoding.
constexpr int RUN_ASIAN = 4;

// The font encodings of double-byte text.
bool IsAsianEncoding(std::string_view encoding) {
  return encoding == "JISX0208.ShiftJIS" || encoding == "BIG5" || encoding == "GB2312-80.EUC" ||
         encoding == "KSC5601-1992";
}

std::string RawString(std::string_view line) { return std::string(MIFSyntax::RawValue(line)); }

// RawString as a view into the line (the same text, without a copy).
std::string_view RawView(std::string_view line) { return MIFSyntax::RawValue(line); }

void AppendLine(std::string& fragment, std::string_view line) {
  fragment.append(line);
  fragment.push_back('\n');
}

// Whether a statement's raw value (RawView) is empty. For the usual form
// "<Name `...'>" the byte after the backquote tells: the string is empty
// exactly when it is the closing apostrophe or the line ends there. Any
// other form is read whole. The caller knows the statement's name.
bool RawValueIsEmpty(std::string_view line, std::string_view name) {
  const std::size_t open = name.size() + 2;  // '<', the name, one blank
  if (line.size() > open && line[open - 1] == ' ' && line[open] == '`') {
    return !(line.size() > open + 1 && line[open + 1] != '\'');
  }
  return RawView(line).empty();
}

// A one-line fragment: the line and its line feed.
std::string LineText(std::string_view line) {
  std::string fragment;
  fragment.reserve(line.size() + 1);
  AppendLine(fragment, line);
  return fragment;
}

}  // namespace

class CQ_MIFToKWXConverter::CListWalker {
 public:
  CListWalker(CQ_MIFToKWXConverter& conv, const CQ_MIFLineList& lines, CQ_KWXPieceList& out)
      : m_conv(conv),
        m_tags(conv.m_coTags),
        m_text(conv.m_coText),
        m_first(conv.m_stOptions.b_FirstConversion),
        m_lines(lines),
        m_n(lines.size()),
        m_out(out) {}

  void Run() {
    m_runs.push_back(RUN_NONE);
    while (m_i < m_n) Step();
    FlushText();
    // An element begun in this list and never ended would leave its KWX
    // file with an opening tag that back conversion refuses: the
    // document's structure is damaged.
    for (const auto& [name, open] : m_openElements) {
      if (open > 0) throw Result::DAMAGED;
    }
  }

 private:
  // --- output -------------------------------------------------------------------

  // Text that follows text joins its piece (fewer, longer pieces): text
  // collects where the list keeps its text, open, and becomes one piece
  // when anything else is written, and no piece when it stays empty.
  void FlushText() { m_out.v_AddOpen(); }
  void Emit(std::string_view piece) {
    FlushText();
    m_out.v_Add(piece);
  }
  void EmitText(std::string_view text) { m_out.v_AppendOpen(text); }
  // Converts MIF text into the current text piece: text whose KWX form is
  // itself is copied there at once, other text converted first.
  void EmitConverted(std::string_view raw) {
    const unsigned flags = ContentFlags();
    if (m_text.b_AsItIs(raw, flags)) {
      m_out.v_AppendOpenPlain(raw);  // as it is: without '<'
      return;
    }
    m_converted.clear();
    m_text.v_AppendConverted(raw, flags, m_converted);
    m_out.v_AppendOpen(m_converted);
  }
  // String content in the run in force.
  unsigned ContentFlags() const {
    return !m_runs.empty() && (m_runs.back() & RUN_ASIAN) != 0 ? TEXT_CONTENT | TEXT_RAW_ESCAPES : TEXT_CONTENT;
  }
  // The raw content of a String statement: a view into the line for the
  // usual "<String `text'>", otherwise read by the syntax helper.
  std::string_view StringContent(std::string_view line) {
    // "<String `" as FrameMaker writes it needs no search for the backquote.
    constexpr std::string_view kUsual = "<String `";
    const bool usual = line.size() >= kUsual.size() && std::memcmp(line.data(), kUsual.data(), kUsual.size()) == 0;
    const std::size_t open = usual ? kUsual.size() - 1 : line.find('`');
    if (open != std::string_view::npos && line.size() >= open + 3 && line[line.size() - 2] == '\'' &&
        line[line.size() - 1] == '>') {
      return line.substr(open + 1, line.size() - 2 - (open + 1));
    }
    m_scratch = RawString(line);
    return m_scratch;
  }

  // A tag that is a program constant (and so is its fragment, when it has
  // one): its piece is made, and the pair entered, once per walk; later
  // uses append the same record. The tables keep the first fragment of a
  // tag, so entering the same pair again would change nothing.
  void EmitFixed(std::string_view tag, std::string_view fragment = std::string_view()) {
    FlushText();
    m_out.v_Add(FixedPiece(tag, fragment));
  }
  const st_KWXPiece& FixedPiece(std::string_view tag, std::string_view fragment) {
    std::size_t h = (reinterpret_cast<std::uintptr_t>(tag.data()) >> 3) % kFixedSlots;
    for (std::size_t probe = 0; probe < kFixedSlots; ++probe, h = (h + 1) % kFixedSlots) {
      FixedSlot& slot = m_fixed[h];
      if (slot.tag.data() == tag.data() && slot.tag.size() == tag.size() &&
          slot.fragment.data() == fragment.data() && slot.fragment.size() == fragment.size()) {
        return slot.piece;
      }
      if (slot.tag.data() == nullptr) {
        if (!fragment.empty()) m_tags.b_Enter(tag, fragment);
        slot = {tag, fragment, m_out.st_Make(tag)};
        return slot.piece;
      }
    }
    // More constants than slots: made each time.
    if (!fragment.empty()) m_tags.b_Enter(tag, fragment);
    m_spill = m_out.st_Make(tag);
    return m_spill;
  }
  // A tag the tag tables hold (their views stay where they are for the
  // whole walk): a tag emitted again appends the piece made the first time,
  // found by where the tables keep its text, instead of a copy.
  void EmitTableTag(std::string_view tag) {
    FlushText();
    const auto at = reinterpret_cast<std::uintptr_t>(tag.data());
    TagSlot& slot = m_tableTags[((at >> 4) ^ (at >> 14)) % kTagSlots];
    if (slot.text != tag.data() || slot.piece.n_Size != tag.size()) slot = {tag.data(), m_out.st_Make(tag)};
    m_out.v_Add(slot.piece);
  }
  void EmitEntered(std::string_view tag, std::string_view fragment) {
    m_tags.b_Enter(tag, fragment);
    Emit(tag);
  }

  // Takes a marker's converted text straight into the list.
  class MarkerSink final : public CQ_MarkerTextConverter::CQ_PieceSink {
   public:
    explicit MarkerSink(CListWalker& walker) : m_walker(walker) {}
    void v_Text(std::string_view text) override { m_walker.m_out.v_Add(text); }
    void v_Tag(std::string_view tag, std::string_view mif) override {
      if (!mif.empty()) m_walker.m_tags.b_Enter(tag, mif);
      m_walker.m_out.v_Add(tag);
    }
    void v_FixedTag(std::string_view tag, std::string_view mif) override {
      m_walker.m_out.v_Add(m_walker.FixedPiece(tag, mif));
    }

   private:
    CListWalker& m_walker;
  };

  std::string Name(std::string_view raw) const { return m_text.ccs_Convert(raw, TEXT_NAME); }

  // The tag of a reusable kind for a fragment; the name (raw MIF) is
  // converted only when a new tag has to be made.
  std::string_view Reuse(KWX::ET_KWXNumberedTag kind, std::string_view rawName, std::string_view fragment) {
    if (const std::string_view* known = m_tags.pcs_FindTag(kind, fragment)) return *known;
    return m_tags.sv_MakeNewTag(kind, KnownName(rawName), fragment);
  }

  // The converted names of cross-reference formats, variables and
  // conditions, and autonumber strings: a document uses few, each of them
  // many times (every cross-reference takes a new tag named after its
  // format), so each is converted once per walk.
  std::string_view KnownName(std::string_view raw) {
    auto found = m_names.find(raw);
    if (found == m_names.end()) found = m_names.emplace(std::string(raw), Name(raw)).first;
    return found->second;
  }
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };

  // The last few fragments of a reusable kind and their tags. Paragraphs,
  // runs and cells near one another often share their format (a document
  // alternates between a few paragraph formats): a fragment seen lately is
  // answered by comparisons instead of a lookup, with the tag the lookup
  // gave for it (the tables keep a fragment's first tag and drop nothing
  // during a walk). The newest entry is asked first; a new fragment takes
  // the place of the oldest.
  struct FragmentMemo {
    static constexpr std::size_t kEntries = 8;
    struct Entry {
      std::string fragment;
      std::string_view tag;
    };
    std::array<Entry, kEntries> entries;
    std::size_t newest = 0;  // the entry filled last
  };
  // The tag of the fragment of the lines [begin, end) without the line
  // `skip` (see JoinExcept), of a reusable kind: the known one, or
  // make(fragment). A fragment the memo holds is recognised by comparing
  // the lines with it in place; only another one is joined.
  template <class Make>
  std::string_view KnownOrMade(FragmentMemo& memo, KWX::ET_KWXNumberedTag kind, std::size_t begin, std::size_t end,
                               std::size_t skip, Make make) {
    return KnownOrMade(memo, kind, begin, end, skip, JoinedSize(begin, end, skip), make);
  }
  // The same, the fragment's size (JoinedSize) known.
  template <class Make>
  std::string_view KnownOrMade(FragmentMemo& memo, KWX::ET_KWXNumberedTag kind, std::size_t begin, std::size_t end,
                               std::size_t skip, std::size_t size, Make make) {
    for (std::size_t k = 0, at = memo.newest; k < FragmentMemo::kEntries; ++k) {
      const FragmentMemo::Entry& entry = memo.entries[at];
      if (entry.tag.data() == nullptr) break;  // entries are filled in order
      if (entry.fragment.size() == size && SameLines(entry.fragment, begin, end, skip)) return entry.tag;
      at = at == 0 ? FragmentMemo::kEntries - 1 : at - 1;
    }
    const std::string& fragment = JoinExcept(begin, end, skip);
    const std::string_view* known = m_tags.pcs_FindTag(kind, fragment);
    const std::string_view tag = known ? *known : make(fragment);
    memo.newest = (memo.newest + 1) % FragmentMemo::kEntries;
    FragmentMemo::Entry& entry = memo.entries[memo.newest];
    entry.fragment.assign(fragment);
    entry.tag = tag;
    return tag;
  }

  // The size of JoinExcept(begin, end, skip).
  std::size_t JoinedSize(std::size_t begin, std::size_t end, std::size_t skip) const {
    std::size_t size = 0;
    for (std::size_t k = begin; k < end; ++k) size += m_lines[k].n_Size + 1;
    if (skip >= begin && skip < end) size -= m_lines[skip].n_Size + 1;
    return size;
  }

  // Whether `text`, of the size JoinedSize gives, is JoinExcept(begin,
  // end, skip).
  bool SameLines(const std::string& text, std::size_t begin, std::size_t end, std::size_t skip) const {
    const char* at = text.data();
    for (std::size_t k = begin; k < end; ++k) {
      if (k == skip) continue;
      const st_MIFLine& l = m_lines[k];
      if (std::memcmp(at, l.pc_Text, l.n_Size) != 0 || at[l.n_Size] != '\n') return false;
      at += l.n_Size + 1;
    }
    return true;
  }

  // The lines [begin, end) as one fragment, each with its line feed. The
  // text is built in a buffer the walker reuses: it is valid until the next
  // call, and the tag tables copy what they keep.
  const std::string& Join(std::size_t begin, std::size_t end) { return JoinExcept(begin, end, end); }

  // The same without the line `skip` (outside [begin, end) to keep all).
  // The size is worked out first, so the buffer grows at most once and
  // each line is one copy.
  const std::string& JoinExcept(std::size_t begin, std::size_t end, std::size_t skip) {
    m_fragment.resize(JoinedSize(begin, end, skip));
    char* at = m_fragment.data();
    for (std::size_t k = begin; k < end; ++k) {
      if (k == skip) continue;
      const st_MIFLine& l = m_lines[k];
      std::memcpy(at, l.pc_Text, l.n_Size);
      at += l.n_Size;
      *at++ = '\n';
    }
    return m_fragment;
  }

  // One past the closer of the block opened at `open`; the list must not
  // end inside it.
  std::size_t End(std::size_t open) const {
    long depth = m_lines[open].i_Net;
    if (depth <= 0) return open + 1;
    for (std::size_t k = open + 1; k < m_n; ++k) {
      depth += m_lines[k].i_Net;
      if (depth <= 0) return k + 1;
    }
    throw Result::UNEXPECTED_END;
  }

  void Warn(unsigned id, const std::string& argument, unsigned second) {
    if (!m_first) return;
    CQ_Morvane_Communication& session = m_conv.m_rcoSession;
    session.v_AddMessage(ccs_FormatKernelString(id, argument.c_str()));
    if (second) session.v_AddMessage(lpsz_LoadKernelString(second));
    session.v_UpdateResults();
  }

  int& CurrentRun() { return m_runs.back(); }

  void PushBlock(Block b) { m_blocks.push_back(b); }
  bool TopIs(Block b) const { return !m_blocks.empty() && m_blocks.back() == b; }

  // --- the walk -----------------------------------------------------------------

  void Step() {
    const st_MIFLine& line = m_lines[m_i];
    if (line.empty()) {
      ++m_i;
      return;
    }
    if (line.front() == '>') {
      Closer();
      ++m_i;
      return;
    }
    if (line.front() != '<') {
      ++m_i;
      return;
    }
    // The name's first letter tells which of the lines below a line can be.
    const char letter = line.n_Size > 1 ? line.pc_Text[1] : '\0';
    if (letter == 'E' || letter == 'P') {
      if (line == kEndOfColumn) {
        EmitFixed(KWX::TAG_TR_CLOSE);
        ++m_i;
        return;
      }
      if (line == kEndOfFrame) {
        EndAnchoredFrame();
        ++m_i;
        return;
      }
      if (line == kPageBody) {
        ++m_i;
        return;
      }
    }
    // The commonest statements and openings are told by their names in
    // place; only the others have their name cut out.
    if (line.i_Net > 0) {
      if (letter == 'P' && HasKeyword(line, "ParaLine")) {
        PushBlock(Block::ParaLine);
        ++m_i;
      } else if (letter == 'F' && HasKeyword(line, "Font")) {
        FontBlock();
      } else if (letter == 'P' && HasKeyword(line, "Para")) {
        Paragraph();
      } else {
        Opening(line, letter);
      }
    } else if (letter == 'S' && HasKeyword(line, "String")) {
      StringStatement(line);
      ++m_i;
    } else {
      Statement(Keyword(line));
    }
  }

  // An opening other than the commonest (see Step), told by its name,
  // compared in place; the name's first letter (`letter`) picks the few
  // names compared.
  void Opening(const st_MIFLine& line, char letter) {
    switch (letter) {
      case 'C':
        if (HasKeyword(line, "Cell")) return CellOpening();
        if (HasKeyword(line, "CellContent")) {
          PushBlock(Block::CellContent);
          ++m_i;
          return;
        }
        if (HasKeyword(line, "Conditional")) return ConditionalBlock();
        // A character split over lines: read as one statement.
        if (HasKeyword(line, "Char")) return Statement("Char");
        break;
      case 'E':
        if (HasKeyword(line, "Element")) return ElementObject();
        if (HasKeyword(line, "ElementBegin")) return ElementBegin();
        if (HasKeyword(line, "ElementEnd")) return ElementEnd();
        break;
      case 'F':
        if (HasKeyword(line, "Font")) return FontBlock();
        if (HasKeyword(line, "FNote")) return FootnoteOpening();
        if (HasKeyword(line, "Frame")) return UnanchoredFrame();
        break;
      case 'M':
        if (HasKeyword(line, "Marker")) return MarkerBlock();
        if (HasKeyword(line, "Math")) {
          Warn(Msg::FWD_WARN_EQUATION, m_pageName, Msg::FWD_WARN_EQUATION_HINT);
          m_i = End(m_i);
          return;
        }
        break;
      case 'P':
        if (HasKeyword(line, "ParaLine")) {
          PushBlock(Block::ParaLine);
          ++m_i;
          return;
        }
        if (HasKeyword(line, "Para")) return Paragraph();
        if (HasKeyword(line, "Page")) return PageOpening();
        break;
      case 'R':
        if (HasKeyword(line, "Row")) return RowOpening();
        break;
      case 'S':
        // A string split over lines: read as one statement.
        if (HasKeyword(line, "String")) return Statement("String");
        break;
      case 'T':
        if (HasKeyword(line, "Tbl")) return TableOpening();
        if (HasKeyword(line, "TblH")) return TablePart("TblH");
        if (HasKeyword(line, "TblBody")) return TablePart("TblBody");
        if (HasKeyword(line, "TblF")) return TablePart("TblF");
        if (HasKeyword(line, "TblTitle")) return TableTitle();
        if (HasKeyword(line, "TblTitleContent")) return TableTitleContent();
        if (HasKeyword(line, "TextLine")) return TextLineOpening();
        if (HasKeyword(line, "TextInset")) return TextInset();
        break;
      case 'V':
        if (HasKeyword(line, "Variable")) return VariableBlock();
        break;
      case 'X':
        if (HasKeyword(line, "XRef")) return XRefBlock();
        break;
      default:
        break;
    }
    // TblFormat, TblColumn, Notes, ImportObject, ...: nothing to
    // translate.
    m_i = End(m_i);
  }

  void Statement(std::string_view kw) {
    const st_MIFLine& line = m_lines[m_i];
    if (kw == "String") {
      StringStatement(line);
    } else if (kw == "Char") {
      std::string text = m_text.ccs_ConvertNamedCharacter(MIFSyntax::Value(line));
      if (m_elementText) {
        m_elementText->append(text);
      } else {
        EmitText(text);
      }
    } else if (kw == "TextRectID") {
      EmitEntered(KWX::ccs_MakeIdTag(KWX::PREFIX_TR, MIFSyntax::Value(line)), LineText(line));
    } else if (kw == "AFrame") {
      AnchoredFrame();
      return;
    } else if (kw == "Unconditional") {
      if (!m_conditionOpen) {
        EmitFixed(KWX::TAG_CNS_DUMMY, KWX::MIF_CNS_DUMMY);
      }
      EmitFixed(KWX::TAG_CNS_CLOSE);
      m_conditionOpen = false;
    } else if (kw == "TextInsetEnd") {
      EmitFixed(KWX::TAG_TI_CLOSE);
    } else if (kw == "ElementEnd") {
      ElementEnd();
      return;
    } else if (kw == "PrefixEnd") {
      EndElementText(KWX::PREFIX_EP, m_i + 1);
    } else if (kw == "SuffixBegin") {
      BeginElementText();
    }
    // Anchors (FNote, ATbl) produce nothing themselves: the object's
    // block follows them. Everything else matches nothing.
    ++m_i;
  }

  // A String statement's text, converted into the text read.
  void StringStatement(const st_MIFLine& line) {
    const std::string_view raw = StringContent(line);
    if (m_elementText) {
      m_text.v_AppendConverted(raw, ContentFlags(), *m_elementText);
    } else {
      EmitConverted(raw);
    }
  }

  [[gnu::always_inline]] void Closer() {
    if (m_blocks.empty()) return;
    const Block b = m_blocks.back();
    // A stray closer inside an anchored frame does not end the frame.
    if (b == Block::AnchoredFrame) return;
    m_blocks.pop_back();
    switch (b) {
      case Block::Page:
        EmitFixed(KWX::TAG_PAGE_CLOSE);
        m_pageName.clear();
        break;
      case Block::Frame: EmitFixed(KWX::TAG_UFO_CLOSE); break;
      case Block::TextLine:
        EmitFixed(KWX::TAG_TS_CLOSE);
        PopRun();
        break;
      case Block::FNote:
        EmitFixed(KWX::TAG_FN_CLOSE);
        PopRun();
        break;
      case Block::Tbl:
        EmitFixed(KWX::TAG_TB_CLOSE);
        PopRun();
        break;
      case Block::TblTitle:
        EmitFixed(KWX::TAG_TBT_CLOSE, kEndOfTitle);
        break;
      case Block::TblTitleContent:
        EmitFixed(KWX::TAG_TBT_CLOSE, kEndOfTitleContent);
        break;
      case Block::TblH: EmitFixed(KWX::TAG_TBH_CLOSE); break;
      case Block::TblBody: EmitFixed(KWX::TAG_TBB_CLOSE); break;
      case Block::TblF: EmitFixed(KWX::TAG_TBF_CLOSE); break;
      case Block::Row: EmitFixed(KWX::TAG_ROW_CLOSE); break;
      case Block::Cell: EmitFixed(KWX::TAG_CT_CLOSE); break;
      default: break;
    }
  }

  void PopRun() {
    if (m_runs.size() > 1) m_runs.pop_back();
  }

  // --- pages, frames, columns, text lines -----------------------------------------

  void PageOpening() {
    std::size_t j = m_i + 1;
    std::string type;
    std::vector<std::pair<std::string_view, std::string>> names;  // in file order
    while (j < m_n && IsStatement(m_lines[j])) {
      const st_MIFLine& l = m_lines[j];
      if (l == kPageBody) {
        ++j;
        continue;
      }
      const std::string_view kw = Keyword(l);
      if (kw == "PageType") {
        type = std::string(MIFSyntax::Value(l));
        names.emplace_back(kw, type);
      } else if (kw == "PageNum" || kw == "PageTag") {
        names.emplace_back(kw, RawString(l));
      } else {
        break;
      }
      ++j;
    }
    const bool defaultMaster = type == "LeftMasterPage" || type == "RightMasterPage";
    std::string name;
    for (const auto& [kw, value] : names) {
      if (kw == "PageTag" && (value.empty() || defaultMaster)) continue;
      name = value;
    }
    std::string fragment = "<Page\n";
    for (std::size_t k = m_i + 1; k < j; ++k) {
      if (m_lines[k] != kPageBody) AppendLine(fragment, m_lines[k]);
    }
    m_pageName = Name(name);
    EmitEntered(KWX::ccs_MakeQuotedTag(KWX::PREFIX_PAGE, m_pageName), fragment);
    PushBlock(Block::Page);
    m_i = j;
  }

  void UnanchoredFrame() {
    Warn(Msg::FWD_WARN_UNANCHORED_FRAME, m_pageName, Msg::FWD_WARN_UNANCHORED_FRAME_HINT);
    EmitFixed(KWX::TAG_UFO);
    PushBlock(Block::Frame);
    ++m_i;
  }

  void AnchoredFrame() {
    const st_MIFLine& line = m_lines[m_i];
    const std::string_view id = MIFSyntax::Value(line);
    if (m_i + 1 < m_n && m_lines[m_i + 1] == kEndOfFrame) {
      // A frame without text stays in the sentence as one internal tag.
      EmitEntered(KWX::ccs_MakeIdTag(KWX::PREFIX_IAF, id), LineText(line));
      m_i += 2;
      return;
    }
    EmitEntered(KWX::ccs_MakeIdTag(KWX::PREFIX_AF, id), LineText(line));
    PushBlock(Block::AnchoredFrame);
    m_runs.push_back(RUN_NONE);
    ++m_i;
    // The frame's own opening line; its statements match nothing.
    if (m_i < m_n && HasKeyword(m_lines[m_i], "Frame") && m_lines[m_i].i_Net > 0) ++m_i;
  }

  void EndAnchoredFrame() {
    // Blocks left open inside the frame end with it.
    while (!m_blocks.empty() && m_blocks.back() != Block::AnchoredFrame) m_blocks.pop_back();
    if (m_blocks.empty()) return;  // a stray end line
    m_blocks.pop_back();
    EmitFixed(KWX::TAG_AF_CLOSE);
    PopRun();
  }

  void TextLineOpening() {
    const std::size_t end = End(m_i);
    Emit(m_tags.sv_MakeNewTag(KWX::NUMBERED_TS, "", Join(m_i, end)));
    PushBlock(Block::TextLine);
    m_runs.push_back(RUN_NONE);
    ++m_i;
  }

  // --- paragraphs and text ----------------------------------------------------------

  void Paragraph() {
    const std::size_t open = m_i;
    std::size_t j = m_i + 1;
    long depth = 0;
    // The PgfTag lines: their names are read only when asked for (a new
    // tag, or the catalog's autonumber format).
    std::string_view tagLine;
    std::string_view tagInBlockLine;
    bool haveTag = false;
    bool haveTagInBlock = false;
    std::string_view numFormat;
    bool haveNumFormat = false;
    std::string_view numString;
    std::string_view numStringLine;
    std::size_t numStringAt = m_n;  // not in the fragment's lines
    bool haveNumString = false;
    // The size of the fragment's lines (JoinedSize), counted on the way.
    std::size_t size = m_lines[open].n_Size + 1;
    for (; j < m_n; ++j) {
      const st_MIFLine& l = m_lines[j];
      if (depth == 0) {
        if (IsCloser(l)) break;
        if (HasKeyword(l, "ParaLine") && l.i_Net > 0) break;
      }
      size += l.n_Size + 1;
      // Every name asked for begins with "P" or "F"; other lines need no
      // name.
      const char first = l.n_Size > 1 ? l.pc_Text[1] : '\0';
      if (first != 'P' && first != 'F') {
        depth += l.i_Net;
        continue;
      }
      if (first == 'P') {
        if (depth == 0 && !haveNumString && HasKeyword(l, "PgfNumString")) {
          numString = RawView(l);
          numStringLine = l;
          numStringAt = j;
          haveNumString = true;
          depth += l.i_Net;
          continue;
        }
        if (HasKeyword(l, "PgfTag")) {
          if (depth == 0 && !haveTag) {
            tagLine = l;
            haveTag = true;
          } else if (depth > 0 && !haveTagInBlock) {
            tagInBlockLine = l;
            haveTagInBlock = true;
          }
        } else if (!haveNumFormat && HasKeyword(l, "PgfNumFormat")) {
          numFormat = RawView(l);
          haveNumFormat = true;
        }
      } else if (m_first && HasKeyword(l, "FChangeBar") && ValueIs(l, "FChangeBar", "Yes")) {
        throw Result::AUTO_CHANGE_BARS;
      }
      depth += l.i_Net;
    }
    if (depth != 0 || j >= m_n) throw Result::UNEXPECTED_END;
    if (!haveTag && haveTagInBlock) tagLine = tagInBlockLine;
    const bool named = haveTag || haveTagInBlock;

    // The <ps> fragment runs up to the autonumber string, which has a <pn>
    // tag of its own; an empty one gets none, so the paragraph shares the
    // <ps> tag of the same format without an autonumber string (the back
    // conversion takes the empty string from the ORG copy).
    const std::string_view number = haveNumString ? KnownName(numString) : std::string_view();
    if (numStringAt != m_n) size -= m_lines[numStringAt].n_Size + 1;
    EmitTableTag(KnownOrMade(m_memoPS, KWX::NUMBERED_PS, open, j, numStringAt, size, [&](const std::string& fragment) {
      return m_tags.sv_MakeNewTag(KWX::NUMBERED_PS, Name(named ? RawView(tagLine) : std::string_view()), fragment);
    }));
    if (!number.empty()) {
      m_lineFragment.assign(numStringLine);
      m_lineFragment.push_back('\n');
      EmitTableTag(m_tags.sv_TagForFragment(KWX::NUMBERED_PN, number, m_lineFragment));
    }
    if (haveNumString) {
      if (!haveNumFormat) {
        const std::string tag(named ? RawView(tagLine) : std::string_view());
        if (const std::string* catalog = m_conv.m_pcoPreScan->pcco_FindPgfNumFormat(tag)) {
          numFormat = *catalog;
          haveNumFormat = true;
        }
      }
      if (haveNumFormat && !numFormat.empty()) m_conv.v_UsePgfNumFormat(std::string(numFormat));
    }
    PushBlock(Block::Para);
    CurrentRun() = RUN_NONE;
    m_i = j;
  }

  void FontBlock() {
    bool haveTag = false;
    std::string_view ftagLine;  // its name is read only for a new tag
    bool properties = false;
    bool asian = false;
    // The block's lines are read up to its closer (as End finds it). Names
    // are compared in place: the first tag, FLocked and the closer are no
    // properties; every other line is one.
    // A block that does not close is refused as such, before its change
    // bars.
    long depth = m_lines[m_i].i_Net;
    std::size_t end = m_i + 1;
    bool changeBars = false;
    for (; depth > 0; ++end) {
      if (end >= m_n) throw Result::UNEXPECTED_END;
      const st_MIFLine& l = m_lines[end];
      depth += l.i_Net;
      if (IsCloser(l)) continue;
      if (!haveTag && HasKeyword(l, "FTag")) {
        ftagLine = l;
        haveTag = true;
        continue;
      }
      if (HasKeyword(l, "FLocked")) continue;
      if (HasKeyword(l, "FEncoding")) {
        asian = IsAsianEncoding(RawView(l));
      } else if (m_first && HasKeyword(l, "FChangeBar") && ValueIs(l, "FChangeBar", "Yes")) {
        changeBars = true;
      }
      properties = true;
    }
    if (changeBars) throw Result::AUTO_CHANGE_BARS;
    int& run = CurrentRun();
    const bool named = haveTag && !RawValueIsEmpty(ftagLine, "FTag");
    if (!named && !properties) {
      // The paragraph's own font again: the run in force ends.
      CloseRun(run);
      m_i = end;
      return;
    }
    CloseRun(run);
    if (named) {
      EmitTableTag(KnownOrMade(m_memoCS, KWX::NUMBERED_CS, m_i, end, end, [&](const std::string& fragment) {
        return m_tags.sv_MakeNewTag(KWX::NUMBERED_CS, Name(RawView(ftagLine)), fragment);
      }));
      run = RUN_CS;
    } else {
      EmitTableTag(KnownOrMade(m_memoFC, KWX::NUMBERED_FC, m_i, end, end, [&](const std::string& fragment) {
        return m_tags.sv_TagForFragment(KWX::NUMBERED_FC, "", fragment);
      }));
      run = RUN_FC;
    }
    if (asian) run |= RUN_ASIAN;
    m_i = end;
  }

  void CloseRun(int& run) {
    const int kind = run & ~RUN_ASIAN;
    if (kind == RUN_CS) {
      EmitFixed(KWX::TAG_CS_CLOSE);
    } else if (kind == RUN_FC) {
      EmitFixed(KWX::TAG_FC_CLOSE);
    }
    run = RUN_NONE;
  }

  void ConditionalBlock() {
    const std::size_t end = End(m_i);
    if (m_conditionOpen) EmitFixed(KWX::TAG_CNS_CLOSE);
    // The condition's name is read only for a new tag.
    EmitTableTag(KnownOrMade(m_memoCNS, KWX::NUMBERED_CNS, m_i, end, end, [&](const std::string& fragment) {
      std::string name;
      for (std::size_t k = m_i + 1; k < end; ++k) {
        if (HasKeyword(m_lines[k], "InCondition")) {
          name = RawString(m_lines[k]);
          break;
        }
      }
      return m_tags.sv_MakeNewTag(KWX::NUMBERED_CNS, KnownName(name), fragment);
    }));
    m_conditionOpen = true;
    m_i = end;
  }

  void VariableBlock() {
    const std::size_t end = End(m_i);
    std::string name;
    for (std::size_t k = m_i + 1; k < end; ++k) {
      if (HasKeyword(m_lines[k], "VariableName")) {
        name = RawString(m_lines[k]);
        break;
      }
    }
    EmitTableTag(KnownOrMade(m_memoV, KWX::NUMBERED_V, m_i, end, end, [&](const std::string& fragment) {
      return m_tags.sv_MakeNewTag(KWX::NUMBERED_V, KnownName(name), fragment);
    }));
    // The converter notes each variable once; the same one again (the
    // usual case) needs no asking.
    if (!m_haveLastVariable || name != m_lastVariable) {
      m_conv.v_UseVariable(name);
      m_lastVariable = name;
      m_haveLastVariable = true;
    }
    m_i = end;
  }

  // The cross-reference's generated text, up to its XRefEnd, belongs to
  // the fragment; the text may run over ParaLine closers and hold fonts
  // and characters. Anything else before XRefEnd leaves the generated text
  // in the document.
  void XRefBlock() {
    const std::size_t blockEnd = End(m_i);
    std::string name;
    for (std::size_t k = m_i + 1; k < blockEnd; ++k) {
      if (HasKeyword(m_lines[k], "XRefName")) {
        name = RawString(m_lines[k]);
        break;
      }
    }
    std::size_t end = blockEnd;
    long depth = 0;
    for (std::size_t k = blockEnd; k < m_n;) {
      const st_MIFLine& l = m_lines[k];
      if (IsCloser(l)) {
        if (--depth < -1) break;
        ++k;
        continue;
      }
      // Names compared in place.
      if (HasKeyword(l, "XRefEnd")) {
        if (depth == 0) end = k + 1;
        break;
      }
      if (HasKeyword(l, "String") || HasKeyword(l, "Char")) {
        ++k;
      } else if (HasKeyword(l, "Font")) {
        k = End(k);
      } else if (HasKeyword(l, "ParaLine") && l.i_Net > 0) {
        ++depth;
        ++k;
      } else {
        break;
      }
    }
    EmitTableTag(Reuse(KWX::NUMBERED_XR, name, Join(m_i, end)));
    // Likewise each cross-reference format.
    if (!m_haveLastXRefFormat || name != m_lastXRefFormat) {
      m_conv.v_UseXRefFormat(name);
      m_lastXRefFormat = name;
      m_haveLastXRefFormat = true;
    }
    m_i = end;
  }

  void MarkerBlock() {
    const std::size_t end = End(m_i);
    int type = 0;
    std::string_view typeName;
    std::string_view text;
    for (std::size_t k = m_i + 1; k < end; ++k) {
      const st_MIFLine& l = m_lines[k];
      // The names asked for all begin with "MT".
      if (l.n_Size < 4 || l.pc_Text[1] != 'M' || l.pc_Text[2] != 'T') continue;
      if (HasKeyword(l, "MType")) {
        type = MarkerTypeOf(l);
      } else if (HasKeyword(l, "MTypeName")) {
        typeName = RawView(l);
      } else if (HasKeyword(l, "MText")) {
        text = RawView(l);
      }
    }
    if (m_first && text == kIXgenMarker) throw Result::IXGEN_MARKERS;
    const std::string& fragment = Join(m_i, end);
    m_i = end;
    KWX::ET_KWXNumberedTag kind;
    switch (type) {
      case 0: kind = KWX::NUMBERED_FMK1; break;
      case 1: kind = KWX::NUMBERED_FMK2; break;
      case 8: kind = KWX::NUMBERED_HMK; break;
      case 9: kind = KWX::NUMBERED_CRMK; break;
      case 10: kind = KWX::NUMBERED_CNMK; break;
      case 2: kind = KWX::NUMBERED_IMK; break;
      default: kind = KWX::NUMBERED_MK; break;
    }
    if (kind != KWX::NUMBERED_MK && kind != KWX::NUMBERED_IMK) {
      Emit(m_tags.sv_MakeNewTag(kind, "", fragment));
      return;
    }
    std::string_view typeText;
    std::string number;
    switch (type) {
      case 3: typeText = "Comment"; break;
      case 4: typeText = "Subject"; break;
      case 5: typeText = "Author"; break;
      case 6: typeText = "Glossary"; break;
      case 7: typeText = "Equation"; break;
      default:
        if (typeName.empty()) {
          number = std::to_string(type);
          typeText = number;
        } else {
          typeText = MarkerTypeName(typeName);
        }
        break;
    }
    const std::string_view tag = m_tags.sv_MakeNewTag(kind, typeText, fragment);
    // A character takes at least one byte of the raw text: text no longer
    // than the limit in bytes is within it in characters too.
    const std::size_t limit = static_cast<std::size_t>(m_conv.m_lMarkerLength);
    if (m_first && m_conv.m_lMarkerLength > 0 && text.size() > limit &&
        m_conv.m_coMarkerText.n_CharacterCount(text) > limit) {
      CQ_Morvane_Communication& session = m_conv.m_rcoSession;
      session.v_AddMessage(ccs_FormatKernelString(Msg::FWD_WARN_LONG_MARKER, std::string(tag).c_str(), session.lpsz_GetSourceMarkerLength()));
      session.v_AddMessage(lpsz_LoadKernelString(Msg::FWD_WARN_LONG_MARKER_HINT));
      session.v_UpdateResults();
    }
    Emit(tag);
    const unsigned options = CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS |
                             (kind == KWX::NUMBERED_IMK ? CQ_MarkerTextConverter::MARKER_INDEX : 0u);
    FlushText();
    m_conv.m_coMarkerText.v_Convert(text, options, m_markerSink, m_markerBuffer);
    EmitFixed(kind == KWX::NUMBERED_IMK ? KWX::TAG_IMK_CLOSE : KWX::TAG_MK_CLOSE, kEndOfMarker);
  }

  // A marker's type number as atoi reads it, without making a string: the
  // value is copied to a terminated buffer (a number longer than the
  // buffer is out of any type's range anyway).
  static int MarkerType(std::string_view value) {
    char digits[32];
    const std::size_t n = std::min(value.size(), sizeof digits - 1);
    std::memcpy(digits, value.data(), n);
    digits[n] = '\0';
    return std::atoi(digits);
  }

  // The type number of an MType line: "<MType 2>" as written is read in
  // place, any other form through its value.
  static int MarkerTypeOf(std::string_view line) {
    constexpr std::string_view kUsual = "<MType ";
    if (line.size() > kUsual.size() + 1 && line.size() < kUsual.size() + 10 &&
        line.substr(0, kUsual.size()) == kUsual && line.back() == '>') {
      int type = 0;
      bool digits = true;
      for (std::size_t k = kUsual.size(); k + 1 < line.size(); ++k) {
        const char c = line[k];
        if (c < '0' || c > '9') {
          digits = false;
          break;
        }
        type = type * 10 + (c - '0');
      }
      if (digits) return type;
    }
    return MarkerType(MIFSyntax::Value(line));
  }

  // The converted name of a marker type; documents use few types, so the
  // last one is kept.
  std::string_view MarkerTypeName(std::string_view raw) {
    if (!m_haveMarkerType || raw != m_markerTypeRaw) {
      m_markerTypeRaw.assign(raw);
      m_markerTypeName = Name(raw);
      m_haveMarkerType = true;
    }
    return m_markerTypeName;
  }

  // --- footnotes and tables -----------------------------------------------------------

  // The one-line statements that open a block, up to its first child block.
  std::size_t OpeningStatements(std::size_t open) const {
    std::size_t j = open + 1;
    while (j < m_n && IsStatement(m_lines[j])) ++j;
    return j;
  }

  void FootnoteOpening() {
    const std::size_t j = OpeningStatements(m_i);
    std::string_view id;
    for (std::size_t k = m_i + 1; k < j; ++k) {
      if (HasKeyword(m_lines[k], "ID")) {
        id = MIFSyntax::Value(m_lines[k]);
        break;
      }
    }
    if (id.empty()) throw Result::DAMAGED;
    EmitEntered(KWX::ccs_MakeIdTag(KWX::PREFIX_FN, id), Join(m_i, j));
    PushBlock(Block::FNote);
    m_runs.push_back(RUN_NONE);
    m_i = j;
  }

  void TableOpening() {
    // The TblID among the table's direct statements.
    std::string_view id;
    long depth = 0;
    for (std::size_t k = m_i + 1; k < m_n; ++k) {
      const st_MIFLine& l = m_lines[k];
      if (depth == 0) {
        if (IsCloser(l)) break;
        if (HasKeyword(l, "TblID") && IsStatement(l)) {
          id = MIFSyntax::Value(l);
          break;
        }
      }
      depth += l.i_Net;
    }
    if (id.empty()) throw Result::DAMAGED;
    EmitEntered(KWX::ccs_MakeIdTag(KWX::PREFIX_TB, id), "<TblID " + std::string(id) + ">\n");
    PushBlock(Block::Tbl);
    m_runs.push_back(RUN_NONE);
    ++m_i;
  }

  void TableTitle() {
    std::size_t j = m_i + 1;
    while (j < m_n && !(HasKeyword(m_lines[j], "TblTitleContent") && m_lines[j].i_Net > 0) &&
           !IsCloser(m_lines[j])) {
      j = End(j);
    }
    if (j == m_i + 1) {
      EmitEntered(std::string(KWX::TAG_TBT), Join(m_i, (j < m_n && !IsCloser(m_lines[j])) ? j + 1 : j));
    } else {
      EmitTableTag(m_tags.sv_TagForFragment(KWX::NUMBERED_TBT, "", Join(m_i, j)));
    }
    PushBlock(Block::TblTitle);
    m_i = j;
  }

  void TableTitleContent() {
    if (TopIs(Block::TblTitle)) {
      PushBlock(Block::TblTitleInner);
    } else {
      EmitEntered(std::string(KWX::TAG_TBT), LineText(m_lines[m_i]));
      PushBlock(Block::TblTitleContent);
    }
    ++m_i;
  }

  void TablePart(std::string_view kw) {
    if (kw == "TblH") {
      EmitFixed(KWX::TAG_TBH);
      PushBlock(Block::TblH);
    } else if (kw == "TblBody") {
      EmitFixed(KWX::TAG_TBB);
      PushBlock(Block::TblBody);
    } else {
      EmitFixed(KWX::TAG_TBF);
      PushBlock(Block::TblF);
    }
    ++m_i;
  }

  void RowOpening() {
    // The row's own statements and Conditional block, up to its first cell.
    std::size_t j = m_i + 1;
    bool conditioned = false;
    bool allHidden = true;
    while (j < m_n && !IsCloser(m_lines[j])) {
      const st_MIFLine& l = m_lines[j];
      if (HasKeyword(l, "Cell") && l.i_Net > 0) break;
      const std::size_t e = End(j);
      if (HasKeyword(l, "Conditional")) {
        for (std::size_t k = j + 1; k < e; ++k) {
          if (!HasKeyword(m_lines[k], "InCondition")) continue;
          conditioned = true;
          if (!ConditionHidden(RawView(m_lines[k]))) allHidden = false;
        }
      }
      j = e;
    }
    if (conditioned && allHidden) {
      const std::size_t end = End(m_i);
      EmitTableTag(m_tags.sv_TagForFragment(KWX::NUMBERED_HROW, "", Join(m_i, end)));
      m_i = end;
      return;
    }
    EmitTableTag(KnownOrMade(m_memoRow, KWX::NUMBERED_ROW, m_i, j, j, [&](const std::string& fragment) {
      return m_tags.sv_TagForFragment(KWX::NUMBERED_ROW, "", fragment);
    }));
    PushBlock(Block::Row);
    m_i = j;
  }

  // Whether the condition of that (raw) name is hidden; rows name few
  // conditions, so the last one asked about is kept with its answer.
  bool ConditionHidden(std::string_view raw) {
    if (!m_haveCondition || raw != m_conditionRaw) {
      m_conditionRaw.assign(raw);
      m_conditionHidden = m_conv.m_pcoPreScan->b_IsConditionHidden(m_conditionRaw);
      m_haveCondition = true;
    }
    return m_conditionHidden;
  }

  void CellOpening() {
    std::size_t j = m_i + 1;
    bool content = false;
    while (j < m_n && !IsCloser(m_lines[j])) {
      const st_MIFLine& l = m_lines[j];
      if (HasKeyword(l, "CellContent") && l.i_Net > 0) {
        content = true;
        ++j;
        break;
      }
      j = End(j);
    }
    EmitTableTag(KnownOrMade(m_memoCT, KWX::NUMBERED_CT, m_i, j, j, [&](const std::string& fragment) {
      return m_tags.sv_TagForFragment(KWX::NUMBERED_CT, "", fragment);
    }));
    PushBlock(Block::Cell);
    if (content) PushBlock(Block::CellContent);
    m_i = j;
  }

  void TextInset() {
    const std::size_t end = End(m_i);
    Warn(Msg::FWD_WARN_TEXT_INSET, m_pageName, Msg::FWD_WARN_TEXT_INSET_HINT);
    EmitTableTag(m_tags.sv_TagForFragment(KWX::NUMBERED_TI, "", Join(m_i, end)));
    m_i = end;
  }

  // --- structured markup -----------------------------------------------------------------

  void StructuredMarkup() {
    if (m_conv.m_bStructured) return;
    m_conv.m_bStructured = true;
    if (m_first) {
      CQ_Morvane_Communication& session = m_conv.m_rcoSession;
      session.v_AddMessage(lpsz_LoadKernelString(Msg::FWD_WARN_SGML_MARKUP));
      session.v_AddMessage(lpsz_LoadKernelString(Msg::FWD_WARN_SGML_MARKUP_HINT));
      session.v_AddMessage(lpsz_LoadKernelString(Msg::FWD_WARN_SGML_MARKUP_HINT2));
      session.v_UpdateResults();
    }
    if (m_conv.m_iMarkerPlaceholders == 1) throw Result::MARKER_PLACEHOLDERS_REQUIRED;
  }

  std::string ElementName(std::size_t begin, std::size_t end) const {
    for (std::size_t k = begin; k < end; ++k) {
      if (HasKeyword(m_lines[k], "ETag")) return RawString(m_lines[k]);
    }
    // The one-line form names the element in its value.
    return RawString(m_lines[begin]);
  }

  void ElementObject() {
    StructuredMarkup();
    const std::size_t end = End(m_i);
    EmitTableTag(m_tags.sv_TagForFragment(KWX::NUMBERED_E, Name(ElementName(m_i, end)), Join(m_i, end)));
    m_i = end;
  }

  void ElementBegin() {
    StructuredMarkup();
    const std::size_t end = End(m_i);
    std::string name = Name(ElementName(m_i, end));
    EmitTableTag(m_tags.sv_TagForFragment(KWX::NUMBERED_EL, name, Join(m_i, end)));
    ++m_openElements[std::move(name)];
    m_i = end;
    // The automatic prefix is the text up to PrefixEnd, when the element
    // has one.
    for (std::size_t k = m_i; k < m_n; ++k) {
      const std::string_view kw = Keyword(m_lines[k]);
      if (kw == "PrefixEnd") {
        BeginElementText();
        return;
      }
      if (kw != "String" && kw != "Char") return;
    }
  }

  void ElementEnd() {
    StructuredMarkup();
    const std::size_t end = End(m_i);
    if (m_elementText) EndElementText(KWX::PREFIX_ES, m_i);
    const std::string name = Name(ElementName(m_i, end));
    // An end with no begin of the same name open before it, in this
    // list, would be a closing tag back conversion refuses.
    const auto open = m_openElements.find(name);
    if (open == m_openElements.end() || open->second == 0) throw Result::DAMAGED;
    --open->second;
    EmitEntered(KWX::ccs_MakeQuotedTag(KWX::PREFIX_IEL_CLOSE, name), Join(m_i, end));
    m_i = end;
  }

  // Text read from here on goes to the element's prefix or suffix.
  void BeginElementText() {
    m_elementBuffer.clear();
    m_elementStart = m_i;
    m_elementText = &m_elementBuffer;
  }

  // The prefix (PrefixEnd at `last`, included) or suffix (SuffixBegin up
  // to `last`, excluded) read since BeginElementText becomes one tag.
  void EndElementText(std::string_view prefix, std::size_t last) {
    if (!m_elementText) return;
    m_elementText = nullptr;
    EmitEntered(KWX::ccs_MakeQuotedTag(prefix, m_elementBuffer), Join(m_elementStart, last));
  }

  // --- state ------------------------------------------------------------------------------

  CQ_MIFToKWXConverter& m_conv;
  CQ_KWXTagTables& m_tags;
  const CQ_TextConverter& m_text;
  const bool m_first;
  const CQ_MIFLineList& m_lines;
  const std::size_t m_n;
  CQ_KWXPieceList& m_out;

  std::size_t m_i = 0;
  BlockStack m_blocks;
  std::vector<int> m_runs;  // the run in force, per text container
  bool m_conditionOpen = false;
  // Elements begun and not yet ended, by their name in the KWX tags.
  std::map<std::string, std::size_t, std::less<>> m_openElements;
  std::string m_converted;  // EmitConverted's buffer
  std::string m_scratch;
  std::string m_fragment;  // Join's buffer
  std::string m_lineFragment;  // a one-line fragment
  FragmentMemo m_memoPS;
  FragmentMemo m_memoCS;
  FragmentMemo m_memoFC;
  FragmentMemo m_memoCT;
  FragmentMemo m_memoRow;
  FragmentMemo m_memoCNS;
  FragmentMemo m_memoV;
  std::string m_pageName;
  std::unordered_map<std::string, std::string, NameHash, std::equal_to<>> m_names;  // KnownName's

  // Tags that are program constants, by the address of their text.
  struct FixedSlot {
    std::string_view tag;
    std::string_view fragment;
    st_KWXPiece piece{};
  };
  static constexpr std::size_t kFixedSlots = 64;
  std::array<FixedSlot, kFixedSlots> m_fixed{};
  // Pieces of tags from the tag tables, by where the tables keep their text.
  struct TagSlot {
    const char* text = nullptr;
    st_KWXPiece piece{};
  };
  static constexpr std::size_t kTagSlots = 1024;
  std::array<TagSlot, kTagSlots> m_tableTags{};
  st_KWXPiece m_spill{};

  // Marker text conversion.
  MarkerSink m_markerSink{*this};
  std::string m_markerBuffer;
  std::string m_conditionRaw;  // ConditionHidden's last condition
  std::string m_lastVariable;  // the variable and cross-reference format
  std::string m_lastXRefFormat;  // used last, once there is one
  bool m_haveLastVariable = false;
  bool m_haveLastXRefFormat = false;
  bool m_conditionHidden = false;
  bool m_haveCondition = false;
  std::string m_markerTypeRaw;
  std::string m_markerTypeName;
  bool m_haveMarkerType = false;

  // An element's automatic prefix or suffix being read.
  std::string* m_elementText = nullptr;
  std::string m_elementBuffer;
  std::size_t m_elementStart = 0;
};

std::vector<std::string> CQ_MIFToKWXConverter::ast_ConvertList(CQ_MIFLines& lines) {
  CQ_MIFLineStore store;
  CQ_MIFLineList compact;
  compact.reserve(lines.size());
  for (const std::string& line : lines) compact.push_back(store.st_Add(line));
  CQ_MIFLines().swap(lines);
  return lst_ConvertList(compact).ast_Strings();
}

std::vector<std::string> CQ_MIFToKWXConverter::ast_ConvertList(CQ_MIFLineList& lines) {
  return lst_ConvertList(lines).ast_Strings();
}

CQ_KWXPieceList CQ_MIFToKWXConverter::lst_ConvertList(CQ_MIFLineList& lines) {
  CQ_KWXPieceList pieces;
  pieces.v_Reserve(lines.size() / 2 + 16);
  KWX::st_HeaderSettings header;
  header.i_CharacterSet = m_stSettings.i_CharacterSet;
  header.cs_SourceLanguage = m_rcoSession.lpsz_GetSourceLanguage();
  header.i_SourceHyphenation = m_stSettings.i_SourceHyphenation;
  header.i_SmartQuotes = m_rcoSession.i_GetSmartQuotes();
  header.cs_SourcePath = m_strSourcePath;
  for (const std::string& line : m_coTags.acs_EnterHeader(header)) pieces.v_Add(line);
  CListWalker walker(*this, lines, pieces);
  walker.Run();
  CQ_MIFLineList().swap(lines);
  const KWX::st_TagPair trailer = KWX::st_MakeTrailer();
  m_coTags.b_Enter(trailer);
  pieces.v_Add(trailer.cs_Tag);
  return pieces;
}
