// The MIF pass over the ORG copy.
//
// The ORG copy is read as forward conversion reads it: a line that opens a
// block at the top level is read with its whole block, which goes to the
// handler of its section; everything else is copied. Handlers walk their
// block as a statement tree (children found by bracket depth, statement
// names matched whole) and copy what they do not replace. All output goes
// through one sink, which applies the language and hyphenation switches to
// every line.
#include "kernel/backward/MIFRebuilder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "kernel/forward/KWXFormat.h"
#include "kernel/session/Communication.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

using KWX::b_HasPrefix;
using MIFSyntax::HasKeyword;
using MIFSyntax::IsCloser;
using MIFSyntax::IsStatement;
using MIFSyntax::NetDepth;

namespace {

constexpr std::string_view kEndOfMIFFile = "# End of MIFFile";

// The fonts back conversion writes translator-added formatting with.
struct VarnelFontDefinition {
  const char* tag;
  std::vector<const char*> properties;
};

const std::vector<VarnelFontDefinition>& VarnelFontDefinitions() {
  static const std::vector<VarnelFontDefinition> fonts = {
      {"VarnelBold", {"<FWeight `Bold'>"}},
      {"VarnelItalic", {"<FAngle `Italic'>"}},
      {"VarnelBoldItalic", {"<FWeight `Bold'>", "<FAngle `Italic'>"}},
      {"VarnelNormal", {"<FFamily `Times New Roman'>"}},
      {"VarnelCourierNew", {"<FFamily `Courier New'>"}},
      {"VarnelArial", {"<FFamily `Arial'>"}},
      {"VarnelSmallCaps", {"<FCase FSmallCaps>"}},
  };
  return fonts;
}

// The eight footnote strings of the Document section with their building
// blocks in the ancillary section.
struct FootnoteString {
  std::string_view keyword;
  std::string_view block;
};

constexpr FootnoteString kFootnoteStrings[] = {
    {"DFNoteAnchorPrefix", KWX::BB_FOOTNOTE_ANCHOR_PREFIX},
    {"DFNoteAnchorSuffix", KWX::BB_FOOTNOTE_ANCHOR_SUFFIX},
    {"DFNoteNumberPrefix", KWX::BB_FOOTNOTE_NUMBER_PREFIX},
    {"DFNoteNumberSuffix", KWX::BB_FOOTNOTE_NUMBER_SUFFIX},
    {"DTblFNoteAnchorPrefix", KWX::BB_TABLE_FOOTNOTE_ANCHOR_PREFIX},
    {"DTblFNoteAnchorSuffix", KWX::BB_TABLE_FOOTNOTE_ANCHOR_SUFFIX},
    {"DTblFNoteNumberPrefix", KWX::BB_TABLE_FOOTNOTE_NUMBER_PREFIX},
    {"DTblFNoteNumberSuffix", KWX::BB_TABLE_FOOTNOTE_NUMBER_SUFFIX},
};

constexpr std::string_view kLanguageKeywords[] = {"PgfLanguage", "FLanguage", "DLanguage", "TLLanguage"};

std::string RawValue(std::string_view line) { return std::string(MIFSyntax::RawValue(line)); }

// The direct children of the block [open, end) (its closer excluded), in
// place of what children held.
void FillChildren(const CQ_MIFBlockLines& lines, std::size_t open, std::size_t end,
                  std::vector<std::pair<std::size_t, std::size_t>>& children) {
  children.clear();
  const std::size_t inner = (end > open + 1 && IsCloser(lines[end - 1])) ? end - 1 : end;
  std::size_t i = open + 1;
  while (i < inner) {
    std::size_t e = i + 1;
    if (lines.i_Net(i) > 0) {
      // The line that brings the depth back, if any, closes the child.
      long depth = 0;
      const std::size_t closer = lines.n_Walk(i, inner, [&depth](std::size_t, std::string_view, int net) {
        depth += net;
        return depth > 0;
      });
      e = closer < inner ? closer + 1 : inner;
    }
    children.emplace_back(i, e);
    i = e;
  }
}

std::vector<std::pair<std::size_t, std::size_t>> Children(const CQ_MIFBlockLines& lines, std::size_t open,
                                                          std::size_t end) {
  std::vector<std::pair<std::size_t, std::size_t>> children;
  FillChildren(lines, open, end, children);
  return children;
}

// The value of the first one-line child statement `keyword` of the block
// [open, end), found with the depths the block keeps: a child block is
// passed over without reading its lines, and the search stops at the
// first match (an ID comes before the object's content).
bool ChildValue(const CQ_MIFBlockLines& lines, std::size_t open, std::size_t end, std::string_view keyword,
                std::string_view& value) {
  const std::size_t inner = (end > open + 1 && IsCloser(lines[end - 1])) ? end - 1 : end;
  std::size_t i = open + 1;
  while (i < inner) {
    if (lines.i_Net(i) <= 0) {
      const std::string_view line = lines[i];
      // A statement: its depth, known to be at most 0, needs no count.
      if (!line.empty() && line.front() == '<' && MIFSyntax::Keyword(line) == keyword) {
        value = MIFSyntax::Value(line);
        return true;
      }
      ++i;
      continue;
    }
    long depth = 0;
    const std::size_t closer = lines.n_Walk(i, inner, [&depth](std::size_t, std::string_view, int net) {
      depth += net;
      return depth > 0;
    });
    i = closer < inner ? closer + 1 : inner;
  }
  return false;
}

bool IsBlock(const CQ_MIFBlockLines& lines, std::pair<std::size_t, std::size_t> child, std::string_view keyword) {
  if (child.second <= child.first + 1) return false;
  // Most blocks are told apart by the first letter of their name.
  const std::string_view line = lines[child.first];
  return line.size() > 1 && line[1] == keyword[0] && HasKeyword(line, keyword);
}

// The same for a name known where it is asked: compared in place, as
// bytes of a known count.
template <std::size_t N>
bool IsBlock(const CQ_MIFBlockLines& lines, std::pair<std::size_t, std::size_t> child, const char (&keyword)[N]) {
  constexpr std::size_t n = N - 1;
  if (child.second <= child.first + 1) return false;
  const std::string_view line = lines[child.first];
  return line.size() > n && line[0] == '<' && std::memcmp(line.data() + 1, keyword, n) == 0 &&
         (line.size() == n + 1 || MIFSyntax::detail::Is(line[n + 1], MIFSyntax::detail::CLASS_NAME_END));
}

// The key a text line is matched by: its Unique statement, or its whole
// text when it has none.
int NetOf(const CQ_MIFBlockLines& lines, std::size_t k) { return lines.i_Net(k); }
int NetOf(const CQ_MIFLines& lines, std::size_t k) { return NetDepth(lines[k]); }

template <class Lines>
std::string TextLineKey(const Lines& lines, std::size_t begin, std::size_t end) {
  long depth = 0;
  for (std::size_t k = begin; k < end; ++k) {
    if (depth == 1 && HasKeyword(lines[k], "Unique") && IsStatement(lines[k])) return std::string(lines[k]);
    depth += NetOf(lines, k);
  }
  std::string key;
  for (std::size_t k = begin; k < end; ++k) {
    key.append(lines[k]);
    key.push_back('\n');
  }
  return key;
}

// A table block of the translated file taken apart: its title's tokens
// and, per part (heading, body, footing), its rows with their cells.
struct ParsedTable {
  struct Row {
    bool hidden = false;
    std::vector<std::pair<std::size_t, std::size_t>> cells;  // token ranges inside <ct N> ... </ct>
  };
  bool hasTitle = false;
  std::pair<std::size_t, std::size_t> title{0, 0};
  std::vector<Row> parts[3];

  explicit ParsedTable(const CQ_KWXBlock& t) {
    int part = -1;
    Row* row = nullptr;
    const std::size_t n = t.size();
    for (std::size_t k = 0; k < n; ++k) {
      const std::string_view token = t[k];
      if (b_HasPrefix(token, KWX::PREFIX_TBT)) {
        std::size_t j = k + 1;
        while (j < n && t[j] != KWX::TAG_TBT_CLOSE) ++j;
        hasTitle = true;
        title = {k + 1, j};
        k = j;
      } else if (token == KWX::TAG_TBH || token == KWX::TAG_TBB || token == KWX::TAG_TBF) {
        part = token == KWX::TAG_TBH ? 0 : token == KWX::TAG_TBB ? 1 : 2;
        row = nullptr;
      } else if (part >= 0 && b_HasPrefix(token, KWX::PREFIX_HROW)) {
        parts[part].emplace_back();
        parts[part].back().hidden = true;
        row = nullptr;
      } else if (part >= 0 && b_HasPrefix(token, KWX::PREFIX_ROW)) {
        parts[part].emplace_back();
        row = &parts[part].back();
      } else if (row && b_HasPrefix(token, KWX::PREFIX_CT)) {
        std::size_t j = k + 1;
        while (j < n && t[j] != KWX::TAG_CT_CLOSE) ++j;
        row->cells.emplace_back(k + 1, j);
        k = j;
      }
    }
  }
};

int TablePartOf(std::string_view keyword) {
  if (keyword == "TblH") return 0;
  if (keyword == "TblBody") return 1;
  if (keyword == "TblF") return 2;
  return -1;
}

// The session's text settings with the document's character set.
CQ_TextSettings TextSettings(const CQ_Morvane_Communication& session, bool symbol) {
  CQ_TextSettings settings = CQ_TextSettings::st_FromSession(session);
  settings.b_SymbolCharacterSet = symbol;
  return settings;
}

}  // namespace

// The children of a block in a list of the rebuilder's, kept for its room
// from one block to the next: walks nest (a table's rows, their cells, the
// cells' content), so each level in progress holds a list of its own.
class CQ_MIFRebuilder::CChildren {
 public:
  CChildren(CQ_MIFRebuilder& rebuilder, const CQ_MIFBlockLines& lines, std::size_t open, std::size_t end)
      : m_rco(rebuilder) {
    if (m_rco.m_nChildListsInUse == m_rco.m_dqChildLists.size()) m_rco.m_dqChildLists.emplace_back();
    m_pList = &m_rco.m_dqChildLists[m_rco.m_nChildListsInUse++];
    FillChildren(lines, open, end, *m_pList);
  }
  ~CChildren() { --m_rco.m_nChildListsInUse; }
  CChildren(const CChildren&) = delete;
  CChildren& operator=(const CChildren&) = delete;

  auto begin() const { return m_pList->cbegin(); }
  auto end() const { return m_pList->cend(); }
  std::size_t size() const { return m_pList->size(); }
  const std::pair<std::size_t, std::size_t>& operator[](std::size_t i) const { return (*m_pList)[i]; }

 private:
  CQ_MIFRebuilder& m_rco;
  std::vector<std::pair<std::size_t, std::size_t>>* m_pList;
};

// --- ancillary formats ----------------------------------------------------------------------------

void CQ_AncillaryFormats::v_Read(const CQ_KWXTokens& tokens) {
  m_coTokens = KWXBack::sco_Views(tokens);
  m_map.clear();
  std::string key;
  std::size_t start = 0;
  std::string element;
  auto finish = [&](std::size_t end) {
    if (!key.empty()) m_map.try_emplace(key, start, end);
    key.clear();
  };
  const std::size_t n = tokens.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& t = tokens[k];
    if (!KWX::b_IsExternalTag(t)) continue;
    finish(k);
    if (b_HasPrefix(t, KWX::PREFIX_PAGE)) break;  // master pages follow the formats
    if (b_HasPrefix(t, KWX::PREFIX_XRFMT) || b_HasPrefix(t, KWX::PREFIX_VFMT) || b_HasPrefix(t, KWX::PREFIX_PNFMT)) {
      key = t;
    } else if (b_HasPrefix(t, KWX::PREFIX_EPSFMT)) {
      element = t;
    } else if (t == KWX::ccs_MakeBuildingBlockTag(KWX::BB_PREFIX) || t == KWX::ccs_MakeBuildingBlockTag(KWX::BB_SUFFIX)) {
      if (!element.empty()) key = element + (t == KWX::ccs_MakeBuildingBlockTag(KWX::BB_PREFIX) ? "\x01Prefix" : "\x01Suffix");
    } else if (b_HasPrefix(t, KWX::PREFIX_BB)) {
      for (const FootnoteString& f : kFootnoteStrings) {
        if (t == KWX::ccs_MakeBuildingBlockTag(f.block)) key = t;
      }
    }
    start = k + 1;
  }
  finish(n);
}

bool CQ_AncillaryFormats::b_Find(const std::string& key, std::size_t& begin, std::size_t& end) const {
  const auto it = m_map.find(key);
  if (it == m_map.end()) return false;
  begin = it->second.first;
  end = it->second.second;
  return true;
}

// --- construction ---------------------------------------------------------------------------------

CQ_MIFRebuilder::CQ_MIFRebuilder(const st_Inputs& inputs)
    : m_stIn(inputs),
      m_coEscaping(inputs.b_Symbol, inputs.i_TextCodePage),
      m_coTextWriter(*inputs.pcco_Tags, m_coEscaping),
      m_coText(TextSettings(*inputs.pco_Session, inputs.b_Symbol)) {
  CQ_Morvane_Communication& session = *m_stIn.pco_Session;
  m_iSourceHyphenation = inputs.i_SourceHyphenation;
  m_strSourceLanguage = session.lpsz_GetSourceMIFLanguage();
  m_strTargetLanguage = session.lpsz_GetTargetMIFLanguage();
  m_bHyphenationOff = session.i_GetTranslationHyphenation() == 0;

  // The document's spelling of the default-font block: FrameMaker 5's
  // unless only the spelled-out form occurs.
  bool sign = false;
  bool para = false;
  for (const auto& [tag, mif] : *m_stIn.pcco_Tags) {
    if (!b_HasPrefix(tag, KWX::PREFIX_IBB)) continue;
    const std::string_view spelling = CQ_MIFTextWriter::scs_DefaultFontSpelling(mif);
    if (spelling == CQ_MIFTextWriter::DEFAULT_FONT_SIGN) sign = true;
    if (spelling == CQ_MIFTextWriter::DEFAULT_FONT_PARA) para = true;
  }
  m_strDefaultFont = std::string(para && !sign ? CQ_MIFTextWriter::DEFAULT_FONT_PARA : CQ_MIFTextWriter::DEFAULT_FONT_SIGN);

  // Format names and text lines, from the tags of the document.
  for (const auto& [tag, mif] : *m_stIn.pcco_Tags) {
    if (b_HasPrefix(tag, KWX::PREFIX_XRFMT)) {
      m_mapXRefTags.try_emplace(RawValue(MIFSyntax::Trim(mif)), tag);
    } else if (b_HasPrefix(tag, KWX::PREFIX_VFMT)) {
      m_mapVariableTags.try_emplace(RawValue(MIFSyntax::Trim(mif)), tag);
    } else if (b_HasPrefix(tag, KWX::PREFIX_EPSFMT)) {
      m_mapElementTags.try_emplace(RawValue(MIFSyntax::Trim(mif)), tag);
    } else if ((b_HasPrefix(tag, KWX::PREFIX_CS) && tag.size() > 2 && tag[tag.size() - 2] != '"') ||
               b_HasPrefix(tag, KWX::PREFIX_FC)) {
      m_mapRunTags.try_emplace(std::string(mif), tag);
    } else if (b_HasPrefix(tag, KWX::PREFIX_TS)) {
      const std::string id(KWXBack::scs_TagArgument(tag, KWX::PREFIX_TS));
      // Only the text lines the source lists show are matched; the others
      // are copied.
      if (!m_stIn.pcco_Source->b_Has(CQ_KWXBlockCollector::BLOCK_TS, id)) continue;
      const CQ_MIFLines lines = lst_SplitFragment(mif);
      m_mapTextLines.try_emplace(TextLineKey(lines, 0, lines.size()), id);
    }
  }
  // ORG paragraphs' Font statements matter only when a run tag the source
  // lists never use can be put back; without one they are not collected.
  for (const auto& [mif, tag] : m_mapRunTags) {
    if (!m_stIn.pcco_Source->b_UsesRunTag(tag)) m_bReadFonts = true;
  }
}

CQ_MIFRebuilder::~CQ_MIFRebuilder() = default;

CQ_MIFBlockBuilder::st_Context CQ_MIFRebuilder::st_BuilderContext(CQ_MIFInlineObjects* inl) const {
  CQ_MIFBlockBuilder::st_Context context;
  context.pcco_Tags = m_stIn.pcco_Tags;
  context.pcco_Escaping = &m_coEscaping;
  context.pcco_TextWriter = &m_coTextWriter;
  context.pcco_Source = m_stIn.pcco_Source;
  context.pco_Inline = inl;
  context.pcco_RunTags = &m_mapRunTags;
  context.pco_Fragments = &m_mapFragments;
  context.pco_Headers = &m_mapHeaders;
  context.cs_DefaultFont = m_strDefaultFont;
  context.i_SourceHyphenation = m_iSourceHyphenation;
  context.pco_Scratch = &m_stScratch;
  return context;
}

void CQ_MIFRebuilder::v_Warn(unsigned id, const std::string& argument) {
  CQ_Morvane_Communication& session = *m_stIn.pco_Session;
  session.v_AddMessage(ccs_FormatKernelString(id, argument.c_str()));
  session.v_UpdateResults();
}

// --- output -------------------------------------------------------------------------------------------

std::string CQ_MIFRebuilder::ccs_FilterLine(const std::string& line) const {
  if (line.size() < 12 || line[0] != '<') return line;
  const std::string_view kw = MIFSyntax::Keyword(line);
  if (!m_strTargetLanguage.empty() && m_strSourceLanguage != m_strTargetLanguage) {
    for (std::string_view language : kLanguageKeywords) {
      if (kw == language && MIFSyntax::ValueIs(line, kw, m_strSourceLanguage)) {
        return "<" + std::string(kw) + " " + m_strTargetLanguage + ">";
      }
    }
  }
  if (m_bHyphenationOff && kw == "PgfHyphenate" && MIFSyntax::ValueIs(line, kw, "Yes")) return "<PgfHyphenate No>";
  if (kw == "PgfNumFormat" && m_stIn.pcco_TranslatedFormats && !m_stIn.pcco_TranslatedFormats->b_Empty()) {
    const std::string orgRaw = RawValue(line);
    const std::string key = KWX::ccs_MakeQuotedTag(KWX::PREFIX_PNFMT, m_coText.ccs_Convert(orgRaw, TEXT_NAME));
    std::string raw;
    if (b_TranslatedFormat(key, CQ_MIFTextWriter::MODE_FORMAT, orgRaw, raw)) return "<PgfNumFormat `" + raw + "'>";
  }
  return line;
}

namespace {

// Whether the four bytes at l may begin a statement the filter reads:
// "<PgfH", "<PgfN", "<PgfL", "<FLa", "<DLa" or "<TLL", so most lines
// ("<FLocked" among them) are told apart by their first bytes. The bytes
// are read one after the other, up to the first that differs.
inline bool MayBeginFiltered(const char* l) {
  if (l[0] != '<') return false;
  // "<PgfHyphenate", "<PgfNumFormat", "<PgfLanguage".
  if (l[1] == 'P') return l[2] == 'g' && l[3] == 'f' && (l[4] == 'H' || l[4] == 'N' || l[4] == 'L');
  // "<FLanguage", "<DLanguage", "<TLLanguage".
  if (l[1] == 'F' || l[1] == 'D') return l[2] == 'L' && l[3] == 'a';
  return l[1] == 'T' && l[2] == 'L' && l[3] == 'L';
}

// Whether the line may be one the filter reads.
inline bool MayBeFiltered(std::string_view line) { return line.size() >= 12 && MayBeginFiltered(line.data()); }

}  // namespace

bool CQ_MIFRebuilder::sb_Filtered(std::string_view line) {
  if (!MayBeFiltered(line)) return false;
  const std::string_view kw = MIFSyntax::Keyword(line);
  return kw == "PgfHyphenate" || kw == "PgfNumFormat" ||
         std::find(std::begin(kLanguageKeywords), std::end(kLanguageKeywords), kw) != std::end(kLanguageKeywords);
}

void CQ_MIFRebuilder::v_Emit(std::string_view line) {
  // Only lines of the statements the filter rewrites are filtered (and
  // copied); every other line goes to the sink as it is.
  if (sb_Filtered(line)) {
    v_Flush();
    (*m_pcoSink)(ccs_FilterLine(std::string(line)));
    return;
  }
  // An ORG line one "\n" after the stretch in hand joins it; the sink gets
  // the same bytes in fewer calls.
  const char* const org = m_svORG.data();
  const bool inORG = line.data() >= org && line.data() < org + m_svORG.size();
  if (inORG && m_svPending.data()) {
    const char* const pendingEnd = m_svPending.data() + m_svPending.size();
    if (line.data() == pendingEnd + 1 && *pendingEnd == '\n') {
      m_svPending = std::string_view(m_svPending.data(), m_svPending.size() + 1 + line.size());
      return;
    }
  }
  v_Flush();
  if (inORG) {
    m_svPending = line;
  } else {
    (*m_pcoSink)(line);
  }
}

void CQ_MIFRebuilder::v_Flush() {
  if (!m_svPending.data()) return;
  const std::string_view stretch = m_svPending;
  m_svPending = std::string_view();
  (*m_pcoSink)(stretch);
}

void CQ_MIFRebuilder::v_EmitAll(const CQ_MIFBlockLines& lines, std::size_t begin, std::size_t end) {
  // A line of the ORG text one "\n" after the stretch in hand, which the
  // filter leaves alone, joins the stretch here; any other goes through
  // v_Emit.
  const char* const orgEnd = m_svORG.data() + m_svORG.size();
  lines.n_Walk(begin, end, [this, orgEnd](std::size_t, std::string_view line, int) {
    const char* const pendingEnd = m_svPending.data() + m_svPending.size();
    if (m_svPending.data() && line.data() == pendingEnd + 1 && line.data() < orgEnd && *pendingEnd == '\n' &&
        !MayBeFiltered(line)) {
      m_svPending = std::string_view(m_svPending.data(), m_svPending.size() + 1 + line.size());
    } else {
      v_Emit(line);
    }
    return true;
  });
}

void CQ_MIFRebuilder::v_EmitAll(const CQ_MIFLineBuffer& lines) {
  v_Flush();
  // Lines between filtered ones go as one stretch each, without the "\n"
  // after the stretch's last line.
  const std::string_view text = lines.sv_Text();
  std::size_t start = 0;  // where the stretch not yet handed on begins
  const std::size_t n = lines.size();
  for (std::size_t i = 0; i < n; ++i) {
    // Every line has its "\n", so its bytes can be read up to the first
    // that differs from what a filtered statement begins with: most lines
    // are passed over by two bytes.
    if (!MayBeginFiltered(text.data() + lines.n_Start(i))) continue;
    const std::string_view line = lines[i];
    if (!MayBeFiltered(line) || !sb_Filtered(line)) continue;
    const std::size_t at = static_cast<std::size_t>(line.data() - text.data());
    if (at > start) (*m_pcoSink)(text.substr(start, at - 1 - start));
    (*m_pcoSink)(ccs_FilterLine(std::string(line)));
    start = at + line.size() + 1;
  }
  if (start < text.size()) (*m_pcoSink)(text.substr(start, text.size() - 1 - start));
}

bool CQ_MIFRebuilder::b_TranslatedFormat(const std::string& key, CQ_MIFTextWriter::ET_Mode mode,
                                         std::string_view orgRaw, std::string& raw) const {
  const CQ_AncillaryFormats* translated = m_stIn.pcco_TranslatedFormats;
  const CQ_AncillaryFormats* source = m_stIn.pcco_SourceFormats;
  std::size_t tb = 0;
  std::size_t te = 0;
  if (!translated || !translated->b_Find(key, tb, te)) return false;
  const CQ_KWXBlock& tt = *translated->pcco_Tokens();
  std::size_t sb = 0;
  std::size_t se = 0;
  if (source && source->b_Find(key, sb, se) && KWXBack::sb_SameJoinedTextRuns(*source->pcco_Tokens(), sb, se, tt, tb, te)) {
    return false;
  }
  std::string_view spelling = CQ_MIFTextWriter::scs_DefaultFontSpelling(orgRaw);
  if (spelling.empty()) spelling = m_strDefaultFont;
  raw = m_coTextWriter.ccs_Write(tt, tb, te, mode, spelling);
  return true;
}

// --- the pass ----------------------------------------------------------------------------------------

void CQ_MIFRebuilder::v_RunText(std::string_view orgText, const LineSink& sink) {
  m_pcoSink = &sink;
  m_svORG = orgText;
  m_svPending = std::string_view();
  try {
    v_Pass(orgText);
  } catch (...) {
    // What was kept back is not handed on after a failure.
    m_svPending = std::string_view();
    m_svORG = std::string_view();
    throw;
  }
  m_svORG = std::string_view();
}

void CQ_MIFRebuilder::v_Pass(std::string_view orgText) {
  // Lines are read as the pre-scan read them, as views of the ORG text,
  // which stays where it is for the whole pass; where the pre-scan noted
  // their lengths, without a search for their ends.
  const std::vector<std::uint8_t>* lengths = m_stIn.pcco_LineLengths;
  CQ_MIFHeldLines reader =
      lengths ? CQ_MIFHeldLines(orgText, lengths->data(), lengths->size()) : CQ_MIFHeldLines(orgText);
  // Each line's depth, from the pre-scan's notes where it took them.
  // The next line's note, walked along with the lines read.
  const std::int8_t* nextNet = m_stIn.pcco_LineNets ? m_stIn.pcco_LineNets->data() : nullptr;
  const std::int8_t* const netsEnd = m_stIn.pcco_LineNets ? nextNet + m_stIn.pcco_LineNets->size() : nullptr;
  auto netOf = [&](std::string_view l) {
    if (nextNet == netsEnd) return NetDepth(l);
    const int net = *nextNet++;
    return net != CQ_MIFPreScan::NET_NOT_NOTED ? net : NetDepth(l);
  };
  auto skipNet = [&] {
    if (nextNet != netsEnd) ++nextNet;
  };
  m_nFlow = 0;
  std::string_view line;
  CQ_MIFBlockLines& block = m_coBlock;
  while (reader.b_Next(line)) {
    int depth = 0;
    if (line.front() == '<' && line.compare(0, kEndOfMIFFile.size(), kEndOfMIFFile) != 0) {
      depth = netOf(line);
    } else {
      skipNet();
    }
    if (depth <= 0) {
      v_Emit(line);
      continue;
    }
    block.v_Clear();
    block.v_AddView(line, depth);
    while (depth > 0) {
      if (!reader.b_Next(line)) throw Result::UNEXPECTED_END;
      const int net = netOf(line);
      depth += net;
      block.v_AddView(line, net);
    }
    const std::string_view kw = MIFSyntax::Keyword(block.front());
    if (kw == "TextFlow") {
      v_TextFlow(block);
    } else if (kw == "Tbls") {
      v_Tables(block);
    } else if (kw == "Page" || kw == "AFrames") {
      v_TextLines(block);
    } else if (kw == "VariableFormats") {
      v_NamedFormats(block, "VariableFormat", "VariableName", "VariableDef", m_mapVariableTags);
    } else if (kw == "XRefFormats") {
      v_NamedFormats(block, "XRefFormat", "XRefName", "XRefDef", m_mapXRefTags);
    } else if (kw == "ElementDefCatalog") {
      v_ElementDefCatalog(block);
    } else if (kw == "Document") {
      v_Document(block);
    } else if (kw == "FontCatalog") {
      v_FontCatalog(block);
    } else {
      v_EmitAll(block, 0, block.size());
    }
  }
  v_Flush();
}

// --- text flows ----------------------------------------------------------------------------------------

void CQ_MIFRebuilder::v_TextFlow(const CQ_MIFBlockLines& block) {
  const std::size_t index = m_nFlow++;
  const std::vector<st_MIFTextFlow>& flows = *m_stIn.pcco_Flows;
  if (index >= flows.size()) {
    v_EmitAll(block, 0, block.size());
    return;
  }
  const st_MIFTextFlow& flow = flows[index];
  const CQ_KWXBlockCollector& source = *m_stIn.pcco_Source;
  const CQ_KWXBlockCollector& translated = *m_stIn.pcco_Translated;
  bool anyExpected = false;
  std::size_t homes = 0;
  for (const st_MIFColumnStart& c : flow.vec_Columns) {
    if (source.b_Has(CQ_KWXBlockCollector::BLOCK_TR, c.cs_ID)) anyExpected = true;
    homes += c.n_HomeCount;
  }
  const CChildren children(*this, block, 0, block.size());
  std::vector<std::size_t> paras;  // child indices of the paragraphs
  for (std::size_t c = 0; c < children.size(); ++c) {
    if (IsBlock(block, children[c], "Para")) paras.push_back(c);
  }
  if (!anyExpected || homes != paras.size() || paras.size() != flow.n_Paragraphs) {
    // A flow forward conversion did not show (or one it read otherwise):
    // nothing of it was translated.
    v_EmitAll(block, 0, block.size());
    return;
  }

  CQ_MIFInlineObjects inl;
  inl.v_Scan(block, 0, block.size());
  const CQ_MIFBlockBuilder builder(st_BuilderContext(&inl));
  // ORG paragraphs are read when needed, one at a time, so a flow of any
  // size is never held twice; one object serves them all in turn.
  st_ORGParagraph org;
  auto readOrg = [&](std::size_t p) -> const st_ORGParagraph& {
    const auto& child = children[paras[p]];
    org.v_Read(block, child.first, child.second, m_iSourceHyphenation, m_bReadFonts);
    return org;
  };

  // The output paragraphs, column by column.
  struct Out {
    const CQ_KWXBlock* tokens = nullptr;  // null: the ORG paragraph is copied
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t orgIndex = 0;
    bool paired = false;
    std::vector<std::string> leading;  // column statements put at its start
  };
  std::vector<Out> outs;
  std::vector<std::string> orphans;  // column statements whose paragraphs are gone
  auto orgColumns = [&](std::size_t p, std::vector<std::string>& into) {
    for (const auto& c : readOrg(p).vec_Columns) into.push_back(c.second);
  };
  for (const st_MIFColumnStart& column : flow.vec_Columns) {
    if (column.n_HomeCount == 0) continue;
    const std::size_t first = column.n_FirstHome;
    const std::size_t count = column.n_HomeCount;
    if (!source.b_Has(CQ_KWXBlockCollector::BLOCK_TR, column.cs_ID)) {
      for (std::size_t p = first; p < first + count; ++p) {
        Out o;
        o.orgIndex = p;
        o.leading = std::move(orphans);
        orphans.clear();
        outs.push_back(std::move(o));
      }
      continue;
    }
    const CQ_KWXBlock* tokens = translated.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TR, column.cs_ID);
    const auto ranges = tokens ? CQ_MIFBlockBuilder::sast_SplitParagraphs(*tokens, 1, tokens->size() - 1)
                               : std::vector<std::pair<std::size_t, std::size_t>>();
    if (ranges.empty()) {
      v_Warn(Msg::BACK_WARN_TEXT_BOX_DELETED, column.cs_ID);
      for (std::size_t p = first; p < first + count; ++p) orgColumns(p, orphans);
      continue;
    }
    const bool paired = ranges.size() == count;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      Out o;
      o.tokens = tokens;
      o.begin = ranges[i].first;
      o.end = ranges[i].second;
      o.paired = paired;
      o.orgIndex = first + i;
      if (i == 0) {
        o.leading = std::move(orphans);
        orphans.clear();
      }
      outs.push_back(std::move(o));
    }
    if (!paired) {
      // Each ORG paragraph's columns go to the paragraph at the same
      // share of the text.
      for (std::size_t p = first; p < first + count; ++p) {
        const std::size_t at = outs.size() - ranges.size() + (p - first) * ranges.size() / count;
        orgColumns(p, outs[at].leading);
      }
    }
  }

  // The flow: its statements before the paragraphs, the paragraphs where
  // the first one stood, then whatever follows.
  bool written = false;
  v_Emit(block.front());
  for (std::size_t c = 0; c < children.size(); ++c) {
    const auto& child = children[c];
    if (IsBlock(block, child, "Notes")) {
      v_Notes(block, child.first, child.second, inl);
      continue;
    }
    if (!IsBlock(block, child, "Para")) {
      v_EmitAll(block, child.first, child.second);
      continue;
    }
    if (written) continue;
    written = true;
    CQ_MIFLineBuffer& lines = m_coOut;
    for (Out& o : outs) {
      lines.clear();
      if (!o.tokens) {
        // A copied paragraph always has its ORG paragraph; a translated one
        // may have none (paragraphs the translator added).
        const auto& orgChild = children[paras[o.orgIndex]];
        if (o.leading.empty()) {
          v_EmitAll(block, orgChild.first, orgChild.second);
          continue;
        }
        // Column statements of a lost paragraph before a copied one: each
        // in an empty ParaLine of its own at the paragraph's start.
        const st_ORGParagraph& p = readOrg(o.orgIndex);
        for (const std::string_view l : p.lst_Header) lines.v_Add(l);
        for (const std::string& l : o.leading) {
          lines.v_Add("<ParaLine");
          lines.v_Add(l);
          lines.v_Add("> # end of ParaLine");
        }
        v_EmitAll(lines);
        v_EmitAll(block, orgChild.first + p.lst_Header.size(), orgChild.second);
        continue;
      }
      if (o.paired) {
        const st_ORGParagraph& p = readOrg(o.orgIndex);
        builder.v_Paragraph(*o.tokens, o.begin, o.end, &p, o.leading, lines);
      } else {
        builder.v_Paragraph(*o.tokens, o.begin, o.end, nullptr, o.leading, lines);
      }
      if (&o == &outs.back() && !orphans.empty()) {
        // Columns of lost paragraphs at the end: after the last paragraph.
        lines.v_PopBack();  // "> # end of Para"
        for (const std::string& l : orphans) {
          lines.v_Add("<ParaLine");
          lines.v_Add(l);
          lines.v_Add("> # end of ParaLine");
        }
        lines.v_Add("> # end of Para");
        orphans.clear();
      }
      v_EmitAll(lines);
    }
    if (!orphans.empty()) {
      // Every column of the flow was emptied (or the last paragraph was
      // copied): an empty paragraph keeps the flow and its columns.
      lines.clear();
      const CQ_KWXBlock none;
      builder.v_Paragraph(none, 0, 0, nullptr, orphans, lines);
      v_EmitAll(lines);
      orphans.clear();
    }
  }
  if (IsCloser(block.back())) v_Emit(block.back());
}

void CQ_MIFRebuilder::v_Notes(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end, CQ_MIFInlineObjects& inl) {
  v_Emit(block[begin]);
  const CChildren children(*this, block, begin, end);
  for (const auto& child : children) {
    if (IsBlock(block, child, "FNote")) {
      v_Footnote(block, child.first, child.second, inl);
    } else {
      v_EmitAll(block, child.first, child.second);
    }
  }
  if (end > begin + 1 && IsCloser(block[end - 1])) v_Emit(block[end - 1]);
}

void CQ_MIFRebuilder::v_Footnote(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end,
                                 CQ_MIFInlineObjects& inl) {
  std::string_view id;
  ChildValue(block, begin, end, "ID", id);
  const CQ_KWXBlock* tokens =
      id.empty() ? nullptr : m_stIn.pcco_Translated->pcco_FindContent(CQ_KWXBlockCollector::BLOCK_FN, std::string(id));
  if (!tokens) {
    // A footnote the translated file lost with its anchor goes; one that
    // keeps its anchor, or that forward conversion never showed, stays as
    // it was.
    const std::string key(id);
    if (!key.empty() && m_stIn.pcco_Source->b_Has(CQ_KWXBlockCollector::BLOCK_FN, key) &&
        !m_stIn.pcco_Translated->b_HasFootnoteAnchor(key)) {
      return;
    }
    v_EmitAll(block, begin, end);
    return;
  }
  v_Container(block, begin, end, tokens, 1, tokens->size() - 1, inl);
}

void CQ_MIFRebuilder::v_Container(const CQ_MIFBlockLines& block, std::size_t open, std::size_t close,
                                  const CQ_KWXBlock* tokens, std::size_t begin, std::size_t end,
                                  CQ_MIFInlineObjects& inl) {
  const CChildren children(*this, block, open, close);
  std::vector<std::size_t> paras;
  for (std::size_t c = 0; c < children.size(); ++c) {
    if (IsBlock(block, children[c], "Para")) paras.push_back(c);
  }
  const auto ranges = tokens ? CQ_MIFBlockBuilder::sast_SplitParagraphs(*tokens, begin, end)
                             : std::vector<std::pair<std::size_t, std::size_t>>();
  if (!tokens || (ranges.empty() && !paras.empty())) {
    v_EmitAll(block, open, close);
    return;
  }
  const bool paired = ranges.size() == paras.size();
  const CQ_MIFBlockBuilder builder(st_BuilderContext(&inl));
  v_Emit(block[open]);
  bool written = paras.empty();
  for (std::size_t c = 0; c < children.size(); ++c) {
    const auto& child = children[c];
    if (IsBlock(block, child, "Notes")) {
      v_Notes(block, child.first, child.second, inl);
      continue;
    }
    if (!IsBlock(block, child, "Para")) {
      v_EmitAll(block, child.first, child.second);
      continue;
    }
    if (written) continue;
    written = true;
    CQ_MIFLineBuffer& lines = m_coOut;
    lines.clear();
    // One ORG paragraph object serves them all in turn.
    st_ORGParagraph& org = m_stContainerParagraph;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      if (paired) {
        const auto& orgChild = children[paras[i]];
        org.v_Read(block, orgChild.first, orgChild.second, m_iSourceHyphenation, m_bReadFonts);
      }
      builder.v_Paragraph(*tokens, ranges[i].first, ranges[i].second, paired ? &org : nullptr, {}, lines);
    }
    v_EmitAll(lines);
  }
  if (close > open + 1 && IsCloser(block[close - 1])) v_Emit(block[close - 1]);
}

// --- tables --------------------------------------------------------------------------------------------------

void CQ_MIFRebuilder::v_Tables(const CQ_MIFBlockLines& block) {
  v_Emit(block.front());
  for (const auto& child : Children(block, 0, block.size())) {
    if (IsBlock(block, child, "Tbl")) {
      v_Table(block, child.first, child.second);
    } else {
      v_EmitAll(block, child.first, child.second);
    }
  }
  if (block.size() > 1 && IsCloser(block.back())) v_Emit(block.back());
}

void CQ_MIFRebuilder::v_Table(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end) {
  std::string_view idView;
  ChildValue(block, begin, end, "TblID", idView);
  const std::string id(idView);
  if (id.empty() || !m_stIn.pcco_Source->b_Has(CQ_KWXBlockCollector::BLOCK_TB, id)) {
    v_EmitAll(block, begin, end);
    return;
  }
  const CQ_KWXBlock* tokens = m_stIn.pcco_Translated->pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TB, id);
  if (!tokens) {
    v_Warn(Msg::BACK_WARN_TABLE_DELETED, id);
    return;
  }
  const ParsedTable table(*tokens);
  CQ_MIFInlineObjects inl;
  inl.v_Scan(block, begin, end);
  std::size_t nextRow[3] = {0, 0, 0};

  v_Emit(block[begin]);
  const CChildren children(*this, block, begin, end);
  for (const auto& child : children) {
    const std::string_view kw = MIFSyntax::Keyword(block[child.first]);
    if (child.second == child.first + 1) {
      v_Emit(block[child.first]);
    } else if (kw == "TblTitleContent") {
      v_Container(block, child.first, child.second, table.hasTitle ? tokens : nullptr, table.title.first,
                  table.title.second, inl);
    } else if (kw == "TblTitle") {
      v_Emit(block[child.first]);
      const CChildren innerChildren(*this, block, child.first, child.second);
      for (const auto& inner : innerChildren) {
        if (IsBlock(block, inner, "TblTitleContent")) {
          v_Container(block, inner.first, inner.second, table.hasTitle ? tokens : nullptr, table.title.first,
                      table.title.second, inl);
        } else {
          v_EmitAll(block, inner.first, inner.second);
        }
      }
      if (IsCloser(block[child.second - 1])) v_Emit(block[child.second - 1]);
    } else if (kw == "Notes") {
      v_Notes(block, child.first, child.second, inl);
    } else if (TablePartOf(kw) >= 0) {
      const int part = TablePartOf(kw);
      v_Emit(block[child.first]);
      const CChildren rowChildren(*this, block, child.first, child.second);
      for (const auto& row : rowChildren) {
        const ParsedTable::Row* translatedRow = nullptr;
        if (IsBlock(block, row, "Row") && nextRow[part] < table.parts[part].size()) {
          translatedRow = &table.parts[part][nextRow[part]++];
        }
        if (!translatedRow || translatedRow->hidden) {
          v_EmitAll(block, row.first, row.second);
          continue;
        }
        std::size_t nextCell = 0;
        v_Emit(block[row.first]);
        const CChildren cellChildren(*this, block, row.first, row.second);
        for (const auto& cell : cellChildren) {
          if (!IsBlock(block, cell, "Cell")) {
            v_EmitAll(block, cell.first, cell.second);
            continue;
          }
          if (nextCell >= translatedRow->cells.size()) {
            v_EmitAll(block, cell.first, cell.second);
            continue;
          }
          const auto range = translatedRow->cells[nextCell++];
          v_Emit(block[cell.first]);
          const CChildren innerChildren(*this, block, cell.first, cell.second);
          for (const auto& inner : innerChildren) {
            if (IsBlock(block, inner, "CellContent")) {
              v_Container(block, inner.first, inner.second, tokens, range.first, range.second, inl);
            } else {
              v_EmitAll(block, inner.first, inner.second);
            }
          }
          if (IsCloser(block[cell.second - 1])) v_Emit(block[cell.second - 1]);
        }
        if (IsCloser(block[row.second - 1])) v_Emit(block[row.second - 1]);
      }
      if (IsCloser(block[child.second - 1])) v_Emit(block[child.second - 1]);
    } else {
      v_EmitAll(block, child.first, child.second);
    }
  }
  if (IsCloser(block[end - 1])) v_Emit(block[end - 1]);
}

// --- text lines ---------------------------------------------------------------------------------------------

void CQ_MIFRebuilder::v_TextLines(const CQ_MIFBlockLines& block) {
  const std::size_t n = block.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view line = block[i];
    if (!line.empty() && line.front() == '<' && HasKeyword(line, "TextLine") && NetDepth(line) > 0) {
      const std::size_t e = MIFSyntax::BlockEnd(block, i, n);
      v_TextLine(block, i, e);
      i = e - 1;
      continue;
    }
    v_Emit(line);
  }
}

void CQ_MIFRebuilder::v_TextLine(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end) {
  const auto found = m_mapTextLines.find(TextLineKey(block, begin, end));
  if (found == m_mapTextLines.end()) {
    v_EmitAll(block, begin, end);
    return;
  }
  const std::string& id = found->second;
  const CQ_KWXBlock* tokens = m_stIn.pcco_Translated->pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TS, id);
  if (!tokens) {
    if (m_stIn.pcco_Source->pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TS, id)) {
      v_Warn(Msg::BACK_WARN_TEXT_STRING_DELETED, id);
    } else {
      // No text in the source either: nothing was deleted.
      v_EmitAll(block, begin, end);
    }
    return;
  }
  const CQ_MIFBlockBuilder builder(st_BuilderContext(nullptr));
  CQ_MIFLineBuffer& text = m_coOut;
  text.clear();
  builder.v_TextLineContent(*tokens, 1, tokens->size() - 1, text);
  bool written = false;
  v_Emit(block[begin]);
  for (const auto& child : Children(block, begin, end)) {
    const std::string_view kw = MIFSyntax::Keyword(block[child.first]);
    if (kw == "String" || kw == "Char" || kw == "Font") {
      if (!written) v_EmitAll(text);
      written = true;
      continue;
    }
    v_EmitAll(block, child.first, child.second);
  }
  if (!written) v_EmitAll(text);
  if (end > begin + 1 && IsCloser(block[end - 1])) v_Emit(block[end - 1]);
}

// --- catalogs and formats -------------------------------------------------------------------------------------

void CQ_MIFRebuilder::v_NamedFormats(const CQ_MIFBlockLines& block, const char* item, const char* nameKey,
                                     const char* defKey, const std::unordered_map<std::string, std::string>& tagsByName) {
  v_Emit(block.front());
  for (const auto& child : Children(block, 0, block.size())) {
    if (!IsBlock(block, child, item)) {
      v_EmitAll(block, child.first, child.second);
      continue;
    }
    std::string tag;
    for (const auto& inner : Children(block, child.first, child.second)) {
      if (HasKeyword(block[inner.first], nameKey)) {
        const auto it = tagsByName.find(RawValue(block[inner.first]));
        if (it != tagsByName.end()) tag = it->second;
      }
    }
    v_Emit(block[child.first]);
    for (const auto& inner : Children(block, child.first, child.second)) {
      const std::string_view line = block[inner.first];
      std::string raw;
      if (!tag.empty() && inner.second == inner.first + 1 && HasKeyword(line, defKey) &&
          b_TranslatedFormat(tag, CQ_MIFTextWriter::MODE_FORMAT, RawValue(line), raw)) {
        v_Emit("<" + std::string(defKey) + " `" + raw + "'>");
      } else {
        v_EmitAll(block, inner.first, inner.second);
      }
    }
    if (IsCloser(block[child.second - 1])) v_Emit(block[child.second - 1]);
  }
  if (block.size() > 1 && IsCloser(block.back())) v_Emit(block.back());
}

void CQ_MIFRebuilder::v_ElementDefCatalog(const CQ_MIFBlockLines& block) {
  v_Emit(block.front());
  for (const auto& child : Children(block, 0, block.size())) {
    if (!IsBlock(block, child, "ElementDef")) {
      v_EmitAll(block, child.first, child.second);
      continue;
    }
    std::string tag;
    for (const auto& inner : Children(block, child.first, child.second)) {
      if (HasKeyword(block[inner.first], "EDTag")) {
        const auto it = m_mapElementTags.find(RawValue(block[inner.first]));
        if (it != m_mapElementTags.end()) tag = it->second;
      }
    }
    v_Emit(block[child.first]);
    for (const auto& inner : Children(block, child.first, child.second)) {
      const std::string_view line = block[inner.first];
      const std::string_view kw = MIFSyntax::Keyword(line);
      std::string raw;
      if (!tag.empty() && inner.second == inner.first + 1 && (kw == "ElementPrefix" || kw == "ElementSuffix") &&
          b_TranslatedFormat(tag + (kw == "ElementPrefix" ? "\x01Prefix" : "\x01Suffix"),
                             CQ_MIFTextWriter::MODE_FORMAT, RawValue(line), raw)) {
        v_Emit("<" + std::string(kw) + " `" + raw + "'>");
      } else {
        v_EmitAll(block, inner.first, inner.second);
      }
    }
    if (IsCloser(block[child.second - 1])) v_Emit(block[child.second - 1]);
  }
  if (block.size() > 1 && IsCloser(block.back())) v_Emit(block.back());
}

void CQ_MIFRebuilder::v_Document(const CQ_MIFBlockLines& block) {
  v_Emit(block.front());
  for (const auto& child : Children(block, 0, block.size())) {
    const std::string_view line = block[child.first];
    bool done = false;
    if (child.second == child.first + 1) {
      const std::string_view kw = MIFSyntax::Keyword(line);
      for (const FootnoteString& f : kFootnoteStrings) {
        std::string raw;
        if (kw == f.keyword &&
            b_TranslatedFormat(KWX::ccs_MakeBuildingBlockTag(f.block), CQ_MIFTextWriter::MODE_FORMAT, RawValue(line),
                               raw)) {
          v_Emit("<" + std::string(kw) + " `" + raw + "'>");
          done = true;
          break;
        }
      }
    }
    if (!done) v_EmitAll(block, child.first, child.second);
  }
  if (block.size() > 1 && IsCloser(block.back())) v_Emit(block.back());
}

void CQ_MIFRebuilder::v_FontCatalog(const CQ_MIFBlockLines& block) {
  const std::size_t closer = block.size() > 1 && IsCloser(block.back()) ? block.size() - 1 : block.size();
  v_EmitAll(block, 0, closer);
  if (m_stIn.b_AddVarnelFonts) {
    for (const VarnelFontDefinition& font : VarnelFontDefinitions()) {
      const std::string ftag = std::string("<FTag `") + font.tag + "'>";
      bool defined = false;
      for (std::size_t k = 0; k < block.size() && !defined; ++k) defined = block[k] == ftag;
      if (defined) continue;
      v_Emit("<Font");
      v_Emit(ftag);
      for (const char* property : font.properties) v_Emit(property);
      v_Emit("> # end of Font");
    }
  }
  if (closer < block.size()) v_Emit(block.back());
}
