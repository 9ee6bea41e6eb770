// Structured error records that verification produces for its clients.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "System/Export.h"

class OSTRAKON_API CQ_Morvane_ErrorMessage {
 public:
  enum : int { WARNING = 1, ALERT = 2, ERROR = 3 };
  enum : int { SOURCE_LINE = 1, TARGET_LINE = 2 };

  CQ_Morvane_ErrorMessage() = default;
  CQ_Morvane_ErrorMessage(int type, std::string text, std::string tag)
      : i_Type(type), ccs_Text(std::move(text)), ccs_Tag(std::move(tag)) {}

  void v_AddReference(int kind, unsigned line) { st_References.emplace_back(kind, line); }

  // 1 warning, 2 alert, 3 error: errors are always shown.
  int i_Type = WARNING;
  // Pairs of (kind, line): kind 1 a line of the source file, 2 of the target.
  std::vector<std::pair<int, unsigned>> st_References;
  std::string ccs_Text;
  // The tag prefix the message is about; may be empty.
  std::string ccs_Tag;
};

// The session owns the records of its list.
using CQ_Morvane_ErrorList = std::deque<std::unique_ptr<CQ_Morvane_ErrorMessage>>;
