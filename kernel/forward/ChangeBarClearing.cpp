// Change bars switched off in a byte-exact copy of a MIF file.
#include "kernel/forward/ChangeBarClearing.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "System/Platform/FileException.h"

namespace {

// The statements that switch change bars on, without their value.
constexpr std::string_view kKeywords[] = {"<FChangeBar ", "<DAutoChBars "};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// At `at` (the first non-blank byte of a line): the position of the value
// "Yes" of a change-bar statement, or npos.
std::size_t YesAt(std::string_view text, std::size_t at) {
  for (std::string_view keyword : kKeywords) {
    if (text.compare(at, keyword.size(), keyword) != 0) continue;
    std::size_t value = at + keyword.size();
    while (value < text.size() && IsBlank(text[value])) ++value;
    if (text.compare(value, 3, "Yes") != 0) return std::string_view::npos;
    const std::size_t after = value + 3;
    // "Yes" must be the whole value: "<FChangeBar Yes>" or "<FChangeBar Yes >".
    if (after < text.size() && text[after] != '>' && !IsBlank(text[after])) return std::string_view::npos;
    return value;
  }
  return std::string_view::npos;
}

}  // namespace

bool CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  return YesAt(line, at) != std::string_view::npos;
}

std::string CQ_ChangeBarClearing::scs_Clear(std::string_view mif, std::size_t* cleared) {
  std::string out;
  out.reserve(mif.size());
  std::size_t count = 0;
  std::size_t copied = 0;  // bytes of `mif` already in `out`
  std::size_t lineStart = 0;
  while (lineStart < mif.size()) {
    std::size_t at = lineStart;
    while (at < mif.size() && IsBlank(mif[at])) ++at;
    const std::size_t yes = YesAt(mif, at);
    if (yes != std::string_view::npos) {
      out.append(mif.substr(copied, yes - copied));
      out.append("No");
      copied = yes + 3;
      ++count;
    }
    // CR, LF and CR LF all end a line; a line holds neither.
    const std::size_t end = mif.find_first_of("\r\n", at);
    if (end == std::string_view::npos) break;
    lineStart = end + 1;
  }
  out.append(mif.substr(copied));
  if (cleared) *cleared = count;
  return out;
}

bool CQ_ChangeBarClearing::sb_ClearFile(const std::string& source, const std::string& target, std::size_t& cleared) {
  cleared = 0;
  std::error_code ec;
  if (std::filesystem::equivalent(source, target, ec) ||
      std::filesystem::path(source).lexically_normal() == std::filesystem::path(target).lexically_normal()) {
    throw std::invalid_argument("the copy would replace its source: " + source);
  }
  std::ifstream in(source, std::ios::binary);
  if (!in) Platform::CQ_FileException::ThrowOsError(errno ? errno : ENOENT, source);
  const std::string mif((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) Platform::CQ_FileException::ThrowOsError(EIO, source);
  if (mif.compare(0, 9, "<MIFFile ") != 0) return false;

  const std::string copy = scs_Clear(mif, &cleared);
  {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) Platform::CQ_FileException::ThrowOsError(errno ? errno : EACCES, target);
    out.write(copy.data(), static_cast<std::streamsize>(copy.size()));
    out.close();
    if (!out) {
      const int error = errno ? errno : EIO;
      std::remove(target.c_str());
      Platform::CQ_FileException::ThrowOsError(error, target);
    }
  }
  return true;
}
