// Report lines in RTF: paragraph font by style kind, line feeds, optional
// tag styling and the font switches of the character-set pairs.
#include <gtest/gtest.h>

#include <string>

#include "kernel/forward/ReportLineWriter.h"

namespace {

std::string Opening(const char* size, int font) {
  return std::string("\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar") + size + "\\f" + std::to_string(font) + " ";
}

const std::string kExt = "{\\cs5\\cf15\\f1\\lang1024 ";
const std::string kInt = "{\\cs6\\cf6\\f1\\lang1024 ";

TEST(ReportLineWriterTest, ConvertsReportLines) {
  struct Row {
    std::string line;
    bool styling;
    int kind, source, target;
    bool tagFont;
    std::string expected;
  };
  const Row rows[] = {
      // Paragraph font by style kind.
      {"Source File: a.rtf", false, 0, 1252, 1250, false, Opening("\\fs20", 3) + "Source File: a.rtf"},
      {"x", false, 2, 1252, 1250, false, Opening("\\fs20", 1) + "x"},
      {"x", false, 4, 1252, 1250, false, Opening("\\fs20", 4) + "x"},
      {"x", false, 4, 1252, 1252, false, Opening("\\fs20", 3) + "x"},
      {"x", false, 1, 936, 1252, false, Opening("\\fs21", 3) + "x"},
      {"x", false, 3, 950, 1252, false, Opening("\\fs24", 3) + "x"},
      // Line feeds start a new paragraph; escapes as in KWX lines.
      {"again.\n", false, 0, 1252, 1252, false, Opening("\\fs20", 3) + "again.\n\\par "},
      {"a\tb\\{c}\xe9", false, 0, 1252, 1252, false, Opening("\\fs20", 3) + "a\\tab b\\'5c\\'7bc\\'7d\\'e9"},
      // Without styling, tags are plain text.
      {"<ps \"x\" 1>t<:c>u", false, 0, 1252, 1250, false, Opening("\\fs20", 3) + "<ps \"x\" 1>t<:c>u"},
      {"<ps \"x\" 1>t", true, 0, 1252, 1252, false, Opening("\\fs20", 3) + kExt + "<ps \"x\" 1>}t"},
      // Character-set pairs switch the font of the text after them.
      {"a<:c>b<:/c>c", true, 4, 1252, 1250, false,
       Opening("\\fs20", 4) + "a" + kInt + "<:c>}\\f3 b" + kInt + "<:/c>}\\f4 c"},
      {"a<:c1>b<:/c1>c", true, 0, 1252, 1252, false,
       Opening("\\fs20", 3) + "a" + kInt + "<:c1>}\\f3 b" + kInt + "<:/c1>}\\f3 c"},
      {"a<:c2>b<:/c2>c", true, 0, 1252, 1250, true,
       Opening("\\fs20", 3) + "a" + kInt + "<:c2>}\\f1 b" + kInt + "<:/c2>}\\f1 c"},
      {"<:cs \"c\" 1>x<:/cs>", true, 0, 1252, 1250, false,
       Opening("\\fs20", 3) + kInt + "<:cs \"c\" 1>}x" + kInt + "<:/cs>}"},
      // A broken tag in a translated segment keeps the document balanced.
      {"text <ps \"x", true, 0, 1252, 1252, false, Opening("\\fs20", 3) + "text " + kExt + "<ps \"x}"},
      {"a > b", true, 0, 1252, 1252, false, Opening("\\fs20", 3) + "a > b"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, CQ_ReportLineWriter::sccs_ConvertLine(row.line, row.styling, row.kind, row.source,
                                                                  row.target, row.tagFont))
        << "line: " << row.line << ", styling " << row.styling << ", kind " << row.kind << ", source "
        << row.source << ", target " << row.target << ", tag font " << row.tagFont;
  }
}

}  // namespace
