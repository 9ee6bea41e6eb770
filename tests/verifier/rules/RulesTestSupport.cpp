#include "verifier/rules/RulesTestSupport.h"

#include <fstream>
#include <sstream>

#include "kernel/backward/KWXLexicon.h"
#include "kernel/backward/KWXSegmenter.h"

namespace RulesTest {

namespace {

const char* const HEADER =
    "<kwx \"F3.00\">\n"
    "<sourcecharset \"Normal\">\n"
    "<sourcelanguage \"English (US)\">\n"
    "<sourcehyphenation \"Turn Off\">\n"
    "<sourcequotes \"As Text\">\n";

}  // namespace

std::string Build(Wrap wrap, std::string_view text) {
  std::string kwx = HEADER;
  const std::string body(text);
  switch (wrap) {
    case ON_PAGE:
      return kwx + "<sourcepath \"C:\\Docs\\test.mif\">\n<page \"1\">\n<tr 1>\n" + body + "\n</tr>\n</page>\n</kwx>\n";
    case BODY:
      return kwx + "<sourcepath \"C:\\Docs\\test.mif\">\n" + body + "\n</kwx>\n";
    case NO_END:
      return kwx + "<sourcepath \"C:\\Docs\\test.mif\">\n" + body + "\n";
    case ANCILLARY:
      return kwx + "<file \"C:\\Docs\\test.mif\">\n" + body + "\n</file \"C:\\Docs\\test.mif\">\n</kwx>\n";
  }
  return kwx;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession() {
  auto session = std::make_unique<CQ_Morvane_CommunicationFrame>("Halvex Morvane for FrameMaker", "3.0", false);
  session->v_SetSourceLanguage("English (US)");
  session->v_SetTargetLanguage("English (US)");
  return session;
}

std::vector<int> Numbers(const CQ_VarnelVerifier& verifier, int first, int last) {
  std::vector<int> numbers;
  for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
    if (entry.i_Message != 0 && entry.i_Section >= first && entry.i_Section <= last) numbers.push_back(entry.i_Message);
  }
  return numbers;
}

std::string Dump(const CQ_VarnelVerifier& verifier) {
  std::ostringstream out;
  for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
    out << "  [section " << entry.i_Section << "] " << entry.co_Record.ccs_Text << "\n";
  }
  return out.str();
}

CQ_TagMap TagMapOf(std::string_view text) {
  CQ_TagMap map;
  KWX::CQ_TagSegmentList segments;
  KWX::CQ_KWXSegmenter::sv_Tokenise(Lines(text), segments);
  for (const KWX::st_TagSegment& segment : segments) {
    map.emplace(segment.cs_Tag, "");
    std::string_view rest(segment.cs_Text);
    rest.remove_prefix(segment.cs_Tag.size());
    for (std::size_t pos = rest.find("<:"); pos != std::string_view::npos; pos = rest.find("<:", pos + 1)) {
      int depth = 0;
      std::size_t end = pos;
      for (; end < rest.size(); ++end) {
        if (rest[end] == '<') ++depth;
        if (rest[end] == '>' && --depth == 0) break;
      }
      map.emplace(std::string(rest.substr(pos, end - pos + 1)), "");
      pos = end;
    }
  }
  for (const char* fixed : {"<imk>", "</imk>", "</mk>", "<ie>", "<il>", "<ss>", "<sl>", "<:so>"}) map.emplace(fixed, "");
  for (const KWX::st_LexiconEntry& e : KWX::CQ_KWXLexicon::sast_Entries()) {
    if (e.i_TagId == KWX::TAGID_SPECIAL_CHARACTER || e.i_TagId == KWX::TAGID_RESERVED_CHARACTER ||
        (e.i_TagId >= KWX::TAGID_B && e.i_TagId <= KWX::TAGID_S_CLOSE) || e.i_TagId == KWX::TAGID_CS_CLOSE ||
        e.i_TagId == KWX::TAGID_FC_CLOSE) {
      map.emplace(std::string(e.cs_Prefix), "");
    }
  }
  return map;
}

std::string DataPath(const std::string& name) { return std::string(MORVANE_TEST_DATA_DIR) + "/rules/" + name; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace RulesTest
