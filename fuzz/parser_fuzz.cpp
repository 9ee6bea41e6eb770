// The font mapping parser over arbitrary input with a small read buffer:
// it completes or raises SSException, and every piece it reports is the
// input's own text at the recorded position.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fontmapping/parser/FontMappingParser.h"
#include "fontmapping/parser/SSException.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<CTextPiece> pieces;
  std::vector<std::string> log;
  long errors = 0;
  try {
    CQ_FontMappingParser parser(text, pieces, log, errors, 256);
    parser.v_Run();
  } catch (const SSException&) {
    return 0;
  }
  for (const CTextPiece& p : pieces) {
    if (p.n_Value > size || text.substr(p.n_Value, p.ccs_Text.size()) != p.ccs_Text) __builtin_trap();
    if (p.i_Origin < 1 || p.i_Origin > 6 || p.i_StartLine > p.i_EndLine) __builtin_trap();
  }
  return 0;
}
