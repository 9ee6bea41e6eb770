// The check for MIF 7.0 statements whose text conversion cannot carry.
#include "kernel/forward/MIF7TextCheck.h"

#include <cctype>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "System/Platform/FileException.h"

namespace {

// Statements that hold text anywhere they occur (the alternate text of a
// cross-reference, which screen readers speak, comes with the Unicode
// versions).
constexpr std::string_view kTextStatements[] = {"AttrValue",         "ChapterNumText", "VolumeNumText", "SectionNumText",
                                                "SubSectionNumText", "XRefAltText"};
// Inside PDFDocInfo, the value of each key (title, subject, author, ...).
constexpr std::string_view kPDFDocInfo = "PDFDocInfo";
constexpr std::string_view kPDFValue = "Value";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The keyword of a line "<Keyword ...", or empty.
std::string_view Keyword(std::string_view line) {
  if (line.empty() || line[0] != '<') return {};
  std::size_t end = 1;
  while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])))) ++end;
  return line.substr(1, end - 1);
}

// Whether the statement's first string is non-empty: "<K `text'>".
bool HoldsText(std::string_view line) {
  const std::size_t open = line.find('`');
  return open != std::string_view::npos && open + 1 < line.size() && line[open + 1] != '\'';
}

}  // namespace

bool CQ_MIF7TextCheck::sb_IsMIF70(std::string_view head) { return head.rfind("<MIFFile 7.0", 0) == 0; }

bool CQ_MIF7TextCheck::sb_FindUnconvertedText(std::string_view mif, st_Finding& finding) {
  std::size_t lineNumber = 0;
  std::size_t at = 0;
  int pdfDocInfo = 0;  // depth inside PDFDocInfo blocks, 0 outside
  while (at < mif.size()) {
    ++lineNumber;
    std::size_t end = mif.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = mif.size();
    std::string_view line = mif.substr(at, end - at);
    at = end + (end + 1 < mif.size() && mif[end] == '\r' && mif[end + 1] == '\n' ? 2 : 1);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    if (line.empty()) continue;
    if (pdfDocInfo > 0 && line[0] == '>') {
      --pdfDocInfo;
      continue;
    }
    const std::string_view keyword = Keyword(line);
    if (keyword.empty()) continue;
    if (keyword == kPDFDocInfo) {
      if (line.find('>') == std::string_view::npos) pdfDocInfo = 1;
      continue;
    }
    if (pdfDocInfo > 0) {
      // Nested blocks of the document information (none known) keep the
      // depth right.
      if (line.find('>') == std::string_view::npos) ++pdfDocInfo;
      if (keyword == kPDFValue && HoldsText(line)) {
        finding = {"PDFDocInfo " + std::string(kPDFValue), lineNumber};
        return true;
      }
      continue;
    }
    for (std::string_view statement : kTextStatements) {
      if (keyword == statement && HoldsText(line)) {
        finding = {std::string(statement), lineNumber};
        return true;
      }
    }
  }
  return false;
}

bool CQ_MIF7TextCheck::sb_FindUnconvertedTextInFile(const std::string& path, st_Finding& finding) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Platform::CQ_FileException::ThrowOsError(errno ? errno : ENOENT, path);
  const std::string mif((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return sb_FindUnconvertedText(mif, finding);
}
