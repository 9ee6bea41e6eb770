// One font-bearing piece of MIF text as the font mapping parser finds it: a
// Pgf, Font or CombinedFontDefn group with its exact text and position.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct CTextPiece {
  enum : int { KindParagraph = 0, KindCharacter = 1, KindCombinedFont = 2 };

  std::string ccs_Text;    // the group from its "<" to its ">", byte for byte
  long i_StartLine = 0;    // 1-based, as the lexer counts (CR LF, CR, LF end a line)
  long i_StartColumn = 0;  // 1-based byte column
  long i_EndLine = 0;      // the position just after the text
  long i_EndColumn = 0;
  std::string ccs_ObjectId;  // "<TextRectID n>", "<TblID n>", "<Unique n>" or empty
  int i_Kind = KindParagraph;
  int i_Origin = 0;          // 1 to 6, see Typeshift.y
  char c_Component = ' ';
  std::uint8_t n_Flag = 0;   // 1 when the group stands in conditional text
  std::uint32_t n_Value = 0; // byte position of the group's start in the file

  // The position just after `text` when it starts at (line, column): with no
  // line end in the text, the same line and the column plus the length;
  // otherwise the line plus the number of line ends (CR LF, lone CR and lone
  // LF count once each) and the length after the last line end plus 1.
  static void v_EndPosition(long line, long column, std::string_view text, long& endLine, long& endColumn);
};
