#include "fontmapping/logic/TypeshiftRun.h"

#include <iconv.h>


#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "fontmapping/parser/FontMappingParser.h"
#include "fontmapping/parser/SSException.h"
#include "System/Platform/FileException.h"
#include "System/Platform/FileSystem.h"
#include "System/Platform/TemporaryFile.h"
#include "kernel/session/CommunicationFrame.h"

namespace typeshift {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kEUCJapanese = "\xC6\xFC\xCB\xDC\xB8\xEC";  // "Japanese" in EUC-JP
constexpr std::string_view kEUCTaiwan = "\xC4\xE3\xC5\xC6";            // "Chinese" in EUC-TW

std::string Format(const char* fmt, const std::string& a) {
  std::string s(std::strlen(fmt) + a.size() + 64, '\0');
  const int n = std::snprintf(s.data(), s.size(), fmt, a.c_str());
  s.resize(static_cast<std::size_t>(std::max(n, 0)));
  return s;
}

bool ReadAll(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool WriteAll(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out);
}

// The temporary copies of one file, removed on every path out of loading.
// Each is a short-named temporary file beside the MIF file, so that it fits
// wherever the MIF file's name fits, and a copy left by a killed run is
// swept by the next run that writes into that folder.
struct st_TempFiles {
  std::vector<std::unique_ptr<Platform::CQ_TemporaryFile>> files;

  // Writes `bytes` into a new copy for `path`; returns the copy's path, or
  // "" when it could not be written.
  std::string s_Write(const std::string& path, std::string_view bytes) {
    try {
      files.push_back(std::make_unique<Platform::CQ_TemporaryFile>(path));
      files.back()->v_Write(bytes.data(), bytes.size());
      return Platform::DirectoryOf(path) + files.back()->rcs_GetTemporaryName();
    } catch (const Platform::CQ_FileException&) {
      return std::string();
    }
  }
};

// Line ends made CR LF (CR, LF and CR LF each count once).
std::string ToCRLF(std::string_view in) {
  std::string out;
  out.reserve(in.size() + in.size() / 32);
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\r') {
      out += "\r\n";
      if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
    } else if (in[i] == '\n') {
      out += "\r\n";
    } else {
      out += in[i];
    }
  }
  return out;
}

bool EUCToShiftJIS(std::string_view in, std::string& out) {
  iconv_t cd = iconv_open("CP932", "EUC-JP-MS");
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("SHIFT_JIS", "EUC-JP");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string src(in);
  out.assign(src.size() + 16, '\0');
  char* ip = src.data();
  std::size_t il = src.size();
  char* op = out.data();
  std::size_t ol = out.size();
  const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return false;
  out.resize(out.size() - ol);
  return true;
}

// Line starts by the parser's line rule.
std::vector<std::size_t> LineStarts(std::string_view t) {
  std::vector<std::size_t> s{0};
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r') {
      if (i + 1 < t.size() && t[i + 1] == '\n') ++i;
      s.push_back(i + 1);
    } else if (t[i] == '\n') {
      s.push_back(i + 1);
    }
  }
  return s;
}

// Byte offset in the original text of (line, column) of its converted copy:
// the copy's columns count Shift-JIS bytes when `euc` is set, the original's
// bytes otherwise.
std::size_t OriginalOffset(std::string_view orig, const std::vector<std::size_t>& starts, long line, long column,
                           bool euc) {
  if (line < 1 || static_cast<std::size_t>(line) > starts.size()) return std::string_view::npos;
  std::size_t p = starts[static_cast<std::size_t>(line - 1)];
  if (!euc) return p + static_cast<std::size_t>(column - 1);
  long counted = 0;
  while (counted < column - 1 && p < orig.size()) {
    const unsigned char c = static_cast<unsigned char>(orig[p]);
    if (c == 0x8E) p += 2, counted += 1;       // half-width katakana: one Shift-JIS byte
    else if (c == 0x8F) p += 3, counted += 2;  // JIS X 0212
    else if (c >= 0xA1) p += 2, counted += 2;
    else p += 1, counted += 1;
  }
  return p;
}

std::string BetweenAfter(std::string_view head, std::string_view key, std::string_view close) {
  const std::size_t k = head.find(key);
  if (k == std::string_view::npos) return {};
  std::size_t b = k + key.size();
  const std::size_t e = head.find(close, b);
  if (e == std::string_view::npos) return {};
  std::string v(head.substr(b, e - b));
  const std::size_t q = v.find('`');
  if (q != std::string::npos) v.erase(0, q + 1);
  return v;
}

std::string LineEndOfFile(std::string_view t) {
  const std::size_t p = t.find_first_of("\r\n");
  if (p == std::string_view::npos) return "\n";
  if (t[p] == '\r') return (p + 1 < t.size() && t[p + 1] == '\n') ? "\r\n" : "\r";
  return "\n";
}

std::string WithLineEnds(std::string_view text, const std::string& eol) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += eol;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += eol;
    } else {
      out += text[i];
    }
  }
  return out;
}

// "<Keyword value>" with blanks around the value removed.
std::string ccs_PlainIdentifier(std::string_view id) {
  std::size_t k = 1;
  while (k < id.size() && std::isalnum(static_cast<unsigned char>(id[k]))) ++k;
  const std::size_t close = id.find('>', k);
  std::size_t b = k, e = close == std::string_view::npos ? id.size() : close;
  while (b < e && std::isspace(static_cast<unsigned char>(id[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(id[e - 1]))) --e;
  return std::string(id.substr(0, k)) + " " + std::string(id.substr(b, e - b)) + ">";
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

// --- CRCFile -------------------------------------------------------------------

CRCFile::~CRCFile() { v_Close(); }

bool CRCFile::b_OpenRead(const std::string& name) {
  v_Close();
  m_ccsName = name;
  m_pFile = std::fopen(name.c_str(), "rb");
  m_vecBuffer.assign(kBufferStep, '\0');
  m_nStart = m_nEnd = 0;
  m_iLine = m_iColumn = 1;
  return m_pFile != nullptr;
}

bool CRCFile::b_OpenWrite(const std::string& name) {
  v_Close();
  m_ccsName = name;
  m_pFile = std::fopen(name.c_str(), "wb");
  m_iLine = m_iColumn = 1;
  m_bWriteFailed = false;
  return m_pFile != nullptr;
}

void CRCFile::v_Close() {
  if (m_pFile) std::fclose(m_pFile);
  m_pFile = nullptr;
}

bool CRCFile::b_Fill() {
  if (!m_pFile) return false;
  if (m_nEnd - m_nStart >= kRefillBelow) return true;
  std::memmove(m_vecBuffer.data(), m_vecBuffer.data() + m_nStart, m_nEnd - m_nStart);
  m_nEnd -= m_nStart;
  m_nStart = 0;
  if (m_vecBuffer.size() - m_nEnd < kRefillBelow) m_vecBuffer.resize(m_vecBuffer.size() + kBufferStep);
  m_nEnd += std::fread(m_vecBuffer.data() + m_nEnd, 1, m_vecBuffer.size() - m_nEnd, m_pFile);
  return m_nEnd > m_nStart;
}

int CRCFile::i_Peek() {
  if (m_nStart >= m_nEnd || m_nEnd - m_nStart < 2) b_Fill();
  if (m_nStart >= m_nEnd) return -1;
  return static_cast<unsigned char>(m_vecBuffer[m_nStart]);
}

void CRCFile::v_Advance(CRCFile* out) {
  const char c = m_vecBuffer[m_nStart++];
  if (out) out->b_Write(std::string_view(&c, 1));
  if (c == '\r') {
    if (i_Peek() == '\n') {
      ++m_nStart;
      if (out) out->b_Write("\n");
    }
    ++m_iLine, m_iColumn = 1;
  } else if (c == '\n') {
    ++m_iLine, m_iColumn = 1;
  } else {
    ++m_iColumn;
  }
}

bool CRCFile::b_MoveTo(long line, long column, CRCFile* out, std::string& error) {
  char buf[512];
  if (line < m_iLine) {
    std::snprintf(buf, sizeof buf, "Line %ld has already been read - current line is %ld.\n", line, m_iLine);
    error = buf;
    return false;
  }
  while (m_iLine < line) {
    if (i_Peek() < 0) {
      std::snprintf(buf, sizeof buf, "Unexpected End of File in %s. This file does not contain %ld lines!",
                    m_ccsName.c_str(), line);
      error = buf;
      return false;
    }
    v_Advance(out);
  }
  if (column < m_iColumn) {
    std::snprintf(buf, sizeof buf, "Character %ld on line %ld has already been read - current offset is %ld.\n",
                  column, line, m_iColumn);
    error = buf;
    return false;
  }
  while (m_iColumn < column) {
    const int c = i_Peek();
    if (c < 0) {
      std::snprintf(buf, sizeof buf, "Unexpected End of File in %s. Line %ld does not contain %ld characters!\n",
                    m_ccsName.c_str(), line, column);
      error = buf;
      return false;
    }
    if (c == '\r' || c == '\n') {
      std::snprintf(buf, sizeof buf, "Line %ld does not contain %ld characters!\n", line, column);
      error = buf;
      v_Advance(out);
      return false;
    }
    v_Advance(out);
  }
  return true;
}

bool CRCFile::b_CopyRest(CRCFile& out, std::string&) {
  for (;;) {
    if (m_nStart >= m_nEnd && !b_Fill()) break;
    if (m_nStart >= m_nEnd) break;
    out.b_Write(std::string_view(m_vecBuffer.data() + m_nStart, m_nEnd - m_nStart));
    m_nStart = m_nEnd;
  }
  return true;
}

bool CRCFile::b_Write(std::string_view text) {
  if (!m_pFile) return false;
  if (std::fwrite(text.data(), 1, text.size(), m_pFile) != text.size()) m_bWriteFailed = true;
  return !m_bWriteFailed;
}

// --- loading -------------------------------------------------------------------

std::vector<std::string> vec_SplitFileList(const std::string& list) {
  std::vector<std::string> out;
  std::size_t p = 0;
  while (p < list.size()) {
    std::size_t e = list.find(';', p);
    if (e == std::string::npos) e = list.size();
    if (e > p) out.push_back(list.substr(p, e - p));
    p = e + 1;
  }
  return out;
}

CQ_Typeshift::CQ_Typeshift()
    : m_pSession(std::make_unique<CQ_Morvane_CommunicationFrame>("Typeshift for FrameMaker", "Version 1.00", false)) {
  fn_FreeMegabytes = [] {
    std::error_code ec;
    const fs::space_info s = fs::space(fs::current_path(ec), ec);
    if (ec) return static_cast<long long>(1) << 40;
    return static_cast<long long>(s.available / (1024 * 1024));
  };
}

CQ_Typeshift::~CQ_Typeshift() = default;

bool CQ_Typeshift::b_CheckHead(const std::string& path, std::string& version, std::string& encoding) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    vec_Log.push_back("File Error 3110. The file could not be located.");
    return false;
  }
  std::string head(400, '\0');
  in.read(head.data(), 400);
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (head.find("<MIFFile 4.0") == std::string::npos && head.find("<MIFFile 5.0") == std::string::npos &&
      head.find("<MIFFile 5.5") == std::string::npos) {
    vec_Log.push_back("Conversion Error 100. Incorrect MIF version (not 4.0, 5.0 or 5.5).");
    return false;
  }
  const std::size_t v = head.find("<MIFFile ");
  const std::size_t ve = head.find('>', v);
  version = head.substr(v + 9, ve == std::string::npos ? 0 : ve - v - 9);
  while (!version.empty() && version.back() == ' ') version.pop_back();
  if (m_bFirstFile) {
    m_ccsVersion = version;
  } else if (version != m_ccsVersion) {
    vec_Log.push_back("The MIF file version is not the same as the first file you selected.");
    return false;
  }
  encoding = BetweenAfter(head, "<MIFEncoding", "'>");
  if (encoding == kEUCTaiwan) {
    vec_Log.push_back("Conversion Error 150. EUC-TW encoding is not supported by this version of Halvex");
    vec_Log.push_back("Typeshift. Use the UNIX command \"iconv\" (or some other text conversion program)");
    vec_Log.push_back("to convert the MIF file to BIG-5 encoding before running Halvex Typeshift.");
    return false;
  }
  if (!encoding.empty()) {
    if (m_ccsEncoding.empty()) {
      m_ccsEncoding = encoding;
    } else if (encoding != m_ccsEncoding) {
      vec_Log.push_back(
          "The character encoding for this file is different than the first file with Asian character encoding.");
      return false;
    }
  }
  if (head.rfind("<MIFFile", 0) != 0) {
    vec_Log.push_back("Conversion Error 130. This file is not a valid MIF file.");
    return false;
  }
  m_bFirstFile = false;
  return true;
}

bool CQ_Typeshift::b_LoadFile(const std::string& path, bool translated) {
  v_Pump();
  vec_Log.push_back("");
  vec_Log.push_back("Processing: " + path);
  struct st_Reset {
    CQ_Morvane_CommunicationFrame* s;
    bool on;
    ~st_Reset() {
      if (on) s->v_ResetBatch();
    }
  } reset{m_pSession.get(), translated};

  if (!translated && fs::path(path).extension() == ".txt") {
    std::string error;
    if (!b_LoadFontMap(path, error)) {
      vec_Log.push_back(error);
      ++m_iErrors;
      return false;
    }
    vec_Log.push_back("Done.");
    return true;
  }

  std::string version, encoding;
  if (!b_CheckHead(path, version, encoding)) {
    ++m_iErrors;
    return false;
  }
  std::error_code ec;
  const auto bytes = fs::file_size(path, ec);
  m_iTotalMegabytes += static_cast<long long>(ec ? 0 : bytes / (1024 * 1024)) + 1;
  if (fn_FreeMegabytes && fn_FreeMegabytes() < 2 * m_iTotalMegabytes) {
    vec_Log.push_back("Conversion Error 110. There is not enough disk space available.");
    vec_Log.push_back("*************** PROCESS CANCELLED ***************");
    ++m_iErrors;
    m_bCancelled = true;
    return false;
  }

  std::string original;
  if (!ReadAll(path, original)) {
    vec_Log.push_back("File Error 3100. The file could not be accessed.");
    ++m_iErrors;
    return false;
  }
  st_TempFiles temps;
  std::string parsePath = path;
  std::string parsed = original;
  const bool noLF = original.substr(0, 400).find('\n') == std::string::npos;
  const bool euc = encoding == kEUCJapanese;
  if (noLF) {
    parsed = ToCRLF(parsed);
    const std::string tmp = temps.s_Write(path, parsed);
    if (tmp.empty()) {
      vec_Log.push_back("File Error 3100. The file could not be accessed.");
      ++m_iErrors;
      return false;
    }
    parsePath = tmp;
  }
  if (euc) {
    std::string sjis;
    std::string tmp;
    if (!EUCToShiftJIS(parsed, sjis) || (tmp = temps.s_Write(path, sjis)).empty()) {
      vec_Log.push_back("File Error 3010. A file error occurred when converting from EUC to Shift-JIS.");
      ++m_iErrors;
      return false;
    }
    parsePath = tmp;
  }

  if (translated && !m_pSession->b_FindMIFObjects(parsePath)) {
    char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
    while (m_pSession->b_GetNextMessage(buffer)) {
      if (buffer[0] != '\0') {
        vec_Log.push_back(buffer);
        ++m_iErrors;
      }
    }
    return false;
  }

  std::vector<CTextPiece> pieces;
  try {
    CQ_FontMappingParser parser(parsePath, pieces, vec_Log, m_iErrors);
    parser.v_Run();
  } catch (const SSException& e) {
    vec_Log.push_back("Conversion Error 20. A parser error has occurred.");
    vec_Log.push_back(std::string("- ") + e.what());
    ++m_iErrors;
    return false;
  }

  // Positions and texts of a parsed copy refer back to the original file.
  if (parsePath != path) {
    const std::vector<std::size_t> starts = LineStarts(original);
    for (CTextPiece& p : pieces) {
      const std::size_t b = OriginalOffset(original, starts, p.i_StartLine, p.i_StartColumn, euc);
      const std::size_t e = OriginalOffset(original, starts, p.i_EndLine, p.i_EndColumn, euc);
      if (b == std::string::npos || e == std::string::npos || e < b || e > original.size()) {
        vec_Log.push_back("Conversion Error 130. This file is not a valid MIF file.");
        ++m_iErrors;
        return false;
      }
      p.ccs_Text = original.substr(b, e - b);
      p.i_StartColumn = static_cast<long>(b - starts[static_cast<std::size_t>(p.i_StartLine - 1)]) + 1;
      p.i_EndColumn = static_cast<long>(e - starts[static_cast<std::size_t>(p.i_EndLine - 1)]) + 1;
      p.n_Value = static_cast<std::uint32_t>(b);
    }
  }

  // The session records identifier lines as written ("<TextRectID 3 >" in
  // 4.0 files, which pad values); the parser drops the padding. Both sides
  // are compared without it.
  std::set<std::string> visible;
  if (translated) {
    for (const std::string& id : m_pSession->ccs_GetVisibleMIFObjects()) visible.insert(ccs_PlainIdentifier(id));
  }
  CTextPieceList list;
  list.v_SetFileName(path);
  for (const CTextPiece& p : pieces) {
    if (translated && !p.ccs_ObjectId.empty() && !m_pSession->b_GetVisibleMIFObject(p.ccs_ObjectId.c_str()) &&
        !visible.count(ccs_PlainIdentifier(p.ccs_ObjectId))) {
      continue;
    }
    list.b_Add(p, &vec_Log);
  }
  if (translated) {
    m_vecTranslated.push_back(std::move(list));
  } else {
    for (const CTextPiece& p : list.rco_Pieces()) {
      const std::string name = ccs_DefinedFontName(p);
      if (!name.empty()) v_AddAvailableFont(name, p);
      const std::string size = ccs_Size(p);
      if (!size.empty()) v_AddSize(size);
    }
    m_vecFonts.push_back(std::move(list));
  }
  vec_Log.push_back("Done.");
  return true;
}

void CQ_Typeshift::v_AddAvailableFont(const std::string& name, const CTextPiece& piece) {
  m_mapFonts.emplace(name, piece);
}

bool CQ_Typeshift::b_LoadFiles(const std::vector<std::string>& files, bool translated) {
  bool any = false;
  for (const std::string& f : files) {
    if (m_bCancelled) break;
    if (fn_Stopped && fn_Stopped()) {
      vec_Log.push_back("*************** PROCESS STOPPED ***************");
      m_bCancelled = true;
      break;
    }
    any |= b_LoadFile(f, translated);
  }
  return any;
}

bool CQ_Typeshift::b_LoadTranslatedFiles(const std::vector<std::string>& files) { return b_LoadFiles(files, true); }

bool CQ_Typeshift::b_LoadFontFiles(const std::vector<std::string>& files) { return b_LoadFiles(files, false); }

bool CQ_Typeshift::b_Load(const std::vector<std::string>& translated, const std::vector<std::string>& fonts) {
  m_vecTranslated.clear();
  m_vecFonts.clear();
  m_mapFonts.clear();
  m_setSizes.clear();
  vec_Rows.clear();
  m_ccsVersion.clear();
  m_ccsEncoding.clear();
  m_bFirstFile = true;
  m_bCancelled = false;
  m_iErrors = 0;
  m_iTotalMegabytes = 0;
  vec_Log.push_back("------------------------- Loading Translated Files ------------------------");
  if (!b_LoadTranslatedFiles(translated)) {
    vec_Log.push_back("-------------------- Finished Loading Translated Files --------------------");
    vec_Log.push_back("No valid translated files were found.");
    vec_Log.push_back("Processing can not continue.");
    vec_Log.push_back("You will not be able to map any fonts.");
    return false;
  }
  if (m_iErrors > 0) vec_Log.push_back("*** ERRORS FOUND WHILE LOADING ***");
  vec_Log.push_back("-------------------- Finished Loading Translated Files --------------------");
  v_BuildRows();
  if (m_bCancelled) return true;
  vec_Log.push_back("---------------------------- Loading Font Files ---------------------------");
  const long before = m_iErrors;
  const bool fontsLoaded = b_LoadFontFiles(fonts);
  if (!fontsLoaded) {
    vec_Log.push_back("----------------------- Finished Loading Font Files -----------------------");
    vec_Log.push_back("No valid font files were found.");
    vec_Log.push_back("Processing can not continue.");
    vec_Log.push_back("You will not be able to map any fonts.");
    return false;
  }
  if (m_iErrors > before) vec_Log.push_back("*** ERRORS FOUND WHILE LOADING ***");
  vec_Log.push_back("----------------------- Finished Loading Font Files -----------------------");
  return true;
}

// --- font map --------------------------------------------------------------------

bool CQ_Typeshift::b_SetNewFont(st_Row& row, const std::string& name) {
  const auto it = m_mapFonts.find(name);
  if (it == m_mapFonts.end()) return false;
  row.acs_Cells[6] = name;
  row.co_NewFontPiece = it->second;
  row.b_HasDefinition = true;
  return true;
}

bool CQ_Typeshift::b_LoadFontMap(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadAll(path, text)) {
    error = kCannotOpen;
    return false;
  }
  std::vector<st_FontMapRow> map;
  if (!b_ParseFontMap(text, map, error)) return false;
  for (const st_FontMapRow& m : map) {
    if (!m.acs_Cells[6].empty() && m.b_HasDefinition) v_AddAvailableFont(m.acs_Cells[6], m.co_Definition);
    if (!m.acs_Cells[7].empty()) v_AddSize(m.acs_Cells[7]);
  }
  i_ApplyFontMap(map, vec_Rows);
  return true;
}

bool CQ_Typeshift::b_SaveFontMap(const std::string& path, std::string& error) const {
  if (!WriteAll(path, ccs_FontMapText(vec_Rows))) {
    error = "Filename: " + path + " " + std::strerror(errno);
    return false;
  }
  return true;
}

// --- run ---------------------------------------------------------------------------

CReplaceList CQ_Typeshift::co_ReplacementsFor(const CTextPieceList& list, std::vector<std::string>& log) {
  CReplaceList out;
  out.ccs_FileName = list.ccs_FileName();
  std::map<std::string, std::string> combined;  // name -> definition text
  for (const st_Row& row : vec_Rows) {
    if (!row.b_HasNewValue()) continue;
    if (std::find(row.vec_Files.begin(), row.vec_Files.end(), list.ccs_FileName()) == row.vec_Files.end()) continue;
    st_NewFont font;
    if (!row.acs_Cells[6].empty()) {
      if (row.b_HasDefinition) {
        font = co_NewFontFromPiece(row.co_NewFontPiece);
        font.ccs_Name = row.acs_Cells[6];
      } else {
        const auto it = m_mapFonts.find(row.acs_Cells[6]);
        if (it != m_mapFonts.end()) font = co_NewFontFromPiece(it->second);
        font.ccs_Name = row.acs_Cells[6];
      }
      if (font.b_Combined && m_ccsVersion.rfind("5.5", 0) != 0) {
        log.push_back("The combined font " + font.ccs_Name + " can not be used in " + list.ccs_FileName() +
                      ": combined fonts need MIF 5.5, the file is MIF " + m_ccsVersion + ". " + row.acs_Cells[1] +
                      " is left unchanged.\n");
        continue;
      }
    }
    font.ccs_Size = row.acs_Cells[7];
    font.ccs_Weight = row.acs_Cells[8];
    font.ccs_Angle = row.acs_Cells[9];
    for (const CTextPiece& p : list.rco_Pieces()) {
      if (p.ccs_Text != row.co_Piece.ccs_Text) continue;
      CReplacePiece r{p.i_StartLine, p.i_StartColumn, p.i_EndLine, p.i_EndColumn, {}};
      if (!b_RewritePiece(p.ccs_Text, font, row.i_Flag, r.ccs_Text)) {
        log.push_back("The font of " + row.acs_Cells[1] + " at line " + std::to_string(p.i_StartLine) +
                      " is left unchanged (mapping flag " + std::to_string(row.i_Flag) + ").\n");
        continue;
      }
      out.b_Add(r, &log);
      if (font.b_Combined) {
        const CTextPiece& def = row.b_HasDefinition ? row.co_NewFontPiece : m_mapFonts.at(font.ccs_Name);
        combined.emplace(font.ccs_Name, def.ccs_Text);
      }
    }
  }
  if (combined.empty()) return out;

  // Definitions the file's catalog already holds are not written again.
  for (const CTextPiece& p : list.rco_Pieces()) {
    if (p.i_Origin == 1) combined.erase(ccs_StringValue(p.ccs_Text, "<CombinedFontName"));
  }
  if (combined.empty()) return out;
  std::string original;
  if (!ReadAll(list.ccs_FileName(), original)) return out;
  const std::string eol = LineEndOfFile(original);
  std::string defs;
  for (const auto& [name, text] : combined) {
    std::string body = text;
    if (body.rfind("<CombinedFontDefn", 0) == 0) body.erase(0, 17);
    if (!body.empty() && body.back() == '>') body.pop_back();
    // Drop the rest of the opening line; later lines keep their indentation.
    while (!body.empty() && body.front() == ' ') body.erase(0, 1);
    if (!body.empty() && body.front() == '\r') body.erase(0, 1);
    if (!body.empty() && body.front() == '\n') body.erase(0, 1);
    while (!body.empty() && (body.back() == ' ' || body.back() == '\r' || body.back() == '\n')) body.pop_back();
    defs += " <CombinedFontDefn " + eol + WithLineEnds(body, eol) + eol + " > # end of CombinedFontDefn" + eol;
  }
  // The catalog's closing line, or a new catalog before the paragraph catalog.
  const std::vector<std::size_t> starts = LineStarts(original);
  long catalogLine = 0, pgfCatalogLine = 0, closeLine = 0;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::string_view l = std::string_view(original).substr(starts[i]);
    if (!catalogLine && l.rfind("<CombinedFontCatalog", 0) == 0) catalogLine = static_cast<long>(i + 1);
    else if (catalogLine && !closeLine && l.rfind(">", 0) == 0) closeLine = static_cast<long>(i + 1);
    if (!pgfCatalogLine && l.rfind("<PgfCatalog", 0) == 0) pgfCatalogLine = static_cast<long>(i + 1);
  }
  CReplacePiece ins;
  if (catalogLine && closeLine) {
    ins = {closeLine, 1, closeLine, 1, defs};
  } else if (pgfCatalogLine) {
    ins = {pgfCatalogLine, 1, pgfCatalogLine, 1,
           "<CombinedFontCatalog " + eol + defs + "> # end of CombinedFontCatalog" + eol};
  } else {
    log.push_back("No place for the combined font catalog in " + list.ccs_FileName() +
                  "; combined font definitions are missing from the output.\n");
    return out;
  }
  out.b_Add(ins, &log);
  return out;
}

bool CQ_Typeshift::b_WriteFile(const std::string& input, const std::string& output, const CReplaceList& list) {
  if (SameNameNoCase(input, output)) {
    vec_Log.push_back(Format("Same filename (%s) specified for both Input and Output!\n", input));
    return false;
  }
  CRCFile in, out;
  if (!in.b_OpenRead(input)) {
    vec_Log.push_back("File Error! Could not open the input file " + input + ". " + std::strerror(errno) + "\n");
    return false;
  }
  std::error_code ec;
  fs::create_directories(fs::path(output).parent_path(), ec);
  if (!out.b_OpenWrite(output)) {
    vec_Log.push_back("Could not open output file " + output + "\n" + std::strerror(errno) + "\n");
    return false;
  }
  const auto& pieces = list.rco_Pieces();
  std::string error;
  bool ok = true;
  for (std::size_t i = 0; i < pieces.size() && ok; ++i) {
    const CReplacePiece& p = pieces[i];
    if (fn_Progress) fn_Progress(static_cast<long>(i + 1), static_cast<long>(pieces.size()), m_iFileIndex, m_iFileCount);
    if (i % 64 == 0) v_Pump();
    ok = in.b_MoveTo(p.i_StartLine, p.i_StartColumn, &out, error) && out.b_Write(p.ccs_Text) &&
         in.b_MoveTo(p.i_EndLine, p.i_EndColumn, nullptr, error);
  }
  if (ok) ok = in.b_CopyRest(out, error);
  in.v_Close();
  const bool written = out.b_Write("");
  out.v_Close();
  if (!ok || !written) {
    vec_Log.push_back(error.empty() ? "\nFile Error! " + std::string(std::strerror(errno)) + "\n- Skipping output file for " +
                                          input + "!\n\n"
                                    : error);
    fs::remove(output, ec);
    return false;
  }
  return true;
}

int CQ_Typeshift::i_Run(const std::string& outputDir, CQ_TypeshiftQuestions& questions, bool writeAll) {
  CReplaceListList all;
  all.ccs_OutputDir = outputDir;
  if (all.ccs_OutputDir.empty() || all.ccs_OutputDir.back() != '/') all.ccs_OutputDir += '/';
  all.b_WriteAllFiles = writeAll;
  if (!m_vecTranslated.empty()) {
    all.ccs_InputRoot = fs::path(m_vecTranslated.front().ccs_FileName()).parent_path().string() + "/";
  }
  for (const CTextPieceList& list : m_vecTranslated) {
    CReplaceList r = co_ReplacementsFor(list, vec_Log);
    all.i_TotalReplacements += static_cast<long>(r.rco_Pieces().size());
    all.m_mapLists.emplace(list.ccs_FileName(), std::move(r));
  }
  bool yesToAll = false, noToAll = false;
  m_iFileCount = static_cast<int>(m_vecTranslated.size());
  m_iFileIndex = 0;
  for (const CTextPieceList& list : m_vecTranslated) {
    ++m_iFileIndex;
    const CReplaceList& r = all.m_mapLists.at(list.ccs_FileName());
    if (!all.b_WriteAllFiles && r.rco_Pieces().empty()) continue;
    const std::string& input = list.ccs_FileName();
    if (input.rfind(all.ccs_InputRoot, 0) != 0) {
      char buf[4096];
      std::snprintf(buf, sizeof buf, "The file %s is not in the path %s.\n\nIt will not be translated!", input.c_str(),
                    all.ccs_InputRoot.c_str());
      questions.v_Message(buf, kProductName);
      continue;
    }
    const std::string output = all.ccs_OutputDir + input.substr(all.ccs_InputRoot.size());
    if (fs::exists(output) && !SameNameNoCase(input, output)) {
      if (noToAll) continue;
      if (!yesToAll) {
        const et_Overwrite a = questions.et_AskOverwrite(output);
        if (a == et_Overwrite::No) continue;
        if (a == et_Overwrite::NoToAll) {
          noToAll = true;
          continue;
        }
        if (a == et_Overwrite::YesToAll) yesToAll = true;
      }
    }
    v_Pump();
    vec_Log.push_back(Format("Creating file: %s\n", output));
    if (b_WriteFile(input, output, r)) ++all.i_FilesCreated;
  }
  if (all.i_FilesCreated > 1) vec_Log.push_back(std::to_string(all.i_FilesCreated) + " files created.\n");
  questions.v_Message("Finished processing.", kProductName);
  if (fn_Progress) fn_Progress(0, 0, 0, 0);
  return all.i_FilesCreated;
}

}  // namespace typeshift

namespace typeshift {

std::string ccs_ValidateSelection(std::string& translated, std::string& fonts, const std::string& outputDir,
                                  int* field, std::string* caption) {
  auto fail = [&](int f, const char* text, const char* cap = "Error") {
    if (field) *field = f;
    if (caption) *caption = cap;
    return std::string(text);
  };
  if (vec_SplitFileList(translated).empty()) return fail(0, "Please select translated files.");
  if (vec_SplitFileList(fonts).empty()) return fail(1, "Please select font files.");
  if (outputDir.empty()) return fail(2, "Please select output files directory.");
  if (translated.back() != ';') translated += ';';
  if (fonts.back() != ';') fonts += ';';
  const auto tr = vec_SplitFileList(translated);
  const auto fo = vec_SplitFileList(fonts);
  for (const std::string& f : tr) {
    std::ifstream in(f, std::ios::binary);
    if (!in) return fail(0, "One or more of your chosen translated files can not be accessed.");
  }
  for (const std::string& f : fo) {
    std::ifstream in(f, std::ios::binary);
    if (!in) return fail(1, "One or more of your chosen font files can not be accessed.");
  }
  std::error_code ec;
  if (!fs::is_directory(outputDir, ec)) return fail(2, "Your chosen output files directory can not be accessed.");
  const fs::path out = fs::weakly_canonical(outputDir, ec);
  for (const auto* list : {&tr, &fo}) {
    for (const std::string& f : *list) {
      if (fs::weakly_canonical(fs::absolute(f).parent_path(), ec) == out) {
        return fail(2, "Output files can't be created in the same directory as the translated files or the font files.");
      }
    }
  }
  const bool firstTxt = fs::path(fo.front()).extension() == ".txt";
  for (const std::string& f : fo) {
    if ((fs::path(f).extension() == ".txt") != firstTxt) {
      return fail(1, "You may only select font files of the same type.", "Warning.");
    }
  }
  return {};
}

}  // namespace typeshift
