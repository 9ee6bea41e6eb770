// The font mapping logic: piece values, the piece list's duplicate rule, the
// rewrite of font statements, the font map file, the size rule, CRCFile's
// positioning errors and the selection checks.
#include <gtest/gtest.h>

#include <filesystem>

#include "fontmapping/TypeshiftTestSupport.h"
#include "fontmapping/logic/TypeshiftModel.h"
#include "fontmapping/logic/TypeshiftRun.h"

namespace {

using namespace typeshift;
namespace fs = std::filesystem;

CTextPiece Piece(std::string text, int kind, int origin = 4, long line = 1, long col = 1, std::string id = "") {
  CTextPiece p;
  p.ccs_Text = std::move(text);
  p.i_Kind = kind;
  p.i_Origin = origin;
  p.i_StartLine = line;
  p.i_StartColumn = col;
  CTextPiece::v_EndPosition(line, col, p.ccs_Text, p.i_EndLine, p.i_EndColumn);
  p.ccs_ObjectId = std::move(id);
  return p;
}

struct ValueRow {
  const char* text;
  int kind, origin;
  const char* type, *format, *font, *size, *bold, *italic;
};

TEST(TypeshiftValues, CellsOfPieces) {
  const ValueRow rows[] = {
      {"<Pgf \n <PgfTag `Body'>\n <PgfFont \n  <FTag `'>\n  <FFamily `Times'>\n  <FSize  12.0 pt>\n  <FWeight `Bold'>\n >\n>",
       0, 2, "PC", "Body", "Times", "12.0", "Bold", "Regular"},
      {"<Font \n <FTag `Emphasis'>\n <FAngle `Italic'>\n>", 1, 3, "CC", "Emphasis", "", "", "Regular", "Italic"},
      {"<Font \n <FTag `'>\n <FFamily `Courier'>\n>", 1, 4, "C", "Font Change", "Courier", "", "Regular", "Regular"},
      {"<Font \n <FFamily `Courier'>\n <FWeight `Regular'>\n>", 1, 5, "C", "Font Change", "Courier", "", "Regular",
       "Regular"},
      {"<Pgf \n <PgfFont \n  <FTag `Strong'>\n  <FAngle `Oblique'>\n >\n>", 0, 6, "P", "Strong", "", "", "Regular",
       "Regular"},
      // Keywords are matched whole: <PgfTagX is not <PgfTag.
      {"<Pgf <PgfTagX `No'> <PgfFont <FTag `T'> <FFamilyName `X'>>>", 0, 4, "P", "T", "", "", "Regular", "Regular"},
      {"<CombinedFontDefn \n <CombinedFontName `Mincho-Times'>\n <CombinedFontBaseEncoding `JISX0208.ShiftJIS'>\n>", 2,
       1, "", "Font Change", "Mincho-Times", "", "Regular", "Regular"},
  };
  for (const ValueRow& r : rows) {
    const CTextPiece p = Piece(r.text, r.kind, r.origin);
    EXPECT_EQ(ccs_TypeCell(p), r.type) << r.text;
    EXPECT_EQ(ccs_FormatName(p), r.format) << r.text;
    EXPECT_EQ(ccs_CurrentFont(p), r.font) << r.text;
    EXPECT_EQ(ccs_Size(p), r.size) << r.text;
    EXPECT_EQ(ccs_Bold(p), r.bold) << r.text;
    EXPECT_EQ(ccs_Italic(p), r.italic) << r.text;
  }
  EXPECT_EQ(ccs_Encoding(Piece(rows[6].text, 2, 1)), "JISX0208.ShiftJIS");
}

TEST(TypeshiftValues, DisplayTextTurnsEscapesIntoCharacters) {
  EXPECT_EQ(ccs_DisplayText("A\\tB\\>C\\qD\\QE\\\\F", ""), "A\tB>C'D`E\\F");
  // "本文" in Shift-JIS written as escapes, in a run whose encoding is Japanese.
  EXPECT_EQ(ccs_DisplayText("\\x96 \\x7b \\x95 \\xb6 ", "\x93\xFA\x96\x7B\x8C\xEA"), "\xE6\x9C\xAC\xE6\x96\x87");
  EXPECT_EQ(ccs_DisplayText("\x96\x7b\x95\xb6", "JISX0208.ShiftJIS"), "\xE6\x9C\xAC\xE6\x96\x87");
  EXPECT_EQ(ccs_DisplayText("\xcb\xdc\xca\xb8", "\xC6\xFC\xCB\xDC\xB8\xEC"), "\xE6\x9C\xAC\xE6\x96\x87");
}

TEST(TypeshiftPieceList, DuplicatesAndPositionOrder) {
  CTextPieceList list;
  std::vector<std::string> report;
  EXPECT_TRUE(list.b_Add(Piece("<Font <FTag `B'>>", 1, 4, 5, 3, "<TextRectID 7>"), &report));
  EXPECT_TRUE(list.b_Add(Piece("<Font <FTag `A'>>", 1, 4, 2, 9, "<TextRectID 7>"), &report));
  EXPECT_TRUE(list.b_Add(Piece("<Font <FTag `C'>>", 1, 4, 5, 1, "<TextRectID 7>"), &report));
  // Identical piece at the same place: kept once, silently.
  EXPECT_FALSE(list.b_Add(Piece("<Font <FTag `B'>>", 1, 4, 5, 3, "<TextRectID 7>"), &report));
  EXPECT_TRUE(report.empty());
  // Same place, other text: reported and dropped.
  EXPECT_FALSE(list.b_Add(Piece("<Font <FTag `X'>>", 1, 4, 5, 3, "<TextRectID 7>"), &report));
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report[0], "Duplicate translations! B is translated as <Font <FTag `B'>> and <Font <FTag `X'>>.\n");
  // Same place in another object is no duplicate.
  EXPECT_TRUE(list.b_Add(Piece("<Font <FTag `X'>>", 1, 4, 5, 3, "<TblID 1>"), &report));
  std::vector<std::string> order;
  for (const CTextPiece& p : list.rco_Pieces()) order.push_back(ccs_FormatName(p));
  EXPECT_EQ(order, (std::vector<std::string>{"A", "C", "B", "X"}));
}

TEST(TypeshiftReplaceList, OrderAndDuplicates) {
  CReplaceList list;
  std::vector<std::string> report;
  EXPECT_TRUE(list.b_Add({3, 5, 4, 1, "b"}, &report));
  EXPECT_TRUE(list.b_Add({1, 1, 1, 1, "a"}, &report));
  EXPECT_FALSE(list.b_Add({3, 5, 4, 1, "b"}, &report));
  EXPECT_TRUE(report.empty());
  EXPECT_FALSE(list.b_Add({3, 5, 4, 1, "c"}, &report));
  EXPECT_EQ(report.size(), 1u);
  ASSERT_EQ(list.rco_Pieces().size(), 2u);
  EXPECT_EQ(list.rco_Pieces()[0].ccs_Text, "a");
}

const char kPgf[] =
    "<Pgf \n"
    "  <PgfTag `Body'>\n"
    "  <PgfFont \n"
    "   <FTag `'>\n"
    "   <FFamily `Times'>\n"
    "   <FSize  10.0 pt>\n"
    "   <FAngle `Regular'>\n"
    "   <FWeight `Regular'>\n"
    "   <FPostScriptName `Times-Roman'>\n"
    "   <FPlatformName `W.Times New Roman.R.400'>\n"
    "   <FWesternPlatformName `W.Times.R.400'>\n"
    "   <FColor `Black'>\n"
    "  > # end of PgfFont\n"
    " >";

TEST(TypeshiftRewrite, PlainFontReplacesEveryFontStatement) {
  st_NewFont f;
  f.ccs_Name = "MS Gothic";
  f.ccs_Encoding = "JISX0208.ShiftJIS";
  f.ccs_Size = "11";
  f.ccs_Weight = "Bold";
  f.ccs_Angle = "Italic";
  std::string out;
  ASSERT_TRUE(b_RewritePiece(kPgf, f, 0, out));
  EXPECT_EQ(out,
            "<Pgf \n"
            "  <PgfTag `Body'>\n"
            "  <PgfFont \n"
            "   <FTag `'>\n"
            "   <FFamily `MS Gothic'>\n"
            "   <FWeight `Bold'>\n"
            "   <FAngle `Italic'>\n"
            "   <FSize  11 pt>\n"
            "   <FEncoding `JISX0208.ShiftJIS'>\n"
            "   <FLanguage Japanese>\n"
            "   <FColor `Black'>\n"
            "  > # end of PgfFont\n"
            " >");
  // Flag 1 keeps the western platform name of a plain font.
  ASSERT_TRUE(b_RewritePiece(kPgf, f, 1, out));
  EXPECT_NE(out.find("<FWesternPlatformName `W.Times.R.400'>"), std::string::npos);
  EXPECT_EQ(out.find("<FPostScriptName"), std::string::npos);
}

TEST(TypeshiftRewrite, CombinedFontAndVariants) {
  st_NewFont f;
  f.ccs_Name = "Mincho-Times";
  f.b_Combined = true;
  f.ccs_BaseFamily = "MS Mincho";
  f.ccs_Encoding = "JISX0208.ShiftJIS";
  std::string out;
  ASSERT_TRUE(b_RewritePiece(kPgf, f, 1, out));
  // Flag 1: the PostScript name stays, platform names go; size, weight and
  // angle stay as they were.
  EXPECT_NE(out.find("<FPostScriptName `Times-Roman'>"), std::string::npos);
  EXPECT_EQ(out.find("<FPlatformName"), std::string::npos);
  EXPECT_EQ(out.find("<FWesternPlatformName"), std::string::npos);
  EXPECT_NE(out.find("   <FTag `'>\n   <FFamily `MS Mincho'>\n   <FCombinedFontName `Mincho-Times'>\n"
                     "   <FEncoding `JISX0208.ShiftJIS'>\n   <FLanguage Japanese>\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("<FSize  10.0 pt>"), std::string::npos);
  EXPECT_EQ(out.find("`Times'"), std::string::npos);
  ASSERT_TRUE(b_RewritePiece(kPgf, f, 0, out));
  EXPECT_EQ(out.find("<FPostScriptName"), std::string::npos);
}

TEST(TypeshiftRewrite, OtherFlagLeavesThePieceUnchanged) {
  st_NewFont f;
  f.ccs_Name = "Courier";
  for (int flag : {-1, 2, 7}) {
    std::string out;
    EXPECT_FALSE(b_RewritePiece(kPgf, f, flag, out));
    EXPECT_EQ(out, kPgf);  // never an empty replacement
  }
}

TEST(TypeshiftRewrite, OneLineFontAndCRLF) {
  st_NewFont f;
  f.ccs_Name = "Courier";
  f.ccs_Size = "11";
  std::string out;
  ASSERT_TRUE(b_RewritePiece("<Font <FTag `'> <FFamily `Times'> <FLocked No>>", f, 0, out));
  EXPECT_EQ(out, "<Font <FTag `'> <FFamily `Courier'> <FSize  11 pt> <FLocked No>>");
  ASSERT_TRUE(b_RewritePiece("<Font \r\n <FTag `'>\r\n <FFamily `Times'>\r\n>", f, 0, out));
  EXPECT_EQ(out, "<Font \r\n <FTag `'>\r\n <FFamily `Courier'>\r\n <FSize  11 pt>\r\n>");
  // No tag at all: the statements follow the opening keyword.
  ASSERT_TRUE(b_RewritePiece("<Font \n <FFamily `Times'>\n>", f, 0, out));
  EXPECT_EQ(out, "<Font\n <FFamily `Courier'>\n <FSize  11 pt> \n>");
}

TEST(TypeshiftRewrite, LanguageTable) {
  EXPECT_EQ(ccs_LanguageOfEncoding("JISX0208.ShiftJIS"), "Japanese");
  EXPECT_EQ(ccs_LanguageOfEncoding("BIG5"), "TraditionalChinese");
  EXPECT_EQ(ccs_LanguageOfEncoding("GB2312-80.EUC"), "SimplifiedChinese");
  EXPECT_EQ(ccs_LanguageOfEncoding("KSC5601-1992"), "Korean");
  EXPECT_EQ(ccs_LanguageOfEncoding("FrameRoman"), "");
}

TEST(TypeshiftSize, EntryRule) {
  for (const char* ok : {"2", "2.00", "12", "10.5", "400.00", "400"}) EXPECT_TRUE(b_ValidSize(ok)) << ok;
  for (const char* bad : {"12a", "500", "1.99", "400.01", "", ".", "1..2", "-3", "12 pt"}) {
    EXPECT_FALSE(b_ValidSize(bad)) << bad;
  }
}

TEST(TypeshiftFontMap, SaveLoadRoundTripAndLayout) {
  std::vector<st_Row> rows(3);
  rows[0].acs_Cells = {"P", "Body", "Times", "12.0", "Regular", "Regular", "", "", "", ""};
  rows[1].acs_Cells = {"C", "Font Change", "Courier", "", "Regular", "Regular", "Mincho-Times", "11", "Bold", ""};
  rows[1].b_HasDefinition = true;
  rows[1].co_NewFontPiece = Piece("<CombinedFontDefn \n <CombinedFontName `Mincho-Times'>\n>", 2, 1);
  rows[1].co_NewFontPiece.c_Component = 'K';
  rows[2].acs_Cells = {"PC", "Head", "Helvetica", "14.0", "Bold", "Regular", "", "16", "", ""};
  const std::string text = ccs_FontMapText(rows);
  EXPECT_EQ(text,
            "Halvex Typeshift for FrameMaker 1.00;\r\n"
            "P;Body;Times;12.0;Regular;Regular;;;;;\r\n"
            "C;Font Change;Courier;;Regular;Regular;Mincho-Times;11;Bold;;CTextPieceText;\n"
            "<CombinedFontDefn \n <CombinedFontName `Mincho-Times'>\n>\nComponentK\nEndCTextPieceText\n"
            "PC;Head;Helvetica;14.0;Bold;Regular;;16;;;\r\n");
  std::vector<st_FontMapRow> map;
  std::string error;
  ASSERT_TRUE(b_ParseFontMap(text, map, error));
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[1].co_Definition.ccs_Text, rows[1].co_NewFontPiece.ccs_Text);
  EXPECT_EQ(map[1].co_Definition.c_Component, 'K');
  EXPECT_EQ(map[1].co_Definition.i_Kind, CTextPiece::KindCombinedFont);
  std::vector<st_Row> fresh(3);
  for (int i = 0; i < 3; ++i) {
    fresh[i].acs_Cells = rows[i].acs_Cells;
    for (int c = 6; c < 10; ++c) fresh[i].acs_Cells[c].clear();
  }
  std::swap(fresh[0], fresh[2]);  // matching is by the first six cells, not by order
  EXPECT_EQ(i_ApplyFontMap(map, fresh), 3);
  EXPECT_EQ(fresh[2].acs_Cells, rows[0].acs_Cells);
  EXPECT_EQ(fresh[0].acs_Cells, rows[2].acs_Cells);
  EXPECT_EQ(fresh[1].acs_Cells, rows[1].acs_Cells);
  EXPECT_EQ(ccs_FontMapText({fresh[2], fresh[1], fresh[0]}), text);
}

TEST(TypeshiftFontMap, WrongFirstLineRefused) {
  std::vector<st_FontMapRow> map;
  std::string error;
  EXPECT_FALSE(b_ParseFontMap("Halvex Morvane for FrameMaker 3.0;\r\nP;Body;;;;;;;;;\r\n", map, error));
  EXPECT_EQ(error, "This is not a valid font map file.");
  EXPECT_FALSE(b_ParseFontMap("", map, error));
  EXPECT_FALSE(b_ParseFontMap("Halvex Typeshift for FrameMaker 1.00;\r\nP;Body;\r\n", map, error));
}

class TypeshiftCRCFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("crc_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    tstest::Write((dir / "in.txt").string(), "abc\r\ndefgh\rij\nk");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(TypeshiftCRCFile, CopiesAroundRegionsAndReportsPositioningErrors) {
  CRCFile in, out;
  ASSERT_TRUE(in.b_OpenRead((dir / "in.txt").string()));
  ASSERT_TRUE(out.b_OpenWrite((dir / "out.txt").string()));
  std::string error;
  ASSERT_TRUE(in.b_MoveTo(2, 2, &out, error));
  out.b_Write("X");
  ASSERT_TRUE(in.b_MoveTo(3, 2, nullptr, error));  // skips "efgh\r" and "i"
  EXPECT_EQ(in.i_Line(), 3);
  EXPECT_EQ(in.i_Column(), 2);
  EXPECT_FALSE(in.b_MoveTo(2, 1, nullptr, error));
  EXPECT_EQ(error, "Line 2 has already been read - current line is 3.\n");
  EXPECT_FALSE(in.b_MoveTo(3, 1, nullptr, error));
  EXPECT_EQ(error, "Character 1 on line 3 has already been read - current offset is 2.\n");
  EXPECT_FALSE(in.b_MoveTo(3, 9, &out, error));
  EXPECT_EQ(error, "Line 3 does not contain 9 characters!\n");
  EXPECT_EQ(in.i_Line(), 4);  // stands at the start of the next line
  EXPECT_FALSE(in.b_MoveTo(4, 5, &out, error));
  EXPECT_EQ(error, "Unexpected End of File in " + (dir / "in.txt").string() + ". Line 4 does not contain 5 characters!\n");
  out.v_Close();
  EXPECT_EQ(tstest::Read((dir / "out.txt").string()), "abc\r\ndXj\nk");

  CRCFile again;
  ASSERT_TRUE(again.b_OpenRead((dir / "in.txt").string()));
  EXPECT_FALSE(again.b_MoveTo(9, 1, nullptr, error));
  EXPECT_EQ(error, "Unexpected End of File in " + (dir / "in.txt").string() + ". This file does not contain 9 lines!");
  EXPECT_EQ(again.n_BufferCapacity(), CRCFile::kBufferStep);
}

TEST_F(TypeshiftCRCFile, LargeFileCopiedExactly) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
  tstest::Write((dir / "big.txt").string(), big);
  CRCFile in, out;
  ASSERT_TRUE(in.b_OpenRead((dir / "big.txt").string()));
  ASSERT_TRUE(out.b_OpenWrite((dir / "big.out").string()));
  std::string error;
  ASSERT_TRUE(in.b_MoveTo(15000, 3, &out, error)) << error;
  ASSERT_TRUE(in.b_CopyRest(out, error));
  out.v_Close();
  EXPECT_EQ(tstest::Read((dir / "big.out").string()), big);
}

TEST(TypeshiftSelection, ChecksInOrder) {
  const fs::path dir = fs::temp_directory_path() / ("sel_" + std::to_string(::getpid()));
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  tstest::Write((dir / "in/a.mif").string(), "<MIFFile 5.50>\n");
  tstest::Write((dir / "out/f.mif").string(), "<MIFFile 5.50>\n");
  tstest::Write((dir / "out/m.txt").string(), "x");
  const std::string a = (dir / "in/a.mif").string(), f = (dir / "out/f.mif").string();
  const std::string out = (dir / "out").string(), other = (dir / "other").string();
  fs::create_directories(other);
  struct Row {
    std::string tr, fo, out, message;
    int field;
  };
  const Row rows[] = {
      {"", f, other, "Please select translated files.", 0},
      {a, "", other, "Please select font files.", 1},
      {a, f, "", "Please select output files directory.", 2},
      {a + ";" + (dir / "in/missing.mif").string(), f, other,
       "One or more of your chosen translated files can not be accessed.", 0},
      {a, (dir / "nofont.mif").string(), other, "One or more of your chosen font files can not be accessed.", 1},
      {a, f, (dir / "nodir").string(), "Your chosen output files directory can not be accessed.", 2},
      {a, f, (dir / "in").string(), "Output files can't be created in the same directory as the translated files or the font files.", 2},
      {a, f, out, "Output files can't be created in the same directory as the translated files or the font files.", 2},
      {a, f + ";" + (dir / "out/m.txt").string(), other, "You may only select font files of the same type.", 1},
      {a, f, other, "", -1},
  };
  for (const Row& r : rows) {
    std::string tr = r.tr, fo = r.fo, caption;
    int field = -1;
    EXPECT_EQ(ccs_ValidateSelection(tr, fo, r.out, &field, &caption), r.message) << r.tr << " | " << r.fo;
    if (!r.message.empty()) {
      EXPECT_EQ(field, r.field) << r.message;
    } else {
      EXPECT_EQ(tr, r.tr + ";");
      EXPECT_EQ(fo, r.fo + ";");
    }
  }
  fs::remove_all(dir);
}

}  // namespace
