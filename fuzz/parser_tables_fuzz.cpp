// Loads the input as a lexer table (first byte even) or a parser table (odd)
// and, when it is accepted, lexes or parses a small MIF text with it: a
// damaged table must be refused with SSException or drive the runtime
// without faults.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fontmapping/parser/FontMappingParser.h"
#include "fontmapping/parser/SSException.h"
#include "fontmapping/parser/SSLex.h"
#include "fontmapping/parser/SSYacc.h"

namespace {
constexpr std::string_view kSample =
    "<MIFFile 5.50>\n<PgfCatalog <Pgf <PgfTag `Body'> <PgfFont <FTag `'>>>>\n"
    "<TextFlow <Para <ParaLine <TextRectID 3> <Font <FTag `E'>> <String `a\\>b'>>>>\r\n<Bad < >\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  try {
    if (data[0] % 2 == 0) {
      SSLexTable table(data + 1, size - 1);
      SSLexConsumer consumer(kSample, 16);
      SSLex lex(&consumer, &table);
      for (int i = 0; i < 10000; ++i) {
        SSLexLexeme* l = lex.pco_NextLexeme();
        const bool eof = l->i_Token() == SSLex::kTokenEof;
        l->v_AddRef();
        l->b_Release();
        if (eof) break;
      }
    } else {
      SSYaccTable table(data + 1, size - 1);
      SSLexConsumer consumer(kSample, 64);
      SSLex lex(&consumer, &CQ_FontMappingParser::rco_LexTable());
      SSYacc parser(32);
      parser.setTable(&table);
      parser.setLex(&lex);
      parser.i_Parse();
    }
  } catch (const SSException&) {
  }
  return 0;
}
