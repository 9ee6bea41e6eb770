// Post-processing of piece lists: each row gives the pieces (separated by
// "|") before and after one step.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <random>
#include <string_view>

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

// --- the compact steps against a piece-by-piece reference ----------------------

bool StartsWith(std::string_view p, std::string_view prefix) { return p.substr(0, prefix.size()) == prefix; }
bool IsExternal(std::string_view p) {
  return p.size() >= 2 && p[0] == '<' && (std::isalpha(static_cast<unsigned char>(p[1])) || p[1] == '/' || p[1] == '#');
}

// Moves blocks as the steps are meant to, reading every piece in turn and
// telling kinds by their text.
void ReferenceMove(std::vector<std::string>& pieces, std::string_view opening, std::string_view closing,
                   const std::function<bool(std::string_view)>& boundary,
                   const std::function<std::string(std::string_view)>& placeholder) {
  std::vector<std::string> out;
  std::vector<std::string> held;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    if (StartsWith(pieces[k], opening)) {
      std::size_t depth = 0;
      std::size_t j = k;
      for (; j < pieces.size(); ++j) {
        if (StartsWith(pieces[j], opening)) {
          ++depth;
        } else if (pieces[j] == closing && --depth == 0) {
          break;
        }
      }
      if (j == pieces.size()) throw 6;
      out.push_back(placeholder(pieces[k]));
      held.insert(held.end(), pieces.begin() + k, pieces.begin() + j + 1);
      k = j;
      continue;
    }
    if (!held.empty() && (boundary(pieces[k]) || pieces[k] == "</kwx>")) {
      out.insert(out.end(), held.begin(), held.end());
      held.clear();
    }
    out.push_back(pieces[k]);
  }
  out.insert(out.end(), held.begin(), held.end());
  pieces = out;
}

void ReferenceSteps(std::vector<std::string>& pieces) {
  const auto footnoteBoundary = [](std::string_view p) {
    return StartsWith(p, "<ps \"") || StartsWith(p, "<af ") || StartsWith(p, "<tb ") || p == "</ct>" ||
           p == "</tbt>" || p == "</tr>";
  };
  const auto markerBoundary = [&](std::string_view p) {
    return footnoteBoundary(p) || StartsWith(p, "<fn ") || p == "</fn>";
  };
  const auto indexBoundary = [&](std::string_view p) { return markerBoundary(p) || StartsWith(p, "<mk \""); };
  const auto internalForm = [](std::string_view p) { return "<:" + std::string(p.substr(1)); };
  ReferenceMove(pieces, "<fn ", "</fn>", footnoteBoundary,
                [](std::string_view p) { return "<:fn " + std::string(p.substr(4, p.size() - 5)) + ">"; });
  ReferenceMove(pieces, "<mk \"", "</mk>", markerBoundary, internalForm);
  ReferenceMove(pieces, "<imk ", "</imk>", indexBoundary, internalForm);

  // Conditions and text insets.
  std::vector<std::string> out;
  bool open = false;
  std::size_t insets = 0;
  for (const std::string& p : pieces) {
    if (StartsWith(p, "<:cns \"")) {
      if (open) out.push_back("<:/cns>");
      open = true;
    } else if (p == "<:/cns>") {
      if (!open) out.push_back("<:cns \"\" 0>");
      open = false;
    } else if (StartsWith(p, "<:ti ")) {
      ++insets;
    } else if (p == "<:/ti>" && insets > 0) {
      --insets;
    }
    out.push_back(p);
  }
  if (open || insets > 0) {
    std::vector<std::string> closing;
    std::size_t at = out.size();
    for (std::size_t k = out.size(); k-- > 0;) {
      if (out[k] == "</tr>") {
        at = k;
        break;
      }
    }
    if (at < out.size()) {
      closing.push_back("<ps \"\" 0>");
    } else if (!out.empty() && out.back() == "</kwx>") {
      at = out.size() - 1;
    }
    if (open) closing.push_back("<:/cns>");
    for (std::size_t i = 0; i < insets; ++i) closing.push_back("<:/ti>");
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), closing.begin(), closing.end());
  }
  pieces = out;

  // Character-format and font-change runs.
  out.clear();
  std::string run;  // the opening of the run in force; empty: none
  std::vector<std::string> saved;
  const auto close = [&] {
    if (run.empty()) return;
    if (!out.empty() && out.back() == run) {
      out.pop_back();
    } else {
      out.push_back(StartsWith(run, "<:fc ") ? "<:/fc>" : "<:/cs>");
    }
    run.clear();
  };
  for (const std::string& p : pieces) {
    if (StartsWith(p, "<:cs \"") || StartsWith(p, "<:fc ")) {
      close();
      run = p;
      out.push_back(p);
    } else if (p == "<:/cs>" || p == "<:/fc>") {
      close();
    } else if (IsExternal(p)) {
      const std::string interrupted = run;
      close();
      out.push_back(p);
      if (StartsWith(p, "<af ") || StartsWith(p, "<tb ")) {
        saved.push_back(interrupted);
      } else if ((p == "</af>" || p == "</tb>") && !saved.empty()) {
        run = saved.back();
        saved.pop_back();
        if (!run.empty()) out.push_back(run);
      }
    } else {
      out.push_back(p);
    }
  }
  close();
  pieces = out;
}

// Random lists of paragraphs, text, footnotes, markers and index markers
// (nested in each other too), condition, inset and run tags, frames,
// tables, cells and columns; each kind is left out of some lists.
class RandomPieces {
 public:
  explicit RandomPieces(unsigned seed) : m_random(seed) {}

  std::vector<std::string> List() {
    m_pieces.clear();
    m_leftOut = Pick(64);  // bits: kinds this list has none of
    const int paragraphs = Pick(12);
    for (int i = 0; i < paragraphs; ++i) Paragraph(0);
    if (Pick(2) == 0) m_pieces.push_back("</tr>");
    if (Pick(4) != 0) m_pieces.push_back("</kwx>");
    return m_pieces;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
  bool Has(int kind) const { return (m_leftOut & (1 << kind)) == 0; }
  std::string Number() { return std::to_string(Pick(5) + 1); }

  void Paragraph(int depth) {
    m_pieces.push_back("<ps \"Body\" " + Number() + ">");
    const int parts = Pick(8);
    for (int i = 0; i < parts; ++i) Part(depth);
  }

  void Part(int depth) {
    switch (Pick(16)) {
      case 0:
        if (Has(0) && depth < 2) Block("<fn " + Number() + ">", "</fn>", depth);
        break;
      case 1:
        if (Has(1) && depth < 2) Block("<mk \"Comment\" " + Number() + ">", "</mk>", depth);
        break;
      case 2:
        if (Has(2) && depth < 2) {
          m_pieces.push_back("<imk " + Number() + ">");
          m_pieces.push_back("a");
          m_pieces.push_back(Pick(2) ? "<il>" : "<ie>");
          m_pieces.push_back("b");
          m_pieces.push_back("</imk>");
        }
        break;
      case 3:
        if (Has(3)) m_pieces.push_back(Pick(2) ? "<:cns \"A\" " + Number() + ">" : "<:/cns>");
        break;
      case 4:
        if (Has(3)) m_pieces.push_back(Pick(2) ? "<:ti " + Number() + ">" : "<:/ti>");
        break;
      case 5:
        if (Has(4)) m_pieces.push_back("<:cs \"E\" " + Number() + ">");
        break;
      case 6:
        if (Has(4)) m_pieces.push_back("<:fc " + Number() + ">");
        break;
      case 7:
        if (Has(4)) m_pieces.push_back(Pick(2) ? "<:/cs>" : "<:/fc>");
        break;
      case 8:
        if (Has(5) && depth < 2) {
          const bool frame = Pick(2) == 0;
          m_pieces.push_back(frame ? "<af " + Number() + ">" : "<tb " + Number() + ">");
          if (!frame) m_pieces.push_back("<tbb>");
          Paragraph(depth + 1);
          if (!frame) m_pieces.push_back("</ct>");
          m_pieces.push_back(frame ? "</af>" : "</tb>");
        }
        break;
      case 9: m_pieces.push_back(Pick(2) ? "</tr>" : "<tr " + Number() + ">"); break;
      case 10: m_pieces.push_back(Pick(2) ? "</tbt>" : "<:xr \"X\" 1>"); break;
      default: m_pieces.push_back(Pick(3) ? "text" : "<ps \"Body\" " + Number() + ">"); break;
    }
  }

  void Block(const std::string& opening, const char* closing, int depth) {
    m_pieces.push_back(opening);
    if (opening[1] == 'f') m_pieces.push_back("<ps \"F\" 2>");
    const int parts = Pick(4);
    for (int i = 0; i < parts; ++i) Part(depth + 1);
    m_pieces.push_back(closing);
  }

  std::mt19937 m_random;
  int m_leftOut = 0;
  std::vector<std::string> m_pieces;
};

TEST(KWXPostProcessorTest, CompactStepsGiveThePieceByPieceResult) {
  RandomPieces random(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> pieces = random.List();
    std::vector<std::string> expect = pieces;
    ReferenceSteps(expect);
    CQ_KWXTagTables tags;
    CQ_KWXPostProcessor post(tags);
    std::vector<std::string> got = pieces;
    post.v_Run(got, false, false);
    ASSERT_EQ(Joined(expect), Joined(got)) << "round " << round << "\n  input: " << Joined(pieces);
  }
}

}  // namespace
