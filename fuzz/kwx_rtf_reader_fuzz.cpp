// libFuzzer target: the RTF reader over arbitrary bytes, then tokenising
// and classifying whatever lines it gave. Every input must end in lines or
// in one of the reader's int codes; nothing else may escape.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/backward/KWXSegmenter.h"
#include "kernel/backward/RTFReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  try {
    CQ_RTFReader(size % 3 == 0 ? 932 : size % 3 == 1 ? 1252 : 0).v_ReadBytes(bytes, lines);
  } catch (int) {
  }
  KWX::CQ_TagSegmentList segments;
  KWX::CQ_KWXSegmenter::sv_Tokenise(lines, segments);
  KWX::CQ_KWXSegmenter::st_Classify(segments, size % 2 == 0);
  return 0;
}
