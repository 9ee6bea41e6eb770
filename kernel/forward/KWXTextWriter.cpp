#include "kernel/forward/KWXTextWriter.h"

#include "kernel/forward/KWXFileWriter.h"
#include "kernel/forward/KWXFormat.h"

namespace {

template <typename Lines>
void WriteLinesTo(CQ_KWXFileWriter& file, const Lines& lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) file.v_WriteLine(std::string_view(lines[i]));
}

template <typename Lines>
void WriteLines(const std::string& path, const Lines& lines) {
  CQ_KWXFileWriter file(path);
  WriteLinesTo(file, lines);
  file.v_Commit();
}

}  // namespace

void CQ_KWXTextWriter::sv_Write(const std::string& path, const CQ_StringList& lines) { WriteLines(path, lines); }

void CQ_KWXTextWriter::sv_Write(const std::string& path, const std::vector<std::string>& lines) {
  WriteLines(path, lines);
}

void CQ_KWXTextWriter::sv_Write(const std::string& path, const KWX::CQ_KWXLines& lines) { WriteLines(path, lines); }

void CQ_KWXTextWriter::sv_WriteTo(CQ_KWXFileWriter& file, const KWX::CQ_KWXLines& lines) { WriteLinesTo(file, lines); }
