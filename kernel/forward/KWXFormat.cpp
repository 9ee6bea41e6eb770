// KWX vocabulary tables, tag builders, the tokenizer and the line rule.
//
// The tokenizer and the line joiner share one scan: a tag runs from "<" to
// the ">" that brings the bracket depth back to zero, so quoted arguments
// that hold escapes such as "<:lt>" stay inside their tag. Double-byte text
// cannot confuse the scan: no lead or trail byte of the supported code
// pages is "<" or ">".
#include "kernel/forward/KWXFormat.h"

#include <cctype>
#include <charconv>
#include <string>
#include <utility>

#include "kernel/forward/KWXPieceList.h"

namespace KWX {

namespace {

constexpr std::array<st_NumberedTagInfo, NUMBERED_KIND_COUNT> kNumberedTags = {{
    {"<ps", true, true, COUNTER_PARAGRAPHS},
    {"<pn", true, true, COUNTER_PARAGRAPH_NUMBERS},
    {"<:cs", true, true, COUNTER_CHARACTER_FORMATS},
    {"<:fc", false, true, COUNTER_FONT_CHANGES},
    {"<:cns", true, true, COUNTER_CONDITIONS},
    {"<e", true, true, COUNTER_ELEMENTS},
    {"<:el", true, true, COUNTER_ELEMENTS},
    {"<:elf", true, true, COUNTER_ELF},
    {"<:xr", true, true, COUNTER_CROSS_REFERENCES},
    {"<:v", true, true, COUNTER_VARIABLES},
    {"<row", false, true, COUNTER_TABLE_ROWS},
    {"<hrow", false, true, COUNTER_TABLE_ROWS},
    {"<ct", false, true, COUNTER_TABLE_CELLS},
    {"<tbt", false, true, COUNTER_TABLE_TITLES},
    {"<:ti", false, true, COUNTER_TEXT_INSETS},
    {"<ts", false, false, COUNTER_TEXT_LINES},
    {"<mk", true, false, COUNTER_OTHER_MARKERS},
    {"<imk", false, false, COUNTER_INDEX_MARKERS},
    {"<:fmk1", false, false, COUNTER_OTHER_MARKERS},
    {"<:fmk2", false, false, COUNTER_OTHER_MARKERS},
    {"<:hmk", false, false, COUNTER_OTHER_MARKERS},
    {"<:crmk", false, false, COUNTER_OTHER_MARKERS},
    {"<:cnmk", false, false, COUNTER_OTHER_MARKERS},
}};

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

const std::array<st_CharacterTag, 11>& sast_SpecialCharacters() {
  static const std::array<st_CharacterTag, 11> table = {{
      {0x04, "DiscHyphen", TAG_DH},
      {0x05, "NoHyphen", TAG_NH},
      {0x06, "SoftHyphen", TAG_SH},
      {0x08, "Tab", TAG_T},
      {0x09, "HardReturn", TAG_HR},
      {0x10, "NumberSpace", TAG_NS},
      {0x11, "HardSpace", TAG_HS},
      {0x12, "ThinSpace", TAG_THS},
      {0x13, "EnSpace", TAG_ENS},
      {0x14, "EmSpace", TAG_EMS},
      {0x15, "HardHyphen", TAG_HH},
  }};
  return table;
}

const std::array<st_CharacterTag, 11>& sast_ReservedCharacters() {
  static const std::array<st_CharacterTag, 11> table = {{
      {0x7F, nullptr, "<:r1>"},
      {0xA1, nullptr, "<:r30>"},
      {0xFA, nullptr, "<:r31>"},
      {0xDF, nullptr, "<:r32>"},
      {0xFE, nullptr, "<:r33>"},
      {0xFD, nullptr, "<:r34>"},
      {0xF9, nullptr, "<:r35>"},
      {0xF5, nullptr, "<:r36>"},
      {0xDE, nullptr, "<:r37>"},
      {0xFF, nullptr, "<:r38>"},
      {0xDA, nullptr, "<:r39>"},
  }};
  return table;
}

const std::array<st_CharacterTag, 8>& sast_QuoteTags() {
  static const std::array<st_CharacterTag, 8> table = {{
      {0xD4, nullptr, TAG_LQ},
      {0xD5, nullptr, TAG_RQ},
      {0xD2, nullptr, TAG_LDQ},
      {0xD3, nullptr, TAG_RDQ},
      {0xE3, nullptr, TAG_GLQ},
      {0xD2, nullptr, TAG_GRQ},
      {0xC7, nullptr, TAG_FLQ},
      {0xC8, nullptr, TAG_FRQ},
  }};
  return table;
}

const std::array<std::string_view, 21>& sacs_BuildingBlockNames() {
  static const std::array<std::string_view, 21> names = {
      BB_CROSS_REFERENCE_FORMATS,      BB_CROSS_REFERENCE,
      BB_VARIABLE_FORMATS,             BB_VARIABLE,
      BB_PARAGRAPH_NUMBERING_FORMATS,  BB_PARAGRAPH_NUMBERING_FORMAT,
      BB_ELEMENT_PREFIX_SUFFIX_FORMATS, BB_ELEMENT_PREFIX_SUFFIX,
      BB_PREFIX,                       BB_SUFFIX,
      BB_FOOTNOTE_FORMATS,             BB_FOOTNOTE_ANCHOR_PREFIX,
      BB_FOOTNOTE_ANCHOR_SUFFIX,       BB_FOOTNOTE_NUMBER_PREFIX,
      BB_FOOTNOTE_NUMBER_SUFFIX,       BB_TABLE_FOOTNOTE_FORMATS,
      BB_TABLE_FOOTNOTE_ANCHOR_PREFIX, BB_TABLE_FOOTNOTE_ANCHOR_SUFFIX,
      BB_TABLE_FOOTNOTE_NUMBER_PREFIX, BB_TABLE_FOOTNOTE_NUMBER_SUFFIX,
      BB_MASTER_PAGES,
  };
  return names;
}

const st_NumberedTagInfo& rst_NumberedTagInfo(ET_KWXNumberedTag kind) {
  return kNumberedTags.at(static_cast<std::size_t>(kind));
}

std::string ccs_MakeNumberedTag(ET_KWXNumberedTag kind, std::string_view name, unsigned number) {
  std::string tag;
  v_WriteNumberedTag(tag, kind, name, number);
  return tag;
}

void v_WriteNumberedTag(std::string& tag, ET_KWXNumberedTag kind, std::string_view name, unsigned number) {
  const st_NumberedTagInfo& info = rst_NumberedTagInfo(kind);
  tag.clear();
  tag.append(info.cs_Opening);
  if (info.b_Named) {
    tag.append(" \"");
    tag.append(name);
    tag.push_back('"');
  }
  char digits[16];
  const auto written = std::to_chars(digits, digits + sizeof digits, number);
  tag.push_back(' ');
  tag.append(digits, written.ptr);
  tag.push_back('>');
}

std::string ccs_MakeIdTag(std::string_view prefix, std::string_view id) {
  std::string tag;
  tag.reserve(prefix.size() + id.size() + 1);
  tag.append(prefix);
  tag.append(id);
  tag.push_back('>');
  return tag;
}

std::string ccs_MakeQuotedTag(std::string_view prefix, std::string_view name) {
  std::string tag;
  tag.reserve(prefix.size() + name.size() + 2);
  tag.append(prefix);
  tag.append(name);
  tag.append("\">");
  return tag;
}

std::string_view sv_QuotedName(std::string_view tag, bool untilEnd) {
  const std::size_t open = tag.find('"');
  if (open == std::string_view::npos) return {};
  const std::size_t close = tag.find('"', open + 1);
  if (close == std::string_view::npos) return untilEnd ? tag.substr(open + 1) : std::string_view();
  return tag.substr(open + 1, close - open - 1);
}

std::string ccs_MakeBuildingBlockTag(std::string_view name) { return ccs_MakeQuotedTag(PREFIX_BB, name); }

std::string ccs_BuildingBlockMIF(std::string_view name) {
  std::string mif = "# ";
  mif.append(name);
  mif.push_back('\n');
  return mif;
}

std::string ccs_ExternalElementForm(std::string_view internalTag) {
  for (std::string_view prefix : {PREFIX_IEL, PREFIX_IEL_CLOSE, PREFIX_IELF, PREFIX_IELF_CLOSE}) {
    if (b_HasPrefix(internalTag, prefix)) {
      std::string external = "<";
      external.append(internalTag.substr(2));
      return external;
    }
  }
  return std::string(internalTag);
}

std::string ccs_PlaceholderForm(std::string_view openingTag) {
  if (b_HasPrefix(openingTag, PREFIX_MK) || b_HasPrefix(openingTag, PREFIX_IMK)) {
    std::string placeholder = "<:";
    placeholder.append(openingTag.substr(1));
    return placeholder;
  }
  return std::string(openingTag);
}

std::array<st_TagPair, 6> sast_MakeHeader(const st_HeaderSettings& settings) {
  std::array<st_TagPair, 6> header;
  header[0] = {std::string(settings.i_FormatGeneration == FORMAT_GENERATION_CURRENT ? TAG_KWX
                                                                                     : TAG_KWX_OTHER_GENERATION),
               std::string(MIF_KWX)};
  if (settings.i_CharacterSet == 0) {
    header[1] = {std::string(TAG_SOURCECHARSET_NORMAL), std::string(MIF_SOURCECHARSET_NORMAL)};
  } else {
    header[1] = {std::string(TAG_SOURCECHARSET_SYMBOL), std::string(MIF_SOURCECHARSET_SYMBOL)};
  }
  header[2] = {ccs_MakeQuotedTag(PREFIX_SOURCELANGUAGE, settings.cs_SourceLanguage), std::string(MIF_SOURCELANGUAGE)};
  header[3] = {std::string(settings.i_SourceHyphenation == 0 ? TAG_SOURCEHYPHENATION_TURN_OFF
                                                             : TAG_SOURCEHYPHENATION_LEAVE_AS_IS),
               std::string(MIF_SOURCEHYPHENATION)};
  header[4] = {std::string(settings.i_SmartQuotes == 0 ? TAG_SOURCEQUOTES_AS_TEXT : TAG_SOURCEQUOTES_AS_TAGS),
               std::string(MIF_SOURCEQUOTES)};
  header[5] = {ccs_MakeQuotedTag(PREFIX_SOURCEPATH, settings.cs_SourcePath), std::string(MIF_SOURCEPATH)};
  return header;
}

st_TagPair st_MakeTrailer() { return {std::string(TAG_KWX_CLOSE), std::string(MIF_KWX_CLOSE)}; }

const std::vector<st_TagPair>& sast_FixedTagPairs() {
  static const std::vector<st_TagPair> pairs = {
      {std::string(TAG_PAGE_CLOSE), "> # end of Page\n"},
      {std::string(TAG_AF_CLOSE), "<End Of AFrame>\n"},
      {std::string(TAG_UFO), "<Frame\n"},
      {std::string(TAG_UFO_CLOSE), "> # end of Frame\n"},
      {std::string(TAG_TR_CLOSE), "<End of TextRectID>\n"},
      {std::string(TAG_TS_CLOSE), "> # end of TextLine\n"},
      {std::string(TAG_CNS_CLOSE), "<Unconditional >\n"},
      {std::string(TAG_MK_CLOSE), "> # end of Marker\n"},
      {std::string(TAG_FN_CLOSE), "> # end of FNote\n"},
      {std::string(TAG_TB_CLOSE), "> # end of Tbl\n"},
      {std::string(TAG_TBH), "<TblH\n"},
      {std::string(TAG_TBH_CLOSE), "> # end of TblH\n"},
      {std::string(TAG_TBB), "<TblBody\n"},
      {std::string(TAG_TBB_CLOSE), "> # end of TblBody\n"},
      {std::string(TAG_TBF), "<TblF\n"},
      {std::string(TAG_TBF_CLOSE), "> # end of TblF\n"},
      {std::string(TAG_ROW_CLOSE), "> # end of Row\n"},
      {std::string(TAG_CT_CLOSE), "> # end of CellContent\n> # end of Cell\n"},
      {std::string(TAG_CS_CLOSE), "<Font\n<FTag `'>\n> # end of Font\n"},
      {std::string(TAG_TI_CLOSE), "<TextInsetEnd>\n"},
  };
  return pairs;
}

bool b_IsExternalTag(std::string_view text) {
  return text.size() >= 2 && text[0] == '<' && (IsAsciiLetter(text[1]) || text[1] == '/' || text[1] == '#');
}

bool b_IsInternalTag(std::string_view text) { return text.size() >= 2 && text[0] == '<' && text[1] == ':'; }

std::vector<st_Token> sast_Tokenize(std::string_view text) {
  std::vector<st_Token> tokens;
  sv_Tokenize(text, tokens);
  return tokens;
}

void sv_Tokenize(std::string_view text, std::vector<st_Token>& tokens) {
  tokens.clear();
  sv_ForEachToken(text, [&tokens](const st_Token& token) { tokens.push_back(token); });
}

void CQ_KWXLineJoiner::v_BeginLine() {
  // A compact joiner builds the line where it stays; otherwise the line is
  // built in one buffer that keeps its room, and each finished line is
  // copied out at its own size.
  if (m_bCompact) {
    m_coLines.v_EndLine();
  } else if (!m_strLine.empty()) {
    m_lstLines.emplace_back(m_strLine);
    m_strLine.clear();
  }
}

void CQ_KWXLineJoiner::v_Add(std::string_view piece) {
  sv_ForEachToken(piece, [this](const st_Token& token) {
    if (token.et_Kind == TOKEN_TEXT || token.et_Kind == TOKEN_UNCLOSED_TAG) {
      if (!token.cs_Text.empty()) {
        v_Append(token.cs_Text);
        m_bLastWasParagraph = false;
      }
      return;
    }
    const std::string_view tag = token.cs_Text;
    if (b_IsExternalTag(tag)) {
      if (!(m_bLastWasParagraph && b_HasPrefix(tag, PREFIX_PN))) {
        v_BeginLine();
      }
      m_bLastWasParagraph = b_HasPrefix(tag, PREFIX_PS);
    } else {
      if (tag == TAG_HR) {
        v_BeginLine();
      }
      m_bLastWasParagraph = false;
    }
    v_Append(tag);
  });
}

void CQ_KWXLineJoiner::v_Add(const st_KWXPiece& piece) {
  if (!piece.b_Is(KWX_PIECE_ONE_TOKEN)) {
    v_Add(piece.sv());
    return;
  }
  // The rule of v_Add(string_view) for its one token.
  const std::string_view p = piece.sv();
  if (p[0] == '<') {
    if (piece.b_Is(KWX_PIECE_EXTERNAL)) {
      if (!(m_bLastWasParagraph && b_HasPrefix(p, PREFIX_PN))) v_BeginLine();
      m_bLastWasParagraph = piece.b_Is(KWX_PIECE_PS);
      v_Append(p);
      return;
    }
    if (p == TAG_HR) v_BeginLine();
  }
  m_bLastWasParagraph = false;
  v_Append(p);
}

CQ_StringList CQ_KWXLineJoiner::lst_Finish() {
  v_BeginLine();
  m_bLastWasParagraph = false;
  CQ_StringList lines = std::move(m_lstLines);
  m_lstLines.clear();
  if (!m_coLines.empty()) {
    CQ_StringList compact = m_coLines.lst_Strings();
    m_coLines.v_Clear();
    lines.insert(lines.end(), compact.begin(), compact.end());
  }
  return lines;
}

CQ_StringList lst_JoinLines(const CQ_StringList& pieces) {
  CQ_KWXLineJoiner joiner;
  for (const std::string& piece : pieces) {
    joiner.v_Add(piece);
  }
  return joiner.lst_Finish();
}

CQ_StringList lst_JoinLines(const std::vector<std::string>& pieces) {
  CQ_KWXLineJoiner joiner;
  for (const std::string& piece : pieces) {
    joiner.v_Add(piece);
  }
  return joiner.lst_Finish();
}

CQ_KWXLines co_JoinLines(const CQ_KWXPieceList& pieces) {
  // The lines hold the pieces' text and nothing else: the room is known.
  std::size_t bytes = 0;
  for (const st_KWXPiece& piece : pieces.rco_Pieces()) bytes += piece.n_Size;
  CQ_KWXLines room;
  room.v_Reserve(pieces.size() + 1, bytes);
  CQ_KWXLineJoiner joiner(std::move(room));
  const CQ_KWXPieces& all = pieces.rco_Pieces();
  joiner.v_AddReserved(all.data(), all.data() + all.size());
  return joiner.co_FinishCompact();
}

void CQ_KWXLineJoiner::v_AddReserved(const st_KWXPiece* first, const st_KWXPiece* last) {
  // The rule of v_Add(const st_KWXPiece&), with the list's text size, the
  // start of its open line and the paragraph flag kept in locals; they are
  // handed back and forth around the rare piece that is tokenised.
  if (!m_bCompact) {
    for (; first != last; ++first) v_Add(*first);
    return;
  }
  CQ_KWXLines& lines = m_coLines;
  std::size_t used = lines.m_nTextSize;
  std::size_t lineStart = lines.m_vecEnds.empty() ? 0 : lines.m_vecEnds.back();
  bool lastWasParagraph = m_bLastWasParagraph;
  for (; first != last; ++first) {
    const st_KWXPiece& piece = *first;
    const std::uint32_t kinds = piece.n_Kinds;
    if ((kinds & KWX_PIECE_ONE_TOKEN) == 0) {
      if (piece.n_Size == 0) continue;  // no token, no change
      lines.m_nTextSize = used;
      m_bLastWasParagraph = lastWasParagraph;
      v_Add(piece.sv());
      used = lines.m_nTextSize;
      lineStart = lines.m_vecEnds.empty() ? 0 : lines.m_vecEnds.back();
      lastWasParagraph = m_bLastWasParagraph;
      continue;
    }
    bool newLine;
    if ((kinds & KWX_PIECE_EXTERNAL) != 0) {
      newLine = !(lastWasParagraph && b_HasPrefix(piece.sv(), PREFIX_PN));
      lastWasParagraph = (kinds & KWX_PIECE_PS) != 0;
    } else {
      newLine = piece.sv() == TAG_HR;
      lastWasParagraph = false;
    }
    if (newLine && used > lineStart) {
      lines.m_vecEnds.push_back(used);
      lineStart = used;
    }
    if (lines.m_coText.size() - used < piece.n_Size) {
      lines.m_nTextSize = used;
      lines.v_Grow(piece.n_Size);
    }
    std::memcpy(lines.m_coText.data() + used, piece.pc_Text, piece.n_Size);
    used += piece.n_Size;
  }
  lines.m_nTextSize = used;
  m_bLastWasParagraph = lastWasParagraph;
}

CQ_KWXLines CQ_KWXLineJoiner::co_FinishCompact() {
  v_BeginLine();
  m_bLastWasParagraph = false;
  CQ_KWXLines lines = std::move(m_coLines);
  m_coLines.v_Clear();
  for (const std::string& line : m_lstLines) lines.v_Add(line);
  m_lstLines.clear();
  return lines;
}

CQ_StringList CQ_KWXLines::lst_Strings() const {
  CQ_StringList lines;
  for (std::size_t i = 0; i < size(); ++i) lines.emplace_back((*this)[i]);
  return lines;
}

void CQ_KWXLines::v_Clear() {
  m_coText = Platform::LargeBuffer();
  m_nTextSize = 0;
  std::vector<std::size_t, Platform::LargeAllocator<std::size_t>>().swap(m_vecEnds);
}

CQ_KWXLines::CQ_KWXLines(CQ_KWXLines&& other) noexcept
    : m_coText(std::move(other.m_coText)),
      m_nTextSize(std::exchange(other.m_nTextSize, 0)),
      m_vecEnds(std::move(other.m_vecEnds)) {
  other.m_vecEnds.clear();
}

CQ_KWXLines& CQ_KWXLines::operator=(CQ_KWXLines&& other) noexcept {
  if (this != &other) {
    m_coText = std::move(other.m_coText);
    m_nTextSize = std::exchange(other.m_nTextSize, 0);
    m_vecEnds = std::move(other.m_vecEnds);
    other.m_vecEnds.clear();
  }
  return *this;
}

void CQ_KWXLines::v_Reserve(std::size_t lines, std::size_t bytes) {
  m_vecEnds.reserve(lines);
  if (bytes > m_coText.size()) v_Grow(bytes - m_nTextSize);
}

void CQ_KWXLines::v_Grow(std::size_t more) {
  std::size_t capacity = m_coText.size() < 256 ? 256 : m_coText.size() * 2;
  if (capacity - m_nTextSize < more) capacity = m_nTextSize + more;
  Platform::LargeBuffer text(capacity);
  if (m_nTextSize != 0) std::memcpy(text.data(), m_coText.data(), m_nTextSize);
  m_coText = std::move(text);
}

}  // namespace KWX
