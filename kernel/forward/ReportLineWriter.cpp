// Report-line conversion for RTF reports. One pass over the line with the
// tag depth and the start of the open group; the font switch after a
// character-set tag is written right after the group's closing brace, where
// it governs the text that follows up to the next switch or paragraph end.
#include "kernel/forward/ReportLineWriter.h"

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXRTFWriter.h"

namespace {

bool IsCharacterSetOpening(std::string_view tag) {
  return tag == KWX::TAG_C || tag == KWX::TAG_C1 || tag == KWX::TAG_C2;
}

bool IsCharacterSetClosing(std::string_view tag) {
  return tag == KWX::TAG_C_CLOSE || tag == KWX::TAG_C1_CLOSE || tag == KWX::TAG_C2_CLOSE;
}

}  // namespace

std::string CQ_ReportLineWriter::sccs_ConvertLine(std::string_view line, bool tagStyling, int styleKind,
                                                  int sourceCodePage, int targetCodePage, bool tagFont) {
  const bool targetDiffers = targetCodePage != sourceCodePage;
  int paragraphFont = 3;
  if (styleKind == STYLE_TAG_FONT) paragraphFont = 1;
  if (styleKind == STYLE_TARGET_FONT && targetDiffers) paragraphFont = 4;

  std::string out;
  out.reserve(1024);
  out += CQ_KWXRTFWriter::sccs_ParagraphOpening(sourceCodePage, paragraphFont);

  int depth = 0;
  bool inGroup = false;
  std::size_t groupStart = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\n') {
      out += "\n\\par ";
    } else if (tagStyling && c == '<') {
      ++depth;
      if (!inGroup) {
        const bool internal = i + 1 < line.size() && line[i + 1] == ':';
        out += internal ? CQ_RTFLinePreparer::INTERNAL_GROUP : CQ_RTFLinePreparer::EXTERNAL_GROUP;
        inGroup = true;
        groupStart = i;
      }
      out += '<';
    } else if (tagStyling && c == '>') {
      out += '>';
      --depth;
      if (depth == 0 && inGroup) {
        out += '}';
        inGroup = false;
        const std::string_view tag = line.substr(groupStart, i + 1 - groupStart);
        if (IsCharacterSetOpening(tag)) {
          out += tagFont ? "\\f1 " : "\\f3 ";
        } else if (IsCharacterSetClosing(tag)) {
          out += tagFont ? "\\f1 " : (targetDiffers ? "\\f4 " : "\\f3 ");
        }
      }
      if (depth < 0) depth = 0;
    } else {
      CQ_RTFLinePreparer::sv_AppendEscaped(static_cast<unsigned char>(c), out);
    }
  }
  if (inGroup) out += '}';
  return out;
}
