// libFuzzer target: the XLIFF reader over arbitrary bytes. Whatever it
// accepts is written again with one code page on both sides and must read
// back to the same KWX lines; nothing may escape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/xliff/XLIFFBridge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  st_XLIFFFileInfo info;
  std::vector<std::string> lines;
  std::vector<st_XLIFFProblem> problems;
  if (!sb_ReadXLIFF(xml, info, lines, problems)) return 0;
  info.i_TargetCodePage = info.i_SourceCodePage;
  st_XLIFFFileInfo again;
  std::vector<std::string> back;
  if (!sb_ReadXLIFF(ccs_WriteXLIFF(lines, nullptr, info), again, back, problems) || back != lines) std::abort();
  return 0;
}
