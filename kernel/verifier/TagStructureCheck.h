// The structure check of external tags (errors 401 to 411).
//
// A stack of open structures (text boxes, text strings, frames, pages,
// tables and their parts, footnotes, markers, index markers, ancillary
// file sections, the KWX file) starts with the file as a whole. Opening
// tags are checked against the innermost open structure and pushed,
// closing tags pop their structure (reporting structures left open inside
// it); element tags are matched by name apart from the stack. Only the
// first structural error on each page (and each ancillary file section)
// is reported; the check itself goes on.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXSegmenter.h"

class OSTRAKON_API CQ_TagStructureCheck {
 public:
  // Receives a message: its number, the 0-based index of the segment it
  // concerns, the tag whose suppression key it carries, its formatted text.
  using Reporter = std::function<void(int number, std::size_t segment, std::string_view tag, std::string text)>;
  // tagIds: the rule tag id of each segment (see CQ_VarnelVerifier::
  // si_RuleTagId), parallel to segments. document: false for an ancillary
  // file or section, where master pages and autonumbers stand in <file>.
  // segments and tagIds are not copied and must outlive the check.
  CQ_TagStructureCheck(const KWX::CQ_TagSegmentList& segments, const std::vector<int>& tagIds, bool document,
                       Reporter reporter);
  void v_Run();

 private:
  struct Impl;
  const KWX::CQ_TagSegmentList& m_rcoSegments;
  const std::vector<int>& m_rcoTagIds;
  bool m_bDocument;
  Reporter m_fnReporter;
};
