// Every numbered stop of the pre-scan, with the messages it leaves in the
// results queue, in the forward form and in the second form.
#include <gtest/gtest.h>

#include "MIFTestSupport.h"

namespace {

using mif_test::CodeOf;
using mif_test::Document;

const char* const kPage =
    "<Page\n<PageType BodyPage>\n<TextRect\n<ID 5>\n<ShapeRect 1\" 1\" 6\" 9\">\n> # end of TextRect\n"
    "> # end of Page\n";

std::string Flow(const std::string& notes, const std::string& paragraphs) {
  return "<TextFlow\n<Notes\n" + notes + "> # end of Notes\n" + paragraphs + "> # end of TextFlow\n";
}

std::string Para(const std::string& content) {
  return "<Para\n<PgfTag `Body'>\n<ParaLine\n" + content + "> # end of ParaLine\n> # end of Para\n";
}

std::string PgfCatalog(const std::string& tag, const std::string& statements) {
  return "<PgfCatalog\n<Pgf\n<PgfTag `" + tag + "'>\n" + statements + "> # end of Pgf\n> # end of PgfCatalog\n";
}

const char* const kChangeBarFont = "<PgfFont\n<FTag `'>\n<FChangeBar Yes>\n> # end of PgfFont\n";
const char* const kVariables =
    "<VariableFormats\n<VariableFormat\n<VariableName `V'>\n<VariableDef `v'>\n> # end of VariableFormat\n"
    "> # end of VariableFormats\n";

std::string Nested(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<Group\n";
  for (int i = 0; i < depth; ++i) s += ">\n";
  return s;
}

struct ErrorRow {
  const char* name;
  std::string text;
  bool forward;
  int code;
  std::vector<std::string> messages;
};

const std::string kMsg60Body = "Conversion Error 60. Change Bars are turned on in the Paragraph Format \"Body\".";

class MIFPreScanErrorTest : public mif_test::SessionTest {};

TEST_F(MIFPreScanErrorTest, NumberedStopsAndTheirMessages) {
  const std::string columnFlow = kPage + Flow("", Para("<TextRectID 5>\n"));
  const ErrorRow rows[] = {
      {"well-formed document", Document(columnFlow), true, 0, {}},
      {"automatic change bars", Document("<Document\n<DAutoChBars Yes>\n> # end of Document\n" + columnFlow), true,
       2030, {}},
      {"automatic change bars, MIF 4 trailing blank",
       Document("<Document\n <DAutoChBars Yes >\n> # end of Document\n", "4.00"), true, 2030, {}},
      {"automatic change bars off", Document("<Document\n<DAutoChBars No >\n> # end of Document\n"), true, 0, {}},
      {"automatic change bars, second form", Document("<Document\n<DAutoChBars Yes>\n> # end of Document\n"), false,
       0, {}},
      {"paragraph format with change bars stops at the variables",
       Document(PgfCatalog("Body", kChangeBarFont) + kVariables), true, 2040, {kMsg60Body}},
      {"two formats, MIF 4 trailing blanks",
       Document("<PgfCatalog\n<Pgf\n<PgfTag `A'>\n<PgfFont\n<FChangeBar Yes >\n> # end of PgfFont\n> # end of Pgf\n"
                "<Pgf\n<PgfTag `B'>\n<PgfFont\n<FChangeBar No >\n> # end of PgfFont\n> # end of Pgf\n"
                "<Pgf\n<PgfTag `C'>\n<PgfFont\n<FChangeBar Yes >\n> # end of PgfFont\n> # end of Pgf\n"
                "> # end of PgfCatalog\n" +
                    std::string(kVariables),
                "4.00"),
       true, 2040,
       {"Conversion Error 60. Change Bars are turned on in the Paragraph Format \"A\".",
        "Conversion Error 60. Change Bars are turned on in the Paragraph Format \"C\"."}},
      {"character format with change bars, no variables",
       Document("<FontCatalog\n<Font\n<FTag `Emphasis'>\n<FChangeBar Yes>\n> # end of Font\n> # end of FontCatalog\n"),
       true, 2040, {"Conversion Error 60. Change Bars are turned on in the Character Format \"Emphasis\"."}},
      {"format name converted like KWX text", Document(PgfCatalog("Caf\\x8e ", kChangeBarFont) + kVariables), true,
       2040, {"Conversion Error 60. Change Bars are turned on in the Paragraph Format \"Caf\xE9\"."}},
      {"change bars in a format, second form", Document(PgfCatalog("Body", kChangeBarFont) + kVariables), false, 0,
       {}},
      {"hyphenation warning",
       Document(PgfCatalog("Body", "<PgfHyphenate Yes >\n") + PgfCatalog("Code", "<PgfHyphenate No>\n")), true, 0,
       {"Conversion Warning 240. Hyphenation is turned on in the Paragraph Format \"Body\"."}},
      {"Asian encoding noted", Document("<MIFEncoding `\\xc6 '>\n"), true, 0,
       {"This MIF file was created on an Asian Operating System."}},
      {"Asian encoding, second form", Document("<MIFEncoding `\\xc6 '>\n"), false, 0, {}},
      {"no end marker", "<MIFFile 5.50>\n<Units Uin>\n", true, 8, {}},
      {"section never closes", "<MIFFile 5.50>\n<PgfCatalog\n<Pgf\n<PgfTag `Body'>\n# End of MIFFile\n", false, 8, {}},
      {"opening of a ParaLine lost",
       Document(kPage + Flow("", Para("<TextRectID 5>\n") +
                                     "<Para\n<PgfTag `Body'>\nParaLine\n<String `x'>\n> # end of ParaLine\n"
                                     "> # end of Para\n" + Para("<String `y'>\n"))),
       true, 6, {}},
      {"stray closer after the last section", Document(kPage + std::string(">\n")), false, 6, {}},
      {"bytes before a statement inside a paragraph",
       Document(kPage + Flow("", Para("<TextRectID 5>\n ^^ <Variable\n<VariableName `V'>\n> # end of Variable\n"))),
       true, 6, {}},
      {"image data with brackets is no statement",
       Document("<AFrames\n<Frame\n<ID 9>\n<ImportObject\n=EPSI\n&%!PS << /A 1 >> <<\n&B>\n=EndInset\n"
                "> # end of ImportObject\n> # end of Frame\n> # end of AFrames\n"),
       false, 0, {}},
      {"stray closer inside a section", Document("<Document\n<DMargins 1 1 1 1>\n>\n> # end of Document\n"), false, 6,
       {}},
      {"end marker inside a section that closes after it",
       "<MIFFile 5.50>\n<PgfCatalog\n<Pgf\n# End of MIFFile\n> # end of Pgf\n> # end of PgfCatalog\n# End of MIFFile\n",
       false, 8, {}},
      {"footnote without its ID", Document(Flow("<FNote\n" + Para("") + "> # end of FNote\n", "")), false, 6, {}},
      {"footnote ID twice",
       Document(Flow("<FNote\n<ID 3>\n> # end of FNote\n<FNote\n<ID 3>\n> # end of FNote\n", "")), false, 6, {}},
      {"column statement twice",
       Document(Flow("", Para("<TextRectID 5>\n")) + Flow("", Para("<TextRectID 5>\n"))), false, 6, {}},
      {"table without TblID", Document("<Tbls\n<Tbl\n<TblTag `A'>\n> # end of Tbl\n> # end of Tbls\n"), false, 6, {}},
      {"anchored frame without ID", Document("<AFrames\n<Frame\n<Pen 15>\n> # end of Frame\n> # end of AFrames\n"),
       false, 6, {}},
      {"anchor of a missing table", Document(kPage + Flow("", Para("<TextRectID 5>\n<ATbl 4>\n"))), false, 6, {}},
      {"table anchored twice",
       Document("<Tbls\n<Tbl\n<TblID 4>\n> # end of Tbl\n> # end of Tbls\n" + std::string(kPage) +
                Flow("", Para("<TextRectID 5>\n<ATbl 4>\n<ATbl 4>\n"))),
       false, 6, {}},
      {"frame holding the column that anchors it",
       Document("<AFrames\n<Frame\n<ID 2>\n<TextRect\n<ID 6>\n> # end of TextRect\n> # end of Frame\n"
                "> # end of AFrames\n" +
                std::string(kPage) + Flow("", Para("<TextRectID 5>\n<AFrame 2>\n")) +
                Flow("", Para("<TextRectID 6>\n<AFrame 2>\n"))),
       false, 6, {}},
      {"text column on two pages", Document(std::string(kPage) + kPage + Flow("", Para("<TextRectID 5>\n"))), false, 6,
       {}},
      {"nesting at the limit", Document(Nested(CQ_MIFPreScan::MAX_DEPTH)), false, 0, {}},
      {"nesting beyond the limit", Document(Nested(CQ_MIFPreScan::MAX_DEPTH + 1)), false, 6, {}},
      {"binary text is no section", Document(std::string("\x01\x02<\xff\xfe\n\0\0>\n", 10)), false, 0, {}},
  };
  for (const ErrorRow& row : rows) {
    CQ_MIFPreScan scan(session_, row.forward ? mif_test::Forward() : mif_test::SecondForm());
    EXPECT_EQ(CodeOf([&] { scan.v_PreScanText(row.text.data(), row.text.size()); }), row.code) << row.name;
    EXPECT_EQ(Results(), row.messages) << row.name;
  }
}

TEST_F(MIFPreScanErrorTest, ColumnsWithoutTextAndUnusedObjectsAreLeftOut) {
  // Column 7 receives no text, table 8 and frame 9 have no anchor: the
  // pre-scan completes and none of them appears.
  const std::string text = Document(
      "<AFrames\n<Frame\n<ID 9>\n<TextLine\n<Unique 90>\n<String `x'>\n> # end of TextLine\n> # end of Frame\n"
      "> # end of AFrames\n<Tbls\n<Tbl\n<TblID 8>\n> # end of Tbl\n> # end of Tbls\n"
      "<Page\n<PageType BodyPage>\n<TextRect\n<ID 7>\n> # end of TextRect\n> # end of Page\n");
  CQ_MIFPreScan scan(session_, mif_test::SecondForm());
  ASSERT_EQ(CodeOf([&] { scan.v_PreScanText(text.data(), text.size()); }), 0);
  EXPECT_EQ(scan.rco_GetBodyLines(), (CQ_MIFLines{"<Page", "<PageBody>", "<PageType BodyPage>", "> # end of Page"}));
  EXPECT_TRUE(scan.acs_VisibleObjects().empty());
}

}  // namespace
