// The text form of a KWX file (and of the ancillary file and text reports).
//
// Each line is written as it stands, in the code page it is in, followed by
// a carriage return and line feed. The file is created or replaced as a
// whole: see CQ_KWXFileWriter for the exclusive, all-or-nothing output.
#pragma once

#include <string>
#include <vector>

#include "System/Export.h"
#include "kernel/session/ExtStringList.h"

namespace KWX {
class CQ_KWXLines;
}
class CQ_KWXFileWriter;

class OSTRAKON_API CQ_KWXTextWriter {
 public:
  // Writes the lines to `path`, replacing any file of that name. Raises
  // Platform::CQ_FileException naming `path` when the file cannot be created
  // or written; no file is left behind then. A "\n" inside a line is
  // written as "\r\n" like the line ends.
  static void sv_Write(const std::string& path, const CQ_StringList& lines);
  static void sv_Write(const std::string& path, const std::vector<std::string>& lines);
  static void sv_Write(const std::string& path, const KWX::CQ_KWXLines& lines);
  // Writes the lines into an open file and leaves its commit to the caller.
  static void sv_WriteTo(CQ_KWXFileWriter& file, const KWX::CQ_KWXLines& lines);
};
