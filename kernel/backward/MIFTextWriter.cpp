// Writing marker texts and format definitions.
//
// One pass over the tokens. Tags are looked up in a short fixed list first
// (separators, special characters, back conversion's own fonts), then
// building blocks and character formats through the tag map, which holds
// each one as the document spelled it. Text runs through the escaping
// table, except the characters index-marker syntax gives a meaning to.
#include "kernel/backward/MIFTextWriter.h"

#include "kernel/forward/TextConverter.h"

#include "kernel/forward/KWXFormat.h"

using KWX::b_HasPrefix;

namespace {

// The name between the first two double quotes of a tag.
std::string_view QuotedName(std::string_view tag) { return KWX::sv_QuotedName(tag); }

// A character format written inside a string: <:cs "X"> without a number.
bool IsUnnumberedFormat(std::string_view tag) {
  return b_HasPrefix(tag, KWX::PREFIX_CS) && tag.size() >= 2 && tag[tag.size() - 2] == '"';
}

}  // namespace

std::string_view CQ_MIFTextWriter::scs_DefaultFontSpelling(std::string_view raw) {
  if (raw.find(DEFAULT_FONT_SIGN) != std::string_view::npos) return DEFAULT_FONT_SIGN;
  if (raw.find(DEFAULT_FONT_PARA) != std::string_view::npos) return DEFAULT_FONT_PARA;
  return {};
}

std::string CQ_MIFTextWriter::ccs_Write(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end,
                                        ET_Mode mode, std::string_view defaultFont) const {
  std::string out;
  bool sortString = false;
  // A block the document does not know: the name's text in FrameMaker's
  // syntax.
  auto block = [&](std::string_view tag) {
    out.push_back('<');
    std::string name;
    for (const KWX::st_Token& t : KWX::sast_Tokenize(QuotedName(tag))) {
      if (t.et_Kind == KWX::TOKEN_TEXT) m_coText.n_Append(t.cs_Text, out);
    }
    out.append("\\>");
  };
  for (std::size_t k = begin; k < end; ++k) {
    const std::string_view token = tokens[k];
    if (!KWXBack::sb_IsTag(token)) {
      if (mode != MODE_INDEX) {
        m_coText.n_Append(token, out);
        continue;
      }
      // Where each byte is escaped on its own, the bytes between index
      // syntax characters are escaped as one piece.
      const bool bytewise = !m_rcoEscaping.b_DoubleByte() && !m_coText.b_DoubleByte() && !m_coText.b_Symbol() &&
                            m_coText.i_FrameCharacterCodePage() == 0;
      std::size_t piece = 0;  // start of the bytes not yet escaped
      for (std::size_t i = 0; i < token.size(); ++i) {
        const char c = token[i];
        if (bytewise) {
          if (c != ':' && c != ';' && c != '[' && c != ']' && c != '\\' && c != '>') continue;
          if (i > piece) m_coText.n_Append(std::string_view(token).substr(piece, i - piece), out);
          piece = i + 1;
        }
        if (m_rcoEscaping.b_DoubleByte() && i + 1 < token.size() &&
            CQ_TextConverter::sb_IsLeadByte(m_rcoEscaping.i_CodePage(), static_cast<unsigned char>(c)) &&
            CQ_TextConverter::sb_IsTrailByte(m_rcoEscaping.i_CodePage(), static_cast<unsigned char>(token[i + 1]))) {
          // A double-byte character: its second byte may be "[", "\\" or
          // "]" and is never index syntax.
          m_coText.n_Append(std::string_view(token).substr(i, 2), out);
          ++i;
          continue;
        }
        switch (c) {
          case ':':
          case ';':
          case '[':
            out.append("\\\\");
            out.push_back(c);
            break;
          case ']':
            if (sortString) {
              out.push_back(c);
              sortString = false;
            } else {
              out.append("\\\\]");
            }
            break;
          case '\\':
            out.append("\\\\\\\\");
            break;
          case '>':
            out.append("\\\\\\>");
            break;
          default:
            m_coText.n_Append(std::string_view(&c, 1), out);
            break;
        }
      }
      if (bytewise && token.size() > piece) m_coText.n_Append(std::string_view(token).substr(piece), out);
      continue;
    }
    // Separators of index markers.
    if (mode == MODE_INDEX) {
      if (token == KWX::TAG_IE) {
        out.push_back(';');
        sortString = false;
        continue;
      }
      if (token == KWX::TAG_IL || token == KWX::TAG_SL) {
        out.push_back(':');
        continue;
      }
      if (token == KWX::TAG_SS) {
        out.push_back('[');
        sortString = true;
        continue;
      }
      if (token == KWX::TAG_T || token == KWX::TAG_SH || token == KWX::TAG_SO) continue;
      if (token == KWX::TAG_LT || token == KWX::TAG_GT) {
        out.append(token == KWX::TAG_LT ? "\\\\\\x3c " : "\\\\\\x3e ");
        continue;
      }
    }
    if (mode == MODE_FORMAT) {
      if (token == KWX::TAG_T) {
        out.append("\\\\t");
        continue;
      }
      if (token == KWX::TAG_SH) {
        out.append("\\\\-");
        continue;
      }
      if (token == KWX::TAG_HR) {
        out.append("\\\\r");
        continue;
      }
    } else if (token == KWX::TAG_T) {
      out.append("\\t");
      continue;
    }
    if (m_rcoEscaping.b_CharacterTag(token, out)) continue;
    bool done = false;
    for (const KWX::st_VarnelFont& v : KWX::VARNEL_FONTS) {
      if (token == v.sv_Tag) {
        out.append("<").append(v.sv_Font).append("\\>");
        done = true;
        break;
      }
    }
    for (std::string_view closing : KWX::FONT_CLOSING_TAGS) {
      if (!done && token == closing) {
        out.append(defaultFont);
        done = true;
      }
    }
    if (done) continue;
    if (b_HasPrefix(token, KWX::PREFIX_IBB) || IsUnnumberedFormat(token)) {
      const auto it = m_rcoTags.find(token);
      if (it != m_rcoTags.end() && !it->second.empty() && it->second.back() != '\n') {
        out.append(it->second);
      } else {
        block(token);
      }
    }
    // Anything else stands for no text of a string.
  }
  m_rcoEscaping.v_ProtectStringEnd(out);
  return out;
}
