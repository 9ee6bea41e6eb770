// The KWX tagged-text format: the one definition that every converter,
// reader and the verifier use.
//
// KWX text is a sequence of lines in the session's source code page. Tags
// begin with "<": external tags ("<" followed by a letter or "/") carry
// document structure and begin lines; internal tags ("<:") stand inside
// running text. Everything else is translatable text, in which "<" and ">"
// never stand for themselves (they are written "<:lt>" and "<:gt>").
//
// This header holds the vocabulary (tag texts and recognition prefixes),
// the six header lines with their MIF counterparts, the numbered tag kinds
// with their counters, builders for tag texts, the tables of special characters,
// reserved characters and quotes, a bracket-aware tokenizer, and the
// line rule that joins a converted list into KWX lines. The tag tables live
// in KWXTagTables.h.
//
// Tag texts and prefixes are plain 8-bit strings compared byte for byte.
// MIF counterparts ("fragments") are MIF text with a "\n" after every line.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "System/Export.h"
#include "System/Platform/LargeMemory.h"
#include "kernel/session/ExtStringList.h"

class CQ_KWXPieceList;
struct st_KWXPiece;

namespace KWX {

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------

// Format generation written by forward conversion, and the value of the
// session's KWX version field (EKWXVERSION) that stands for it.
inline constexpr std::string_view FORMAT_VERSION = "F3.00";
inline constexpr int FORMAT_GENERATION_CURRENT = 2;

inline constexpr std::string_view TAG_KWX = "<kwx \"F3.00\">";
// Written into the tag table in place of TAG_KWX by a converter object set
// to any other format generation.
inline constexpr std::string_view TAG_KWX_OTHER_GENERATION = "<kwx \"F3.xx\">";
inline constexpr std::string_view TAG_KWX_CLOSE = "</kwx>";
inline constexpr std::string_view PREFIX_KWX = "<kwx \"";
// Versions readers recognise besides FORMAT_VERSION.
inline constexpr std::string_view FORMAT_VERSION_F301 = "F3.01";
inline constexpr std::string_view FORMAT_VERSION_I300 = "I3.00";
// First lines of files of an earlier generation.
inline constexpr std::string_view TAG_TF = "<tf>";
inline constexpr std::string_view TAG_TFI = "<tfi>";

inline constexpr std::string_view TAG_SOURCECHARSET_NORMAL = "<sourcecharset \"Normal\">";
inline constexpr std::string_view TAG_SOURCECHARSET_SYMBOL = "<sourcecharset \"Symbol\">";
inline constexpr std::string_view PREFIX_SOURCECHARSET = "<sourcecharset \"";
inline constexpr std::string_view PREFIX_SOURCELANGUAGE = "<sourcelanguage \"";
inline constexpr std::string_view TAG_SOURCEHYPHENATION_TURN_OFF = "<sourcehyphenation \"Turn Off\">";
inline constexpr std::string_view TAG_SOURCEHYPHENATION_LEAVE_AS_IS = "<sourcehyphenation \"Leave As Is\">";
inline constexpr std::string_view PREFIX_SOURCEHYPHENATION = "<sourcehyphenation \"";
inline constexpr std::string_view TAG_SOURCEQUOTES_AS_TEXT = "<sourcequotes \"As Text\">";
inline constexpr std::string_view TAG_SOURCEQUOTES_AS_TAGS = "<sourcequotes \"As Tags\">";
inline constexpr std::string_view PREFIX_SOURCEQUOTES = "<sourcequotes \"";
inline constexpr std::string_view PREFIX_SOURCEPATH = "<sourcepath \"";

// MIF counterparts of the header lines and of </kwx> (MIF comment lines).
inline constexpr std::string_view MIF_KWX = "# File Converted by The Morvane for FrameMaker\n";
inline constexpr std::string_view MIF_SOURCECHARSET_NORMAL = "# Normal Character Set\n";
inline constexpr std::string_view MIF_SOURCECHARSET_SYMBOL = "# Symbol Character Set\n";
inline constexpr std::string_view MIF_SOURCELANGUAGE = "# Source Language\n";
inline constexpr std::string_view MIF_SOURCEHYPHENATION = "# Source Hyphenation\n";
inline constexpr std::string_view MIF_SOURCEQUOTES = "# Source Smart Quotes\n";
inline constexpr std::string_view MIF_SOURCEPATH = "# Source Path\n";
inline constexpr std::string_view MIF_KWX_CLOSE = "# end of file Converted by The Morvane\n";

// ---------------------------------------------------------------------------
// External tags (un-numbered texts and recognition prefixes)
// ---------------------------------------------------------------------------

inline constexpr std::string_view PREFIX_PAGE = "<page \"";
inline constexpr std::string_view TAG_PAGE_CLOSE = "</page>";
inline constexpr std::string_view PREFIX_TR = "<tr ";
inline constexpr std::string_view TAG_TR_CLOSE = "</tr>";
inline constexpr std::string_view PREFIX_TS = "<ts ";
inline constexpr std::string_view TAG_TS_CLOSE = "</ts>";
inline constexpr std::string_view TAG_UFO = "<ufo>";
inline constexpr std::string_view TAG_UFO_CLOSE = "</ufo>";
inline constexpr std::string_view PREFIX_AF = "<af ";
inline constexpr std::string_view TAG_AF_CLOSE = "</af>";
inline constexpr std::string_view PREFIX_TB = "<tb ";
inline constexpr std::string_view TAG_TB_CLOSE = "</tb>";
inline constexpr std::string_view TAG_TBT = "<tbt>";
inline constexpr std::string_view PREFIX_TBT = "<tbt";  // bare and numbered form
inline constexpr std::string_view TAG_TBT_CLOSE = "</tbt>";
inline constexpr std::string_view TAG_TBH = "<tbh>";
inline constexpr std::string_view TAG_TBH_CLOSE = "</tbh>";
inline constexpr std::string_view TAG_TBB = "<tbb>";
inline constexpr std::string_view TAG_TBB_CLOSE = "</tbb>";
inline constexpr std::string_view TAG_TBF = "<tbf>";
inline constexpr std::string_view TAG_TBF_CLOSE = "</tbf>";
inline constexpr std::string_view PREFIX_ROW = "<row ";
inline constexpr std::string_view TAG_ROW_CLOSE = "</row>";
inline constexpr std::string_view PREFIX_HROW = "<hrow ";
inline constexpr std::string_view PREFIX_CT = "<ct ";
inline constexpr std::string_view TAG_CT_CLOSE = "</ct>";
inline constexpr std::string_view PREFIX_FN = "<fn ";
inline constexpr std::string_view TAG_FN_CLOSE = "</fn>";
inline constexpr std::string_view PREFIX_MK = "<mk \"";
inline constexpr std::string_view TAG_MK_CLOSE = "</mk>";
inline constexpr std::string_view PREFIX_IMK = "<imk ";
inline constexpr std::string_view TAG_IMK = "<imk>";  // the bare form translators may add
inline constexpr std::string_view TAG_IMK_CLOSE = "</imk>";
inline constexpr std::string_view TAG_IE = "<ie>";
inline constexpr std::string_view TAG_IL = "<il>";
inline constexpr std::string_view TAG_SS = "<ss>";
inline constexpr std::string_view TAG_SL = "<sl>";
inline constexpr std::string_view PREFIX_PS = "<ps \"";
inline constexpr std::string_view PREFIX_PN = "<pn \"";
inline constexpr std::string_view PREFIX_E = "<e \"";
inline constexpr std::string_view PREFIX_EL = "<el \"";
inline constexpr std::string_view PREFIX_EL_CLOSE = "</el \"";
inline constexpr std::string_view PREFIX_ELF = "<elf \"";
inline constexpr std::string_view PREFIX_ELF_CLOSE = "</elf \"";
inline constexpr std::string_view PREFIX_BB = "<bb \"";
inline constexpr std::string_view PREFIX_XRFMT = "<xrfmt \"";
inline constexpr std::string_view PREFIX_VFMT = "<vfmt \"";
inline constexpr std::string_view PREFIX_PNFMT = "<pnfmt \"";
inline constexpr std::string_view PREFIX_EPSFMT = "<epsfmt \"";
inline constexpr std::string_view PREFIX_FILE = "<file \"";
inline constexpr std::string_view PREFIX_FILE_CLOSE = "</file \"";

// The dummy paragraph tag that closes a condition run or text inset left
// open at the end of a list, and its counterpart ("<Para" and an empty
// line).
inline constexpr std::string_view TAG_PS_DUMMY = "<ps \"\" 0>";
inline constexpr std::string_view MIF_PS_DUMMY = "<Para\n\n";

// ---------------------------------------------------------------------------
// Internal tags
// ---------------------------------------------------------------------------

inline constexpr std::string_view PREFIX_CS = "<:cs \"";
inline constexpr std::string_view TAG_CS_CLOSE = "<:/cs>";
inline constexpr std::string_view PREFIX_FC = "<:fc ";
inline constexpr std::string_view TAG_FC_CLOSE = "<:/fc>";
inline constexpr std::string_view PREFIX_CNS = "<:cns \"";
inline constexpr std::string_view TAG_CNS_CLOSE = "<:/cns>";
// A condition run that ends without one having been opened.
inline constexpr std::string_view TAG_CNS_DUMMY = "<:cns \"\" 0>";
inline constexpr std::string_view MIF_CNS_DUMMY = "# Conditional Text Dummy that gets deleted backwards!\n";
inline constexpr std::string_view PREFIX_IEL = "<:el \"";
inline constexpr std::string_view PREFIX_IEL_CLOSE = "<:/el \"";
inline constexpr std::string_view PREFIX_IELF = "<:elf \"";
inline constexpr std::string_view PREFIX_IELF_CLOSE = "<:/elf \"";
inline constexpr std::string_view PREFIX_EP = "<:ep \"";
inline constexpr std::string_view PREFIX_ES = "<:es \"";
inline constexpr std::string_view PREFIX_XR = "<:xr \"";
inline constexpr std::string_view PREFIX_V = "<:v \"";
inline constexpr std::string_view PREFIX_IFN = "<:fn ";
inline constexpr std::string_view PREFIX_IMK_PLACEHOLDER = "<:mk \"";
inline constexpr std::string_view PREFIX_IIMK = "<:imk ";
inline constexpr std::string_view PREFIX_FMK1 = "<:fmk1 ";
inline constexpr std::string_view PREFIX_FMK2 = "<:fmk2 ";
inline constexpr std::string_view PREFIX_HMK = "<:hmk ";
inline constexpr std::string_view PREFIX_CRMK = "<:crmk ";
inline constexpr std::string_view PREFIX_CNMK = "<:cnmk ";
inline constexpr std::string_view PREFIX_IAF = "<:iaf ";
inline constexpr std::string_view PREFIX_TI = "<:ti ";
inline constexpr std::string_view TAG_TI_CLOSE = "<:/ti>";
inline constexpr std::string_view PREFIX_IBB = "<:bb \"";
inline constexpr std::string_view TAG_SO = "<:so>";
inline constexpr std::string_view TAG_LT = "<:lt>";
inline constexpr std::string_view TAG_GT = "<:gt>";
inline constexpr std::string_view PREFIX_SC = "<:sc \"";
inline constexpr std::string_view TAG_SC_CLOSE = "<:/sc>";

// Counterparts of the placeholders for markers and index markers.
inline constexpr std::string_view MIF_MARKER_PLACEHOLDER = "# Marker PlaceHolder\n";
inline constexpr std::string_view MIF_INDEX_MARKER_PLACEHOLDER = "# Index Marker PlaceHolder\n";

// Special characters (FrameMaker codes 0x04 to 0x15).
inline constexpr std::string_view TAG_DH = "<:dh>";
inline constexpr std::string_view TAG_NH = "<:nh>";
inline constexpr std::string_view TAG_SH = "<:sh>";
inline constexpr std::string_view TAG_T = "<:t>";
inline constexpr std::string_view TAG_HR = "<:hr>";
inline constexpr std::string_view TAG_NS = "<:ns>";
inline constexpr std::string_view TAG_HS = "<:hs>";
inline constexpr std::string_view TAG_THS = "<:ts>";  // thin space
inline constexpr std::string_view TAG_ENS = "<:ens>";
inline constexpr std::string_view TAG_EMS = "<:ems>";
inline constexpr std::string_view TAG_HH = "<:hh>";

// Quote tags.
inline constexpr std::string_view TAG_LQ = "<:lq>";
inline constexpr std::string_view TAG_RQ = "<:rq>";
inline constexpr std::string_view TAG_LDQ = "<:ldq>";
inline constexpr std::string_view TAG_RDQ = "<:rdq>";
inline constexpr std::string_view TAG_GLQ = "<:glq>";
inline constexpr std::string_view TAG_GRQ = "<:grq>";
inline constexpr std::string_view TAG_FLQ = "<:flq>";
inline constexpr std::string_view TAG_FRQ = "<:frq>";

// A FrameMaker character of Western text that the document's double-byte
// code page cannot hold: "<:ch " + its code in two lower-case hexadecimal
// digits + ">" ("<:ch 8a>" is a-umlaut). Back conversion writes the code's
// escape for it.
inline constexpr std::string_view PREFIX_CH = "<:ch ";

// Character-format pairs that readers accept but forward conversion does
// not write.
inline constexpr std::string_view TAG_B = "<:b>";
inline constexpr std::string_view TAG_B_CLOSE = "<:/b>";
inline constexpr std::string_view TAG_I = "<:i>";
inline constexpr std::string_view TAG_I_CLOSE = "<:/i>";
inline constexpr std::string_view TAG_BI = "<:bi>";
inline constexpr std::string_view TAG_BI_CLOSE = "<:/bi>";
inline constexpr std::string_view TAG_S = "<:s>";
inline constexpr std::string_view TAG_S_CLOSE = "<:/s>";
inline constexpr std::string_view TAG_C = "<:c>";
inline constexpr std::string_view TAG_C_CLOSE = "<:/c>";
inline constexpr std::string_view TAG_C1 = "<:c1>";
inline constexpr std::string_view TAG_C1_CLOSE = "<:/c1>";
inline constexpr std::string_view TAG_C2 = "<:c2>";
inline constexpr std::string_view TAG_C2_CLOSE = "<:/c2>";

// ---------------------------------------------------------------------------
// Character tables shared by forward and back conversion
// ---------------------------------------------------------------------------

struct st_CharacterTag {
  unsigned char n_Code;     // FrameMaker character code
  const char* lpsz_Name;    // MIF name of a Char statement, or null
  std::string_view cs_Tag;  // the internal tag
};

// FrameMaker's special characters 0x04 to 0x15 with their Char names.
OSTRAKON_API const std::array<st_CharacterTag, 11>& sast_SpecialCharacters();
// Reserved-character tags: FrameMaker codes without a Windows-1252 glyph.
OSTRAKON_API const std::array<st_CharacterTag, 11>& sast_ReservedCharacters();
// Quote tags with the FrameMaker code each stands for in back conversion
// (<:grq> stands for 0xD2, the code German text uses for it).
OSTRAKON_API const std::array<st_CharacterTag, 8>& sast_QuoteTags();

// ---------------------------------------------------------------------------
// Building blocks of the ancillary section
// ---------------------------------------------------------------------------

inline constexpr std::string_view BB_CROSS_REFERENCE_FORMATS = "Cross-Reference Formats";
inline constexpr std::string_view BB_CROSS_REFERENCE = "Cross-Reference";
inline constexpr std::string_view BB_VARIABLE_FORMATS = "Variable Formats";
inline constexpr std::string_view BB_VARIABLE = "Variable";
inline constexpr std::string_view BB_PARAGRAPH_NUMBERING_FORMATS = "Paragraph Numbering Formats";
inline constexpr std::string_view BB_PARAGRAPH_NUMBERING_FORMAT = "Paragraph Numbering Format";
inline constexpr std::string_view BB_ELEMENT_PREFIX_SUFFIX_FORMATS = "Element Prefix/Suffix Formats";
inline constexpr std::string_view BB_ELEMENT_PREFIX_SUFFIX = "Element Prefix/Suffix";
inline constexpr std::string_view BB_PREFIX = "Prefix";
inline constexpr std::string_view BB_SUFFIX = "Suffix";
inline constexpr std::string_view BB_FOOTNOTE_FORMATS = "Footnote Prefix/Suffix Formats";
inline constexpr std::string_view BB_FOOTNOTE_ANCHOR_PREFIX = "Footnote Anchor Prefix";
inline constexpr std::string_view BB_FOOTNOTE_ANCHOR_SUFFIX = "Footnote Anchor Suffix";
inline constexpr std::string_view BB_FOOTNOTE_NUMBER_PREFIX = "Footnote Number Prefix";
inline constexpr std::string_view BB_FOOTNOTE_NUMBER_SUFFIX = "Footnote Number Suffix";
inline constexpr std::string_view BB_TABLE_FOOTNOTE_FORMATS = "Table Footnote Prefix/Suffix Formats";
inline constexpr std::string_view BB_TABLE_FOOTNOTE_ANCHOR_PREFIX = "Table Footnote Anchor Prefix";
inline constexpr std::string_view BB_TABLE_FOOTNOTE_ANCHOR_SUFFIX = "Table Footnote Anchor Suffix";
inline constexpr std::string_view BB_TABLE_FOOTNOTE_NUMBER_PREFIX = "Table Footnote Number Prefix";
inline constexpr std::string_view BB_TABLE_FOOTNOTE_NUMBER_SUFFIX = "Table Footnote Number Suffix";
inline constexpr std::string_view BB_MASTER_PAGES = "Master Pages";

// All 21 building-block names above, in the order of the ancillary section.
OSTRAKON_API const std::array<std::string_view, 21>& sacs_BuildingBlockNames();

// ---------------------------------------------------------------------------
// Counters and numbered tags
// ---------------------------------------------------------------------------

// The fifteen per-file counters, all starting at 1, and the per-list
// counter of <:elf> tags (restarted for each converted line list).
enum ET_KWXCounter : int {
  COUNTER_PARAGRAPHS = 0,       // <ps>
  COUNTER_TABLE_ROWS,           // <row>, <hrow>
  COUNTER_TABLE_CELLS,          // <ct>
  COUNTER_TEXT_LINES,           // <ts>
  COUNTER_CONDITIONS,           // <:cns>
  COUNTER_CHARACTER_FORMATS,    // <:cs>
  COUNTER_FONT_CHANGES,         // <:fc>
  COUNTER_ELEMENTS,             // <e>, <:el>
  COUNTER_CROSS_REFERENCES,     // <:xr>
  COUNTER_VARIABLES,            // <:v>
  COUNTER_PARAGRAPH_NUMBERS,    // <pn>
  COUNTER_INDEX_MARKERS,        // <imk>
  COUNTER_OTHER_MARKERS,        // <mk>, <:fmk1>, <:fmk2>, <:hmk>, <:crmk>, <:cnmk>
  COUNTER_TEXT_INSETS,          // <:ti>
  COUNTER_TABLE_TITLES,         // <tbt N>
  COUNTER_FILE_COUNT,           // = 15, the number of per-file counters
  COUNTER_ELF = COUNTER_FILE_COUNT,  // <:elf>, per line list
  COUNTER_ALL_COUNT             // = 16
};

// The kinds of numbered tag. The first fifteen reuse the tag of a known
// fragment; the others take the next number every time, since their
// fragments hold their own text.
enum ET_KWXNumberedTag : int {
  NUMBERED_PS = 0,   // <ps "NAME" N>
  NUMBERED_PN,       // <pn "TEXT" N>
  NUMBERED_CS,       // <:cs "NAME" N>
  NUMBERED_FC,       // <:fc N>
  NUMBERED_CNS,      // <:cns "NAME" N>
  NUMBERED_E,        // <e "NAME" N>
  NUMBERED_EL,       // <:el "NAME" N>
  NUMBERED_ELF,      // <:elf "NAME" N>
  NUMBERED_XR,       // <:xr "FORMAT" N>
  NUMBERED_V,        // <:v "NAME" N>
  NUMBERED_ROW,      // <row N>
  NUMBERED_HROW,     // <hrow N>
  NUMBERED_CT,       // <ct N>
  NUMBERED_TBT,      // <tbt N>
  NUMBERED_TI,       // <:ti N>
  NUMBERED_REUSABLE_COUNT,  // = 15
  NUMBERED_TS = NUMBERED_REUSABLE_COUNT,  // <ts N>
  NUMBERED_MK,       // <mk "TYPE" N>
  NUMBERED_IMK,      // <imk N>
  NUMBERED_FMK1,     // <:fmk1 N>
  NUMBERED_FMK2,     // <:fmk2 N>
  NUMBERED_HMK,      // <:hmk N>
  NUMBERED_CRMK,     // <:crmk N>
  NUMBERED_CNMK,     // <:cnmk N>
  NUMBERED_KIND_COUNT
};

struct st_NumberedTagInfo {
  std::string_view cs_Opening;  // "<ps", "<:fc", ...: the text before the first blank
  bool b_Named;                 // a quoted name argument precedes the number
  bool b_Reusable;              // a known fragment gives its known tag
  ET_KWXCounter et_Counter;
};

OSTRAKON_API const st_NumberedTagInfo& rst_NumberedTagInfo(ET_KWXNumberedTag kind);

// ---------------------------------------------------------------------------
// Tag builders. Names must already be KWX text (see TextConverter.h); they
// are put between double quotes as they are.
// ---------------------------------------------------------------------------

// <ps "NAME" N>, <:fc N>, <row N>, ...; the name is ignored for kinds that
// take none.
OSTRAKON_API std::string ccs_MakeNumberedTag(ET_KWXNumberedTag kind, std::string_view name, unsigned number);
// The same tag, written over `out` (which keeps its room between calls).
OSTRAKON_API void v_WriteNumberedTag(std::string& out, ET_KWXNumberedTag kind, std::string_view name, unsigned number);

// An opening text followed by one blank, the argument and ">":
// ccs_MakeIdTag(PREFIX_TR, "12") gives "<tr 12>". prefix must end with the
// blank (PREFIX_TR, PREFIX_AF, PREFIX_TB, PREFIX_FN, PREFIX_IFN,
// PREFIX_IAF, PREFIX_IIMK ...).
OSTRAKON_API std::string ccs_MakeIdTag(std::string_view prefix, std::string_view id);

// A prefix ending with a double quote, the name, a closing double quote and
// ">": ccs_MakeQuotedTag(PREFIX_PAGE, "3") gives "<page \"3\">".
OSTRAKON_API std::string ccs_MakeQuotedTag(std::string_view prefix, std::string_view name);

// The name between the first two double quotes of a tag: "3" for
// "<page \"3\">". Empty without a quote; without a closing quote empty,
// or with untilEnd the rest of the tag after the opening quote.
OSTRAKON_API std::string_view sv_QuotedName(std::string_view tag, bool untilEnd = false);

// <bb "NAME"> and its counterpart, the MIF comment "# NAME\n".
OSTRAKON_API std::string ccs_MakeBuildingBlockTag(std::string_view name);
OSTRAKON_API std::string ccs_BuildingBlockMIF(std::string_view name);

// The external form of an internal element tag, made by dropping the
// colon: "<:el \"X\" 3>" gives "<el \"X\" 3>", "<:/elf \"X\">" gives
// "</elf \"X\">". Any other text is returned unchanged.
OSTRAKON_API std::string ccs_ExternalElementForm(std::string_view internalTag);

// The marker placeholder of a marker block's opening tag:
// "<mk \"Comment\" 7>" gives "<:mk \"Comment\" 7>", "<imk 4>" gives
// "<:imk 4>". Any other text is returned unchanged.
OSTRAKON_API std::string ccs_PlaceholderForm(std::string_view openingTag);

// ---------------------------------------------------------------------------
// Header lines
// ---------------------------------------------------------------------------

struct st_TagPair {
  std::string cs_Tag;
  std::string cs_MIF;
};

// The values the six header lines are made from (session settings and the
// source file's full path).
struct st_HeaderSettings {
  int i_CharacterSet = 0;           // 0 "Normal", otherwise "Symbol"
  std::string cs_SourceLanguage;    // the session's source language name
  int i_SourceHyphenation = 0;      // 0 "Turn Off", otherwise "Leave As Is"
  int i_SmartQuotes = 0;            // 0 "As Text", otherwise "As Tags"
  std::string cs_SourcePath;        // folder, file name and extension
  int i_FormatGeneration = FORMAT_GENERATION_CURRENT;
};

// The six header lines in file order, each with its MIF counterpart. The
// first is TAG_KWX for the current generation, TAG_KWX_OTHER_GENERATION for
// any other.
OSTRAKON_API std::array<st_TagPair, 6> sast_MakeHeader(const st_HeaderSettings& settings);

// The closing line </kwx> with its counterpart.
OSTRAKON_API st_TagPair st_MakeTrailer();

// The tags whose counterpart is always the same text, entered into the tag
// tables before a list is converted: </page>, </af>, <ufo>, </ufo>, </tr>,
// </ts>, <:/cns>, </mk>, </fn>, </tb>, <tbh>, </tbh>, <tbb>, </tbb>, <tbf>,
// </tbf>, </row>, </ct>, <:/cs>, <:/ti>.
OSTRAKON_API const std::vector<st_TagPair>& sast_FixedTagPairs();

// ---------------------------------------------------------------------------
// Recognising tags
// ---------------------------------------------------------------------------

// An ASCII hexadecimal digit, and its value (for such a digit only).
inline bool b_IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline int i_HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// The same text but for the letter case of ASCII letters.
inline bool b_EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y)) return false;
  }
  return true;
}

// True when text begins with an external tag: "<" followed by a letter or
// "/" (also "<#", the form in which translators add external tags).
OSTRAKON_API bool b_IsExternalTag(std::string_view text);
// True when text begins with "<:".
OSTRAKON_API bool b_IsInternalTag(std::string_view text);
// True when text begins with prefix (the reader's recognition rule).
// Inlined, so that a prefix known when compiling is compared without a
// call.
[[gnu::always_inline]] inline bool b_HasPrefix(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The position of the first '<' or '>' in text at or after pos, or
// text.size() when there is none (also for pos past the end). Tests eight
// bytes at a time, so that runs of text between tags cost little.
inline std::size_t sn_FindBracket(std::string_view text, std::size_t pos) {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  // '<' (0x3C) and '>' (0x3E) differ only in bit 1: with that bit set,
  // both are '>' and no other byte is.
  const auto brackets = [](std::uint64_t word) {
    const std::uint64_t v = (word | (ones * 0x02)) ^ (ones * '>');
    // The high bit of each zero byte of v; above the first one, a byte may
    // be marked that is not zero, so only the lowest mark counts.
    return (v - ones) & ~v & (ones * 0x80);
  };
  const std::size_t size = text.size();
  if constexpr (std::endian::native == std::endian::little) {
    // The first byte in memory is the word's lowest.
    while (pos + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + pos, 8);
      if (const std::uint64_t marks = brackets(word)) return pos + static_cast<std::size_t>(std::countr_zero(marks)) / 8;
      pos += 8;
    }
  } else {
    while (pos + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + pos, 8);
      if (brackets(word)) break;
      pos += 8;
    }
  }
  for (; pos < size; ++pos) {
    if (text[pos] == '<' || text[pos] == '>') return pos;
  }
  return size;
}

// Calls visit(i) for the place i of every '<' and '>' of text, in order.
// Sixteen bytes are tested at once where SSE2 is there, and every bracket
// among them is visited from the one test; the last bytes of a text of
// sixteen or more are tested with the text's last sixteen.
template <class Visit>
void sv_ForEachBracket(std::string_view text, Visit&& visit) {
  const std::size_t n = text.size();
  std::size_t base = 0;
#if defined(__SSE2__)
  if (n >= 16) {
    // '<' (0x3C) and '>' (0x3E) differ only in bit 1: with that bit set,
    // both are '>' and no other byte is.
    const __m128i bit = _mm_set1_epi8(0x02);
    const __m128i gt = _mm_set1_epi8('>');
    const auto marks = [&](std::size_t at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, bit), gt)));
    };
    for (; base + 16 <= n; base += 16) {
      for (unsigned m = marks(base); m != 0; m &= m - 1) visit(base + static_cast<std::size_t>(__builtin_ctz(m)));
    }
    if (base < n) {
      const std::size_t at = n - 16;
      for (unsigned m = marks(at) & (0xFFFFu << (base - at)); m != 0; m &= m - 1) {
        visit(at + static_cast<std::size_t>(__builtin_ctz(m)));
      }
    }
    return;
  }
#endif
  for (std::size_t i = sn_FindBracket(text, base); i < n; i = sn_FindBracket(text, i + 1)) visit(i);
}

enum ET_TokenKind : int {
  TOKEN_TEXT = 0,      // translatable text (a stray ">" included)
  TOKEN_TAG,           // from "<" to the ">" that brings the depth back to 0
  TOKEN_UNCLOSED_TAG,  // a "<" whose tag is not closed before the end
};

struct st_Token {
  ET_TokenKind et_Kind;
  std::string_view cs_Text;  // a view into the tokenised text
};

// Calls visit(const st_Token&) for each tag and run of text of text, in
// order, without allocating: the tokens sast_Tokenize gives, for a caller
// that reads each once.
template <typename Visit>
void sv_ForEachToken(std::string_view text, Visit&& visit) {
  std::size_t pos = 0;
  const std::size_t size = text.size();
  while (pos < size) {
    if (text[pos] != '<') {
      const std::size_t next = text.find('<', pos);
      const std::size_t end = next == std::string_view::npos ? size : next;
      visit(st_Token{TOKEN_TEXT, text.substr(pos, end - pos)});
      pos = end;
      continue;
    }
    // A tag: find the '>' that brings the depth back to zero, going from
    // bracket to bracket.
    int depth = 0;
    std::size_t end = pos;
    while (end < size) {
      if (text[end] == '<') {
        ++depth;
      } else if (--depth == 0) {
        break;
      }
      end = sn_FindBracket(text, end + 1);
    }
    if (end == size) {
      visit(st_Token{TOKEN_UNCLOSED_TAG, text.substr(pos)});
      return;
    }
    visit(st_Token{TOKEN_TAG, text.substr(pos, end + 1 - pos)});
    pos = end + 1;
  }
}

// Cuts text into tags and runs of text, counting bracket depth so that a
// tag argument may hold balanced "<...>" (such as "<:lt>" in a quoted
// name). Runs in one pass; the views point into text.
OSTRAKON_API std::vector<st_Token> sast_Tokenize(std::string_view text);
// The same into tokens (cleared first), so that a caller tokenising many
// lines keeps one vector's room.
OSTRAKON_API void sv_Tokenize(std::string_view text, std::vector<st_Token>& tokens);

// ---------------------------------------------------------------------------
// The line rule
// ---------------------------------------------------------------------------

// Joins the pieces of a converted list into KWX lines: every external tag
// begins a new line; text and internal tags are appended to the current
// line; a <pn ...> tag that directly follows a <ps ...> tag stays on its
// line; an internal <:hr> begins a new line. A piece may hold several tags
// and text; tags are found by bracket depth, so "<:hr>" or an external tag
// text inside a quoted tag argument never splits a line. No empty line is
// produced. Linear in the total length.
// A file's KWX lines in compact form: their text one after another in one
// buffer (huge pages for large files), and where each line ends. Lines are
// read as views, valid while the list lives and is not added to.
class OSTRAKON_API CQ_KWXLines {
 public:
  CQ_KWXLines() = default;
  CQ_KWXLines(CQ_KWXLines&& other) noexcept;
  CQ_KWXLines& operator=(CQ_KWXLines&& other) noexcept;
  CQ_KWXLines(const CQ_KWXLines&) = delete;
  CQ_KWXLines& operator=(const CQ_KWXLines&) = delete;

  void v_Add(std::string_view line) {
    if (m_coText.size() - m_nTextSize < line.size()) v_Grow(line.size());
    if (!line.empty()) std::memcpy(m_coText.data() + m_nTextSize, line.data(), line.size());
    m_nTextSize += line.size();
    m_vecEnds.push_back(m_nTextSize);
  }
  // Appends text to the line after the last one ended, which is not a line
  // of the list until v_EndLine ends it.
  void v_Append(std::string_view text) {
    if (m_coText.size() - m_nTextSize < text.size()) v_Grow(text.size());
    if (!text.empty()) std::memcpy(m_coText.data() + m_nTextSize, text.data(), text.size());
    m_nTextSize += text.size();
  }
  // Ends the line appended to since the last line ended; an empty one is
  // no line.
  void v_EndLine() {
    if (m_nTextSize > (m_vecEnds.empty() ? 0 : m_vecEnds.back())) m_vecEnds.push_back(m_nTextSize);
  }
  // Room for `lines` lines holding `bytes` bytes in all.
  void v_Reserve(std::size_t lines, std::size_t bytes);
  std::size_t size() const { return m_vecEnds.size(); }
  bool empty() const { return m_vecEnds.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : m_vecEnds[i - 1];
    return {m_coText.data() + begin, m_vecEnds[i] - begin};
  }
  CQ_StringList lst_Strings() const;
  void v_Clear();

 private:
  // The joiner fills a list whose room it reserved through its members.
  friend class CQ_KWXLineJoiner;
  // Moves the text to a buffer with room for `more` bytes beyond it.
  void v_Grow(std::size_t more);

  // The text is a plain buffer, copied with memcpy (a vector with its own
  // allocator would copy byte by byte).
  Platform::LargeBuffer m_coText;
  std::size_t m_nTextSize = 0;
  std::vector<std::size_t, Platform::LargeAllocator<std::size_t>> m_vecEnds;
};

class OSTRAKON_API CQ_KWXLineJoiner {
 public:
  CQ_KWXLineJoiner() = default;
  // A joiner that keeps its lines in compact form (co_FinishCompact).
  explicit CQ_KWXLineJoiner(CQ_KWXLines&& room) : m_coLines(std::move(room)), m_bCompact(true) {}

  // Appends one piece of converted output.
  void v_Add(std::string_view piece);
  // The same for a compact piece: one that is a single token is placed by
  // its kind bits without being tokenised again.
  void v_Add(const st_KWXPiece& piece);
  // Ends the current line and moves all finished lines out; the joiner is
  // empty afterwards.
  CQ_StringList lst_Finish();
  // The same, in compact form (either form from either kind of joiner;
  // each gives its own without copying).
  CQ_KWXLines co_FinishCompact();

  // Appends a whole list of pieces, as v_Add(const st_KWXPiece&) does one
  // by one. A compact joiner places a one-token piece by its kind bits and
  // copies it at once; the lines grow where their room (co_JoinLines
  // reserves all of it) runs out.
  void v_AddReserved(const st_KWXPiece* first, const st_KWXPiece* last);

 private:
  void v_BeginLine();
  // Appends text to the current line.
  void v_Append(std::string_view text) {
    if (m_bCompact) {
      m_coLines.v_Append(text);
    } else {
      m_strLine.append(text);
    }
  }
  CQ_StringList m_lstLines;
  CQ_KWXLines m_coLines;
  bool m_bCompact = false;  // lines are built in m_coLines itself
  std::string m_strLine;    // the current line, when not compact
  bool m_bLastWasParagraph = false;  // the previous token was a <ps ...> tag
};

// Joins a whole converted list (see CQ_KWXLineJoiner).
OSTRAKON_API CQ_StringList lst_JoinLines(const CQ_StringList& pieces);
OSTRAKON_API CQ_StringList lst_JoinLines(const std::vector<std::string>& pieces);
// The lines of a converted piece list, in compact form.
OSTRAKON_API CQ_KWXLines co_JoinLines(const CQ_KWXPieceList& pieces);

// The font tags of a translation and the character formats the back
// conversion gives them ("VarnelBold" for <:b>, ...).
struct st_VarnelFont {
  std::string_view sv_Tag;
  std::string_view sv_Font;
};
inline constexpr st_VarnelFont VARNEL_FONTS[] = {
    {"<:b>", "VarnelBold"},   {"<:i>", "VarnelItalic"},         {"<:bi>", "VarnelBoldItalic"}, {"<:c>", "VarnelNormal"},
    {"<:c1>", "VarnelCourierNew"}, {"<:c2>", "VarnelArial"}, {"<:s>", "VarnelSmallCaps"},
};
// The closing tags that restore the paragraph's default font: those of the
// font tags, of character styles and of font changes.
inline constexpr std::string_view FONT_CLOSING_TAGS[] = {"<:/cs>", "<:/fc>", "<:/b>",  "<:/i>", "<:/bi>",
                                                         "<:/c>",  "<:/c1>", "<:/c2>", "<:/s>"};

}  // namespace KWX
