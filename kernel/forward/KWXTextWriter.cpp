#include "kernel/forward/KWXTextWriter.h"

#include "kernel/forward/KWXFileWriter.h"

namespace {

template <typename Lines>
void WriteLines(const std::string& path, const Lines& lines) {
  CQ_KWXFileWriter file(path);
  for (const std::string& line : lines) file.v_WriteLine(line);
  file.v_Commit();
}

}  // namespace

void CQ_KWXTextWriter::sv_Write(const std::string& path, const CQ_StringList& lines) { WriteLines(path, lines); }

void CQ_KWXTextWriter::sv_Write(const std::string& path, const std::vector<std::string>& lines) {
  WriteLines(path, lines);
}
