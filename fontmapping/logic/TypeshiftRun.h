// Loading translated and font files into piece lists, and writing the mapped
// copies of the translated files. No widget code: questions are asked
// through CQ_TypeshiftQuestions, the log is a list of lines, and the owner's
// v_Pump runs between files and pieces (a window keeps itself live there).
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fontmapping/logic/TypeshiftModel.h"

class CQ_Morvane_CommunicationFrame;

namespace typeshift {

// A text file read or written with the current line and column (both
// 1-based; CR LF, lone CR and lone LF each end a line, as the parser counts).
class CRCFile {
 public:
  static constexpr std::size_t kBufferStep = 49152;
  static constexpr std::size_t kRefillBelow = 200;

  CRCFile() = default;
  ~CRCFile();
  CRCFile(const CRCFile&) = delete;
  CRCFile& operator=(const CRCFile&) = delete;

  bool b_OpenRead(const std::string& name);
  bool b_OpenWrite(const std::string& name);
  void v_Close();
  const std::string& ccs_Name() const { return m_ccsName; }
  long i_Line() const { return m_iLine; }
  long i_Column() const { return m_iColumn; }
  std::size_t n_BufferCapacity() const { return m_vecBuffer.size(); }

  // Reads on to (line, column), copying what it passes to `out` when not
  // null. False with `error` set for the positioning errors.
  bool b_MoveTo(long line, long column, CRCFile* out, std::string& error);
  // Copies the rest of the input to `out`.
  bool b_CopyRest(CRCFile& out, std::string& error);
  bool b_Write(std::string_view text);

 private:
  int i_Peek();  // next byte or -1
  void v_Advance(CRCFile* out);
  bool b_Fill();

  std::FILE* m_pFile = nullptr;
  std::string m_ccsName;
  std::vector<char> m_vecBuffer;
  std::size_t m_nStart = 0, m_nEnd = 0;
  long m_iLine = 1, m_iColumn = 1;
  bool m_bWriteFailed = false;
};

// The answers of the overwrite question.
enum class et_Overwrite { Yes, No, YesToAll, NoToAll };

class CQ_TypeshiftQuestions {
 public:
  virtual ~CQ_TypeshiftQuestions() = default;
  virtual et_Overwrite et_AskOverwrite(const std::string& path) = 0;
  virtual void v_Message(const std::string& text, const std::string& caption) = 0;
};

// Answers without a user: every existing output is overwritten, messages go
// to the log.
class CQ_BatchQuestions : public CQ_TypeshiftQuestions {
 public:
  explicit CQ_BatchQuestions(std::vector<std::string>& log) : m_rLog(log) {}
  et_Overwrite et_AskOverwrite(const std::string&) override { return et_Overwrite::YesToAll; }
  void v_Message(const std::string& text, const std::string&) override { m_rLog.push_back(text); }

 private:
  std::vector<std::string>& m_rLog;
};

class CQ_Typeshift {
 public:
  // Creates the kernel session with the program's product and version.
  CQ_Typeshift();
  ~CQ_Typeshift();

  std::vector<std::string> vec_Log;
  std::function<void()> fn_Pump;       // runs between files and pieces
  std::function<bool()> fn_Stopped;    // true once the user pressed Stop
  // The free megabytes of the current drive (replaceable for tests).
  std::function<long long()> fn_FreeMegabytes;

  // Loading. Both return true when at least one file loaded.
  bool b_LoadTranslatedFiles(const std::vector<std::string>& files);
  bool b_LoadFontFiles(const std::vector<std::string>& files);
  // Both steps with the banner lines of the loading page.
  bool b_Load(const std::vector<std::string>& translated, const std::vector<std::string>& fonts);

  const std::vector<CTextPieceList>& rco_TranslatedLists() const { return m_vecTranslated; }
  const std::vector<CTextPieceList>& rco_FontLists() const { return m_vecFonts; }
  long i_Errors() const { return m_iErrors; }
  const std::string& ccs_Version() const { return m_ccsVersion; }
  const std::string& ccs_Encoding() const { return m_ccsEncoding; }

  // Available fonts (name -> defining piece) and sizes, kept as sets.
  const std::map<std::string, CTextPiece>& rco_AvailableFonts() const { return m_mapFonts; }
  const std::set<std::string>& rco_Sizes() const { return m_setSizes; }
  void v_AddAvailableFont(const std::string& name, const CTextPiece& piece);
  void v_AddSize(const std::string& size) { m_setSizes.insert(size); }

  // Rows of the mapping list (built after loading).
  std::vector<st_Row> vec_Rows;
  void v_BuildRows() { vec_Rows = vec_BuildRows(m_vecTranslated); }
  // Sets a row's new font from the available fonts (copies the defining piece).
  bool b_SetNewFont(st_Row& row, const std::string& name);
  // Reads a font map file: rows' new values and the fonts and sizes they name.
  bool b_LoadFontMap(const std::string& path, std::string& error);
  bool b_SaveFontMap(const std::string& path, std::string& error) const;

  // Writes the mapped files. Returns the number of files created.
  int i_Run(const std::string& outputDir, CQ_TypeshiftQuestions& questions, bool writeAll = true);

  // Progress of the run: piece number and count in the current file, file
  // number (1-based) and count; (0, 0, 0, 0) at the end.
  std::function<void(long, long, int, int)> fn_Progress;

 private:
  bool b_LoadFile(const std::string& path, bool translated);
  bool b_CheckHead(const std::string& path, std::string& version, std::string& encoding);
  void v_Pump() {
    if (fn_Pump) fn_Pump();
  }
  bool b_WriteFile(const std::string& input, const std::string& output, const CReplaceList& list);
  CReplaceList co_ReplacementsFor(const CTextPieceList& list, std::vector<std::string>& log);

  std::unique_ptr<CQ_Morvane_CommunicationFrame> m_pSession;
  std::vector<CTextPieceList> m_vecTranslated, m_vecFonts;
  std::map<std::string, CTextPiece> m_mapFonts;
  std::set<std::string> m_setSizes;
  std::string m_ccsVersion, m_ccsEncoding;
  long m_iErrors = 0;
  long long m_iTotalMegabytes = 0;
  bool m_bFirstFile = true;
  bool m_bCancelled = false;
  int m_iFileIndex = 0, m_iFileCount = 0;
};

// Splits a ";"-terminated file list.
std::vector<std::string> vec_SplitFileList(const std::string& list);

}  // namespace typeshift

namespace typeshift {

// The selection page's checks in their order; empty when all pass, else the
// message, with `field` set to 0 (translated files), 1 (font files) or 2
// (output directory). Adds the missing final ";" to both lists.
std::string ccs_ValidateSelection(std::string& translated, std::string& fonts, const std::string& outputDir,
                                  int* field = nullptr, std::string* caption = nullptr);

}  // namespace typeshift
