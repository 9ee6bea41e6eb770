// CQ_UTF: thin drivers around the engines of UTFEngine.h, each step
// converted into a small scratch area and committed only when it fits, so
// the state never runs ahead of what was written.
#include "System/String/StringConvert/UTF.h"

#include <cstring>

#include "System/String/Buffer.h"
#include "System/String/StringConvert/UTFEngine.h"

namespace {

utf_engine::Utf7Encoder gUtf7Encoder;
utf_engine::Utf7Decoder gUtf7Decoder;
utf_engine::Utf8Decoder gUtf8Decoder;

template <typename Unit>
bool endOfSource(const Unit* source, std::uint32_t i, std::uint32_t count) {
  return (count != CQ_NPOS && i >= count) || source[i] == 0;
}

template <typename Out>
int terminate(Out* target, std::uint32_t targetSize, std::uint32_t written) {
  if (targetSize > 0) target[written] = 0;
  return static_cast<int>(written);
}

}  // namespace

void CQ_UTF::sv_WideToUTF7Init() { gUtf7Encoder = utf_engine::Utf7Encoder(); }

int CQ_UTF::si_WideToUTF7(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count) {
  if (!target || !source) return 0;
  const std::uint32_t room = targetSize ? targetSize - 1 : 0;
  std::uint32_t written = 0;
  char step[utf_engine::kMaxStep];
  for (std::uint32_t i = 0; !endOfSource(source, i, count); ++i) {
    utf_engine::Utf7Encoder next = gUtf7Encoder;
    const std::size_t n = next.Put(source[i], step);
    if (n > room - written) break;
    std::memcpy(target + written, step, n);
    written += static_cast<std::uint32_t>(n);
    gUtf7Encoder = next;
  }
  return terminate(target, targetSize, written);
}

int CQ_UTF::si_WideToUTF7Exit(char* target, std::uint32_t targetSize) {
  if (!target) return 0;
  const std::uint32_t room = targetSize ? targetSize - 1 : 0;
  char step[utf_engine::kMaxStep];
  utf_engine::Utf7Encoder next = gUtf7Encoder;
  const std::size_t n = next.Close(step);
  if (n > room) return terminate(target, targetSize, 0);
  std::memcpy(target, step, n);
  gUtf7Encoder = next;
  return terminate(target, targetSize, static_cast<std::uint32_t>(n));
}

void CQ_UTF::sv_UTF7ToWideInit() { gUtf7Decoder = utf_engine::Utf7Decoder(); }

int CQ_UTF::si_UTF7ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count) {
  if (!target || !source) return 0;
  const std::uint32_t room = targetSize ? targetSize - 1 : 0;
  std::uint32_t written = 0;
  char16_t step[utf_engine::kMaxStep];
  for (std::uint32_t i = 0; !endOfSource(source, i, count); ++i) {
    utf_engine::Utf7Decoder next = gUtf7Decoder;
    const std::size_t n = next.Put(static_cast<unsigned char>(source[i]), step);
    if (n > room - written) break;
    std::memcpy(target + written, step, n * sizeof(char16_t));
    written += static_cast<std::uint32_t>(n);
    gUtf7Decoder = next;
  }
  return terminate(target, targetSize, written);
}

int CQ_UTF::si_WideToUTF8(char* target, std::uint32_t targetSize, const char16_t* source, std::uint32_t count) {
  if (!target || !source) return 0;
  const std::uint32_t room = targetSize ? targetSize - 1 : 0;
  std::uint32_t written = 0;
  char step[utf_engine::kMaxStep];
  for (std::uint32_t i = 0; !endOfSource(source, i, count); ++i) {
    const std::size_t n = utf_engine::Utf8Encode(source[i], step);
    if (n > room - written) break;
    std::memcpy(target + written, step, n);
    written += static_cast<std::uint32_t>(n);
  }
  return terminate(target, targetSize, written);
}

void CQ_UTF::sv_UTF8ToWideInit() { gUtf8Decoder = utf_engine::Utf8Decoder(); }

int CQ_UTF::si_UTF8ToWide(char16_t* target, std::uint32_t targetSize, const char* source, std::uint32_t count) {
  if (!target || !source) return 0;
  const std::uint32_t room = targetSize ? targetSize - 1 : 0;
  std::uint32_t written = 0;
  char16_t step[utf_engine::kMaxStep];
  for (std::uint32_t i = 0; !endOfSource(source, i, count); ++i) {
    utf_engine::Utf8Decoder next = gUtf8Decoder;
    const std::size_t n = next.Put(static_cast<unsigned char>(source[i]), step);
    if (n > room - written) break;
    std::memcpy(target + written, step, n * sizeof(char16_t));
    written += static_cast<std::uint32_t>(n);
    gUtf8Decoder = next;
  }
  return terminate(target, targetSize, written);
}
