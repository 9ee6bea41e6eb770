// Paragraphs, text lines and markers from tokens.
//
// One writer object walks the tokens of a paragraph's text (or of a text
// line) and keeps the open ParaLine and String statements. Positions are
// counted in text units, one per character written, so that a TextRectID
// statement can be put back before the character it stood before in the
// ORG copy. When the translated text's length differs, positions are
// scaled; a first pass counts the units without writing (counting has no
// side effects, writing restores Unique statements and so consumes them).
#include "kernel/backward/MIFBlockBuilder.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"

using MIFSyntax::HasKeyword;
using MIFSyntax::IsCloser;
using MIFSyntax::IsStatement;
using MIFSyntax::NetDepth;

namespace {

// Whether t begins with prefix. The writer tells every tag apart by its
// prefix; with the prefixes constants the comparison is a few instructions
// where it is inlined.
[[gnu::always_inline]] inline bool StartsWith(std::string_view t, std::string_view prefix) {
  return t.size() >= prefix.size() && std::memcmp(t.data(), prefix.data(), prefix.size()) == 0;
}

constexpr std::string_view kEmptyFont[] = {"<Font", "<FTag `'>", "> # end of Font"};

// An empty autonumber string: the forward conversion gives it no tag, so it
// does not decide whether the tags still stand for the ORG statements.
bool IsEmptyNumString(std::string_view line) {
  std::string_view text;
  // "<PgfNumString": most lines are told apart by one byte.
  return line.size() > 4 && line[4] == 'N' && HasKeyword(line, "PgfNumString") &&
         MIFSyntax::StringValueView(line, text) && text.empty();
}

// A line named ParaLine (HasKeyword(line, "ParaLine")), its name compared
// as nine bytes with the '<'.
inline bool IsParaLineOpening(std::string_view line) {
  return line.size() >= 9 && std::memcmp(line.data(), "<ParaLine", 9) == 0 &&
         (line.size() == 9 || MIFSyntax::detail::Is(line[9], MIFSyntax::detail::CLASS_NAME_END));
}

// A Unique statement, told apart from most lines by one byte.
bool IsUniqueStatement(std::string_view line) { return line.size() > 1 && line[1] == 'U' && HasKeyword(line, "Unique"); }

using VarnelFont = KWX::st_VarnelFont;
constexpr const auto& kVarnelFonts = KWX::VARNEL_FONTS;
constexpr const auto& kClosingTags = KWX::FONT_CLOSING_TAGS;

struct CharName {
  unsigned char code;
  std::string_view name;
};

constexpr CharName kCharNames[] = {
    {0x04, "DiscHyphen"}, {0x05, "NoHyphen"},  {0x06, "SoftHyphen"}, {0x08, "Tab"},      {0x09, "HardReturn"},
    {0x10, "NumberSpace"}, {0x11, "HardSpace"}, {0x12, "ThinSpace"}, {0x13, "EnSpace"}, {0x14, "EmSpace"},
    {0x15, "HardHyphen"},
};

// The Char name of an escape "\xNN " that stands for a special character.
std::string_view SpecialCharacter(std::string_view unit) {
  // Every special character's code is below 0x20.
  if (unit.size() != 5 || unit[0] != '\\' || unit[1] != 'x' || (unit[2] != '0' && unit[2] != '1')) return {};
  auto hex = [](char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; };
  const int code = hex(unit[2]) * 16 + hex(unit[3]);
  for (const CharName& c : kCharNames) {
    if (c.code == code) return c.name;
  }
  return {};
}

bool IsRunOpening(std::string_view t) {
  return StartsWith(t, KWX::PREFIX_CS) || StartsWith(t, KWX::PREFIX_FC);
}

// The quick rejections of IsClosingTag and CWriter::IsVarnelTag hold for
// every tag of their tables.
constexpr bool ClosingTagsShaped() {
  for (const std::string_view t : kClosingTags) {
    if (t.size() < 3 || t[2] != '/') return false;
  }
  return true;
}
constexpr bool VarnelTagsShaped() {
  for (const VarnelFont& v : kVarnelFonts) {
    if (v.sv_Tag.size() < 4 || v.sv_Tag.size() > 5 || v.sv_Tag[1] != ':') return false;
  }
  return true;
}
static_assert(ClosingTagsShaped() && VarnelTagsShaped());

bool IsClosingTag(std::string_view t) {
  // Every closing tag begins "<:/": most tokens are told apart by a byte.
  if (t.size() < 3 || t[2] != '/') return false;
  return std::find(std::begin(kClosingTags), std::end(kClosingTags), t) != std::end(kClosingTags);
}

bool IsPseudoLine(std::string_view line) {
  return line == "<End of TextRectID>" || line == "<End Of AFrame>" || line == "<PageBody>";
}

// One past the </af> that closes the frame opened at tokens[open].
std::size_t FrameEnd(const CQ_KWXBlock& tokens, std::size_t open, std::size_t end) {
  std::size_t depth = 0;
  for (std::size_t k = open; k < end; ++k) {
    if (StartsWith(tokens[k], KWX::PREFIX_AF)) {
      ++depth;
    } else if (tokens[k] == KWX::TAG_AF_CLOSE && --depth == 0) {
      return k + 1;
    }
  }
  return end;
}

// One past the closing tag of the marker block opened at tokens[open].
std::size_t MarkerEnd(const CQ_KWXBlock& tokens, std::size_t open, std::size_t end) {
  const std::string_view close = StartsWith(tokens[open], KWX::PREFIX_MK) ? KWX::TAG_MK_CLOSE : KWX::TAG_IMK_CLOSE;
  for (std::size_t k = open + 1; k < end; ++k) {
    if (tokens[k] == close) return k + 1;
  }
  return end;
}

bool IsMarkerOpening(std::string_view t) {
  return StartsWith(t, KWX::PREFIX_MK) || StartsWith(t, KWX::PREFIX_IMK) || t == KWX::TAG_IMK;
}

const CQ_TagText* Find(const CQ_TagMap& tags, std::string_view tag) {
  const auto it = tags.find(tag);
  return it == tags.end() ? nullptr : &it->second;
}

// Inline objects: blocks that stand in text and carry their own Unique.
// Whether a line whose name begins with c may open one (a quick test
// before IsInlineKeyword).
bool MayOpenInline(char c) { return c == 'M' || c == 'X' || c == 'V' || c == 'E' || c == 'T'; }

constexpr std::string_view kInlineKeywords[] = {"Marker",     "XRef",    "Variable", "ElementBegin",
                                                "ElementEnd", "Element", "TextInset"};

// The kind of inline object a statement name opens: its place in
// kInlineKeywords, or -1.
int InlineKind(std::string_view kw) {
  for (std::size_t k = 0; k < std::size(kInlineKeywords); ++k) {
    if (kw == kInlineKeywords[k]) return static_cast<int>(k);
  }
  return -1;
}

bool IsInlineKeyword(std::string_view kw) { return InlineKind(kw) >= 0; }

}  // namespace

namespace {

// The lines of fragment (MIF text, "\n" after each line) as views; empty
// lines are left out.
void SplitFragmentViews(std::string_view fragment, std::vector<std::string_view>& lines) {
  std::size_t pos = 0;
  while (pos < fragment.size()) {
    std::size_t nl = fragment.find('\n', pos);
    if (nl == std::string_view::npos) nl = fragment.size();
    if (nl > pos) lines.push_back(fragment.substr(pos, nl - pos));
    pos = nl + 1;
  }
}

// The lines of fragment as a writer puts them in, as views: without empty
// lines, pseudo lines and comments; with nets, each line's net depth too,
// counted once here for every use that follows.
void SplitFragmentLines(std::string_view fragment, std::vector<std::string_view>& lines,
                        std::vector<int>* nets = nullptr) {
  std::size_t pos = 0;
  while (pos < fragment.size()) {
    std::size_t nl = fragment.find('\n', pos);
    if (nl == std::string_view::npos) nl = fragment.size();
    const std::string_view l = fragment.substr(pos, nl - pos);
    pos = nl + 1;
    if (l.empty() || l.front() == '#' || IsPseudoLine(l)) continue;
    lines.push_back(l);
    if (nets) nets->push_back(NetDepth(l));
  }
}

}  // namespace

CQ_MIFLines lst_SplitFragment(std::string_view fragment) {
  std::vector<std::string_view> views;
  SplitFragmentViews(fragment, views);
  return CQ_MIFLines(views.begin(), views.end());
}

// --- block lines ---------------------------------------------------------------------

// Bytes of lines, written one after the other; a chunk is never moved.
struct CQ_MIFBlockLines::st_Chunk {
  std::unique_ptr<char[]> p_Bytes;
  std::size_t n_Capacity = 0;
  std::size_t n_Used = 0;
};

namespace {
constexpr std::size_t kChunkBytes = std::size_t(1) << 20;
}

CQ_MIFBlockLines::CQ_MIFBlockLines() = default;
CQ_MIFBlockLines::~CQ_MIFBlockLines() = default;

void CQ_MIFBlockLines::v_Clear() {
  // The tables of entries are kept for the next block: a pass reads blocks
  // of every size one after the other.
  m_nLines = 0;
  m_marks.clear();
  m_nMarkHint = 0;
  m_pNext = m_pTableEnd = nullptr;
  // One chunk of the usual size is kept; one made for a very long line is not.
  if (!m_chunks.empty() && m_chunks.front().n_Capacity == kChunkBytes) {
    m_chunks.resize(1);
    m_chunks.front().n_Used = 0;
  } else {
    m_chunks.clear();
  }
}

void CQ_MIFBlockLines::v_Add(std::string_view line, int net) {
  if (line.size() > UINT32_MAX) throw std::length_error("MIF line too long");
  if (m_chunks.empty() || m_chunks.back().n_Capacity - m_chunks.back().n_Used < line.size()) {
    st_Chunk chunk;
    chunk.n_Capacity = std::max(kChunkBytes, line.size());
    chunk.p_Bytes.reset(new char[chunk.n_Capacity]);
    m_chunks.push_back(std::move(chunk));
  }
  st_Chunk& chunk = m_chunks.back();
  char* const at = chunk.p_Bytes.get() + chunk.n_Used;
  if (!line.empty()) std::memcpy(at, line.data(), line.size());
  chunk.n_Used += line.size();
  v_AddEntry(at, line.size(), net);
}

void CQ_MIFBlockLines::v_NextTable() {
  const std::size_t table = m_nLines >> LINE_TABLE_BITS;
  // Entries are written before they are read: no need to clear them.
  if (table == m_lineTables.size()) m_lineTables.push_back(std::make_unique_for_overwrite<st_Line[]>(LINE_TABLE_SIZE));
  m_pNext = m_lineTables[table].get();
  m_pTableEnd = m_pNext + LINE_TABLE_SIZE;
}

// --- line buffer ----------------------------------------------------------------------

void CQ_MIFLineBuffer::v_AddLong(std::string_view line) {
  char* const at = pc_Room(line.size() + 1);
  sv_Copy(at, line.data(), line.size());
  at[line.size()] = '\n';
}

void CQ_MIFLineBuffer::v_Grow(std::size_t size) {
  if (m_nLines == m_nStartsCapacity) {
    const std::size_t capacity = std::max(m_nStartsCapacity * 2, std::size_t(256));
    auto larger = std::make_unique_for_overwrite<std::size_t[]>(capacity);
    if (m_nLines > 0) std::memcpy(larger.get(), m_pStarts.get(), m_nLines * sizeof(std::size_t));
    m_pStarts = std::move(larger);
    m_nStartsCapacity = capacity;
  }
  if (m_nCapacity - m_nSize >= size) return;
  const std::size_t capacity = std::max({m_nCapacity * 2, m_nSize + size, std::size_t(4096)});
  auto larger = std::make_unique_for_overwrite<char[]>(capacity);
  if (m_nSize > 0) std::memcpy(larger.get(), m_pText.get(), m_nSize);
  m_pText = std::move(larger);
  m_nCapacity = capacity;
}

// --- inline objects ------------------------------------------------------------------

namespace {

// Whether a line of an inline block, the block's children being at depth
// 1, is the block's own Unique statement, which its text leaves out.
inline bool IsOwnUnique(std::string_view line, long depth, int net) {
  return depth == 1 && net <= 0 && line.size() > 1 && line[1] == 'U' && HasKeyword(line, "Unique");
}

// The hash of a text, taken line by line (the same lines give the same
// hash however they are held): eight bytes a step, each mixed in with a
// multiplication, the line's length and its last bytes at the end. Places
// of equal hash are compared line by line, so the hash only has to tell
// most texts apart.
constexpr std::uint64_t kTextHashStart = 0xcbf29ce484222325ULL;
inline std::uint64_t HashLine(std::uint64_t hash, std::string_view line) {
  constexpr std::uint64_t kMix = 0xff51afd7ed558ccdULL;
  const char* p = line.data();
  std::size_t n = line.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    hash = (hash ^ word) * kMix;
    hash ^= hash >> 29;
  }
  // The bytes left (fewer than eight) as one word: a line of eight bytes
  // or more takes its last eight, which overlap the words before; a
  // shorter one is read in pieces within its bytes.
  std::uint64_t last = 0;
  if (n > 0) {
    if (line.size() >= 8) {
      std::memcpy(&last, line.data() + line.size() - 8, sizeof last);
    } else if (n >= 4) {
      std::uint32_t low;
      std::uint32_t high;
      std::memcpy(&low, p, sizeof low);
      std::memcpy(&high, p + n - 4, sizeof high);
      last = static_cast<std::uint64_t>(high) << 32 | low;
    } else {
      for (; n > 0; ++p, --n) last = last << 8 | static_cast<unsigned char>(*p);
    }
  }
  hash = (hash ^ last ^ (static_cast<std::uint64_t>(line.size()) << 56)) * kMix;
  return hash ^ (hash >> 32);
}

}  // namespace

void CQ_MIFInlineObjects::v_Scan(const CQ_MIFBlockLines& lines, std::size_t begin, std::size_t end) {
  // The lines that may open one are among the marked ones: those that open
  // a block (the others name a statement beginning with T).
  const std::vector<std::size_t>& marked = lines.rco_Marked();
  for (std::size_t m = lines.n_FirstMarked(begin); m < marked.size() && marked[m] < end; ++m) {
    const std::size_t i = marked[m];
    if (lines.i_Net(i) <= 0) continue;
    const std::string_view line = lines[i];
    const int kind = InlineKind(MIFSyntax::Keyword(line));
    if (kind < 0) continue;
    bool unique = false;
    long depth = 0;
    bool uniquesChangeDepth = false;
    const std::size_t closer = lines.n_Walk(i, end, [&](std::size_t, std::string_view l, int net) {
      if (IsOwnUnique(l, depth, net)) {
        unique = true;
        uniquesChangeDepth = uniquesChangeDepth || net != 0;
      }
      depth += net;
      return depth > 0;
    });
    const std::size_t e = closer < end ? closer + 1 : end;
    if (!unique) continue;
    m_places.push_back(st_Place{&lines, i, e});
    m_places.back().b_Closed = closer < end && !uniquesChangeDepth;
    m_nKinds |= 1u << kind;
    // Blocks inside it are recorded as well: they are marked after it.
  }
}

void CQ_MIFInlineObjects::v_ChainPlaces() {
  for (; m_nChained < m_places.size(); ++m_nChained) {
    const st_Place& place = m_places[m_nChained];
    const CQ_MIFBlockLines& lines = *place.pcco_Lines;
    std::uint64_t hash = kTextHashStart;
    long depth = 0;
    lines.n_Walk(place.n_Begin, place.n_End, [&](std::size_t, std::string_view l, int net) {
      if (!IsOwnUnique(l, depth, net)) hash = HashLine(hash, l);
      depth += net;
      return true;
    });
    const std::size_t at = m_nChained;
    const auto [it, added] = m_chains.try_emplace(hash, st_Chain{at, at, at});
    if (!added) {
      m_places[it->second.n_Last].n_NextSameHash = at;
      it->second.n_Last = at;
    }
  }
}

template <class Lines>
std::size_t CQ_MIFInlineObjects::sn_MatchedLength(const st_Place& place, const Lines& lines, std::size_t begin,
                                                  std::size_t end) {
  const CQ_MIFBlockLines& org = *place.pcco_Lines;
  std::size_t j = begin;
  long depth = 0;
  for (std::size_t k = place.n_Begin; k < place.n_End; ++k) {
    const std::string_view l = org[k];
    const int net = org.i_Net(k);
    const bool own = IsOwnUnique(l, depth, net);
    depth += net;
    if (own) continue;
    if (j == end || std::string_view(lines[j]) != l) return NONE;
    ++j;
  }
  return j - begin;
}

namespace {

// The net depth of a line of a list, counted when asked.
template <class Lines>
auto CountedNets(const Lines& lines) {
  return [&lines](std::size_t i) { return NetDepth(lines[i]); };
}

}  // namespace

void CQ_MIFInlineObjects::v_Restore(const CQ_MIFLines& lines, CQ_MIFLines& out) {
  v_RestoreLines(lines, out, CountedNets(lines));
}

void CQ_MIFInlineObjects::v_RestoreMoving(CQ_MIFLines& lines, CQ_MIFLines& out) {
  v_RestoreLines(lines, out, CountedNets(lines));
}

void CQ_MIFInlineObjects::v_RestoreViews(const std::vector<std::string_view>& lines, CQ_MIFLines& out) {
  v_RestoreLines(lines, out, CountedNets(lines));
}

void CQ_MIFInlineObjects::v_Restore(const CQ_MIFLines& lines, CQ_MIFLineBuffer& out) {
  v_RestoreLines(lines, out, CountedNets(lines));
}

void CQ_MIFInlineObjects::v_RestoreViews(const std::vector<std::string_view>& lines, CQ_MIFLineBuffer& out) {
  v_RestoreLines(lines, out, CountedNets(lines));
}

void CQ_MIFInlineObjects::v_RestoreViews(const std::vector<std::string_view>& lines, const std::vector<int>& nets,
                                         CQ_MIFLineBuffer& out) {
  v_RestoreLines(lines, out, [&nets](std::size_t i) { return nets[i]; });
}

namespace {

// A line appended to a list (moved when it may be) or to a line buffer.
template <class Line>
void AppendLine(CQ_MIFLines& out, Line&& line) {
  out.emplace_back(std::forward<Line>(line));
}
void AppendLine(CQ_MIFLineBuffer& out, std::string_view line) { out.v_Add(line); }

}  // namespace

template <class Lines, class Out, class Net>
void CQ_MIFInlineObjects::v_RestoreLines(Lines& lines, Out& out, Net&& netOf) {
  const std::size_t n = lines.size();
  for (std::size_t i = 0; i < n; ++i) {
    auto& line = lines[i];
    // Only a block of a kind some place has can be restored.
    int kind = -1;
    if (!m_places.empty() && line.size() >= 2 && line.front() == '<' && MayOpenInline(line[1]) &&
        (kind = InlineKind(MIFSyntax::Keyword(line))) >= 0 && (m_nKinds >> kind & 1u) != 0 && netOf(i) > 0) {
      // One past the line that brings the depth back (the block's end):
      // where the text of the place after the last one restored ends, when
      // the lines are that text and its block ends with it; otherwise
      // found by the lines' depths.
      std::size_t e = n;
      std::size_t p = NONE;
      // Among the first few unused places, the first whose text the lines
      // are is the first unused place of that text (the ones before it
      // have other texts), found without a look-up. Otherwise the place
      // after the last one restored, when the lines are its text, tells
      // where the block ends.
      std::size_t known = 0;
      std::size_t guess = NONE;
      for (std::size_t q = m_nFirstUnused, tries = 0; q < m_places.size() && tries < 4; ++q) {
        if (m_places[q].b_Used) continue;
        // A place not closed ends the search: a look-up decides.
        if (!m_places[q].b_Closed) break;
        known = sn_TextLength(m_places[q], lines, i);
        if (known > 0) {
          p = guess = q;
          break;
        }
        ++tries;
      }
      if (known == 0 && m_nNextPlace < m_places.size() && !m_places[m_nNextPlace].b_Used &&
          m_places[m_nNextPlace].b_Closed) {
        guess = m_nNextPlace;
        known = sn_TextLength(m_places[guess], lines, i);
      }
      if (known > 0) {
        e = i + known;
      } else {
        long depth = 0;
        for (std::size_t k = i; k < n; ++k) {
          depth += netOf(k);
          if (depth <= 0) {
            e = k + 1;
            break;
          }
        }
      }
      if (p == NONE) {
        // The first unused place of the same text, in order, among those
        // of the same hash; the chain's start moves past the places used
        // up. The places are hashed when first looked up.
        v_ChainPlaces();
        std::uint64_t hash = kTextHashStart;
        for (std::size_t k = i; k < e; ++k) hash = HashLine(hash, lines[k]);
        const auto it = m_chains.find(hash);
        if (it != m_chains.end()) {
          st_Chain& chain = it->second;
          while (chain.n_Next != NONE && m_places[chain.n_Next].b_Used) chain.n_Next = m_places[chain.n_Next].n_NextSameHash;
          p = chain.n_Next;
          // The guessed place's text is known to be these lines.
          while (p != NONE && (m_places[p].b_Used || ((p != guess || known == 0) && !sb_SameText(m_places[p], lines, i, e)))) {
            p = m_places[p].n_NextSameHash;
          }
        }
      }
      if (p != NONE) {
        st_Place& place = m_places[p];
        place.b_Used = true;
        m_nNextPlace = p + 1;
        while (m_nFirstUnused < m_places.size() && m_places[m_nFirstUnused].b_Used) ++m_nFirstUnused;
        for (std::size_t k = place.n_Begin; k < place.n_End; ++k) AppendLine(out, (*place.pcco_Lines)[k]);
        i = e - 1;
        continue;
      }
    }
    // A movable line (its list is not kept) is moved, a kept one copied.
    AppendLine(out, std::move(line));
  }
}

// --- the ORG paragraph -----------------------------------------------------------------

void st_ORGParagraph::v_Read(const CQ_MIFBlockLines& lines, std::size_t begin, std::size_t end,
                             int sourceHyphenation, bool fonts) {
  pco_Lines = &lines;
  n_Begin = begin;
  n_End = end;
  lst_Header.clear();
  vec_Columns.clear();
  vec_Fonts.clear();
  n_Units = 0;
  const std::size_t inner = (end > begin + 1 && IsCloser(lines[end - 1])) ? end - 1 : end;
  // Text units are counted only for a paragraph with a TextRectID
  // statement, the only case they place anything: counting reads every
  // String statement's text.
  // A TextRectID line is one of the block's marked lines.
  bool countUnits = false;
  if (begin + 1 < inner) {
    const std::vector<std::size_t>& marked = lines.rco_Marked();
    std::size_t m = lines.n_FirstMarked(begin + 1);
    for (; m < marked.size() && marked[m] < inner && !countUnits; ++m) {
      const std::string_view l = lines[marked[m]];
      countUnits = l[1] == 'T' && HasKeyword(l, "TextRectID");
    }
    lines.v_MarkedHint(m);
  }
  bool inHeader = true;
  lst_Header.emplace_back(lines[begin]);
  // Statement names are told apart by the byte after '<' first, so that
  // most lines are compared with no name at all.
  auto is = [](std::string_view l, std::string_view keyword) {
    return l.size() > 1 && l[1] == keyword[0] && HasKeyword(l, keyword);
  };
  if (!countUnits && !fonts) {
    // Without columns and fonts only the header is read: what follows it
    // would give nothing.
    long depth = 0;
    lines.n_Walk(begin + 1, inner, [&](std::size_t, std::string_view l, int net) {
      if (depth == 0 && net > 0 && IsParaLineOpening(l)) return false;
      lst_Header.emplace_back(l);
      depth += net;
      return true;
    });
    return;
  }
  long depth = 0;  // 0: a direct child of the Para
  for (std::size_t i = begin + 1; i < inner; ++i) {
    const std::string_view l = lines[i];
    const int net = lines.i_Net(i);
    if (inHeader) {
      if (depth == 0 && net > 0 && is(l, "ParaLine")) {
        inHeader = false;
      } else {
        lst_Header.emplace_back(l);
        depth += net;
        continue;
      }
    } else if (fonts && depth == 1 && net > 0 && is(l, "Font")) {
      std::size_t e = inner;
      long fontDepth = 0;
      std::size_t size = 0;
      for (std::size_t k = i; k < inner; ++k) {
        fontDepth += lines.i_Net(k);
        size += lines[k].size() + 1;
        if (fontDepth <= 0) {
          e = k + 1;
          break;
        }
      }
      std::string fragment;
      fragment.reserve(size);
      for (std::size_t k = i; k < e; ++k) {
        fragment.append(lines[k]);
        fragment.push_back('\n');
      }
      vec_Fonts.emplace_back(std::move(fragment), false);
      i = e - 1;
      continue;
    } else if (depth >= 1 && !vec_Fonts.empty() && !vec_Fonts.back().second && !IsCloser(l) &&
               !(net > 0 && is(l, "ParaLine")) && !is(l, "TextRectID")) {
      // Text or a statement after the last Font statement.
      vec_Fonts.back().second = true;
    }
    // A one-line statement (net is the line's NetDepth).
    if (depth == 1 && net == 0 && !l.empty() && l.front() == '<') {
      if (is(l, "TextRectID")) {
        vec_Columns.emplace_back(n_Units, l);
      } else if (!countUnits) {
        // Nothing to count.
      } else if (is(l, "String")) {
        std::string_view raw;
        if (!MIFSyntax::StringValueView(l, raw)) raw = std::string_view();
        n_Units += CQ_MIFEscaping::sn_CountUnits(raw);
      } else if (is(l, "Char")) {
        const std::string_view name = MIFSyntax::Value(l);
        const bool lineEnd = i + 1 < inner && IsCloser(lines[i + 1]);
        if (sourceHyphenation == 0 && lineEnd && name == "SoftHyphen") {
          // Forward conversion removed it.
        } else if (CQ_TextConverter::si_NamedCharacterCode(name) >= 0) {
          ++n_Units;
        }
      }
    }
    depth += net;
  }
}

namespace {

// Text units of a one-line statement at the outer level: those of a String
// statement's text, one for a Char statement of a known character.
std::size_t StatementUnits(std::string_view l) {
  const std::string_view kw = MIFSyntax::Keyword(l);
  if (kw == "String") {
    std::string_view raw;
    MIFSyntax::StringValueView(l, raw);
    return CQ_MIFEscaping::sn_CountUnits(raw);
  }
  if (kw == "Char" && CQ_TextConverter::si_NamedCharacterCode(MIFSyntax::Value(l)) >= 0) return 1;
  return 0;
}

// Text units of the String and Char statements at the outer level of lines.
template <class Lines>
std::size_t CountUnits(const Lines& lines) {
  std::size_t units = 0;
  long depth = 0;
  for (const std::string_view l : lines) {
    const int net = NetDepth(l);
    // A statement (its depth, 0, is known already).
    if (depth == 0 && net == 0 && !l.empty() && l.front() == '<') units += StatementUnits(l);
    depth += net;
  }
  return units;
}

}  // namespace

std::size_t CQ_MIFBlockBuilder::sn_CountUnits(const CQ_MIFLines& lines) { return CountUnits(lines); }

// --- the writer ----------------------------------------------------------------------------

class CQ_MIFBlockBuilder::CWriter {
 public:
  // paraLines: text goes into ParaLine statements (a paragraph) rather
  // than straight into the object (a text line). counting: nothing is
  // written, only units are counted.
  CWriter(const CQ_MIFBlockBuilder& builder, CQ_MIFLineBuffer* out, bool paraLines)
      : m_b(builder),
        m_ctx(builder.m_stContext),
        m_out(out),
        m_paraLines(paraLines),
        m_pScratch(pco_Borrow(builder.rco_Scratch())),
        m_string(m_pScratch ? m_pScratch->s_String : m_ownString),
        m_escaped(m_pScratch ? m_pScratch->s_Escaped : m_ownEscaped),
        m_views(m_pScratch ? m_pScratch->vec_WriterViews : m_ownViews),
        m_nets(m_pScratch ? m_pScratch->vec_WriterNets : m_ownNets) {
    m_string.clear();
    m_escaped.clear();
    m_views.clear();
    m_nets.clear();
  }
  ~CWriter() {
    if (m_pScratch) m_pScratch->b_WriterBusy = false;
  }
  CWriter(const CWriter&) = delete;
  CWriter& operator=(const CWriter&) = delete;

  // A Font statement to put back before the run-opening tag `anchor` (at
  // the end when empty), followed by a font reset unless it stood right
  // before that font change.
  struct Drop {
    std::string fragment;
    std::string anchor;
    bool reset;
  };
  void SetDrops(std::vector<Drop> drops) { m_drops = std::move(drops); }

  void SetColumns(std::vector<std::pair<std::size_t, std::string>> columns) {
    m_columns = std::move(columns);
    std::stable_sort(m_columns.begin(), m_columns.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  void Content(const CQ_KWXBlock& t, std::size_t begin, std::size_t end) {
    for (std::size_t k = begin; k < end; ++k) {
      const std::string_view token = t[k];
      if (!KWXBack::sb_IsTag(token)) {
        if (token.front() == '<') continue;  // an unclosed tag cannot reach here
        m_escaped.clear();
        bool lowCodes = true;
        const std::size_t units =
            (m_westernRun ? m_b.m_coWestern : m_asianRun ? *m_ctx.pcco_Escaping : m_b.m_coDefaultRun).n_Append(token, m_escaped, lowCodes);
        if (lowCodes || !PlainText(m_escaped, units)) Units(m_escaped);
        continue;
      }
      m_escaped.clear();
      if (m_ctx.pcco_Escaping->b_CharacterTag(token, m_escaped)) {
        // One escape "\xNN ": a special character when its code is below
        // 0x20.
        const bool special = m_escaped.size() != 5 || m_escaped[2] == '0' || m_escaped[2] == '1';
        if (special || !PlainText(m_escaped, 1)) Units(m_escaped);
        continue;
      }
      if (IsMarkerOpening(token)) {
        const std::size_t e = MarkerEnd(t, k, end);
        if (!Counting()) {
          CloseString();
          EnsureParaLine();
          m_b.v_Marker(t, k, e, *m_out);
          m_lineContent = true;
        }
        k = e - 1;
        continue;
      }
      if (StartsWith(token, KWX::PREFIX_AF)) {
        const std::size_t e = FrameEnd(t, k, end);
        const std::string id(KWXBack::scs_TagArgument(token, KWX::PREFIX_AF));
        Statement("<AFrame " + id + ">");
        k = AfterAnchor(e, end);
        continue;
      }
      if (StartsWith(token, KWX::PREFIX_TB)) {
        const std::string id(KWXBack::scs_TagArgument(token, KWX::PREFIX_TB));
        Statement("<ATbl " + id + ">");
        k = AfterAnchor(k + 1, end);
        continue;
      }
      if (StartsWith(token, KWX::PREFIX_IFN)) {
        const std::string id(KWXBack::scs_TagArgument(token, KWX::PREFIX_IFN));
        Statement("<FNote " + id + ">");
        continue;
      }
      if (IsRunOpening(token)) {
        while (m_nextDrop < m_drops.size() && m_drops[m_nextDrop].anchor == token) PutDrop(m_drops[m_nextDrop++]);
        const CQ_TagText* fragment = Find(*m_ctx.pcco_Tags, token);
        if (fragment) Fragment(*fragment, true);
        m_run = token;
        m_westernRun = fragment && b_WesternFontInAsianText(*fragment);
        // Only a double-byte document tells Asian runs apart: elsewhere the
        // default escaping is the document's own.
        m_asianRun = fragment && m_ctx.pcco_Escaping && m_ctx.pcco_Escaping->b_DoubleByte() && b_AsianFont(*fragment);
        continue;
      }
      if (IsClosingTag(token)) {
        // A run closed only to open the next one: the next font statement
        // does the change.
        if (k + 1 < end && (IsRunOpening(t[k + 1]) || IsVarnelTag(t[k + 1]))) {
          m_run = {};
          m_westernRun = m_asianRun = false;
          continue;
        }
        // A run interrupted by a table or frame anchor and opened again
        // after it: the anchor needs no font change around it.
        if (!m_run.empty() && k + 1 < end) {
          std::size_t after = k + 1;
          if (StartsWith(t[after], KWX::PREFIX_AF)) {
            after = FrameEnd(t, after, end);
          } else if (StartsWith(t[after], KWX::PREFIX_TB)) {
            ++after;
          } else {
            after = 0;
          }
          if (after > 0 && after < end && t[after] == m_run) {
            m_skipReopen = after;
            continue;
          }
        }
        m_run = {};
        m_westernRun = m_asianRun = false;
        Statements(kEmptyFont);
        continue;
      }
      if (IsVarnelTag(token)) {
        m_run = token;
        m_westernRun = m_asianRun = false;
        Statement("<Font");
        CloseString();
        EnsureParaLine();
        if (m_out) m_out->v_Add("<FTag `", VarnelName(token), "'>");
        Statement("> # end of Font");
        continue;
      }
      if (token == "<:/df>") {
        for (std::string_view l : {"<Font", "<FTag `VarnelDummy'>", "> # end of Font"}) Statement(l);
        continue;
      }
      if (StartsWith(token, KWX::PREFIX_CNS)) {
        if (token == KWX::TAG_CNS_DUMMY) continue;
        if (const CQ_TagText* fragment = Find(*m_ctx.pcco_Tags, token)) Fragment(*fragment, true);
        continue;
      }
      if (token == KWX::TAG_CNS_CLOSE) {
        // A new condition that follows at once switches by itself.
        if (k + 1 < end && StartsWith(t[k + 1], KWX::PREFIX_CNS) && t[k + 1] != KWX::TAG_CNS_DUMMY) continue;
        Statement("<Unconditional >");
        continue;
      }
      if (StartsWith(token, KWX::PREFIX_IMK_PLACEHOLDER) || StartsWith(token, KWX::PREFIX_IIMK) ||
          StartsWith(token, KWX::PREFIX_FN) || token == KWX::TAG_FN_CLOSE || StartsWith(token, KWX::PREFIX_PS) ||
          StartsWith(token, KWX::PREFIX_PN) || StartsWith(token, KWX::PREFIX_TR) ||
          StartsWith(token, KWX::PREFIX_TS)) {
        continue;
      }
      // Any other tag writes its counterpart: cross-references,
      // variables, markers without text, elements, text insets.
      if (const CQ_TagText* fragment = Find(*m_ctx.pcco_Tags, token)) Fragment(*fragment);
    }
  }

  // Closes what is open and puts the columns that are left.
  void Finish() {
    CloseString();
    while (m_nextDrop < m_drops.size()) PutDrop(m_drops[m_nextDrop++]);
    for (std::size_t c = m_nextColumn; c < m_columns.size(); ++c) Column(m_columns[c].second);
    m_nextColumn = m_columns.size();
    if (m_paraLines) {
      EnsureParaLine();
      Emit("> # end of ParaLine");
      m_lineOpen = false;
    }
  }

  std::size_t UnitCount() const { return m_units; }

 private:
  bool Counting() const { return m_out == nullptr; }

  static bool IsVarnelTag(std::string_view t) {
    // Every such tag is "<:" and one or two bytes.
    if (t.size() < 4 || t.size() > 5 || t[1] != ':') return false;
    for (const VarnelFont& v : kVarnelFonts) {
      if (t == v.sv_Tag) return true;
    }
    return false;
  }
  static std::string_view VarnelName(std::string_view t) {
    for (const VarnelFont& v : kVarnelFonts) {
      if (t == v.sv_Tag) return v.sv_Font;
    }
    return {};
  }

  // The index to continue from (before the loop's increment) after an
  // anchor that ends at anchorEnd: past the reopening of an interrupted
  // run when the close before the anchor was skipped.
  std::size_t AfterAnchor(std::size_t anchorEnd, std::size_t end) {
    const bool skip = m_skipReopen != 0 && m_skipReopen == anchorEnd && anchorEnd < end;
    m_skipReopen = 0;
    return skip ? anchorEnd : anchorEnd - 1;
  }

  void Emit(std::string_view line) {
    if (m_out) m_out->v_Add(line);
  }

  void OpenLine() {
    Emit("<ParaLine");
    m_lineOpen = true;
    m_lineContent = false;
    FlushColumns();
  }

  void EnsureParaLine() {
    if (m_paraLines && !m_lineOpen) OpenLine();
  }

  void CloseString() {
    if (!m_stringOpen) return;
    // Only double-byte text can end in a second byte that needs protecting.
    if (m_ctx.pcco_Escaping && m_ctx.pcco_Escaping->b_DoubleByte()) m_ctx.pcco_Escaping->v_ProtectStringEnd(m_string);
    if (m_out) m_out->v_Add("<String `", m_string, "'>");
    m_string.clear();
    m_stringOpen = false;
  }

  void Column(const std::string& line) {
    CloseString();
    if (m_paraLines) {
      if (!m_lineOpen) {
        Emit("<ParaLine");
        m_lineOpen = true;
      } else if (m_lineContent) {
        Emit("> # end of ParaLine");
        Emit("<ParaLine");
      }
    }
    Emit(line);
    m_lineContent = true;
  }

  // Puts the columns whose position has been reached.
  void FlushColumns() {
    while (m_nextColumn < m_columns.size() && m_columns[m_nextColumn].first <= m_units) {
      Column(m_columns[m_nextColumn++].second);
    }
  }

  // Writes escaped text unit by unit. Runs of plain bytes go into the
  // open string in pieces as long as the string's room and the next column
  // position allow; counting only counts. Text in a double-byte code page
  // goes character by character instead, so that a character is never cut
  // between strings or columns and a second byte 0x5C never starts an
  // escape.
  void Units(std::string_view escaped) {
    const int codePage = m_ctx.pcco_Escaping ? m_ctx.pcco_Escaping->i_CodePage() : 0;
    if (CQ_TextConverter::sb_IsDoubleByteCodePage(codePage)) {
      DoubleByteUnits(escaped, codePage);
      return;
    }
    const std::size_t n = escaped.size();
    if (Counting()) {
      for (std::size_t i = 0; i < n; i += UnitLength(escaped, i)) ++m_units;
      return;
    }
    std::size_t i = 0;
    while (i < n) {
      if (m_nextColumn >= m_columns.size() && (m_lineOpen || !m_paraLines)) {
        // No column to put and the line open: everything up to the next
        // special character goes in bulk.
        i = AppendPlainUnits(escaped, i);
        if (i >= n) break;
        const std::size_t len = UnitLength(escaped, i);
        Unit(escaped.substr(i, len));
        i += len;
        continue;
      }
      if (escaped[i] == '\\') {
        const std::size_t len = UnitLength(escaped, i);
        Unit(escaped.substr(i, len));
        i += len;
        continue;
      }
      std::size_t runEnd = escaped.find('\\', i);
      if (runEnd == std::string_view::npos) runEnd = n;
      while (i < runEnd) {
        EnsureParaLine();
        FlushColumns();
        if (m_stringOpen && m_string.size() + 1 > MAX_STRING) CloseString();
        std::size_t take = std::min(runEnd - i, MAX_STRING - m_string.size());
        if (m_nextColumn < m_columns.size()) take = std::min(take, m_columns[m_nextColumn].first - m_units);
        m_string.append(escaped.substr(i, take));
        m_stringOpen = true;
        m_lineContent = true;
        m_units += take;
        i += take;
      }
    }
  }

  // Writes single-byte escaped text that holds no special character and
  // has the given number of units, as Units would, while no column is
  // due: the line is opened first if it is not, then the open string takes
  // as many whole units as it has room for, is closed when full, and so
  // on. Every backslash of such text starts a unit, so a unit cut by the
  // string's end is found among the four bytes before it. False, with
  // nothing written, in any other case.
  bool PlainText(std::string_view escaped, std::size_t units) {
    // (The escaping knows whether its code page is a double-byte one.)
    if (m_ctx.pcco_Escaping && m_ctx.pcco_Escaping->b_DoubleByte()) return false;
    if (Counting()) {
      m_units += units;
      return true;
    }
    if (m_nextColumn < m_columns.size()) return false;
    if (escaped.empty()) return true;
    EnsureParaLine();
    while (m_string.size() + escaped.size() > MAX_STRING) {
      std::size_t cut = MAX_STRING - m_string.size();
      for (std::size_t back = 1; back <= 4 && back <= cut; ++back) {
        if (escaped[cut - back] != '\\') continue;
        if (UnitLength(escaped, cut - back) > back) cut -= back;
        break;
      }
      // cut is 0 when not even the first unit fits: the string is closed
      // as it is.
      m_string.append(escaped.data(), cut);
      m_stringOpen = true;
      m_lineContent = true;
      CloseString();
      escaped.remove_prefix(cut);
    }
    if (!escaped.empty()) {
      m_string.append(escaped);
      m_stringOpen = true;
      m_lineContent = true;
    }
    m_units += units;
    return true;
  }

  // Appends the units of escaped from i up to the first special character
  // (or the end), as Unit would one by one: a unit goes into the open
  // string unless it would make it longer than MAX_STRING, which closes
  // it first. Returns where it stopped. Only while no column is due and
  // the line is open (or there are no lines).
  std::size_t AppendPlainUnits(std::string_view escaped, std::size_t i) {
    const std::size_t n = escaped.size();
    std::size_t start = i;
    std::size_t size = m_string.size();
    std::size_t units = 0;
    while (i < n) {
      std::size_t len = 1;
      if (escaped[i] == '\\') {
        len = UnitLength(escaped, i);
        // Only an escape "\x0N " or "\x1N " can be a special character.
        if (len == 5 && (escaped[i + 2] == '0' || escaped[i + 2] == '1') &&
            !SpecialCharacter(escaped.substr(i, len)).empty()) {
          break;
        }
      } else if (size < MAX_STRING) {
        // Plain bytes, one unit each, as many as the string has room for
        // up to the next backslash.
        const std::size_t room = std::min(n - i, MAX_STRING - size);
        const void* slash = std::memchr(escaped.data() + i, '\\', room);
        const std::size_t take = slash ? static_cast<std::size_t>(static_cast<const char*>(slash) - (escaped.data() + i)) : room;
        size += take;
        i += take;
        units += take;
        continue;
      }
      if (size + len > MAX_STRING) {
        // size > 0: the string holds what came before.
        m_string.append(escaped.data() + start, i - start);
        m_stringOpen = true;
        m_lineContent = true;
        CloseString();
        start = i;
        size = 0;
      }
      size += len;
      i += len;
      ++units;
    }
    if (i > start) {
      m_string.append(escaped.data() + start, i - start);
      m_stringOpen = true;
      m_lineContent = true;
    }
    m_units += units;
    return i;
  }

  // A character written as its two bytes is one piece of two units (as the
  // escaping counts it); everything else goes unit by unit.
  void DoubleByteUnits(std::string_view escaped, int codePage) {
    const std::size_t n = escaped.size();
    std::size_t i = 0;
    while (i < n) {
      if (i + 1 < n && CQ_TextConverter::sb_IsLeadByte(codePage, static_cast<unsigned char>(escaped[i])) &&
          CQ_TextConverter::sb_IsTrailByte(codePage, static_cast<unsigned char>(escaped[i + 1]))) {
        if (!Counting()) {
          EnsureParaLine();
          FlushColumns();
          if (m_stringOpen && m_string.size() + 2 > MAX_STRING) CloseString();
          m_string.append(escaped.substr(i, 2));
          m_stringOpen = true;
          m_lineContent = true;
        }
        m_units += 2;
        i += 2;
        continue;
      }
      const std::size_t len = UnitLength(escaped, i);
      if (Counting()) {
        ++m_units;
      } else {
        Unit(escaped.substr(i, len));
      }
      i += len;
    }
  }

  // The length of the unit at escaped[i]: "\xNN ", a backslash and its
  // byte, or one byte.
  static std::size_t UnitLength(std::string_view escaped, std::size_t i) {
    if (escaped[i] != '\\' || i + 1 >= escaped.size()) return 1;
    return (escaped[i + 1] == 'x' && i + 4 < escaped.size()) ? 5 : 2;
  }

  void Unit(std::string_view unit) {
    EnsureParaLine();
    FlushColumns();
    const std::string_view name = SpecialCharacter(unit);
    if (name == "HardReturn" && !m_paraLines) {
      // A text line has no lines of its own to break into: the hard
      // return is left out, as the verifier's alert 619 tells.
      ++m_units;
      return;
    }
    if (!name.empty()) {
      CloseString();
      if (m_out) m_out->v_Add("<Char ", name, ">");
      m_lineContent = true;
      ++m_units;
      if (name == "HardReturn" && m_paraLines) {
        Emit("> # end of ParaLine");
        m_lineOpen = false;
        OpenLine();
      }
      return;
    }
    if (m_stringOpen && m_string.size() + unit.size() > MAX_STRING) CloseString();
    m_string.append(unit);
    m_stringOpen = true;
    m_lineContent = true;
    ++m_units;
  }

  void Statement(std::string_view line) {
    CloseString();
    EnsureParaLine();
    Emit(line);
    m_lineContent = true;
  }
  // Statement of each line in turn: the string is closed and the line
  // opened by the first.
  template <std::size_t N>
  void Statements(const std::string_view (&lines)[N]) {
    CloseString();
    EnsureParaLine();
    for (const std::string_view l : lines) Emit(l);
    m_lineContent = true;
  }

  // Writes a tag's fragment; repeats: the fragment is a tag map entry that
  // may come again, kept split in the context's cache.
  void Fragment(const CQ_TagText& fragment, bool repeats = false) {
    if (!repeats || !m_ctx.pco_Fragments) {
      FragmentOnce(fragment);
      return;
    }
    const auto [it, added] = m_ctx.pco_Fragments->try_emplace(&fragment);
    if (added) Split(fragment, it->second);
    const st_FragmentLines* f = &it->second;
    if (f->lst_Lines.empty()) return;
    const std::size_t units = f->n_Units;
    if (units > 0) FlushColumns();
    if (Counting()) {
      m_units += units;
      return;
    }
    if (m_ctx.pco_Inline && f->b_InlineObjects) {
      CloseString();
      EnsureParaLine();
      m_ctx.pco_Inline->v_Restore(f->lst_Lines, *m_out);
      m_lineContent = true;
    } else {
      // Lines without inline objects come back from the restore unchanged.
      CloseString();
      EnsureParaLine();
      for (const std::string& l : f->lst_Lines) Emit(l);
      m_lineContent = true;
    }
    m_units += units;
  }

  // A fragment written once: its lines are read as views of the tag map's
  // text and copied only into the output.
  // Units place nothing once every column is placed (and the writer is
  // not counting): the lines' depths are then counted only where the
  // restore of inline objects needs them. Otherwise each line's depth is
  // counted once, and one walk over the lines finds both whether one opens
  // an inline object and the text units at the outer level.
  void FragmentOnce(std::string_view fragment) {
    m_views.clear();
    m_nets.clear();
    if (!Counting() && m_nextColumn >= m_columns.size()) {
      SplitFragmentLines(fragment, m_views);
      if (m_views.empty()) return;
      CloseString();
      EnsureParaLine();
      if (m_ctx.pco_Inline) {
        m_ctx.pco_Inline->v_RestoreViews(m_views, *m_out);
      } else {
        for (const std::string_view l : m_views) Emit(l);
      }
      m_lineContent = true;
      return;
    }
    SplitFragmentLines(fragment, m_views, &m_nets);
    if (m_views.empty()) return;
    bool inlineObjects = false;
    std::size_t units = 0;
    long depth = 0;
    for (std::size_t i = 0; i < m_views.size(); ++i) {
      const std::string_view l = m_views[i];
      const int net = m_nets[i];
      if (l.front() == '<') {
        if (net > 0) {
          if (!inlineObjects && l.size() >= 2 && MayOpenInline(l[1]) && IsInlineKeyword(MIFSyntax::Keyword(l))) {
            inlineObjects = true;
          }
        } else if (depth == 0 && net == 0) {
          units += StatementUnits(l);
        }
      }
      depth += net;
    }
    if (units > 0) FlushColumns();
    if (Counting()) {
      m_units += units;
      return;
    }
    if (m_ctx.pco_Inline && inlineObjects) {
      CloseString();
      EnsureParaLine();
      m_ctx.pco_Inline->v_RestoreViews(m_views, m_nets, *m_out);
      m_lineContent = true;
    } else {
      CloseString();
      EnsureParaLine();
      for (const std::string_view l : m_views) Emit(l);
      m_lineContent = true;
    }
    m_units += units;
  }

  static void Split(std::string_view fragment, st_FragmentLines& out) {
    for (std::string& l : lst_SplitFragment(fragment)) {
      if (IsPseudoLine(l) || l.front() == '#') continue;
      if (l.front() == '<' && IsInlineKeyword(MIFSyntax::Keyword(l)) && NetDepth(l) > 0) out.b_InlineObjects = true;
      out.lst_Lines.push_back(std::move(l));
    }
    if (!out.lst_Lines.empty()) out.n_Units = sn_CountUnits(out.lst_Lines);
  }

  void PutDrop(const Drop& drop) {
    FragmentOnce(drop.fragment);
    if (drop.reset) {
      Statements(kEmptyFont);
    }
  }

  // The builder's scratch when no other writer holds it (a counting writer
  // and a writing one live together): its strings and list are used for
  // their room; null: the writer's own are.
  static st_Scratch* pco_Borrow(st_Scratch& scratch) {
    if (scratch.b_WriterBusy) return nullptr;
    scratch.b_WriterBusy = true;
    return &scratch;
  }

  const CQ_MIFBlockBuilder& m_b;
  const st_Context& m_ctx;
  std::vector<Drop> m_drops;
  std::size_t m_nextDrop = 0;
  CQ_MIFLineBuffer* m_out;
  const bool m_paraLines;
  std::vector<std::pair<std::size_t, std::string>> m_columns;
  std::size_t m_nextColumn = 0;
  std::size_t m_units = 0;
  bool m_lineOpen = false;
  bool m_lineContent = false;
  bool m_stringOpen = false;
  st_Scratch* const m_pScratch;
  std::string m_ownString;
  std::string m_ownEscaped;
  std::vector<std::string_view> m_ownViews;
  std::vector<int> m_ownNets;
  std::string& m_string;
  std::string& m_escaped;                  // the escaped text of the token at hand
  std::vector<std::string_view>& m_views;  // the lines of a fragment written once
  std::vector<int>& m_nets;                // their net depths
  std::string_view m_run;  // the opening tag of the run in force (a token: it outlives the writer)
  // The run in force is one of a Western font in Asian text, or one of an
  // Asian font: its text goes through the builder's escaping for it.
  bool m_westernRun = false;
  bool m_asianRun = false;
  // The run font's encoding; false when the fragment names none.
  static bool Encoding(std::string_view fragment, std::string_view& encoding) {
    constexpr std::string_view kEncoding = "<FEncoding `";
    const std::size_t at = fragment.find(kEncoding);
    if (at == std::string::npos) return false;
    const std::size_t from = at + kEncoding.size();
    encoding = std::string_view(fragment).substr(from, fragment.find('\'', from) - from);
    return true;
  }
  static bool IsAsianEncoding(std::string_view encoding) {
    return encoding == "JISX0208.ShiftJIS" || encoding == "BIG5" || encoding == "GB2312-80.EUC" ||
           encoding == "KSC5601-1992";
  }
  bool b_WesternFontInAsianText(std::string_view fragment) const {
    const CQ_MIFEscaping& escaping = *m_ctx.pcco_Escaping;
    if (!escaping.b_DoubleByte() || escaping.b_Symbol()) return false;
    std::string_view encoding;
    return Encoding(fragment, encoding) && !IsAsianEncoding(encoding);
  }
  static bool b_AsianFont(std::string_view fragment) {
    std::string_view encoding;
    return Encoding(fragment, encoding) && IsAsianEncoding(encoding);
  }
  std::size_t m_skipReopen = 0;   // index of a run reopening to pass over
};

// --- paragraphs -------------------------------------------------------------------------------

std::vector<std::pair<std::size_t, std::size_t>> CQ_MIFBlockBuilder::sast_SplitParagraphs(const CQ_KWXBlock& t,
                                                                                         std::size_t begin,
                                                                                         std::size_t end) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  std::size_t start = begin;
  bool seen = false;
  std::size_t k = begin;
  for (; k < end; ++k) {
    const std::string_view token = t[k];
    if (StartsWith(token, KWX::PREFIX_AF)) {
      k = FrameEnd(t, k, end) - 1;
      continue;
    }
    if (!StartsWith(token, KWX::PREFIX_PS)) continue;
    if (seen) ranges.emplace_back(start, k);
    if (token == KWX::TAG_PS_DUMMY) return ranges;
    if (seen) start = k;
    seen = true;
  }
  if (seen) ranges.emplace_back(start, end);
  return ranges;
}

namespace {

void AppendLines(const CQ_MIFLineBuffer& lines, CQ_MIFLines& out) {
  out.reserve(out.size() + lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) out.emplace_back(lines[i]);
}

}  // namespace

void CQ_MIFBlockBuilder::v_Paragraph(const CQ_KWXBlock& t, std::size_t begin, std::size_t end,
                                     const st_ORGParagraph* org, const std::vector<std::string>& leadingColumns,
                                     CQ_MIFLines& out) const {
  CQ_MIFLineBuffer lines;
  v_Paragraph(t, begin, end, org, leadingColumns, lines);
  AppendLines(lines, out);
}

void CQ_MIFBlockBuilder::v_TextLineContent(const CQ_KWXBlock& t, std::size_t begin, std::size_t end,
                                           CQ_MIFLines& out) const {
  CQ_MIFLineBuffer lines;
  v_TextLineContent(t, begin, end, lines);
  AppendLines(lines, out);
}

void CQ_MIFBlockBuilder::v_Paragraph(const CQ_KWXBlock& t, std::size_t begin, std::size_t end,
                                     const st_ORGParagraph* org, const std::vector<std::string>& leadingColumns,
                                     CQ_MIFLineBuffer& out) const {
  const CQ_TagMap& tags = *m_stContext.pcco_Tags;
  // Header: the <ps> counterpart (tokens before it join the text) and the
  // <pn> counterpart.
  std::size_t psAt = begin;
  while (psAt < end && !StartsWith(t[psAt], KWX::PREFIX_PS)) ++psAt;
  // The header's lines are views of the tag map's fragments (or of the ORG
  // paragraph's lines), copied only into out. The <ps> fragment's lines
  // are split once for every paragraph of that tag where the context keeps
  // them.
  const CQ_TagText* psFragment = nullptr;
  std::vector<std::string_view>& number = rco_Scratch().vec_Number;
  number.clear();
  std::size_t contentBegin = begin;
  if (psAt < end) {
    psFragment = Find(tags, t[psAt]);
    std::size_t next = psAt + 1;
    if (next < end && StartsWith(t[next], KWX::PREFIX_PN)) {
      if (const CQ_TagText* fragment = Find(tags, t[next])) SplitFragmentViews(*fragment, number);
      ++next;
    }
    contentBegin = next;
  }
  const st_HeaderLines* headerLines = nullptr;
  if (m_stContext.pco_Headers) {
    const auto [it, added] = m_stContext.pco_Headers->try_emplace(psFragment);
    if (added) sv_SplitHeader(psFragment, it->second);
    headerLines = &it->second;
  } else {
    sv_SplitHeader(psFragment, rco_Scratch().st_Header);
    headerLines = &rco_Scratch().st_Header;
  }
  const std::vector<std::string_view>& header = headerLines->lst_Lines;

  bool orgHeader = false;
  if (org) {
    // The ORG statements when the tags still stand for them: same lines
    // but the Unique statement, whatever their order.
    std::vector<std::string_view>& theirs = rco_Scratch().vec_Theirs;
    theirs.clear();
    for (const std::string_view l : org->lst_Header) {
      if (!IsUniqueStatement(l) && !IsEmptyNumString(l)) theirs.emplace_back(l);
    }
    if (headerLines->lst_Compared.size() + number.size() == theirs.size()) {
      std::vector<std::string_view>& mine = rco_Scratch().vec_Mine;
      mine.assign(headerLines->lst_Compared.begin(), headerLines->lst_Compared.end());
      mine.insert(mine.end(), number.begin(), number.end());
      // Mostly the lines come in the same order; only otherwise are they
      // compared sorted.
      orgHeader = mine == theirs;
      if (!orgHeader) {
        std::sort(mine.begin(), mine.end());
        std::sort(theirs.begin(), theirs.end());
        orgHeader = mine == theirs;
      }
    }
  }
  if (orgHeader) {
    for (const std::string_view l : org->lst_Header) out.v_Add(l);
  } else {
    // The ORG paragraph's Unique statement goes where it stood, or last.
    std::size_t uniqueAt = header.size() + 1;
    std::string_view unique;
    if (org) {
      for (std::size_t i = 0; i < org->lst_Header.size(); ++i) {
        if (IsUniqueStatement(org->lst_Header[i])) {
          uniqueAt = std::min(i, header.size());
          unique = org->lst_Header[i];
          break;
        }
      }
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (i == uniqueAt) out.v_Add(unique);
      out.v_Add(header[i]);
    }
    if (uniqueAt == header.size()) out.v_Add(unique);
    for (const std::string_view l : number) out.v_Add(l);
  }

  // Text, with the column statements of the ORG paragraph.
  std::vector<std::pair<std::size_t, std::string>> columns;
  for (const std::string& c : leadingColumns) columns.emplace_back(0, c);
  if (org && !org->vec_Columns.empty()) {
    CWriter counter(*this, nullptr, true);
    if (psAt > begin) counter.Content(t, begin, psAt);
    counter.Content(t, contentBegin, end);
    const std::size_t total = counter.UnitCount();
    for (const auto& [at, line] : org->vec_Columns) {
      std::size_t position = at;
      if (total != org->n_Units) {
        position = org->n_Units == 0 ? 0 : static_cast<std::size_t>(static_cast<double>(at) * total / org->n_Units);
      }
      columns.emplace_back(position, line);
    }
  }
  CWriter writer(*this, &out, true);
  writer.SetColumns(std::move(columns));
  if (org && m_stContext.pcco_RunTags && m_stContext.pcco_Source) {
    // Runs forward conversion dropped, each before the next font change of
    // the ORG paragraph that the text still has.
    const auto& runTags = *m_stContext.pcco_RunTags;
    const auto& fonts = org->vec_Fonts;
    std::vector<CWriter::Drop> drops;
    for (std::size_t i = 0; i < fonts.size(); ++i) {
      const auto it = runTags.find(fonts[i].first);
      if (it == runTags.end() || m_stContext.pcco_Source->b_UsesRunTag(it->second)) continue;
      CWriter::Drop drop{fonts[i].first, std::string(), true};
      for (std::size_t j = i + 1; j < fonts.size(); ++j) {
        const auto next = runTags.find(fonts[j].first);
        if (next == runTags.end() || !m_stContext.pcco_Source->b_UsesRunTag(next->second)) continue;
        drop.anchor = next->second;
        drop.reset = !(j == i + 1 && !fonts[i].second);
        break;
      }
      drops.push_back(std::move(drop));
    }
    writer.SetDrops(std::move(drops));
  }
  if (psAt > begin) writer.Content(t, begin, psAt);
  writer.Content(t, contentBegin, end);
  writer.Finish();
  out.v_Add("> # end of Para");
}

void CQ_MIFBlockBuilder::sv_SplitHeader(const CQ_TagText* fragment, st_HeaderLines& header) {
  header.lst_Lines.clear();
  header.lst_Compared.clear();
  if (fragment) SplitFragmentViews(*fragment, header.lst_Lines);
  if (header.lst_Lines.empty() || !HasKeyword(header.lst_Lines.front(), "Para")) {
    header.lst_Lines.insert(header.lst_Lines.begin(), std::string_view("<Para"));
  }
  for (const std::string_view l : header.lst_Lines) {
    if (!IsEmptyNumString(l)) header.lst_Compared.push_back(l);
  }
}

void CQ_MIFBlockBuilder::v_TextLineContent(const CQ_KWXBlock& t, std::size_t begin, std::size_t end,
                                           CQ_MIFLineBuffer& out) const {
  CWriter writer(*this, &out, false);
  writer.Content(t, begin, end);
  writer.Finish();
}

void CQ_MIFBlockBuilder::v_Fragment(std::string_view fragment, CQ_MIFLineBuffer& out) const {
  // Views of the fragment's lines; only what goes out is copied.
  std::vector<std::string_view>& lines = rco_Scratch().vec_Views;
  lines.clear();
  SplitFragmentLines(fragment, lines);
  if (m_stContext.pco_Inline) {
    // Depths are counted only where the restore needs them.
    m_stContext.pco_Inline->v_RestoreViews(lines, out);
  } else {
    for (const std::string_view l : lines) out.v_Add(l);
  }
}

// --- markers -----------------------------------------------------------------------------------

void CQ_MIFBlockBuilder::v_Marker(const CQ_KWXBlock& t, std::size_t begin, std::size_t end,
                                  CQ_MIFLineBuffer& out) const {
  const std::string_view opening = t[begin];
  const bool index = StartsWith(opening, KWX::PREFIX_IMK) || opening == KWX::TAG_IMK;
  const std::size_t textEnd = (end > begin + 1 && (t[end - 1] == KWX::TAG_MK_CLOSE || t[end - 1] == KWX::TAG_IMK_CLOSE))
                                  ? end - 1
                                  : end;
  const CQ_MIFTextWriter::ET_Mode mode = index ? CQ_MIFTextWriter::MODE_INDEX : CQ_MIFTextWriter::MODE_MARKER;
  if (opening == KWX::TAG_IMK) {
    // An index marker the translator added.
    out.v_Add("<Marker");
    out.v_Add("<MType 2>");
    out.v_Add("<MText `", m_stContext.pcco_TextWriter->ccs_Write(t, begin + 1, textEnd, mode, m_stContext.cs_DefaultFont),
              "'>");
    out.v_Add("> # end of Marker");
    return;
  }
  const CQ_TagText* fragment = Find(*m_stContext.pcco_Tags, opening);
  if (!fragment) return;
  // The marker's lines go out at once; its MText line is replaced when the
  // text changed.
  const std::size_t first = out.size();
  v_Fragment(*fragment, out);
  const CQ_KWXBlock* source = m_stContext.pcco_Source ? m_stContext.pcco_Source->pcco_FindMarker(opening) : nullptr;
  if (source && KWXBack::sb_SameJoinedTextRuns(*source, 0, source->size(), t, begin, end)) return;
  const std::size_t n = out.size();
  long depth = 0;
  std::size_t mtext = n;
  for (std::size_t i = first; i < n; ++i) {
    const int net = NetDepth(out[i]);
    // A statement: its depth, at most 0, is known already.
    if (depth == 1 && net <= 0 && HasKeyword(out[i], "MText")) {
      mtext = i;
      break;
    }
    depth += net;
  }
  std::string_view spelling = m_stContext.cs_DefaultFont;
  if (mtext < n) {
    std::string raw;
    MIFSyntax::StringValue(out[mtext], raw);
    const std::string_view own = CQ_MIFTextWriter::scs_DefaultFontSpelling(raw);
    if (!own.empty()) spelling = own;
  }
  const std::string text = m_stContext.pcco_TextWriter->ccs_Write(t, begin + 1, textEnd, mode, spelling);
  // The new line goes in place of the MText line, or before the marker's
  // last line when it has none; the lines after it follow again.
  std::size_t at = mtext;
  std::size_t resume = mtext + 1;
  if (mtext == n) {
    if (n == first) return;
    at = n - 1;
    resume = n - 1;
  }
  const std::string_view all = out.sv_Text();
  const std::string tail(resume < n ? all.substr(static_cast<std::size_t>(out[resume].data() - all.data())) : std::string_view());
  out.v_Truncate(at);
  out.v_Add("<MText `", text, "'>");
  out.v_AddLines(tail);
}
