// The tag tables hold each text once and look fragments up in place: every
// entry must still answer after the tables grew through many rehashes,
// for fragments whose text the caller no longer holds, and when a tag that
// is already known arrives with another fragment.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/forward/KWXTagTables.h"

namespace {

TEST(KWXTagTablesStorageTest, EntriesAnswerAfterGrowthWhateverTheCallerKept) {
  CQ_KWXTagTables tables;
  std::vector<std::pair<std::string, std::string>> made;  // fragment, tag
  // Every request passes its fragment in the same buffer, overwritten for
  // the next: the tables must keep texts of their own.
  std::string buffer;
  for (int i = 0; i < 30000; ++i) {
    buffer = "<Para\n<PgfTag `F" + std::to_string(i % 9000) + "'>\n";
    const std::string tag(tables.sv_TagForFragment(KWX::NUMBERED_PS, "F", buffer));
    if (i < 9000) made.emplace_back("<Para\n<PgfTag `F" + std::to_string(i) + "'>\n", tag);
    if (i % 3 == 0) {
      const std::string marker = "<Marker\n<MText `m" + std::to_string(i) + "'>\n";
      const std::string mk(tables.sv_MakeNewTag(KWX::NUMBERED_MK, "Comment", marker));
      ASSERT_NE(tables.pcs_FindFragment(mk), nullptr);
      ASSERT_EQ(std::string_view(*tables.pcs_FindFragment(mk)), marker);
    }
  }
  buffer.assign(buffer.size(), '#');
  for (const auto& [fragment, tag] : made) {
    const std::string_view* found = tables.pcs_FindTag(KWX::NUMBERED_PS, fragment);
    ASSERT_NE(found, nullptr) << fragment;
    EXPECT_EQ(*found, tag);
    EXPECT_EQ(std::string_view(*tables.pcs_FindFragment(tag)), fragment);
    // The same text of another kind is another entry.
    EXPECT_EQ(tables.pcs_FindTag(KWX::NUMBERED_CS, fragment), nullptr);
  }
}

TEST(KWXTagTablesStorageTest, KnownTagWithAnotherFragment) {
  CQ_KWXTagTables tables;
  // A plain pair whose tag is known keeps the first fragment for the tag.
  EXPECT_TRUE(tables.b_Enter("<:/cs>", "<Font\n<FTag `'>\n> # end of Font\n"));
  EXPECT_FALSE(tables.b_Enter("<:/cs>", "<Font\n<FTag `'>\n<FLocked No>\n> # end of Font\n"));
  EXPECT_EQ(*tables.pcs_FindFragment("<:/cs>"), "<Font\n<FTag `'>\n> # end of Font\n");

  // The <:elf> counter restarts per list, so one tag can be made again for
  // another fragment: both fragments answer with it, the first one stays
  // the tag's.
  const std::string first(tables.sv_TagForFragment(KWX::NUMBERED_ELF, "T", "<ElementBegin\n<ETag `T'>\n"));
  tables.v_ResetElfCounter();
  const std::string second(tables.sv_TagForFragment(KWX::NUMBERED_ELF, "T", "<ElementBegin\n<ETag `T'>\n<X>\n"));
  EXPECT_EQ(first, second);
  EXPECT_EQ(*tables.pcs_FindTag(KWX::NUMBERED_ELF, "<ElementBegin\n<ETag `T'>\n<X>\n"), first);
  EXPECT_EQ(*tables.pcs_FindFragment(first), "<ElementBegin\n<ETag `T'>\n");

  // Markers take a new number each time, each tag keeps its fragment, and
  // a marker's fragment never answers with a tag (nothing reuses one).
  const std::string a(tables.sv_MakeNewTag(KWX::NUMBERED_MK, "Comment", "<Marker\n"));
  const std::string b(tables.sv_MakeNewTag(KWX::NUMBERED_MK, "Comment", "<Marker\n"));
  EXPECT_NE(a, b);
  EXPECT_EQ(*tables.pcs_FindFragment(a), "<Marker\n");
  EXPECT_EQ(*tables.pcs_FindFragment(b), "<Marker\n");
  EXPECT_EQ(tables.pcs_FindTag(KWX::NUMBERED_MK, "<Marker\n"), nullptr);

  tables.v_EmptyTables();
  EXPECT_EQ(tables.pcs_FindTag(KWX::NUMBERED_ELF, "<ElementBegin\n<ETag `T'>\n<X>\n"), nullptr);
  EXPECT_EQ(tables.n_TagCount(), 0u);
}

// The tag table handed over whole must hold exactly what a copy of it
// holds, stay whole after the tables are emptied, reset and destroyed
// (its region goes with the map), take entries of its own, and leave the
// tables empty with their counters going on.
TEST(KWXTagTablesStorageTest, TakenTagMapEqualsACopyAndOutlivesTheTables) {
  struct Row {
    KWX::ET_KWXNumberedTag kind;
    const char* name;
    bool reuse;  // sv_TagForFragment, else sv_MakeNewTag
  };
  const Row rows[] = {{KWX::NUMBERED_PS, "Body", true},       {KWX::NUMBERED_CS, "Emphasis", true},
                      {KWX::NUMBERED_MK, "Comment", false},   {KWX::NUMBERED_TS, "", false},
                      {KWX::NUMBERED_XR, "Heading", false},   {KWX::NUMBERED_ELF, "T", true}};
  std::shared_ptr<CQ_TagMap> taken;
  CQ_TagMap copy;
  std::string nextMarker;
  {
    CQ_KWXTagTables tables;
    tables.v_EnterFixedPairs();
    for (int i = 0; i < 4000; ++i) {
      const Row& row = rows[i % std::size(rows)];
      // Long fragments (past any in-place string buffer) and short ones.
      const std::string fragment = i % 2 ? "<X " + std::to_string(i % 700) + ">\n"
                                         : "<Para\n<PgfTag `" + std::string(40, 'a' + i % 26) + std::to_string(i) + "'>\n";
      if (row.reuse) {
        tables.sv_TagForFragment(row.kind, row.name, fragment);
      } else {
        tables.sv_MakeNewTag(row.kind, row.name, fragment);
      }
      if (i % 5 == 0) tables.b_Enter("<:fn " + std::to_string(i) + ">", fragment);
    }
    copy = tables.cco_CopyTagToFragment();
    const std::size_t count = tables.n_TagCount();
    const unsigned marker = tables.n_PeekCounter(KWX::rst_NumberedTagInfo(KWX::NUMBERED_MK).et_Counter);
    taken = tables.sp_TakeTagToFragment();
    ASSERT_EQ(taken->size(), count);
    EXPECT_EQ(tables.n_TagCount(), 0u);
    EXPECT_EQ(tables.pcs_FindFragment(taken->begin()->first), nullptr);
    // The counters go on: the next marker takes the next number, and the
    // tables work as fresh ones.
    nextMarker = std::string(tables.sv_MakeNewTag(KWX::NUMBERED_MK, "Comment", "<Marker\n"));
    EXPECT_NE(nextMarker.find(" " + std::to_string(marker) + ">"), std::string::npos) << nextMarker;
    EXPECT_EQ(taken->count(nextMarker), 0u);
    tables.v_Reset();
  }
  ASSERT_EQ(*taken, copy);
  for (const auto& [tag, fragment] : copy) {
    const auto found = taken->find(std::string_view(tag));
    ASSERT_NE(found, taken->end()) << tag;
    EXPECT_EQ(found->second, fragment) << tag;
  }
  // Entries added to the taken map live in its storage like the others.
  taken->try_emplace(CQ_TagText("<:added 1>", taken->get_allocator()), std::string(100, 'z'));
  EXPECT_EQ(taken->at("<:added 1>"), std::string_view(std::string(100, 'z')));
  EXPECT_EQ(taken->size(), copy.size() + 1);
}

}  // namespace
