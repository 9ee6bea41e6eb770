// The data model of the font mapping program: the values a font-bearing
// piece reports, the position-ordered piece list with its duplicate rule,
// replacement pieces and lists, the rows of the mapping list, the rewrite of
// a piece's font statements and the font map file. No widget code.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fontmapping/parser/TextPiece.h"

namespace typeshift {

inline constexpr const char* kProductName = "Halvex Typeshift for FrameMaker";
inline constexpr const char* kFontMapTitle = "Halvex Typeshift for FrameMaker 1.00";  // string 170
inline constexpr const char* kNotAFontMap = "This is not a valid font map file.";     // string 171
inline constexpr const char* kCannotOpen = "Could not open file.";                    // string 172
inline constexpr const char* kFontChange = "Font Change";                             // string 104

// The value of a string statement "<keyword `value'>" of `text`: the text
// after the grave accent that follows the keyword (blanks only between) up
// to the closing "'>". The keyword must end at a blank or a grave accent,
// so "<FTag" does not match "<FTagX". Empty when absent.
std::string ccs_StringValue(std::string_view text, std::string_view keyword, bool* found = nullptr);
// The value of a number statement "<keyword 12.0 pt>": "12.0" (unit dropped).
std::string ccs_NumberValue(std::string_view text, std::string_view keyword);

std::string ccs_FormatName(const CTextPiece& piece);
std::string ccs_CurrentFont(const CTextPiece& piece);
std::string ccs_Encoding(const CTextPiece& piece);
std::string ccs_Size(const CTextPiece& piece);
std::string ccs_Bold(const CTextPiece& piece);
std::string ccs_Italic(const CTextPiece& piece);
// "P" paragraph, "C" character, "" otherwise; a second "C" for origins 2, 3.
std::string ccs_TypeCell(const CTextPiece& piece);
// The name the piece defines as an available font: the combined font name
// for a definition, the family otherwise.
std::string ccs_DefinedFontName(const CTextPiece& piece);

// MIF escapes (\xNN , \t, \>, \q, \Q, \\) turned into bytes, and those bytes
// read in the encoding of a MIFEncoding value ("" Western) turned to UTF-8.
std::string ccs_DisplayText(std::string_view mifValue, std::string_view encoding);

// The piece list of one file, in position order.
class CTextPieceList {
 public:
  // Adds a piece by the duplicate rule: same object identifier and same
  // start and end positions as a listed piece is a duplicate, dropped
  // silently when the texts agree and otherwise reported into `report`.
  // Returns true when the piece was inserted.
  bool b_Add(const CTextPiece& piece, std::vector<std::string>* report);
  const std::vector<CTextPiece>& rco_Pieces() const { return m_vecPieces; }
  std::vector<CTextPiece>& rco_Pieces() { return m_vecPieces; }
  const std::string& ccs_FileName() const { return m_ccsFileName; }
  void v_SetFileName(const std::string& name) { m_ccsFileName = name; }

 private:
  std::string m_ccsFileName;
  std::vector<CTextPiece> m_vecPieces;
};

// A region of an input file and its replacement text.
struct CReplacePiece {
  long i_StartLine = 0, i_StartColumn = 0, i_EndLine = 0, i_EndColumn = 0;
  std::string ccs_Text;
};

// The replacements of one input file in ascending position order.
class CReplaceList {
 public:
  // Same rule as the piece list: an equal region with equal text is kept
  // once, an equal region with another text is reported and dropped.
  bool b_Add(const CReplacePiece& piece, std::vector<std::string>* report);
  const std::vector<CReplacePiece>& rco_Pieces() const { return m_vecPieces; }
  std::string ccs_FileName;

 private:
  std::vector<CReplacePiece> m_vecPieces;
};

struct CReplaceListList {
  std::map<std::string, CReplaceList> m_mapLists;  // input file name -> list
  std::string ccs_InputRoot;
  std::string ccs_OutputDir;
  int i_FilesCreated = 0;
  long i_TotalReplacements = 0;
  bool b_WriteAllFiles = true;  // files without replacements are written too
};

// The new font of a row and what its defining piece says about it.
struct st_NewFont {
  std::string ccs_Name;         // family, or combined font name
  bool b_Combined = false;
  std::string ccs_BaseFamily;   // combined fonts: CombinedFontBaseFamily
  std::string ccs_Encoding;     // "Encoding" value of the defining piece
  std::string ccs_Size, ccs_Weight, ccs_Angle;  // "" when unchanged
};
st_NewFont co_NewFontFromPiece(const CTextPiece& defining);
// The language of an encoding for "<FLanguage", "" when none.
std::string ccs_LanguageOfEncoding(std::string_view encoding);

// Rewrites the font statements of a Pgf or Font text. Flag 1 keeps a
// combined font's "<FPostScriptName" and a plain font's
// "<FWesternPlatformName"; flag 0 removes them too. Any other flag leaves
// the text unchanged and returns false. Inserted statements go on new lines
// directly after the "<FTag" statement, with the indentation of its line
// and the text's own line end.
bool b_RewritePiece(std::string_view text, const st_NewFont& font, int flag, std::string& out);

// One row of the mapping list.
struct st_Row {
  std::array<std::string, 10> acs_Cells;  // raw MIF values (escapes kept)
  CTextPiece co_Piece;                    // the first piece behind the row
  std::vector<std::string> vec_Files;     // files holding an equal piece
  int i_Flag = 0;
  bool b_HasDefinition = false;
  CTextPiece co_NewFontPiece;             // the piece defining column 6
  bool b_HasNewValue() const;
};

// Rows over the translated files' piece lists: one per distinct piece text,
// origin 1 left out.
std::vector<st_Row> vec_BuildRows(const std::vector<CTextPieceList>& lists);

// Font map file.
std::string ccs_FontMapText(const std::vector<st_Row>& rows);
struct st_FontMapRow {
  std::array<std::string, 10> acs_Cells;
  bool b_HasDefinition = false;
  CTextPiece co_Definition;
};
// Parses a font map; false with `error` (string 171) when the first line
// lacks the title.
bool b_ParseFontMap(std::string_view text, std::vector<st_FontMapRow>& rows, std::string& error);
// Applies a font map's new values to the rows whose first six cells agree.
int i_ApplyFontMap(const std::vector<st_FontMapRow>& map, std::vector<st_Row>& rows);

// Size entry rule: digits and points only, 2.00 to 400.00 inclusive.
bool b_ValidSize(std::string_view size);
inline constexpr const char* kSizeMessage = "Please enter a numeric value between 2.00 and 400.00.";

}  // namespace typeshift
