// The rules of sections 1 to 12, one table row per case: a KWX text in,
// the message numbers the verifier finds out. Every numbered rule has a
// row that triggers it and a near miss that must not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "verifier/rules/RulesTestSupport.h"

using namespace RulesTest;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// --- rules that source and target share --------------------------------------------

struct Row {
  std::string name;
  Wrap wrap;
  std::string text;
  std::vector<int> expected;
};

std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }

std::vector<Row> SharedRows() {
  const std::string marker = "<ps \"Body\" 1>x<:mk \"Comment\" 1>\n<mk \"Comment\" 1>";
  const std::string index = "<ps \"Body\" 1>x<:imk 1>\n<imk 1>";
  return {
      // external brackets
      {"101 lone greater-than in text", ON_PAGE, "<ps \"Body\" 1>a > b", {101}},
      {"102 closing before opening", ON_PAGE, "<ps \"Body\" 1>a>b<:lt", {102}},
      {"103 three internal tags deep", ON_PAGE, "<ps \"Body\" 1>x<:<:<:t>>>", {103}},
      {"104 external tag inside a tag", ON_PAGE, "<ps \"Bo<tr 5>dy\" 1>x", {104}},
      {"near 101-104: escapes and a name with an escape", ON_PAGE,
       "<ps \"Body\" 1>a <:gt> b<:cs \"x<:lt>y\" 2>z<:/cs>", {}},
      // validity of source tags
      {"201 added tag in the source", ON_PAGE, "<#ps \"Body\" 1>x", {201}},
      {"203 unknown external tag", ON_PAGE, "<ps \"Body\" 1>x\n<zz 1>", {203}},
      {"205 unknown internal tag", ON_PAGE, "<ps \"Body\" 1>a<:zz>b", {205}},
      {"near 203/205: known tags", ON_PAGE, "<ps \"Body\" 1>a<:ems>b<:r35>", {}},
      {"near 205: element prefixes, suffixes and ends are known", ON_PAGE,
       "<ps \"B\" 1><:el \"P\" 1><:ep \"Note: \">x<:es \".\">y<:/el \"P\"><:elf \"Q\" 2>z<:/elf \"Q\">", {}},
      // positioning of external tags
      {"301 text after </kwx>", NO_END, "<page \"1\">\n</page>\n</kwx>trailing", {301}},
      {"near 301: blanks after </kwx>", NO_END, "<page \"1\">\n</page>\n</kwx>   ", {}},
      {"302 text after a text box tag", BODY, "<page \"1\">\n<tr 1>oops\n<ps \"Body\" 1>x\n</tr>\n</page>", {302}},
      {"302 internal tag after </ct>", ON_PAGE,
       "<ps \"B\" 1>x\n<tb 1>\n<tbb>\n<row 1>\n<ct 1>\n<ps \"C\" 2>a\n</ct><:t>\n</row>\n</tbb>\n</tb>", {302}},
      {"near 302: text after </tb> and </af>", ON_PAGE,
       "<ps \"B\" 1>x\n<tb 1>\n<tbb>\n<row 1>\n<ct 1>\n<ps \"C\" 2>a\n</ct>\n</row>\n</tbb>\n</tb>more\n"
       "<af 7>\n<tr 8>\n<ps \"C\" 2>in frame\n</tr>\n</af>after",
       {}},
      {"302 text after a heading block", ANCILLARY, "<bb \"Master Pages\">text", {302}},
      {"near 302: footnote block text with a tab", ANCILLARY,
       "<bb \"Footnote Prefix/Suffix Formats\">\n<bb \"Footnote Anchor Prefix\">[<:t>\n<bb \"Footnote Anchor Suffix\">]",
       {}},
      {"303 marker text one too long", ON_PAGE, marker + std::string(256, 'a') + "\n</mk>", {303}},
      {"near 303: marker text at the limit", ON_PAGE, marker + std::string(255, 'a') + "\n</mk>", {}},
      {"303 escaped bytes count in their MIF form", ON_PAGE, marker + Repeat("\xE9", 52) + "\n</mk>", {303}},
      {"near 303: escaped bytes at the limit", ON_PAGE, marker + Repeat("\xE9", 51) + "\n</mk>", {}},
      {"303 <:b> and <:/b> count in their MIF form", ON_PAGE, marker + std::string(223, 'a') + "<:b><:/b>\n</mk>", {303}},
      {"near 303: <:b> and <:/b> at the limit", ON_PAGE, marker + std::string(222, 'a') + "<:b><:/b>\n</mk>", {}},
      {"304 index text over its segments", ON_PAGE,
       index + std::string(200, 'a') + "\n<ie>" + std::string(55, 'b') + "\n</imk>", {304}},
      {"near 304: index text at the limit", ON_PAGE,
       index + std::string(200, 'a') + "\n<ie>" + std::string(54, 'b') + "\n</imk>", {}},
      {"304 colons in index text take a backslash", ON_PAGE, index + std::string(128, ':') + "\n</imk>", {304}},
      {"305 text after an element end", ON_PAGE, "<el \"Sec\" 1>\n<ps \"B\" 1>x\n</el \"Sec\">tail", {305}},
      {"near 305: element tags after an element end", ON_PAGE,
       "<el \"Sec\" 1>\n<ps \"B\" 1><:el \"Par\" 2>x\n</el \"Sec\"><:/el \"Par\">", {}},
      // structure of external tags
      {"401 closing tag never opened", ON_PAGE, "<ps \"B\" 1>x\n</ct>", {401}},
      {"402 text box left open", BODY, "<page \"1\">\n<tr 1>\n<ps \"B\" 1>x\n</page>", {402}},
      {"403 two frames left open", BODY, "<page \"1\">\n<ufo>\n<ufo>\n</page>", {403}},
      {"404 element end never begun", ON_PAGE, "<ps \"B\" 1>x\n</el \"Sec\">", {404}},
      {"405 element-with-font end never begun", ON_PAGE, "<ps \"B\" 1>x\n</elf \"Sec\">", {405}},
      {"406 element never ended", ON_PAGE, "<el \"Sec\" 1>\n<ps \"B\" 1>x", {406}},
      {"407 element-with-font never ended", ON_PAGE, "<elf \"Sec\" 1>\n<ps \"B\" 1>x", {407}},
      {"near 404-407: elements matched by name", ON_PAGE,
       "<el \"A\" 1>\n<elf \"B\" 2>\n<ps \"B\" 1>x\n</el \"A\">\n<ps \"B\" 1>y\n</elf \"B\">", {}},
      {"408 bare index marker without an entry", ON_PAGE, "<ps \"B\" 1>x<:imk 1>\n<imk>\n</imk>", {408}},
      {"near 408: bare index marker with its entry", ON_PAGE, "<ps \"B\" 1>x<:imk 1>\n<imk>\n<ie>entry\n</imk>", {}},
      {"near 408: empty numbered index marker", ON_PAGE, "<ps \"B\" 1>x<:imk 1>\n<imk 1>\n</imk>", {}},
      {"409 </kwx> missing", NO_END, "<page \"1\">\n</page>", {409}},
      {"410 tag after </kwx>", NO_END, "<page \"1\">\n</page>\n</kwx>\n<page \"2\">\n</page>", {410}},
      {"411 paragraph directly on a page", BODY, "<page \"1\">\n<ps \"B\" 1>x\n</page>", {411}},
      {"411 frame in a text box", ON_PAGE, "<ufo>\n</ufo>", {411}},
      {"near 411: frames in frames", BODY,
       "<page \"1\">\n<ufo>\n<ufo>\n</ufo>\n<tr 2>\n<ps \"B\" 1>x\n<af 3>\n<ufo>\n</ufo>\n<tr 4>\n<ps \"B\" 1>y\n</tr>\n"
       "</af>\n</tr>\n</ufo>\n</page>",
       {}},
      {"411 autonumber in a document's page", BODY, "<page \"1\">\n<pn \"1.\" 1>\n</page>", {411}},
      {"near 411: autonumber and master page in an ancillary section", ANCILLARY,
       "<pn \"1.\" 1>\n<bb \"Master Pages\">\n<page \"Right\">\n<tr 1>\n<ps \"B\" 1>x\n</tr>\n</page>", {}},
      {"413 text box opened twice with one identifier", BODY,
       "<page \"1\">\n<tr 1>\n<ps \"B\" 1>x\n</tr>\n<tr 1>\n<ps \"B\" 1>y\n</tr>\n</page>", {413}},
      {"413 text string, footnote and table twice, each on its own page", BODY,
       "<page \"1\">\n<ts 2>a\n</ts>\n<tr 1>\n<ps \"B\" 1>x<:fn 5>\n<fn 5>\n<ps \"F\" 2>n\n</fn>\n"
       "<tb 3>\n<tbb>\n</tbb>\n</tb>\n</tr>\n</page>\n<page \"2\">\n<ts 2>b\n</ts>\n</page>\n<page \"3\">\n"
       "<tr 4>\n<ps \"B\" 1>y\n<fn 5>\n<ps \"F\" 2>m\n</fn>\n</tr>\n</page>\n<page \"4\">\n<tr 6>\n"
       "<ps \"B\" 1>z\n<tb 3>\n<tbb>\n</tbb>\n</tb>\n</tr>\n</page>",
       {413, 413, 413}},
      {"near 413: every identifier once per kind", BODY,
       "<page \"1\">\n<ts 1>a\n</ts>\n<tr 1>\n<ps \"B\" 1>x<:fn 1>\n<fn 1>\n<ps \"F\" 2>n\n</fn>\n<tb 1>\n<tbb>\n"
       "</tbb>\n</tb>\n</tr>\n</page>",
       {}},
      {"near 413: each section of an ancillary file numbers its own text boxes", ANCILLARY,
       "<bb \"Master Pages\">\n<page \"Right\">\n<tr 1>\n<ps \"B\" 1>x\n</tr>\n</page>\n"
       "</file \"C:\\Docs\\test.mif\">\n<file \"C:\\Docs\\other.mif\">\n<bb \"Master Pages\">\n"
       "<page \"Right\">\n<tr 1>\n<ps \"B\" 1>y\n</tr>\n</page>",
       {}},
      {"411 one structural error per page", BODY,
       "<page \"1\">\n<ps \"A\" 1>x\n<ps \"B\" 2>y\n</page>\n<page \"2\">\n<ps \"C\" 3>z\n</page>", {411, 411}},
      // positioning of internal tags
      {"509 and 510: <:b> closed in the next paragraph", ON_PAGE,
       "<ps \"Body\" 1>Text<:b>bold\n<ps \"Body\" 1><:/b>more", {509, 510}},
      {"503 character format left open", ON_PAGE, "<ps \"B\" 1>a<:cs \"E\" 1>b", {503}},
      {"504 character format closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/cs>b", {504}},
      {"507 font change left open", ON_PAGE, "<ps \"B\" 1>a<:fc 1>b", {507}},
      {"508 font change closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/fc>b", {508}},
      {"511 italics left open", ON_PAGE, "<ps \"B\" 1>a<:i>b", {511}},
      {"512 italics closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/i>b", {512}},
      {"513 bold italics left open", ON_PAGE, "<ps \"B\" 1>a<:bi>b", {513}},
      {"514 bold italics closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/bi>b", {514}},
      {"515 character set left open", ON_PAGE, "<ps \"B\" 1>a<:c2>b", {515}},
      {"516 character set closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/c1>b", {516}},
      {"517 small caps left open", ON_PAGE, "<ps \"B\" 1>a<:s>b", {517}},
      {"518 small caps closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/s>b", {518}},
      {"near 503-518: every pair closed", ON_PAGE,
       "<ps \"B\" 1><:cs \"E\" 1>a<:/cs><:fc 2>b<:/fc><:b>c<:/b><:i>d<:/i><:bi>e<:/bi><:c1>f<:/c2><:s>g<:/s>", {}},
      {"501 condition opened twice", ON_PAGE, "<ps \"B\" 1><:cns \"x\" 1>a<:cns \"y\" 2>b<:/cns>", {501}},
      {"501 condition open at the end of the file", ON_PAGE, "<ps \"B\" 1><:cns \"x\" 1>a", {501}},
      {"502 condition closed, not opened", ON_PAGE, "<ps \"B\" 1>a<:/cns>", {502}},
      {"near 501/502: condition over two paragraphs", ON_PAGE,
       "<ps \"B\" 1><:cns \"x\" 1>a\n<ps \"B\" 1>b<:/cns>", {}},
      {"519 element end never begun", ON_PAGE, "<ps \"B\" 1>a<:/el \"P\">", {519}},
      {"520 element-with-font end never begun", ON_PAGE, "<ps \"B\" 1>a<:/elf \"P\">", {520}},
      {"521 element never ended", ON_PAGE, "<ps \"B\" 1><:el \"P\" 1>a", {521}},
      {"522 element-with-font never ended", ON_PAGE, "<ps \"B\" 1><:elf \"P\" 1>a", {522}},
      {"near 519-522: elements over two paragraphs", ON_PAGE,
       "<ps \"B\" 1><:el \"P\" 1>a<:elf \"Q\" 2>\n<ps \"B\" 1>b<:/elf \"Q\"><:/el \"P\">", {}},
      {"504 named character format closed in a paragraph", ON_PAGE, "<ps \"B\" 1>a<:/cs>", {504}},
      {"near 503/504: named formats switch in format texts", ANCILLARY,
       "<bb \"Cross-Reference Formats\">\n<bb \"Cross-Reference\">\n"
       "<xrfmt \"See\">see <:cs \"Emphasis\"><:bb \"$paratext\"><:/cs> on <:bb \"$pagenum\">\n"
       "<xrfmt \"Proto\"><:cs \"Protocol\">text\n<bb \"Variable Formats\">\n<bb \"Variable\">\n<vfmt \"V\">a<:/cs>b",
       {}},
      {"near 503/504: named formats switch in markers", ON_PAGE,
       "<ps \"B\" 1>x<:mk \"Comment\" 1><:imk 2>\n<mk \"Comment\" 1>a<:cs \"E\">b\n</mk>\n<imk 2>c<:/cs>d\n</imk>", {}},
      // structure of internal tags
      {"601 cross-reference in a text string", BODY, "<page \"1\">\n<ts 1>a<:xr \"X\" 1>\n</ts>\n</page>", {601}},
      {"601 building block in a text string", BODY, "<page \"1\">\n<ts 1>a<:bb \"$x\">\n</ts>\n</page>", {601}},
      {"near 601: font changes and numbered formats in a text string", BODY,
       "<page \"1\">\n<ts 1><:fc 1>a<:/fc> <:cs \"E\" 2>b<:/cs>\n</ts>\n</page>", {}},
      {"619 hard return in a text string", BODY, "<page \"1\">\n<ts 1>a<:hr>b\n</ts>\n</page>", {619}},
      {"602 cross-reference in a marker", ON_PAGE, marker + "see <:xr \"X\" 1>\n</mk>", {602}},
      {"near 602: named formats and building blocks in a marker", ON_PAGE,
       marker + "a <:cs \"E\">b<:/cs> <:bb \"$x\"><:t>\n</mk>", {}},
      {"603 character set in an index entry", ON_PAGE, index + "a\n<ie>b<:c>c<:/c>\n</imk>", {603, 603}},
      {"603 the index marker's own segment is an entry", ON_PAGE, index + "<:xr \"X\" 1>a\n</imk>", {603}},
      {"near 603: building block and sort mark in the first entry", ON_PAGE,
       index + "<:bb \"$startrange\">Entry<:so>\n</imk>", {}},
      {"604 variable in an index level", ON_PAGE, index + "a\n<il>b<:v \"V\" 1>\n</imk>", {604}},
      {"617 two sort marks in one entry", ON_PAGE, index + "a\n<ie>b<:so>c<:so>\n</imk>", {617}},
      {"605 sort mark in a sort string", ON_PAGE, index + "a\n<ss>b<:so>\n</imk>", {605}},
      {"near 605: plain sort string and level", ON_PAGE, index + "a\n<ss>b\n<sl>c\n</imk>", {}},
      {"606 variable in a cross-reference format", ANCILLARY, "<xrfmt \"X\">a<:v \"V\" 1>", {606}},
      {"607 numbered format in a variable format", ANCILLARY, "<vfmt \"V\">a<:cs \"E\" 3>b<:/cs>", {607}},
      {"608 bold in a numbering format", ANCILLARY,
       "<bb \"Paragraph Numbering Formats\">\n<bb \"Paragraph Numbering Format\">\n<pnfmt \"N\">a<:b>x<:/b>", {608, 608}},
      {"near 608: building block in a numbering format", ANCILLARY,
       "<bb \"Paragraph Numbering Formats\">\n<bb \"Paragraph Numbering Format\">\n<pnfmt \"N\"><:bb \"$chapnum\">.<:t>",
       {}},
      {"609 building block in a paragraph", ON_PAGE, "<ps \"B\" 1>a<:bb \"$x\">", {609}},
      {"610 building block in a footnote prefix", ANCILLARY, "<bb \"Footnote Anchor Prefix\">a<:bb \"$x\">", {610}},
      {"610 variable in an element prefix", ANCILLARY,
       "<bb \"Element Prefix/Suffix Formats\">\n<bb \"Element Prefix/Suffix\">\n<epsfmt \"Note\">\n<bb \"Prefix\">a<:v \"V\" 1>",
       {610}},
      {"near 610: building block in an element prefix", ANCILLARY,
       "<bb \"Element Prefix/Suffix Formats\">\n<bb \"Element Prefix/Suffix\">\n<epsfmt \"Note\">\n<bb \"Prefix\">"
       "<:bb \"$paranum\"> <:cs \"E\">Note:<:/cs>",
       {}},
      {"611 sort mark in a paragraph", ON_PAGE, "<ps \"B\" 1>a<:so>", {611}},
      {"612 named format in a paragraph", ON_PAGE, "<ps \"B\" 1>a<:cs \"E\">b<:/cs>", {612}},
  };
}

class SharedRuleTest : public ::testing::TestWithParam<Row> {};

TEST_P(SharedRuleTest, SourceAndIdenticalTargetGiveTheRowsMessages) {
  const Row& row = GetParam();
  const std::string kwx = Build(row.wrap, row.text);
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, row.wrap != ANCILLARY);
  const bool bracketsSound = verifier.b_CheckSource(Lines(kwx));
  EXPECT_EQ(Numbers(verifier, 1, 6), row.expected) << "KWX:\n" << kwx << "found:\n" << Dump(verifier);
  const bool sourceOnly = !row.expected.empty() && row.expected.front() < 300;
  EXPECT_EQ(bracketsSound, row.expected.empty() || row.expected.front() > 104);
  if (!bracketsSound || sourceOnly) return;
  // The same rules run over the target; an identical target adds nothing else.
  ASSERT_TRUE(verifier.b_CheckTarget(Lines(kwx)));
  EXPECT_EQ(Numbers(verifier, 7, 12), row.expected) << "KWX:\n" << kwx << "found:\n" << Dump(verifier);
}

INSTANTIATE_TEST_SUITE_P(Rules, SharedRuleTest, ::testing::ValuesIn(SharedRows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return "row" + std::to_string(info.index); });

// --- rules of the target alone ----------------------------------------------------------

struct TargetRow {
  std::string name;
  std::string source;  // both on a page
  std::string target;
  std::vector<int> expected;             // sections 7 to 12, verification mode
  std::vector<int> expectedBackwards;    // back-conversion mode, tag map made from the source
};

std::ostream& operator<<(std::ostream& out, const TargetRow& row) { return out << row.name; }

std::vector<TargetRow> TargetRows() {
  const std::string body = "<ps \"Body\" 1>a";
  return {
      {"801 paragraph tag the source lacks", body, "<ps \"Heading 9\" 9>a", {801}, {801}},
      {"802/804 added paragraph tag the source lacks", body, "<#ps \"Heading 9\" 9>a", {802}, {804}},
      {"802/804 added table", body + "\n<tb 3>\n<tbb>\n</tbb>\n</tb>", body + "\n<#tb 3>", {802}, {804}},
      {"near 802: added paragraph tag the source has", body, body + "\n<#ps \"Body\" 1>b", {}, {}},
      {"near 802: added index marker", body, body + "\n<#imk>\n<ie>entry\n<#/imk>", {}, {}},
      {"302 text after an added index marker tag", body, body + "\n<#imk>entry\n<ie>more\n<#/imk>", {302}, {302}},
      {"408 added index marker without an entry", body, body + "\n<#imk>\n<#/imk>", {408}, {408}},
      {"803 internal tag the source lacks", body, body + "<:zz>", {803}, {803}},
      {"803 character format the source lacks", body, body + "<:cs \"E\" 7>b<:/cs>", {803, 803}, {803}},
      {"near 803: bold and special characters a translator may add", body, body + "<:b>b<:/b><:hs><:ldq><:r1>", {}, {}},
      // A tag met again is answered from the tags found before it: a
      // look-alike that differs in one byte is still unknown.
      {"801 look-alike of a paragraph tag used before", body + "\n<ps \"Body\" 1>b\n<ps \"Body\" 1>c",
       body + "\n<ps \"Body\" 1>b\n<ps \"Cody\" 1>c", {801}, {801}},
      {"803 look-alike of a character format used before", body + "<:cs \"E\" 1>b<:/cs>",
       body + "<:cs \"E\" 1>b<:/cs><:cs \"F\" 1>c<:/cs>", {803}, {803}},
      {"brackets of the target", body, "<ps \"Body\" 1>a > b", {101}, {101}},
      {"412 paragraph duplicated in a text box", body + "\n<ps \"Body\" 1>b", body + "\n<ps \"Body\" 1>b\n<ps \"Body\" 1>b",
       {412}, {412}},
      {"near 412: more paragraphs in a footnote and a cell of the text box",
       body + "<:fn 3>\n<fn 3>\n<ps \"Body\" 1>n\n</fn>\n<tb 4>\n<tbb>\n<row 1>\n<ct 1>\n<ps \"Body\" 1>c\n</ct>\n</row>\n</tbb>\n</tb>",
       body + "<:fn 3>\n<fn 3>\n<ps \"Body\" 1>n\n<ps \"Body\" 1>n\n</fn>\n<tb 4>\n<tbb>\n<row 1>\n<ct 1>\n<ps \"Body\" 1>c\n"
       "<ps \"Body\" 1>c\n</ct>\n</row>\n</tbb>\n</tb>",
       {}, {}},
      {"near 412: paragraphs added with the <#...> syntax and one deleted", body + "\n<ps \"Body\" 1>b",
       "<#ps \"Body\" 1>x\n<#ps \"Body\" 1>y", {}, {}},
      {"413 text box number given to a second text box", body + "\n</tr>\n<tr 2>\n" + body,
       body + "\n</tr>\n<tr 1>\n" + body, {413}, {413}},
  };
}

class TargetRuleTest : public ::testing::TestWithParam<TargetRow> {};

TEST_P(TargetRuleTest, VerificationMode) {
  const TargetRow& row = GetParam();
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(ON_PAGE, row.source)))) << Dump(verifier);
  ASSERT_TRUE(Numbers(verifier, 1, 6).empty()) << Dump(verifier);
  const bool sound = verifier.b_CheckTarget(Lines(Build(ON_PAGE, row.target)));
  EXPECT_EQ(sound, row.expected != std::vector<int>{101});
  EXPECT_EQ(Numbers(verifier, 7, 12), row.expected) << "target:\n" << row.target << "\nfound:\n" << Dump(verifier);
}

TEST_P(TargetRuleTest, BackConversionMode) {
  const TargetRow& row = GetParam();
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  const CQ_TagMap map = TagMapOf(Build(ON_PAGE, row.source));
  // The text boxes' paragraphs counted as back conversion counts them.
  CQ_TagStructureCheck::CQ_ParagraphCounter counter;
  for (const std::string& line : Lines(Build(ON_PAGE, row.source))) counter.v_Line(line);
  st_BackConversionContext context;
  context.pcco_SourceParagraphs = &counter.rco_Paragraphs();
  const bool clean = verifier.b_CheckTranslatedList(Lines(Build(ON_PAGE, row.target)), map, &context);
  EXPECT_EQ(Numbers(verifier, 1, 17), row.expectedBackwards) << "target:\n" << row.target << "\nfound:\n" << Dump(verifier);
  EXPECT_EQ(clean, row.expectedBackwards.empty());
  EXPECT_EQ(verifier.i_TagErrorCode(), 10000);
}

INSTANTIATE_TEST_SUITE_P(Rules, TargetRuleTest, ::testing::ValuesIn(TargetRows()),
                         [](const ::testing::TestParamInfo<TargetRow>& info) { return "row" + std::to_string(info.index); });

// --- characters of the target language --------------------------------------------------

struct CharacterRow {
  const char* language;
  std::string text;
  std::vector<int> expected;
  std::string reported;  // the two bytes the message quotes
};

std::ostream& operator<<(std::ostream& out, const CharacterRow& row) { return out << row.language; }

class CharacterCheckTest : public ::testing::TestWithParam<CharacterRow> {};

TEST_P(CharacterCheckTest, ReportsCharactersFrameMakerLacks) {
  const CharacterRow& row = GetParam();
  auto session = MakeSession();
  session->v_SetTargetLanguage(row.language);
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"B\" 1>x<:c>y<:/c>"))));
  ASSERT_TRUE(verifier.b_CheckTarget(Lines(Build(ON_PAGE, "<ps \"B\" 1>" + row.text))));
  EXPECT_EQ(Numbers(verifier, 7, 12), row.expected) << Dump(verifier);
  for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
    EXPECT_EQ(entry.i_Section, 12);
    EXPECT_EQ(entry.co_Record.ccs_Tag, "Do not suppress!");
    const std::string& text = entry.co_Record.ccs_Text;
    EXPECT_EQ(text.substr(text.size() - 5), "\"" + row.reported + "\".") << text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CharacterCheckTest,
    ::testing::Values(CharacterRow{"Korean", "a\x91\x41z", {1204}, "\x91\x41"},
                      CharacterRow{"Korean", "a\x90\x41z", {}, ""},
                      CharacterRow{"Korean", "a\xB0\xA1z", {}, ""},
                      CharacterRow{"Korean", "<:c>\x91\x41<:/c>", {}, ""},
                      CharacterRow{"Japanese", "a\xED\x40z", {1205}, "\xED\x40"},
                      CharacterRow{"Japanese", "a\xEA\xA5z", {1205}, "\xEA\xA5"},
                      CharacterRow{"Japanese", "a\xEA\xA4z", {}, ""},
                      CharacterRow{"Japanese", "\x82\xA0\x82\xA2", {}, ""},
                      // 0xED is the trail byte of the first character, the lead byte of the second.
                      CharacterRow{"Japanese", "\x88\xED\xED\x40", {1205}, "\xED\x40"},
                      CharacterRow{"Chinese (Traditional)", "a\xF9\xDDz", {1202}, "\xF9\xDD"},
                      CharacterRow{"Chinese (Traditional)", "a\xF9\xDCz", {}, ""},
                      CharacterRow{"Chinese (Simplified)", "a\x81\x40z", {1203}, "\x81\x40"},
                      CharacterRow{"Chinese (Simplified)", "a\xB0\xA1z", {}, ""},
                      CharacterRow{"English (US)", "a\x91\x41z", {}, ""}),
    [](const ::testing::TestParamInfo<CharacterRow>& info) { return "row" + std::to_string(info.index); });

// --- exact message texts ---------------------------------------------------------------------

struct TextRow {
  Wrap wrap;
  std::string text;
  std::string message;
};

std::ostream& operator<<(std::ostream& out, const TextRow& row) { return out << row.message; }

class MessageTextTest : public ::testing::TestWithParam<TextRow> {};

TEST_P(MessageTextTest, FirstMessageReadsSo) {
  const TextRow& row = GetParam();
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, row.wrap != ANCILLARY);
  verifier.b_CheckSource(Lines(Build(row.wrap, row.text)));
  ASSERT_FALSE(verifier.rco_Entries().empty()) << row.text;
  EXPECT_EQ(verifier.rco_Entries().front().co_Record.ccs_Text, row.message);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MessageTextTest,
    ::testing::Values(
        TextRow{ON_PAGE, "<ps \"Body\" 1>Text<:b>bold", "Error 509. 1 <:b> without ending <:/b>."},
        TextRow{ON_PAGE, "<ps \"B\" 1>a<:cs \"E\" 1>b<:cs \"F\" 2>c", "Error 503. 2 <:cs ?> without ending <:/cs>."},
        TextRow{ON_PAGE, "<ps \"B\" 1>x\n</ct>", "Error 401. </ct> without starting tag <ct ?>."},
        TextRow{BODY, "<page \"1\">\n<tr 12>\n<ps \"B\" 1>x\n</page>", "Error 402. <tr 12> without ending tag </tr>."},
        TextRow{BODY, "<page \"1\">\n<ufo>\n<ufo>\n</page>", "Error 403. 2 occurrences of <ufo> without ending tags </ufo>."},
        TextRow{BODY, "<page \"7\">\n<ps \"B\" 1>x\n</page>",
                "Error 411. <ps \"B\" 1> is not allowed in the context of <page> to </page> on <page \"7\">."},
        TextRow{BODY, "<ps \"B\" 1>x",
                "Error 411. <ps \"B\" 1> is not allowed in the context of <kwx \"F3.xx\"> to </kwx> in <kwx \"F3.00\">."},
        TextRow{ON_PAGE, "<el \"Sec\" 1>\n<el \"Sec\" 2>\n<ps \"B\" 1>x",
                "Error 406. 2 <el \"Sec\" ?> without ending </el \"Sec\"> before the end of the file."},
        TextRow{ON_PAGE, "<ps \"B\" 1>x<:mk \"Comment\" 1>\n<mk \"Comment\" 1>" + std::string(260, 'a') + "\n</mk>",
                "Error 303. The text in the marker <mk \"Comment\" 1> is 5 character(s) too long."},
        TextRow{ON_PAGE, "<ps \"B\" 1>x<:imk 4>\n<imk 4>" + std::string(256, 'a') + "\n</imk>",
                "Error 304. The text in the index marker <imk 4> is 1 character(s) too long.\nSee the on-line help "
                "system or the User Guide for more information about marker length."},
        TextRow{BODY, "<page \"1\">\n<ts 1>a<:hr>b\n</ts>\n</page>",
                "Alert 619. <:hr> is not allowed in text strings and will be deleted   in the conversion from KWX to "
                "MIF."},
        TextRow{ANCILLARY, "<bb \"Footnote Number Suffix\">a<:bb \"$x\">",
                "Error 610. <:bb \"$x\"> may not appear inside the external building block <bb \"Footnote Number "
                "Suffix\">."},
        TextRow{ON_PAGE, "<ps \"B\" 1>a<:/el \"P\">", "Error 519. <:/el \"P\"> without starting <:el \"P\" ?>."}),
    [](const ::testing::TestParamInfo<TextRow>& info) { return "row" + std::to_string(info.index); });

}  // namespace
