// The two tag tables of one converted file and its tag counters.
//
// Every tag a converter writes stands for one fragment of MIF text (its
// counterpart). The tables map fragment to tag and tag to fragment; the
// fifteen counters number the tags of each kind. Numbering is
// deterministic: the same sequence of requests gives the same tags, which
// is what lets back conversion and the verifier rebuild the tables from the
// ORG copy. Both tables are hash maps, so a request costs time linear in
// the fragment's length whatever the size of the document.
//
// Storage: every text the tables keep (tags and fragments) is copied once
// into a region owned by the tables, and the hash-map nodes come from the
// same region; entries are never removed one by one, so nothing is freed
// until the tables are emptied, and emptying them releases the region in a
// few large blocks rather than a heap block per text. The tag table is a
// CQ_TagMap in that region: back conversion takes it over with the region
// (sp_TakeTagToFragment) instead of copying every fragment.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>

#include "System/Export.h"
#include "System/Platform/LargeMemory.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/session/TagMap.h"

class OSTRAKON_API CQ_KWXTagTables {
 public:
  // Empty tables, every counter at 1, the current format generation.
  CQ_KWXTagTables() { v_Reset(); }
  // The fragment table points into the tag table: the tables are not
  // copied.
  CQ_KWXTagTables(const CQ_KWXTagTables&) = delete;
  CQ_KWXTagTables& operator=(const CQ_KWXTagTables&) = delete;

  // --- numbered tags ---------------------------------------------------------

  // The tag for a fragment of a reusable kind (NUMBERED_PS to NUMBERED_TI):
  // the tag already made for the same kind and fragment, or else a new tag
  // from name and the next value of the kind's counter, entered in both
  // tables. name must already be KWX text; it is not read when the fragment
  // is known. For the other kinds this behaves like ccs_MakeNewTag.
  // The view stays valid until the tables are emptied or destroyed.
  std::string_view sv_TagForFragment(KWX::ET_KWXNumberedTag kind, std::string_view name, std::string_view fragment);

  // A new tag of any numbered kind with the next counter value, entered in
  // the tag table, and in the fragment table for a reusable kind whose
  // fragment has no tag yet (text lines and markers always take a new
  // number, since their fragments hold their own text, and are never looked
  // up by fragment). Valid like sv_TagForFragment.
  std::string_view sv_MakeNewTag(KWX::ET_KWXNumberedTag kind, std::string_view name, std::string_view fragment);

  // The tag already made for a fragment of a reusable kind, or null (always
  // null for the other kinds). The pointer
  // and the text it shows stay valid until the tables are emptied.
  const std::string_view* pcs_FindTag(KWX::ET_KWXNumberedTag kind, std::string_view fragment) const;

  // --- plain pairs -------------------------------------------------------------

  // Enters a pair whose tag is not numbered by the tables: header lines,
  // fixed pairs, identifier tags (<tr ID>, <:fn ID>), placeholders, the
  // external forms of element tags, in the tag table only (they are looked
  // up by tag). The entry is made only when the tag is unknown (the first fragment of a tag wins: <:/cs>
  // keeps its empty font block although other blocks also give <:/cs>).
  // Returns true when the tag was unknown.
  bool b_Enter(std::string_view tag, std::string_view fragment);
  bool b_Enter(const KWX::st_TagPair& pair) { return b_Enter(pair.cs_Tag, pair.cs_MIF); }

  // Enters the fixed pairs (KWX::sast_FixedTagPairs).
  void v_EnterFixedPairs();
  // Room for about `tags` entries in each table, made once.
  void v_Reserve(std::size_t tags) {
    m_pcoStore->m_mapFragmentToTag.reserve(tags);
    m_pcoStore->m_mapTagToFragment.reserve(tags);
  }

  // Makes the six header lines, enters them with their counterparts and
  // returns them in file order. The first line follows the tables' format
  // generation, whatever settings.i_FormatGeneration says.
  std::array<std::string, 6> acs_EnterHeader(const KWX::st_HeaderSettings& settings);

  // --- lookups -----------------------------------------------------------------

  // The fragment a tag stands for, or null (valid like pcs_FindTag).
  const CQ_TagText* pcs_FindFragment(std::string_view tag) const;
  // A copy of the whole tag-to-fragment table on the heap.
  CQ_TagMap cco_CopyTagToFragment() const;
  // The tag-to-fragment table itself, handed over with the region its
  // nodes and texts live in (entries added to it later go there too). The
  // tables are empty afterwards, as after v_EmptyTables; the counters go on.
  std::shared_ptr<CQ_TagMap> sp_TakeTagToFragment();
  std::size_t n_TagCount() const { return m_pcoStore->m_mapTagToFragment.size(); }

  // --- counters ----------------------------------------------------------------

  // The value the next tag of the counter will take (1 for a fresh counter).
  unsigned n_PeekCounter(KWX::ET_KWXCounter counter) const { return m_anCounters.at(counter); }
  // Returns the counter's value and increments it.
  unsigned n_TakeNumber(KWX::ET_KWXCounter counter) { return m_anCounters.at(counter)++; }
  // Restarts the <:elf> counter at 1; called before each line list is
  // post-processed.
  void v_ResetElfCounter() { m_anCounters[KWX::COUNTER_ELF] = 1; }

  // --- format generation -------------------------------------------------------

  // 2 = "F3.00" (the current generation); any other value makes the header
  // tag <kwx "F3.xx">.
  int i_GetFormatGeneration() const { return m_iFormatGeneration; }
  void v_SetFormatGeneration(int generation) { m_iFormatGeneration = generation; }

  // --- lifecycle ---------------------------------------------------------------

  // Empties both tables; the counters go on (so tags made afterwards never
  // repeat a number of the same file).
  void v_EmptyTables();
  // Empties both tables and sets every counter to 1.
  void v_Reset();

 private:
  // Key of the fragment table: the kind's code and the fragment, so that
  // equal fragments of different kinds never share a tag.
  struct st_KeyView {
    char c_Kind;
    std::string_view cs_Fragment;
    bool operator==(const st_KeyView& other) const {
      return c_Kind == other.c_Kind && cs_Fragment == other.cs_Fragment;
    }
  };
  struct st_KeyHash {
    std::size_t operator()(const st_KeyView& key) const;
  };
  static st_KeyView sst_KeyView(int kind, std::string_view fragment);
  // Makes a tag with the next number and enters it in both tables.
  std::string_view sv_MakeAndEnter(KWX::ET_KWXNumberedTag kind, std::string_view name, std::string_view fragment);
  // A copy of text in the tables' region.
  std::string_view sv_Keep(std::string_view text);
  // A tag as a key of the tag table, its text in the region.
  CQ_TagText cs_Key(std::string_view tag) const {
    return CQ_TagText(tag, m_pcoStore->m_mapTagToFragment.get_allocator());
  }

  // The region and the two tables whose nodes and texts live in it. The
  // tables are declared after the region, so they go first. The fragment
  // table's keys view the tag table's fragments (nodes never move).
  struct st_Store {
    std::pmr::monotonic_buffer_resource m_coRegion{std::size_t(1) << 16, Platform::LargeResource()};
    std::pmr::unordered_map<st_KeyView, std::string_view, st_KeyHash> m_mapFragmentToTag{&m_coRegion};
    CQ_TagMap m_mapTagToFragment{&m_coRegion};
  };
  std::unique_ptr<st_Store> m_pcoStore;
  std::array<unsigned, KWX::COUNTER_ALL_COUNT> m_anCounters{};
  std::string m_strMade;  // room for the tag being made
  int m_iFormatGeneration = KWX::FORMAT_GENERATION_CURRENT;
};
