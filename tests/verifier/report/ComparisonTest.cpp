// The comparison of source and target tags (sections 13 to 17) over small
// KWX files: what each kind of change is reported as, where the walk
// gives up, and the informational lines of each section. The report
// layout itself is held by the golden reports.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "kernel/verifier/VarnelComparison.h"
#include "verifier/rules/RulesTestSupport.h"

using namespace RulesTest;

namespace {

struct Row {
  std::string name;
  Wrap sourceWrap;
  std::string source;
  Wrap targetWrap;
  std::string target;
  std::vector<int> numbers;        // numbered messages of sections 13 to 17, in report order
  std::vector<std::string> lines;  // unnumbered lines of sections 13 to 17, in report order
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

// The comparison's entries in the order the report shows them.
std::vector<const st_VarnelReportEntry*> Compared(const CQ_VarnelVerifier& verifier) {
  std::vector<const st_VarnelReportEntry*> entries;
  for (int section = 13; section <= 17; ++section) {
    for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
      if (entry.i_Section == section) entries.push_back(&entry);
    }
  }
  return entries;
}

class ComparisonTest : public ::testing::TestWithParam<Row> {};

TEST_P(ComparisonTest, ReportsTheChange) {
  const Row& row = GetParam();
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(row.sourceWrap, row.source))));
  ASSERT_TRUE(verifier.b_CheckTarget(Lines(Build(row.targetWrap, row.target))));
  CQ_VarnelComparison(verifier).v_Run();
  std::vector<int> numbers;
  std::vector<std::string> lines;
  for (const st_VarnelReportEntry* entry : Compared(verifier)) {
    if (entry->b_Numbered) {
      numbers.push_back(entry->i_Message);
    } else {
      lines.push_back(entry->co_Record.ccs_Text);
    }
  }
  EXPECT_EQ(numbers, row.numbers) << Dump(verifier);
  EXPECT_EQ(lines, row.lines) << Dump(verifier);
}

std::string Paragraphs(int count, bool swapped) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const bool body = (i % 2 == 0) != swapped;
    text += std::string(body ? "<ps \"Body\" 1>" : "<ps \"Note\" 2>") + "Paragraph " + std::to_string(i) + "\n";
  }
  return text;
}

const std::string A = "<ps \"A\" 1>a\n";
const std::string B = "<ps \"B\" 2>b\n";
const std::string C = "<ps \"C\" 3>c\n";
const std::string D = "<ps \"D\" 4>d\n";
const std::string FOOTNOTE = "<fn 1>\n<ps \"F\" 5>note\n</fn>\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, ComparisonTest,
    ::testing::Values(
        Row{"identical", ON_PAGE, A + B + C + D, ON_PAGE, A + B + C + D, {}, {}},
        Row{"deleted paragraph tag: the source is searched one ahead",
            ON_PAGE, A + B + C + D, ON_PAGE, A + C + D, {1510},
            {"1 occurrence(s) of the external tag <ps \"B\" 2> deleted.",
             "There are 15 external tag(s) in the source file and 14 in the translated file ",
             "(not including tags in the translated file that have been added using the <#...> syntax).\n",
             "Assuming 1 external tag(s) deleted, none added.\n"}},
        Row{"deleted footnote: its tags are reported by category", ON_PAGE, A + FOOTNOTE + B, ON_PAGE, A + B,
            {1512, 1510, 1512},
            {"1 occurrence(s) of the external tag <fn 1> deleted.",
             "1 occurrence(s) of the external tag <ps \"F\" 5> deleted.",
             "1 occurrence(s) of the external tag </fn> deleted.",
             "There are 16 external tag(s) in the source file and 13 in the translated file ",
             "(not including tags in the translated file that have been added using the <#...> syntax).\n",
             "Assuming 3 external tag(s) deleted, none added.\n"}},
        Row{"changed tag with equal counts", ON_PAGE, A + B + C, ON_PAGE, A + D.substr(0, 0) + "<ps \"C\" 3>x\n" + C,
            {1515},
            {"1 occurrence(s) of the external tag <ps \"B\" 2> deleted.",
             "1 occurrence(s) of the external tag <ps \"C\" 3> added without using the <#...> syntax."}},
        Row{"two tags swapped", ON_PAGE, A + B + C, ON_PAGE, B + A + C, {1515, 1515}, {}},
        Row{"extra tag: the target is searched one ahead", ON_PAGE, A + B + C, ON_PAGE, A + B + "<ps \"A\" 1>x\n" + C,
            {1514},
            {"1 occurrence(s) of the external tag <ps \"A\" 1> added without using the <#...> syntax.",
             "There are 14 external tag(s) in the source file and 15 in the translated file ",
             "(not including tags in the translated file that have been added using the <#...> syntax).\n",
             "Assuming 1 external tag(s) added (not using the <#...> syntax), none deleted.\n"}},
        Row{"sixteen consecutive changes stop the walk", ON_PAGE, Paragraphs(20, false), ON_PAGE,
            Paragraphs(20, true), std::vector<int>(16, 1515),
            {"\nThe files could not be fully compared.",
             "If you intentionally changed the order of some external tags, and there are no Errors reported, you "
             "can ignore this message.\n"}},
        Row{"fifteen consecutive changes do not", ON_PAGE, Paragraphs(15, false), ON_PAGE, Paragraphs(15, true),
            std::vector<int>(15, 1515),
            {"1 occurrence(s) of the external tag <ps \"Body\" 1> deleted.",
             "1 occurrence(s) of the external tag <ps \"Note\" 2> added without using the <#...> syntax."}},
        Row{"target ends early", BODY, A + B, NO_END, A + B, {1512},
            {"1 occurrence(s) of the external tag </kwx> deleted.",
             "There are 9 external tag(s) in the source file and 8 in the translated file ",
             "(not including tags in the translated file that have been added using the <#...> syntax).\n",
             "Assuming 1 external tag(s) deleted, none added.\n",
             "External tags deleted at the end of the translated file."}},
        Row{"source ends first", NO_END, A, BODY, A, {1514},
            {"There are 7 external tag(s) in the source file and 8 in the translated file ",
             "(not including tags in the translated file that have been added using the <#...> syntax).\n",
             "Assuming 1 external tag(s) added (not using the <#...> syntax), none deleted.\n",
             "External tags added at the end of the translated file."}},
        Row{"bold moved to the next segment", ON_PAGE, "<ps \"A\" 1>a <:b>b<:/b>\n<ps \"A\" 1>c\n", ON_PAGE,
            "<ps \"A\" 1>a b\n<ps \"A\" 1>c <:b>d<:/b>\n", {1703, 1703, 1707, 1707}, {}},
        Row{"internal tags matched by text within their segment", ON_PAGE,
            "<ps \"A\" 1>a<:t>b<:hs>c<:t>\n", ON_PAGE, "<ps \"A\" 1>a<:hs>b<:t>c<:t>\n", {}, {}},
        Row{"a cross-reference deleted and a tab added", ON_PAGE, "<ps \"A\" 1>see <:xr \"Page\" 1>\n", ON_PAGE,
            "<ps \"A\" 1>see<:t>\n", {1704, 1707},
            {"1 occurrence(s) of the internal tag <:t> added.",
             "1 occurrence(s) of the internal tag <:xr \"Page\" 1> deleted."}},
        Row{"internal tags of a changed segment are left out", ON_PAGE, A + "<ps \"B\" 2>b<:t>\n" + C, ON_PAGE,
            A + "<ps \"A\" 1>b<:hs>\n" + C, {1515},
            {"1 occurrence(s) of the external tag <ps \"A\" 1> added without using the <#...> syntax.",
             "1 occurrence(s) of the external tag <ps \"B\" 2> deleted.",
             "1 occurrence(s) of the internal tag <:t> deleted.",
             "1 occurrence(s) of the internal tag <:hs> added."}},
        Row{"a paragraph added with # and the tags inside it", ON_PAGE, A + B, ON_PAGE,
            A + "<#ps \"A\" 1>new<:t>text\n" + B, {1402, 1707},
            {"Note: 1 external tag(s) added using the <#...> syntax.\n", "All internal tags have been added.\n"}},
        Row{"no internal tags in the source", ON_PAGE, A, ON_PAGE, "<ps \"A\" 1>a<:t>\n", {1707},
            {"1 occurrence(s) of the internal tag <:t> added.", "All internal tags have been added.\n"}},
        Row{"no internal tags in the target", ON_PAGE, "<ps \"A\" 1>a<:ems>\n", ON_PAGE, A, {1703},
            {"1 occurrence(s) of the internal tag <:ems> deleted.", "All internal tags have been deleted.\n"}},
        Row{"an unknown internal tag deleted", ON_PAGE, "<ps \"A\" 1>a<:zz>\n", ON_PAGE, A, {1706},
            {"1 occurrence(s) of the unknown internal tag <:zz> deleted.", "All internal tags have been deleted.\n"}}),
    [](const ::testing::TestParamInfo<Row>& info) { return "row" + std::to_string(info.index); });

// The matched segments are numbered alike on both sides; segments that
// were reported are not numbered.
TEST(ComparisonNumbers, MatchedSegmentsShareTheirNumbers) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(ON_PAGE, A + B + C + D))));
  ASSERT_TRUE(verifier.b_CheckTarget(Lines(Build(ON_PAGE, A + C + D))));
  CQ_VarnelComparison comparison(verifier);
  comparison.v_CompareExternalTags();
  const auto& source = comparison.rco_SourceMatchNumbers();
  const auto& target = comparison.rco_TargetMatchNumbers();
  ASSERT_EQ(source.size(), verifier.rco_SourceSegments().size());
  std::size_t t = 0;
  for (std::size_t s = 0; s < source.size(); ++s) {
    const bool deleted = verifier.rco_SourceSegments()[s].cs_Tag == "<ps \"B\" 2>";
    if (deleted) {
      EXPECT_EQ(source[s], 0u);
      EXPECT_EQ(verifier.rco_SourceSegments()[s].an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED], 2);
      continue;
    }
    EXPECT_EQ(source[s], target[t]) << verifier.rco_SourceSegments()[s].cs_Tag;
    EXPECT_EQ(verifier.rco_SourceSegments()[s].cs_Tag, verifier.rco_TargetSegments()[t].cs_Tag);
    ++t;
  }
  EXPECT_EQ(t, target.size());
  EXPECT_FALSE(comparison.b_WalkStopped());
}

}  // namespace
