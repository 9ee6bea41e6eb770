// A readable dump of the pre-scan state for golden tests and debugging:
// catalogs in sorted or file order, the text flows' column starts, and both
// restructured lists indented by nesting (text column parts and anchored
// frames count as blocks).
#include <algorithm>
#include <string>
#include <vector>

#include "kernel/forward/MIFPreScan.h"

namespace {

const char* const kFootnoteNames[MIF_FOOTNOTE_TEXT_COUNT] = {
    "DFNoteAnchorPrefix",    "DFNoteAnchorSuffix",    "DFNoteNumberPrefix",    "DFNoteNumberSuffix",
    "DTblFNoteAnchorPrefix", "DTblFNoteAnchorSuffix", "DTblFNoteNumberPrefix", "DTblFNoteNumberSuffix",
};

void DumpList(const CQ_MIFLines& lines, std::string& out) {
  std::vector<char> open;  // 'b' block, 'c' text column part, 'f' anchored frame
  bool afterAnchor = false;
  for (const std::string& line : lines) {
    const int net = MIFSyntax::NetDepth(line);
    if (MIFSyntax::IsCloser(line)) {
      for (int k = 0; k < -net && !open.empty(); ++k) open.pop_back();
    } else if (line == "<End of TextRectID>") {
      if (!open.empty() && open.back() == 'c') open.pop_back();
    } else if (line == "<End Of AFrame>") {
      if (!open.empty() && open.back() == 'f') open.pop_back();
    }
    out.append(open.size(), ' ');
    out += line;
    out += '\n';
    if (net > 0) {
      const bool anchoredFrame = afterAnchor && MIFSyntax::HasKeyword(line, "Frame");
      for (int k = 0; k < net; ++k) open.push_back(anchoredFrame ? 'f' : 'b');
    } else if (MIFSyntax::IsStatement(line) && MIFSyntax::HasKeyword(line, "TextRectID")) {
      open.push_back('c');
    }
    afterAnchor = MIFSyntax::IsStatement(line) && MIFSyntax::HasKeyword(line, "AFrame");
  }
}

// Raw MIF string content between MIF's own quotes, so blanks at the ends
// stay visible.
std::string Quoted(const std::string& text) { return "`" + text + "'"; }

}  // namespace

std::string CQ_MIFPreScan::ccs_Dump() const {
  std::string out;
  std::vector<std::pair<std::string, std::string>> conditions(m_mapConditions.begin(), m_mapConditions.end());
  std::sort(conditions.begin(), conditions.end());
  out += "== conditions\n";
  for (const auto& c : conditions) out += Quoted(c.first) + " = " + c.second + (b_IsConditionHidden(c.first) ? " (hidden)\n" : "\n");
  out += "== paragraph numbering formats\n";
  for (const auto& f : m_vecPgfNumFormats) out += Quoted(f.cs_Name) + " = " + Quoted(f.cs_Text) + "\n";
  out += "== variable formats\n";
  for (const auto& f : m_vecVariableFormats) out += Quoted(f.cs_Name) + " = " + Quoted(f.cs_Text) + "\n";
  out += "== cross-reference formats\n";
  for (const auto& f : m_vecXRefFormats) out += Quoted(f.cs_Name) + " = " + Quoted(f.cs_Text) + "\n";
  out += "== element definitions\n";
  for (const auto& d : m_vecElementDefs) {
    out += Quoted(d.cs_Tag);
    if (d.b_HasPrefix) out += " prefix " + Quoted(d.cs_Prefix);
    if (d.b_HasSuffix) out += " suffix " + Quoted(d.cs_Suffix);
    out += "\n";
  }
  out += "== footnote texts\n";
  for (int i = 0; i < MIF_FOOTNOTE_TEXT_COUNT; ++i) {
    if (!m_asFootnoteTexts[i].empty()) out += std::string(kFootnoteNames[i]) + " = " + Quoted(m_asFootnoteTexts[i]) + "\n";
  }
  out += "== page backgrounds\n";
  for (const auto& b : m_vecPageBackgrounds) out += Quoted(b) + "\n";
  out += std::string("== change bars ") + (m_bChangeBars ? "on" : "off") + "\n";
  out += "== text flows\n";
  for (std::size_t f = 0; f < m_vecTextFlows.size(); ++f) {
    const st_MIFTextFlow& flow = m_vecTextFlows[f];
    out += "flow " + std::to_string(f + 1) + ": " + std::to_string(flow.n_Paragraphs) + " paragraphs\n";
    for (const st_MIFColumnStart& c : flow.vec_Columns) {
      out += " column " + c.cs_ID + " in paragraph " + std::to_string(c.n_Paragraph) + " line " +
             std::to_string(c.n_ParaLine) + ", holds paragraphs " + std::to_string(c.n_FirstHome) + "+" +
             std::to_string(c.n_HomeCount) + "\n";
    }
  }
  out += "== body\n";
  DumpList(m_lstBody, out);
  out += "== master pages\n";
  DumpList(m_lstMaster, out);
  return out;
}
