// The tag tables: two hash maps and the counters.
//
// The fragment table is keyed by the tag kind and the fragment together, so
// that identical MIF text requested for two kinds (an element range that
// becomes <:el> in one place and <:elf> in another) yields a tag of the
// kind asked for. The tag table keeps the first fragment entered for a tag
// and owns the texts; the fragment table views them.
#include "kernel/forward/KWXTagTables.h"

namespace {

// Kind code of plain pairs in the fragment table.
constexpr int kPlainKind = KWX::NUMBERED_KIND_COUNT;

}  // namespace

CQ_KWXTagTables::st_KeyView CQ_KWXTagTables::sst_KeyView(int kind, std::string_view fragment) {
  return {static_cast<char>('A' + kind), fragment};
}

std::size_t CQ_KWXTagTables::st_KeyHash::operator()(const st_KeyView& key) const {
  return std::hash<std::string_view>{}(key.cs_Fragment) * 31u + static_cast<unsigned char>(key.c_Kind);
}

std::string_view CQ_KWXTagTables::cs_KeepFragment(const std::string* entered, std::string_view fragment) {
  if (entered) return *entered;
  return m_dqKeptFragments.emplace_back(fragment);
}

const std::string& CQ_KWXTagTables::rcs_TagForFragment(KWX::ET_KWXNumberedTag kind, std::string_view name,
                                                       const std::string& fragment) {
  if (KWX::rst_NumberedTagInfo(kind).b_Reusable) {
    auto found = m_mapFragmentToTag.find(sst_KeyView(kind, fragment));
    if (found != m_mapFragmentToTag.end()) {
      return *found->second;
    }
  }
  return rcs_MakeAndEnter(kind, name, fragment);
}

std::string CQ_KWXTagTables::ccs_MakeNewTag(KWX::ET_KWXNumberedTag kind, std::string_view name,
                                            const std::string& fragment) {
  return rcs_MakeAndEnter(kind, name, fragment);
}

const std::string& CQ_KWXTagTables::rcs_MakeAndEnter(KWX::ET_KWXNumberedTag kind, std::string_view name,
                                                     const std::string& fragment) {
  const KWX::st_NumberedTagInfo& info = KWX::rst_NumberedTagInfo(kind);
  const auto [entry, inserted] =
      m_mapTagToFragment.try_emplace(KWX::ccs_MakeNumberedTag(kind, name, n_TakeNumber(info.et_Counter)), fragment);
  const std::string& tag = entry->first;
  auto found = m_mapFragmentToTag.find(sst_KeyView(kind, fragment));
  if (found == m_mapFragmentToTag.end()) {
    m_mapFragmentToTag.emplace(sst_KeyView(kind, cs_KeepFragment(inserted ? &entry->second : nullptr, fragment)),
                               &tag);
  } else if (!info.b_Reusable) {
    // Text lines and markers: the fragment table answers with the latest.
    found->second = &tag;
  }
  // Reuse answers with the first tag made for the fragment; a fresh tag of
  // a reusable kind made anyway (ccs_MakeNewTag) is the new one.
  return tag;
}

const std::string* CQ_KWXTagTables::pcs_FindTag(KWX::ET_KWXNumberedTag kind, const std::string& fragment) const {
  auto found = m_mapFragmentToTag.find(sst_KeyView(kind, fragment));
  return found == m_mapFragmentToTag.end() ? nullptr : found->second;
}

bool CQ_KWXTagTables::b_Enter(std::string_view tag, std::string_view fragment) {
  const auto [entry, inserted] = m_mapTagToFragment.try_emplace(std::string(tag), fragment);
  if (m_mapFragmentToTag.find(sst_KeyView(kPlainKind, fragment)) == m_mapFragmentToTag.end()) {
    m_mapFragmentToTag.emplace(sst_KeyView(kPlainKind, cs_KeepFragment(inserted ? &entry->second : nullptr, fragment)),
                               &entry->first);
  }
  return inserted;
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

const std::string* CQ_KWXTagTables::pcs_FindFragment(std::string_view tag) const {
  // Heterogeneous lookup is not available for unordered_map<std::string>
  // in this standard library; one temporary string per lookup is cheap.
  auto found = m_mapTagToFragment.find(std::string(tag));
  return found == m_mapTagToFragment.end() ? nullptr : &found->second;
}

void CQ_KWXTagTables::v_EmptyTables() {
  m_mapFragmentToTag.clear();
  m_dqKeptFragments.clear();
  m_mapTagToFragment.clear();
}

void CQ_KWXTagTables::v_Reset() {
  v_EmptyTables();
  m_anCounters.fill(1);
  m_iFormatGeneration = KWX::FORMAT_GENERATION_CURRENT;
}
