// Marker text conversion in two levels.
//
// Level one cuts the raw MIF string into units, one FrameMaker character
// each, remembering every unit's raw span and decoded value; double-byte
// characters are kept whole so that a second byte 0x5C never starts an
// escape. Level two reads FrameMaker's syntax on the decoded values and
// hands runs of literal units back to the text conversion as raw MIF, so
// that nothing is decoded twice and literal text converts exactly as
// document text does.
#include "kernel/forward/MarkerTextConverter.h"

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

bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

std::vector<Unit> Units(std::string_view raw, int codePage) {
  std::vector<Unit> units;
  units.reserve(raw.size());
  const bool doubleByte = CQ_TextConverter::sb_IsDoubleByteCodePage(codePage);
  std::size_t i = 0;
  const std::size_t n = raw.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (doubleByte && i + 1 < n && CQ_TextConverter::sb_IsLeadByte(codePage, c)) {
      units.push_back({i, i + 2, kOther});
      i += 2;
      continue;
    }
    if (c != '\\' || i + 1 == n) {
      units.push_back({i, i + 1, c});
      ++i;
      continue;
    }
    const char next = raw[i + 1];
    if (next == 'x' || next == 'X') {
      std::size_t j = i + 2;
      int value = 0;
      while (j < n && j < i + 10 && IsHexDigit(static_cast<unsigned char>(raw[j]))) {
        value = value * 16 + HexValue(static_cast<unsigned char>(raw[j]));
        ++j;
      }
      if (j == i + 2 || value > 0xFF) {
        // Not a character escape: kept as written, as the text conversion
        // keeps it.
        units.push_back({i, j, kOther});
        i = j;
        continue;
      }
      if (j < n && raw[j] == ' ') ++j;
      units.push_back({i, j, value});
      i = j;
      continue;
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
    units.push_back({i, i + 2, decoded});
    i += 2;
  }
  return units;
}

// Characters a backslash makes literal in index-marker text.
bool IsIndexSyntax(int decoded) {
  return decoded == ':' || decoded == ';' || decoded == '[' || decoded == ']' || decoded == '<' ||
         decoded == '>' || decoded == '\\';
}

class Builder {
 public:
  Builder(const CQ_TextConverter& text, unsigned flags, std::string_view raw)
      : m_text(text), m_flags(flags), m_raw(raw) {}

  // Extends the current literal run by the unit; a run is one stretch of
  // contiguous raw text.
  void Literal(const Unit& u) {
    if (m_runOpen && m_runEnd == u.begin) {
      m_runEnd = u.end;
      return;
    }
    FlushRun();
    m_runOpen = true;
    m_runBegin = u.begin;
    m_runEnd = u.end;
  }

  void Tag(std::string text, std::string mif) {
    FlushRun();
    FlushText();
    m_pieces.push_back({true, std::move(text), std::move(mif)});
  }

  std::vector<CQ_MarkerTextConverter::st_Piece> Finish() {
    FlushRun();
    FlushText();
    return std::move(m_pieces);
  }

 private:
  void FlushRun() {
    if (!m_runOpen) return;
    m_text.v_AppendConverted(m_raw.substr(m_runBegin, m_runEnd - m_runBegin), m_flags, m_pending);
    m_runOpen = false;
  }
  void FlushText() {
    if (m_pending.empty()) return;
    m_pieces.push_back({false, std::move(m_pending), std::string()});
    m_pending.clear();
  }

  const CQ_TextConverter& m_text;
  unsigned m_flags;
  std::string_view m_raw;
  bool m_runOpen = false;
  std::size_t m_runBegin = 0;
  std::size_t m_runEnd = 0;
  std::string m_pending;
  std::vector<CQ_MarkerTextConverter::st_Piece> m_pieces;
};

}  // namespace

bool CQ_MarkerTextConverter::sb_IsDefaultFontName(std::string_view decodedName) {
  return decodedName == "Default Para Font" || decodedName == "Default \xA6 Font";
}

std::size_t CQ_MarkerTextConverter::n_CharacterCount(std::string_view rawMIF) const {
  return Units(rawMIF, m_rcoText.rst_GetSettings().i_SourceCodePage).size();
}

std::vector<CQ_MarkerTextConverter::st_Piece> CQ_MarkerTextConverter::ast_Convert(std::string_view rawMIF,
                                                                                   unsigned options) const {
  const bool characterFormats = (options & MARKER_CHARACTER_FORMATS) != 0;
  const bool index = (options & MARKER_INDEX) != 0;
  const std::vector<Unit> units = Units(rawMIF, m_rcoText.rst_GetSettings().i_SourceCodePage);
  Builder out(m_rcoText, m_nTextFlags, rawMIF);
  bool runOpen = false;  // a character-format run is open
  bool sortString = false;
  auto closeRun = [&] {
    if (runOpen) out.Tag(std::string(KWX::TAG_CS_CLOSE), std::string());
    runOpen = false;
  };
  auto separator = [&](std::string_view tag, const char* mif) {
    closeRun();
    out.Tag(std::string(tag), mif);
  };

  const std::size_t n = units.size();
  for (std::size_t k = 0; k < n; ++k) {
    const Unit& u = units[k];
    if (index && u.decoded == '\\' && k + 1 < n && IsIndexSyntax(units[k + 1].decoded)) {
      out.Literal(units[++k]);
      continue;
    }
    if (u.decoded == '<') {
      std::size_t close = k + 1;
      while (close < n && units[close].decoded != '>') ++close;
      if (close < n) {
        const std::size_t innerBegin = u.end;
        const std::size_t innerEnd = units[close].begin;
        std::string decoded;
        for (std::size_t j = k + 1; j < close; ++j) {
          if (units[j].decoded == kOther) {
            decoded.append(rawMIF.substr(units[j].begin, units[j].end - units[j].begin));
          } else {
            decoded.push_back(static_cast<char>(units[j].decoded));
          }
        }
        const std::string_view rawInner = rawMIF.substr(innerBegin, innerEnd - innerBegin);
        std::string mif(rawMIF.substr(u.begin, units[close].end - u.begin));
        std::string name = m_rcoText.ccs_Convert(rawInner, TEXT_NAME);
        if (!characterFormats || (!decoded.empty() && decoded.front() == '$')) {
          out.Tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_IBB, name), std::move(mif));
        } else if (sb_IsDefaultFontName(decoded)) {
          if (runOpen) {
            closeRun();
          } else {
            // Nothing to close: the block stays as written.
            out.Tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_IBB, name), std::move(mif));
          }
        } else {
          closeRun();
          out.Tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_CS, name), std::move(mif));
          runOpen = true;
        }
        k = close;
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
    out.Literal(u);
  }
  closeRun();
  return out.Finish();
}
