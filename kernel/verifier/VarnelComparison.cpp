// Sections 13 to 17. The external walk looks ahead for a tag through a
// per-tag index of positions (binary search), so a target that lost or
// gained many tags costs no more than one that matches; internal tags are
// matched group by group (one group per matched segment number) through a
// map from tag text to the group's unmatched positions.
#include "kernel/verifier/VarnelComparison.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "kernel/session/KernelStrings.h"
#include "kernel/verifier/VarnelMessages.h"

namespace {

enum : unsigned { NOTE_ADDED_WITH_SYNTAX = Msg::REPORT_NOTE_ADDED_WITH_SYNTAX };

// Informational lines of the comparison (no severity, no running number).
constexpr const char* EXTERNAL_DELETED = "%d occurrence(s) of the external tag %s deleted.";
constexpr const char* UNKNOWN_EXTERNAL_DELETED = "%d occurrence(s) of the unknown external tag %s deleted.";
constexpr const char* EXTERNAL_ADDED = "%d occurrence(s) of the external tag %s added without using the <#...> syntax.";
constexpr const char* INTERNAL_DELETED = "%d occurrence(s) of the internal tag %s deleted.";
constexpr const char* UNKNOWN_INTERNAL_DELETED = "%d occurrence(s) of the unknown internal tag %s deleted.";
constexpr const char* INTERNAL_ADDED = "%d occurrence(s) of the internal tag %s added.";
constexpr const char* UNKNOWN_INTERNAL_ADDED = "%d occurrence(s) of the unknown internal tag %s added.";
constexpr const char* COUNTS_DIFFER_1 = "There are %d external tag(s) in the source file and %d in the translated file ";
constexpr const char* COUNTS_DIFFER_2 =
    "(not including tags in the translated file that have been added using the <#...> syntax).\n";
constexpr const char* ASSUMING_DELETED = "Assuming %d external tag(s) deleted, none added.\n";
constexpr const char* ASSUMING_ADDED = "Assuming %d external tag(s) added (not using the <#...> syntax), none deleted.\n";
constexpr const char* WALK_STOPPED_1 = "\nThe files could not be fully compared.";
constexpr const char* WALK_STOPPED_2 =
    "If you intentionally changed the order of some external tags, and there are no Errors reported, you can "
    "ignore this message.\n";
constexpr const char* DELETED_AT_END = "External tags deleted at the end of the translated file.";
constexpr const char* ADDED_AT_END = "External tags added at the end of the translated file.";
constexpr const char* ALL_INTERNAL_ADDED = "All internal tags have been added.\n";
constexpr const char* ALL_INTERNAL_DELETED = "All internal tags have been deleted.\n";

enum : int {
  SECTION_EXTERNAL_COUNTS = 13,
  SECTION_ADDED_EXTERNAL = 14,
  SECTION_EXTERNAL_WALK = 15,
  SECTION_INTERNAL_COUNTS = 16,
  SECTION_INTERNAL_WALK = 17,
};

enum : unsigned char { FLAG_MATCHED = 1, FLAG_REPORTED = 2 };

bool IsAdded(const KWX::st_TagSegment& segment) {
  return segment.i_Category == KWX::CATEGORY_ADDED_KNOWN || segment.i_Category == KWX::CATEGORY_ADDED ||
         segment.i_Category == KWX::CATEGORY_ADDED_UNKNOWN;
}


// Where each tag text occurs in a list of segments (positions increasing).
class PositionIndex {
 public:
  void Add(std::string_view tag, std::size_t position) { m_map[tag].push_back(position); }
  // The first position of tag in (from, limit], or 0 when there is none.
  std::size_t Next(std::string_view tag, std::size_t from, std::size_t limit) const {
    const auto it = m_map.find(tag);
    if (it == m_map.end()) return 0;
    const auto at = std::upper_bound(it->second.begin(), it->second.end(), from);
    return at != it->second.end() && *at <= limit ? *at : 0;
  }

 private:
  std::unordered_map<std::string_view, std::vector<std::size_t>> m_map;
};

}  // namespace

CQ_VarnelComparison::CQ_VarnelComparison(CQ_VarnelVerifier& verifier) : m_rcoVerifier(verifier) {}

void CQ_VarnelComparison::v_Run() {
  CQ_Morvane_Communication& session = m_rcoVerifier.rco_Session();
  v_ReportExternalTagCounts();
  v_ReportAddedExternalTags();
  session.v_UpdateUI();
  v_CompareExternalTags();
  session.v_UpdateUI();
  v_ReportInternalTagCounts();
  v_CompareInternalTags();
  session.v_UpdateUI();
}

// --- entries ---------------------------------------------------------------------------

void CQ_VarnelComparison::v_AddLine(int section, std::string text) {
  st_VarnelReportEntry entry;
  entry.co_Record = CQ_Morvane_ErrorMessage(Varnel::TYPE_NONE, std::move(text), std::string());
  entry.i_Section = section;
  m_rcoVerifier.v_AddEntry(std::move(entry));
}

void CQ_VarnelComparison::v_AddSegmentEntry(int section, int message, std::string text, std::string key, int file,
                                            std::size_t segment) {
  m_rcoVerifier.v_AddSegmentEntry(section, file, message, segment, std::move(key), std::move(text));
}

void CQ_VarnelComparison::v_AddPairEntry(int section, int message, std::string text, std::string key,
                                         std::size_t source, std::size_t target) {
  const KWX::st_TagSegment& s = m_rcoVerifier.rco_SourceSegments()[source];
  const KWX::st_TagSegment& t = m_rcoVerifier.rco_TargetSegments()[target];
  st_VarnelReportEntry entry;
  entry.co_Record = CQ_Morvane_ErrorMessage(Varnel::i_MessageType(message), std::move(text), std::move(key));
  entry.co_Record.v_AddReference(CQ_VarnelVerifier::FILE_SOURCE, s.n_Line);
  entry.co_Record.v_AddReference(CQ_VarnelVerifier::FILE_TARGET, t.n_Line);
  entry.i_Message = message;
  entry.i_Section = section;
  entry.b_Numbered = true;
  entry.i_Context = st_VarnelReportEntry::CONTEXT_PAIR;
  entry.cs_Context = m_rcoVerifier.co_SegmentText(CQ_VarnelVerifier::FILE_SOURCE, source);
  entry.cs_TargetContext = m_rcoVerifier.co_SegmentText(CQ_VarnelVerifier::FILE_TARGET, target);
  m_rcoVerifier.v_AddEntry(std::move(entry));
}

void CQ_VarnelComparison::v_ReportDeletedSource(std::size_t source) {
  KWX::st_TagSegment& s = m_rcoVerifier.rco_SourceSegments()[source];
  s.an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED] = FLAG_REPORTED;
  int message = 1513;
  switch (s.i_Category) {
    case KWX::CATEGORY_WARNING: message = 1510; break;
    case KWX::CATEGORY_ALERT: message = 1511; break;
    case KWX::CATEGORY_ERROR: message = 1512; break;
    default: break;
  }
  v_AddSegmentEntry(SECTION_EXTERNAL_WALK, message, Varnel::ccs_FormatMessage(message, std::string(s.cs_Tag).c_str()),
                    m_rcoVerifier.vcs_SuppressionKey(s.cs_Tag), CQ_VarnelVerifier::FILE_SOURCE, source);
}

void CQ_VarnelComparison::v_ReportAddedTarget(std::size_t target) {
  KWX::st_TagSegment& t = m_rcoVerifier.rco_TargetSegments()[target];
  t.an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED] = FLAG_REPORTED;
  v_AddSegmentEntry(SECTION_EXTERNAL_WALK, 1514, Varnel::ccs_FormatMessage(1514, std::string(t.cs_Tag).c_str()),
                    m_rcoVerifier.vcs_SuppressionKey(t.cs_Tag), CQ_VarnelVerifier::FILE_TARGET, target);
}

void CQ_VarnelComparison::v_ReportChanged(std::size_t source, std::size_t target) {
  KWX::st_TagSegment& s = m_rcoVerifier.rco_SourceSegments()[source];
  KWX::st_TagSegment& t = m_rcoVerifier.rco_TargetSegments()[target];
  s.an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED] = FLAG_REPORTED;
  t.an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED] = FLAG_REPORTED;
  v_AddPairEntry(SECTION_EXTERNAL_WALK, 1515, Varnel::ccs_FormatMessage(1515, std::string(s.cs_Tag).c_str(), std::string(t.cs_Tag).c_str()),
                 m_rcoVerifier.vcs_SuppressionKey(s.cs_Tag), source, target);
}

// --- sections 13 and 16 -------------------------------------------------------------------

void CQ_VarnelComparison::v_ReportTagCounts(int section, bool internal) {
  for (const st_TagCounter& counter : m_rcoVerifier.rco_TagCounters().rco_Records()) {
    if (counter.b_Internal != internal || counter.i_Difference == 0) continue;
    const bool unknown = counter.i_Category == (internal ? KWX::CATEGORY_UNKNOWN_INTERNAL : KWX::CATEGORY_UNKNOWN_EXTERNAL);
    const char* format = nullptr;
    if (counter.i_Difference > 0) {
      if (internal) {
        format = unknown ? UNKNOWN_INTERNAL_DELETED : INTERNAL_DELETED;
      } else {
        format = unknown ? UNKNOWN_EXTERNAL_DELETED : EXTERNAL_DELETED;
      }
    } else if (internal) {
      format = unknown ? UNKNOWN_INTERNAL_ADDED : INTERNAL_ADDED;
    } else {
      format = EXTERNAL_ADDED;
    }
    const int count = counter.i_Difference > 0 ? counter.i_Difference : -counter.i_Difference;
    v_AddLine(section, ccs_Format(format, count, counter.cs_Tag.c_str()));
  }
}

void CQ_VarnelComparison::v_ReportExternalTagCounts() { v_ReportTagCounts(SECTION_EXTERNAL_COUNTS, false); }

void CQ_VarnelComparison::v_ReportInternalTagCounts() { v_ReportTagCounts(SECTION_INTERNAL_COUNTS, true); }

// --- section 14 ----------------------------------------------------------------------------

void CQ_VarnelComparison::v_ReportAddedExternalTags() {
  const KWX::CQ_TagSegmentList& targets = m_rcoVerifier.rco_TargetSegments();
  for (std::size_t j = 0; j < targets.size(); ++j) {
    if (!IsAdded(targets[j])) continue;
    const std::string plain = CQ_VarnelVerifier::scs_WithoutAddMark(targets[j].cs_Tag);
    v_AddSegmentEntry(SECTION_ADDED_EXTERNAL, 1402, Varnel::ccs_FormatMessage(1402, plain.c_str()),
                      m_rcoVerifier.vcs_SuppressionKey(plain), CQ_VarnelVerifier::FILE_TARGET, j);
  }
}

// --- section 15 ----------------------------------------------------------------------------

void CQ_VarnelComparison::v_CompareExternalTags() {
  KWX::CQ_TagSegmentList& sources = m_rcoVerifier.rco_SourceSegments();
  KWX::CQ_TagSegmentList& targets = m_rcoVerifier.rco_TargetSegments();
  m_vecSourceNumber.assign(sources.size(), 0);
  m_vecTargetNumber.assign(targets.size(), 0);
  m_vecSourceOfNumber.assign(1, 0);
  m_vecTargetOfNumber.assign(1, 0);
  m_bWalkStopped = false;

  // The target segments that take part: all but those added with "<#...>".
  std::vector<std::size_t> compared;
  compared.reserve(targets.size());
  unsigned addedWithSyntax = 0;
  for (std::size_t j = 0; j < targets.size(); ++j) {
    if (IsAdded(targets[j])) {
      ++addedWithSyntax;
    } else {
      compared.push_back(j);
    }
  }
  const std::size_t sourceCount = sources.size();
  const std::size_t targetCount = compared.size();
  long difference = static_cast<long>(sourceCount) - static_cast<long>(targetCount);

  if (addedWithSyntax > 0) {
    v_AddLine(SECTION_EXTERNAL_WALK, ccs_FormatKernelString(NOTE_ADDED_WITH_SYNTAX, static_cast<int>(addedWithSyntax)));
  }
  if (difference != 0) {
    v_AddLine(SECTION_EXTERNAL_WALK,
              ccs_Format(COUNTS_DIFFER_1, static_cast<int>(sourceCount), static_cast<int>(targetCount)));
    v_AddLine(SECTION_EXTERNAL_WALK, COUNTS_DIFFER_2);
    v_AddLine(SECTION_EXTERNAL_WALK, difference > 0 ? ccs_Format(ASSUMING_DELETED, static_cast<int>(difference))
                                                    : ccs_Format(ASSUMING_ADDED, static_cast<int>(-difference)));
  }

  // Look-ahead indexes, only needed when the counts differ.
  PositionIndex sourceIndex;
  PositionIndex targetIndex;
  if (difference > 0) {
    for (std::size_t i = 0; i < sourceCount; ++i) sourceIndex.Add(sources[i].cs_Tag, i);
  } else if (difference < 0) {
    for (std::size_t k = 0; k < targetCount; ++k) targetIndex.Add(targets[compared[k]].cs_Tag, k);
  }

  std::size_t i = 0;  // next source segment
  std::size_t k = 0;  // next compared target segment
  unsigned changes = 0;
  while (i < sourceCount && k < targetCount) {
    const std::size_t j = compared[k];
    if (sources[i].cs_Tag == targets[j].cs_Tag) {
      const unsigned number = static_cast<unsigned>(m_vecSourceOfNumber.size());
      m_vecSourceNumber[i] = number;
      m_vecTargetNumber[j] = number;
      m_vecSourceOfNumber.push_back(i);
      m_vecTargetOfNumber.push_back(j);
      sources[i].an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED] = FLAG_MATCHED;
      targets[j].an_Flags[CQ_VarnelVerifier::SEGMENT_FLAG_MATCHED] = FLAG_MATCHED;
      ++i;
      ++k;
      changes = 0;
      continue;
    }
    if (difference < 0) {
      // Tags were added: is the source tag further down the target?
      const std::size_t at = targetIndex.Next(sources[i].cs_Tag, k, k + static_cast<std::size_t>(-difference));
      if (at != 0) {
        difference += static_cast<long>(at - k);
        for (; k < at; ++k) v_ReportAddedTarget(compared[k]);
        continue;
      }
    } else if (difference > 0) {
      // Tags were deleted: is the target tag further down the source?
      const std::size_t at = sourceIndex.Next(targets[j].cs_Tag, i, i + static_cast<std::size_t>(difference));
      if (at != 0) {
        difference -= static_cast<long>(at - i);
        for (; i < at; ++i) v_ReportDeletedSource(i);
        continue;
      }
    }
    v_ReportChanged(i, j);
    ++i;
    ++k;
    if (++changes > MAX_CONSECUTIVE_CHANGES && difference == 0) {
      v_AddLine(SECTION_EXTERNAL_WALK, WALK_STOPPED_1);
      v_AddLine(SECTION_EXTERNAL_WALK, WALK_STOPPED_2);
      m_bWalkStopped = true;
      return;
    }
  }
  if (i < sourceCount) {
    v_AddLine(SECTION_EXTERNAL_WALK, DELETED_AT_END);
    for (; i < sourceCount; ++i) v_ReportDeletedSource(i);
  } else if (k < targetCount) {
    v_AddLine(SECTION_EXTERNAL_WALK, ADDED_AT_END);
    for (; k < targetCount; ++k) v_ReportAddedTarget(compared[k]);
  }
}

// --- section 17 ----------------------------------------------------------------------------

void CQ_VarnelComparison::v_ReportInternal(bool added, const st_InternalTag& tag) {
  int message = added ? 1710 : 1706;
  switch (tag.i_Category) {
    case KWX::CATEGORY_WARNING: message = added ? 1707 : 1703; break;
    case KWX::CATEGORY_ALERT: message = added ? 1708 : 1704; break;
    case KWX::CATEGORY_ERROR: message = added ? 1709 : 1705; break;
    default: break;
  }
  std::string text = Varnel::ccs_FormatMessage(message, std::string(tag.cs_Tag).c_str());
  std::string key = m_rcoVerifier.vcs_SuppressionKey(tag.cs_Tag);
  if (tag.n_Number == 0) {
    // A tag of a segment added with "<#...>": it has no source segment.
    v_AddSegmentEntry(SECTION_INTERNAL_WALK, message, std::move(text), std::move(key), CQ_VarnelVerifier::FILE_TARGET,
                      tag.n_Segment);
    return;
  }
  const std::size_t source = added ? m_vecSourceOfNumber[tag.n_Number] : tag.n_Segment;
  const std::size_t target = added ? tag.n_Segment : m_vecTargetOfNumber[tag.n_Number];
  v_AddPairEntry(SECTION_INTERNAL_WALK, message, std::move(text), std::move(key), source, target);
}

void CQ_VarnelComparison::v_CompareInternalTags() {
  const KWX::CQ_TagSegmentList& targets = m_rcoVerifier.rco_TargetSegments();
  CQ_InternalTagList& sourceTags = m_rcoVerifier.rco_SourceInternalTags();
  CQ_InternalTagList& targetTags = m_rcoVerifier.rco_TargetInternalTags();

  // The tags that take part, in file order, with the number of their
  // matched segment. Tags of segments added with "<#...>" take part as
  // tags that are always added; they carry the order key of the matched
  // segment before them so that they are reported in file order.
  struct Item {
    st_InternalTag* tag;
    unsigned order;
    bool alwaysAdded;
  };
  std::vector<Item> source;
  std::vector<Item> target;
  for (st_InternalTag& tag : sourceTags) {
    tag.b_Matched = false;
    tag.n_Number = tag.n_Segment < m_vecSourceNumber.size() ? m_vecSourceNumber[tag.n_Segment] : 0;
    if (tag.n_Number != 0) source.push_back({&tag, tag.n_Number, false});
  }
  unsigned lastNumber = 0;
  std::size_t lastSegment = 0;
  for (st_InternalTag& tag : targetTags) {
    tag.b_Matched = false;
    tag.n_Number = tag.n_Segment < m_vecTargetNumber.size() ? m_vecTargetNumber[tag.n_Segment] : 0;
    // The last matched segment at or before this tag's segment.
    for (; lastSegment <= tag.n_Segment && lastSegment < m_vecTargetNumber.size(); ++lastSegment) {
      if (m_vecTargetNumber[lastSegment] != 0) lastNumber = m_vecTargetNumber[lastSegment];
    }
    if (tag.n_Number != 0) {
      target.push_back({&tag, tag.n_Number, false});
    } else if (IsAdded(targets[tag.n_Segment])) {
      target.push_back({&tag, lastNumber, true});
    }
  }

  if (source.empty() && target.empty()) return;
  if (source.empty()) v_AddLine(SECTION_INTERNAL_WALK, ALL_INTERNAL_ADDED);
  if (target.empty()) v_AddLine(SECTION_INTERNAL_WALK, ALL_INTERNAL_DELETED);

  std::size_t cursor = 0;  // first target item not yet passed
  std::size_t s = 0;
  std::unordered_map<std::string_view, std::deque<std::size_t>> group;
  while (s < source.size()) {
    const unsigned number = source[s].order;
    // Unmatched target tags of earlier segments were added.
    for (; cursor < target.size() && target[cursor].order < number; ++cursor) {
      if (!target[cursor].tag->b_Matched) v_ReportInternal(true, *target[cursor].tag);
    }
    group.clear();
    for (std::size_t t = cursor; t < target.size() && target[t].order == number; ++t) {
      if (!target[t].alwaysAdded) group[target[t].tag->cs_Tag].push_back(t);
    }
    for (; s < source.size() && source[s].order == number; ++s) {
      const auto it = group.find(source[s].tag->cs_Tag);
      if (it != group.end() && !it->second.empty()) {
        target[it->second.front()].tag->b_Matched = true;
        source[s].tag->b_Matched = true;
        it->second.pop_front();
      } else {
        v_ReportInternal(false, *source[s].tag);
      }
    }
  }
  for (; cursor < target.size(); ++cursor) {
    if (!target[cursor].tag->b_Matched) v_ReportInternal(true, *target[cursor].tag);
  }
}
