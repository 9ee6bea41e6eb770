// One entry of a verification report: a structured error record with what
// the report needs beside it.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "kernel/session/ErrorMessage.h"

// The text of a segment, held once however many entries concern it (one
// paragraph may give thousands of entries). Reads as a const string.
class CQ_SharedText {
 public:
  CQ_SharedText() = default;
  CQ_SharedText(std::string text) : m_pcoText(std::make_shared<const std::string>(std::move(text))) {}
  const std::string& str() const { return m_pcoText ? *m_pcoText : Empty(); }
  operator const std::string&() const { return str(); }
  // True when both hold the same text (at once when they share it).
  bool b_Same(const CQ_SharedText& other) const { return m_pcoText == other.m_pcoText || str() == other.str(); }
  friend bool operator==(const CQ_SharedText& a, std::string_view b) { return a.str() == b; }
  friend std::ostream& operator<<(std::ostream& out, const CQ_SharedText& text) { return out << text.str(); }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }
  std::shared_ptr<const std::string> m_pcoText;
};

struct st_VarnelReportEntry {
  enum ET_Context : int {
    CONTEXT_NONE = 0,     // no context (plain lines and notes)
    CONTEXT_SEGMENT = 1,  // one segment: cs_Context
    CONTEXT_PAIR = 2,     // a source segment (cs_Context) and a translated one (cs_TargetContext)
  };

  // Type (0 for a plain line of text, else 1 warning, 2 alert, 3 error),
  // the message text, its tag (the suppression key) and line references
  // (kind 1: a 1-based line of the source file, kind 2: of the target).
  // This record is what the session's error list receives.
  CQ_Morvane_ErrorMessage co_Record;
  int i_Message = 0;        // the message number (101, 1515, ...); 0 for a plain line
  int i_Section = 0;        // 1 to 17
  bool b_Numbered = false;  // gets a running number in the report
  int i_Context = CONTEXT_NONE;
  CQ_SharedText cs_Context;
  CQ_SharedText cs_TargetContext;
};
