// Loading and writing translated files: golden outputs of our fixtures
// (Shift-JIS 5.5 with a combined font, EUC-JP, MIF 4.0 and 5.0, CR-only
// line ends) checked region by region and by an independent statement
// reader; the loading edge cases; the run's questions; the command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <functional>
#include <iostream>
#include <regex>
#include <sstream>

#include "System/Platform/TemporaryFile.h"
#include "fontmapping/ParserTestSupport.h"
#include "fontmapping/TypeshiftTestSupport.h"
#include "fontmapping/cli/TypeshiftCommandLine.h"
#include "fontmapping/logic/TypeshiftRun.h"
#include "MorvaneCommandLine.h"

namespace {

using namespace typeshift;
namespace fs = std::filesystem;

const std::string kData = std::string(MORVANE_TEST_DATA_DIR) + "/typeshift/";

bool Contains(const std::vector<std::string>& log, const std::string& line) {
  for (const std::string& l : log) {
    if (l == line) return true;
  }
  return false;
}

bool ContainsPart(const std::vector<std::string>& log, const std::string& part) {
  for (const std::string& l : log) {
    if (l.find(part) != std::string::npos) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& log) {
  std::string s;
  for (const std::string& l : log) s += l + "\n";
  return s;
}

class TempDir {
 public:
  TempDir() {
    static int n = 0;
    path = fs::temp_directory_path() / ("typeshift_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    fs::create_directories(path / "in");
    fs::create_directories(path / "fonts");
    fs::create_directories(path / "out");
  }
  ~TempDir() { fs::remove_all(path); }
  std::string In(const std::string& name) const { return (path / "in" / name).string(); }
  std::string Font(const std::string& name) const { return (path / "fonts" / name).string(); }
  std::string Out(const std::string& name = "") const { return (path / "out" / name).string(); }
  std::string CopyIn(const std::string& fixture, const std::string& name = "") const {
    const std::string to = In(name.empty() ? fs::path(fixture).filename().string() : name);
    fs::copy_file(fixture, to, fs::copy_options::overwrite_existing);
    return to;
  }
  std::vector<std::string> InFiles() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(path / "in")) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
  fs::path path;
};

// Collects questions and messages; answers the overwrite question from a list.
class RecordingQuestions : public CQ_TypeshiftQuestions {
 public:
  std::vector<et_Overwrite> answers;
  std::vector<std::string> asked, messages;
  et_Overwrite et_AskOverwrite(const std::string& path) override {
    asked.push_back(path);
    if (answers.empty()) return et_Overwrite::Yes;
    const et_Overwrite a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void v_Message(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + ": " + text);
  }
};

struct st_Mapping {
  std::string format, font;  // the row's Format and Current Font cells
  std::string newFont, size, weight, angle;
};

void ApplyMappings(CQ_Typeshift& ts, const std::vector<st_Mapping>& maps) {
  for (const st_Mapping& m : maps) {
    bool any = false;
    for (st_Row& r : ts.vec_Rows) {
      if (r.acs_Cells[1] != m.format || r.acs_Cells[2] != m.font) continue;
      any = true;
      if (!m.newFont.empty() && !ts.b_SetNewFont(r, m.newFont)) r.acs_Cells[6] = m.newFont;
      r.acs_Cells[7] = m.size;
      r.acs_Cells[8] = m.weight;
      r.acs_Cells[9] = m.angle;
    }
    ASSERT_TRUE(any) << "no row " << m.format << " / " << m.font;
  }
}

// The independent check of one output against its input and the mappings:
// well formed, equal outside the groups, unmapped groups unchanged, mapped
// groups with the new values and otherwise unchanged.
void CheckOutput(const std::string& input, const std::string& output, bool sjis,
                 const std::function<const st_Mapping*(std::size_t begin, std::string_view group)>& mappingOf,
                 const std::map<std::string, std::string>& baseFamilies, int* mappedCount = nullptr) {
  std::string why;
  ASSERT_TRUE(tstest::WellFormed(output, sjis, &why)) << why;
  ASSERT_EQ(tstest::CompareOutsideGroups(input, output, sjis), "");
  const auto gi = tstest::FontGroups(input, sjis);
  auto go = tstest::FontGroups(output, sjis);
  // Definitions new in the output are not paired with input groups.
  std::set<std::string> inputDefs;
  for (const auto& g : gi) {
    if (g.keyword == "CombinedFontDefn") inputDefs.insert(tstest::Value(input.substr(g.begin, g.end - g.begin), "CombinedFontName"));
  }
  std::vector<tstest::st_Statement> paired;
  for (const auto& g : go) {
    if (g.keyword == "CombinedFontDefn" &&
        !inputDefs.count(tstest::Value(output.substr(g.begin, g.end - g.begin), "CombinedFontName"))) {
      continue;
    }
    paired.push_back(g);
  }
  ASSERT_EQ(paired.size(), gi.size());
  int mapped = 0;
  for (std::size_t k = 0; k < gi.size(); ++k) {
    const std::string_view a = std::string_view(input).substr(gi[k].begin, gi[k].end - gi[k].begin);
    const std::string_view b = std::string_view(output).substr(paired[k].begin, paired[k].end - paired[k].begin);
    ASSERT_EQ(gi[k].keyword, paired[k].keyword);
    const st_Mapping* m = mappingOf(gi[k].begin, a);
    if (!m) {
      EXPECT_EQ(a, b);
      continue;
    }
    ++mapped;
    EXPECT_EQ(tstest::WithoutFontStatements(a, sjis), tstest::WithoutFontStatements(b, sjis)) << a << "\n---\n" << b;
    const std::string bs(b);
    if (!m->newFont.empty()) {
      const auto base = baseFamilies.find(m->newFont);
      if (base != baseFamilies.end()) {
        EXPECT_EQ(tstest::Value(bs, "FFamily"), base->second) << bs;
        EXPECT_EQ(tstest::Value(bs, "FCombinedFontName"), m->newFont) << bs;
      } else {
        EXPECT_EQ(tstest::Value(bs, "FFamily"), m->newFont) << bs;
        EXPECT_EQ(tstest::Value(bs, "FCombinedFontName"), "") << bs;
      }
      EXPECT_EQ(tstest::Value(bs, "FPlatformName"), "") << bs;
    } else {
      EXPECT_EQ(tstest::Value(bs, "FFamily"), tstest::Value(a, "FFamily"));
    }
    EXPECT_EQ(tstest::Value(bs, "FSize"), m->size.empty() ? tstest::Value(a, "FSize") : m->size + " pt");
    EXPECT_EQ(tstest::Value(bs, "FWeight"), m->weight.empty() ? tstest::Value(a, "FWeight") : m->weight);
    EXPECT_EQ(tstest::Value(bs, "FAngle"), m->angle.empty() ? tstest::Value(a, "FAngle") : m->angle);
    // One statement of each kind.
    for (const char* k : {"<FFamily ", "<FSize ", "<FWeight ", "<FAngle ", "<FEncoding ", "<FLanguage "}) {
      std::size_t n = 0;
      for (std::size_t p = bs.find(k); p != std::string::npos; p = bs.find(k, p + 1)) ++n;
      EXPECT_LE(n, 1u) << k << " in " << bs;
    }
  }
  if (mappedCount) *mappedCount = mapped;
}

// The format name of a group as a user sees it in the list.
std::string FormatOf(std::string_view g) {
  std::string v = tstest::Value(g, "PgfTag");
  if (v.empty() && g.find("<PgfTag") == std::string_view::npos) v = tstest::Value(g, "FTag");
  return v.empty() ? "Font Change" : v;
}

void CompareGolden(const std::string& output, const std::string& golden) {
  const std::string text = fmtest::ReadFile(output);
  if (std::getenv("TYPESHIFT_UPDATE_GOLDEN")) tstest::Write(golden, text);
  EXPECT_EQ(text, fmtest::ReadFile(golden)) << golden;
}

struct st_FixtureCase {
  const char* name;
  const char* file;          // fixture below tests/data/typeshift
  std::vector<const char*> fonts;
  bool sjis;
  std::vector<st_Mapping> maps;
  int mappedGroups;          // groups the independent reader sees mapped
  const char* logPart;       // a line the log must hold ("" none)
};

class TypeshiftFixtures : public ::testing::TestWithParam<st_FixtureCase> {};

TEST_P(TypeshiftFixtures, GoldenOutputChangesOnlyFontStatements) {
  const st_FixtureCase& c = GetParam();
  TempDir dir;
  const std::string input = dir.CopyIn(kData + c.file);
  std::vector<std::string> fonts;
  for (const char* f : c.fonts) {
    fs::copy_file(kData + f, dir.Font(fs::path(f).filename().string()));
    fonts.push_back(dir.Font(fs::path(f).filename().string()));
  }
  CQ_Typeshift ts;
  if (fonts.empty()) {
    ASSERT_TRUE(ts.b_LoadTranslatedFiles({input})) << Joined(ts.vec_Log);
    ts.v_BuildRows();
  } else {
    ASSERT_TRUE(ts.b_Load({input}, fonts)) << Joined(ts.vec_Log);
  }
  EXPECT_EQ(ts.i_Errors(), 0) << Joined(ts.vec_Log);
  // The combined fonts of the Japanese font file, for the 4.0 refusal.
  if (std::string(c.name) == "mif40") {
    TempDir other;
    fs::copy_file(kData + "ja55-fonts.mif", other.Font("f.mif"));
    CQ_Typeshift fontsOnly;
    ASSERT_TRUE(fontsOnly.b_LoadFontFiles({other.Font("f.mif")}));
    for (const auto& [name, piece] : fontsOnly.rco_AvailableFonts()) ts.v_AddAvailableFont(name, piece);
  }
  ApplyMappings(ts, c.maps);
  RecordingQuestions q;
  EXPECT_EQ(ts.i_Run(dir.Out(), q), 1) << Joined(ts.vec_Log);
  EXPECT_EQ(q.messages.back(), "Halvex Typeshift for FrameMaker: Finished processing.");
  if (*c.logPart) {
    EXPECT_TRUE(ContainsPart(ts.vec_Log, c.logPart)) << Joined(ts.vec_Log);
  }
  // Temporary copies are gone; the input is untouched.
  EXPECT_EQ(dir.InFiles(), std::vector<std::string>{fs::path(c.file).filename().string()});
  const std::string in = fmtest::ReadFile(input), out = fmtest::ReadFile(dir.Out(fs::path(c.file).filename().string()));
  EXPECT_EQ(in, fmtest::ReadFile(kData + c.file));

  std::map<std::string, std::string> bases;
  for (const auto& [name, piece] : ts.rco_AvailableFonts()) {
    if (piece.i_Kind == CTextPiece::KindCombinedFont) bases[name] = ccs_StringValue(piece.ccs_Text, "<CombinedFontBaseFamily");
  }
  const bool refusedCombined = std::string(c.name) == "mif40";
  auto mappingOf = [&](std::size_t, std::string_view g) -> const st_Mapping* {
    const std::string format = FormatOf(g), family = tstest::Value(g, "FFamily");
    for (const st_Mapping& m : c.maps) {
      if (m.format == format && m.font == family) {
        if (refusedCombined && bases.count(m.newFont)) return nullptr;
        return &m;
      }
    }
    return nullptr;
  };
  // Region by region with the parser's positions in input and output.
  if (std::string(c.name) != "eucjp") {  // the parser reads Shift-JIS, not EUC-JP
    // Every parsed piece (hidden ones too), so both sides are cut alike.
    tstest::Ranges inRanges, outRanges;
    for (const CTextPiece& p : fmtest::Parse(in).pieces) inRanges.push_back({p.n_Value, p.n_Value + p.ccs_Text.size()});
    for (const CTextPiece& p : fmtest::Parse(out).pieces) outRanges.push_back({p.n_Value, p.n_Value + p.ccs_Text.size()});
    EXPECT_EQ(tstest::CompareOutsideRanges(in, inRanges, out, outRanges), "");
  }
  int mapped = 0;
  CheckOutput(in, out, c.sjis, mappingOf, refusedCombined ? std::map<std::string, std::string>{} : bases, &mapped);
  EXPECT_EQ(mapped, c.mappedGroups);
  CompareGolden(dir.Out(fs::path(c.file).filename().string()), kData + "expected/" + c.name + ".mif");
}

const std::string kHonbun = "\x96\x7b\x95\xb6";  // "本文" in Shift-JIS

INSTANTIATE_TEST_SUITE_P(
    Fixtures, TypeshiftFixtures,
    ::testing::Values(
        // Japanese Shift-JIS 5.5 without a combined-font catalog: the catalog is
        // created with the definition; a plain Asian font elsewhere.
        st_FixtureCase{"ja55",
                       "ja55.mif",
                       {"ja55-fonts.mif"},
                       true,
                       {{kHonbun, "Times", "Mincho-Times", "12", "Bold", ""},
                        {"Font Change", "Courier", "MS Gothic", "", "", "Italic"}},
                       3,
                       ""},
        // EUC-JP: read through a Shift-JIS copy, written from the original.
        st_FixtureCase{"eucjp",
                       "euc/eucjp.mif",
                       {},
                       false,
                       // Half-width katakana: two bytes here, one in the copy.
                       {{"\xcb\xdc\xca\xb8", "Times", "Courier", "11", "Bold", ""},
                        {"\x8e\xb6\x8e\xc5", "Times", "Courier", "", "", "Italic"}},
                       3,
                       ""},
        // MIF 4.0 with padded values, a table and a text line; a combined font
        // is refused with a log line and the piece stays as it was.
        st_FixtureCase{"mif40",
                       "w40.mif",
                       {},
                       false,
                       {{"Body", "Times", "Courier", "11", "Bold", ""},
                        {"CellBody", "Helvetica", "Mincho-Times", "", "", ""},
                        {"Font Change", "Courier", "Helvetica", "9", "", "Italic"}},
                       2,
                       "combined fonts need MIF 5.5"},
        st_FixtureCase{"mif50",
                       "w50.mif",
                       {},
                       false,
                       {{"Emphasis", "", "", "", "Bold", ""}, {"CellBody", "Helvetica", "Times", "", "", ""}},
                       3,
                       ""},
        // CR-only line ends kept; positions from the CR LF copy.
        st_FixtureCase{"cr55",
                       "cr55.mif",
                       {},
                       false,
                       {{"Font Change", "Courier", "Helvetica", "9", "", ""}, {"Body", "Times", "Palatino", "", "", "Italic"}},
                       2,
                       ""}),
    [](const ::testing::TestParamInfo<st_FixtureCase>& info) { return std::string(info.param.name); });

// The EUC-JP and CR-only files are read through temporary copies. A copy's
// name is a short temporary name, so a file whose name has the longest
// length a name may have loads too, and a copy a killed run left behind is
// swept when the next run makes its own.
TEST(TypeshiftTemporaryCopies, LongNamesLoadAndCopiesOfKilledRunsAreSwept) {
  for (const char* fixture : {"euc/eucjp.mif", "cr55.mif"}) {
    SCOPED_TRACE(fixture);
    TempDir dir;
    const std::string name = std::string(251, 'n') + ".mif";
    const std::string input = dir.CopyIn(kData + fixture, name);
    // A process id above any the system hands out: that writer is gone.
    const std::string leftover = Platform::CQ_TemporaryFile::scs_TemporaryName(name, 0x3FFFFFF0u, 0, 1);
    ASSERT_TRUE(Platform::CQ_TemporaryFile::sb_IsLeftover(leftover));
    std::ofstream(dir.In(leftover)) << "a copy of an earlier run";
    CQ_Typeshift ts;
    ASSERT_TRUE(ts.b_LoadTranslatedFiles({input})) << Joined(ts.vec_Log);
    EXPECT_EQ(ts.i_Errors(), 0) << Joined(ts.vec_Log);
    ts.v_BuildRows();
    EXPECT_FALSE(ts.vec_Rows.empty());
    EXPECT_EQ(dir.InFiles(), std::vector<std::string>{name});
  }
}

TEST(TypeshiftFixtureDetails, JapaneseCatalogCreatedBeforeParagraphCatalog) {
  const std::string out = fmtest::ReadFile(kData + "expected/ja55.mif");
  const std::size_t cat = out.find("<CombinedFontCatalog \n <CombinedFontDefn \n  <CombinedFontName `Mincho-Times'>");
  ASSERT_NE(cat, std::string::npos);
  EXPECT_LT(cat, out.find("<PgfCatalog"));
  EXPECT_NE(out.find("  <CombinedFontAllowBaseFamilyBoldedAndObliqued Yes>\n > # end of CombinedFontDefn\n> # end of CombinedFontCatalog\n"),
            std::string::npos);
  // Once per file, although two pieces use the font.
  const std::size_t name = out.find("<CombinedFontName `Mincho-Times'>");
  EXPECT_EQ(out.find("<CombinedFontName `Mincho-Times'>", name + 1), std::string::npos);
  EXPECT_EQ(out.find("Gothic-Helvetica"), std::string::npos);
  // CR-only stays CR-only.
  EXPECT_EQ(fmtest::ReadFile(kData + "expected/cr55.mif").find('\n'), std::string::npos);
}

TEST(TypeshiftFixtureDetails, DefinitionAddedToAnExistingCatalog) {
  TempDir dir;
  // The font file itself as translated file: its catalog holds both
  // definitions, so nothing is added; a copy with one definition less gets it.
  std::string text = fmtest::ReadFile(kData + "ja55-fonts.mif");
  const std::size_t b = text.find(" <CombinedFontDefn \n  <CombinedFontName `Mincho-Times'>");
  const std::size_t e = text.find("> # end of CombinedFontDefn\n", b) + 28;
  text.erase(b, e - b);
  tstest::Write(dir.In("t.mif"), text);
  fs::copy_file(kData + "ja55-fonts.mif", dir.Font("f.mif"));
  CQ_Typeshift ts;
  ASSERT_TRUE(ts.b_Load({dir.In("t.mif")}, {dir.Font("f.mif")})) << Joined(ts.vec_Log);
  ApplyMappings(ts, {{kHonbun, "MS Mincho", "Mincho-Times", "", "", ""},
                     {"\x83\x53\x83\x56\x83\x62\x83\x4e", "MS Gothic", "Gothic-Helvetica", "", "", ""}});
  RecordingQuestions q;
  ASSERT_EQ(ts.i_Run(dir.Out(), q), 1);
  const std::string out = fmtest::ReadFile(dir.Out("t.mif"));
  EXPECT_EQ(tstest::CompareOutsideGroups(text, out, true), "");
  const std::size_t gothic = out.find("<CombinedFontName `Gothic-Helvetica'>");
  const std::size_t mincho = out.find("<CombinedFontName `Mincho-Times'>");
  ASSERT_NE(mincho, std::string::npos);
  EXPECT_LT(gothic, mincho);
  EXPECT_EQ(out.find("<CombinedFontName `Gothic-Helvetica'>", gothic + 1), std::string::npos);
  EXPECT_LT(mincho, out.find("> # end of CombinedFontCatalog"));
  EXPECT_EQ(out.find("<CombinedFontCatalog", out.find("<CombinedFontCatalog") + 1), std::string::npos);
}

// --- loading edge cases ---------------------------------------------------------------

TEST(TypeshiftLoading, VersionAndEncodingRules) {
  TempDir dir;
  tstest::Write(dir.In("a6.mif"), "<MIFFile 6.00> # Generated by FrameMaker 6.0\n<Units Uin>\n# End of MIFFile\n");
  const std::string w50 = dir.CopyIn(kData + "w50.mif");
  const std::string cr55 = dir.CopyIn(kData + "cr55.mif");
  {
    CQ_Typeshift ts;
    EXPECT_TRUE(ts.b_LoadTranslatedFiles({dir.In("a6.mif"), w50}));
    EXPECT_TRUE(Contains(ts.vec_Log, "Conversion Error 100. Incorrect MIF version (not 4.0, 5.0 or 5.5)."));
    ASSERT_EQ(ts.rco_TranslatedLists().size(), 1u);
    EXPECT_EQ(ts.rco_TranslatedLists()[0].ccs_FileName(), w50);
    EXPECT_EQ(ts.i_Errors(), 1);
  }
  {
    CQ_Typeshift ts;
    EXPECT_TRUE(ts.b_LoadTranslatedFiles({cr55, w50}));
    EXPECT_TRUE(Contains(ts.vec_Log, "The MIF file version is not the same as the first file you selected."));
    EXPECT_EQ(ts.rco_TranslatedLists().size(), 1u);
  }
  {
    std::string tw = "<MIFFile 5.50>\n<MIFEncoding `\xC4\xE3\xC5\xC6'>\n# End of MIFFile\n";
    tstest::Write(dir.In("tw.mif"), tw);
    CQ_Typeshift ts;
    EXPECT_FALSE(ts.b_LoadTranslatedFiles({dir.In("tw.mif")}));
    const std::vector<std::string> expected = {
        "Conversion Error 150. EUC-TW encoding is not supported by this version of Halvex",
        "Typeshift. Use the UNIX command \"iconv\" (or some other text conversion program)",
        "to convert the MIF file to BIG-5 encoding before running Halvex Typeshift."};
    EXPECT_EQ(std::vector<std::string>(ts.vec_Log.end() - 3, ts.vec_Log.end()), expected);
  }
  {
    // A Shift-JIS file after an EUC-JP one: different encodings.
    const std::string euc = dir.CopyIn(kData + "euc/eucjp.mif");
    const std::string sjis = dir.CopyIn(kData + "ja55.mif");
    CQ_Typeshift ts;
    EXPECT_TRUE(ts.b_LoadTranslatedFiles({euc, sjis}));
    EXPECT_TRUE(Contains(ts.vec_Log, "The character encoding for this file is different than the first file with Asian character encoding."));
  }
}

TEST(TypeshiftLoading, BannersDiskSpaceAndStop) {
  TempDir dir;
  const std::string a = dir.CopyIn(kData + "w50.mif", "a.mif");
  const std::string b = dir.CopyIn(kData + "w50.mif", "b.mif");
  {
    // Each file counts its whole megabytes plus 1; the free space must reach
    // twice the running total: 3 MB hold the first file, not the second.
    CQ_Typeshift ts;
    ts.fn_FreeMegabytes = [] { return 3LL; };
    EXPECT_TRUE(ts.b_LoadTranslatedFiles({a, b}));
    EXPECT_EQ(ts.rco_TranslatedLists().size(), 1u);
    EXPECT_EQ(ts.vec_Log.back(), "*************** PROCESS CANCELLED ***************");
  }
  {
    CQ_Typeshift ts;
    ts.fn_FreeMegabytes = [] { return 1LL; };
    EXPECT_FALSE(ts.b_LoadTranslatedFiles({a, b}));
    EXPECT_TRUE(Contains(ts.vec_Log, "Conversion Error 110. There is not enough disk space available."));
    EXPECT_EQ(ts.vec_Log.back(), "*************** PROCESS CANCELLED ***************");
    EXPECT_FALSE(ContainsPart(ts.vec_Log, "b.mif"));
  }
  {
    CQ_Typeshift ts;
    int pumped = 0;
    ts.fn_Pump = [&] { ++pumped; };
    ts.fn_Stopped = [&] { return pumped >= 1; };
    EXPECT_TRUE(ts.b_LoadTranslatedFiles({a, b}));
    EXPECT_EQ(ts.vec_Log.back(), "*************** PROCESS STOPPED ***************");
    EXPECT_EQ(ts.rco_TranslatedLists().size(), 1u);
  }
  {
    CQ_Typeshift ts;
    EXPECT_FALSE(ts.b_Load({dir.In("none.mif")}, {a}));
    const std::vector<std::string> tail = {"-------------------- Finished Loading Translated Files --------------------",
                                           "No valid translated files were found.", "Processing can not continue.",
                                           "You will not be able to map any fonts."};
    EXPECT_EQ(std::vector<std::string>(ts.vec_Log.end() - 4, ts.vec_Log.end()), tail);
  }
  {
    CQ_Typeshift ts;
    tstest::Write(dir.Font("bad.txt"), "not a map\r\n");
    EXPECT_FALSE(ts.b_Load({a}, {dir.Font("bad.txt")}));
    EXPECT_TRUE(Contains(ts.vec_Log, "This is not a valid font map file."));
    EXPECT_TRUE(Contains(ts.vec_Log, "No valid font files were found."));
    EXPECT_EQ(ts.vec_Log.front(), "------------------------- Loading Translated Files ------------------------");
    EXPECT_TRUE(Contains(ts.vec_Log, "---------------------------- Loading Font Files ---------------------------"));
  }
}

TEST(TypeshiftLoading, TemporaryCopiesRemovedAfterFailure) {
  TempDir dir;
  // CR-only file cut in the middle of a statement: the copy is made, the
  // file fails, the copy is gone.
  std::string cr = fmtest::ReadFile(kData + "cr55.mif");
  cr.resize(cr.size() / 2);
  tstest::Write(dir.In("cut.mif"), cr);
  // EUC-JP file with a byte sequence that is no EUC-JP character.
  std::string euc = fmtest::ReadFile(kData + "euc/eucjp.mif");
  euc.insert(euc.find("<Units"), "<String `\xA9\xA1\xFF'>\n");
  tstest::Write(dir.In("bad.mif"), euc);
  CQ_Typeshift ts;
  EXPECT_FALSE(ts.b_LoadTranslatedFiles({dir.In("cut.mif")}));
  EXPECT_EQ(dir.InFiles(), (std::vector<std::string>{"bad.mif", "cut.mif"}));
  CQ_Typeshift ts2;
  EXPECT_FALSE(ts2.b_LoadTranslatedFiles({dir.In("bad.mif")}));
  EXPECT_TRUE(Contains(ts2.vec_Log, "File Error 3010. A file error occurred when converting from EUC to Shift-JIS."))
      << Joined(ts2.vec_Log);
  EXPECT_EQ(dir.InFiles(), (std::vector<std::string>{"bad.mif", "cut.mif"}));
}

TEST(TypeshiftLoading, DuplicatePiecesAndHiddenObjects) {
  TempDir dir;
  const std::string ja = dir.CopyIn(kData + "ja55.mif");
  CQ_Typeshift ts;
  ASSERT_TRUE(ts.b_LoadTranslatedFiles({ja}));
  ts.v_BuildRows();
  // The flow on text rectangle 99 is on no page: its Palatino change is no row.
  for (const st_Row& r : ts.vec_Rows) EXPECT_NE(r.acs_Cells[2], "Palatino");
  // Rows: one per distinct text; the two equal "<Font <FTag `'> <FLocked No>>"
  // pieces share one; origin 1 never shows.
  std::set<std::string> texts;
  for (const st_Row& r : ts.vec_Rows) EXPECT_TRUE(texts.insert(r.co_Piece.ccs_Text).second);
  EXPECT_EQ(ts.vec_Rows.size(), 8u);
}

// --- the run ---------------------------------------------------------------------

TEST(TypeshiftRun, OverwriteAnswersAndSameName) {
  TempDir dir;
  const std::string a = dir.CopyIn(kData + "w50.mif", "a.mif");
  const std::string b = dir.CopyIn(kData + "w50.mif", "b.mif");
  const std::string c = dir.CopyIn(kData + "w50.mif", "c.mif");
  CQ_Typeshift ts;
  ASSERT_TRUE(ts.b_LoadTranslatedFiles({a, b, c}));
  ts.v_BuildRows();
  ApplyMappings(ts, {{"Body", "Times", "Courier", "", "", ""}});
  for (const char* n : {"a.mif", "b.mif", "c.mif"}) tstest::Write(dir.Out(n), "old");
  {
    RecordingQuestions q;
    q.answers = {et_Overwrite::No, et_Overwrite::NoToAll};
    EXPECT_EQ(ts.i_Run(dir.Out(), q), 0);
    EXPECT_EQ(q.asked.size(), 2u);
    for (const char* n : {"a.mif", "b.mif", "c.mif"}) EXPECT_EQ(fmtest::ReadFile(dir.Out(n)), "old");
  }
  {
    RecordingQuestions q;
    q.answers = {et_Overwrite::Yes, et_Overwrite::YesToAll};
    EXPECT_EQ(ts.i_Run(dir.Out(), q), 3);
    EXPECT_EQ(q.asked.size(), 2u);
    EXPECT_TRUE(Contains(ts.vec_Log, "3 files created.\n"));
    EXPECT_NE(fmtest::ReadFile(dir.Out("c.mif")).find("<FFamily `Courier'>"), std::string::npos);
  }
  {
    // The input folder as output folder: nothing is written over an input.
    const std::string before = fmtest::ReadFile(a);
    RecordingQuestions q;
    EXPECT_EQ(ts.i_Run((dir.path / "in").string(), q), 0);
    EXPECT_TRUE(Contains(ts.vec_Log, "Same filename (" + a + ") specified for both Input and Output!\n"));
    EXPECT_EQ(fmtest::ReadFile(a), before);
    EXPECT_TRUE(q.asked.empty());
  }
}

TEST(TypeshiftRun, FileOutsideTheRootAndUnknownFlag) {
  TempDir dir;
  const std::string a = dir.CopyIn(kData + "w50.mif", "a.mif");
  fs::copy_file(kData + "w50.mif", dir.Font("elsewhere.mif"));
  CQ_Typeshift ts;
  ASSERT_TRUE(ts.b_LoadTranslatedFiles({a, dir.Font("elsewhere.mif")}));
  ts.v_BuildRows();
  ApplyMappings(ts, {{"Body", "Times", "Courier", "", "", ""}, {"CellBody", "Helvetica", "Courier", "", "", ""}});
  for (st_Row& r : ts.vec_Rows) {
    if (r.acs_Cells[1] == "CellBody") r.i_Flag = 2;
  }
  RecordingQuestions q;
  EXPECT_EQ(ts.i_Run(dir.Out(), q), 1);
  ASSERT_EQ(q.messages.size(), 2u);
  EXPECT_EQ(q.messages[0], "Halvex Typeshift for FrameMaker: The file " + dir.Font("elsewhere.mif") + " is not in the path " +
                               (dir.path / "in").string() + "/.\n\nIt will not be translated!");
  EXPECT_TRUE(ContainsPart(ts.vec_Log, "is left unchanged (mapping flag 2)"));
  const std::string out = fmtest::ReadFile(dir.Out("a.mif"));
  // The cell format's Pgf in the catalog kept its statement whole.
  EXPECT_NE(out.find("  <PgfTag `CellBody'>\n  <PgfFont \n   <FTag `'>\n   <FFamily `Helvetica'>"), std::string::npos);
  EXPECT_EQ(tstest::CompareOutsideGroups(fmtest::ReadFile(a), out, false), "");
}

// --- the command line -------------------------------------------------------------

int RunCli(std::vector<std::string> args, std::string& out, std::string& err) {
  args.insert(args.begin(), "typeshift-cli");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  std::ostringstream o, e;
  const int rc = i_RunTypeshift(static_cast<int>(argv.size()), argv.data(), o, e);
  out = o.str();
  err = e.str();
  return rc;
}

TEST(TypeshiftCommandLine, ListAndApply) {
  TempDir dir;
  const std::string w40 = dir.CopyIn(kData + "w40.mif");
  const std::string ja = dir.CopyIn(kData + "ja55.mif");
  std::string out, err;
  EXPECT_EQ(RunCli({"list", w40}, out, err), 0) << err;
  EXPECT_EQ(out,
            "PC\tBody\tTimes\t12.0\tRegular\tRegular\n"
            "PC\tCellBody\tHelvetica\t9.0\tRegular\tRegular\n"
            "CC\tEmphasis\t\t\tRegular\tItalic\n"
            "C\tFont Change\t\t\tBold\tRegular\n"
            "C\tFont Change\tCourier\t8.0\tRegular\tRegular\n"
            "C\tEmphasis\t\t\tRegular\tRegular\n"
            "C\tFont Change\t\t\tRegular\tRegular\n");
  EXPECT_EQ(RunCli({"list", ja}, out, err), 0) << err;
  EXPECT_NE(out.find("PC\t\xE6\x9C\xAC\xE6\x96\x87\tTimes\t10.0\tRegular\tRegular\n"), std::string::npos) << out;

  // A map built once (here through the library, as the wizard saves it)
  // applied from the command line.
  {
    CQ_Typeshift ts;
    fs::copy_file(kData + "ja55-fonts.mif", dir.Font("f.mif"));
    ASSERT_TRUE(ts.b_Load({ja}, {dir.Font("f.mif")}));
    ApplyMappings(ts, {{kHonbun, "Times", "Mincho-Times", "12", "Bold", ""}});
    std::string error;
    ASSERT_TRUE(ts.b_SaveFontMap(dir.Font("map.txt"), error)) << error;
  }
  EXPECT_EQ(RunCli({"apply", "--font-map", dir.Font("map.txt"), "--output-dir", dir.Out(), ja}, out, err), 0) << err;
  EXPECT_EQ(fmtest::ReadFile(dir.Out("ja55.mif")), fmtest::ReadFile(kData + "expected/ja55-map.mif"));
  if (std::getenv("TYPESHIFT_UPDATE_GOLDEN")) tstest::Write(kData + "expected/ja55-map.mif", fmtest::ReadFile(dir.Out("ja55.mif")));

  EXPECT_EQ(RunCli({"apply", "--font-map", dir.Font("map.txt"), "--output-dir", (dir.path / "in").string(), ja}, out, err), 1);
  EXPECT_NE(err.find("Output files can't be created in the same directory"), std::string::npos);
  tstest::Write(dir.Font("bad.txt"), "x\r\n");
  EXPECT_EQ(RunCli({"apply", "--font-map", dir.Font("bad.txt"), "--output-dir", dir.Out(), ja}, out, err), 1);
  EXPECT_NE(err.find("This is not a valid font map file."), std::string::npos);
  EXPECT_EQ(RunCli({"apply", "--output-dir", dir.Out(), ja}, out, err), 2);
  EXPECT_EQ(RunCli({"frobnicate", ja}, out, err), 2);
  EXPECT_EQ(RunCli({"list", "--bogus", ja}, out, err), 2);
}

// A font map written by hand from "list --raw" matches rows by the MIF bytes
// of their names, so it reaches a row whose format name is Shift-JIS; the
// display listing's UTF-8 names are no MIF bytes and match nothing.
TEST(TypeshiftCommandLine, MapWrittenFromRawListingAppliesToNonAsciiNames) {
  TempDir dir;
  const std::string ja = dir.CopyIn(kData + "ja55.mif");
  fs::copy_file(kData + "ja55-fonts.mif", dir.Font("f.mif"));
  std::string raw, shown, err;
  ASSERT_EQ(RunCli({"list", "--raw", ja}, raw, err), 0) << err;
  ASSERT_EQ(RunCli({"list", ja}, shown, err), 0) << err;
  EXPECT_NE(raw, shown);
  EXPECT_NE(raw.find("PC\t" + kHonbun + "\tTimes\t10.0\tRegular\tRegular\n"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("\xE6\x9C\xAC"), std::string::npos);

  // Rows of the listing whose format is the given one, as font map records
  // giving them the combined font Mincho-Times and bold.
  const auto mapFrom = [](const std::string& listing, const std::string& format) {
    std::string map = "Halvex Typeshift for FrameMaker 1.00;\r\n";
    int rows = 0;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> cells;
      std::size_t p = 0;
      for (std::size_t t; (t = line.find('\t', p)) != std::string::npos; p = t + 1) cells.push_back(line.substr(p, t - p));
      cells.push_back(line.substr(p));
      if (cells.size() != 6 || cells[1] != format) continue;
      for (const std::string& c : cells) map += c + ";";
      map += "Mincho-Times;;Bold;;\r\n";
      ++rows;
    }
    return std::make_pair(map, rows);
  };
  const auto [rawMap, rawRows] = mapFrom(raw, kHonbun);
  EXPECT_EQ(rawRows, 2);
  tstest::Write(dir.Font("raw.txt"), rawMap);
  ASSERT_EQ(RunCli({"apply", "--font-map", dir.Font("raw.txt"), "--fonts", dir.Font("f.mif"), "--output-dir", dir.Out(), ja},
                   shown, err), 0) << err;
  const std::string out = fmtest::ReadFile(dir.Out("ja55.mif"));
  std::size_t mapped = 0;
  for (std::size_t p = 0; (p = out.find("<FCombinedFontName `Mincho-Times'>", p)) != std::string::npos; ++p) ++mapped;
  EXPECT_GE(mapped, 2u);
  EXPECT_NE(out.find("<CombinedFontDefn"), std::string::npos);
  EXPECT_EQ(tstest::CompareOutsideGroups(fmtest::ReadFile(ja), out, true), "");

  // The same records with the displayed (UTF-8) name change nothing.
  std::string display;
  ASSERT_EQ(RunCli({"list", ja}, display, err), 0);
  const auto [shownMap, shownRows] = mapFrom(display, "\xE6\x9C\xAC\xE6\x96\x87");
  EXPECT_EQ(shownRows, 2);
  tstest::Write(dir.Font("shown.txt"), shownMap);
  fs::remove(dir.Out("ja55.mif"));
  RunCli({"apply", "--font-map", dir.Font("shown.txt"), "--fonts", dir.Font("f.mif"), "--output-dir", dir.Out(), ja}, shown,
         err);
  EXPECT_EQ(fmtest::ReadFile(dir.Out("ja55.mif")).find("Mincho-Times'>"), std::string::npos);
  EXPECT_EQ(RunCli({"apply", "--raw", "--font-map", dir.Font("raw.txt"), "--output-dir", dir.Out(), ja}, shown, err), 2);
}

// --- the corpus --------------------------------------------------------------------

std::vector<std::string> SupportedCorpusFiles() {
  std::vector<std::string> files;
  const fs::path dir(MORVANE_CORPUS_DIR);
  if (!fs::is_directory(dir)) return files;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".mif") continue;
    const std::string head = fmtest::ReadFile(e.path().string()).substr(0, 20);
    for (const char* v : {"<MIFFile 4.0", "<MIFFile 5.0", "<MIFFile 5.5"}) {
      if (head.rfind(v, 0) == 0) files.push_back(e.path().filename().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The KWX lines of a forward conversion, as text.
std::string ForwardConvert(const std::string& mif, const std::string& orgDir) {
  fs::create_directories(orgDir);
  std::vector<std::string> args = {"convert-mif", "--org-dir", orgDir, "--format", "txt", "--no-ancillary", mif};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  std::ostringstream o, e;
  const int rc = i_RunMorvane(static_cast<int>(argv.size()), argv.data(), o, e);
  EXPECT_NE(rc, 2) << e.str();
  if (std::getenv("TYPESHIFT_DUMP")) std::cerr << o.str() << e.str();
  // The source path names the folder, which differs by design.
  std::string kwx = fmtest::ReadFile((fs::path(orgDir) / fs::path(mif).filename().replace_extension(".txt")).string());
  const std::size_t p = kwx.find("<sourcepath ");
  if (p != std::string::npos) kwx.erase(p, kwx.find('\n', p) + 1 - p);
  if (!kwx.empty()) {
    // Fonts aside: font-change tags, and the numbers of paragraph format
    // variants (formats that differed only in their fonts become one).
    kwx = std::regex_replace(kwx, std::regex("<:fc [0-9]+>|<:/fc>"), "");
    return std::regex_replace(kwx, std::regex("(<ps \"[^\"]*\") [0-9]+>"), "$1>");
  }
  // A document the converter refuses: its error lines, which must agree.
  std::string refused = "refused:\n";
  std::istringstream lines(o.str());
  for (std::string l; std::getline(lines, l);) {
    if (l.find("Error") != std::string::npos) refused += l + "\n";
  }
  return refused;
}

class TypeshiftCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(TypeshiftCorpus, EveryRowToCourierElevenBold) {
  TempDir dir;
  const std::string input = dir.CopyIn(std::string(MORVANE_CORPUS_DIR) + "/" + GetParam());
  CQ_Typeshift ts;
  ASSERT_TRUE(ts.b_LoadTranslatedFiles({input})) << Joined(ts.vec_Log);
  EXPECT_EQ(ts.i_Errors(), 0) << Joined(ts.vec_Log);
  ts.v_BuildRows();
  ASSERT_FALSE(ts.vec_Rows.empty());
  for (st_Row& r : ts.vec_Rows) {
    EXPECT_EQ(r.acs_Cells[0].empty(), false);
    r.acs_Cells[6] = "Courier";
    r.acs_Cells[7] = "11";
    r.acs_Cells[8] = "Bold";
  }
  RecordingQuestions q;
  ASSERT_EQ(ts.i_Run(dir.Out(), q), 1) << Joined(ts.vec_Log);
  EXPECT_EQ(dir.InFiles(), std::vector<std::string>{GetParam()});
  const std::string in = fmtest::ReadFile(input), out = fmtest::ReadFile(dir.Out(GetParam()));
  // Every listed piece, found by its byte position, must be mapped.
  std::set<std::size_t> listed;
  for (const CTextPiece& p : ts.rco_TranslatedLists()[0].rco_Pieces()) {
    if (p.i_Origin != 1) listed.insert(p.n_Value);
  }
  tstest::Ranges inRanges, outRanges;
  for (const CTextPiece& p : fmtest::Parse(in).pieces) inRanges.push_back({p.n_Value, p.n_Value + p.ccs_Text.size()});
  for (const CTextPiece& p : fmtest::Parse(out).pieces) outRanges.push_back({p.n_Value, p.n_Value + p.ccs_Text.size()});
  EXPECT_EQ(inRanges.size(), outRanges.size());
  EXPECT_EQ(tstest::CompareOutsideRanges(in, inRanges, out, outRanges), "");
  const st_Mapping courier{"", "", "Courier", "11", "Bold", ""};
  int mapped = 0;
  CheckOutput(in, out, false,
              [&](std::size_t begin, std::string_view) { return listed.count(begin) ? &courier : nullptr; }, {}, &mapped);
  EXPECT_EQ(static_cast<std::size_t>(mapped), listed.size());

  // Forward conversion of the mapped file gives the same KWX text.
  const std::string before = ForwardConvert(input, (dir.path / "kwx_in").string());
  const std::string after = ForwardConvert(dir.Out(GetParam()), (dir.path / "kwx_out").string());
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before, after);
}

INSTANTIATE_TEST_SUITE_P(Corpus, TypeshiftCorpus, ::testing::ValuesIn(SupportedCorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return fmtest::TestName(info.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TypeshiftCorpus);

}  // namespace
