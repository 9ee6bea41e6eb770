// The tag tables: the reuse rule, counters shared between kinds, the
// first-fragment-wins rule of plain pairs, emptying and resetting, and
// determinism over a long sequence of requests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/forward/KWXTagTables.h"

namespace {

using KWX::ET_KWXNumberedTag;

// One request of a converter: a kind, a name and a fragment.
struct Request {
  ET_KWXNumberedTag kind;
  const char* name;
  const char* fragment;
  const char* expect;
};

TEST(KWXTagTablesTest, ReuseRuleAndCounters) {
  const Request requests[] = {
      {KWX::NUMBERED_PS, "Body", "<Para\n<PgfTag `Body'>\n", "<ps \"Body\" 1>"},
      {KWX::NUMBERED_PS, "Body", "<Para\n<PgfTag `Body'>\n", "<ps \"Body\" 1>"},
      {KWX::NUMBERED_PS, "Body", "<Para\n<PgfTag `Body'>\n<PgfFIndent 1.0\">\n", "<ps \"Body\" 2>"},
      {KWX::NUMBERED_PS, "Head", "<Para\n<PgfTag `Head'>\n", "<ps \"Head\" 3>"},
      // A known fragment gives its tag whatever name is passed.
      {KWX::NUMBERED_PS, "Other", "<Para\n<PgfTag `Body'>\n", "<ps \"Body\" 1>"},
      // The first tag of each kind carries 1.
      {KWX::NUMBERED_CS, "Emphasis", "<Font\n<FTag `Emphasis'>\n> # end of Font\n", "<:cs \"Emphasis\" 1>"},
      {KWX::NUMBERED_FC, "", "<Font\n<FWeight `Bold'>\n> # end of Font\n", "<:fc 1>"},
      {KWX::NUMBERED_CNS, "Draft", "<Conditional\n<InCondition `Draft'>\n> # end of Conditional\n", "<:cns \"Draft\" 1>"},
      {KWX::NUMBERED_XR, "Page", "<XRef\n<XRefName `Page'>\n<XRefSrcText `a'>\n", "<:xr \"Page\" 1>"},
      {KWX::NUMBERED_XR, "Page", "<XRef\n<XRefName `Page'>\n<XRefSrcText `b'>\n", "<:xr \"Page\" 2>"},
      {KWX::NUMBERED_V, "Chapter", "<Variable\n<VariableName `Chapter'>\n", "<:v \"Chapter\" 1>"},
      {KWX::NUMBERED_PN, "1.", "<PgfNumString `1.'>\n", "<pn \"1.\" 1>"},
      {KWX::NUMBERED_TBT, "", "<TblTitle\n<TblTitleGap 6.0 pt>\n", "<tbt 1>"},
      {KWX::NUMBERED_TI, "", "<TextInset\n<TiSrcFile `a.txt'>\n", "<:ti 1>"},
      // Rows and hidden rows share one counter.
      {KWX::NUMBERED_ROW, "", "<Row\n<RowMaxHeight 14.0\">\n", "<row 1>"},
      {KWX::NUMBERED_HROW, "", "<Row\n<InCondition `Hidden'>\n> # end of Row\n", "<hrow 2>"},
      {KWX::NUMBERED_ROW, "", "<Row\n<RowMaxHeight 14.0\">\n", "<row 1>"},
      {KWX::NUMBERED_CT, "", "<Cell\n<CellContent\n", "<ct 1>"},
      {KWX::NUMBERED_CT, "", "<Cell\n<CellContent\n", "<ct 1>"},
      // Elements share one counter; the same fragment under another kind
      // is another tag.
      {KWX::NUMBERED_E, "Chapter", "<Element\n<ETag `Chapter'>\n", "<e \"Chapter\" 1>"},
      {KWX::NUMBERED_EL, "Title", "<ElementBegin\n<ETag `Title'>\n", "<:el \"Title\" 2>"},
      {KWX::NUMBERED_ELF, "Title", "<ElementBegin\n<ETag `Title'>\n", "<:elf \"Title\" 1>"},
      {KWX::NUMBERED_ELF, "Title", "<ElementBegin\n<ETag `Title'>\n", "<:elf \"Title\" 1>"},
      {KWX::NUMBERED_EL, "Title", "<ElementBegin\n<ETag `Title'>\n", "<:el \"Title\" 2>"},
      // Text lines and markers always take the next number.
      {KWX::NUMBERED_TS, "", "<TextLine\n", "<ts 1>"},
      {KWX::NUMBERED_TS, "", "<TextLine\n", "<ts 2>"},
      {KWX::NUMBERED_MK, "Comment", "<Marker\n<MType 3>\n", "<mk \"Comment\" 1>"},
      {KWX::NUMBERED_FMK1, "", "<Marker\n<MType 0>\n", "<:fmk1 2>"},
      {KWX::NUMBERED_HMK, "", "<Marker\n<MType 8>\n", "<:hmk 3>"},
      {KWX::NUMBERED_MK, "Comment", "<Marker\n<MType 3>\n", "<mk \"Comment\" 4>"},
      {KWX::NUMBERED_IMK, "", "<Marker\n<MType 2>\n", "<imk 1>"},
      {KWX::NUMBERED_IMK, "", "<Marker\n<MType 2>\n", "<imk 2>"},
      {KWX::NUMBERED_CRMK, "", "<Marker\n<MType 9>\n", "<:crmk 5>"},
      {KWX::NUMBERED_CNMK, "", "<Marker\n<MType 10>\n", "<:cnmk 6>"},
      {KWX::NUMBERED_FMK2, "", "<Marker\n<MType 1>\n", "<:fmk2 7>"},
  };
  CQ_KWXTagTables tables;
  for (const Request& r : requests) {
    const std::string tag(tables.sv_TagForFragment(r.kind, r.name, r.fragment));
    EXPECT_EQ(r.expect, tag) << "kind " << r.kind << ", fragment " << r.fragment;
    ASSERT_NE(nullptr, tables.pcs_FindFragment(tag)) << tag;
    // The tag stands for the first fragment it was made for.
    EXPECT_EQ(r.fragment, *tables.pcs_FindFragment(tag)) << tag;
  }
  EXPECT_EQ(4u, tables.n_PeekCounter(KWX::COUNTER_PARAGRAPHS));
  EXPECT_EQ(3u, tables.n_PeekCounter(KWX::COUNTER_TABLE_ROWS));
  EXPECT_EQ(8u, tables.n_PeekCounter(KWX::COUNTER_OTHER_MARKERS));
  EXPECT_EQ(3u, tables.n_PeekCounter(KWX::COUNTER_TEXT_LINES));
  EXPECT_EQ(2u, tables.n_PeekCounter(KWX::COUNTER_ELF));
  EXPECT_EQ(1u, tables.n_PeekCounter(KWX::COUNTER_TEXT_INSETS) - 1);

  // A fresh tag forced for a known fragment does not change what reuse
  // answers.
  EXPECT_EQ("<ps \"Body\" 4>", tables.sv_MakeNewTag(KWX::NUMBERED_PS, "Body", "<Para\n<PgfTag `Body'>\n"));
  EXPECT_EQ("<ps \"Body\" 1>", tables.sv_TagForFragment(KWX::NUMBERED_PS, "Body", "<Para\n<PgfTag `Body'>\n"));
  ASSERT_NE(nullptr, tables.pcs_FindTag(KWX::NUMBERED_CT, "<Cell\n<CellContent\n"));
  EXPECT_EQ("<ct 1>", *tables.pcs_FindTag(KWX::NUMBERED_CT, "<Cell\n<CellContent\n"));
  EXPECT_EQ(nullptr, tables.pcs_FindTag(KWX::NUMBERED_ROW, "<Cell\n<CellContent\n"));
}

TEST(KWXTagTablesTest, PlainPairsKeepTheirFirstFragment) {
  CQ_KWXTagTables tables;
  tables.v_EnterFixedPairs();
  ASSERT_NE(nullptr, tables.pcs_FindFragment("</ct>"));
  EXPECT_EQ("> # end of CellContent\n> # end of Cell\n", *tables.pcs_FindFragment("</ct>"));
  EXPECT_EQ("<Font\n<FTag `'>\n> # end of Font\n", *tables.pcs_FindFragment("<:/cs>"));
  // A font block with an empty FTag and more in it also gives <:/cs>; the
  // tag keeps standing for the empty block.
  EXPECT_FALSE(tables.b_Enter("<:/cs>", "<Font\n<FTag `'>\n<FWeight `Bold'>\n> # end of Font\n"));
  EXPECT_EQ("<Font\n<FTag `'>\n> # end of Font\n", *tables.pcs_FindFragment("<:/cs>"));
  EXPECT_TRUE(tables.b_Enter("<:fn 12>", "<FNote 12>\n"));
  EXPECT_EQ("<FNote 12>\n", *tables.pcs_FindFragment("<:fn 12>"));
  EXPECT_EQ(nullptr, tables.pcs_FindFragment("<:fn 13>"));
  EXPECT_EQ(21u, tables.n_TagCount());
}

TEST(KWXTagTablesTest, HeaderFollowsTheFormatGeneration) {
  KWX::st_HeaderSettings settings;
  settings.cs_SourceLanguage = "English (US)";
  settings.cs_SourcePath = "C:\\a.mif";
  settings.i_FormatGeneration = 0;  // ignored: the tables decide
  CQ_KWXTagTables tables;
  const auto lines = tables.acs_EnterHeader(settings);
  EXPECT_EQ("<kwx \"F3.00\">", lines[0]);
  EXPECT_EQ("<sourcepath \"C:\\a.mif\">", lines[5]);
  EXPECT_EQ("# File Converted by The Morvane for FrameMaker\n", *tables.pcs_FindFragment(lines[0]));
  EXPECT_EQ("# Source Path\n", *tables.pcs_FindFragment(lines[5]));

  CQ_KWXTagTables older;
  older.v_SetFormatGeneration(1);
  EXPECT_EQ("<kwx \"F3.xx\">", older.acs_EnterHeader(settings)[0]);
  EXPECT_NE(nullptr, older.pcs_FindFragment("<kwx \"F3.xx\">"));
  EXPECT_EQ(nullptr, older.pcs_FindFragment("<kwx \"F3.00\">"));
}

TEST(KWXTagTablesTest, EmptyingKeepsCountersAndResetRestarts) {
  CQ_KWXTagTables tables;
  const std::string fragment = "<Para\n<PgfTag `Body'>\n";
  EXPECT_EQ("<ps \"Body\" 1>", tables.sv_TagForFragment(KWX::NUMBERED_PS, "Body", fragment));
  EXPECT_EQ("<:elf \"T\" 1>", tables.sv_TagForFragment(KWX::NUMBERED_ELF, "T", "a"));
  tables.v_EmptyTables();
  EXPECT_EQ(nullptr, tables.pcs_FindFragment("<ps \"Body\" 1>"));
  EXPECT_EQ(0u, tables.n_TagCount());
  // Numbers never repeat within one file.
  EXPECT_EQ("<ps \"Body\" 2>", tables.sv_TagForFragment(KWX::NUMBERED_PS, "Body", fragment));
  // The <:elf> counter restarts for each line list.
  tables.v_ResetElfCounter();
  EXPECT_EQ("<:elf \"T\" 1>", tables.sv_TagForFragment(KWX::NUMBERED_ELF, "T", "b"));
  EXPECT_EQ(3u, tables.n_PeekCounter(KWX::COUNTER_PARAGRAPHS));
  tables.v_SetFormatGeneration(1);
  tables.v_Reset();
  EXPECT_EQ(KWX::FORMAT_GENERATION_CURRENT, tables.i_GetFormatGeneration());
  EXPECT_EQ("<ps \"Body\" 1>", tables.sv_TagForFragment(KWX::NUMBERED_PS, "Body", fragment));
  for (int c = 0; c < KWX::COUNTER_ALL_COUNT; ++c) {
    EXPECT_EQ(c == KWX::COUNTER_PARAGRAPHS ? 2u : 1u, tables.n_PeekCounter(static_cast<KWX::ET_KWXCounter>(c)));
  }
}

// The same requests give the same tags: what back conversion relies on
// when it converts the ORG copy again. Many paragraphs, some repeated.
TEST(KWXTagTablesTest, DeterministicOverManyRequests) {
  auto run = [] {
    CQ_KWXTagTables tables;
    std::vector<std::string> tags;
    for (int i = 0; i < 20000; ++i) {
      const int format = (i * 7919) % 1500;  // repeats formats in a scattered order
      const std::string fragment = "<Para\n<PgfTag `F" + std::to_string(format) + "'>\n";
      tags.emplace_back(tables.sv_TagForFragment(KWX::NUMBERED_PS, "F" + std::to_string(format), fragment));
      if (i % 10 == 0) tags.emplace_back(tables.sv_MakeNewTag(KWX::NUMBERED_TS, "", "<TextLine\n"));
    }
    return std::make_pair(tags, tables.n_PeekCounter(KWX::COUNTER_PARAGRAPHS));
  };
  const auto first = run();
  const auto second = run();
  EXPECT_EQ(first.first, second.first);
  // One number per distinct format.
  EXPECT_EQ(1501u, first.second);
}

}  // namespace
