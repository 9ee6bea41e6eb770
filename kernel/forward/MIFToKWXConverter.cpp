// Converting one MIF file: the file-level steps.
//
// The pre-scan yields the body pages and the master pages as two
// restructured line lists; each becomes a list of KWX pieces (list
// converter), is post-processed, and is joined into lines by the KWX line
// rule. The master pages go into the ancillary section together with the
// formats the document used, in the order of first use. Only when all of
// that has succeeded are the KWX files written, each completely under a
// temporary name before any takes its final name, and the ORG copy (kept
// under its temporary name since the pre-scan) takes its name last: a stop
// at any point leaves the older ORG copy beside its own KWX files. The tag tables keep every tag of the file, body and
// ancillary section alike, for the in-memory conversion of the ORG copy.
#include "kernel/forward/MIFToKWXConverter.h"

#include <cstdlib>
#include <utility>

#include "System/Platform/FileSystem.h"
#include "kernel/forward/KWXFileWriter.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXPostProcessor.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/KWXTextWriter.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/session/Communication.h"
#include "kernel/session/ResultCodes.h"

namespace {

// The footnote prefix and suffix texts with their building-block names,
// in the order of the ancillary section.
struct FootnoteBlock {
  EMIFFootnoteText text;
  std::string_view name;
};

constexpr FootnoteBlock kFootnoteBlocks[] = {
    {MIF_FN_ANCHOR_PREFIX, KWX::BB_FOOTNOTE_ANCHOR_PREFIX},
    {MIF_FN_ANCHOR_SUFFIX, KWX::BB_FOOTNOTE_ANCHOR_SUFFIX},
    {MIF_FN_NUMBER_PREFIX, KWX::BB_FOOTNOTE_NUMBER_PREFIX},
    {MIF_FN_NUMBER_SUFFIX, KWX::BB_FOOTNOTE_NUMBER_SUFFIX},
    {MIF_TBLFN_ANCHOR_PREFIX, KWX::BB_TABLE_FOOTNOTE_ANCHOR_PREFIX},
    {MIF_TBLFN_ANCHOR_SUFFIX, KWX::BB_TABLE_FOOTNOTE_ANCHOR_SUFFIX},
    {MIF_TBLFN_NUMBER_PREFIX, KWX::BB_TABLE_FOOTNOTE_NUMBER_PREFIX},
    {MIF_TBLFN_NUMBER_SUFFIX, KWX::BB_TABLE_FOOTNOTE_NUMBER_SUFFIX},
};

// MIF's string form of raw text: "<Keyword `text'>".
std::string StatementLine(std::string_view keyword, std::string_view raw) {
  std::string line = "<";
  line.append(keyword);
  line.append(" `");
  line.append(raw);
  line.append("'>\n");
  return line;
}

long MarkerLength(const char* text) {
  if (!text || !*text) return 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return value > 0 ? value : 0;
}

// The session's text settings with the run's character set.
CQ_TextSettings TextSettings(const CQ_Morvane_Communication& session, const st_ForwardRunSettings& run) {
  CQ_TextSettings settings = CQ_TextSettings::st_FromSession(session);
  settings.b_SymbolCharacterSet = run.i_CharacterSet != 0;
  return settings;
}

}  // namespace

CQ_MIFToKWXConverter::st_Options CQ_MIFToKWXConverter::st_ForwardOptions() { return st_Options(); }

CQ_MIFToKWXConverter::st_Options CQ_MIFToKWXConverter::st_InMemoryOptions(const std::string& sourcePath,
                                                                         bool buildAncillary) {
  st_Options options;
  options.b_FirstConversion = false;
  options.b_BuildAncillary = buildAncillary;
  options.b_ReportProgress = false;
  options.cs_SourcePath = sourcePath;
  return options;
}

CQ_MIFToKWXConverter::CQ_MIFToKWXConverter(CQ_Morvane_Communication& session, st_Options options)
    : m_rcoSession(session),
      m_stOptions(std::move(options)),
      m_stSettings(m_stOptions.opt_Settings.value_or(session.st_GetForwardRunSettings())),
      m_coText(TextSettings(session, m_stSettings)),
      m_coMarkerText(m_coText, TEXT_CONTENT),
      m_coFormatText(m_coText, TEXT_MESSAGE) {
  m_iMarkerPlaceholders = session.i_GetMarkerPlaceholders();
  m_lMarkerLength = MarkerLength(session.lpsz_GetSourceMarkerLength());
  m_strSourcePath = m_stOptions.cs_SourcePath;
  if (m_strSourcePath.empty()) {
    m_strSourcePath = std::string(session.lpsz_GetSourceFilesPath()) + session.lpsz_GetCurrentFileName() +
                      session.lpsz_GetCurrentFileExtension();
  }
}

CQ_MIFToKWXConverter::~CQ_MIFToKWXConverter() = default;

// --- entry points ---------------------------------------------------------------------

void CQ_MIFToKWXConverter::v_ConvertFile() {
  m_rcoSession.v_SetKWXVersion(KWX_VERSION_F300);
  const std::string fileName = m_rcoSession.lpsz_GetCurrentFileName();
  const std::string extension = m_rcoSession.lpsz_GetCurrentFileExtension();
  const std::string orgPath = CQ_MIFPreScan::scs_ORGPath(m_rcoSession.lpsz_GetORGFilesPath(), fileName, extension);
  const std::string sourcePath = m_strSourcePath;
  v_Run([&](CQ_MIFPreScan& preScan) { preScan.v_PreScanForward(sourcePath, orgPath); }, true);
}

void CQ_MIFToKWXConverter::v_ConvertInMemory(const std::string& path) {
  v_Run([&](CQ_MIFPreScan& preScan) { preScan.v_PreScanSecondForm(path, false); }, false);
}

void CQ_MIFToKWXConverter::v_ConvertHeldText(std::string_view orgText) {
  v_Run([&](CQ_MIFPreScan& preScan) { preScan.v_PreScanHeldText(orgText); }, false);
}

void CQ_MIFToKWXConverter::v_ConvertText(std::string_view mifText) {
  v_Run([&](CQ_MIFPreScan& preScan) { preScan.v_PreScanText(mifText.data(), mifText.size()); }, false);
}

const CQ_StringList& CQ_MIFToKWXConverter::rco_GetKWXLines() const {
  if (!m_bKWXStrings) {
    m_lstKWX = m_coKWX.lst_Strings();
    m_bKWXStrings = true;
  }
  return m_lstKWX;
}

void CQ_MIFToKWXConverter::v_Step() {
  if (m_stOptions.b_ReportProgress) m_rcoSession.v_UpdateUI();
}

void CQ_MIFToKWXConverter::v_Run(const std::function<void(CQ_MIFPreScan&)>& preScan, bool writeFiles) {
  if (m_bConverted) throw Result::INTERNAL_ERROR;  // a converter runs once
  m_bConverted = true;
  const CQ_MIFPreScan::st_Options preScanOptions = m_stOptions.b_FirstConversion
                                                       ? CQ_MIFPreScan::st_ForwardOptions(m_rcoSession)
                                                       : CQ_MIFPreScan::st_SecondFormOptions(m_rcoSession);
  CQ_MIFPreScan::st_Options options = preScanOptions;
  options.i_SourceHyphenation = m_stSettings.i_SourceHyphenation;
  options.i_CharacterSet = m_stSettings.i_CharacterSet;
  options.b_HoldORGCopy = writeFiles;
  m_pcoPreScan = std::make_unique<CQ_MIFPreScan>(m_rcoSession, options);
  preScan(*m_pcoPreScan);
  // The ORG copy takes its name last, after the KWX files made from it: a
  // run that stops earlier leaves an older ORG copy with its own KWX files.
  std::unique_ptr<Platform::CQ_TemporaryFile> orgCopy = m_pcoPreScan->pco_TakeORGCopy();
  v_Step();
  m_pcoPreScan->v_ReleaseObjectTables();
  v_Step();

  m_coTags.v_EnterFixedPairs();
  m_coTags.v_Reserve((m_pcoPreScan->rco_GetBodyList().size() + m_pcoPreScan->rco_GetMasterList().size()) / 32);

  CQ_KWXPieceList body = lst_ConvertList(m_pcoPreScan->rco_GetBodyList());
  v_Step();
  CQ_KWXPieceList master = lst_ConvertList(m_pcoPreScan->rco_GetMasterList());
  // The pieces hold everything the KWX needs: the text read goes.
  m_pcoPreScan->v_ReleaseLines();
  v_Step();

  v_PostProcess(body);
  v_PostProcess(master);
  v_Step();

  if (m_stOptions.b_BuildAncillary) v_BuildAncillarySection(master);
  master.v_Clear();
  m_coKWX = KWX::co_JoinLines(body);
  m_lstKWX.clear();
  m_bKWXStrings = false;
  body.v_Clear();
  v_Step();

  if (!writeFiles) return;
  const std::string orgFolder = m_rcoSession.lpsz_GetORGFilesPath();
  const std::string translatedFolder = m_rcoSession.lpsz_GetTranslatedFilesPath();
  const std::string kwxName = std::string(m_rcoSession.lpsz_GetCurrentFileName()) +
                              (m_rcoSession.i_GetFileFormatForKWX() == 0 ? ".txt" : ".rtf");
  // Every file is written completely before any takes its name.
  std::vector<std::unique_ptr<CQ_KWXFileWriter>> files;
  files.push_back(pco_WriteKWXFile(orgFolder + kwxName));
  if (!Platform::SamePathIgnoringCase(translatedFolder, orgFolder)) {
    files.push_back(pco_WriteKWXFile(translatedFolder + kwxName));
  }
  for (const auto& file : files) file->v_CheckDestination();
  if (orgCopy) orgCopy->v_CheckDestination();
  for (const auto& file : files) file->v_Commit();
  if (orgCopy) orgCopy->v_Commit();
  v_Step();

  if (m_stOptions.b_BuildAncillary) m_rcoSession.v_AddToAncillaryFile(&m_lstAncillary);
  v_Step();
}

void CQ_MIFToKWXConverter::v_PostProcess(std::vector<std::string>& pieces) {
  CQ_KWXPostProcessor post(m_coTags);
  post.v_Run(pieces, m_bStructured, m_rcoSession.b_GetJapaneseColloquy());
}

void CQ_MIFToKWXConverter::v_PostProcess(CQ_KWXPieceList& pieces) {
  CQ_KWXPostProcessor post(m_coTags);
  post.v_Run(pieces, m_bStructured, m_rcoSession.b_GetJapaneseColloquy());
}

std::unique_ptr<CQ_KWXFileWriter> CQ_MIFToKWXConverter::pco_WriteKWXFile(const std::string& path) const {
  auto file = std::make_unique<CQ_KWXFileWriter>(path);
  if (m_rcoSession.i_GetFileFormatForKWX() == 0) {
    CQ_KWXTextWriter::sv_WriteTo(*file, m_coKWX);
  } else {
    CQ_KWXRTFWriter::sv_PrepareAndWriteTo(*file, m_coKWX, m_rcoSession.i_GetRTFPageSize() == 0,
                                          m_rcoSession.i_GetSourceCodePage(), m_rcoSession.i_GetTargetCodePage(),
                                          true);
  }
  return file;
}

// --- formats used -------------------------------------------------------------------------

void CQ_MIFToKWXConverter::v_UseXRefFormat(const std::string& rawName) {
  if (!m_setXRefUses.insert(rawName).second) return;
  const std::vector<st_MIFNamedText>& formats = m_pcoPreScan->rco_GetXRefFormats();
  for (std::size_t k = 0; k < formats.size(); ++k) {
    if (formats[k].cs_Name == rawName) {
      m_vecXRefUses.push_back(k);
      return;
    }
  }
}

void CQ_MIFToKWXConverter::v_UseVariable(const std::string& rawName) {
  if (!m_setVariableUses.insert(rawName).second) return;
  const std::vector<st_MIFNamedText>& formats = m_pcoPreScan->rco_GetVariableFormats();
  for (std::size_t k = 0; k < formats.size(); ++k) {
    if (formats[k].cs_Name == rawName) {
      m_vecVariableUses.push_back(k);
      return;
    }
  }
}

void CQ_MIFToKWXConverter::v_UsePgfNumFormat(const std::string& rawFormat) {
  if (m_setPgfNumFormatUses.insert(rawFormat).second) m_vecPgfNumFormatUses.push_back(rawFormat);
}

void CQ_MIFToKWXConverter::v_EnterPieces(const std::vector<CQ_MarkerTextConverter::st_Piece>& pieces,
                                         std::vector<std::string>& into) {
  for (const CQ_MarkerTextConverter::st_Piece& piece : pieces) {
    if (piece.b_Tag && !piece.cs_MIF.empty()) m_coTags.b_Enter(piece.cs_Text, piece.cs_MIF);
    into.push_back(piece.cs_Text);
  }
}

// --- the ancillary section ------------------------------------------------------------------

void CQ_MIFToKWXConverter::v_BuildAncillarySection(const CQ_KWXPieceList& masterPieces) {
  std::vector<std::string> s;
  auto tag = [&](std::string text, std::string_view fragment) {
    m_coTags.b_Enter(text, fragment);
    s.push_back(std::move(text));
  };
  auto block = [&](std::string_view name) {
    tag(KWX::ccs_MakeBuildingBlockTag(name), KWX::ccs_BuildingBlockMIF(name));
  };
  auto format = [&](const std::string& raw, const CQ_MarkerTextConverter& converter, unsigned options) {
    v_EnterPieces(converter.ast_Convert(raw, options), s);
  };
  const std::string path = m_strSourcePath;
  tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_FILE, path), "# FileTag\n");

  block(KWX::BB_CROSS_REFERENCE_FORMATS);
  for (std::size_t k : m_vecXRefUses) {
    const st_MIFNamedText& f = m_pcoPreScan->rco_GetXRefFormats()[k];
    block(KWX::BB_CROSS_REFERENCE);
    tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_XRFMT, m_coText.ccs_Convert(f.cs_Name, TEXT_NAME)),
        StatementLine("XRefName", f.cs_Name));
    format(f.cs_Text, m_coFormatText, CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS);
  }

  block(KWX::BB_VARIABLE_FORMATS);
  for (std::size_t k : m_vecVariableUses) {
    const st_MIFNamedText& f = m_pcoPreScan->rco_GetVariableFormats()[k];
    block(KWX::BB_VARIABLE);
    tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_VFMT, m_coText.ccs_Convert(f.cs_Name, TEXT_NAME)),
        StatementLine("VariableName", f.cs_Name));
    format(f.cs_Text, m_coFormatText, CQ_MarkerTextConverter::MARKER_CHARACTER_FORMATS);
  }

  block(KWX::BB_PARAGRAPH_NUMBERING_FORMATS);
  for (const std::string& raw : m_vecPgfNumFormatUses) {
    block(KWX::BB_PARAGRAPH_NUMBERING_FORMAT);
    tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_PNFMT, m_coText.ccs_Convert(raw, TEXT_NAME)),
        StatementLine("PgfNumFormat", raw));
    format(raw, m_coFormatText, 0);
  }

  block(KWX::BB_ELEMENT_PREFIX_SUFFIX_FORMATS);
  for (const st_MIFElementDef& def : m_pcoPreScan->rco_GetElementDefs()) {
    if (!def.b_HasPrefix && !def.b_HasSuffix) continue;
    block(KWX::BB_ELEMENT_PREFIX_SUFFIX);
    tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_EPSFMT, m_coText.ccs_Convert(def.cs_Tag, TEXT_NAME)),
        StatementLine("EDTag", def.cs_Tag));
    if (def.b_HasPrefix) {
      block(KWX::BB_PREFIX);
      format(def.cs_Prefix, m_coFormatText, 0);
    }
    if (def.b_HasSuffix) {
      block(KWX::BB_SUFFIX);
      format(def.cs_Suffix, m_coFormatText, 0);
    }
  }

  block(KWX::BB_FOOTNOTE_FORMATS);
  for (std::size_t k = 0; k < 8; ++k) {
    if (k == 4) block(KWX::BB_TABLE_FOOTNOTE_FORMATS);
    const FootnoteBlock& fb = kFootnoteBlocks[k];
    block(fb.name);
    std::string text = m_coText.ccs_Convert(m_pcoPreScan->rco_GetFootnoteText(fb.text), TEXT_MESSAGE);
    if (!text.empty()) s.push_back(std::move(text));
  }

  block(KWX::BB_MASTER_PAGES);
  // The master list without its six header lines and its </kwx>.
  const std::size_t n = masterPieces.size();
  for (std::size_t k = 6; k + 1 < n; ++k) s.emplace_back(masterPieces[k].sv());

  tag(KWX::ccs_MakeQuotedTag(KWX::PREFIX_FILE_CLOSE, path), "# End of FileTag\n");
  m_lstAncillary = KWX::lst_JoinLines(s);
}
