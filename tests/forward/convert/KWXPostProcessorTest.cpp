// Post-processing of piece lists: each row gives the pieces (separated by
// "|") before and after one step.
#include <gtest/gtest.h>

#include <functional>

#include "kernel/forward/KWXPostProcessor.h"
#include "kernel/forward/KWXTagTables.h"

namespace {

std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t bar = text.find('|', start);
    if (bar == std::string::npos) bar = text.size();
    pieces.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  return pieces;
}

std::string Joined(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& p : pieces) text += (text.empty() ? "" : "|") + p;
  return text;
}

using Step = void (CQ_KWXPostProcessor::*)(std::vector<std::string>&);

struct Row {
  const char* name;
  Step step;
  const char* before;
  const char* after;
};

const Row kRows[] = {
    {"footnote behind its paragraph", &CQ_KWXPostProcessor::v_PlaceFootnotes,
     "<ps \"B\" 1>|a|<fn 3>|<ps \"F\" 2>|f|</fn>|b|<ps \"B\" 1>|c",
     "<ps \"B\" 1>|a|<:fn 3>|b|<fn 3>|<ps \"F\" 2>|f|</fn>|<ps \"B\" 1>|c"},
    {"two footnotes keep their order", &CQ_KWXPostProcessor::v_PlaceFootnotes,
     "<ps \"B\" 1>|<fn 1>|<ps \"F\" 2>|x|</fn>|<fn 2>|<ps \"F\" 2>|y|</fn>|.|</tr>",
     "<ps \"B\" 1>|<:fn 1>|<:fn 2>|.|<fn 1>|<ps \"F\" 2>|x|</fn>|<fn 2>|<ps \"F\" 2>|y|</fn>|</tr>"},
    {"footnote in a cell stops at the cell's end", &CQ_KWXPostProcessor::v_PlaceFootnotes,
     "<ct 1>|<ps \"C\" 1>|t|<fn 4>|<ps \"F\" 2>|n|</fn>|u|</ct>|<ct 1>",
     "<ct 1>|<ps \"C\" 1>|t|<:fn 4>|u|<fn 4>|<ps \"F\" 2>|n|</fn>|</ct>|<ct 1>"},
    {"footnote before a table of its paragraph", &CQ_KWXPostProcessor::v_PlaceFootnotes,
     "<ps \"B\" 1>|<fn 5>|<ps \"F\" 2>|</fn>|<tb 7>|</tb>",
     "<ps \"B\" 1>|<:fn 5>|<fn 5>|<ps \"F\" 2>|</fn>|<tb 7>|</tb>"},
    {"marker inside a footnote stays inside", &CQ_KWXPostProcessor::v_PlaceMarkers,
     "<fn 1>|<ps \"F\" 2>|a|<mk \"Comment\" 3>|note|</mk>|b|</fn>|<ps \"B\" 1>",
     "<fn 1>|<ps \"F\" 2>|a|<:mk \"Comment\" 3>|b|<mk \"Comment\" 3>|note|</mk>|</fn>|<ps \"B\" 1>"},
    {"marker before a footnote block", &CQ_KWXPostProcessor::v_PlaceMarkers,
     "<ps \"B\" 1>|<mk \"Comment\" 3>|m|</mk>|x|<fn 1>|<ps \"F\" 2>|</fn>",
     "<ps \"B\" 1>|<:mk \"Comment\" 3>|x|<mk \"Comment\" 3>|m|</mk>|<fn 1>|<ps \"F\" 2>|</fn>"},
    {"index marker before a marker block", &CQ_KWXPostProcessor::v_PlaceIndexMarkers,
     "<ps \"B\" 1>|<imk 2>|a|<il>|b|</imk>|x|<mk \"Comment\" 3>|m|</mk>",
     "<ps \"B\" 1>|<:imk 2>|x|<imk 2>|a|<il>|b|</imk>|<mk \"Comment\" 3>|m|</mk>"},
    {"a condition opened while one is open", &CQ_KWXPostProcessor::v_BalanceConditions,
     "<tr 1>|<ps \"B\" 1>|<:cns \"A\" 1>|x|<:cns \"B\" 2>|y|</tr>",
     "<tr 1>|<ps \"B\" 1>|<:cns \"A\" 1>|x|<:/cns>|<:cns \"B\" 2>|y|<ps \"\" 0>|<:/cns>|</tr>"},
    {"a condition closed while none is open", &CQ_KWXPostProcessor::v_BalanceConditions,
     "<ps \"B\" 1>|x|<:/cns>|</kwx>", "<ps \"B\" 1>|x|<:cns \"\" 0>|<:/cns>|</kwx>"},
    {"an open text inset without a column", &CQ_KWXPostProcessor::v_BalanceConditions,
     "<page \"1\">|<ts 1>|<:ti 1>|x|</ts>|</page>|</kwx>",
     "<page \"1\">|<ts 1>|<:ti 1>|x|</ts>|</page>|<:/ti>|</kwx>"},
    {"runs close at external tags", &CQ_KWXPostProcessor::v_CloseRuns,
     "<ps \"B\" 1>|<:cs \"E\" 1>|x|<ps \"B\" 1>|<:fc 2>|y|</tr>",
     "<ps \"B\" 1>|<:cs \"E\" 1>|x|<:/cs>|<ps \"B\" 1>|<:fc 2>|y|<:/fc>|</tr>"},
    {"a run goes on after a table", &CQ_KWXPostProcessor::v_CloseRuns,
     "<ps \"B\" 1>|<:cs \"E\" 1>|x|<tb 3>|<tbb>|<ps \"C\" 2>|<:fc 4>|c|</tbb>|</tb>|y|<:/cs>|z",
     "<ps \"B\" 1>|<:cs \"E\" 1>|x|<:/cs>|<tb 3>|<tbb>|<ps \"C\" 2>|<:fc 4>|c|<:/fc>|</tbb>|</tb>|<:cs \"E\" 1>|y|"
     "<:/cs>|z"},
    {"a run that would hold nothing is left out", &CQ_KWXPostProcessor::v_CloseRuns,
     "<ps \"B\" 1>|<:cs \"E\" 1>|x|<af 2>|</af>|<ps \"B\" 1>|<:cs \"E\" 1>|<:/cs>|z",
     "<ps \"B\" 1>|<:cs \"E\" 1>|x|<:/cs>|<af 2>|</af>|<ps \"B\" 1>|z"},
    {"a closing tag with no run open goes", &CQ_KWXPostProcessor::v_CloseRuns, "<ps \"B\" 1>|x|<:/cs>|y",
     "<ps \"B\" 1>|x|y"},
    {"a new run closes the one before", &CQ_KWXPostProcessor::v_CloseRuns, "<ps \"B\" 1>|<:fc 1>|x|<:cs \"E\" 2>|y",
     "<ps \"B\" 1>|<:fc 1>|x|<:/fc>|<:cs \"E\" 2>|y|<:/cs>"},
    {"element with a font change", &CQ_KWXPostProcessor::v_ElementTags,
     "<ps \"B\" 1>|<:el \"N\" 2>|a|<:cs \"E\" 1>|b|<:/cs>|<:/el \"N\">|c|<ps \"B\" 1>",
     "<ps \"B\" 1>|<:elf \"N\" 1>|a|<:cs \"E\" 1>|b|<:/cs>|<:/elf \"N\">|c|<ps \"B\" 1>"},
    {"element between paragraphs", &CQ_KWXPostProcessor::v_ElementTags,
     "<ps \"B\" 1>|<:el \"L\" 3>|<ps \"I\" 2>|x|<ps \"B\" 1>|<:/el \"L\">|</tr>",
     "<ps \"B\" 1>|<el \"L\" 3>|<ps \"I\" 2>|x|<ps \"B\" 1>|</el \"L\">|</tr>"},
    {"element whose end stands in text keeps its internal form", &CQ_KWXPostProcessor::v_ElementTags,
     "<ps \"B\" 1>|<:el \"L\" 3>|<ps \"I\" 2>|x|<:/el \"L\">|</tr>",
     "<ps \"B\" 1>|<:el \"L\" 3>|<ps \"I\" 2>|x|<:/el \"L\">|</tr>"},
    {"sort strings behind the levels", &CQ_KWXPostProcessor::v_RegroupSortStrings,
     "<imk 1>|a|<ss>|sa|<il>|b|<ss>|sb|<ie>|c|</imk>|x",
     "<imk 1>|a|<:so>|<il>|b|<:so>|<ss>|sa|<ss>|sb|<ie>|c|</imk>|x"},
};

TEST(KWXPostProcessorTest, EachStep) {
  for (const Row& row : kRows) {
    CQ_KWXTagTables tags;
    CQ_KWXPostProcessor post(tags);
    std::vector<std::string> pieces = Pieces(row.before);
    (post.*row.step)(pieces);
    EXPECT_EQ(row.after, Joined(pieces)) << row.name << "\n  input: " << row.before;
  }
}

TEST(KWXPostProcessorTest, PlaceholdersAndNewTagsEnterTheirCounterparts) {
  CQ_KWXTagTables tags;
  CQ_KWXPostProcessor post(tags);
  std::vector<std::string> pieces = Pieces(
      "<tr 1>|<ps \"B\" 1>|<fn 3>|<ps \"F\" 2>|</fn>|<mk \"Comment\" 4>|m|</mk>|<imk 5>|i|</imk>|<:fc 6>|<:cns \"A\" 1>|"
      "</tr>|</kwx>");
  post.v_Run(pieces, false, false);
  ASSERT_NE(tags.pcs_FindFragment("<:fn 3>"), nullptr);
  EXPECT_EQ("<FNote 3>\n", *tags.pcs_FindFragment("<:fn 3>"));
  EXPECT_EQ("# Marker PlaceHolder\n", *tags.pcs_FindFragment("<:mk \"Comment\" 4>"));
  EXPECT_EQ("# Index Marker PlaceHolder\n", *tags.pcs_FindFragment("<:imk 5>"));
  EXPECT_EQ("<Para\n\n", *tags.pcs_FindFragment("<ps \"\" 0>"));
  EXPECT_EQ("<Font\n<FTag `'>\n> # end of Font\n", *tags.pcs_FindFragment("<:/fc>"));
}

TEST(KWXPostProcessorTest, ABlockWithoutItsEndIsMalformed) {
  CQ_KWXTagTables tags;
  CQ_KWXPostProcessor post(tags);
  for (const char* text : {"<ps \"B\" 1>|<fn 3>|<ps \"F\" 2>|</tr>", "<ps \"B\" 1>|<mk \"X\" 1>|m|</tr>",
                           "<ps \"B\" 1>|<imk 1>|<ie>|</tr>"}) {
    std::vector<std::string> pieces = Pieces(text);
    try {
      post.v_Run(pieces, false, false);
      ADD_FAILURE() << "no error for " << text;
    } catch (int code) {
      EXPECT_EQ(6, code) << text;
    }
  }
}

}  // namespace
