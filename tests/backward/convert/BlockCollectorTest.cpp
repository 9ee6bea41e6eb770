// Tokens and blocks of a translated file: exploding lines, moving markers
// to their placeholders, collecting blocks, and the codes for malformed
// lists.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/backward/KWXSegmenter.h"
#include "kernel/backward/MIFBlockBuilder.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/session/ResultCodes.h"

namespace {

using Tokens = CQ_KWXTokens;

// Lines in a string list, in compact form and in a vector give the same
// tokens, from the first line asked for.
TEST(Explode, EveryFormOfLinesGivesTheSameTokens) {
  const std::vector<std::string> lines = {"<kwx \"F3.00\">", "<#ps \"x\" 1>abc<:t>d", "", "<:cs \"a<:lt>b\" 2>e",
                                          "plain text"};
  KWX::CQ_KWXLines compact;
  for (const std::string& l : lines) compact.v_Add(l);
  const std::deque<std::string> list(lines.begin(), lines.end());
  for (std::size_t first : {0u, 1u, 3u}) {
    Tokens fromVector;
    KWXBack::sv_Explode(lines, first, fromVector);
    Tokens fromCompact;
    KWXBack::sv_ExplodeLines(compact, first, fromCompact);
    Tokens fromList;
    KWXBack::sv_ExplodeList(list, first, fromList);
    EXPECT_EQ(fromCompact, fromVector);
    EXPECT_EQ(fromList, fromVector);
    EXPECT_FALSE(fromVector.empty());
    // Lines held as one text, exploded into views of it.
    const KWX::CQ_KWXText held(lines);
    st_KWXTokenViews fromHeld;
    KWXBack::sv_Explode(held, first, fromHeld);
    EXPECT_EQ(Tokens(fromHeld.asv_Tokens.begin(), fromHeld.asv_Tokens.end()), fromVector);
  }
  Tokens unclosed;
  KWX::CQ_KWXLines broken;
  broken.v_Add("text <:cs \"open");
  EXPECT_THROW(KWXBack::sv_ExplodeLines(broken, 0, unclosed), int);
}

TEST(Explode, CutsTagsAndTextAndDropsTheHashOfAddedTags) {
  Tokens tokens;
  KWXBack::sv_Explode({"<#ps \"x\" 1>abc<:t>d", "<:cs \"a<:lt>b\" 2>e"}, 0, tokens);
  EXPECT_EQ(tokens, (Tokens{"<ps \"x\" 1>", "abc", "<:t>", "d", "<:cs \"a<:lt>b\" 2>", "e"}));
  Tokens more;
  EXPECT_THROW(
      {
        try {
          KWXBack::sv_Explode({"<ps \"x\" 1>ok", "text <:cs \"open"}, 0, more);
        } catch (int code) {
          EXPECT_EQ(code, Result::DAMAGED);
          throw;
        }
      },
      int);
}

struct MoveRow {
  const char* name;
  Tokens in;
  Tokens out;
};

class MoveMarkersTest : public ::testing::TestWithParam<MoveRow> {};

TEST_P(MoveMarkersTest, BlocksGoToTheirPlaceholders) {
  Tokens tokens = GetParam().in;
  KWXBack::sv_MoveMarkers(tokens);
  EXPECT_EQ(tokens, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoveMarkersTest,
    ::testing::Values(
        MoveRow{"marker",
                {"<ps \"B\" 1>", "a", "<:mk \"Comment\" 1>", "b", "<mk \"Comment\" 1>", "t", "</mk>", "</tr>"},
                {"<ps \"B\" 1>", "a", "<mk \"Comment\" 1>", "t", "</mk>", "b", "</tr>"}},
        MoveRow{"index_markers_in_order",
                {"<:imk 2>", "x", "<:imk 1>", "<imk 2>", "two", "</imk>", "<imk 1>", "one", "<il>", "l", "</imk>"},
                {"<imk 2>", "two", "</imk>", "x", "<imk 1>", "one", "<il>", "l", "</imk>"}},
        MoveRow{"placeholder_deleted_block_stays",
                {"a", "<mk \"Author\" 3>", "me", "</mk>", "b"},
                {"a", "<mk \"Author\" 3>", "me", "</mk>", "b"}},
        MoveRow{"block_deleted_placeholder_goes", {"a", "<:mk \"Author\" 3>", "b"}, {"a", "b"}}),
    [](const ::testing::TestParamInfo<MoveRow>& info) { return std::string(info.param.name); });

// The order markers are moved to, found the plain way: every token looked
// at in both walks, a block matched to its placeholder through sets. The
// indices of the tokens in their new order.
std::vector<std::size_t> ReferenceMarkerOrder(const Tokens& tokens) {
  const auto isOpening = [](const std::string& t) { return t.rfind("<mk ", 0) == 0 || t.rfind("<imk ", 0) == 0; };
  const auto isPlaceholder = [](const std::string& t) { return t.rfind("<:mk ", 0) == 0 || t.rfind("<:imk ", 0) == 0; };
  std::map<std::string, std::pair<std::size_t, std::size_t>> blocks;  // key -> [begin, end)
  std::set<std::string> placeholders;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    if (isOpening(tokens[k])) {
      const std::string close = tokens[k][1] == 'm' ? "</mk>" : "</imk>";
      std::size_t j = k + 1;
      while (j < tokens.size() && tokens[j] != close) ++j;
      if (j == tokens.size()) throw Result::DAMAGED;
      blocks.emplace(tokens[k].substr(1), std::make_pair(k, j + 1));
      k = j;
    } else if (isPlaceholder(tokens[k])) {
      placeholders.insert(tokens[k].substr(2));
    }
  }
  std::vector<std::size_t> out;
  const auto take = [&out](std::size_t begin, std::size_t end) {
    for (std::size_t k = begin; k < end; ++k) out.push_back(k);
  };
  if (placeholders.empty()) {
    take(0, tokens.size());
    return out;
  }
  std::set<std::string> placed;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const std::string& t = tokens[k];
    if (isOpening(t)) {
      const auto it = blocks.find(t.substr(1));
      if (it != blocks.end() && it->second.first == k) {
        if (!placeholders.count(t.substr(1))) take(k, it->second.second);
        k = it->second.second - 1;
        continue;
      }
    } else if (isPlaceholder(t)) {
      const auto it = blocks.find(t.substr(2));
      if (it != blocks.end() && placed.insert(t.substr(2)).second) take(it->second.first, it->second.second);
      continue;
    }
    take(k, k + 1);
  }
  return out;
}

// Lists drawn from markers, placeholders (some twice, some without their
// block), blocks with one key twice, placeholders inside blocks, and text:
// the list moved as views (given, or exploded from lines) matches the
// plain way, or both raise the code of a block without its end. Moved as strings it matches too, where no token
// is taken twice (a block whose placeholder stands inside a block placed
// before it is; its strings are moved on their first taking).
TEST(MoveMarkers, MatchesThePlainWayOnDrawnLists) {
  const std::vector<std::string> pieces = {
      "<:mk \"A\" 1>", "<mk \"A\" 1>", "</mk>", "<:imk 1>", "<imk 1>", "</imk>", "<:imk 2>", "<imk 2>",
      "<il>",          "<ie>",         "text",  "more",     "<ps \"B\" 1>", "<:cs \"E\" 1>", "<:imk 3>", "<m>"};
  std::mt19937 draw(20261209);
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    Tokens tokens;
    const std::size_t length = draw() % 24;
    for (std::size_t k = 0; k < length; ++k) tokens.push_back(pieces[draw() % pieces.size()]);
    SCOPED_TRACE(::testing::PrintToString(tokens));
    std::vector<std::size_t> order;
    try {
      order = ReferenceMarkerOrder(tokens);
    } catch (int code) {
      EXPECT_EQ(code, Result::DAMAGED);
      Tokens owned = tokens;
      EXPECT_THROW(KWXBack::sv_MoveMarkers(owned), int);
      continue;
    }
    Tokens expected;
    for (std::size_t k : order) expected.push_back(tokens[k]);
    if (std::set<std::size_t>(order.begin(), order.end()).size() == order.size()) {
      Tokens owned = tokens;
      KWXBack::sv_MoveMarkers(owned);
      EXPECT_EQ(owned, expected);
    }
    st_KWXTokenViews views;
    views.asv_Tokens.assign(tokens.begin(), tokens.end());
    KWXBack::sv_MoveMarkers(views);
    EXPECT_EQ(Tokens(views.asv_Tokens.begin(), views.asv_Tokens.end()), expected);
    // Exploded from lines (a token a line, after a first line exploded on
    // its own).
    st_KWXTokenViews exploded;
    const std::vector<std::string> head = {"<tr 1>"};
    KWXBack::sv_Explode(head, 0, exploded);
    KWXBack::sv_Explode(tokens, 0, exploded);
    KWXBack::sv_MoveMarkers(exploded);
    Tokens headed = {"<tr 1>"};
    headed.insert(headed.end(), expected.begin(), expected.end());
    EXPECT_EQ(Tokens(exploded.asv_Tokens.begin(), exploded.asv_Tokens.end()), headed);
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

TEST(MoveMarkers, BlockWithoutItsEndIsCode6) {
  Tokens tokens = {"<:imk 1>", "<imk 1>", "text"};
  try {
    KWXBack::sv_MoveMarkers(tokens);
    FAIL() << "no code raised";
  } catch (int code) {
    EXPECT_EQ(code, Result::DAMAGED);
  }
}

TEST(Collect, NestedBlocksAreFiledOnTheirOwn) {
  const Tokens tokens = {"<page \"1\">", "<tr 5>",   "<ps \"B\" 1>", "a", "<:fn 7>", "<fn 7>", "<ps \"F\" 2>", "n",
                         "</fn>",        "<tb 3>",   "<tbb>",        "<row 1>", "<ct 1>", "<ps \"B\" 1>", "c", "</ct>",
                         "</row>",       "</tbb>",   "</tb>",        "<af 9>", "<tr 6>", "<ps \"B\" 1>", "f", "</tr>",
                         "</af>",        "</tr>",    "<ts 1>",       "</ts>",  "<tr 5>", "<ps \"B\" 1>", "dup", "</tr>",
                         "</page>"};
  CQ_KWXBlockCollector c;
  c.v_Collect(tokens);
  const CQ_KWXBlock* tr = c.pcco_Find(CQ_KWXBlockCollector::BLOCK_TR, "5");
  ASSERT_NE(tr, nullptr);
  EXPECT_EQ(*tr, (CQ_KWXBlock{"<tr 5>", "<ps \"B\" 1>", "a", "<:fn 7>", "<tb 3>", "<af 9>", "<tr 6>", "</af>", "</tr>"}));
  ASSERT_NE(c.pcco_Find(CQ_KWXBlockCollector::BLOCK_TR, "6"), nullptr);
  EXPECT_EQ(c.pcco_Find(CQ_KWXBlockCollector::BLOCK_FN, "7")->size(), 4u);
  EXPECT_EQ(c.pcco_Find(CQ_KWXBlockCollector::BLOCK_TB, "3")->front(), "<tb 3>");
  EXPECT_NE(c.pcco_Find(CQ_KWXBlockCollector::BLOCK_TS, "1"), nullptr);
  EXPECT_EQ(c.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TS, "1"), nullptr);  // emptied
  EXPECT_TRUE(c.b_HasFootnoteAnchor("7"));
  EXPECT_FALSE(c.b_UsesVarnelFonts());

  const auto paragraphs = CQ_MIFBlockBuilder::sast_SplitParagraphs(*tr, 1, tr->size() - 1);
  ASSERT_EQ(paragraphs.size(), 1u);
  EXPECT_EQ(paragraphs[0], std::make_pair(std::size_t{1}, tr->size() - 1));
}

// An index answers every question the MIF pass asks of the source lists
// as the full collection does: which blocks exist, which hold content,
// markers, run tags, footnote anchors and fonts.
TEST(Collect, IndexAnswersAsTheFullCollection) {
  const std::vector<Tokens> lists = {
      {"<page \"1\">", "<tr 5>", "<ps \"B\" 1>", "a", "<:fn 7>", "<fn 7>", "<ps \"F\" 2>", "n", "</fn>", "<tb 3>",
       "<tbb>", "<row 1>", "<ct 1>", "<ps \"B\" 1>", "c", "</ct>", "</row>", "</tbb>", "</tb>", "<af 9>", "<tr 6>",
       "<ps \"B\" 1>", "f", "</tr>", "</af>", "</tr>", "<ts 1>", "</ts>", "<tr 5>", "<ps \"B\" 1>", "dup", "</tr>",
       "</page>"},
      // Blank content, a block holding only a footnote, a nested opening as
      // the only content, internal tags, markers and run tags.
      {"<ts 2>", " ", "\t", "</ts>", "<ts 3>", "", " ", "x", "</ts>", "<ts 4>", "<:t>", "</ts>", "<tr 8>", "<fn 9>",
       "<ps \"F\" 1>", "</fn>", "</tr>", "<tr 10>", "<tb 11>", "</tb>", "</tr>", "<tr 12>", "<ps \"B\" 1>",
       "<:cs \"E\" 3>", "y", "<:/cs>", "<:b>", "<mk \"T\" 4>", "m", "</mk>", "<:fn 13>", "</tr>"},
  };
  const char* ids[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"};
  for (std::size_t l = 0; l < lists.size(); ++l) {
    SCOPED_TRACE(l);
    CQ_KWXBlockCollector full;
    full.v_Collect(lists[l]);
    CQ_KWXBlockCollector index;
    index.v_CollectIndex(lists[l]);
    for (int kind = 0; kind < CQ_KWXBlockCollector::BLOCK_KIND_COUNT; ++kind) {
      const auto k = static_cast<CQ_KWXBlockCollector::ET_BlockKind>(kind);
      EXPECT_EQ(index.n_Count(k), full.n_Count(k));
      for (const char* id : ids) {
        SCOPED_TRACE(std::string(id) + " of kind " + std::to_string(kind));
        EXPECT_EQ(index.b_Has(k, id), full.b_Has(k, id));
        EXPECT_EQ(index.pcco_FindContent(k, id) != nullptr, full.pcco_FindContent(k, id) != nullptr);
        if (full.b_Has(k, id)) {
          EXPECT_EQ(index.pcco_Find(k, id)->front(), full.pcco_Find(k, id)->front());
          EXPECT_EQ(index.pcco_Find(k, id)->back(), full.pcco_Find(k, id)->back());
        }
      }
    }
    for (const char* marker : {"<mk \"T\" 4>", "<mk \"T\" 5>"}) {
      ASSERT_EQ(index.pcco_FindMarker(marker) != nullptr, full.pcco_FindMarker(marker) != nullptr);
      if (full.pcco_FindMarker(marker)) {
        EXPECT_EQ(*index.pcco_FindMarker(marker), *full.pcco_FindMarker(marker));
      }
    }
    EXPECT_EQ(index.b_UsesRunTag("<:cs \"E\" 3>"), full.b_UsesRunTag("<:cs \"E\" 3>"));
    EXPECT_EQ(index.b_HasFootnoteAnchor("13"), full.b_HasFootnoteAnchor("13"));
    EXPECT_EQ(index.b_HasFootnoteAnchor("7"), full.b_HasFootnoteAnchor("7"));
    EXPECT_EQ(index.b_UsesVarnelFonts(), full.b_UsesVarnelFonts());
  }
  // The second list's blocks, as they are known to be.
  CQ_KWXBlockCollector index;
  index.v_CollectIndex(lists[1]);
  EXPECT_EQ(index.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TS, "2"), nullptr);
  EXPECT_NE(index.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TS, "3"), nullptr);
  EXPECT_NE(index.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TS, "4"), nullptr);
  EXPECT_EQ(index.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TR, "8"), nullptr);
  EXPECT_NE(index.pcco_FindContent(CQ_KWXBlockCollector::BLOCK_TR, "10"), nullptr);
  EXPECT_TRUE(index.b_UsesVarnelFonts());
}

// The view pipeline (explode into views, move markers, collect) files the
// same blocks as the pipeline of owning strings, on lists that hold added
// tags, markers with and without placeholders, nested blocks and blanks.
TEST(TokenViews, FileTheSameBlocksAsOwningTokens) {
  const std::vector<std::vector<std::string>> files = {
      {"<kwx \"F3.00\">", "<page \"1\">", "<tr 5>",
       "<ps \"B\" 1><:imk 2>a<:cs \"E\" 3>b<:/cs><:mk \"T\" 4>c<:fn 7>", "<imk 2>x", "<ie>y", "</imk>",
       "<mk \"T\" 4>m", "</mk>", "<fn 7>", "<ps \"F\" 2>note", "</fn>", "<#ps \"B\" 9>added<:b>bold<:/b>",
       "<tb 3>", "<tbb>", "<row 1>", "<ct 1>", "<ps \"B\" 1>c", "</ct>", "</row>", "</tbb>", "</tb>",
       "<mk \"Author\" 8>kept", "</mk>", "</tr>", "<ts 1>  ", "</ts>", "<tr 6><:imk 9>", "</tr>", "</page>"},
      // Placeholders whose blocks were deleted, a block used twice, no
      // placeholder at all.
      {"<tr 1>", "<ps \"B\" 1><:imk 5>a<:mk \"T\" 6>", "<mk \"T\" 7>t", "</mk>", "<mk \"T\" 7>u", "</mk>",
       "<:fc 2>b<:/fc>", "</tr>"},
      {"<tr 2>", "<ps \"B\" 1>plain", "<ts 4>", "<:t>", "</ts>", "</tr>"},
  };
  const char* ids[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
  for (std::size_t f = 0; f < files.size(); ++f) {
    SCOPED_TRACE(f);
    Tokens owned;
    KWXBack::sv_Explode(files[f], 1, owned);
    st_KWXTokenViews views;
    KWXBack::sv_Explode(files[f], 1, views);
    ASSERT_EQ(views.asv_Tokens.size(), owned.size());
    for (std::size_t k = 0; k < owned.size(); ++k) EXPECT_EQ(views.asv_Tokens[k], owned[k]);

    KWXBack::sv_MoveMarkers(owned);
    KWXBack::sv_MoveMarkers(views);
    ASSERT_EQ(views.asv_Tokens.size(), owned.size());
    for (std::size_t k = 0; k < owned.size(); ++k) EXPECT_EQ(views.asv_Tokens[k], owned[k]) << k;

    KWX::CQ_KWXLines compact;
    for (const std::string& line : files[f]) compact.v_Add(line);
    st_KWXTokenViews compactViews;
    KWXBack::sv_ExplodeLines(compact, 1, compactViews);
    KWXBack::sv_MoveMarkers(compactViews);
    EXPECT_EQ(compactViews.asv_Tokens, views.asv_Tokens);

    CQ_KWXBlockCollector fromStrings;
    fromStrings.v_Collect(owned);
    CQ_KWXBlockCollector fromViews;
    fromViews.v_Collect(views);
    // Tokens handed over are moved into their blocks; a nested block's
    // opening, which also stays in the block around it, is not lost.
    CQ_KWXBlockCollector fromMoved;
    fromMoved.v_Collect(Tokens(owned));
    CQ_KWXBlockCollector indexFromStrings;
    indexFromStrings.v_CollectIndex(owned);
    CQ_KWXBlockCollector indexFromViews;
    indexFromViews.v_CollectIndex(compactViews);
    for (int kind = 0; kind < CQ_KWXBlockCollector::BLOCK_KIND_COUNT; ++kind) {
      const auto k = static_cast<CQ_KWXBlockCollector::ET_BlockKind>(kind);
      EXPECT_EQ(fromViews.n_Count(k), fromStrings.n_Count(k));
      EXPECT_EQ(indexFromViews.n_Count(k), indexFromStrings.n_Count(k));
      for (const char* id : ids) {
        SCOPED_TRACE(std::string(id) + " of kind " + std::to_string(kind));
        const CQ_KWXBlock* a = fromStrings.pcco_Find(k, id);
        const CQ_KWXBlock* b = fromViews.pcco_Find(k, id);
        const CQ_KWXBlock* m = fromMoved.pcco_Find(k, id);
        ASSERT_EQ(a != nullptr, b != nullptr);
        ASSERT_EQ(a != nullptr, m != nullptr);
        if (a) {
          EXPECT_EQ(*a, *b);
          EXPECT_EQ(*a, *m);
        }
        const CQ_KWXBlock* c = indexFromStrings.pcco_Find(k, id);
        const CQ_KWXBlock* d = indexFromViews.pcco_Find(k, id);
        ASSERT_EQ(c != nullptr, d != nullptr);
        if (c) {
          EXPECT_EQ(*c, *d);
        }
      }
    }
    for (const char* marker : {"<mk \"T\" 4>", "<mk \"T\" 7>", "<mk \"Author\" 8>", "<imk 2>", "<imk 5>"}) {
      const CQ_KWXBlock* a = fromStrings.pcco_FindMarker(marker);
      const CQ_KWXBlock* b = fromViews.pcco_FindMarker(marker);
      ASSERT_EQ(a != nullptr, b != nullptr) << marker;
      if (a) {
        EXPECT_EQ(*a, *b);
      }
    }
    for (const char* tag : {"<:cs \"E\" 3>", "<:fc 2>", "<:fc 1>"}) {
      EXPECT_EQ(fromViews.b_UsesRunTag(tag), fromStrings.b_UsesRunTag(tag)) << tag;
      EXPECT_EQ(indexFromViews.b_UsesRunTag(tag), fromStrings.b_UsesRunTag(tag)) << tag;
    }
    for (const char* id : ids) EXPECT_EQ(fromViews.b_HasFootnoteAnchor(id), fromStrings.b_HasFootnoteAnchor(id));
    EXPECT_EQ(fromViews.b_UsesVarnelFonts(), fromStrings.b_UsesVarnelFonts());
  }
}

// The rewritten tags of "<#...>" stay valid when the views move.
TEST(TokenViews, RewrittenTagsSurviveAMove) {
  // The views of text point into the lines, which must outlive them.
  const std::vector<std::string> lines = {"<#ps \"x\" 1>abc", "<#pn \"1.\" 2>", "<#ps \"y\" 3>d"};
  st_KWXTokenViews views;
  KWXBack::sv_Explode(lines, 0, views);
  const st_KWXTokenViews moved = std::move(views);
  EXPECT_EQ(moved.asv_Tokens, (std::vector<std::string_view>{"<ps \"x\" 1>", "abc", "<pn \"1.\" 2>",
                                                             "<ps \"y\" 3>", "d"}));
  EXPECT_EQ(moved.lst_Rewritten.size(), 3u);
}

TEST(Collect, ListEndingInsideABlockIsCode8) {
  CQ_KWXBlockCollector c;
  try {
    c.v_Collect({"<tr 1>", "<ps \"B\" 1>", "text"});
    FAIL() << "no code raised";
  } catch (int code) {
    EXPECT_EQ(code, Result::UNEXPECTED_END);
  }
}

TEST(SplitParagraphs, DummyParagraphEndsTheListAndFramesArePassedOver) {
  const Tokens t = {"<tr 1>", "x", "<ps \"A\" 1>", "a", "<af 2>", "<ps \"I\" 9>", "</af>", "<ps \"B\" 2>", "b",
                    "<ps \"\" 0>", "<:/cns>", "</tr>"};
  const auto p = CQ_MIFBlockBuilder::sast_SplitParagraphs(KWXBack::sco_Views(t), 1, t.size() - 1);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0], std::make_pair(std::size_t{1}, std::size_t{7}));  // the text before joins the first
  EXPECT_EQ(p[1], std::make_pair(std::size_t{7}, std::size_t{9}));
}

}  // namespace
