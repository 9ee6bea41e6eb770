// The tag tables: two hash maps and the counters.
//
// The fragment table is keyed by the tag kind and the fragment together, so
// that identical MIF text requested for two kinds (an element range that
// becomes <:el> in one place and <:elf> in another) yields a tag of the
// kind asked for. The tag table keeps the first fragment entered for a tag;
// both tables view texts copied into the region they share.
#include "kernel/forward/KWXTagTables.h"

#include <cstdint>
#include <cstring>

CQ_KWXTagTables::st_KeyView CQ_KWXTagTables::sst_KeyView(int kind, std::string_view fragment) {
  return {static_cast<char>('A' + kind), fragment};
}

std::size_t CQ_KWXTagTables::st_KeyHash::operator()(const st_KeyView& key) const {
  // Fragments are whole MIF blocks, often a hundred bytes or more: they are
  // mixed in eight bytes at a time, each word folded in with one
  // multiplication, the last few bytes as one word more.
  constexpr std::uint64_t MIX = 0x9E3779B97F4A7C15ULL;
  const char* p = key.cs_Fragment.data();
  std::size_t n = key.cs_Fragment.size();
  std::uint64_t h = (n + static_cast<unsigned char>(key.c_Kind)) * MIX;
  for (; n >= 8; n -= 8, p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * MIX;
    h ^= h >> 29;
  }
  if (n > 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, n);
    h = (h ^ word) * MIX;
    h ^= h >> 29;
  }
  return static_cast<std::size_t>(h ^ (h >> 32));
}

std::string_view CQ_KWXTagTables::sv_Keep(std::string_view text) {
  if (text.empty()) return {};
  char* at = static_cast<char*>(m_pcoStore->m_coRegion.allocate(text.size(), 1));
  std::memcpy(at, text.data(), text.size());
  return {at, text.size()};
}

std::string_view CQ_KWXTagTables::sv_TagForFragment(KWX::ET_KWXNumberedTag kind, std::string_view name,
                                                    std::string_view fragment) {
  if (KWX::rst_NumberedTagInfo(kind).b_Reusable) {
    const auto& table = m_pcoStore->m_mapFragmentToTag;
    auto found = table.find(sst_KeyView(kind, fragment));
    if (found != table.end()) return found->second;
  }
  return sv_MakeAndEnter(kind, name, fragment);
}

std::string_view CQ_KWXTagTables::sv_MakeNewTag(KWX::ET_KWXNumberedTag kind, std::string_view name,
                                                std::string_view fragment) {
  return sv_MakeAndEnter(kind, name, fragment);
}

std::string_view CQ_KWXTagTables::sv_MakeAndEnter(KWX::ET_KWXNumberedTag kind, std::string_view name,
                                                  std::string_view fragment) {
  const KWX::st_NumberedTagInfo& info = KWX::rst_NumberedTagInfo(kind);
  KWX::v_WriteNumberedTag(m_strMade, kind, name, n_TakeNumber(info.et_Counter));
  const std::string& made = m_strMade;
  auto& tagTable = m_pcoStore->m_mapTagToFragment;
  auto& fragmentTable = m_pcoStore->m_mapFragmentToTag;
  // A numbered tag is nearly always new (only the <:elf> counter restarts),
  // so its key is made first and entered with one lookup.
  auto [entry, inserted] = tagTable.try_emplace(cs_Key(made), fragment);
  const std::string_view tag = entry->first;
  // Only reusable kinds are looked up by fragment: text lines and markers
  // always take a new tag, so their fragments need no entry.
  if (!info.b_Reusable) return tag;
  // The fragment table views the tag table's copy of the fragment, or a
  // copy of its own when the tag was known (its fragment may differ); an
  // entry already there for the fragment stays.
  const std::string_view kept = inserted ? std::string_view(entry->second) : sv_Keep(fragment);
  fragmentTable.try_emplace(sst_KeyView(kind, kept), tag);
  // Reuse answers with the first tag made for the fragment; a fresh tag of
  // a reusable kind made anyway (sv_MakeNewTag) is the new one.
  return tag;
}

const std::string_view* CQ_KWXTagTables::pcs_FindTag(KWX::ET_KWXNumberedTag kind, std::string_view fragment) const {
  const auto& table = m_pcoStore->m_mapFragmentToTag;
  auto found = table.find(sst_KeyView(kind, fragment));
  return found == table.end() ? nullptr : &found->second;
}

bool CQ_KWXTagTables::b_Enter(std::string_view tag, std::string_view fragment) {
  // Plain pairs are only ever looked up by their tag. The key is made
  // first so that a new tag is entered with one lookup; a tag entered again
  // (rare) leaves a long key's copy unused in the region.
  auto& tagTable = m_pcoStore->m_mapTagToFragment;
  return tagTable.try_emplace(cs_Key(tag), fragment).second;
}

void CQ_KWXTagTables::v_EnterFixedPairs() {
  for (const KWX::st_TagPair& pair : KWX::sast_FixedTagPairs()) {
    b_Enter(pair);
  }
}

std::array<std::string, 6> CQ_KWXTagTables::acs_EnterHeader(const KWX::st_HeaderSettings& settings) {
  KWX::st_HeaderSettings own = settings;
  own.i_FormatGeneration = m_iFormatGeneration;
  std::array<std::string, 6> lines;
  std::size_t i = 0;
  for (KWX::st_TagPair& pair : KWX::sast_MakeHeader(own)) {
    b_Enter(pair);
    lines[i++] = std::move(pair.cs_Tag);
  }
  return lines;
}

const CQ_TagText* CQ_KWXTagTables::pcs_FindFragment(std::string_view tag) const {
  const auto& table = m_pcoStore->m_mapTagToFragment;
  auto found = table.find(tag);
  return found == table.end() ? nullptr : &found->second;
}

CQ_TagMap CQ_KWXTagTables::cco_CopyTagToFragment() const {
  const auto& table = m_pcoStore->m_mapTagToFragment;
  CQ_TagMap copy;
  copy.reserve(table.size());
  for (const auto& [tag, fragment] : table) copy.emplace(tag, fragment);
  return copy;
}

std::shared_ptr<CQ_TagMap> CQ_KWXTagTables::sp_TakeTagToFragment() {
  // The map's owner is the whole store, so the region goes with the last
  // holder of the map.
  std::shared_ptr<st_Store> store = std::move(m_pcoStore);
  m_pcoStore = std::make_unique<st_Store>();
  return std::shared_ptr<CQ_TagMap>(store, &store->m_mapTagToFragment);
}

void CQ_KWXTagTables::v_EmptyTables() {
  // The tables go before the region their nodes live in.
  m_pcoStore.reset();
  m_pcoStore = std::make_unique<st_Store>();
}
void CQ_KWXTagTables::v_Reset() {
  v_EmptyTables();
  m_anCounters.fill(1);
  m_iFormatGeneration = KWX::FORMAT_GENERATION_CURRENT;
}
