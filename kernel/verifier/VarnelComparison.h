// The comparison of a source KWX file with its translated version: which
// external tags were deleted, added or changed, and which internal tags
// were deleted or added inside the external segments that still match.
//
// The comparison works on a verifier that has checked both files
// (CQ_VarnelVerifier::b_CheckSource, then b_CheckTarget) and files its
// findings as report entries of sections 13 to 17 on that verifier:
//   13  the external tag counts that differ (informational lines),
//   14  external tags added with the "<#...>" form (warning 1402),
//   15  the walk over both external tag lists (1510-1515),
//   16  the internal tag counts that differ (informational lines),
//   17  internal tags compared within matched segments (1703-1710).
// Section 17 needs the matches of section 15, so v_CompareExternalTags
// must run before v_CompareInternalTags; v_Run keeps that order. Every
// pass is linear in the size of the files (the walk's look-ahead is
// bounded by the difference in tag counts).
#pragma once

#include <cstddef>
#include <vector>

#include "System/Export.h"
#include "kernel/verifier/VarnelVerifier.h"

class OSTRAKON_API CQ_VarnelComparison {
 public:
  // More consecutive changed pairs than this, with as many tags on both
  // sides, end the walk: the files are then taken as too different to
  // compare further.
  static constexpr unsigned MAX_CONSECUTIVE_CHANGES = 15;

  // verifier: checked in verification mode; not owned, must outlive this.
  explicit CQ_VarnelComparison(CQ_VarnelVerifier& verifier);

  // Sections 13 to 17 in order.
  void v_Run();

  // Section 13: one line per external tag whose counts differ.
  void v_ReportExternalTagCounts();
  // Section 14: warning 1402 for every target segment added with "<#...>".
  void v_ReportAddedExternalTags();
  // Section 15: walks both external tag lists, marks matched segments
  // (flag SEGMENT_FLAG_MATCHED: 1 matched, 2 reported) and numbers them.
  void v_CompareExternalTags();
  // Section 16: one line per internal tag whose counts differ.
  void v_ReportInternalTagCounts();
  // Section 17: internal tags within matched segments.
  void v_CompareInternalTags();

  // True when section 15 gave up after too many consecutive changes.
  bool b_WalkStopped() const { return m_bWalkStopped; }
  // For each segment, the 1-based number of its match among matched
  // segments (source and target agree), 0 when it was not matched.
  const std::vector<unsigned>& rco_SourceMatchNumbers() const { return m_vecSourceNumber; }
  const std::vector<unsigned>& rco_TargetMatchNumbers() const { return m_vecTargetNumber; }

 private:
  // Entries of the comparison's sections.
  void v_AddLine(int section, std::string text);
  void v_AddSegmentEntry(int section, int message, std::string text, std::string key, int file,
                         std::size_t segment);
  void v_AddPairEntry(int section, int message, std::string text, std::string key, std::size_t source,
                      std::size_t target);
  void v_ReportDeletedSource(std::size_t source);
  void v_ReportAddedTarget(std::size_t target);
  void v_ReportChanged(std::size_t source, std::size_t target);
  void v_ReportTagCounts(int section, bool internal);
  // An internal tag deleted from (or added to) a matched segment pair.
  void v_ReportInternal(bool added, const st_InternalTag& tag);

  CQ_VarnelVerifier& m_rcoVerifier;
  std::vector<unsigned> m_vecSourceNumber;
  std::vector<unsigned> m_vecTargetNumber;
  // Segment index of each match number (index 0 unused).
  std::vector<std::size_t> m_vecSourceOfNumber;
  std::vector<std::size_t> m_vecTargetOfNumber;
  bool m_bWalkStopped = false;
};
