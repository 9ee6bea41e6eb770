// Reading a MIF file into the pre-scan state.
//
// The dispatcher reads the file line by line; a line that opens a block at
// the top level is read with the whole block (by bracket depth) and handed
// to the scanner of its section, or dropped when no scanner wants it. Text
// flows and tables are prepared in two linear passes (Unique lines and
// line-end soft hyphens out, then footnotes out of their Notes blocks);
// flows are then cut into text columns at paragraph boundaries, so that
// every column's part begins with a whole paragraph.
#include "kernel/forward/MIFPreScan.h"

#include <cctype>
#include <memory>
#include <utility>

#include "System/Platform/FileSystem.h"
#include "kernel/forward/MIFFileCheck.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/Communication.h"
#include "kernel/session/KernelStrings.h"

using MIFSyntax::ForEachChild;
using MIFSyntax::HasKeyword;
using MIFSyntax::IsCloser;
using MIFSyntax::IsOpening;
using MIFSyntax::IsStatement;
using MIFSyntax::NetDepth;
using MIFSyntax::ValueIs;

namespace {

constexpr std::string_view kEndOfMIFFile = "# End of MIFFile";
constexpr const char* kEndOfColumn = "<End of TextRectID>";

// The raw string content of a statement, or its plain value when it has no
// backquoted string.
std::string StringOrValue(std::string_view line) {
  std::string s;
  if (MIFSyntax::StringValue(line, s)) return s;
  return std::string(MIFSyntax::Value(line));
}

struct FootnoteKey {
  const char* keyword;
  EMIFFootnoteText index;
};

constexpr FootnoteKey kFootnoteKeys[] = {
    {"DFNoteAnchorPrefix", MIF_FN_ANCHOR_PREFIX},       {"DFNoteAnchorSuffix", MIF_FN_ANCHOR_SUFFIX},
    {"DFNoteNumberPrefix", MIF_FN_NUMBER_PREFIX},       {"DFNoteNumberSuffix", MIF_FN_NUMBER_SUFFIX},
    {"DTblFNoteAnchorPrefix", MIF_TBLFN_ANCHOR_PREFIX}, {"DTblFNoteAnchorSuffix", MIF_TBLFN_ANCHOR_SUFFIX},
    {"DTblFNoteNumberPrefix", MIF_TBLFN_NUMBER_PREFIX}, {"DTblFNoteNumberSuffix", MIF_TBLFN_NUMBER_SUFFIX},
};

}  // namespace

// --- construction and options ------------------------------------------------

CQ_MIFPreScan::st_Options CQ_MIFPreScan::st_ForwardOptions(const CQ_Morvane_Communication& session) {
  st_Options options;
  options.b_FirstConversion = true;
  options.b_RunFileCheck = true;
  options.i_SourceHyphenation = session.i_GetSourceHyphenation();
  return options;
}

CQ_MIFPreScan::st_Options CQ_MIFPreScan::st_SecondFormOptions(const CQ_Morvane_Communication& session) {
  st_Options options;
  options.b_FirstConversion = false;
  options.b_RunFileCheck = false;
  options.i_SourceHyphenation = session.i_GetSourceHyphenation();
  return options;
}

CQ_MIFPreScan::CQ_MIFPreScan(CQ_Morvane_Communication& session, const st_Options& options)
    : m_rcoSession(session), m_stOptions(options) {}

std::string CQ_MIFPreScan::scs_ORGPath(const std::string& orgFolder, const std::string& fileName,
                                       const std::string& sourceExtension) {
  std::string ext = ".org";
  for (std::size_t i = 1; i < ext.size() && i < sourceExtension.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(sourceExtension[i]);
    if (std::isupper(c)) ext[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(ext[i])));
  }
  return orgFolder + fileName + ext;
}

// --- whole pre-scan ------------------------------------------------------------

void CQ_MIFPreScan::v_PreScanForward(const std::string& sourcePath, const std::string& orgPath) {
  const std::string orgFolder = Platform::DirectoryOf(orgPath);
  m_bEUC = false;
  if (m_stOptions.b_RunFileCheck) m_bEUC = CQ_MIFFileCheck::sb_CheckFile(sourcePath, orgFolder);
  // The copy outlives the reader, which is declared after it.
  std::unique_ptr<CQ_EUCTempCopy> eucCopy;
  if (m_bEUC) eucCopy = std::make_unique<CQ_EUCTempCopy>(sourcePath, CQ_EUCTempCopy::scs_TempPath(orgFolder, sourcePath));
  CQ_MIFCopyingReader reader(eucCopy ? eucCopy->ccs_Path() : sourcePath, orgPath);
  v_ReadSections(reader);
  v_Restructure();
  reader.v_Commit();
}

void CQ_MIFPreScan::v_PreScanSecondForm(const std::string& path, bool runFileCheck) {
  if (runFileCheck) m_bEUC = CQ_MIFFileCheck::sb_CheckFile(path, Platform::DirectoryOf(path));
  CQ_MIFLineReader reader(path);
  v_ReadSections(reader);
  v_Restructure();
}

void CQ_MIFPreScan::v_PreScanText(const char* data, std::size_t size) {
  CQ_MIFLineReader reader(data, size);
  v_ReadSections(reader);
  v_Restructure();
}

// --- section dispatch ----------------------------------------------------------

void CQ_MIFPreScan::v_ReadSections(CQ_MIFLineReader& reader) {
  const bool first = m_stOptions.b_FirstConversion;
  std::string line;
  CQ_MIFLines block;
  bool ended = false;
  while (reader.b_ReadLine(line, true)) {
    if (line.compare(0, kEndOfMIFFile.size(), kEndOfMIFFile) == 0) {
      ended = true;
      break;
    }
    if (line.front() != '<') continue;
    if (first) {
      if (HasKeyword(line, "MIFEncoding")) m_rcoSession.v_AddMessage(lpsz_LoadKernelString(3));
      if (ValueIs(line, "DAutoChBars", "Yes")) throw 2030;
    }
    int depth = NetDepth(line);
    if (depth <= 0) continue;
    block.clear();
    block.push_back(std::move(line));
    while (depth > 0) {
      if (!reader.b_ReadLine(line, true)) throw 8;
      depth += NetDepth(line);
      if (depth > MAX_DEPTH) throw 6;
      block.push_back(std::move(line));
    }
    v_Dispatch(block);
  }
  if (!ended) throw 8;
  // A document without variable formats still stops for its change bars.
  if (first && m_bChangeBars) throw 2040;
}

void CQ_MIFPreScan::v_Dispatch(CQ_MIFLines& block) {
  const std::string_view kw = MIFSyntax::Keyword(block.front());
  if (kw == "TextFlow") {
    v_ScanTextFlow(block);
  } else if (kw == "Page") {
    v_ScanPage(block);
  } else if (kw == "Tbls") {
    v_ScanTbls(block);
  } else if (kw == "AFrames") {
    v_ScanAFrames(block);
  } else if (kw == "PgfCatalog") {
    v_ScanPgfCatalog(block);
  } else if (kw == "FontCatalog") {
    if (m_stOptions.b_FirstConversion) v_ScanFontCatalog(block);
  } else if (kw == "ConditionCatalog") {
    v_ScanConditionCatalog(block);
  } else if (kw == "ElementDefCatalog") {
    v_ScanElementDefCatalog(block);
  } else if (kw == "VariableFormats") {
    if (m_stOptions.b_FirstConversion && m_bChangeBars) throw 2040;
    v_ScanNamedFormats(block, "VariableFormat", "VariableName", "VariableDef", m_vecVariableFormats);
  } else if (kw == "XRefFormats") {
    v_ScanNamedFormats(block, "XRefFormat", "XRefName", "XRefDef", m_vecXRefFormats);
  } else if (kw == "Document") {
    v_ScanDocument(block);
  }
}

// --- messages ----------------------------------------------------------------------

std::string CQ_MIFPreScan::ccs_MessageName(const std::string& mifName) const {
  return ccs_ConvertMIFText(mifName, CQ_TextSettings::st_FromSession(m_rcoSession), TEXT_MESSAGE);
}

void CQ_MIFPreScan::v_AddMessage(unsigned id, const std::string& formatName) {
  if (!m_stOptions.b_FirstConversion) return;
  m_rcoSession.v_AddMessage(ccs_FormatKernelString(id, ccs_MessageName(formatName).c_str()));
}

// --- catalog scanners ----------------------------------------------------------------

void CQ_MIFPreScan::v_ScanConditionCatalog(const CQ_MIFLines& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Condition") || e == b + 1) return;
    std::string tag;
    std::string state;
    bool haveTag = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      if (!haveTag && HasKeyword(block[i], "CTag")) {
        tag = StringOrValue(block[i]);
        haveTag = true;
      } else if (HasKeyword(block[i], "CState")) {
        state = std::string(MIFSyntax::Value(block[i]));
      }
    }
    if (haveTag) m_mapConditions.insert_or_assign(std::move(tag), std::move(state));
  });
}

bool CQ_MIFPreScan::b_IsConditionHidden(const std::string& tag) const {
  const auto it = m_mapConditions.find(tag);
  if (it == m_mapConditions.end()) return false;
  return ValueIs("<CState " + it->second + ">", "CState", "CHidden");
}

void CQ_MIFPreScan::v_ScanPgfCatalog(const CQ_MIFLines& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Pgf") || e == b + 1) return;
    std::string tag;
    std::string numFormat;
    bool haveTag = false;
    bool haveNumFormat = false;
    bool changeBars = false;
    bool hyphenate = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      const std::string& line = block[i];
      if (!haveTag && HasKeyword(line, "PgfTag")) {
        tag = StringOrValue(line);
        haveTag = true;
      } else if (!haveNumFormat && HasKeyword(line, "PgfNumFormat")) {
        numFormat = StringOrValue(line);
        haveNumFormat = true;
      } else if (ValueIs(line, "FChangeBar", "Yes")) {
        changeBars = true;
      } else if (ValueIs(line, "PgfHyphenate", "Yes")) {
        hyphenate = true;
      }
    }
    if (hyphenate) v_AddMessage(240, tag);
    if (changeBars) {
      m_bChangeBars = true;
      v_AddMessage(60, tag);
    }
    if (haveNumFormat) {
      m_mapPgfNumFormatIndex.insert_or_assign(tag, m_vecPgfNumFormats.size());
      m_vecPgfNumFormats.push_back({std::move(tag), std::move(numFormat)});
    }
  });
}

const std::string* CQ_MIFPreScan::pcco_FindPgfNumFormat(const std::string& pgfTag) const {
  const auto it = m_mapPgfNumFormatIndex.find(pgfTag);
  return it == m_mapPgfNumFormatIndex.end() ? nullptr : &m_vecPgfNumFormats[it->second].cs_Text;
}

void CQ_MIFPreScan::v_ScanFontCatalog(const CQ_MIFLines& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Font") || e == b + 1) return;
    std::string tag;
    bool haveTag = false;
    bool changeBars = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      if (!haveTag && HasKeyword(block[i], "FTag")) {
        tag = StringOrValue(block[i]);
        haveTag = true;
      } else if (ValueIs(block[i], "FChangeBar", "Yes")) {
        changeBars = true;
      }
    }
    if (changeBars) {
      m_bChangeBars = true;
      v_AddMessage(61, tag);
    }
  });
}

void CQ_MIFPreScan::v_ScanElementDefCatalog(const CQ_MIFLines& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "ElementDef") || e == b + 1) return;
    st_MIFElementDef def;
    bool haveTag = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      const std::string& line = block[i];
      if (!haveTag && HasKeyword(line, "EDTag")) {
        def.cs_Tag = StringOrValue(line);
        haveTag = true;
      } else if (!def.b_HasPrefix && HasKeyword(line, "ElementPrefix")) {
        def.cs_Prefix = StringOrValue(line);
        def.b_HasPrefix = true;
      } else if (!def.b_HasSuffix && HasKeyword(line, "ElementSuffix")) {
        def.cs_Suffix = StringOrValue(line);
        def.b_HasSuffix = true;
      }
    }
    if (haveTag) m_vecElementDefs.push_back(std::move(def));
  });
}

void CQ_MIFPreScan::v_ScanNamedFormats(const CQ_MIFLines& block, const char* item, const char* nameKey,
                                       const char* defKey, std::vector<st_MIFNamedText>& into) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], item) || e == b + 1) return;
    st_MIFNamedText format;
    bool haveName = false;
    bool haveDef = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      if (!haveName && HasKeyword(block[i], nameKey)) {
        format.cs_Name = StringOrValue(block[i]);
        haveName = true;
      } else if (!haveDef && HasKeyword(block[i], defKey)) {
        format.cs_Text = StringOrValue(block[i]);
        haveDef = true;
      }
    }
    if (haveName) into.push_back(std::move(format));
  });
}

void CQ_MIFPreScan::v_ScanDocument(const CQ_MIFLines& block) {
  const bool first = m_stOptions.b_FirstConversion;
  for (std::size_t i = 1; i < block.size(); ++i) {
    const std::string& line = block[i];
    if (first && ValueIs(line, "DAutoChBars", "Yes")) throw 2030;
    const std::string_view kw = MIFSyntax::Keyword(line);
    if (kw.size() < 6 || (kw[0] != 'D')) continue;
    for (const FootnoteKey& key : kFootnoteKeys) {
      if (kw == key.keyword) {
        m_asFootnoteTexts[key.index] = StringOrValue(line);
        break;
      }
    }
  }
}

// --- object sections ---------------------------------------------------------------------

void CQ_MIFPreScan::v_ScanAFrames(CQ_MIFLines& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Frame") || e == b + 1) return;
    std::string_view id;
    if (!MIFSyntax::ChildValue(block, b, e, "ID", id) || id.empty()) throw 6;
    std::string key(id);
    if (m_mapAFrames.count(key)) throw 6;
    CQ_MIFLines frame(std::make_move_iterator(block.begin() + static_cast<std::ptrdiff_t>(b)),
                      std::make_move_iterator(block.begin() + static_cast<std::ptrdiff_t>(e)));
    m_mapAFrames.emplace(std::move(key), std::move(frame));
  });
}

void CQ_MIFPreScan::v_ScanTbls(CQ_MIFLines& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Tbl") || e == b + 1) return;
    CQ_MIFLines table(std::make_move_iterator(block.begin() + static_cast<std::ptrdiff_t>(b)),
                      std::make_move_iterator(block.begin() + static_cast<std::ptrdiff_t>(e)));
    table = lst_PrepareText(std::move(table), true);
    std::string_view id;
    if (!MIFSyntax::ChildValue(table, 0, table.size(), "TblID", id) || id.empty()) throw 6;
    std::string key(id);
    if (m_mapTables.count(key)) throw 6;
    m_mapTables.emplace(std::move(key), std::move(table));
  });
}

void CQ_MIFPreScan::v_ScanPage(CQ_MIFLines& block) {
  std::size_t typeLine = 0;
  std::string type;
  std::string background;
  bool haveBackground = false;
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (e != b + 1) return;
    if (typeLine == 0 && HasKeyword(block[b], "PageType")) {
      typeLine = b;
      type = std::string(MIFSyntax::Value(block[b]));
    } else if (!haveBackground && HasKeyword(block[b], "PageBackground")) {
      background = StringOrValue(block[b]);
      haveBackground = true;
    }
  });
  if (typeLine != 0 && (ValueIs(block[typeLine], "PageType", "ReferencePage") ||
                        ValueIs(block[typeLine], "PageType", "HiddenPage"))) {
    return;
  }
  // MIF's default page type is a body page.
  const bool body = typeLine == 0 || ValueIs(block[typeLine], "PageType", "BodyPage");
  st_MIFPage page;
  page.b_Body = body;
  page.cs_Type = body ? std::string("BodyPage") : type;
  page.lst_Lines = std::move(block);
  block = CQ_MIFLines();
  if (body) {
    const std::size_t at = typeLine == 0 ? 1 : typeLine;
    page.lst_Lines.insert(page.lst_Lines.begin() + static_cast<std::ptrdiff_t>(at), "<PageBody>");
  }
  if (haveBackground && m_setPageBackgrounds.insert(background).second) m_vecPageBackgrounds.push_back(background);
  m_vecPages.push_back(std::move(page));
}

void CQ_MIFPreScan::v_ScanTextFlow(CQ_MIFLines& block) {
  CQ_MIFLines flow = lst_PrepareText(std::move(block), false);
  block = CQ_MIFLines();
  v_CutTextFlow(std::move(flow));
}

// --- text preparation -----------------------------------------------------------------------

CQ_MIFLines CQ_MIFPreScan::lst_PrepareText(CQ_MIFLines&& block, bool notesAtAnyDepth) {
  const bool dropSoftHyphens = m_stOptions.i_SourceHyphenation == 0;
  const std::size_t n = block.size();

  // Pass 1: Unique lines, and soft hyphens that end a ParaLine.
  CQ_MIFLines filtered;
  filtered.reserve(n);
  std::vector<char> inParaLine;  // one entry per open block
  for (std::size_t i = 0; i < n; ++i) {
    std::string& line = block[i];
    const int net = NetDepth(line);
    if (net > 0) {
      inParaLine.push_back(HasKeyword(line, "ParaLine") ? 1 : 0);
      for (int k = 1; k < net; ++k) inParaLine.push_back(0);
    } else if (net < 0) {
      for (int k = 0; k < -net && !inParaLine.empty(); ++k) inParaLine.pop_back();
    } else if (IsStatement(line)) {
      if (HasKeyword(line, "Unique")) continue;
      if (dropSoftHyphens && !inParaLine.empty() && inParaLine.back() && i + 1 < n && IsCloser(block[i + 1]) &&
          ValueIs(line, "Char", "SoftHyphen")) {
        continue;
      }
    }
    filtered.push_back(std::move(line));
  }

  // The emptied input goes before the next copy is made.
  CQ_MIFLines().swap(block);

  // Pass 2: footnotes out of their Notes blocks; the blocks go.
  CQ_MIFLines result;
  result.reserve(filtered.size());
  const std::size_t m = filtered.size();
  long depth = 0;
  std::size_t i = 0;
  while (i < m) {
    const std::string& line = filtered[i];
    const bool notesHere = HasKeyword(line, "Notes") && (notesAtAnyDepth || depth == 1);
    if (notesHere && IsOpening(line)) {
      const std::size_t end = MIFSyntax::BlockEnd(filtered, i, m);
      ForEachChild(filtered, i, end, [&](std::size_t b, std::size_t e) {
        if (!HasKeyword(filtered[b], "FNote")) return;
        std::string_view id;
        if (e == b + 1 || !MIFSyntax::ChildValue(filtered, b, e, "ID", id) || id.empty()) throw 6;
        std::string key(id);
        if (m_mapFootnotes.count(key)) throw 6;
        CQ_MIFLines note(std::make_move_iterator(filtered.begin() + static_cast<std::ptrdiff_t>(b)),
                         std::make_move_iterator(filtered.begin() + static_cast<std::ptrdiff_t>(e)));
        m_mapFootnotes.emplace(std::move(key), std::move(note));
      });
      i = end;
      continue;
    }
    depth += NetDepth(line);
    if (!(notesHere && IsStatement(line))) result.push_back(std::move(filtered[i]));
    ++i;
  }
  return result;
}

void CQ_MIFPreScan::v_CutTextFlow(CQ_MIFLines&& flow) {
  const std::size_t n = flow.size();
  if (n == 0) return;
  const std::size_t closer = IsCloser(flow[n - 1]) ? n - 1 : n;

  std::vector<std::pair<std::size_t, std::size_t>> paragraphs;
  ForEachChild(flow, 0, n, [&](std::size_t b, std::size_t e) {
    if (e > b + 1 && HasKeyword(flow[b], "Para")) paragraphs.emplace_back(b, e);
  });

  st_MIFTextFlow record;
  const std::size_t headerEnd = paragraphs.empty() ? closer : paragraphs.front().first;
  for (std::size_t i = 0; i < headerEnd; ++i) record.lst_Header.push_back(flow[i]);
  record.n_Paragraphs = paragraphs.size();

  struct Part {
    std::string id;
    CQ_MIFLines lines;
  };
  std::vector<Part> parts;
  std::unordered_map<std::string, std::size_t> partIndex;
  CQ_MIFLines pending;  // paragraphs before the flow's first column
  std::size_t pendingFirst = 0;
  std::size_t pendingCount = 0;
  long current = -1;

  for (std::size_t p = 0; p < paragraphs.size(); ++p) {
    // A paragraph's unit: stray flow-level lines before it, the paragraph,
    // and after the last one everything up to the flow's closer.
    const std::size_t begin = p == 0 ? paragraphs[0].first : paragraphs[p - 1].second;
    const std::size_t end = p + 1 == paragraphs.size() ? closer : paragraphs[p].second;

    struct ColumnHere {
      std::size_t line;
      std::size_t paraLine;
    };
    std::vector<ColumnHere> here;
    long depth = 0;
    long paraLine = -1;
    for (std::size_t i = begin; i < end; ++i) {
      const std::string& line = flow[i];
      const int net = NetDepth(line);
      if (net > 0 && depth == 1 && HasKeyword(line, "ParaLine")) ++paraLine;
      if (net == 0 && IsStatement(line) && HasKeyword(line, "TextRectID")) {
        here.push_back({i, static_cast<std::size_t>(paraLine < 0 ? 0 : paraLine)});
      }
      depth += net;
    }

    for (const ColumnHere& c : here) {
      std::string id(MIFSyntax::Value(flow[c.line]));
      if (id.empty() || partIndex.count(id) || m_mapTextColumns.count(id)) throw 6;
      partIndex.emplace(id, parts.size());
      st_MIFColumnStart start;
      start.cs_ID = id;
      start.cs_Line = flow[c.line];
      start.n_Paragraph = p;
      start.n_ParaLine = c.paraLine;
      start.n_FirstHome = 0;
      start.n_HomeCount = 0;
      record.vec_Columns.push_back(std::move(start));
      Part part;
      part.id = std::move(id);
      part.lines.push_back(flow[c.line]);
      parts.push_back(std::move(part));
    }

    // The paragraph's home: the column it begins in. A column statement in
    // its first line means it begins there; otherwise it runs on from the
    // column before.
    long home;
    if (!here.empty() && here.front().paraLine == 0) {
      home = static_cast<long>(partIndex[std::string(MIFSyntax::Value(flow[here.front().line]))]);
    } else if (current >= 0) {
      home = current;
    } else if (!here.empty()) {
      home = static_cast<long>(partIndex[std::string(MIFSyntax::Value(flow[here.front().line]))]);
    } else {
      home = -1;
    }

    std::size_t nextColumn = 0;
    auto takeUnit = [&](CQ_MIFLines& into) {
      for (std::size_t i = begin; i < end; ++i) {
        if (nextColumn < here.size() && here[nextColumn].line == i) {
          ++nextColumn;
          continue;
        }
        into.push_back(std::move(flow[i]));
      }
    };
    if (home < 0) {
      if (pendingCount == 0) pendingFirst = p;
      ++pendingCount;
      takeUnit(pending);
    } else {
      st_MIFColumnStart& start = record.vec_Columns[static_cast<std::size_t>(home)];
      CQ_MIFLines& into = parts[static_cast<std::size_t>(home)].lines;
      if (pendingCount > 0) {
        start.n_FirstHome = pendingFirst;
        start.n_HomeCount = pendingCount;
        for (std::string& l : pending) into.push_back(std::move(l));
        pending.clear();
        pendingCount = 0;
      }
      if (start.n_HomeCount == 0) start.n_FirstHome = p;
      ++start.n_HomeCount;
      takeUnit(into);
    }
    if (!here.empty()) {
      current = static_cast<long>(partIndex[std::string(record.vec_Columns[record.vec_Columns.size() - 1].cs_ID)]);
    }
  }

  for (std::size_t k = 0; k < parts.size(); ++k) {
    // A column that got no paragraph starts where its statement stood.
    if (record.vec_Columns[k].n_HomeCount == 0) record.vec_Columns[k].n_FirstHome = record.vec_Columns[k].n_Paragraph;
    parts[k].lines.emplace_back(kEndOfColumn);
    parts[k].lines.shrink_to_fit();
    m_mapTextColumns.emplace(std::move(parts[k].id), std::move(parts[k].lines));
  }
  m_vecTextFlows.push_back(std::move(record));
}

void CQ_MIFPreScan::v_ReleaseObjectTables() {
  m_mapAFrames.clear();
  m_mapTables.clear();
  m_mapFootnotes.clear();
  m_mapTextColumns.clear();
  m_vecPages.clear();
}
