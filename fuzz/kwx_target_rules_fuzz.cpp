// libFuzzer target: arbitrary bytes as a translated KWX text file, checked
// against a fixed correct source the way the verifier runs: tokenising and
// classification, the target rules in verification mode (then the
// comparison and the report lines) and in back-conversion mode, for a
// document and for an ancillary file. Reading failures and rule findings
// are ordinary outcomes; nothing else may escape, and no input may crash,
// hang or leak.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/backward/KWXLexicon.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/backward/KWXSegmenter.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/verifier/FrameVarnelVerifier.h"
#include "kernel/verifier/VarnelComparison.h"
#include "kernel/verifier/VarnelReport.h"

namespace {

// A small correct document in the layout forward conversion writes.
const char* const DOCUMENT_SOURCE = R"KWX(<kwx "F3.00">
<sourcecharset "Normal">
<sourcelanguage "English (US)">
<sourcehyphenation "Turn Off">
<sourcequotes "As Tags">
<sourcepath "C:\Docs\Manual\guide.mif">
<page "1">
<tr 12>
<el "Chapter" 1>
<ps "Heading1" 1><pn "Chapter 1: " 1><:el "Title" 2>Getting started<:/el "Title">
<ps "Body" 2>Text with <:cs "Emphasis" 1>emphasis<:/cs>, a <:fc 1>local change<:/fc> and a reference to <:xr "Heading & Page" 1><:ldq>here<:rdq>.
<ps "Body" 2>The product <:v "Product" 1> runs<:hs>on<:ems>Linux<:t>and more<:fn 7>, see<:imk 1> the index.
<fn 7>
<ps "Footnote" 3>A footnote with <:cs "Emphasis" 1>style<:/cs>.
</fn>
<imk 1><:bb "$startrange">Installation
<il>requirements
<ie>setup
<ss>set-up
</imk>
<ps "Body" 2><:cns "Internal" 1>Only for internal readers<:mk "Comment" 2>.<:/cns> A hard
<:hr>return and a reserved <:r35> character.
<mk "Comment" 2>Check this with <:cs "Emphasis">legal<:/cs>
</mk>
<ps "Body" 2>A table follows<:fmk1 3><:crmk 4><:hmk 5><:cnmk 6>:
<tb 20>
<tbt>
<ps "TableTitle" 4>Table 1: Values
</tbt>
<tbh>
<row 1>
<ct 1>
<ps "CellHead" 5>Name
</ct>
</row>
</tbh>
<tbb>
<row 2>
<ct 3>
<ps "CellBody" 6>Speed<:fn 9>
<fn 9>
<ps "TableFootnote" 7>Measured.
</fn>
</ct>
</row>
<hrow 3>
</tbb>
</tb>
<ps "Body" 2>A figure<:iaf 30>:
<af 31>
<tr 32>
<ps "Callout" 8>Callout text
</tr>
<ts 1>Label in a frame <:cs "Emphasis" 1>bold<:/cs>
</ts>
</af>
<ps "Body" 2><:ti 1>imported text<:/ti> and <:cns "" 0><:/cns>more.
</el "Chapter">
</tr>
<ufo>
<ts 2>Draft
</ts>
<ufo>
<tr 40>
<ps "Callout" 8>Nested frame text
</tr>
</ufo>
</ufo>
</page>
<page "2">
<tr 13>
<ps "Body" 2><:glq>Zitat<:grq> and <:flq>citation<:frq> and <:lq>quote<:rq>
<ps "Body" 2><:cns "Print" 2>conditional end
<ps "" 0><:/cns>
</tr>
</page>
</kwx>
)KWX";

// A small correct ancillary file.
const char* const ANCILLARY_SOURCE = R"KWX(<kwx "F3.00">
<sourcecharset "Normal">
<sourcelanguage "English (US)">
<sourcehyphenation "Turn Off">
<sourcequotes "As Tags">
<file "C:\Docs\Manual\guide.mif">
<bb "Cross-Reference Formats">
<bb "Cross-Reference">
<xrfmt "Heading & Page">
<:cs "Emphasis"><:ldq><:bb "$paratext"><:rdq><:/cs> on page<:hs><:bb "$pagenum">
<bb "Cross-Reference">
<xrfmt "Protocol">
<:cs "Protocol"><:bb "$paranum">
<bb "Variable Formats">
<bb "Variable">
<vfmt "Product">
Morvane<:r1> Suite <:cs "Small">Pro<:/cs>
<bb "Paragraph Numbering Formats">
<bb "Paragraph Numbering Format">
<pnfmt "C:Chapter <:lt>n+<:gt>: ">
Chapter <:bb "$chapnum">:<:t>
<bb "Element Prefix/Suffix Formats">
<bb "Element Prefix/Suffix">
<epsfmt "Note">
<bb "Prefix">
<:cs "Emphasis">Note:<:/cs><:hs>
<bb "Suffix">
.
<bb "Footnote Prefix/Suffix Formats">
<bb "Footnote Number Suffix">
.<:t>
<bb "Master Pages">
<page "RightMasterPage">
<tr 5>
<ps "Footer" 1>Page <:v "Current Page #" 1> of <:v "Page Count" 2>
</tr>
<ts 3>Confidential
</ts>
</page>
</file "C:\Docs\Manual\guide.mif">
</kwx>
)KWX";

std::vector<std::string> ReadLines(std::string_view bytes) {
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadTextBytes(bytes, [&lines](std::string&& line) { lines.push_back(std::move(line)); });
  return lines;
}

// What back conversion knows of a source: every external and internal tag
// of its segments, and the tags it always knows.
CQ_TagMap TagMapOf(const std::vector<std::string>& lines) {
  CQ_TagMap map;
  KWX::CQ_TagSegmentList segments;
  KWX::CQ_KWXSegmenter::sv_Tokenise(lines, segments);
  for (const KWX::st_TagSegment& segment : segments) {
    map.emplace(segment.cs_Tag, "");
    const std::string_view text = std::string_view(segment.cs_Text).substr(segment.cs_Tag.size());
    for (std::size_t pos = text.find("<:"); pos != std::string_view::npos; pos = text.find("<:", pos + 1)) {
      int depth = 0;
      std::size_t end = pos;
      for (; end < text.size(); ++end) {
        if (text[end] == '<') ++depth;
        if (text[end] == '>' && --depth == 0) break;
      }
      map.emplace(std::string(text.substr(pos, end - pos + 1)), "");
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

struct Source {
  std::vector<std::string> lines;
  CQ_TagMap tagMap;
  bool document;
};

struct World {
  std::unique_ptr<CQ_Morvane_CommunicationFrame> session;
  Source sources[2];
};

World& TheWorld() {
  static World* world = [] {
    auto* w = new World;
    w->session = std::make_unique<CQ_Morvane_CommunicationFrame>("Halvex Morvane for FrameMaker", "3.0", false);
    w->session->v_SetSourceLanguage("English (US)");
    const char* const texts[2] = {DOCUMENT_SOURCE, ANCILLARY_SOURCE};
    for (int i = 0; i < 2; ++i) {
      w->sources[i].lines = ReadLines(texts[i]);
      w->sources[i].tagMap = TagMapOf(w->sources[i].lines);
      w->sources[i].document = i == 0;
    }
    return w;
  }();
  return *world;
}

// Verification mode: source, target, and when both brackets hold, the
// comparison; then the report lines as the driver lays them out.
void Verify(CQ_Morvane_Communication& session, const Source& source, const std::vector<std::string>& target) {
  CQ_FrameVarnelVerifier verifier(session, source.document);
  if (!verifier.b_CheckSource(source.lines)) __builtin_trap();  // the fixed source is correct
  if (verifier.b_CheckTarget(target)) CQ_VarnelComparison(verifier).v_Run();
  const CQ_TagMap& suppressed = *session.pcco_GetCustomTagMap();
  const st_VarnelCounts counts = CQ_VarnelReport::sst_Count(verifier.rco_Entries(), suppressed);
  st_VarnelReportTitle title;
  title.cs_SourceFile = "source.txt";
  title.cs_TargetFile = "target.txt";
  const CQ_VarnelReportLines lines = CQ_VarnelReport::sco_BuildLines(verifier.rco_Entries(), suppressed, counts, title);
  if (lines.empty() != verifier.rco_Entries().empty()) __builtin_trap();
}

void CheckBackwards(CQ_Morvane_Communication& session, const Source& source,
                    const std::vector<std::string>& target) {
  // The source's text boxes counted as back conversion counts them.
  CQ_TagStructureCheck::CQ_ParagraphCounter counter;
  for (const std::string& line : source.lines) counter.v_Line(line);
  CQ_TagStructureCheck::CQ_BlockTags blocks;
  st_BackConversionContext context;
  context.pcco_SourceParagraphs = &counter.rco_Paragraphs();
  context.pco_Blocks = &blocks;
  CQ_FrameVarnelVerifier verifier(session, source.document);
  const bool clean = verifier.b_CheckTranslatedList(target, source.tagMap, &context);
  if (clean != (verifier.n_GetErrors() == 0)) __builtin_trap();
  // The target's blocks, checked again as the document's section: each is
  // now used elsewhere, so a clean run means the target opened none.
  context.pco_Blocks = nullptr;
  context.pcco_BlocksElsewhere = &blocks;
  CQ_FrameVarnelVerifier again(session, source.document);
  if (again.b_CheckTranslatedList(target, source.tagMap, &context) && !blocks.empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  const std::vector<std::string> target = ReadLines(std::string_view(reinterpret_cast<const char*>(data), size));

  KWX::CQ_TagSegmentList segments;
  KWX::CQ_KWXSegmenter::sv_Tokenise(target, segments);
  KWX::CQ_KWXSegmenter::st_Classify(segments, size % 2 == 0);

  // The target language decides the character checks of the target.
  static const char* const languages[] = {"English (US)", "Japanese", "Chinese (Traditional)",
                                          "Chinese (Simplified)", "Korean"};
  world.session->v_SetTargetLanguage(languages[size % 5]);
  // A target file that names an ancillary file is checked as one.
  const bool ancillary = target.size() > 5 && target[5].rfind("<file ", 0) == 0;
  const Source& source = world.sources[ancillary ? 1 : 0];
  Verify(*world.session, source, target);
  CheckBackwards(*world.session, source, target);
  return 0;
}
