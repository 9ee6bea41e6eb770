// The lexicon table and its lookup. The search keeps table order but only
// visits the entries that can match: entries are filed by the two bytes
// after the tag's "<" (after "<:" for internal tags), each bucket keeping
// the catch-alls that apply at its end. A lookup therefore costs one or two
// prefix comparisons instead of up to 131.
#include "kernel/backward/KWXLexicon.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace KWX {
namespace {

constexpr st_LexiconEntry E(std::string_view prefix, int id, int category) {
  return {prefix, id, category, static_cast<int>(prefix.size())};
}

// The element and prefix/suffix entries end with the opening quote of
// their name: "<:ep \"" rather than "<:ep \">", which would match only an
// empty name.
constexpr std::array<st_LexiconEntry, CQ_KWXLexicon::LEXICON_SIZE> ENTRIES = {{
    // paragraph tags
    E("<ps \"", 0, 1), E("<pn \"", 1, 1),
    // text boxes, strings, pages and header
    E("<tr ", 4, 3), E("</tr>", 5, 3), E("<ts ", 6, 3), E("</ts>", 7, 3), E("<page \"", 8, 3), E("</page>", 9, 3),
    E("<sourcecharset \"", 10, 3), E("<sourcelanguage \"", 11, 3), E("<sourcehyphenation \"", 12, 3),
    E("<sourcequotes \"", 14, 3), E("<sourcepath \"", 13, 3),
    // frames, footnotes, markers
    E("<af ", 19, 3), E("</af>", 20, 3), E("<ufo>", 22, 3), E("</ufo>", 23, 3), E("<fn ", 24, 3), E("</fn>", 25, 3),
    E("<mk \"", 28, 3), E("</mk>", 29, 3),
    // index markers
    E("<imk", 30, 2), E("<ie>", 32, 2), E("<il>", 33, 2), E("<ss>", 34, 2), E("<sl>", 35, 2), E("</imk>", 31, 2),
    // file and tables
    E("<kwx ", 37, 3), E("</kwx>", 38, 3), E("<tb ", 39, 3), E("</tb>", 40, 3), E("<tbt", 41, 3), E("</tbt>", 42, 3),
    E("<tbh>", 43, 3), E("</tbh>", 44, 3), E("<tbb>", 45, 3), E("</tbb>", 46, 3), E("<tbf>", 47, 3),
    E("</tbf>", 48, 3), E("<row ", 49, 3), E("</row>", 50, 3), E("<hrow ", 51, 3), E("<ct ", 53, 3),
    E("</ct>", 54, 3),
    // elements, building blocks, formats, files
    E("<e \"", 58, 3), E("<el \"", 59, 3), E("</el \"", 60, 3), E("<elf \"", 61, 3), E("</elf \"", 62, 3),
    E("<bb \"", 63, 3), E("<xrfmt \"", 68, 3), E("<vfmt \"", 69, 3), E("<pnfmt \"", 71, 3), E("<epsfmt \"", 73, 3),
    E("<file \"", 74, 3), E("</file \"", 75, 3),
    // special characters
    E("<:dh>", 77, 1), E("<:nh>", 77, 1), E("<:sh>", 77, 1), E("<:t>", 77, 1), E("<:hr>", 77, 1),
    E("<:ns>", 77, 1), E("<:hs>", 77, 1), E("<:ts>", 77, 1), E("<:ens>", 77, 1), E("<:ems>", 77, 1),
    E("<:hh>", 77, 1), E("<:lt>", 77, 1), E("<:gt>", 77, 1),
    // reserved characters
    E("<:r1>", 79, 2), E("<:r30>", 79, 2), E("<:r31>", 79, 2), E("<:r32>", 79, 2), E("<:r33>", 79, 2),
    E("<:r34>", 79, 2), E("<:r35>", 79, 2), E("<:r36>", 79, 2), E("<:r37>", 79, 2), E("<:r38>", 79, 2),
    E("<:r39>", 79, 2), E("<:ch ", 79, 2),
    // character formatting
    E("<:b>", 80, 1), E("<:/b>", 81, 1), E("<:i>", 82, 1), E("<:/i>", 83, 1), E("<:bi>", 84, 1), E("<:/bi>", 85, 1),
    E("<:c>", 86, 1), E("<:/c>", 87, 1), E("<:c1>", 86, 1), E("<:/c1>", 87, 1), E("<:c2>", 86, 1),
    E("<:/c2>", 87, 1), E("<:s>", 88, 1), E("<:/s>", 89, 1),
    // quotes
    E("<:lq>", 77, 1), E("<:rq>", 77, 1), E("<:ldq>", 77, 1), E("<:rdq>", 77, 1), E("<:frq>", 77, 1),
    E("<:flq>", 77, 1), E("<:glq>", 77, 1), E("<:grq>", 77, 1),
    // references and conditions
    E("<:xr \"", 90, 2), E("<:cns \"", 93, 3), E("<:/cns>", 94, 3), E("<:cs \"", 95, 1), E("<:/cs>", 96, 1),
    E("<:fc ", 99, 1), E("<:/fc>", 100, 1), E("<:v \"", 102, 2),
    // anchors and markers inside text
    E("<:fn ", 104, 3), E("<:mk ", 105, 3), E("<:imk ", 106, 2), E("<:fmk1 ", 108, 3), E("<:fmk2 ", 109, 3),
    E("<:hmk ", 110, 3), E("<:cnmk ", 111, 3), E("<:crmk ", 112, 3), E("<:iaf ", 113, 3), E("<:ti ", 119, 3),
    E("<:/ti>", 120, 3),
    // internal building blocks and elements
    E("<:bb \"", 121, 2), E("<:el \"", 115, 2), E("<:/el \"", 116, 2), E("<:elf \"", 117, 2),
    E("<:/elf \"", 118, 2), E("<:ep \"", 122, 1), E("<:es \"", 123, 1), E("<:so>", 124, 1),
    // catch-alls
    E("<:", 125, 5), E("<", 126, 4),
}};

// Entries are filed by the two bytes after the part every tag of a kind
// shares ("<" for external tags, "<:" for internal ones), hashed into a
// slot: an entry goes into the slot of every byte pair it can match (every
// second byte for a prefix that ends after the first), in table order. A
// slot may also hold entries of other pairs that hash alike; the
// comparison sorts those out. The catch-alls "<:" and "<", last in the
// table, are filed nowhere: a tag that matches no entry of its slot takes
// the one of its kind.
constexpr std::size_t SLOTS = 4096;

constexpr bool CatchAllsLastAndAlone() {
  for (std::size_t i = 0; i + 2 < ENTRIES.size(); ++i) {
    if (ENTRIES[i].cs_Prefix.size() <= 2) return false;
  }
  return ENTRIES[ENTRIES.size() - 2].cs_Prefix == "<:" && ENTRIES.back().cs_Prefix == "<";
}
static_assert(CatchAllsLastAndAlone(), "the lookup files every entry but the two catch-alls at the end");

std::size_t Slot(unsigned char first, unsigned char second) { return (first * 67u + second) & (SLOTS - 1); }

// Up to the first eight bytes of text as one word, the rest zero.
std::uint64_t Head(std::string_view text) {
  std::uint64_t word = 0;
  if (text.size() >= 8) {
    std::memcpy(&word, text.data(), 8);
  } else {
    std::memcpy(&word, text.data(), text.size());
  }
  return word;
}

struct Buckets {
  // Indices into ENTRIES in table order: for external tags by the second
  // and third byte, for tags beginning "<:" by the third and fourth.
  std::array<std::vector<unsigned char>, SLOTS> external;
  std::array<std::vector<unsigned char>, SLOTS> internal;
  // Each entry's first eight prefix bytes as a word, and the mask of the
  // bytes the prefix has there, so that they are compared at once.
  std::array<std::uint64_t, CQ_KWXLexicon::LEXICON_SIZE> heads{};
  std::array<std::uint64_t, CQ_KWXLexicon::LEXICON_SIZE> masks{};
};

// Files entry i, whose prefix is longer than the `known` bytes its tags
// share, into the slots of table whose tags it can begin.
void File(std::array<std::vector<unsigned char>, SLOTS>& table, std::string_view prefix, std::size_t known,
          unsigned char i) {
  const auto put = [&](std::size_t slot) {
    std::vector<unsigned char>& bucket = table[slot];
    if (bucket.empty() || bucket.back() != i) bucket.push_back(i);
  };
  if (prefix.size() == known + 1) {
    for (unsigned second = 0; second < 256; ++second) {
      put(Slot(static_cast<unsigned char>(prefix[known]), static_cast<unsigned char>(second)));
    }
  } else {
    put(Slot(static_cast<unsigned char>(prefix[known]), static_cast<unsigned char>(prefix[known + 1])));
  }
}

const Buckets& TheBuckets() {
  static const Buckets buckets = [] {
    Buckets b;
    for (unsigned i = 0; i < ENTRIES.size(); ++i) {
      const std::string_view p = ENTRIES[i].cs_Prefix;
      const auto index = static_cast<unsigned char>(i);
      b.heads[i] = Head(p);
      b.masks[i] = Head(std::string(std::min<std::size_t>(p.size(), 8), '\xFF'));
      if (p.size() <= 2) continue;  // the catch-alls
      File(p[1] == ':' ? b.internal : b.external, p, p[1] == ':' ? 2 : 1, index);
    }
    return b;
  }();
  return buckets;
}

// Whether tag, whose first eight bytes are tagHead, begins with entry i's
// prefix: those bytes at once, the rest of a longer prefix one by one.
bool BeginsWith(std::string_view tag, std::uint64_t tagHead, const Buckets& b, unsigned i) {
  const std::string_view prefix = ENTRIES[i].cs_Prefix;
  if (tag.size() < prefix.size() || (tagHead & b.masks[i]) != b.heads[i]) return false;
  for (std::size_t k = 8; k < prefix.size(); ++k) {
    if (tag[k] != prefix[k]) return false;
  }
  return true;
}

}  // namespace

const std::array<st_LexiconEntry, CQ_KWXLexicon::LEXICON_SIZE>& CQ_KWXLexicon::sast_Entries() { return ENTRIES; }

bool CQ_KWXLexicon::sb_HeadDecides(std::uint64_t head) {
  // The first eight bytes of the few prefixes longer than eight.
  static const std::vector<std::uint64_t> longHeads = [] {
    std::vector<std::uint64_t> heads;
    for (const st_LexiconEntry& e : ENTRIES) {
      if (e.cs_Prefix.size() > 8) heads.push_back(Head(e.cs_Prefix));
    }
    return heads;
  }();
  for (const std::uint64_t h : longHeads) {
    if (h == head) return false;
  }
  return true;
}

const st_LexiconEntry& CQ_KWXLexicon::rst_Lookup(std::string_view tag) {
  static const st_LexiconEntry& catchAll = ENTRIES.back();
  static const st_LexiconEntry& internalCatchAll = ENTRIES[ENTRIES.size() - 2];
  if (tag.size() < 3) {
    for (const st_LexiconEntry& e : ENTRIES) {
      if (tag.substr(0, e.cs_Prefix.size()) == e.cs_Prefix) return e;
    }
    return catchAll;
  }
  // Every prefix begins with "<": any other tag matches none of them.
  if (tag[0] != '<') return catchAll;
  const Buckets& b = TheBuckets();
  const bool internal = tag[1] == ':';
  const std::size_t known = internal ? 2 : 1;
  // A tag of three bytes has no fourth: 0 stands for it (no prefix that
  // long can match it anyway).
  const auto first = static_cast<unsigned char>(tag[known]);
  const auto second = known + 1 < tag.size() ? static_cast<unsigned char>(tag[known + 1]) : 0;
  const std::uint64_t head = Head(tag);
  for (unsigned char i : (internal ? b.internal : b.external)[Slot(first, second)]) {
    if (BeginsWith(tag, head, b, i)) return ENTRIES[i];
  }
  if (internal) return internalCatchAll;
  return catchAll;
}

}  // namespace KWX
