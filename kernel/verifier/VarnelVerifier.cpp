// The order of a verification run and the checks that do not depend on the
// tag vocabulary. Each section is one pass over a segment list or an
// internal tag list, so a run costs time in proportion to the size of the
// files. Segments are cut and classified by the KWX reader; internal tags
// are cut here from the text that follows each segment's own tag.
#include "kernel/verifier/VarnelVerifier.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "kernel/backward/KWXReader.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/KernelStrings.h"

namespace {

enum : unsigned { NOTE_NEVER_SOURCE_ERRORS = Msg::REPORT_NOTE_NEVER_SOURCE_ERRORS, NOTE_SOURCE_INVALID = Msg::REPORT_NOTE_SOURCE_INVALID };

// The end of the tag that starts at text[begin] (one past the ">" that
// brings the bracket depth back to zero), or the end of the text.
std::size_t TagEnd(std::string_view text, std::size_t begin) {
  long depth = 0;
  for (std::size_t i = KWX::sn_FindBracket(text, begin); i < text.size(); i = KWX::sn_FindBracket(text, i + 1)) {
    if (text[i] == '<') {
      ++depth;
    } else if (--depth == 0) {
      return i + 1;
    }
  }
  return text.size();
}

// The bracket error of a segment's text: 101 when "<" and ">" differ in
// number, 102 when the depth falls below zero, 103 when it rises above
// two, 104 when an external tag ("<" followed by anything but ":") opens
// inside another tag; 0 when the brackets are sound.
// Eight bytes at a time: true when some byte of word equals the byte
// repeated in pattern.
bool HasByte(std::uint64_t word, std::uint64_t pattern) {
  const std::uint64_t v = word ^ pattern;
  return ((v - 0x0101010101010101ULL) & ~v & 0x8080808080808080ULL) != 0;
}

constexpr std::uint64_t Repeated(unsigned char b) { return 0x0101010101010101ULL * b; }

// The first position from pos on whose word of eight bytes holds a '<',
// a '\n' or a byte from 0x80; the bytes before it are plain ASCII text.
// The caller goes on byte by byte from there.
std::size_t SkipASCIIWords(std::string_view text, std::size_t pos) {
  const std::size_t n = text.size();
  while (pos + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + pos, 8);
    if ((word & 0x8080808080808080ULL) != 0 || HasByte(word, Repeated('<')) || HasByte(word, Repeated('\n'))) break;
    pos += 8;
  }
  return pos;
}

int BracketError(std::string_view text) {
  KWX::st_BracketCount count;
  const std::size_t size = text.size();
  KWX::sv_ForEachBracket(text, [&](std::size_t i) {
    if (text[i] == '<') {
      count.v_Open(i + 1 < size && text[i + 1] != ':');
    } else {
      count.v_Close();
    }
  });
  return count.i_Error();
}

// How a tag changes the number of open other-character-set spans: +1 for
// <:c>, <:c1> and <:c2>, -1 for their closers, 0 for any other tag. Only a
// tag that begins "<:c" or "<:/c" and then ">", "1" or "2" can be one of
// them, so only such a tag is looked up in the lexicon (character styles,
// "<:cs ...>", are far more common).
int OtherCharacterSetStep(std::string_view tag) {
  const auto spanEnd = [&](std::size_t at) { return at < tag.size() && (tag[at] == '>' || tag[at] == '1' || tag[at] == '2'); };
  if (tag.size() < 4 || tag[1] != ':') return 0;
  if (!(tag[2] == 'c' && spanEnd(3)) && !(tag[2] == '/' && tag[3] == 'c' && spanEnd(4))) return 0;
  const int id = KWX::CQ_KWXLexicon::rst_Lookup(tag).i_TagId;
  return id == KWX::TAGID_C ? 1 : id == KWX::TAGID_C_CLOSE ? -1 : 0;
}

// The text of a segment that follows its own tag.
std::string_view TextAfterTag(const KWX::st_TagSegment& segment) {
  return segment.sv_TextAfterTag();
}

// Double-byte characters that FrameMaker lacks, by target language.
struct CharacterRule {
  int message;
  bool japaneseLeadBytes;  // Shift-JIS lead bytes; otherwise every byte from 0x81
  bool (*reported)(unsigned char lead, unsigned char trail);
};

bool JapaneseLacks(unsigned char lead, unsigned char trail) {
  // The NEC and IBM extension rows, and the unassigned end of row 84.
  return lead == 0xED || lead == 0xEE || lead == 0xFA || lead == 0xFB || lead == 0xFC || (lead == 0xEA && trail >= 0xA5);
}
bool TraditionalChineseLacks(unsigned char lead, unsigned char trail) {
  return lead == 0xF9 && trail >= 0xDD && trail <= 0xFE;
}
bool ExtensionLeadByte(unsigned char lead, unsigned char) { return lead >= 0x81 && lead <= 0xA0 && lead != 0x90; }

const CharacterRule* RuleForLanguage(std::string_view language) {
  static const CharacterRule japanese{1205, true, JapaneseLacks};
  static const CharacterRule traditional{1202, false, TraditionalChineseLacks};
  static const CharacterRule simplified{1203, false, ExtensionLeadByte};
  static const CharacterRule korean{1204, false, ExtensionLeadByte};
  if (language.substr(0, 8) == "Japanese") return &japanese;
  if (language == "Chinese (Traditional)") return &traditional;
  if (language == "Chinese (Simplified)") return &simplified;
  if (language == "Korean") return &korean;
  return nullptr;
}

// Which bytes and byte pairs are characters of a code page, as its
// conversion to Unicode accepts them; built once per code page.
class CodePageCharacters {
 public:
  explicit CodePageCharacters(int codePage) : m_doubleByte(CQ_TextConverter::sb_IsDoubleByteCodePage(codePage)) {
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      m_single.fill(true);  // a code page the system cannot convert: nothing is judged
      m_unknown = true;
      v_FindPlainBytes(codePage);
      return;
    }
    for (int b = 0; b < 256; ++b) {
      const char in[1] = {static_cast<char>(b)};
      m_single[b] = Converts(cd, in, 1);
    }
    if (m_doubleByte) {
      m_pairs.assign(65536, 0);
      for (int lead = 0x81; lead <= 0xFE; ++lead) {
        if (!CQ_TextConverter::sb_IsLeadByte(codePage, static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
          const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
          m_pairs[static_cast<std::size_t>(lead << 8 | trail)] = Converts(cd, in, 2) ? 1 : 0;
        }
      }
    }
    iconv_close(cd);
    v_FindPlainBytes(codePage);
  }

  bool b_DoubleByte() const { return m_doubleByte && !m_unknown; }
  // True for a byte from 0x80 that is no character of the code page on its
  // own or is a lead byte: the only bytes that can give message 1207 (a
  // lead byte by the pair it begins). Never true for ASCII.
  bool b_Suspect(unsigned char b) const { return m_suspect[b]; }
  // The runs of 32 bytes from 0x80 that hold suspect bytes, each as its
  // first byte repeated in a word (the top three bits of a byte name its
  // run: 100, 101, 110, 111).
  const std::uint64_t* pc_SuspectRuns() const { return m_suspectRuns.data(); }
  std::size_t n_SuspectRuns() const { return m_nSuspectRuns; }
  // True for a byte that is a character of the code page on its own and
  // neither a line end nor "<": every ASCII byte but those two, and the
  // bytes from 0x80 the code page holds as single characters (never a
  // lead byte of a double-byte code page).
  bool b_Plain(unsigned char b) const { return m_plain[b]; }
  bool b_Single(unsigned char b) const { return m_single[b]; }
  bool b_Pair(unsigned char lead, unsigned char trail) const {
    return m_pairs[static_cast<std::size_t>(lead << 8 | trail)] != 0;
  }

 private:
  // True when the bytes convert whole into one character.
  static bool Converts(iconv_t cd, const char* bytes, std::size_t size) {
    char in[2];
    std::memcpy(in, bytes, size);
    char out[16];
    char* ip = in;
    char* op = out;
    std::size_t il = size;
    std::size_t ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0 && op != out;
  }

  void v_FindPlainBytes(int codePage) {
    for (int b = 0; b < 256; ++b) {
      const auto c = static_cast<unsigned char>(b);
      if (c < 0x80) {
        m_plain[c] = c != '\n' && c != '<';
      } else {
        m_plain[c] = m_single[c] && !(b_DoubleByte() && CQ_TextConverter::sb_IsLeadByte(codePage, c));
        m_suspect[c] = !m_plain[c];
      }
    }
    for (unsigned r = 0; r < 4; ++r) {
      const auto first = static_cast<unsigned char>(0x80 + 32 * r);
      if (std::any_of(m_suspect.begin() + first, m_suspect.begin() + first + 32, [](bool b) { return b; })) {
        m_suspectRuns[m_nSuspectRuns++] = Repeated(first);
      }
    }
  }

  bool m_doubleByte;
  bool m_unknown = false;
  std::array<bool, 256> m_single{};
  std::array<bool, 256> m_plain{};
  std::array<bool, 256> m_suspect{};
  std::array<std::uint64_t, 4> m_suspectRuns{};
  std::size_t m_nSuspectRuns = 0;
  std::vector<unsigned char> m_pairs;  // 1 for a character, by lead << 8 | trail
};

const CodePageCharacters& CharactersOf(int codePage) {
  static std::map<int, std::unique_ptr<CodePageCharacters>> tables;
  std::unique_ptr<CodePageCharacters>& table = tables[codePage];
  if (!table) table = std::make_unique<CodePageCharacters>(codePage);
  return *table;
}

// The first position from pos on that holds no plain byte of the code page
// (CodePageCharacters::b_Plain), or the end of the text: ASCII words are
// passed over eight bytes at a time, other bytes one by one, a word's
// length at a time.
std::size_t SkipPlainBytes(std::string_view text, std::size_t pos, const CodePageCharacters& characters) {
  const std::size_t n = text.size();
  for (;;) {
    pos = SkipASCIIWords(text, pos);
    const std::size_t stop = std::min(n, pos + 8);
    while (pos < stop && characters.b_Plain(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos < stop || pos == n) return pos;
  }
}

// The position of the first byte of the text that is no character of the
// code page on its own (CodePageCharacters::b_Suspect), or the text's size.
// Words of eight bytes are passed over when none of their bytes lies in a
// run of 32 that holds suspect bytes (ASCII never does); text without such
// a byte holds nothing the character check could report, wherever its tags
// and line breaks stand.
std::size_t FindSuspectByte(std::string_view text, const CodePageCharacters& characters) {
  const std::uint64_t* const runs = characters.pc_SuspectRuns();
  const std::size_t runCount = characters.n_SuspectRuns();
  const std::size_t n = text.size();
  if (runCount == 0) return n;
  std::size_t pos = 0;
  while (pos < n) {
#if defined(__SSE2__)
    // Sixteen bytes at a time while none lies in a run that holds suspect
    // bytes (ASCII never does).
    while (pos + 16 <= n) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
      if (_mm_movemask_epi8(bytes) != 0) {
        const __m128i top = _mm_and_si128(bytes, _mm_set1_epi8(static_cast<char>(0xE0)));
        __m128i hit = _mm_setzero_si128();
        for (std::size_t r = 0; r < runCount; ++r) {
          hit = _mm_or_si128(hit, _mm_cmpeq_epi8(top, _mm_set1_epi8(static_cast<char>(runs[r] & 0xFF))));
        }
        if (_mm_movemask_epi8(hit) != 0) break;
      }
      pos += 16;
    }
#endif
    if (pos + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + pos, 8);
      bool maybe = false;
      if ((word & Repeated(0x80)) != 0) {
        const std::uint64_t top = word & Repeated(0xE0);
        for (std::size_t r = 0; r < runCount && !maybe; ++r) maybe = HasByte(top, runs[r]);
      }
      if (!maybe) {
        pos += 8;
        continue;
      }
    }
    const std::size_t stop = std::min(n, pos + 8);
    for (; pos < stop; ++pos) {
      if (characters.b_Suspect(static_cast<unsigned char>(text[pos]))) return pos;
    }
  }
  return n;
}

// Which segments of a list hold a suspect byte (FindSuspectByte), asked in
// segment order. The tokeniser's segments lie one after another in one
// text: a run of them that follow each other without a gap is searched as
// one text, from one suspect byte to the next, instead of segment by
// segment; a segment that does not follow the one before starts a new run.
class SuspectSegments {
 public:
  SuspectSegments(const KWX::CQ_TagSegmentList& segments, const CodePageCharacters& characters)
      : m_segments(segments), m_characters(characters) {}

  bool b_Has(std::size_t i) {
    const std::string_view whole = m_segments[i].cs_Text;
    const char* const begin = whole.data();
    if (i == 0 || begin != m_expected || begin == nullptr) {
      // A new run: it ends where the segments stop following each other.
      const char* end = begin + whole.size();
      for (std::size_t j = i + 1; j < m_segments.size() && m_segments[j].cs_Text.data() == end; ++j) {
        end += m_segments[j].cs_Text.size();
      }
      m_runEnd = end;
      m_next = nullptr;
    }
    m_expected = begin + whole.size();
    if (m_next == nullptr || m_next < begin) {
      const std::string_view rest(begin, static_cast<std::size_t>(m_runEnd - begin));
      m_next = begin + FindSuspectByte(rest, m_characters);
    }
    return m_next < begin + whole.size();
  }

 private:
  const KWX::CQ_TagSegmentList& m_segments;
  const CodePageCharacters& m_characters;
  const char* m_expected = nullptr;  // where the next segment begins when it follows this one
  const char* m_runEnd = nullptr;    // the end of the current run of segments
  const char* m_next = nullptr;      // the first suspect byte of the run from the last search on, or m_runEnd
};

std::string HexBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%s0x%02X", out.empty() ? "" : " ", b);
    out += buffer;
  }
  return out;
}

bool IsLeadByte(unsigned char c, bool shiftJIS) {
  return shiftJIS ? (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) : c >= 0x81 && c <= 0xFE;
}

}  // namespace

// --- tag counter map ------------------------------------------------------------

st_TagCounter& CQ_TagCounterMap::rst_Enter(std::string_view tag, int category, bool internal) {
  const auto found = m_mapIndex.find(tag);
  if (found != m_mapIndex.end()) return m_vecRecords[found->second];
  m_mapIndex.emplace(std::string(tag), m_vecRecords.size());
  st_TagCounter record;
  record.cs_Tag = std::string(tag);
  record.i_Category = category;
  record.b_Internal = internal;
  m_vecRecords.push_back(std::move(record));
  return m_vecRecords.back();
}

st_TagCounter* CQ_TagCounterMap::pst_Find(std::string_view tag) {
  const auto it = m_mapIndex.find(tag);
  return it == m_mapIndex.end() ? nullptr : &m_vecRecords[it->second];
}

const st_TagCounter* CQ_TagCounterMap::pcst_Find(std::string_view tag) const {
  const auto it = m_mapIndex.find(tag);
  return it == m_mapIndex.end() ? nullptr : &m_vecRecords[it->second];
}

void CQ_TagCounterMap::v_Clear() {
  m_vecRecords.clear();
  m_mapIndex.clear();
}

// --- verifier ---------------------------------------------------------------------

CQ_VarnelVerifier::CQ_VarnelVerifier(CQ_Morvane_Communication& session, bool frameMaker, bool document)
    : m_rcoSession(session), m_bFrameMaker(frameMaker), m_bDocument(document) {}

CQ_VarnelVerifier::~CQ_VarnelVerifier() = default;

std::string CQ_VarnelVerifier::vcs_SuppressionKey(std::string_view tag) const {
  const std::string plain = scs_WithoutAddMark(tag);
  const std::string_view t = plain;
  const std::size_t quote = t.find('"');
  if (quote != std::string_view::npos) return std::string(t.substr(0, quote + 1));
  if (t.substr(0, 4) == "<imk") return "<imk";
  const std::size_t blank = t.find(' ');
  if (blank != std::string_view::npos) return std::string(t.substr(0, blank + 1));
  if (t.size() > 3 && t.substr(0, 3) == "<:r" && t[3] >= '0' && t[3] <= '9') return std::string(t.substr(0, 4));
  return plain;
}

std::string CQ_VarnelVerifier::scs_WithoutAddMark(std::string_view tag) {
  if (tag.size() >= 2 && tag[0] == '<' && tag[1] == '#') return "<" + std::string(tag.substr(2));
  return std::string(tag);
}

bool CQ_VarnelVerifier::sb_IsAddableTag(std::string_view tag) {
  return tag.substr(0, 5) == "<ps \"" || tag.substr(0, 5) == "<pn \"" || tag.substr(0, 4) == "<imk" ||
         tag == "</imk>" || tag == "<ie>" || tag == "<il>" || tag == "<ss>" || tag == "<sl>";
}

int CQ_VarnelVerifier::si_RuleTagId(const KWX::st_TagSegment& segment) {
  switch (segment.i_Category) {
    case KWX::CATEGORY_ADDED_KNOWN:
    case KWX::CATEGORY_ADDED:
    case KWX::CATEGORY_ADDED_UNKNOWN: {
      const std::string plain = scs_WithoutAddMark(segment.cs_Tag);
      return sb_IsAddableTag(plain) ? KWX::CQ_KWXLexicon::rst_Lookup(plain).i_TagId : KWX::TAGID_UNKNOWN_EXTERNAL;
    }
    default:
      return segment.i_TagId;
  }
}

void CQ_VarnelVerifier::v_AddEntry(st_VarnelReportEntry entry) {
  switch (entry.co_Record.i_Type) {
    case Varnel::TYPE_ERROR:
      ++m_nErrors;
      break;
    case Varnel::TYPE_ALERT:
      ++m_nAlerts;
      break;
    case Varnel::TYPE_WARNING:
      ++m_nWarnings;
      break;
    default:
      break;
  }
  m_vecEntries.push_back(std::move(entry));
}

void CQ_VarnelVerifier::v_AddSegmentMessage(int number, std::size_t segment, std::string key, std::string text) {
  v_AddSegmentEntry(m_iSection, m_iCurrentFile, number, segment, std::move(key), std::move(text));
}

void CQ_VarnelVerifier::v_AddSegmentEntry(int section, int file, int number, std::size_t segment, std::string key,
                                          std::string text) {
  const KWX::st_TagSegment& s = (file == FILE_SOURCE ? m_lstSourceSegments : m_lstTargetSegments)[segment];
  st_VarnelReportEntry entry;
  entry.co_Record = CQ_Morvane_ErrorMessage(Varnel::i_MessageType(number), std::move(text), std::move(key));
  entry.co_Record.v_AddReference(file, s.n_Line);
  entry.i_Message = number;
  entry.i_Section = section;
  entry.b_Numbered = true;
  entry.i_Context = st_VarnelReportEntry::CONTEXT_SEGMENT;
  entry.cs_Context = co_SegmentText(file, segment);
  v_AddEntry(std::move(entry));
}

CQ_SharedText CQ_VarnelVerifier::co_SegmentText(int file, std::size_t segment) {
  const bool source = file == FILE_SOURCE;
  auto& texts = m_amapSegmentTexts[source ? 0 : 1];
  const auto found = texts.find(segment);
  if (found != texts.end()) return found->second;
  const KWX::st_TagSegment& s = (source ? m_lstSourceSegments : m_lstTargetSegments)[segment];
  return texts.emplace(segment, CQ_SharedText(std::string(s.cs_Text))).first->second;
}

void CQ_VarnelVerifier::v_AddPlainLine(std::string text) {
  st_VarnelReportEntry entry;
  entry.co_Record = CQ_Morvane_ErrorMessage(Varnel::TYPE_NONE, std::move(text), std::string());
  entry.i_Section = m_iSection;
  v_AddEntry(std::move(entry));
}

void CQ_VarnelVerifier::v_HandOverRecords() {
  CQ_Morvane_ErrorList list;
  for (const st_VarnelReportEntry& entry : m_vecEntries) {
    if (entry.co_Record.i_Type != Varnel::TYPE_NONE) list.push_back(std::make_unique<CQ_Morvane_ErrorMessage>(entry.co_Record));
  }
  m_rcoSession.v_TakeErrorList(&list);
}

void CQ_VarnelVerifier::v_BeginSection(int section) {
  m_rcoSession.v_UpdateUI();
  m_iSection = section;
}

// --- verification mode -------------------------------------------------------------

void CQ_VarnelVerifier::v_ReadFiles(std::vector<std::string>& source, std::vector<std::string>& target) {
  const std::string name = m_rcoSession.lpsz_GetCurrentFileName();
  const std::string extension = m_rcoSession.lpsz_GetCurrentFileExtension();
  const std::string sourceName = m_rcoSession.lpsz_GetORGFilesPath() + name + extension;
  const std::string targetName = m_rcoSession.lpsz_GetTranslatedFilesPath() + name + extension;
  st_KWXHeader header;
  CQ_KWXReader::sv_ReadKWXLines(sourceName, extension, source, m_rcoSession.i_GetSourceCodePage());
  CQ_KWXReader::sv_ValidateVerifierHeader(source, m_rcoSession, sourceName, true, header);
  m_rcoSession.v_UpdateUI();
  CQ_KWXReader::sv_ReadKWXLines(targetName, extension, target, m_rcoSession.i_GetTargetCodePage(),
                                &m_vecUnrepresentable);
  CQ_KWXReader::sv_ValidateVerifierHeader(target, m_rcoSession, targetName, false, header);
  m_rcoSession.v_UpdateUI();
}

bool CQ_VarnelVerifier::b_CheckSource(const std::vector<std::string>& lines) {
  m_bBackConversion = false;
  m_iCurrentFile = FILE_SOURCE;
  m_lstSourceSegments.clear();
  m_amapSegmentTexts[0].clear();
  m_lstSourceInternal.clear();
  m_coTagCounters.v_Clear();
  m_pcoSourceParagraphs = nullptr;
  const KWX::CQ_KWXText text(lines);
  KWX::CQ_KWXSegmenter::sv_Tokenise(text, m_lstSourceSegments);
  ++m_nSegmentsGeneration;

  v_BeginSection(1);
  if (!b_CheckBrackets(text)) {
    v_AddPlainLine(lpsz_LoadKernelString(NOTE_NEVER_SOURCE_ERRORS));
    v_AddPlainLine(lpsz_LoadKernelString(NOTE_SOURCE_INVALID));
    return false;
  }

  v_BeginSection(2);
  const KWX::st_ClassifyResult classified = KWX::CQ_KWXSegmenter::st_Classify(m_lstSourceSegments, true);
  for (const KWX::st_ClassifyError& error : classified.ast_Errors) {
    const std::string tag(m_lstSourceSegments[error.n_Segment].cs_Tag);
    v_Report(error.i_Error, error.n_Segment, tag, tag.c_str());
  }
  v_CollectInternalTags();
  vv_SeedTagCounters();
  v_CountSourceTags();
  vv_CheckSourceInternalValidity();

  v_BeginSection(3);
  vv_CheckExternalPositioning();
  v_BeginSection(4);
  vv_CheckExternalStructure();
  v_BeginSection(5);
  vv_CheckInternalPositioning();
  v_BeginSection(6);
  vv_CheckInternalStructure();
  return true;
}

bool CQ_VarnelVerifier::b_CheckTarget(const std::vector<std::string>& lines) {
  m_bBackConversion = false;
  m_pcoTagMap = nullptr;
  return b_RunTargetSections(KWX::CQ_KWXText(lines));
}

// --- back-conversion mode -------------------------------------------------------------

bool CQ_VarnelVerifier::b_CheckTranslatedList(const std::vector<std::string>& lines, const CQ_TagMap& tagMap,
                                              const st_BackConversionContext* context) {
  return b_CheckTranslatedList(KWX::CQ_KWXText(lines), tagMap, context);
}

bool CQ_VarnelVerifier::b_CheckTranslatedList(const KWX::CQ_KWXText& lines, const CQ_TagMap& tagMap,
                                              const st_BackConversionContext* context) {
  m_bBackConversion = true;
  m_pcoTagMap = &tagMap;
  m_pcoContext = context;
  m_pcoSourceParagraphs = context ? context->pcco_SourceParagraphs : nullptr;
  if (context && context->pcco_Unrepresentable) m_vecUnrepresentable = *context->pcco_Unrepresentable;
  const bool sound = b_RunTargetSections(lines);
  m_pcoTagMap = nullptr;
  m_pcoContext = nullptr;
  m_pcoSourceParagraphs = nullptr;
  return sound && m_nErrors == 0;
}

// --- sections ------------------------------------------------------------------------------

bool CQ_VarnelVerifier::b_RunTargetSections(const KWX::CQ_KWXText& lines) {
  m_iCurrentFile = FILE_TARGET;
  m_lstTargetSegments.clear();
  m_amapSegmentTexts[1].clear();
  m_lstTargetInternal.clear();
  m_nAddedTags = 0;
  KWX::CQ_KWXSegmenter::sv_Tokenise(lines, m_lstTargetSegments);
  ++m_nSegmentsGeneration;

  v_BeginSection(7);
  if (!b_CheckBrackets(lines)) return false;

  v_BeginSection(8);
  m_nAddedTags = KWX::CQ_KWXSegmenter::st_Classify(m_lstTargetSegments, false).n_AddedTags;
  v_CollectInternalTags();
  if (m_bBackConversion) {
    vv_CheckTargetValidityBackwards();
  } else {
    vv_CheckTargetValidity();
  }

  v_BeginSection(9);
  vv_CheckExternalPositioning();
  v_BeginSection(10);
  vv_CheckExternalStructure();
  v_BeginSection(11);
  vv_CheckInternalPositioning();
  v_BeginSection(12);
  vv_CheckInternalStructure();
  v_CheckTargetCharacters();
  return true;
}

bool CQ_VarnelVerifier::b_CheckBrackets(const KWX::CQ_KWXText& lines) {
  const KWX::CQ_TagSegmentList& segments = rco_CurrentSegments();
  const std::size_t before = m_nErrors;
  if (segments.empty()) {
    // Without a single closed tag the tokeniser keeps nothing; the whole
    // text is left over at the end of the file.
    std::string text(lines.sv());
    const int number = BracketError(text);
    if (number != 0) {
      st_VarnelReportEntry entry;
      entry.co_Record = CQ_Morvane_ErrorMessage(Varnel::TYPE_ERROR, Varnel::ccs_FormatMessage(number), "");
      entry.co_Record.v_AddReference(m_iCurrentFile, static_cast<unsigned>(lines.size() + 1));
      entry.i_Message = number;
      entry.i_Section = m_iSection;
      entry.b_Numbered = true;
      entry.i_Context = st_VarnelReportEntry::CONTEXT_SEGMENT;
      entry.cs_Context = std::move(text);
      v_AddEntry(std::move(entry));
      v_AddPlainLine(Varnel::END_OF_FILE_NOTE);
    }
    return m_nErrors == before;
  }
  // The tokeniser appends text that no tag claims at the end of the file
  // to the last segment; that segment then ends on a line of the file
  // rather than one past its last line.
  const bool leftOver = segments.back().n_Line <= lines.size();
  for (std::size_t i = 0; i < segments.size(); ++i) {
    // The tokeniser counts the brackets of the segments it cuts.
    const KWX::st_TagSegment& segment = segments[i];
    const int number = segment.i_BracketError >= 0 ? segment.i_BracketError : BracketError(segment.cs_Text);
    if (number == 0) continue;
    v_Report(number, i, segments[i].cs_Tag);
    if (leftOver && i + 1 == segments.size()) v_AddPlainLine(Varnel::END_OF_FILE_NOTE);
  }
  return m_nErrors == before;
}

void CQ_VarnelVerifier::v_CollectInternalTags() {
  const KWX::CQ_TagSegmentList& segments = rco_CurrentSegments();
  CQ_InternalTagList& tags = rco_CurrentInternalTags();
  tags.clear();
  // About one internal tag a segment is usual: room for that many at once.
  tags.reserve(segments.size());
  KWX::CQ_LexiconMemo lexicon;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::string_view text = TextAfterTag(segments[i]);
    // A tag runs from a '<' at depth 0 to the '>' that brings the depth
    // back to 0 (or to the end of the text); a '>' at depth 0 is text.
    const auto add = [&](std::size_t begin, std::size_t end) {
      const std::string_view tag = text.substr(begin, end - begin);
      if (tag.size() < 2 || tag[1] != ':') return;
      const KWX::st_LexiconEntry& entry = lexicon.rst_Lookup(tag);
      st_InternalTag& record = tags.emplace_back();
      record.cs_Tag = tag;
      record.i_TagId = entry.i_TagId;
      record.i_Category = entry.i_Category;
      record.n_Segment = i;
    };
    long depth = 0;
    std::size_t begin = 0;
    KWX::sv_ForEachBracket(text, [&](std::size_t at) {
      if (text[at] == '<') {
        if (depth++ == 0) begin = at;
      } else if (depth > 0 && --depth == 0) {
        add(begin, at + 1);
      }
    });
    if (depth > 0) add(begin, text.size());
  }
}

void CQ_VarnelVerifier::v_CountSourceTags() {
  for (const KWX::st_TagSegment& segment : m_lstSourceSegments) {
    st_TagCounter& counter = m_coTagCounters.rst_Enter(segment.cs_Tag, segment.i_Category, false);
    ++counter.n_SourceCount;
    ++counter.i_Difference;
  }
  for (const st_InternalTag& tag : m_lstSourceInternal) {
    st_TagCounter& counter = m_coTagCounters.rst_Enter(tag.cs_Tag, tag.i_Category, true);
    ++counter.n_SourceCount;
    ++counter.i_Difference;
  }
}

int CQ_VarnelVerifier::i_TargetCodePage() const { return m_rcoSession.i_TargetTextCodePage(); }

std::size_t CQ_VarnelVerifier::n_TargetSegmentStartLine(std::size_t i) const {
  return i == 0 ? 1 : m_lstTargetSegments[i - 1].n_Line;
}

void CQ_VarnelVerifier::v_CheckRepresentable(int codePage, bool (*reportedByLanguage)(unsigned char, unsigned char)) {
  const KWX::CQ_TagSegmentList& segments = m_lstTargetSegments;
  if (segments.empty()) return;
  // Characters the reader could not put into the code page, shown in the
  // report's source font.
  const int sourceCodePage = m_rcoSession.i_SourceTextCodePage();
  for (const st_UnrepresentableCharacter& c : m_vecUnrepresentable) {
    std::size_t i = segments.size() - 1;
    while (i > 0 && n_TargetSegmentStartLine(i) > c.n_Line) --i;
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c.c_Character));
    std::string glyph;
    if (!CQ_RTFReader::sb_EncodeCharacter(c.c_Character, sourceCodePage, glyph)) glyph.clear();
    v_AddSegmentMessage(1206, i, Varnel::DO_NOT_SUPPRESS,
                        Varnel::ccs_FormatMessage(1206, code, glyph.c_str(), static_cast<int>(c.n_Line), codePage));
  }
  // Bytes of the text (outside tags and other-character-set spans) that
  // are no character of the code page: one message per line at most.
  const CodePageCharacters& characters = CharactersOf(codePage);
  SuspectSegments suspect(segments, characters);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::string_view whole = segments[i].cs_Text;
    // Most segments hold only characters of the code page: one quick pass
    // over the segments tells, and only the others are walked tag by tag
    // and line by line.
    if (!suspect.b_Has(i)) continue;
    const std::string_view text = TextAfterTag(segments[i]);
    const std::size_t offset = whole.size() - text.size();
    std::size_t line = n_TargetSegmentStartLine(i) +
                       static_cast<std::size_t>(std::count(whole.begin(), whole.begin() + offset, '\n'));
    std::size_t reportedLine = 0;
    int otherCharacterSet = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const auto b = static_cast<unsigned char>(text[pos]);
      if (characters.b_Plain(b)) {
        // ASCII is a character of every supported code page, and so is a
        // byte the code page holds on its own: runs of them are passed
        // over at once.
        pos = SkipPlainBytes(text, pos + 1, characters);
        continue;
      }
      if (b == '\n') {
        ++line;
        ++pos;
        continue;
      }
      if (b == '<') {
        const std::size_t end = TagEnd(text, pos);
        const int step = OtherCharacterSetStep(text.substr(pos, end - pos));
        if (step > 0) ++otherCharacterSet;
        if (step < 0 && otherCharacterSet > 0) --otherCharacterSet;
        // Tags seldom hold a line break: memchr tells before anything is counted.
        if (std::memchr(text.data() + pos, '\n', end - pos) != nullptr) {
          line += static_cast<std::size_t>(std::count(text.begin() + pos, text.begin() + end, '\n'));
        }
        pos = end;
        continue;
      }
      std::size_t length = 1;
      bool valid = characters.b_Single(b);
      if (characters.b_DoubleByte() && CQ_TextConverter::sb_IsLeadByte(codePage, b)) {
        const bool hasTrail = pos + 1 < text.size() && text[pos + 1] != '\n' && text[pos + 1] != '<';
        valid = hasTrail && characters.b_Pair(b, static_cast<unsigned char>(text[pos + 1]));
        if (hasTrail) length = 2;
        // Characters the target language's own rule reports are its to report.
        if (!valid && hasTrail && reportedByLanguage != nullptr &&
            reportedByLanguage(b, static_cast<unsigned char>(text[pos + 1]))) {
          valid = true;
        }
      }
      if (!valid && otherCharacterSet == 0 && reportedLine != line) {
        reportedLine = line;
        v_AddSegmentMessage(1207, i, Varnel::DO_NOT_SUPPRESS,
                            Varnel::ccs_FormatMessage(1207, HexBytes(text.substr(pos, length)).c_str(),
                                                      static_cast<int>(line), codePage));
      }
      // An invalid pair gives up only its first byte: the second may begin
      // the next character.
      pos += valid ? length : 1;
    }
  }
}

void CQ_VarnelVerifier::v_CheckTargetCharacters() {
  const CharacterRule* rule = RuleForLanguage(m_rcoSession.lpsz_GetTargetLanguage());
  v_CheckRepresentable(i_TargetCodePage(), rule != nullptr ? rule->reported : nullptr);
  if (rule == nullptr) return;
  const KWX::CQ_TagSegmentList& segments = m_lstTargetSegments;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::string_view text = TextAfterTag(segments[i]);
    int otherCharacterSet = 0;  // open <:c>, <:c1>, <:c2> spans
    std::size_t pos = 0;
    while (pos < text.size()) {
      if (text[pos] == '<') {
        const std::size_t end = TagEnd(text, pos);
        const int step = OtherCharacterSetStep(text.substr(pos, end - pos));
        if (step > 0) ++otherCharacterSet;
        if (step < 0 && otherCharacterSet > 0) --otherCharacterSet;
        pos = end;
        continue;
      }
      const auto lead = static_cast<unsigned char>(text[pos]);
      if (!IsLeadByte(lead, rule->japaneseLeadBytes) || pos + 1 >= text.size() || text[pos + 1] == '<') {
        ++pos;
        continue;
      }
      const auto trail = static_cast<unsigned char>(text[pos + 1]);
      if (otherCharacterSet == 0 && rule->reported(lead, trail)) {
        v_AddSegmentMessage(rule->message, i, Varnel::DO_NOT_SUPPRESS,
                            Varnel::ccs_FormatMessage(rule->message, static_cast<int>(lead), static_cast<int>(trail)));
      }
      pos += 2;
    }
  }
}
