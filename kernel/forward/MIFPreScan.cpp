// Reading a MIF file into the pre-scan state.
//
// The dispatcher reads the file line by line; a line that opens a block at
// the top level is read with the whole block (by bracket depth) into the
// line store and handed to the scanner of its section, or dropped when no
// scanner keeps it (its text is then given back to the store). Every line's
// depth is counted once, when it is stored. Text flows and tables are
// prepared in place in one linear pass (Unique lines and line-end soft
// hyphens out, footnotes out of their Notes blocks), which also notes where
// a flow's TextRectID statements stand; flows are then cut into text
// columns at paragraph boundaries, so that every column's part begins with
// a whole paragraph, reading only the paragraphs that hold such statements.
#include "kernel/forward/MIFPreScan.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <limits>
#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>

#include "System/Platform/FileException.h"
#include "System/Platform/FileSystem.h"
#include "System/Platform/TemporaryFile.h"
#include "kernel/forward/MIF7TextCheck.h"
#include "kernel/forward/MIFFileCheck.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/forward/MIFUnicode.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/Communication.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/Languages.h"
#include "kernel/session/ResultCodes.h"

using MIFSyntax::ForEachChild;
using MIFSyntax::HasKeyword;
using MIFSyntax::IsCloser;
using MIFSyntax::IsOpening;
using MIFSyntax::IsStatement;
using MIFSyntax::ValueIs;

namespace {

constexpr std::string_view kEndOfMIFFile = "# End of MIFFile";
constexpr std::string_view kEndOfColumn = "<End of TextRectID>";
constexpr std::string_view kPageBody = "<PageBody>";

// A line's notes for a later pass (CQ_MIFPreScan::rco_GetLineNets,
// rco_GetLineLengths): values out of a byte's range are marked as such.
std::int8_t NotedNet(int net) {
  return net >= -127 && net <= 127 ? static_cast<std::int8_t>(net) : CQ_MIFPreScan::NET_NOT_NOTED;
}
std::uint8_t NotedLength(std::string_view line) {
  return line.size() < CQ_MIFPreScan::LENGTH_NOT_NOTED ? static_cast<std::uint8_t>(line.size())
                                                      : CQ_MIFPreScan::LENGTH_NOT_NOTED;
}

// The raw string content of a statement, or its plain value when it has no
// backquoted string.
std::string StringOrValue(std::string_view line) { return std::string(MIFSyntax::RawValue(line)); }

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

// True when the compact line's statement name is `keyword`; the size and
// the name's first byte rule out most lines before the bytes are compared.
inline bool HasName(const st_MIFLine& line, std::string_view keyword) {
  return line.n_Size > keyword.size() && line.pc_Text[1] == keyword[0] && HasKeyword(line.sv(), keyword);
}

}  // namespace

// --- construction and options ------------------------------------------------

CQ_MIFPreScan::st_Options CQ_MIFPreScan::st_ForwardOptions(const CQ_Morvane_Communication& session) {
  st_Options options;
  options.b_FirstConversion = true;
  options.b_RunFileCheck = true;
  options.i_SourceHyphenation = session.i_GetSourceHyphenation();
  options.i_CharacterSet = session.i_GetCharacterSet();
  options.i_HighestMIFVersion = session.i_GetHighestMIFVersion();
  return options;
}

CQ_MIFPreScan::st_Options CQ_MIFPreScan::st_SecondFormOptions(const CQ_Morvane_Communication& session) {
  st_Options options;
  options.b_FirstConversion = false;
  options.b_RunFileCheck = false;
  options.i_SourceHyphenation = session.i_GetSourceHyphenation();
  options.i_CharacterSet = session.i_GetCharacterSet();
  options.i_HighestMIFVersion = session.i_GetHighestMIFVersion();
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
  if (m_stOptions.b_RunFileCheck) {
    m_bEUC = CQ_MIFFileCheck::sb_CheckFile(sourcePath, orgFolder, m_stOptions.i_HighestMIFVersion);
    if (m_stOptions.i_HighestMIFVersion >= 70) v_RefuseUnconvertedMIF7Text(sourcePath);
  }
  // The copies outlive the reader, which is declared after them.
  std::unique_ptr<CQ_EUCTempCopy> eucCopy;
  if (m_bEUC) eucCopy = std::make_unique<CQ_EUCTempCopy>(sourcePath, CQ_EUCTempCopy::scs_TempPath(orgFolder, sourcePath));
  std::unique_ptr<Platform::CQ_TemporaryFile> unicodeCopy;
  std::string readPath = eucCopy ? eucCopy->ccs_Path() : sourcePath;
  if (m_stOptions.b_RunFileCheck && !m_bEUC && m_stOptions.i_HighestMIFVersion >= CQ_MIFUnicode::HIGHEST_VERSION &&
      CQ_MIFUnicode::sb_IsUnicode(CQ_MIFUnicode::si_Version(scs_ReadHead(sourcePath)))) {
    unicodeCopy = pco_CodePageCopy(sourcePath, CQ_EUCTempCopy::scs_TempPath(orgFolder, sourcePath));
    readPath = Platform::DirectoryOf(CQ_EUCTempCopy::scs_TempPath(orgFolder, sourcePath)) +
               unicodeCopy->rcs_GetTemporaryName();
  }
  CQ_MIFCopyingReader reader(readPath, orgPath);
  v_ReadSections(reader);
  v_Restructure();
  if (m_stOptions.b_HoldORGCopy) {
    m_pcoORGCopy = reader.pco_TakeCopy();
  } else {
    reader.v_Commit();
  }
}

std::string CQ_MIFPreScan::scs_ReadHead(const std::string& path) {
  std::string head;
  std::ifstream in(path, std::ios::binary);
  head.resize(32);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head;
}

void CQ_MIFPreScan::v_RefuseUnconvertedMIF7Text(const std::string& path) {
  const std::string head = scs_ReadHead(path);
  const bool mif70 = CQ_MIF7TextCheck::sb_IsMIF70(head);
  const int version = CQ_MIFUnicode::si_Version(head);
  if (!mif70 && !(m_stOptions.i_HighestMIFVersion >= CQ_MIFUnicode::HIGHEST_VERSION &&
                  CQ_MIFUnicode::sb_IsAcceptedUnicodeVersion(version))) {
    return;
  }
  CQ_MIF7TextCheck::st_Finding finding;
  if (!CQ_MIF7TextCheck::sb_FindUnconvertedTextInFile(path, finding)) return;
  if (mif70) {
    m_rcoSession.v_AddMessage(
        ccs_FormatKernelString(Msg::FWD_ERR_MIF7_TEXT, finding.cs_Statement.c_str(), static_cast<int>(finding.sz_Line)));
  } else {
    // The version as the file's first line writes it ("9.00", "2019").
    std::string name = head.substr(9);
    name = name.substr(0, name.find_first_of(" >\r\n"));
    m_rcoSession.v_AddMessage(ccs_FormatKernelString(Msg::FWD_ERR_UNICODE_MIF_TEXT, name.c_str(), finding.cs_Statement.c_str(),
                                                     static_cast<int>(finding.sz_Line)));
  }
  throw Result::MIF7_TEXT;
}

std::unique_ptr<Platform::CQ_TemporaryFile> CQ_MIFPreScan::pco_CodePageCopy(const std::string& sourcePath,
                                                                          const std::string& standIn) {
  std::string mif;
  {
    std::ifstream in(sourcePath, std::ios::binary);
    if (!in) Platform::CQ_FileException::ThrowOsError(errno ? errno : ENOENT, sourcePath);
    mif.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  int codePage = m_rcoSession.i_GetSourceCodePage();
  if (codePage == 0) codePage = 1252;
  std::string copy;
  CQ_MIFUnicode::st_Unheld unheld;
  if (!CQ_MIFUnicode::sb_ToCodePageForm(mif, codePage, m_stOptions.i_CharacterSet != 0, copy, unheld)) {
    const std::string name = CQ_MIFUnicode::scs_CodePointName(unheld.c_Character);
    const std::string glyph = CQ_MIFUnicode::scs_UTF8(unheld.c_Character);
    const int line = static_cast<int>(unheld.sz_Line);
    if (!unheld.cs_Paragraph.empty()) {
      m_rcoSession.v_AddMessage(ccs_FormatKernelString(Msg::FWD_ERR_CHAR_OUTSIDE_CODE_PAGE, name.c_str(), glyph.c_str(), line,
                                                       unheld.cs_Paragraph.c_str(), codePage));
    } else {
      m_rcoSession.v_AddMessage(ccs_FormatKernelString(Msg::FWD_ERR_CHAR_OUTSIDE_CODE_PAGE_IN_STATEMENT, name.c_str(), glyph.c_str(), line,
                                                       unheld.cs_Statement.c_str(), codePage));
    }
    // The first other code page a source language is written in that
    // holds the character.
    bool suggested = false;
    for (int other : {1252, 1250, 1251, 1253, 1254, 1257, 932, 936, 949, 950}) {
      if (other == codePage || !CQ_MIFUnicode::sb_CodePageHolds(other, unheld.c_Character)) continue;
      const std::vector<std::string> languages = ccs_SourceLanguagesOfCodePage(other);
      if (languages.empty()) continue;
      std::string list;
      for (const std::string& language : languages) list += (list.empty() ? "" : ", ") + language;
      m_rcoSession.v_AddMessage(ccs_FormatKernelString(Msg::FWD_ERR_CHAR_OUTSIDE_CODE_PAGE_HINT, other, list.c_str()));
      suggested = true;
      break;
    }
    if (!suggested) m_rcoSession.v_AddMessage(lpsz_LoadKernelString(Msg::FWD_ERR_CHAR_OUTSIDE_CODE_PAGE_NO_LANGUAGE_HINT));
    throw Result::ALREADY_REPORTED;
  }
  auto file = std::make_unique<Platform::CQ_TemporaryFile>(standIn);
  file->v_Write(copy.data(), copy.size());
  return file;
}

void CQ_MIFPreScan::v_PreScanSecondForm(const std::string& path, bool runFileCheck) {
  if (runFileCheck) m_bEUC = CQ_MIFFileCheck::sb_CheckFile(path, Platform::DirectoryOf(path), m_stOptions.i_HighestMIFVersion);
  // The whole file is read at once and the lines kept point into it rather
  // than into copies in the line store.
  m_coFile = Platform::CQ_WholeFile(path);
  v_ReadHeldText(m_coFile.sv(), false);
}

void CQ_MIFPreScan::v_PreScanHeldText(std::string_view text) {
  // A later pass over this text takes its lines' lengths and depths from here.
  v_ReadHeldText(text, true);
}

void CQ_MIFPreScan::v_ReadHeldText(std::string_view text, bool noteLines) {
  m_svHeldText = text;
  m_bNoteLines = noteLines;
  CQ_MIFLineReader reader(text.data(), text.size());
  v_ReadSections(reader);
  v_Restructure();
}

void CQ_MIFPreScan::v_PreScanText(const char* data, std::size_t size) {
  m_bNoteLines = false;
  CQ_MIFLineReader reader(data, size);
  v_ReadSections(reader);
  v_Restructure();
}

// --- section dispatch ----------------------------------------------------------

void CQ_MIFPreScan::v_ReadSections(CQ_MIFLineReader& reader) {
  const bool first = m_stOptions.b_FirstConversion;
  std::string_view line;
  // One list serves every block, sized once for the largest a file of this
  // size can hold in the usual 16 bytes or more per line; room never used
  // is never touched. The restructuring builds the body list in it.
  CQ_MIFLineList& block = m_lstRead;
  block.clear();
  block.reserve(reader.n_SizeHint() / 16 + 64);
  m_coStore.v_ExpectBytes(reader.n_SizeHint());
  // A line that lies in the file's text held in memory is kept where it
  // lies; any other line (a line read from a file, or the last line of a
  // text that ends without a line end, which the reader joins in its own
  // buffer) is copied into the store.
  const auto held = reinterpret_cast<std::uintptr_t>(m_svHeldText.data());
  const std::size_t heldSize = m_svHeldText.size();
  // Unsigned: a line before the held text lies far beyond its end.
  const auto inHeld = [&](std::string_view text) {
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(text.data()) - held;
    return offset < heldSize && text.size() <= heldSize - offset;
  };
  const bool heldSizesFit = heldSize <= std::numeric_limits<std::uint32_t>::max();
  const auto keep = [&](std::string_view text, int net) {
    if (inHeld(text)) {
      if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw Result::DAMAGED;
      return st_MIFLine{text.data(), static_cast<std::uint32_t>(text.size()), net};
    }
    return m_coStore.st_Add(text, net);
  };
  // Over text held for a later pass, each line's net depth (0 for a line
  // outside blocks that is no statement, which such a pass does not ask
  // for) and length are noted in reading order.
  const bool noteNets = m_bNoteLines && !m_svHeldText.empty();
  m_vecLineNets.clear();
  m_vecLineLengths.clear();
  if (noteNets) {
    m_vecLineNets.reserve(reader.n_SizeHint() / 12 + 64);
    m_vecLineLengths.reserve(reader.n_SizeHint() / 12 + 64);
  }
  const auto note = [&](std::string_view text, int net) {
    if (!noteNets) return;
    m_vecLineNets.push_back(NotedNet(net));
    m_vecLineLengths.push_back(NotedLength(text));
  };
  bool ended = false;
  v_Changed();
  // The reader gives the lines with their net depths, found in one walk,
  // a batch at a time; each line is used before the next batch is read.
  std::array<CQ_MIFLineReader::st_LineNet, 256> batch;
  std::size_t batchSize = 0;
  std::size_t batchNext = 0;
  int net = 0;
  const auto next = [&]() {
    if (batchNext == batchSize) {
      batchSize = reader.n_ReadLinesNet(batch.data(), batch.size());
      batchNext = 0;
      if (batchSize == 0) return false;
    }
    line = batch[batchNext].sv_Line;
    net = batch[batchNext].i_Net;
    ++batchNext;
    return true;
  };
  while (next()) {
    if (line.substr(0, kEndOfMIFFile.size()) == kEndOfMIFFile) {
      ended = true;
      break;
    }
    if (line.front() != '<') {
      // A closer with nothing open: a statement's opening was lost, and
      // the statements around it were closed early; what follows would be
      // read out of its sections. (Other lines are no statements.)
      if (line.front() == '>' && net < 0) throw Result::DAMAGED;
      note(line, 0);
      continue;
    }
    if (first) {
      if (HasKeyword(line, "MIFEncoding")) m_rcoSession.v_AddMessage(lpsz_LoadKernelString(Msg::FWD_MIF_FROM_ASIAN_SYSTEM));
      if (ValueIs(line, "DAutoChBars", "Yes")) throw Result::AUTO_CHANGE_BARS;
    }
    int depth = net;
    note(line, depth);
    if (depth < 0) throw Result::DAMAGED;
    if (depth == 0) continue;
    const CQ_MIFLineStore::st_Mark mark = m_coStore.st_GetMark();
    block.clear();
    block.push_back(keep(line, depth));
    // The block's other lines, read straight from each batch; room for
    // their nets is made once a batch.
    while (depth > 0) {
      if (batchNext == batchSize) {
        batchSize = reader.n_ReadLinesNet(batch.data(), batch.size());
        batchNext = 0;
        if (batchSize == 0) throw Result::UNEXPECTED_END;
      }
      const CQ_MIFLineReader::st_LineNet* at = batch.data() + batchNext;
      const CQ_MIFLineReader::st_LineNet* const end = batch.data() + batchSize;
      std::int8_t* nets = nullptr;
      std::uint8_t* lengths = nullptr;
      if (noteNets) {
        const std::size_t noted = m_vecLineNets.size();
        m_vecLineNets.resize(noted + (batchSize - batchNext));
        m_vecLineLengths.resize(noted + (batchSize - batchNext));
        nets = m_vecLineNets.data() + noted;
        lengths = m_vecLineLengths.data() + noted;
      }
      // A batch's lines follow one another in the order read: when its
      // first and last lie in the held text, all of them do, and each is
      // kept where it lies without asking (its notes are taken then when
      // they are asked for, without a test per line). The loop is made for
      // such batches with and without notes and once for the others.
      const auto readBatch = [&](auto heldBatch, auto notedBatch) {
        constexpr bool kHeld = decltype(heldBatch)::value;
        constexpr bool kNoted = decltype(notedBatch)::value;
        static_assert(kHeld || !kNoted);
        // Local copies: the byte stores of the nets could otherwise change
        // anything the compiler would have to read again.
        const CQ_MIFLineReader::st_LineNet* a = at;
        int d = depth;
        std::int8_t* n = nets;
        std::uint8_t* l = lengths;
        while (a != end) {
          const std::string_view text = a->sv_Line;
          const int lineNet = a->i_Net;
          ++a;
          // Every statement closes before the end marker.
          if (text.front() == '#' && text.substr(0, kEndOfMIFFile.size()) == kEndOfMIFFile) {
            throw Result::UNEXPECTED_END;
          }
          if (kNoted || (!kHeld && n)) {
            *n++ = NotedNet(lineNet);
            *l++ = NotedLength(text);
          }
          // Only a statement opens and only a closer closes: a line that
          // changes the depth otherwise is a statement with bytes before its
          // '<' (image data, comments and text lines give 0).
          if (lineNet != 0 && text.front() != '<' && text.front() != '>') throw Result::DAMAGED;
          d += lineNet;
          if (d > MAX_DEPTH) throw Result::DAMAGED;
          if constexpr (kHeld) {
            block.push_back(st_MIFLine{text.data(), static_cast<std::uint32_t>(text.size()), lineNet});
          } else {
            block.push_back(keep(text, lineNet));
          }
          if (d <= 0) break;
        }
        at = a;
        depth = d;
        nets = n;
        lengths = l;
      };
      if (!m_svHeldText.empty() && heldSizesFit && inHeld(at->sv_Line) && inHeld(end[-1].sv_Line)) {
        if (nets) {
          readBatch(std::true_type(), std::true_type());
        } else {
          readBatch(std::true_type(), std::false_type());
        }
      } else {
        readBatch(std::false_type(), std::false_type());
      }
      if (nets) {
        m_vecLineNets.resize(static_cast<std::size_t>(nets - m_vecLineNets.data()));
        m_vecLineLengths.resize(static_cast<std::size_t>(lengths - m_vecLineLengths.data()));
      }
      batchNext = static_cast<std::size_t>(at - batch.data());
    }
    if (depth < 0) throw Result::DAMAGED;
    if (!b_Dispatch(block)) m_coStore.v_Rewind(mark);
  }
  block.clear();
  if (!ended) throw Result::UNEXPECTED_END;
  // A document without variable formats still stops for its change bars.
  if (first && m_bChangeBars) throw Result::CHANGE_BARS_IN_FORMAT;
}

bool CQ_MIFPreScan::b_Dispatch(CQ_MIFLineList& block) {
  const std::string_view kw = MIFSyntax::Keyword(block.front());
  if (kw == "TextFlow") {
    v_ScanTextFlow(block);
    return true;
  }
  if (kw == "Page") return b_ScanPage(block);
  if (kw == "Tbls") {
    v_ScanTbls(block);
    return true;
  }
  if (kw == "AFrames") {
    v_ScanAFrames(block);
    return true;
  }
  if (kw == "PgfCatalog") {
    v_ScanPgfCatalog(block);
  } else if (kw == "FontCatalog") {
    if (m_stOptions.b_FirstConversion) v_ScanFontCatalog(block);
  } else if (kw == "ConditionCatalog") {
    v_ScanConditionCatalog(block);
  } else if (kw == "ElementDefCatalog") {
    v_ScanElementDefCatalog(block);
  } else if (kw == "VariableFormats") {
    if (m_stOptions.b_FirstConversion && m_bChangeBars) throw Result::CHANGE_BARS_IN_FORMAT;
    v_ScanNamedFormats(block, "VariableFormat", "VariableName", "VariableDef", m_vecVariableFormats);
  } else if (kw == "XRefFormats") {
    v_ScanNamedFormats(block, "XRefFormat", "XRefName", "XRefDef", m_vecXRefFormats);
  } else if (kw == "Document") {
    v_ScanDocument(block);
  }
  return false;
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

void CQ_MIFPreScan::v_ScanConditionCatalog(const CQ_MIFLineList& block) {
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

void CQ_MIFPreScan::v_ScanPgfCatalog(const CQ_MIFLineList& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Pgf") || e == b + 1) return;
    std::string tag;
    std::string numFormat;
    bool haveTag = false;
    bool haveNumFormat = false;
    bool changeBars = false;
    bool hyphenate = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      const std::string_view line = block[i];
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

void CQ_MIFPreScan::v_ScanFontCatalog(const CQ_MIFLineList& block) {
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

void CQ_MIFPreScan::v_ScanElementDefCatalog(const CQ_MIFLineList& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "ElementDef") || e == b + 1) return;
    st_MIFElementDef def;
    bool haveTag = false;
    for (std::size_t i = b + 1; i < e; ++i) {
      const std::string_view line = block[i];
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

void CQ_MIFPreScan::v_ScanNamedFormats(const CQ_MIFLineList& block, const char* item, const char* nameKey,
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

void CQ_MIFPreScan::v_ScanDocument(const CQ_MIFLineList& block) {
  const bool first = m_stOptions.b_FirstConversion;
  for (std::size_t i = 1; i < block.size(); ++i) {
    const std::string_view line = block[i];
    if (first && ValueIs(line, "DAutoChBars", "Yes")) throw Result::AUTO_CHANGE_BARS;
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

void CQ_MIFPreScan::v_ScanAFrames(const CQ_MIFLineList& block) {
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Frame") || e == b + 1) return;
    std::string_view id;
    if (!MIFSyntax::ChildValue(block, b, e, "ID", id) || id.empty()) throw Result::DAMAGED;
    std::string key(id);
    if (m_mapAFrames.count(key)) throw Result::DAMAGED;
    m_mapAFrames.emplace(std::move(key), CQ_MIFLineList(block.begin() + static_cast<std::ptrdiff_t>(b),
                                                        block.begin() + static_cast<std::ptrdiff_t>(e)));
  });
}

void CQ_MIFPreScan::v_ScanTbls(CQ_MIFLineList& block) {
  // Each table is prepared where it stands in the block (preparation only
  // drops lines); the tables are then copied out together, one after
  // another, into one list at its final size.
  struct Found {
    st_MIFLineSpan* span;
    std::size_t begin;
    std::size_t end;
  };
  std::vector<Found> found;
  std::size_t total = 0;
  ForEachChild(block, 0, block.size(), [&](std::size_t b, std::size_t e) {
    if (!HasKeyword(block[b], "Tbl") || e == b + 1) return;
    const std::size_t end = n_PrepareText(block, b, e, true, nullptr, nullptr);
    std::string_view id;
    if (!MIFSyntax::ChildValue(block, b, end, "TblID", id) || id.empty()) throw Result::DAMAGED;
    const auto [entry, added] = m_mapTables.try_emplace(std::string(id));
    if (!added) throw Result::DAMAGED;
    found.push_back({&entry->second, b, end});
    total += end - b;
  });
  if (found.empty()) return;
  CQ_MIFLineList all;
  all.reserve(total);
  for (const Found& f : found) {
    all.insert(all.end(), block.begin() + static_cast<std::ptrdiff_t>(f.begin),
               block.begin() + static_cast<std::ptrdiff_t>(f.end));
  }
  m_vecSharedLists.push_back(std::move(all));
  const st_MIFLine* at = m_vecSharedLists.back().data();
  for (const Found& f : found) {
    f.span->pc_Begin = at;
    at += f.end - f.begin;
    f.span->pc_End = at;
  }
}

bool CQ_MIFPreScan::b_ScanPage(CQ_MIFLineList& block) {
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
    return false;
  }
  // MIF's default page type is a body page.
  const bool body = typeLine == 0 || ValueIs(block[typeLine], "PageType", "BodyPage");
  st_PageLines page;
  page.b_Body = body;
  page.cs_Type = body ? std::string("BodyPage") : type;
  page.lst_Lines.reserve(block.size() + (body ? 1 : 0));
  page.lst_Lines.assign(block.begin(), block.end());
  if (body) {
    const std::size_t at = typeLine == 0 ? 1 : typeLine;
    page.lst_Lines.insert(page.lst_Lines.begin() + static_cast<std::ptrdiff_t>(at),
                          CQ_MIFLineStore::sst_Literal(kPageBody));
  }
  if (haveBackground && m_setPageBackgrounds.insert(background).second) m_vecPageBackgrounds.push_back(background);
  m_vecPages.push_back(std::move(page));
  return true;
}

void CQ_MIFPreScan::v_ScanTextFlow(CQ_MIFLineList& block) {
  std::vector<std::size_t> columnLines;
  std::vector<std::size_t> anchorLines;
  block.resize(n_PrepareText(block, 0, block.size(), false, &columnLines, &anchorLines));
  v_CutTextFlow(block, columnLines, anchorLines);
}

// --- text preparation -----------------------------------------------------------------------

std::size_t CQ_MIFPreScan::n_PrepareText(CQ_MIFLineList& block, std::size_t begin, std::size_t end,
                                         bool notesAtAnyDepth, std::vector<std::size_t>* columnLines,
                                         std::vector<std::size_t>* anchorLines) {
  const bool dropSoftHyphens = m_stOptions.i_SourceHyphenation == 0;

  // One pass keeps lines in place: the write position never passes the
  // read position, and the look ahead reads a line not yet overwritten.
  // A Notes block is kept like any lines until it closes; its footnotes
  // are then taken from the kept lines and the block is dropped, so the
  // footnotes lose their Unique lines and soft hyphens too.
  auto takeFootnotes = [&](std::size_t notesBegin, std::size_t notesEnd) {
    ForEachChild(block, notesBegin, notesEnd, [&](std::size_t b, std::size_t e) {
      if (!HasKeyword(block[b], "FNote")) return;
      std::string_view id;
      if (e == b + 1 || !MIFSyntax::ChildValue(block, b, e, "ID", id) || id.empty()) throw Result::DAMAGED;
      std::string key(id);
      if (m_mapFootnotes.count(key)) throw Result::DAMAGED;
      m_mapFootnotes.emplace(std::move(key), CQ_MIFLineList(block.begin() + static_cast<std::ptrdiff_t>(b),
                                                            block.begin() + static_cast<std::ptrdiff_t>(e)));
    });
  };

  // The list is read and written through a plain pointer: its room never
  // changes here.
  st_MIFLine* const lines = block.data();
  std::size_t kept = begin;
  // Per open block, whether it is a ParaLine; `open` blocks are open. The
  // reading refuses a block with a line after its first deeper than
  // MAX_DEPTH, so only levels up to MAX_DEPTH are ever asked about (a
  // statement asks about the level below the depth before it, which is its
  // own depth, at most MAX_DEPTH); a first line that opens more leaves the
  // levels beyond unnoted.
  std::array<bool, MAX_DEPTH + 1> isParaLine{};
  std::size_t open = 0;
  long depth = 0;  // of the kept lines, Notes blocks not counted
  bool inNotes = false;
  std::size_t notesBegin = 0;
  long notesDepth = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const st_MIFLine line = lines[i];
    const int net = line.i_Net;
    // 1: a TextRectID statement, 2: a possible anchor (flows only).
    int noted = 0;
    // Unique lines, and soft hyphens that end a ParaLine.
    if (net > 0) {
      const std::size_t top = open + static_cast<std::size_t>(net);
      const std::size_t levels = std::min(top, isParaLine.size());
      if (open < levels) isParaLine[open] = HasName(line, "ParaLine");
      for (std::size_t k = open + 1; k < levels; ++k) isParaLine[k] = false;
      open = top;
    } else if (net < 0) {
      const std::size_t closed = static_cast<std::size_t>(-static_cast<long>(net));
      open = closed >= open ? 0 : open - closed;
    } else if (line.n_Size > 1 && line.pc_Text[0] == '<') {
      // A statement: its name's first byte tells which test can apply.
      switch (line.pc_Text[1]) {
        case 'U':
          if (HasName(line, "Unique")) continue;
          break;
        case 'C':
          if (dropSoftHyphens && open > 0 && isParaLine[open - 1] && i + 1 < end && IsCloser(lines[i + 1]) &&
              ValueIs(line, "Char", "SoftHyphen")) {
            continue;
          }
          break;
        case 'T':
          if (columnLines && HasName(line, "TextRectID")) noted = 1;
          break;
        case 'A':
        case 'F':
          if (columnLines && sb_MayBeAnchor(line)) noted = 2;
          break;
        default:
          break;
      }
    }
    // Footnotes out of their Notes blocks; the blocks go.
    if (inNotes) {
      lines[kept++] = line;
      notesDepth += net;
      if (notesDepth <= 0) {
        takeFootnotes(notesBegin, kept);
        kept = notesBegin;
        inNotes = false;
      }
      continue;
    }
    const bool notesHere = (notesAtAnyDepth || depth == 1) && HasName(line, "Notes");
    if (notesHere && net > 0) {
      inNotes = true;
      notesBegin = kept;
      notesDepth = net;
      lines[kept++] = line;
      continue;
    }
    depth += net;
    if (notesHere && IsStatement(line)) continue;
    if (noted != 0) (noted == 1 ? columnLines : anchorLines)->push_back(kept);
    lines[kept++] = line;
  }
  // A Notes block that does not close runs to the end.
  if (inNotes) {
    takeFootnotes(notesBegin, kept);
    kept = notesBegin;
  }
  return kept;
}

void CQ_MIFPreScan::v_CutTextFlow(const CQ_MIFLineList& flow, const std::vector<std::size_t>& allColumnLines,
                                  const std::vector<std::size_t>& anchorLines) {
  const std::size_t n = flow.size();
  if (n == 0) return;
  // FrameMaker 12 and later repeat the column statement of the column in
  // force at the start of many paragraphs. A repeat starts no column: it is
  // left out of the unit like a column statement (back conversion puts
  // every column statement of an ORG paragraph back in place). A column
  // that comes back after another is still damage, refused below.
  std::vector<std::size_t> columnLines;
  columnLines.reserve(allColumnLines.size());
  std::string_view lastColumn;
  for (std::size_t line : allColumnLines) {
    const std::string_view id = MIFSyntax::Value(flow[line]);
    if (!columnLines.empty() && id == lastColumn) continue;
    columnLines.push_back(line);
    lastColumn = id;
  }
  const std::size_t closer = IsCloser(flow[n - 1]) ? n - 1 : n;

  std::vector<std::pair<std::size_t, std::size_t>> paragraphs;
  ForEachChild(flow, 0, n, [&](std::size_t b, std::size_t e) {
    if (e > b + 1 && HasKeyword(flow[b], "Para")) paragraphs.emplace_back(b, e);
  });

  st_MIFTextFlow record;
  const std::size_t headerEnd = paragraphs.empty() ? closer : paragraphs.front().first;
  for (std::size_t i = 0; i < headerEnd; ++i) record.lst_Header.emplace_back(flow[i].sv());
  record.n_Paragraphs = paragraphs.size();

  // The paragraphs are first assigned to their columns; the columns' parts
  // are then filled at their final size.
  struct Part {
    std::string id;
    st_MIFLine statement;  // the TextRectID line, first of the part
    std::size_t size = 2;  // lines, with the statement and the end line
  };
  struct Unit {
    std::size_t begin;
    std::size_t end;
    std::size_t skipFirst;  // column statements within the unit, in `skips`
    std::size_t skipCount;
    long part;  // -1: not (yet) in a part
  };
  std::vector<Part> parts;
  std::vector<Unit> units;
  units.reserve(paragraphs.size());
  std::vector<std::size_t> skips;
  std::unordered_map<std::string, std::size_t> partIndex;
  std::vector<std::size_t> pending;  // units of paragraphs before the flow's first column
  std::size_t pendingFirst = 0;
  std::size_t pendingCount = 0;
  long current = -1;

  struct ColumnHere {
    std::size_t line;
    std::size_t paraLine;
  };
  std::vector<ColumnHere> here;
  std::size_t nextColumn = 0;  // first entry of columnLines not yet reached
  std::size_t nextAny = 0;     // first entry of allColumnLines not yet reached
  for (std::size_t p = 0; p < paragraphs.size(); ++p) {
    // A paragraph's unit: stray flow-level lines before it, the paragraph,
    // and after the last one everything up to the flow's closer.
    const std::size_t begin = p == 0 ? paragraphs[0].first : paragraphs[p - 1].second;
    const std::size_t end = p + 1 == paragraphs.size() ? closer : paragraphs[p].second;

    // The column statements in the unit, each with the ParaLine it stands
    // in (counted from the unit's start); a unit without one is not read.
    here.clear();
    while (nextColumn < columnLines.size() && columnLines[nextColumn] < begin) ++nextColumn;
    if (nextColumn < columnLines.size() && columnLines[nextColumn] < end) {
      long depth = 0;
      long paraLine = -1;
      for (std::size_t i = begin; nextColumn < columnLines.size() && columnLines[nextColumn] < end; ++i) {
        const st_MIFLine& line = flow[i];
        const int net = line.i_Net;
        if (net > 0 && depth == 1 && HasName(line, "ParaLine")) ++paraLine;
        if (i == columnLines[nextColumn]) {
          here.push_back({i, static_cast<std::size_t>(paraLine < 0 ? 0 : paraLine)});
          ++nextColumn;
        }
        depth += net;
      }
    }

    for (const ColumnHere& c : here) {
      std::string id(MIFSyntax::Value(flow[c.line]));
      if (id.empty() || partIndex.count(id) || m_mapTextColumns.count(id)) throw Result::DAMAGED;
      partIndex.emplace(id, parts.size());
      st_MIFColumnStart start;
      start.cs_ID = id;
      start.cs_Line = std::string(flow[c.line].sv());
      start.n_Paragraph = p;
      start.n_ParaLine = c.paraLine;
      start.n_FirstHome = 0;
      start.n_HomeCount = 0;
      record.vec_Columns.push_back(std::move(start));
      Part part;
      part.id = std::move(id);
      part.statement = flow[c.line];
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

    // The unit without its column statements, repeats included.
    const std::size_t unit = units.size();
    const std::size_t skipFirst = skips.size();
    while (nextAny < allColumnLines.size() && allColumnLines[nextAny] < begin) ++nextAny;
    for (; nextAny < allColumnLines.size() && allColumnLines[nextAny] < end; ++nextAny) {
      skips.push_back(allColumnLines[nextAny]);
    }
    units.push_back({begin, end, skipFirst, skips.size() - skipFirst, -1});
    auto assign = [&](std::size_t u, std::size_t part) {
      units[u].part = static_cast<long>(part);
      parts[part].size += units[u].end - units[u].begin - units[u].skipCount;
    };
    if (home < 0) {
      if (pendingCount == 0) pendingFirst = p;
      ++pendingCount;
      pending.push_back(unit);
    } else {
      const std::size_t part = static_cast<std::size_t>(home);
      st_MIFColumnStart& start = record.vec_Columns[part];
      if (pendingCount > 0) {
        start.n_FirstHome = pendingFirst;
        start.n_HomeCount = pendingCount;
        for (std::size_t u : pending) assign(u, part);
        pending.clear();
        pendingCount = 0;
      }
      if (start.n_HomeCount == 0) start.n_FirstHome = p;
      ++start.n_HomeCount;
      assign(unit, part);
    }
    if (!here.empty()) {
      current = static_cast<long>(partIndex[std::string(record.vec_Columns[record.vec_Columns.size() - 1].cs_ID)]);
    }
  }
  // Each part: its statement, its units in paragraph order (units never
  // assigned, of a flow without columns, go nowhere), its end line. The
  // parts lie one after another in one list, each at its final size.
  std::vector<std::size_t> partStart(parts.size() + 1, 0);
  for (std::size_t k = 0; k < parts.size(); ++k) partStart[k + 1] = partStart[k] + parts[k].size;
  CQ_MIFLineList all(partStart.back());
  std::vector<std::size_t> fill(partStart.begin(), partStart.end() - 1);  // next free line of each part
  std::vector<std::vector<std::size_t>> anchors(parts.size());
  std::size_t nextAnchor = 0;  // first entry of anchorLines not yet reached
  auto put = [&](std::size_t k, const st_MIFLine* from, const st_MIFLine* to) {
    if (fill[k] + static_cast<std::size_t>(to - from) > partStart[k + 1]) throw Result::INTERNAL_ERROR;  // sizes disagree
    std::copy(from, to, all.begin() + static_cast<std::ptrdiff_t>(fill[k]));
    fill[k] += static_cast<std::size_t>(to - from);
  };
  for (std::size_t k = 0; k < parts.size(); ++k) put(k, &parts[k].statement, &parts[k].statement + 1);
  for (const Unit& u : units) {
    if (u.part < 0) continue;
    const std::size_t k = static_cast<std::size_t>(u.part);
    std::vector<std::size_t>& intoAnchors = anchors[k];
    // The runs between the unit's column statements, each copied whole;
    // the possible anchors in a run keep their places in the part.
    auto copy = [&](std::size_t from, std::size_t to) {
      while (nextAnchor < anchorLines.size() && anchorLines[nextAnchor] < from) ++nextAnchor;
      for (; nextAnchor < anchorLines.size() && anchorLines[nextAnchor] < to; ++nextAnchor) {
        intoAnchors.push_back(fill[k] - partStart[k] + (anchorLines[nextAnchor] - from));
      }
      put(k, flow.data() + from, flow.data() + to);
    };
    std::size_t from = u.begin;
    for (std::size_t j = u.skipFirst; j < u.skipFirst + u.skipCount; ++j) {
      copy(from, skips[j]);
      from = skips[j] + 1;
    }
    copy(from, u.end);
  }
  static const st_MIFLine endOfColumn = CQ_MIFLineStore::sst_Literal(kEndOfColumn);
  for (std::size_t k = 0; k < parts.size(); ++k) {
    put(k, &endOfColumn, &endOfColumn + 1);
    if (fill[k] != partStart[k + 1]) throw Result::INTERNAL_ERROR;  // sizes disagree
  }
  m_vecSharedLists.push_back(std::move(all));
  const CQ_MIFLineList& kept = m_vecSharedLists.back();
  for (std::size_t k = 0; k < parts.size(); ++k) {
    // A column that got no paragraph starts where its statement stood.
    if (record.vec_Columns[k].n_HomeCount == 0) record.vec_Columns[k].n_FirstHome = record.vec_Columns[k].n_Paragraph;
    m_mapColumnAnchors.insert_or_assign(parts[k].id, std::move(anchors[k]));
    m_mapTextColumns.emplace(std::move(parts[k].id),
                             st_MIFLineSpan{kept.data() + partStart[k], kept.data() + partStart[k + 1]});
  }
  m_vecTextFlows.push_back(std::move(record));
}

void CQ_MIFPreScan::v_ReleaseObjectTables() {
  m_mapAFrames.clear();
  m_mapTables.clear();
  m_mapFootnotes.clear();
  m_mapTextColumns.clear();
  m_mapColumnAnchors.clear();
  m_vecSharedLists.clear();
  m_vecPages.clear();
  v_Changed();
}

void CQ_MIFPreScan::v_ReleaseLines() {
  v_ReleaseObjectTables();
  CQ_MIFLineList().swap(m_lstRead);
  CQ_MIFLineList().swap(m_lstBody);
  CQ_MIFLineList().swap(m_lstMaster);
  m_coStore.v_Clear();
  m_svHeldText = std::string_view();
  m_coFile = Platform::CQ_WholeFile();
  // The line depths stay (a byte a line) for the pass that asks for them.
  v_Changed();
}

// --- string forms -----------------------------------------------------------------------------

const CQ_MIFLines& CQ_MIFPreScan::rco_StringList(st_StringView<CQ_MIFLines>& view,
                                                 const CQ_MIFLineList& lines) const {
  if (view.n_Generation != m_nGeneration) {
    view.value = lst_MIFLineStrings(lines);
    view.n_Generation = m_nGeneration;
  }
  return view.value;
}

template <class Table>
const std::unordered_map<std::string, CQ_MIFLines>& CQ_MIFPreScan::rco_StringTable(
    st_StringView<std::unordered_map<std::string, CQ_MIFLines>>& view, const Table& table) const {
  if (view.n_Generation != m_nGeneration) {
    view.value.clear();
    for (const auto& [id, lines] : table) {
      CQ_MIFLines& strings = view.value[id];
      strings.reserve(lines.size());
      for (const st_MIFLine& line : lines) strings.emplace_back(line.sv());
    }
    view.n_Generation = m_nGeneration;
  }
  return view.value;
}

const CQ_MIFLines& CQ_MIFPreScan::rco_GetBodyLines() const { return rco_StringList(m_viewBody, m_lstBody); }
CQ_MIFLines& CQ_MIFPreScan::rco_GetBodyLines() {
  rco_StringList(m_viewBody, m_lstBody);
  return m_viewBody.value;
}
const CQ_MIFLines& CQ_MIFPreScan::rco_GetMasterLines() const { return rco_StringList(m_viewMaster, m_lstMaster); }
CQ_MIFLines& CQ_MIFPreScan::rco_GetMasterLines() {
  rco_StringList(m_viewMaster, m_lstMaster);
  return m_viewMaster.value;
}

const std::unordered_map<std::string, CQ_MIFLines>& CQ_MIFPreScan::rco_GetAnchoredFrames() const {
  return rco_StringTable(m_viewAFrames, m_mapAFrames);
}
const std::unordered_map<std::string, CQ_MIFLines>& CQ_MIFPreScan::rco_GetTables() const {
  return rco_StringTable(m_viewTables, m_mapTables);
}
const std::unordered_map<std::string, CQ_MIFLines>& CQ_MIFPreScan::rco_GetFootnotes() const {
  return rco_StringTable(m_viewFootnotes, m_mapFootnotes);
}
const std::unordered_map<std::string, CQ_MIFLines>& CQ_MIFPreScan::rco_GetTextColumns() const {
  return rco_StringTable(m_viewTextColumns, m_mapTextColumns);
}

const std::vector<st_MIFPage>& CQ_MIFPreScan::rco_GetPages() const {
  if (m_viewPages.n_Generation != m_nGeneration) {
    m_viewPages.value.clear();
    for (const st_PageLines& page : m_vecPages) {
      m_viewPages.value.push_back({page.b_Body, page.cs_Type, lst_MIFLineStrings(page.lst_Lines)});
    }
    m_viewPages.n_Generation = m_nGeneration;
  }
  return m_viewPages.value;
}
