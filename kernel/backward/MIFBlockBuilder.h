// Rebuilding MIF from KWX blocks: paragraphs, text-line content and
// markers.
//
// A paragraph is written from its tokens: the <ps> tag gives the "<Para"
// line and the paragraph's format statements (its MIF counterpart), a <pn>
// tag the PgfNumString statement before the first ParaLine; text goes into
// String statements (never longer than MAX_STRING bytes of content, never
// split inside an escape) and FrameMaker's special characters into Char
// statements; a hard return ends its ParaLine and opens the next. Tags
// write their MIF counterparts: fonts, conditions, variables,
// cross-references, markers with their text rewritten, and the anchors of
// tables (<ATbl ID>), frames (<AFrame ID>) and footnotes (<FNote ID>).
// Blocks of other objects that sit in the tokens (a frame's own text
// columns) are skipped: their own passes place them.
//
// What the KWX file does not carry comes from the ORG copy when the caller
// gives the ORG paragraph the tokens stand for: the paragraph's Unique
// statement, its format statements in their original order when the tag
// still stands for them, and its TextRectID statements, each put back at
// the same position in the text (scaled to the translated text's length).
// Objects inside the text whose counterpart lost its Unique statement
// (markers, cross-references, variables) get it back from the ORG copy
// through CQ_MIFInlineObjects.
//
// Output lines are trimmed MIF lines without line ends. Nothing here
// throws beyond std::bad_alloc.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "System/Export.h"
#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/backward/MIFEscaping.h"
#include "kernel/backward/MIFTextWriter.h"
#include "kernel/forward/MIFSyntax.h"
#include "kernel/session/Communication.h"

// The lines of one block of the ORG copy as the MIF pass reads it, kept
// compactly: for each line where it is, its length and its net bracket
// depth. A line added with v_Add is copied into chunks that never move
// once written; one added with v_AddView stays where it is (the ORG text
// held in memory for the whole pass), so a block costs 16 bytes a line.
// Lines are views, valid until v_Clear (and, for those added as views,
// while their storage lives).
class OSTRAKON_API CQ_MIFBlockLines {
 public:
  CQ_MIFBlockLines();
  ~CQ_MIFBlockLines();
  CQ_MIFBlockLines(const CQ_MIFBlockLines&) = delete;
  CQ_MIFBlockLines& operator=(const CQ_MIFBlockLines&) = delete;

  // Removes every line; a first chunk of the usual size is kept for the
  // next block.
  void v_Clear();
  // Appends a copy of line, with its net depth (NetDepth of the line).
  void v_Add(std::string_view line, int net);
  // Appends line itself, not a copy: its bytes must stay where they are
  // while the block is used. Inline: it runs once for every line of a block.
  void v_AddView(std::string_view line, int net) {
    if (line.size() > UINT32_MAX) throw std::length_error("MIF line too long");
    v_AddEntry(line.data(), line.size(), net);
  }

  std::size_t size() const { return m_nLines; }
  bool empty() const { return m_nLines == 0; }
  std::string_view operator[](std::size_t i) const {
    const st_Line& l = rco_Line(i);
    return std::string_view(l.pc_Data, l.n_Size);
  }
  std::string_view front() const { return (*this)[0]; }
  std::string_view back() const { return (*this)[m_nLines - 1]; }
  int i_Net(std::size_t i) const { return rco_Line(i).i_Net; }
  // Lines are marked as they are added when they may open an inline object
  // (they open a block and their name begins with M, X, V, E or T) or name
  // a statement beginning with T (TextRectID): scans for those read the
  // marked lines instead of every line. The indices of the marked lines,
  // in order, and where those at or after `begin` start among them; blocks
  // are mostly asked for one after the other, so the search starts where
  // the last one ended.
  const std::vector<std::size_t>& rco_Marked() const { return m_marks; }
  std::size_t n_FirstMarked(std::size_t begin) const {
    std::size_t k = m_nMarkHint;
    if (k > m_marks.size() || (k < m_marks.size() && m_marks[k] < begin) || (k > 0 && m_marks[k - 1] >= begin)) {
      k = static_cast<std::size_t>(std::lower_bound(m_marks.begin(), m_marks.end(), begin) - m_marks.begin());
    }
    return k;
  }
  // Remembers where the marked lines of the block asked for end (the next
  // block's start, mostly).
  void v_MarkedHint(std::size_t k) const { m_nMarkHint = k; }
  // Calls f(i, line, net) for every line i in [begin, end) in order, until
  // f returns false; returns where it stopped (end when it did not). The
  // entries are walked table by table, for scans over long blocks.
  template <class F>
  std::size_t n_Walk(std::size_t begin, std::size_t end, F&& f) const {
    std::size_t i = begin;
    while (i < end) {
      const st_Line* const table = m_lineTables[i >> LINE_TABLE_BITS].get();
      const std::size_t stop = std::min(end, ((i >> LINE_TABLE_BITS) + 1) << LINE_TABLE_BITS);
      for (; i < stop; ++i) {
        const st_Line& l = table[i & (LINE_TABLE_SIZE - 1)];
        if (!f(i, std::string_view(l.pc_Data, l.n_Size), static_cast<int>(l.i_Net))) return i;
      }
    }
    return end;
  }

 private:
  struct st_Line {
    const char* pc_Data;
    std::uint32_t n_Size;
    std::int32_t i_Net;
  };
  struct st_Chunk;
  // Line entries in tables of a fixed size, so that an entry is found with
  // a shift and a mask and a growing block never copies the entries.
  static constexpr std::size_t LINE_TABLE_BITS = 12;
  static constexpr std::size_t LINE_TABLE_SIZE = std::size_t(1) << LINE_TABLE_BITS;
  const st_Line& rco_Line(std::size_t i) const {
    return m_lineTables[i >> LINE_TABLE_BITS][i & (LINE_TABLE_SIZE - 1)];
  }
  void v_AddEntry(const char* data, std::size_t size, int net) {
    if (m_pNext == m_pTableEnd) v_NextTable();
    // One byte's class decides for most lines.
    if (size >= 2) {
      const unsigned char mark = kMarkClass[static_cast<unsigned char>(data[1])];
      if (mark != 0 && (mark == MARK_ALWAYS || net > 0) && data[0] == '<') m_marks.push_back(m_nLines);
    }
    *m_pNext++ = st_Line{data, static_cast<std::uint32_t>(size), static_cast<std::int32_t>(net)};
    ++m_nLines;
  }
  // Makes the table of entry m_nLines, made before or new, the one entries
  // are added to.
  void v_NextTable();
  std::vector<std::unique_ptr<st_Line[]>> m_lineTables;
  std::size_t m_nLines = 0;
  st_Line* m_pNext = nullptr;  // where the next entry goes
  st_Line* m_pTableEnd = nullptr;  // the end of its table
  std::vector<st_Chunk> m_chunks;
  std::vector<std::size_t> m_marks;  // the marked lines (rco_Marked)
  mutable std::size_t m_nMarkHint = 0;
  // Second bytes of marked lines: always, or when the line opens a block.
  enum : unsigned char { MARK_NEVER = 0, MARK_ALWAYS = 1, MARK_OPENING = 2 };
  static constexpr std::array<unsigned char, 256> kMarkClass = [] {
    std::array<unsigned char, 256> classes{};
    classes['T'] = MARK_ALWAYS;
    for (const unsigned char c : {'M', 'X', 'V', 'E'}) classes[c] = MARK_OPENING;
    return classes;
  }();
};

// The lines of text held in memory, exactly as CQ_MIFLineReader reads
// them: CR and LF both end a line, a line is trimmed of blank, tab, CR,
// LF, vertical tab and form feed, and lines of white space only are
// skipped. Lines are views of the text. The ORG copy, whose writer trimmed
// every line and ended it with one "\n", costs one search for the line
// feed and a look at the line's first and last bytes a line: the next CR
// is searched for once and kept until the position passes it, as is the
// next LF, so that no byte is searched twice for either, whatever the mix.
//
// Given the lengths of its first lines as a reader found them over the
// same text (CQ_MIFPreScan::rco_GetLineLengths), those lines are taken
// without a search for their ends: a line begins at the first byte after
// the one before that is not trimmed, and runs for its length (a line too
// long for its note is searched for its end). The lines after them are
// split as above.
class OSTRAKON_API CQ_MIFHeldLines {
 public:
  explicit CQ_MIFHeldLines(std::string_view text) : CQ_MIFHeldLines(text, nullptr, 0) {}
  // lengths: those of the text's first `count` lines as the line reader
  // gives them, 255 for a line of 255 bytes or more; they must stay for the
  // reading.
  CQ_MIFHeldLines(std::string_view text, const std::uint8_t* lengths, std::size_t count)
      : m_pPos(text.data()),
        m_pEnd(text.data() + text.size()),
        m_pLength(lengths),
        m_pLengthsEnd(lengths + count),
        m_pNextLF(m_pPos),
        m_pNextCR(m_pPos) {
    // With lengths, the line ends are searched for only after a line was
    // taken by its length, so beyond the text's start, where the ends noted
    // here lie before the position and are searched again.
    if (count > 0) {
      m_pPos = pc_SkipTrimmed(m_pPos);
    } else {
      v_Resume();
    }
  }

  // The next line; false at the end of the text. Inline: it runs once a
  // line of the ORG copy.
  [[gnu::always_inline]] bool b_Next(std::string_view& line) {
    if (m_pLength != m_pLengthsEnd) {
      const char* const begin = m_pPos;
      const std::size_t length = *m_pLength++;
      const char* end = begin + length;
      // A length that does not fit its note is searched for; so is one
      // that cannot be a line's here (notes of another text).
      // (0 and 255 are told by one unsigned comparison.)
      if (length - 1 >= 254 || length > static_cast<std::size_t>(m_pEnd - begin)) [[unlikely]] {
        end = pc_LineEnd(begin, m_pEnd);
      }
      if (end != begin) [[likely]] {
        // The next line begins at the first byte after this one that is
        // not trimmed; in the ORG copy, the one after its line feed.
        m_pPos = end + 1 < m_pEnd && end[0] == '\n' && !MIFSyntax::IsTrimSpace(end[1]) ? end + 1 : pc_SkipTrimmed(end);
        line = std::string_view(begin, static_cast<std::size_t>(end - begin));
        return true;
      }
      // No line left where one was noted: the notes end here (perhaps
      // before any line was taken).
      m_pLength = m_pLengthsEnd;
      v_Resume();
    }
    while (m_pPos < m_pEnd) {
      const char* const begin = m_pPos;
      if (m_pNextLF < begin) m_pNextLF = pc_FindLineFeed(begin);
      if (m_pNextCR < begin) m_pNextCR = pc_Find(begin, '\r');
      const char* const stop = m_pNextLF < m_pNextCR ? m_pNextLF : m_pNextCR;
      m_pPos = stop < m_pEnd ? stop + 1 : m_pEnd;
      std::string_view l(begin, static_cast<std::size_t>(stop - begin));
      if (l.empty()) continue;
      // Every byte Trim removes is at most a blank.
      if (static_cast<unsigned char>(l.front()) <= ' ' || static_cast<unsigned char>(l.back()) <= ' ') {
        l = MIFSyntax::Trim(l);
        if (l.empty()) continue;
      }
      line = l;
      return true;
    }
    return false;
  }

 private:
  // The first line feed at or after from, or the end. Most lines are
  // short: where SSE2 is there, their first 32 bytes are tested in place
  // before the library search takes over.
  const char* pc_FindLineFeed(const char* from) const {
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (int step = 0; step < 2 && m_pEnd - from >= 16; ++step, from += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, lineFeed));
      if (mask != 0) return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    return pc_Find(from, '\n');
  }
  // The first c at or after from, or the end.
  const char* pc_Find(const char* from, char c) const {
    if (from == m_pEnd) return m_pEnd;
    const void* found = std::memchr(from, c, static_cast<std::size_t>(m_pEnd - from));
    return found ? static_cast<const char*>(found) : m_pEnd;
  }
  // Splitting takes over from the notes at the position.
  void v_Resume() {
    m_pNextLF = pc_Find(m_pPos, '\n');
    m_pNextCR = pc_Find(m_pPos, '\r');
  }
  // The first byte at or after from that is not trimmed (CR and LF are),
  // or the end.
  const char* pc_SkipTrimmed(const char* from) const {
    while (from < m_pEnd && MIFSyntax::IsTrimSpace(*from)) ++from;
    return from;
  }
  // The end of the line that begins at begin, whose line end, if any, lies
  // before limit: the first CR or LF or limit, trimmed bytes before it
  // left out.
  static const char* pc_LineEnd(const char* begin, const char* limit) {
    if (begin == limit) return begin;
    const void* lf = std::memchr(begin, '\n', static_cast<std::size_t>(limit - begin));
    if (lf) limit = static_cast<const char*>(lf);
    const void* cr = std::memchr(begin, '\r', static_cast<std::size_t>(limit - begin));
    const char* end = cr ? static_cast<const char*>(cr) : limit;
    while (end > begin && MIFSyntax::IsTrimSpace(end[-1])) --end;
    return end;
  }

  const char* m_pPos;
  const char* m_pEnd;
  // The lengths of the first lines not yet read (CQ_MIFPreScan::rco_GetLineLengths).
  const std::uint8_t* m_pLength;
  const std::uint8_t* m_pLengthsEnd;
  // Where the next LF and CR are (m_pEnd when there is none); one before
  // the position is searched again.
  const char* m_pNextLF;
  const char* m_pNextCR;
};

// Output lines kept one after the other in one buffer, "\n" after each, so
// that writing a line costs no allocation of its own once the buffer has
// grown, and the lines go on as one stretch of text.
class OSTRAKON_API CQ_MIFLineBuffer {
 public:
  CQ_MIFLineBuffer() = default;
  CQ_MIFLineBuffer(const CQ_MIFLineBuffer&) = delete;
  CQ_MIFLineBuffer& operator=(const CQ_MIFLineBuffer&) = delete;

  // Inline, with one copy a piece: a paragraph writes every line here. A
  // short line that fits calls nothing; a longer one, or one that needs
  // room, goes out of line.
  void v_Add(std::string_view line) {
    if (line.size() > 32 || m_nCapacity - m_nSize <= line.size() || m_nLines == m_nStartsCapacity) [[unlikely]] {
      v_AddLong(line);
      return;
    }
    m_pStarts[m_nLines++] = m_nSize;
    char* const at = m_pText.get() + m_nSize;
    m_nSize += line.size() + 1;
    sv_Copy(at, line.data(), line.size());
    at[line.size()] = '\n';
  }
  // Appends the line a + b + c. Piece by piece, so that where a and c are
  // constants (a statement's name and end) their copies are of known size.
  void v_Add(std::string_view a, std::string_view b, std::string_view c) {
    char* at = pc_Room(a.size() + b.size() + c.size() + 1);
    if (!a.empty()) std::memcpy(at, a.data(), a.size());
    at += a.size();
    sv_Copy(at, b.data(), b.size());
    at += b.size();
    if (!c.empty()) std::memcpy(at, c.data(), c.size());
    at += c.size();
    *at = '\n';
  }
  void v_PopBack() { m_nSize = m_pStarts[--m_nLines]; }
  // Keeps the first n lines.
  void v_Truncate(std::size_t n) {
    if (n >= m_nLines) return;
    m_nSize = m_pStarts[n];
    m_nLines = n;
  }
  // Appends whole lines, "\n" after each.
  void v_AddLines(std::string_view lines) {
    if (lines.empty()) return;
    const std::size_t base = m_nSize;
    std::memcpy(pc_Room(lines.size()), lines.data(), lines.size());
    --m_nLines;  // pc_Room's entry; the lines' own follow
    std::size_t from = 0;
    while (from < lines.size()) {
      if (m_nLines == m_nStartsCapacity) v_Grow(0);
      m_pStarts[m_nLines++] = base + from;
      from = lines.find('\n', from);
      from = from == std::string_view::npos ? lines.size() : from + 1;
    }
  }
  // Removes every line; the buffer keeps its room.
  void clear() {
    m_nSize = 0;
    m_nLines = 0;
  }
  std::size_t size() const { return m_nLines; }
  bool empty() const { return m_nLines == 0; }
  std::string_view operator[](std::size_t i) const {
    const std::size_t end = (i + 1 < m_nLines ? m_pStarts[i + 1] : m_nSize) - 1;
    return std::string_view(m_pText.get() + m_pStarts[i], end - m_pStarts[i]);
  }
  // Where line i begins in sv_Text().
  std::size_t n_Start(std::size_t i) const { return m_pStarts[i]; }
  // Every line with "\n" after each.
  std::string_view sv_Text() const { return std::string_view(m_pText.get(), m_nSize); }

 private:
  // Copies size bytes. Most lines are short: up to 32 bytes go as two
  // pieces of a fixed size, which may overlap, read and written within the
  // bytes given, with no call to the library.
  static void sv_Copy(char* to, const char* from, std::size_t size) {
    if (size > 32) {
      std::memcpy(to, from, size);
    } else if (size >= 16) {
      std::memcpy(to, from, 16);
      std::memcpy(to + size - 16, from + size - 16, 16);
    } else if (size >= 8) {
      std::memcpy(to, from, 8);
      std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + size - 4, from + size - 4, 4);
    } else {
      for (std::size_t i = 0; i < size; ++i) to[i] = from[i];
    }
  }
  // Room for size more bytes at the end, recorded as the start of a line.
  // The growth is out of line, so that the common case is a few
  // instructions with nothing to save around a call.
  char* pc_Room(std::size_t size) {
    if (m_nCapacity - m_nSize < size || m_nLines == m_nStartsCapacity) [[unlikely]] v_Grow(size);
    m_pStarts[m_nLines++] = m_nSize;
    char* const at = m_pText.get() + m_nSize;
    m_nSize += size;
    return at;
  }
  // Makes room for size more bytes and one more line start.
  void v_Grow(std::size_t size);
  // v_Add of a line longer than 32 bytes or one that needs room.
  void v_AddLong(std::string_view line);

  std::unique_ptr<char[]> m_pText;
  std::size_t m_nSize = 0;
  std::size_t m_nCapacity = 0;
  // Where each line begins; the entries from m_nLines on are room.
  // (An array with its room counted here, so that adding a line reads two
  // counts and no vector's bounds.)
  std::unique_ptr<std::size_t[]> m_pStarts;
  std::size_t m_nStartsCapacity = 0;
  std::size_t m_nLines = 0;
};

// Blocks of the ORG copy that stand inside text and carry a Unique
// statement (markers, cross-references, variables, elements, text insets),
// found by their text without the Unique statement. Counterparts in the tag
// map are those texts, since forward conversion reads text with its Unique
// lines removed.
//
// Blocks are recorded by their place; a block to restore is matched by a
// hash of its text, line by line, and then compared line by line with the
// ORG blocks of that hash, so no text is copied to be looked up. Objects
// mostly come back in their ORG order: a block that is the text of the
// first unused place takes that place without a look-up, and one that is
// the text of the place after the last one restored ends where that text
// does, without its lines' depths counted (the ORG blocks are hashed only
// when a look-up is needed).
class OSTRAKON_API CQ_MIFInlineObjects {
 public:
  // Records every such block in lines[begin, end), at any depth, by its
  // place: the lines must stay as they are while the object is used.
  void v_Scan(const CQ_MIFBlockLines& lines, std::size_t begin, std::size_t end);
  // Appends lines to out, replacing each recorded block (without its
  // Unique) by the next unused ORG block of the same text.
  void v_Restore(const CQ_MIFLines& lines, CQ_MIFLines& out);
  // The same for lines that are not needed afterwards: the lines not
  // replaced are moved to out.
  void v_RestoreMoving(CQ_MIFLines& lines, CQ_MIFLines& out);
  // The same for lines that are views (of a tag map fragment).
  void v_RestoreViews(const std::vector<std::string_view>& lines, CQ_MIFLines& out);
  // The same, appending to a line buffer.
  void v_Restore(const CQ_MIFLines& lines, CQ_MIFLineBuffer& out);
  void v_RestoreViews(const std::vector<std::string_view>& lines, CQ_MIFLineBuffer& out);
  // The same for views whose net depths the caller counted already
  // (nets[i] is NetDepth of lines[i]): no line's depth is counted again.
  void v_RestoreViews(const std::vector<std::string_view>& lines, const std::vector<int>& nets, CQ_MIFLineBuffer& out);
  void v_Clear() {
    m_places.clear();
    m_chains.clear();
    m_nChained = 0;
    m_nKinds = 0;
    m_nNextPlace = 0;
    m_nFirstUnused = 0;
  }

 private:
  static constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  struct st_Place {
    const CQ_MIFBlockLines* pcco_Lines;
    std::size_t n_Begin;
    std::size_t n_End;
    std::size_t n_NextSameHash = NONE;  // the next place of the same hash, in order
    bool b_Used = false;
    // The block ends where its depth comes back and its own Unique
    // statements change no depth: text equal to its text (without them)
    // ends where its text does.
    bool b_Closed = false;
  };
  // The places of one hash in order: the first, the last, and the first
  // that may still be unused.
  struct st_Chain {
    std::size_t n_First;
    std::size_t n_Last;
    std::size_t n_Next;
  };
  std::vector<st_Place> m_places;
  std::unordered_map<std::uint64_t, st_Chain> m_chains;
  // The place after the last one restored.
  std::size_t m_nNextPlace = 0;
  std::size_t m_nFirstUnused = 0;  // every place before it is used
  // Places are hashed into their chains only when a block is looked up by
  // its text (the first m_nChained are).
  std::size_t m_nChained = 0;
  void v_ChainPlaces();
  // The kinds of object (Marker, XRef, ...) some place is of, one bit each.
  unsigned m_nKinds = 0;

  // The number of lines from lines[begin] on, before end, that the text
  // of the ORG block at place equals, or NONE when the lines there are not
  // its text or end before it does.
  template <class Lines>
  static std::size_t sn_MatchedLength(const st_Place& place, const Lines& lines, std::size_t begin, std::size_t end);

  // The number of lines from lines[begin] on that the text of the ORG
  // block at place equals, or 0 when the lines that follow are not its
  // text.
  template <class Lines>
  static std::size_t sn_TextLength(const st_Place& place, const Lines& lines, std::size_t begin) {
    const std::size_t length = sn_MatchedLength(place, lines, begin, lines.size());
    return length == NONE ? 0 : length;
  }

  // Whether the text of the ORG block at place is lines[begin, end).
  template <class Lines>
  static bool sb_SameText(const st_Place& place, const Lines& lines, std::size_t begin, std::size_t end) {
    return sn_MatchedLength(place, lines, begin, end) == end - begin;
  }
  // netOf(i): the net depth of lines[i].
  template <class Lines, class Out, class Net>
  void v_RestoreLines(Lines& lines, Out& out, Net&& netOf);
};

// A paragraph of the ORG copy, as far as rebuilding needs it.
struct OSTRAKON_API st_ORGParagraph {
  const CQ_MIFBlockLines* pco_Lines = nullptr;
  std::size_t n_Begin = 0;  // the "<Para" line
  std::size_t n_End = 0;    // one past "> # end of Para"

  // The statements before the first ParaLine, "<Para" included: views of
  // the block's lines.
  std::vector<std::string_view> lst_Header;
  // Its TextRectID statements with the number of text units before each.
  std::vector<std::pair<std::size_t, std::string>> vec_Columns;
  // Text units of the whole paragraph (see CQ_MIFEscaping); counted only
  // when it has a TextRectID statement (0 otherwise), as only columns are
  // placed by them.
  std::size_t n_Units = 0;
  // Its Font statements in the text, in order: the block's text ("\n"
  // after each line) and whether text or another statement follows before
  // the next Font statement.
  std::vector<std::pair<std::string, bool>> vec_Fonts;

  // Reads the Para block lines[begin, end). sourceHyphenation 0: soft
  // hyphens that end a ParaLine count nothing, as forward conversion
  // removes them. fonts false: vec_Fonts is left empty, for a caller that
  // knows no Font statement of the paragraph can be one to put back.
  void v_Read(const CQ_MIFBlockLines& lines, std::size_t begin, std::size_t end, int sourceHyphenation,
              bool fonts = true);
};

class OSTRAKON_API CQ_MIFBlockBuilder {
 public:
  // Longest content of one String statement, in bytes.
  static constexpr std::size_t MAX_STRING = 200;

  // A tag fragment as the writer puts it into text: its lines without
  // pseudo lines and comments, and its text units.
  struct st_FragmentLines {
    CQ_MIFLines lst_Lines;
    std::size_t n_Units = 0;
    // A line opens an inline object (whose Unique statement may come back).
    bool b_InlineObjects = false;
  };
  // Fragments of the tags that repeat (character formats, font changes,
  // conditions), by their address in the tag map.
  using CQ_FragmentCache = std::unordered_map<const CQ_TagText*, st_FragmentLines>;

  // The lines a paragraph tag's fragment gives a paragraph's header, as
  // views of the tag map's text: its lines with "<Para" first, and the same
  // without empty autonumber strings (which the ORG header is compared
  // with).
  struct st_HeaderLines {
    std::vector<std::string_view> lst_Lines;
    std::vector<std::string_view> lst_Compared;
  };
  // Headers by the address of their fragment in the tag map (null: a
  // paragraph without one): paragraph tags repeat.
  using CQ_HeaderCache = std::unordered_map<const CQ_TagText*, st_HeaderLines>;

  // Lists and strings a paragraph, text line or marker is written with,
  // kept for the next one so that their room is reused. One object serves
  // one writing at a time.
  struct st_Scratch {
    st_HeaderLines st_Header;  // when the context keeps no header cache
    std::vector<std::string_view> vec_Number;
    std::vector<std::string_view> vec_Theirs;
    std::vector<std::string_view> vec_Mine;
    std::vector<std::string_view> vec_Views;  // the lines of a fragment
    std::string s_String;                     // the String statement being filled
    std::string s_Escaped;                    // the escaped text of a token
    std::vector<std::string_view> vec_WriterViews;  // the lines of a fragment the writer puts in
    std::vector<int> vec_WriterNets;                 // their net depths
    bool b_WriterBusy = false;                      // a writer uses the three above
  };

  struct st_Context {
    const CQ_TagMap* pcco_Tags = nullptr;
    const CQ_MIFEscaping* pcco_Escaping = nullptr;
    const CQ_MIFTextWriter* pcco_TextWriter = nullptr;
    // The blocks of the regenerated source lists: a marker whose tokens
    // are unchanged keeps its text as the ORG copy wrote it.
    const CQ_KWXBlockCollector* pcco_Source = nullptr;
    // Inline objects of the ORG object being rebuilt; may be null.
    CQ_MIFInlineObjects* pco_Inline = nullptr;
    // Character-format and font-change tags by their Font statement's text
    // ("\n" after each line); may be null. A Font statement of an ORG
    // paragraph whose tag the source lists never use was a run forward
    // conversion dropped because no text followed it; it is put back where
    // it stood, before the next font change.
    const std::unordered_map<std::string, std::string>* pcco_RunTags = nullptr;
    // Where fragments of repeating tags are kept once split; may be null.
    // The tag map must not change while it is used.
    CQ_FragmentCache* pco_Fragments = nullptr;
    // Where paragraph headers are kept once split; may be null. The tag map
    // must not change while it is used.
    CQ_HeaderCache* pco_Headers = nullptr;
    // The spelling of the default-font block in the document's markers.
    std::string_view cs_DefaultFont = CQ_MIFTextWriter::DEFAULT_FONT_SIGN;
    int i_SourceHyphenation = 1;
    // Lists and strings shared by the builders of one pass; may be null (the
    // builder keeps its own).
    st_Scratch* pco_Scratch = nullptr;
  };

  explicit CQ_MIFBlockBuilder(const st_Context& context)
      : m_stContext(context),
        m_coWestern(CQ_MIFEscaping::sco_WesternBytes(context.pcco_Escaping ? context.pcco_Escaping->i_CodePage() : 1252)),
        m_coDefaultRun(context.pcco_Escaping ? CQ_MIFEscaping::sco_WesternText(*context.pcco_Escaping)
                                             : CQ_MIFEscaping(false, 1252)) {}

  // Token ranges [begin, end) of the paragraphs in tokens[begin, end): each
  // starts at a <ps ...> tag (tokens before the first one join it); a
  // dummy paragraph <ps "" 0> ends the list; anchored frames' tokens are
  // passed over.
  static std::vector<std::pair<std::size_t, std::size_t>> sast_SplitParagraphs(const CQ_KWXBlock& tokens,
                                                                              std::size_t begin, std::size_t end);

  // Writes one paragraph. org: the ORG paragraph the tokens stand for, or
  // null. leadingColumns: TextRectID statements to put at the paragraph's
  // start besides those of org.
  void v_Paragraph(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end, const st_ORGParagraph* org,
                   const std::vector<std::string>& leadingColumns, CQ_MIFLineBuffer& out) const;
  // The same, the lines appended to a list.
  void v_Paragraph(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end, const st_ORGParagraph* org,
                   const std::vector<std::string>& leadingColumns, CQ_MIFLines& out) const;

  // Writes the text of a text line (Font, String and Char statements) from
  // the tokens between <ts N> and </ts>.
  void v_TextLineContent(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end, CQ_MIFLineBuffer& out) const;
  void v_TextLineContent(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end, CQ_MIFLines& out) const;

  // Writes a marker block (tokens[begin] is <mk ...>, <imk N> or <imk>,
  // tokens[end - 1] its closing tag).
  void v_Marker(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end, CQ_MIFLineBuffer& out) const;

  // Writes a fragment of the tag map (MIF text, "\n" after each line) with
  // the Unique statements of inline objects restored.
  void v_Fragment(std::string_view fragment, CQ_MIFLineBuffer& out) const;

  // Text units of the String and Char statements at the outer level of
  // lines (the level of a ParaLine's children).
  static std::size_t sn_CountUnits(const CQ_MIFLines& lines);

 private:
  class CWriter;
  friend class CWriter;

  // The header lines of the paragraph tag whose fragment is given (null:
  // none).
  static void sv_SplitHeader(const CQ_TagText* fragment, st_HeaderLines& header);

  st_Scratch& rco_Scratch() const { return m_stContext.pco_Scratch ? *m_stContext.pco_Scratch : m_stOwnScratch; }

  st_Context m_stContext;
  // In a double-byte code page (character set Normal), a run whose font
  // has a Western encoding (FrameRoman): its single bytes are Windows-1252
  // text, read forward from FrameMaker-code escapes, and are written back
  // as such escapes; so are the code page's characters that forward
  // conversion wrote for FrameMaker characters. A run of a font with an
  // Asian encoding keeps the code page's characters (the context's
  // escaping); any other run is Western text as well, whose FrameMaker
  // characters are written as escapes.
  CQ_MIFEscaping m_coWestern;
  CQ_MIFEscaping m_coDefaultRun;
  mutable st_Scratch m_stOwnScratch;  // when the context brings none
};

// Splits MIF text with "\n" after each line into lines.
OSTRAKON_API CQ_MIFLines lst_SplitFragment(std::string_view fragment);
