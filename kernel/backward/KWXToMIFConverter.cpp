// The file-level steps of back conversion.
//
// The regenerated source lists come from a fresh forward conversion of the
// ORG copy in memory; they and their tag tables are taken apart into what
// the MIF pass needs (the tag map, the source blocks, the flows' column
// records) before the pass, and the forward converter is released, so the
// pass runs with one copy of the document's tags in memory. The character
// set and source hyphenation of the translated file's header are handed to
// the ancillary-file check, the forward run and the MIF pass as settings;
// the session's own settings are neither read for them nor changed.
#include "kernel/backward/KWXToMIFConverter.h"

#include <cctype>
#include <filesystem>
#include <memory>
#include <utility>

#include "System/Platform/FileSystem.h"
#include "System/Platform/LargeMemory.h"
#include "System/Platform/WholeFile.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/backward/MIFRebuilder.h"
#include "kernel/forward/KWXFileWriter.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/MIFPreScan.h"
#include "kernel/forward/MIFToKWXConverter.h"
#include "kernel/forward/MIFUnicode.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/ResultCodes.h"
#include "kernel/verifier/VarnelVerification.h"

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return KWX::b_EqualsIgnoringCase(a, b); }

std::string FontChange(std::string_view font) { return "<Font\n<FTag `" + std::string(font) + "'>\n> # end of Font\n"; }

// The heap made ready for the working copies of a conversion reading
// `bytes` of input (they take about twice that), and trimmed after it.
// Small inputs are left to the heap as it is: their page faults cost
// little, and huge pages would add more to their peak than they hold.
class HeapForConversion {
 public:
  explicit HeapForConversion(std::uintmax_t bytes) : m_prepared(bytes >= SMALL_INPUT) {
    if (m_prepared) Platform::PrepareHeap(static_cast<std::size_t>(2 * bytes));
  }
  HeapForConversion(const HeapForConversion&) = delete;
  HeapForConversion& operator=(const HeapForConversion&) = delete;
  ~HeapForConversion() {
    if (m_prepared) Platform::ReleaseHeap();
  }

 private:
  static constexpr std::uintmax_t SMALL_INPUT = std::uintmax_t(4) << 20;
  bool m_prepared;
};

// A file's size; 0 when it cannot be asked for (reading it reports why).
std::uintmax_t FileBytes(const std::string& path) {
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  return error ? 0 : bytes;
}

// The source path a header's <sourcepath "PATH"> line names.
std::string SourcePathOf(const std::string& line) {
  const std::size_t prefix = KWX::PREFIX_SOURCEPATH.size();
  if (line.size() < prefix + 2) return std::string();
  return line.substr(prefix, line.size() - prefix - 2);
}

}  // namespace

CQ_KWXToMIFConverter::CQ_KWXToMIFConverter(CQ_Morvane_CommunicationFrame& session) : m_rcoSession(session) {}

CQ_KWXToMIFConverter::~CQ_KWXToMIFConverter() = default;

void CQ_KWXToMIFConverter::v_Step(const char* stage) {
  m_rcoSession.v_StageEnded(stage);
  m_rcoSession.v_UpdateUI();
}

std::string CQ_KWXToMIFConverter::scs_FindORGFile(const std::string& orgFolder, const std::string& name) {
  const std::string plain = orgFolder + name + ".org";
  if (Platform::FileExists(plain)) return plain;
  std::error_code error;
  const std::filesystem::path folder = orgFolder.empty() ? std::filesystem::path(".") : std::filesystem::path(orgFolder);
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string file = it->path().filename().string();
    if (file.size() == name.size() + 4 && file.compare(0, name.size(), name) == 0 &&
        EqualsIgnoringCase(std::string_view(file).substr(name.size()), ".org")) {
      return orgFolder + file;
    }
  }
  return plain;
}

std::string CQ_KWXToMIFConverter::scs_OutputPath(const std::string& translatedFolder, const std::string& orgPath) {
  const std::string file = Platform::FileNameOf(orgPath);
  const std::size_t dot = file.rfind('.');
  const std::string base = dot == std::string::npos ? file : file.substr(0, dot);
  const std::string orgExtension = dot == std::string::npos ? std::string() : file.substr(dot);
  std::string extension = ".mif";
  for (std::size_t i = 1; i < extension.size() && i < orgExtension.size(); ++i) {
    if (std::isupper(static_cast<unsigned char>(orgExtension[i]))) {
      extension[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(extension[i])));
    }
  }
  return translatedFolder + base + extension;
}

void CQ_KWXToMIFConverter::sv_AddFixedEntries(CQ_TagMap& tags, const std::string& sourcePathLine) {
  // Keys and texts are made in the map's own storage.
  auto add = [&tags](std::string_view tag, std::string_view mif) {
    tags.try_emplace(CQ_TagText(tag, tags.get_allocator()), mif);
  };
  const std::string value = sourcePathLine.size() > KWX::PREFIX_SOURCEPATH.size() - 1
                                ? sourcePathLine.substr(KWX::PREFIX_SOURCEPATH.size() - 1)
                                : std::string();
  add(sourcePathLine, "# SourcePath tag\n");
  add("<file " + value, "# FileTag\n");
  add("</file " + value, "# End of FileTag\n");
  add(std::string(KWX::TAG_IMK), "<Marker\n<MType 2>\n<MText `'>\n");
  add(std::string(KWX::TAG_IMK_CLOSE), "> # end of Marker\n");
  add(std::string(KWX::TAG_MK_CLOSE), "> # end of Marker\n");
  for (std::string_view closing : KWX::FONT_CLOSING_TAGS) add(std::string(closing), "<Font\n<FTag `'>\n> # end of Font\n");
  add("<:/df>", FontChange("VarnelDummy"));
  for (const KWX::st_VarnelFont& v : KWX::VARNEL_FONTS) add(std::string(v.sv_Tag), FontChange(v.sv_Font));
  const CQ_MIFEscaping escaping(false, 1252);
  for (const char* tag : {"<:dh>", "<:nh>", "<:sh>", "<:t>", "<:hr>", "<:ns>", "<:hs>", "<:ts>", "<:ens>", "<:ems>",
                          "<:hh>", "<:lt>", "<:gt>", "<:lq>", "<:rq>", "<:ldq>", "<:rdq>", "<:flq>", "<:frq>",
                          "<:glq>", "<:grq>", "<:r1>", "<:r30>", "<:r31>", "<:r32>", "<:r33>", "<:r34>", "<:r35>",
                          "<:r36>", "<:r37>", "<:r38>", "<:r39>"}) {
    std::string escaped;
    escaping.b_CharacterTag(tag, escaped);
    add(tag, escaped);
  }
  // FrameMaker characters that a double-byte code page lacks.
  for (int code = 0x80; code <= 0xFF; ++code) {
    const std::string tag = CQ_TextConverter::scs_FrameCharacterTag(static_cast<unsigned char>(code));
    std::string escaped;
    if (escaping.b_CharacterTag(tag, escaped)) add(tag, escaped);
  }
  add(std::string(KWX::TAG_IE), ";");
  add(std::string(KWX::TAG_SS), "[");
  add(std::string(KWX::TAG_IL), ":");
  add(std::string(KWX::TAG_SL), ":");
  for (const KWX::st_TagPair& pair : KWX::sast_FixedTagPairs()) add(pair.cs_Tag, pair.cs_MIF);
  add(std::string(KWX::TAG_CNS_CLOSE), "<Unconditional >\n");
  add(std::string(KWX::TAG_SO), "# Sort Order\n");
  for (std::string_view name : KWX::sacs_BuildingBlockNames()) {
    add(KWX::ccs_MakeBuildingBlockTag(name), KWX::ccs_BuildingBlockMIF(name));
  }
}

void CQ_KWXToMIFConverter::v_ConvertFile() {
  CQ_Morvane_CommunicationFrame& session = m_rcoSession;
  const std::string name = session.lpsz_GetCurrentFileName();
  const std::string extension = session.lpsz_GetCurrentFileExtension();

  // 1. The ancillary file is converted only through its documents.
  if (EqualsIgnoringCase(name, "ancillary")) throw Result::ANCILLARY_ALONE;
  v_Step("name checked");

  // 2. The translated file, in the target's code page.
  const std::string translatedPath = std::string(session.lpsz_GetTranslatedFilesPath()) + name + extension;
  HeapForConversion heap(FileBytes(scs_FindORGFile(session.lpsz_GetORGFilesPath(), name)) + FileBytes(translatedPath));
  const int codePage = session.i_TargetTextCodePage();
  // The lines are held as one text, which the tag check cuts into its
  // segments and the tokens view.
  KWX::CQ_KWXText lines;
  std::vector<st_UnrepresentableCharacter> unrepresentable;
  CQ_KWXReader::sv_ReadKWXText(translatedPath, extension, lines, codePage, &unrepresentable);
  st_KWXHeader header;
  {
    std::vector<std::string> headerLines;
    for (std::size_t k = 0; k < lines.size() && k < 6; ++k) headerLines.emplace_back(lines[k]);
    CQ_KWXReader::sv_ValidateConversionHeader(headerLines, session, header);
  }
  st_ForwardRunSettings settings;
  settings.i_CharacterSet = header.b_SymbolCharacterSet ? 1 : 0;
  settings.i_SourceHyphenation = header.i_SourceHyphenation;
  session.v_CheckNotReplacingSource(
      scs_OutputPath(session.lpsz_GetTranslatedFilesPath(), scs_FindORGFile(session.lpsz_GetORGFilesPath(), name)),
      SourcePathOf(header.cs_SourcePathLine));
  v_Step("translated file read");

  // 3. This document's section of the ancillary file.
  CExtStringList section;
  session.v_ExtractAncillaryKWXSection(&section, header.cs_SourcePathLine, settings);
  const bool ancillary = !section.IsEmpty();
  v_Step("ancillary section extracted");

  // 4. The ORG copy converted again, in memory. It is read once and held
  // until the MIF pass has rebuilt it.
  const std::string orgPath = scs_FindORGFile(session.lpsz_GetORGFilesPath(), name);
  const Platform::CQ_WholeFile orgText(orgPath);
  CQ_MIFToKWXConverter::st_Options forwardOptions =
      CQ_MIFToKWXConverter::st_InMemoryOptions(SourcePathOf(header.cs_SourcePathLine), ancillary);
  forwardOptions.opt_Settings = settings;
  auto forward = std::make_unique<CQ_MIFToKWXConverter>(session, std::move(forwardOptions));
  forward->v_ConvertHeldText(orgText.sv());
  v_Step("ORG copy converted again");

  // 5. The tag map: the forward run's own tag table, taken over whole.
  const std::shared_ptr<CQ_TagMap> tagMap = forward->sp_TakeTagMap();
  CQ_TagMap& tags = *tagMap;
  sv_AddFixedEntries(tags, header.cs_SourcePathLine);
  v_Step("tag map copied");

  // 6. The regenerated lines, exploded once: their tokens are counted for
  // the paragraphs of each text box and, markers moved, filed as the index
  // of the source blocks, which keeps copies of its few tokens, so the
  // list goes at once.
  CQ_KWXBlockCollector source;
  CQ_TagStructureCheck::CQ_ParagraphCounter bodyParagraphs;
  {
    st_KWXTokenViews body;  // views into the forward converter's lines
    KWXBack::sv_ExplodeLines(forward->rco_GetCompactKWXLines(), 0, body);
    for (std::string_view token : body.asv_Tokens) bodyParagraphs.v_Token(token);
    KWXBack::sv_MoveMarkers(body);
    source.v_CollectIndex(body);
  }
  v_Step("source indexed");

  // Then the tags of the translated file; its text boxes may not hold more
  // paragraphs than the regenerated ones, which the MIF pass pairs with
  // the ORG paragraphs (added ones come with "<#...>").
  // The blocks of the file and of its ancillary section are filed
  // together, so no number may stand in both.
  CQ_TagStructureCheck::CQ_BlockTags documentBlocks;
  {
    st_BackConversionContext context;
    context.pcco_SourceParagraphs = &bodyParagraphs.rco_Paragraphs();
    context.pco_Blocks = &documentBlocks;
    context.pcco_Unrepresentable = &unrepresentable;
    CQ_VarnelVerification::sv_CheckBackConversionTags(session, lines, tags, true, translatedPath, &context);
  }
  v_Step("translated tags checked");

  // 7. Tokens, as views into the lines, which the blocks go on viewing
  // until the MIF pass is done.
  st_KWXTokenViews tokens;
  KWXBack::sv_Explode(lines, 0, tokens);
  v_Step("tokens exploded");

  // 8. The ancillary section: checked framed as a whole file.
  CQ_KWXTokens sectionTokens;
  if (ancillary) {
    std::vector<std::string> framed;
    framed.reserve(section.GetCount() + 2);
    framed.emplace_back(KWX::TAG_KWX);
    for (std::size_t k = 0; k < section.GetCount(); ++k) framed.push_back(section.GetAt(k));
    framed.emplace_back(KWX::TAG_KWX_CLOSE);
    CQ_TagStructureCheck::CQ_ParagraphCounter sectionParagraphs;
    for (const std::string& line : forward->rco_GetAncillarySection()) sectionParagraphs.v_Line(line);
    st_BackConversionContext context;
    context.pcco_SourceParagraphs = &sectionParagraphs.rco_Paragraphs();
    context.pcco_BlocksElsewhere = &documentBlocks;
    CQ_VarnelVerification::sv_CheckBackConversionTags(session, framed, tags, false, translatedPath, &context);
    KWXBack::sv_Explode(framed, 1, sectionTokens);
    sectionTokens.pop_back();  // </kwx>
    // The section lies between its file tags.
    if (sectionTokens.empty() || !KWX::b_HasPrefix(sectionTokens.front(), "<file ") ||
        !KWX::b_HasPrefix(sectionTokens.back(), "</file ")) {
      throw Result::DAMAGED;
    }
    KWXBack::sv_MoveMarkers(sectionTokens);
  }
  v_Step("ancillary section checked");

  // 9., 10. Markers to their anchors, blocks collected; the same for the
  // regenerated ancillary section, whose blocks the MIF pass, as the
  // document's (step 6), only asks for whether they exist and hold text,
  // so they are filed as an index.
  KWXBack::sv_MoveMarkers(tokens);
  CQ_KWXBlockCollector translated;
  translated.v_Collect(tokens);
  // The blocks view the lines and the rewritten tags; the list goes.
  std::vector<std::string_view>().swap(tokens.asv_Tokens);
  if (ancillary) translated.v_Collect(sectionTokens);
  CQ_AncillaryFormats translatedFormats;
  if (ancillary) translatedFormats.v_Read(sectionTokens);

  CQ_KWXTokens sourceSection;
  if (ancillary) {
    const CQ_StringList& regenerated = forward->rco_GetAncillarySection();
    KWXBack::sv_ExplodeList(regenerated, 0, sourceSection);
    KWXBack::sv_MoveMarkers(sourceSection);
    source.v_CollectIndex(sourceSection);
  }
  CQ_AncillaryFormats sourceFormats;
  if (ancillary) sourceFormats.v_Read(sourceSection);
  // The pre-scan's flows and its notes on the ORG copy's lines are handed
  // over, not copied, as the forward converter goes.
  CQ_MIFPreScan& preScan = *forward->pco_GetPreScan();
  const std::vector<st_MIFTextFlow> flows = preScan.vec_TakeTextFlows();
  const std::vector<std::int8_t> lineNets = preScan.vec_TakeLineNets();
  const std::vector<std::uint8_t> lineLengths = preScan.vec_TakeLineLengths();
  forward.reset();
  v_Step("blocks collected");

  // 11. The MIF file, complete or not at all.
  CQ_MIFRebuilder::st_Inputs inputs;
  inputs.pco_Session = &session;
  inputs.pcco_Tags = &tags;
  inputs.pcco_Source = &source;
  inputs.pcco_Translated = &translated;
  inputs.pcco_Flows = &flows;
  inputs.pcco_LineNets = &lineNets;
  inputs.pcco_LineLengths = &lineLengths;
  inputs.pcco_SourceFormats = &sourceFormats;
  inputs.pcco_TranslatedFormats = &translatedFormats;
  inputs.b_Symbol = header.b_SymbolCharacterSet;
  inputs.i_SourceHyphenation = settings.i_SourceHyphenation;
  inputs.i_TextCodePage = codePage;
  inputs.b_AddVarnelFonts = translated.b_UsesVarnelFonts();
  CQ_MIFRebuilder rebuilder(inputs);
  CQ_KWXFileWriter output(scs_OutputPath(session.lpsz_GetTranslatedFilesPath(), orgPath));
  // An ORG copy of a Unicode MIF file (8.0 and later) holds its strings in
  // the older form (MIFUnicode.h); the output is written in UTF-8 again,
  // under the ORG copy's version line.
  std::unique_ptr<CQ_MIFUTF8Writer> utf8;
  if (CQ_MIFUnicode::sb_IsUnicode(CQ_MIFUnicode::si_Version(orgText.sv().substr(0, 32)))) {
    utf8 = std::make_unique<CQ_MIFUTF8Writer>(codePage, header.b_SymbolCharacterSet);
  }
  rebuilder.v_RunText(orgText.sv(), [&output, &utf8](std::string_view line) {
    if (utf8) {
      output.v_WriteLine(utf8->ccs_Line(line));
    } else {
      output.v_WriteLine(line);
    }
  });
  v_Step("MIF pass");
  output.v_Commit();
  v_Step("file committed");
}
