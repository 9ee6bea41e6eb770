// The verifier of FrameMaker KWX files: the tag rules of the FrameMaker
// tag vocabulary (validity, positioning and structure of external and
// internal tags) over the state that CQ_VarnelVerifier keeps.
//
// Rules follow what forward conversion writes, so that a forward-converted
// file verifies clean against itself: format and marker texts treat
// unnumbered character formats as switches, text strings may carry
// numbered character formats, an index marker's own segment is its first
// entry, frames may stand in frames and master pages in ancillary file
// sections, and footnote prefix and suffix blocks may hold special
// characters.
#pragma once

#include <cstddef>
#include <vector>

#include "System/Export.h"
#include "kernel/verifier/VarnelVerifier.h"

class OSTRAKON_API CQ_FrameVarnelVerifier : public CQ_VarnelVerifier {
 public:
  // document: true for a document, false for an ancillary file or section.
  CQ_FrameVarnelVerifier(CQ_Morvane_Communication& session, bool document);
  ~CQ_FrameVarnelVerifier() override;

  void vv_SeedTagCounters() override;
  void vv_CheckSourceInternalValidity() override;
  void vv_CheckTargetValidity() override;
  void vv_CheckTargetValidityBackwards() override;
  void vv_CheckExternalPositioning() override;
  void vv_CheckExternalStructure() override;
  void vv_CheckInternalPositioning() override;
  void vv_CheckInternalStructure() override;

 private:
  // The rule tag id of every segment of the current file, worked out once
  // per file after its tags were checked for validity (which settles the
  // category of the tags a translator added) and kept for the sections
  // after it.
  const std::vector<int>& rco_RuleTagIds();

  std::vector<int> m_vecRuleIds;
  int m_iRuleIdsFile = 0;  // 0: not made
  std::size_t m_nRuleIdsGeneration = 0;
};
