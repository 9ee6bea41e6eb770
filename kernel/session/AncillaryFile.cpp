// The ancillary file: text a batch's documents share (formats, master
// pages), collected into one KWX file per batch so that it is translated
// once.
//
// Forward conversion appends one section per document to the session's
// ancillary lines; the driver writes them with a header that records the
// settings the text was extracted with. Back conversion reads the
// translated file once per batch and takes each document's section out of
// it, after checking that the header matches the document's settings. Any
// mismatch is a warning: the document is still converted, without its
// shared text.
#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "System/Platform/FileSystem.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

namespace {

const char kCharsetNormal[] = "<sourcecharset \"Normal\">";
const char kCharsetSymbol[] = "<sourcecharset \"Symbol\">";
const char kHyphenationOff[] = "<sourcehyphenation \"Turn Off\">";
const char kHyphenationKeep[] = "<sourcehyphenation \"Leave As Is\">";
const char kQuotesText[] = "<sourcequotes \"As Text\">";
const char kQuotesTags[] = "<sourcequotes \"As Tags\">";

// Raises the file error of a folder standing under the name, before any
// copy is written: two copies are written or, in that case, none.
void RefuseFolderInTheWay(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Platform::CQ_FileException::ThrowOsError(EISDIR, name);
}

}  // namespace

CQ_StringList CQ_Morvane_CommunicationFrame::ccs_AncillaryHeader() const {
  CQ_StringList header;
  header.emplace_back("<kwx \"F3.00\">");
  if (m_iCharacterSet == 0) header.emplace_back(kCharsetNormal);
  if (m_iCharacterSet == 1) header.emplace_back(kCharsetSymbol);
  header.emplace_back("<sourcelanguage \"" + m_strSourceLanguage + "\">");
  header.emplace_back(m_iSourceHyphenation == 0 ? kHyphenationOff : kHyphenationKeep);
  header.emplace_back(m_iSmartQuotes == 0 ? kQuotesText : kQuotesTags);
  return header;
}

bool CQ_Morvane_CommunicationFrame::b_CreateAncillaryFile() {
  m_strCurrentFileName = "ancillary";
  m_strCurrentFileExtension = ccs_KWXExtension();
  if (m_iOverwriteFiles != 1 && m_bGUI) {
    const std::string name = "ancillary" + ccs_KWXExtension();
    bool orgWanted = i_ConfirmOverwriting(m_strORGFilesPath + name, false) == Platform::IDYES;
    bool translatedWanted = false;
    if (!Platform::SamePathIgnoringCase(m_strTranslatedFilesPath, m_strORGFilesPath)) {
      translatedWanted = i_ConfirmOverwriting(m_strTranslatedFilesPath + name, false) == Platform::IDYES;
      if (orgWanted && !translatedWanted) m_strTranslatedFilesPath = m_strORGFilesPath;
      if (!orgWanted && translatedWanted) m_strORGFilesPath = m_strTranslatedFilesPath;
    }
    if (!orgWanted && !translatedWanted) return false;
  }
  // A file that cannot be written is reported like any other file's
  // error; the batch's results stay intact.
  return i_RunGuarded([this] {
           v_WriteAncillaryFile();
           return 0;
         }) == 0;
}

bool CQ_Morvane_CommunicationFrame::b_CreateAncillaryFile(const std::string& fileName) {
  if (m_bGUI) return b_CreateAncillaryFile();
  return i_RunGuarded([this, &fileName] {
           v_WriteAncillaryFile(fileName);
           return 0;
         }) == 0;
}

void CQ_Morvane_CommunicationFrame::v_WriteAncillaryFile() {
  CQ_StringList header = ccs_AncillaryHeader();
  for (auto it = header.rbegin(); it != header.rend(); ++it) m_lstAncillary.push_front(*it);
  m_lstAncillary.emplace_back("</kwx>");
  // A failed write leaves the lines as they were, so that a second attempt
  // does not frame them twice.
  struct Unframe {
    CQ_StringList& lines;
    std::size_t headerLines;
    bool done = false;
    ~Unframe() {
      if (done) return;
      for (std::size_t i = 0; i < headerLines && !lines.empty(); ++i) lines.pop_front();
      if (!lines.empty()) lines.pop_back();
    }
  } unframe{m_lstAncillary, header.size()};

  const std::string name = "ancillary" + ccs_KWXExtension();
  const std::string orgFile = m_strORGFilesPath + name;
  const bool twoCopies = !Platform::SamePathIgnoringCase(m_strTranslatedFilesPath, m_strORGFilesPath);
  RefuseFolderInTheWay(orgFile);
  if (twoCopies) RefuseFolderInTheWay(m_strTranslatedFilesPath + name);
  if (!rco_GetConverterFactory().vb_WriteKWXLines(*this, m_lstAncillary, orgFile)) {
    throw Platform::CQ_FileException(Platform::CQ_FileException::genericException, orgFile);
  }
  v_AddStringMessage(Msg::ANCILLARY_CREATED);
  v_AddMessage(orgFile);
  if (twoCopies) {
    const std::string translatedFile = m_strTranslatedFilesPath + name;
    if (!rco_GetConverterFactory().vb_WriteKWXLines(*this, m_lstAncillary, translatedFile)) {
      throw Platform::CQ_FileException(Platform::CQ_FileException::genericException, translatedFile);
    }
    v_AddMessage(translatedFile);
  }
  unframe.done = true;
  v_UpdateResults();
}

void CQ_Morvane_CommunicationFrame::v_WriteAncillaryFile(const std::string& fileName) {
  CQ_StringList lines = ccs_AncillaryHeader();
  lines.insert(lines.end(), m_lstAncillary.begin(), m_lstAncillary.end());
  lines.emplace_back("</kwx>");
  if (!rco_GetConverterFactory().vb_WriteKWXLines(*this, lines, fileName)) {
    throw Platform::CQ_FileException(Platform::CQ_FileException::genericException, fileName);
  }
  v_AddStringMessage(Msg::ANCILLARY_CREATED);
  v_AddMessage(fileName);
  v_UpdateResults();
}

void CQ_Morvane_CommunicationFrame::v_ReadAncillaryKWXFile(const std::string& fileName) {
  if (!m_coAncillaryReadBack.IsEmpty()) return;
  const std::string folder = Platform::DirectoryOf(fileName);
  auto reportMissing = [&] {
    m_coAncillaryReadBack.RemoveAll();
    v_AddStringMessage(Msg::BACK_WARN_NO_ANCILLARY_FILE, Platform::FileNameOf(fileName).c_str());
    v_AddMessage(folder);
    v_AddStringMessage(Msg::BACK_WARN_NO_ANCILLARY_FILE_HINT);
    v_UpdateResults();
  };
  try {
    if (m_iFileFormatForKWX == 1) {
      if (!Platform::FileExists(fileName)) {
        reportMissing();
        return;
      }
      try {
        if (!rco_GetConverterFactory().vb_ReadRTFLines(*this, fileName, m_coAncillaryReadBack)) {
          m_coAncillaryReadBack.RemoveAll();
        }
      } catch (int code) {
        m_coAncillaryReadBack.RemoveAll();
        if (code == Result::NOT_RTF) {
          v_AddStringMessage(Msg::BACK_WARN_ANCILLARY_NOT_RTF);
          v_AddStringMessage(Msg::BACK_WARN_ANCILLARY_NOT_RTF_HINT);
        } else if (code == Result::RTF_PARSER_ERROR || code == Result::CONVERTER_REPORTED || code == Result::CONVERTER_REPORTED_2 || code == Result::RTF_EMPTY_FILE || code == Result::CONVERTER_REPORTED_3) {
          v_AddStringMessage(Msg::BACK_WARN_ANCILLARY_RTF_PARSER);
          v_AddStringMessage(Msg::BACK_WARN_ANCILLARY_RTF_PARSER_HINT);
        } else {
          throw;
        }
        v_UpdateResults();
      }
    } else {
      std::ifstream in(fileName, std::ios::binary);
      if (!in) {
        reportMissing();
        return;
      }
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_coAncillaryReadBack.AddTail(line);
      }
      if (in.bad()) reportMissing();
    }
  } catch (const Platform::CQ_FileException&) {
    reportMissing();
  }
}

void CQ_Morvane_CommunicationFrame::v_ExtractAncillaryKWXSection(CExtStringList* output, int /*unused*/,
                                                                 const std::string& sourcePathLine) {
  v_ExtractAncillaryKWXSection(output, sourcePathLine, st_GetForwardRunSettings());
}

void CQ_Morvane_CommunicationFrame::v_ExtractAncillaryKWXSection(CExtStringList* output,
                                                                 const std::string& sourcePathLine,
                                                                 const st_ForwardRunSettings& settings) {
  if (m_coAncillaryReadBack.IsEmpty()) {
    if (m_bAncillaryNoticePending) {
      m_bAncillaryNoticePending = false;
      v_AddStringMessage(Msg::BACK_WARN_NO_ANCILLARY_FILE, ("ancillary" + ccs_KWXExtension()).c_str());
      v_AddMessage(m_strTranslatedFilesPath);
      v_AddStringMessage(Msg::BACK_WARN_NO_ANCILLARY_FILE_HINT);
      v_UpdateResults();
    }
    return;
  }
  if (!output) throw Result::DAMAGED;

  const CExtStringList& lines = m_coAncillaryReadBack;
  std::size_t pos = 0;
  auto fail = [&](std::initializer_list<unsigned> ids) {
    for (unsigned id : ids) v_AddStringMessage(id);
    v_UpdateResults();
  };
  auto next = [&](std::string& line) {
    if (pos >= lines.GetCount()) {
      fail({1340, 1341});
      return false;
    }
    line = lines.GetAt(pos++);
    return true;
  };

  std::string line;
  if (!next(line)) return;
  if (line.compare(0, 7, "<kwx \"F") != 0) return fail({1390, 1391, 1393});
  if (line != "<kwx \"F3.00\">" || m_etKWXVersion != KWX_VERSION_F300) return fail({1410, 1411, 1412});

  if (!next(line)) return;
  if (line != kCharsetNormal && line != kCharsetSymbol) return fail({1240, 1241, 1242});
  if (line != (settings.i_CharacterSet == 1 ? kCharsetSymbol : kCharsetNormal)) return fail({1290, 1291, 1292});

  if (!next(line)) return;
  if (line.compare(0, 16, "<sourcelanguage ") != 0) return fail({1280, 1281, 1282});
  if (line != "<sourcelanguage \"" + m_strSourceLanguage + "\">") return fail({1300, 1301, 1302});

  if (!next(line)) return;
  if (line != kHyphenationOff && line != kHyphenationKeep) return fail({1270, 1271, 1272});
  if (line != (settings.i_SourceHyphenation == 1 ? kHyphenationKeep : kHyphenationOff)) return fail({1330, 1331, 1332});

  if (!next(line)) return;
  if (line != kQuotesText && line != kQuotesTags) return fail({1250, 1251, 1253});
  if (line != (m_iSmartQuotes == 1 ? kQuotesTags : kQuotesText)) return fail({1310, 1311, 1313});

  const std::string prefix = "<sourcepath ";
  const std::string quotedPath =
      sourcePathLine.compare(0, prefix.size(), prefix) == 0 ? sourcePathLine.substr(prefix.size()) : sourcePathLine;
  const std::size_t start = lines.Find("<file " + quotedPath, pos);
  if (start == CExtStringList::npos) return fail({1360, 1361});
  const std::size_t end = lines.Find("</file " + quotedPath, start + 1);
  if (end == CExtStringList::npos) return fail({1400, 1401, 1402});
  output->InsertRun(lines, start, end, output->IsEmpty() ? CExtStringList::npos : output->GetCount() - 1);
}
