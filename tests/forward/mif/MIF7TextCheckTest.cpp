// The MIF 7.0 statements whose text conversion cannot carry: found with
// their line, and nothing else found.
#include "kernel/forward/MIF7TextCheck.h"
#include "kernel/forward/MIFUnicode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

TEST(MIF7TextCheckTest, FindsTheFirstStatementHoldingTextWithItsLine) {
  const struct {
    const char* name;
    std::string mif;
    const char* statement;  // nullptr: nothing found
    std::size_t line;
  } rows[] = {
      {"attribute value", "<MIFFile 7.00>\n<Element\n <Attributes\n  <Attribute\n   <AttrName `Title'>\n"
                          "   <AttrValue `A heading'>\n  >\n >\n>\n",
       "AttrValue", 6},
      {"empty attribute value", "<MIFFile 7.00>\n<AttrValue `'>\n", nullptr, 0},
      {"chapter numbering text, CR LF lines", "<MIFFile 7.00>\r\n<Document\r\n <ChapterNumText `Chapter'>\r\n",
       "ChapterNumText", 3},
      {"CR lines", "<MIFFile 7.00>\r<Document\r\r <VolumeNumText `Vol'>\r", "VolumeNumText", 4},
      {"section texts", "<SectionNumText `'>\n<SubSectionNumText `A'>\n", "SubSectionNumText", 2},
      {"PDF document information", "<PDFDocInfo\n <Key `Title'>\n <Value `A manual'>\n> # end of PDFDocInfo\n",
       "PDFDocInfo Value", 3},
      {"empty PDF document information", "<PDFDocInfo\n <Key `Title'>\n <Value `'>\n>\n<Value `x'>\n", nullptr, 0},
      {"names only", "<ETag `Chapter'>\n<DStructAppName `DocBook'>\n<String `AttrValue'>\n<MText `x'>\n", nullptr,
       0},
      {"the keyword must be whole", "<AttrValueX `text'>\n", nullptr, 0},
      {"alternate text of a cross-reference", "<MIFFile 9.00>\n<XRef\n <XRefAltText `'>\n>\n<XRef\n"
                                              " <XRefAltText `See the table'>\n>\n",
       "XRefAltText", 6},
  };
  for (const auto& row : rows) {
    CQ_MIF7TextCheck::st_Finding finding;
    const bool found = CQ_MIF7TextCheck::sb_FindUnconvertedText(row.mif, finding);
    EXPECT_EQ(found, row.statement != nullptr) << row.name;
    if (found && row.statement) {
      EXPECT_EQ(finding.cs_Statement, row.statement) << row.name;
      EXPECT_EQ(finding.sz_Line, row.line) << row.name;
    }
  }
  EXPECT_TRUE(CQ_MIF7TextCheck::sb_IsMIF70("<MIFFile 7.00> # Generated"));
  EXPECT_FALSE(CQ_MIF7TextCheck::sb_IsMIF70("<MIFFile 5.50>"));
}

TEST(MIF7TextCheckTest, CorpusDocumentsOfMIF70AndLaterHoldNoSuchText) {
  const std::string corpus = MORVANE_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string mif((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!CQ_MIF7TextCheck::sb_IsMIF70(mif) &&
        !CQ_MIFUnicode::sb_IsAcceptedUnicodeVersion(CQ_MIFUnicode::si_Version(mif))) {
      continue;
    }
    ++seen;
    CQ_MIF7TextCheck::st_Finding finding;
    EXPECT_FALSE(CQ_MIF7TextCheck::sb_FindUnconvertedText(mif, finding))
        << entry.path() << ": " << finding.cs_Statement << " line " << finding.sz_Line;
  }
  if (seen == 0) GTEST_SKIP() << "no MIF 7.0 or later document in the corpus";
}

}  // namespace
