// One entry of a verification report: a structured error record with what
// the report needs beside it.
#pragma once

#include <string>

#include "kernel/session/ErrorMessage.h"

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
  std::string cs_Context;
  std::string cs_TargetContext;
};
