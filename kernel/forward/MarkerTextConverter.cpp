// Marker text conversion in one pass over the raw MIF string.
//
// The string is read as units, one FrameMaker character each (a byte, a
// double-byte character kept whole so that a second byte 0x5C never starts
// an escape, or one MIF escape). Only units that can be syntax are decoded:
// stretches of plain bytes are found with one table lookup per byte and
// join the current literal run as they are. Runs of literal units go back
// to the text conversion as raw MIF, so that nothing is decoded twice and
// literal text converts exactly as document text does. Text without syntax
// is therefore one run, converted in one call.
#include "kernel/forward/MarkerTextConverter.h"

#include <array>

#include "kernel/forward/KWXFormat.h"

namespace {

// Decoded value of a unit that is no single FrameMaker character (a
// double-byte character, or a backslash sequence MIF does not define).
constexpr int kOther = -1;

struct Unit {
  std::size_t begin;
  std::size_t end;
  int decoded;
};

// The unit that begins at raw[i] (i < raw.size(), i on a unit boundary).
Unit UnitAt(std::string_view raw, std::size_t i, int codePage, bool doubleByte) {
  const std::size_t n = raw.size();
  const unsigned char c = static_cast<unsigned char>(raw[i]);
  if (doubleByte && i + 1 < n && CQ_TextConverter::sb_IsLeadByte(codePage, c)) return {i, i + 2, kOther};
  if (c != '\\' || i + 1 == n) return {i, i + 1, c};
  const char next = raw[i + 1];
  if (next == 'x' || next == 'X') {
    std::size_t j = i + 2;
    int value = 0;
    while (j < n && j < i + 10 && KWX::b_IsHexDigit(static_cast<unsigned char>(raw[j]))) {
      value = value * 16 + KWX::i_HexValue(static_cast<unsigned char>(raw[j]));
      ++j;
    }
    // Without digits or above 0xFF it is no character escape: kept as
    // written, as the text conversion keeps it.
    if (j == i + 2 || value > 0xFF) return {i, j, kOther};
    if (j < n && raw[j] == ' ') ++j;
    return {i, j, value};
  }
  int decoded = kOther;
  switch (next) {
    case '\\': decoded = '\\'; break;
    case '>': decoded = '>'; break;
    case 't': decoded = '\t'; break;
    case 'Q': decoded = '`'; break;
    case 'q': decoded = '\''; break;
    default: break;
  }
  return {i, i + 2, decoded};
}

// Bytes that begin a unit the syntax may read: a backslash (an escape can
// decode to anything) and '<' always, the index separators in index text.
// Every other byte is a unit that decodes to itself and is literal.
enum : unsigned char { STOP_ALWAYS = 1, STOP_INDEX = 2 };

constexpr std::array<unsigned char, 256> MakeStops() {
  std::array<unsigned char, 256> stops{};
  stops['\\'] = STOP_ALWAYS;
  stops['<'] = STOP_ALWAYS;
  for (unsigned char c : {';', ':', '[', ']'}) stops[c] = STOP_INDEX;
  return stops;
}
constexpr std::array<unsigned char, 256> kStops = MakeStops();

// One past the stretch of plain units that begins at raw[i]. A lead byte
// takes its second byte with it, whatever that byte is; lead bytes are
// never stop bytes.
std::size_t PlainEnd(std::string_view raw, std::size_t i, unsigned char stopMask, int codePage, bool doubleByte) {
  const std::size_t n = raw.size();
  if (!doubleByte) {
    while (i < n && (kStops[static_cast<unsigned char>(raw[i])] & stopMask) == 0) ++i;
    return i;
  }
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (CQ_TextConverter::sb_IsLeadByte(codePage, c)) {
      i += (i + 1 < n) ? 2 : 1;
      continue;
    }
    if ((kStops[c] & stopMask) != 0) break;
    ++i;
  }
  return i;
}

// Characters a backslash makes literal in index-marker text.
bool IsIndexSyntax(int decoded) {
  return decoded == ':' || decoded == ';' || decoded == '[' || decoded == ']' || decoded == '<' ||
         decoded == '>' || decoded == '\\';
}

class Builder {
 public:
  Builder(const CQ_TextConverter& text, unsigned flags, std::string_view raw,
          CQ_MarkerTextConverter::CQ_PieceSink& sink, std::string& pending)
      : m_text(text), m_flags(flags), m_raw(raw), m_sink(sink), m_pending(pending) {
    m_pending.clear();
  }

  // Extends the current literal run by the raw span [begin, end); a run is
  // one stretch of contiguous raw text.
  void Literal(std::size_t begin, std::size_t end) {
    if (m_runOpen && m_runEnd == begin) {
      m_runEnd = end;
      return;
    }
    FlushRun();
    m_runOpen = true;
    m_runBegin = begin;
    m_runEnd = end;
  }

  void Tag(std::string_view text, std::string_view mif) {
    FlushRun();
    FlushText();
    m_sink.v_Tag(text, mif);
  }
  void FixedTag(std::string_view text, std::string_view mif) {
    FlushRun();
    FlushText();
    m_sink.v_FixedTag(text, mif);
  }

  void Finish() {
    FlushRun();
    FlushText();
  }

 private:
  void FlushRun() {
    if (!m_runOpen) return;
    m_text.v_AppendConverted(m_raw.substr(m_runBegin, m_runEnd - m_runBegin), m_flags, m_pending);
    m_runOpen = false;
  }
  void FlushText() {
    if (m_pending.empty()) return;
    m_sink.v_Text(m_pending);
    m_pending.clear();
  }

  const CQ_TextConverter& m_text;
  unsigned m_flags;
  std::string_view m_raw;
  CQ_MarkerTextConverter::CQ_PieceSink& m_sink;
  std::string& m_pending;
  bool m_runOpen = false;
  std::size_t m_runBegin = 0;
  std::size_t m_runEnd = 0;
};

// Collects the pieces for ast_Convert.
class VectorSink final : public CQ_MarkerTextConverter::CQ_PieceSink {
 public:
  explicit VectorSink(std::vector<CQ_MarkerTextConverter::st_Piece>& pieces) : m_pieces(pieces) {}
  void v_Text(std::string_view text) override { m_pieces.push_back({false, std::string(text), std::string()}); }
  void v_Tag(std::string_view tag, std::string_view mif) override {
    m_pieces.push_back({true, std::string(tag), std::string(mif)});
  }

 private:
  std::vector<CQ_MarkerTextConverter::st_Piece>& m_pieces;
};

}  // namespace

bool CQ_MarkerTextConverter::sb_IsDefaultFontName(std::string_view decodedName) {
  return decodedName == "Default Para Font" || decodedName == "Default \xA6 Font";
}

std::size_t CQ_MarkerTextConverter::n_CharacterCount(std::string_view rawMIF) const {
  const int codePage = m_rcoText.rst_GetSettings().i_SourceCodePage;
  const bool doubleByte = CQ_TextConverter::sb_IsDoubleByteCodePage(codePage);
  std::size_t count = 0;
  for (std::size_t i = 0; i < rawMIF.size(); i = UnitAt(rawMIF, i, codePage, doubleByte).end) ++count;
  return count;
}

std::vector<CQ_MarkerTextConverter::st_Piece> CQ_MarkerTextConverter::ast_Convert(std::string_view rawMIF,
                                                                                   unsigned options) const {
  std::vector<st_Piece> pieces;
  VectorSink sink(pieces);
  std::string buffer;
  v_Convert(rawMIF, options, sink, buffer);
  return pieces;
}

void CQ_MarkerTextConverter::v_Convert(std::string_view rawMIF, unsigned options, CQ_PieceSink& sink,
                                       std::string& buffer) const {
  const bool characterFormats = (options & MARKER_CHARACTER_FORMATS) != 0;
  const bool index = (options & MARKER_INDEX) != 0;
  const int codePage = m_rcoText.rst_GetSettings().i_SourceCodePage;
  const bool doubleByte = CQ_TextConverter::sb_IsDoubleByteCodePage(codePage);
  const unsigned char stops = index ? (STOP_ALWAYS | STOP_INDEX) : STOP_ALWAYS;
  Builder out(m_rcoText, m_nTextFlags, rawMIF, sink, buffer);
  bool runOpen = false;  // a character-format run is open
  bool sortString = false;
  auto closeRun = [&] {
    if (runOpen) out.FixedTag(KWX::TAG_CS_CLOSE, std::string_view());
    runOpen = false;
  };
  auto separator = [&](std::string_view tag, std::string_view mif) {
    closeRun();
    out.FixedTag(tag, mif);
  };
  // Working text of building blocks and character formats (rare: made
  // only when a block is found).
  std::string decoded;
  std::string name;
  std::string tag;
  auto makeTag = [&](std::string_view prefix) {
    tag.assign(prefix);
    tag.append(name);
    tag.append("\">");
    return std::string_view(tag);
  };

  const std::size_t n = rawMIF.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t plainEnd = PlainEnd(rawMIF, i, stops, codePage, doubleByte);
    if (plainEnd > i) {
      out.Literal(i, plainEnd);
      i = plainEnd;
      continue;
    }
    const Unit u = UnitAt(rawMIF, i, codePage, doubleByte);
    i = u.end;
    if (index && u.decoded == '\\' && u.end < n) {
      const Unit next = UnitAt(rawMIF, u.end, codePage, doubleByte);
      if (IsIndexSyntax(next.decoded)) {
        out.Literal(next.begin, next.end);
        i = next.end;
        continue;
      }
    }
    if (u.decoded == '<') {
      Unit close{n, n, kOther};
      for (std::size_t j = u.end; j < n; j = close.end) {
        close = UnitAt(rawMIF, j, codePage, doubleByte);
        if (close.decoded == '>') break;
      }
      if (close.decoded == '>') {
        decoded.clear();
        for (std::size_t j = u.end; j < close.begin;) {
          const Unit w = UnitAt(rawMIF, j, codePage, doubleByte);
          if (w.decoded == kOther) {
            decoded.append(rawMIF.substr(w.begin, w.end - w.begin));
          } else {
            decoded.push_back(static_cast<char>(w.decoded));
          }
          j = w.end;
        }
        const std::string_view mif = rawMIF.substr(u.begin, close.end - u.begin);
        name.clear();
        m_rcoText.v_AppendConverted(rawMIF.substr(u.end, close.begin - u.end), TEXT_NAME, name);
        if (!characterFormats || (!decoded.empty() && decoded.front() == '$')) {
          out.Tag(makeTag(KWX::PREFIX_IBB), mif);
        } else if (sb_IsDefaultFontName(decoded)) {
          if (runOpen) {
            closeRun();
          } else {
            // Nothing to close: the block stays as written.
            out.Tag(makeTag(KWX::PREFIX_IBB), mif);
          }
        } else {
          closeRun();
          out.Tag(makeTag(KWX::PREFIX_CS), mif);
          runOpen = true;
        }
        i = close.end;
        continue;
      }
    }
    if (index) {
      if (u.decoded == ';') {
        sortString = false;
        separator(KWX::TAG_IE, ";");
        continue;
      }
      if (u.decoded == ':') {
        separator(sortString ? KWX::TAG_SL : KWX::TAG_IL, ":");
        continue;
      }
      if (u.decoded == '[' && !sortString) {
        sortString = true;
        separator(KWX::TAG_SS, "[");
        continue;
      }
      if (u.decoded == ']') sortString = false;
    }
    out.Literal(u.begin, u.end);
  }
  closeRun();
  out.Finish();
}
