#include "fontmapping/parser/TextPiece.h"

void CTextPiece::v_EndPosition(long line, long column, std::string_view text, long& endLine, long& endColumn) {
  long lineEnds = 0;
  std::size_t afterLast = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      ++lineEnds;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      afterLast = i + 1;
    } else if (text[i] == '\n') {
      ++lineEnds;
      afterLast = i + 1;
    }
  }
  if (lineEnds == 0) {
    endLine = line;
    endColumn = column + static_cast<long>(text.size());
  } else {
    endLine = line + lineEnds;
    endColumn = static_cast<long>(text.size() - afterLast) + 1;
  }
}
