// The rules of the FrameMaker tag vocabulary. Each check is one pass over
// the current file's segments or internal tags, deciding by lexicon tag id;
// the structure of external tags is CQ_TagStructureCheck's, the length of
// marker text CQ_MarkerTextMeasure's. Tags added with "<#...>" are judged
// by the tag without its "#" when a translator may add them, and as
// unknown tags otherwise.
#include "kernel/verifier/FrameVarnelVerifier.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "kernel/forward/KWXFormat.h"
#include "kernel/verifier/MarkerTextMeasure.h"
#include "kernel/verifier/TagStructureCheck.h"

namespace {

using namespace KWX;

std::string_view TextAfterTag(const st_TagSegment& segment) {
  return segment.sv_TextAfterTag();
}

bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

bool IsAdded(const st_TagSegment& segment) {
  return segment.i_Category == CATEGORY_ADDED || segment.i_Category == CATEGORY_ADDED_KNOWN ||
         segment.i_Category == CATEGORY_ADDED_UNKNOWN;
}

// Whether tags are keys of the back converter's tag map. A file uses a few
// tags many times ("<:/cs>", "<ps \"Body\" 2>"), so each tag found is kept
// in a small table indexed by a few of its bytes, and a tag met again is
// answered by one comparison instead of hashing it whole for the map. The
// table holds views of the map's own keys, which live as long as the map.
class KnownTags {
 public:
  explicit KnownTags(const CQ_TagMap& map) : m_map(map) {}

  // The map's hash and comparison take views: the tag is looked up as it
  // is. A tag met again is answered here; the map is asked only on a miss,
  // in a call of its own, so this test stays small enough to be inlined.
  bool b_Has(std::string_view tag) {
    std::string_view& kept = m_slots[n_Slot(tag)];
    if (kept.size() == tag.size() && kept == tag) return true;
    return b_Find(tag, kept);
  }

 private:
  bool b_Find(std::string_view tag, std::string_view& kept) const;

  static constexpr std::size_t SLOTS = 1024;

  static std::size_t n_Slot(std::string_view tag) {
    const std::size_t n = tag.size();
    if (n < 4) return n;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(tag[i]); };
    return (n * 131 + at(1) * 31 + at(n / 2) * 17 + at(n - 2) * 7 + at(n - 3)) % SLOTS;
  }

  const CQ_TagMap& m_map;
  std::array<std::string_view, SLOTS> m_slots{};
};

bool KnownTags::b_Find(std::string_view tag, std::string_view& kept) const {
  const auto it = m_map.find(tag);
  if (it == m_map.end()) return false;
  kept = it->first;
  return true;
}

bool IsIndexPart(int id) { return id == TAGID_IE || id == TAGID_IL || id == TAGID_SS || id == TAGID_SL; }

// Segments whose text is a format or marker text, where FrameMaker treats
// character formats named without a number as switches rather than pairs.
bool IsFormatOrMarkerText(int id) {
  switch (id) {
    case TAGID_XRFMT:
    case TAGID_VFMT:
    case TAGID_PNFMT:
    case TAGID_EPSFMT:
    case TAGID_MK:
    case TAGID_IMK:
    case TAGID_IE:
    case TAGID_IL:
    case TAGID_SS:
    case TAGID_SL:
    case TAGID_BB:
      return true;
    default:
      return false;
  }
}

// External tags that text may follow.
bool TextMayFollow(int id) {
  switch (id) {
    case TAGID_PS:
    case TAGID_PN:
    case TAGID_TS:
    case TAGID_AF_CLOSE:
    case TAGID_TB_CLOSE:
    case TAGID_EL:
    case TAGID_ELF:
    case TAGID_XRFMT:
    case TAGID_VFMT:
    case TAGID_PNFMT:
    case TAGID_UNKNOWN_EXTERNAL:
      return true;
    default:
      return false;
  }
}

// The building blocks of the ancillary file that carry text.
enum BlockKind { HEADING, FORMAT_BLOCK, PREFIX_SUFFIX_BLOCK, FOOTNOTE_BLOCK };

BlockKind BuildingBlockKind(std::string_view tag) {
  static constexpr std::string_view FORMAT_BLOCKS[] = {"<bb \"Cross-Reference\">", "<bb \"Variable\">",
                                                       "<bb \"Element Prefix/Suffix\">"};
  static constexpr std::string_view PREFIX_SUFFIX[] = {"<bb \"Prefix\">", "<bb \"Suffix\">"};
  static constexpr std::string_view FOOTNOTE_BLOCKS[] = {
      "<bb \"Footnote Anchor Prefix\">",       "<bb \"Footnote Anchor Suffix\">",
      "<bb \"Footnote Number Prefix\">",       "<bb \"Footnote Number Suffix\">",
      "<bb \"Table Footnote Anchor Prefix\">", "<bb \"Table Footnote Anchor Suffix\">",
      "<bb \"Table Footnote Number Prefix\">", "<bb \"Table Footnote Number Suffix\">"};
  for (std::string_view b : FORMAT_BLOCKS) {
    if (tag == b) return FORMAT_BLOCK;
  }
  for (std::string_view b : PREFIX_SUFFIX) {
    if (tag == b) return PREFIX_SUFFIX_BLOCK;
  }
  for (std::string_view b : FOOTNOTE_BLOCKS) {
    if (tag == b) return FOOTNOTE_BLOCK;
  }
  return HEADING;
}

// Internal tags that belong in running text only.
bool IsRunningText(int id) {
  switch (id) {
    case TAGID_XR:
    case TAGID_CNS:
    case TAGID_CNS_CLOSE:
    case TAGID_FC:
    case TAGID_FC_CLOSE:
    case TAGID_V:
    case TAGID_IFN:
    case TAGID_MK_PLACEHOLDER:
    case TAGID_IIMK:
    case TAGID_FMK1:
    case TAGID_FMK2:
    case TAGID_HMK:
    case TAGID_CNMK:
    case TAGID_CRMK:
    case TAGID_IAF:
    case TAGID_IEL:
    case TAGID_IEL_CLOSE:
    case TAGID_IELF:
    case TAGID_IELF_CLOSE:
    case TAGID_TI:
    case TAGID_TI_CLOSE:
    case TAGID_EP:
    case TAGID_ES:
    case TAGID_SO:
      return true;
    default:
      return false;
  }
}

bool IsFormattingPair(int id) { return id >= TAGID_B && id <= TAGID_S_CLOSE; }

// A character format with a number (<:cs "NAME" 3>) stands in running
// text; one without (<:cs "NAME">) is named in a format definition.
bool IsNumberedCharacterFormat(std::string_view tag) {
  return tag.size() >= 2 && tag.back() == '>' && tag[tag.size() - 2] >= '0' && tag[tag.size() - 2] <= '9';
}

std::string QuotedName(std::string_view tag) { return std::string(sv_QuotedName(tag, true)); }

// The seven pairs that must balance within one segment.
struct Pair {
  const char* opening;  // the tag whose suppression key the messages carry
  const char* closing;
  int withoutEnding;
  int withoutStarting;
};
constexpr std::array<Pair, 7> PAIRS = {{
    {"<:cs \"", "<:/cs>", 503, 504},
    {"<:fc ", "<:/fc>", 507, 508},
    {"<:b>", "<:/b>", 509, 510},
    {"<:i>", "<:/i>", 511, 512},
    {"<:bi>", "<:/bi>", 513, 514},
    {"<:c>", "<:/c>", 515, 516},
    {"<:s>", "<:/s>", 517, 518},
}};
enum { PAIR_CS, PAIR_FC, PAIR_B, PAIR_I, PAIR_BI, PAIR_C, PAIR_S };

// The pair an internal tag opens (+1) or closes (-1), as {pair, step}.
std::pair<int, int> PairStep(int id) {
  switch (id) {
    case TAGID_CS: return {PAIR_CS, 1};
    case TAGID_CS_CLOSE: return {PAIR_CS, -1};
    case TAGID_FC: return {PAIR_FC, 1};
    case TAGID_FC_CLOSE: return {PAIR_FC, -1};
    case TAGID_B: return {PAIR_B, 1};
    case TAGID_B_CLOSE: return {PAIR_B, -1};
    case TAGID_I: return {PAIR_I, 1};
    case TAGID_I_CLOSE: return {PAIR_I, -1};
    case TAGID_BI: return {PAIR_BI, 1};
    case TAGID_BI_CLOSE: return {PAIR_BI, -1};
    case TAGID_C: return {PAIR_C, 1};
    case TAGID_C_CLOSE: return {PAIR_C, -1};
    case TAGID_S: return {PAIR_S, 1};
    case TAGID_S_CLOSE: return {PAIR_S, -1};
    default: return {-1, 0};
  }
}

// Open internal elements by name, with the segment of the latest opening.
struct OpenElement {
  std::string name;
  unsigned count;
  std::size_t segment;
};
OpenElement& Find(std::vector<OpenElement>& open, const std::string& name) {
  for (OpenElement& e : open) {
    if (e.name == name) return e;
  }
  open.push_back({name, 0, 0});
  return open.back();
}

}  // namespace

CQ_FrameVarnelVerifier::CQ_FrameVarnelVerifier(CQ_Morvane_Communication& session, bool document)
    : CQ_VarnelVerifier(session, true, document) {}

CQ_FrameVarnelVerifier::~CQ_FrameVarnelVerifier() = default;

const std::vector<int>& CQ_FrameVarnelVerifier::rco_RuleTagIds() {
  if (m_iRuleIdsFile == i_GetCurrentFile() && m_nRuleIdsGeneration == n_SegmentsGeneration()) return m_vecRuleIds;
  const CQ_TagSegmentList& segments = rco_CurrentSegments();
  m_vecRuleIds.resize(segments.size());
  for (std::size_t i = 0; i < segments.size(); ++i) m_vecRuleIds[i] = si_RuleTagId(segments[i]);
  m_iRuleIdsFile = i_GetCurrentFile();
  m_nRuleIdsGeneration = n_SegmentsGeneration();
  return m_vecRuleIds;
}

// --- validity --------------------------------------------------------------------------

void CQ_FrameVarnelVerifier::vv_SeedTagCounters() {
  for (const char* tag : {"<imk>", "<ie>", "<il>", "<ss>", "<sl>", "</imk>"}) {
    rco_TagCounters().rst_Enter(tag, CATEGORY_ALERT, false);
  }
  // The lexicon's special, reserved and quote characters, formatting pairs
  // and the sort-order mark are whole tags.
  for (const st_LexiconEntry& entry : CQ_KWXLexicon::sast_Entries()) {
    const int id = entry.i_TagId;
    if (id == TAGID_SPECIAL_CHARACTER || id == TAGID_RESERVED_CHARACTER || IsFormattingPair(id) || id == TAGID_SO) {
      rco_TagCounters().rst_Enter(std::string(entry.cs_Prefix), entry.i_Category, true);
    }
  }
}

void CQ_FrameVarnelVerifier::vv_CheckSourceInternalValidity() {
  for (const st_InternalTag& tag : rco_SourceInternalTags()) {
    if (tag.i_Category == CATEGORY_UNKNOWN_INTERNAL) v_Report(205, tag.n_Segment, tag.cs_Tag, std::string(tag.cs_Tag).c_str());
  }
}

void CQ_FrameVarnelVerifier::vv_CheckTargetValidity() {
  m_iRuleIdsFile = 0;  // categories change here
  CQ_TagSegmentList& segments = rco_TargetSegments();
  CQ_TagCounterMap& counters = rco_TagCounters();
  for (std::size_t i = 0; i < segments.size(); ++i) {
    st_TagSegment& segment = segments[i];
    if (segment.i_Category == CATEGORY_ADDED) {
      const std::string plain = scs_WithoutAddMark(segment.cs_Tag);
      const st_TagCounter* counter = counters.pcst_Find(plain);
      if (counter != nullptr && !counter->b_Internal && sb_IsAddableTag(plain)) {
        segment.i_Category = counter->n_SourceCount > 0 ? CATEGORY_ADDED_KNOWN : CATEGORY_ADDED_UNKNOWN;
      } else {
        segment.i_Category = CATEGORY_ADDED_UNKNOWN;
        v_Report(802, i, segment.cs_Tag, plain.c_str());
      }
      continue;
    }
    st_TagCounter* counter = counters.pst_Find(segment.cs_Tag);
    if (counter != nullptr && !counter->b_Internal) {
      --counter->i_Difference;
    } else {
      v_Report(801, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str());
    }
  }
  // Internal tags of added segments are checked but not counted.
  for (const st_InternalTag& tag : rco_TargetInternalTags()) {
    st_TagCounter* counter = counters.pst_Find(tag.cs_Tag);
    if (counter == nullptr || !counter->b_Internal) {
      v_Report(803, tag.n_Segment, tag.cs_Tag, std::string(tag.cs_Tag).c_str());
    } else if (!IsAdded(segments[tag.n_Segment])) {
      --counter->i_Difference;
    }
  }
}

void CQ_FrameVarnelVerifier::vv_CheckTargetValidityBackwards() {
  m_iRuleIdsFile = 0;  // categories change here
  KnownTags map(*pcco_GetBackConversionTagMap());
  CQ_TagSegmentList& segments = rco_TargetSegments();
  for (std::size_t i = 0; i < segments.size(); ++i) {
    st_TagSegment& segment = segments[i];
    if (segment.i_Category == CATEGORY_ADDED) {
      const std::string plain = scs_WithoutAddMark(segment.cs_Tag);
      if (map.b_Has(plain) && sb_IsAddableTag(plain)) {
        segment.i_Category = CATEGORY_ADDED_KNOWN;
      } else {
        segment.i_Category = CATEGORY_ADDED_UNKNOWN;
        v_Report(804, i, segment.cs_Tag, plain.c_str());
      }
    } else if (!map.b_Has(segment.cs_Tag)) {
      v_Report(801, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str());
    }
  }
  for (const st_InternalTag& tag : rco_TargetInternalTags()) {
    if (!map.b_Has(tag.cs_Tag)) v_Report(803, tag.n_Segment, tag.cs_Tag, std::string(tag.cs_Tag).c_str());
  }
}

// --- positioning of external tags -----------------------------------------------------

void CQ_FrameVarnelVerifier::vv_CheckExternalPositioning() {
  const CQ_TagSegmentList& segments = rco_CurrentSegments();
  const std::vector<int>& ids = rco_RuleTagIds();
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  std::size_t indexMarker = NONE;  // the segment that opened the index marker text being collected
  std::size_t indexLength = 0;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const st_TagSegment& segment = segments[i];
    const int id = ids[i];
    if (TextMayFollow(id)) continue;
    const std::string_view body = TextAfterTag(segment);
    switch (id) {
      case TAGID_MK: {
        const std::size_t length = CQ_MarkerTextMeasure::sn_MIFLength(body, false);
        if (length > MARKER_TEXT_LIMIT) {
          v_Report(303, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str(), static_cast<int>(length - MARKER_TEXT_LIMIT));
        }
        break;
      }
      case TAGID_IMK:
      case TAGID_IE:
      case TAGID_IL:
      case TAGID_SS:
      case TAGID_SL: {
        // A translator's <#imk> opens an index marker but holds no text.
        const bool addedOpening = id == TAGID_IMK && IsAdded(segment);
        if (addedOpening && !IsBlank(body)) v_Report(302, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str());
        if (id == TAGID_IMK || indexMarker == NONE) {
          indexMarker = i;
          indexLength = 0;
        }
        if (id != TAGID_IMK) ++indexLength;  // its separator character
        if (!addedOpening) indexLength += CQ_MarkerTextMeasure::sn_MIFLength(body, true);
        if (i + 1 >= segments.size() || !IsIndexPart(ids[i + 1])) {
          if (indexLength > MARKER_TEXT_LIMIT) {
            const std::string tag(segments[indexMarker].cs_Tag);
            v_Report(304, indexMarker, tag, tag.c_str(), static_cast<int>(indexLength - MARKER_TEXT_LIMIT));
          }
          indexMarker = NONE;
        }
        break;
      }
      case TAGID_KWX_CLOSE:
        if (!IsBlank(body)) v_Report(301, i, segment.cs_Tag);
        break;
      case TAGID_EL_CLOSE:
      case TAGID_ELF_CLOSE: {
        // Only blanks and internal element tags may follow.
        std::size_t pos = 0;
        bool sound = true;
        while (pos < body.size() && sound) {
          if (body[pos] == '<') {
            const std::size_t close = body.find('>', pos);
            const std::string_view tag = body.substr(pos, close == std::string_view::npos ? close : close - pos + 1);
            sound = tag.substr(0, 4) == "<:el" || tag.substr(0, 5) == "<:/el";
            pos = close == std::string_view::npos ? body.size() : close + 1;
          } else {
            sound = IsBlank(body.substr(pos, 1));
            ++pos;
          }
        }
        if (!sound) v_Report(305, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str());
        break;
      }
      case TAGID_BB:
        if (BuildingBlockKind(segment.cs_Tag) == HEADING && !IsBlank(body)) {
          v_Report(302, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str());
        }
        break;
      default:
        if (!IsBlank(body)) v_Report(302, i, segment.cs_Tag, std::string(segment.cs_Tag).c_str());
        break;
    }
  }
}

// --- structure of external tags ----------------------------------------------------------

void CQ_FrameVarnelVerifier::vv_CheckExternalStructure() {
  const std::vector<int>& ids = rco_RuleTagIds();
  CQ_TagStructureCheck check(rco_CurrentSegments(), ids, b_Document(),
                             [this](int number, std::size_t segment, std::string_view tag, std::string text) {
                               v_AddSegmentMessage(number, segment, vcs_SuppressionKey(tag), std::move(text));
                             });
  // The target's text boxes are measured against the source's.
  const bool source = i_GetCurrentFile() == FILE_SOURCE;
  if (!source) check.v_SetSourceParagraphs(pcco_GetSourceParagraphs());
  const st_BackConversionContext* context = pcco_GetBackConversionContext();
  if (context) check.v_SetBlocksElsewhere(context->pcco_BlocksElsewhere);
  check.v_Run();
  if (source) v_KeepSourceParagraphs(check.rco_Paragraphs());
  if (context && context->pco_Blocks) *context->pco_Blocks = check.rco_Blocks();
}

// --- positioning of internal tags -----------------------------------------------------------

void CQ_FrameVarnelVerifier::vv_CheckInternalPositioning() {
  const CQ_InternalTagList& tags = rco_CurrentInternalTags();
  const std::vector<int>& ids = rco_RuleTagIds();
  std::array<int, PAIRS.size()> open{};
  const auto endOfSegment = [&](std::size_t segment) {
    for (std::size_t p = 0; p < PAIRS.size(); ++p) {
      if (open[p] > 0) v_Report(PAIRS[p].withoutEnding, segment, PAIRS[p].opening, open[p]);
      open[p] = 0;
    }
  };
  bool conditionOpen = false;
  std::size_t conditionSegment = 0;
  std::vector<OpenElement> elements;
  std::vector<OpenElement> elementsWithFont;
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  std::size_t current = NONE;
  for (const st_InternalTag& tag : tags) {
    if (tag.n_Segment != current) {
      if (current != NONE) endOfSegment(current);
      current = tag.n_Segment;
    }
    const bool switches = IsFormatOrMarkerText(ids[current]);
    switch (tag.i_TagId) {
      case TAGID_CNS:
        if (conditionOpen) v_Report(501, current, tag.cs_Tag, 1);
        conditionOpen = true;
        conditionSegment = current;
        continue;
      case TAGID_CNS_CLOSE:
        if (!conditionOpen) v_Report(502, current, tag.cs_Tag, 1);
        conditionOpen = false;
        continue;
      case TAGID_IEL:
      case TAGID_IELF: {
        OpenElement& e = Find(tag.i_TagId == TAGID_IEL ? elements : elementsWithFont, QuotedName(tag.cs_Tag));
        ++e.count;
        e.segment = current;
        continue;
      }
      case TAGID_IEL_CLOSE:
      case TAGID_IELF_CLOSE: {
        const bool font = tag.i_TagId == TAGID_IELF_CLOSE;
        const std::string name = QuotedName(tag.cs_Tag);
        OpenElement& e = Find(font ? elementsWithFont : elements, name);
        if (e.count > 0) {
          --e.count;
        } else {
          v_Report(font ? 520 : 519, current, tag.cs_Tag, name.c_str(), name.c_str());
        }
        continue;
      }
      default:
        break;
    }
    const auto [pair, step] = PairStep(tag.i_TagId);
    if (pair < 0) continue;
    if (switches && pair == PAIR_CS) {
      // Format and marker texts switch character formats: a named format
      // opens nothing, and its closing tag ends a numbered one if open.
      if (step > 0 && !IsNumberedCharacterFormat(tag.cs_Tag)) continue;
      if (step < 0 && open[pair] == 0) continue;
    }
    open[pair] += step;
    if (open[pair] < 0) {
      v_Report(PAIRS[pair].withoutStarting, current, PAIRS[pair].closing, 1);
      open[pair] = 0;
    }
  }
  if (current != NONE) endOfSegment(current);
  if (conditionOpen) v_Report(501, conditionSegment, "<:cns \"", 1);
  for (const OpenElement& e : elements) {
    if (e.count > 0) v_Report(521, e.segment, "<:el \"", static_cast<int>(e.count), e.name.c_str(), e.name.c_str());
  }
  for (const OpenElement& e : elementsWithFont) {
    if (e.count > 0) v_Report(522, e.segment, "<:elf \"", static_cast<int>(e.count), e.name.c_str(), e.name.c_str());
  }
}

// --- structure of internal tags ---------------------------------------------------------------

void CQ_FrameVarnelVerifier::vv_CheckInternalStructure() {
  const CQ_TagSegmentList& segments = rco_CurrentSegments();
  const CQ_InternalTagList& tags = rco_CurrentInternalTags();
  const std::vector<int>& ids = rco_RuleTagIds();
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  std::size_t sortOrderSegment = NONE;  // the segment whose <:so> was seen last
  for (const st_InternalTag& tag : tags) {
    const std::size_t s = tag.n_Segment;
    const int segmentId = ids[s];
    const int id = tag.i_TagId;
    const bool running = IsRunningText(id);
    const bool characterFormat = id == TAGID_CS;
    const bool numbered = characterFormat && IsNumberedCharacterFormat(tag.cs_Tag);
    const bool otherCharacterSet = id == TAGID_C || id == TAGID_C_CLOSE;
    int message = 0;
    switch (segmentId) {
      case TAGID_TS:
        if ((running && id != TAGID_FC && id != TAGID_FC_CLOSE) || id == TAGID_IBB) {
          message = 601;
        } else if (tag.cs_Tag == "<:hr>") {
          message = 619;
        }
        break;
      case TAGID_MK:
        if (running || numbered) message = 602;
        break;
      case TAGID_IMK:
      case TAGID_IE:
      case TAGID_IL:
        if ((running && id != TAGID_SO) || numbered || otherCharacterSet) {
          message = segmentId == TAGID_IL ? 604 : 603;
        } else if (id == TAGID_SO) {
          if (sortOrderSegment == s) message = 617;
          sortOrderSegment = s;
        }
        break;
      case TAGID_SS:
      case TAGID_SL:
        if (running || numbered || otherCharacterSet) message = 605;
        break;
      case TAGID_XRFMT:
        if (running || numbered) message = 606;
        break;
      case TAGID_VFMT:
        if (running || numbered) message = 607;
        break;
      case TAGID_PNFMT:
        if (IsFormattingPair(id) || running || characterFormat || id == TAGID_CS_CLOSE) message = 608;
        break;
      case TAGID_EPSFMT:
        break;  // holds no text; positioning reports any
      case TAGID_BB:
        switch (BuildingBlockKind(segments[s].cs_Tag)) {
          case FOOTNOTE_BLOCK:
            if (running || numbered || id == TAGID_IBB) message = 610;
            break;
          case FORMAT_BLOCK:
          case PREFIX_SUFFIX_BLOCK:
            if (running || numbered) message = 610;
            break;
          case HEADING:
            break;  // holds no text; positioning reports any
        }
        break;
      default:
        if (id == TAGID_IBB) {
          message = 609;
        } else if (characterFormat && !numbered) {
          message = 612;
        } else if (id == TAGID_SO) {
          message = 611;
        }
        break;
    }
    if (message == 0) continue;
    const std::string text(tag.cs_Tag);
    const char* t = text.c_str();
    switch (message) {
      case 610:
        v_Report(610, s, tag.cs_Tag, t, std::string(segments[s].cs_Tag).c_str());
        break;
      case 617:
      case 619:
        v_Report(message, s, tag.cs_Tag);
        break;
      default:
        v_Report(message, s, tag.cs_Tag, t);
        break;
    }
  }
}
