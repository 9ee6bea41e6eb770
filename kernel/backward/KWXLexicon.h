// The tag lexicon: the verifier's vocabulary of KWX tags.
//
// 132 entries {prefix, tag id, category, prefix length}, searched in table
// order: a tag takes the first entry whose prefix equals the tag's first
// prefix-length bytes. The last two entries, "<:" and "<", catch every
// internal and external tag that no earlier entry knows. Ids that the
// table does not use are left out of ET_KWXTagId. The table is built once
// and never changes; lookups are safe from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "System/Export.h"

namespace KWX {

// Categories of a tag (and of a tag segment).
enum ET_TagCategory : int {
  CATEGORY_WARNING = 1,            // added or deleted: a warning
  CATEGORY_ALERT = 2,              // added or deleted: an alert
  CATEGORY_ERROR = 3,              // added or deleted: an error
  CATEGORY_UNKNOWN_EXTERNAL = 4,
  CATEGORY_UNKNOWN_INTERNAL = 5,
  CATEGORY_ADDED_KNOWN = 6,        // added with <#...>, found in the source
  CATEGORY_ADDED = 7,              // added with <#...>, not yet checked
  CATEGORY_ADDED_UNKNOWN = 8,      // added with <#...>, not in the source
};

// Tag ids of the lexicon. Several entries share an id (special
// characters, quotes, reserved characters, <:c> with <:c1>/<:c2>).
enum ET_KWXTagId : int {
  TAGID_PS = 0,
  TAGID_PN = 1,
  TAGID_TR = 4,
  TAGID_TR_CLOSE = 5,
  TAGID_TS = 6,
  TAGID_TS_CLOSE = 7,
  TAGID_PAGE = 8,
  TAGID_PAGE_CLOSE = 9,
  TAGID_SOURCECHARSET = 10,
  TAGID_SOURCELANGUAGE = 11,
  TAGID_SOURCEHYPHENATION = 12,
  TAGID_SOURCEPATH = 13,
  TAGID_SOURCEQUOTES = 14,
  TAGID_AF = 19,
  TAGID_AF_CLOSE = 20,
  TAGID_UFO = 22,
  TAGID_UFO_CLOSE = 23,
  TAGID_FN = 24,
  TAGID_FN_CLOSE = 25,
  TAGID_MK = 28,
  TAGID_MK_CLOSE = 29,
  TAGID_IMK = 30,
  TAGID_IMK_CLOSE = 31,
  TAGID_IE = 32,
  TAGID_IL = 33,
  TAGID_SS = 34,
  TAGID_SL = 35,
  TAGID_KWX = 37,
  TAGID_KWX_CLOSE = 38,
  TAGID_TB = 39,
  TAGID_TB_CLOSE = 40,
  TAGID_TBT = 41,
  TAGID_TBT_CLOSE = 42,
  TAGID_TBH = 43,
  TAGID_TBH_CLOSE = 44,
  TAGID_TBB = 45,
  TAGID_TBB_CLOSE = 46,
  TAGID_TBF = 47,
  TAGID_TBF_CLOSE = 48,
  TAGID_ROW = 49,
  TAGID_ROW_CLOSE = 50,
  TAGID_HROW = 51,
  TAGID_CT = 53,
  TAGID_CT_CLOSE = 54,
  TAGID_E = 58,
  TAGID_EL = 59,
  TAGID_EL_CLOSE = 60,
  TAGID_ELF = 61,
  TAGID_ELF_CLOSE = 62,
  TAGID_BB = 63,
  TAGID_XRFMT = 68,
  TAGID_VFMT = 69,
  TAGID_PNFMT = 71,
  TAGID_EPSFMT = 73,
  TAGID_FILE = 74,
  TAGID_FILE_CLOSE = 75,
  TAGID_SPECIAL_CHARACTER = 77,  // special characters and quotes
  TAGID_RESERVED_CHARACTER = 79,
  TAGID_B = 80,
  TAGID_B_CLOSE = 81,
  TAGID_I = 82,
  TAGID_I_CLOSE = 83,
  TAGID_BI = 84,
  TAGID_BI_CLOSE = 85,
  TAGID_C = 86,  // <:c>, <:c1>, <:c2>
  TAGID_C_CLOSE = 87,
  TAGID_S = 88,
  TAGID_S_CLOSE = 89,
  TAGID_XR = 90,
  TAGID_CNS = 93,
  TAGID_CNS_CLOSE = 94,
  TAGID_CS = 95,
  TAGID_CS_CLOSE = 96,
  TAGID_FC = 99,
  TAGID_FC_CLOSE = 100,
  TAGID_V = 102,
  TAGID_IFN = 104,
  TAGID_MK_PLACEHOLDER = 105,  // <:mk "TYPE" N>
  TAGID_IIMK = 106,
  TAGID_FMK1 = 108,
  TAGID_FMK2 = 109,
  TAGID_HMK = 110,
  TAGID_CNMK = 111,
  TAGID_CRMK = 112,
  TAGID_IAF = 113,
  TAGID_IEL = 115,
  TAGID_IEL_CLOSE = 116,
  TAGID_IELF = 117,
  TAGID_IELF_CLOSE = 118,
  TAGID_TI = 119,
  TAGID_TI_CLOSE = 120,
  TAGID_IBB = 121,
  TAGID_EP = 122,
  TAGID_ES = 123,
  TAGID_SO = 124,
  TAGID_UNKNOWN_INTERNAL = 125,
  TAGID_UNKNOWN_EXTERNAL = 126,
};

struct st_LexiconEntry {
  std::string_view cs_Prefix;
  int i_TagId;
  int i_Category;
  int i_PrefixLength;  // the byte length of cs_Prefix
};

class OSTRAKON_API CQ_KWXLexicon {
 public:
  static constexpr std::size_t LEXICON_SIZE = 132;

  // The entries in table order.
  static const std::array<st_LexiconEntry, LEXICON_SIZE>& sast_Entries();

  // The first entry, in table order, whose prefix begins tag. Every text
  // that begins with "<" finds one (at worst the catch-all "<:" or "<");
  // any other text finds the catch-all "<" as well.
  static const st_LexiconEntry& rst_Lookup(std::string_view tag);

  // True when the entry of every tag of eight bytes or more that begins
  // with these eight bytes (as a word in memory order) is decided by them
  // alone: no prefix longer than eight bytes begins with them.
  static bool sb_HeadDecides(std::uint64_t head);
};

// Lookups of one walk over many tags, remembered by the first eight bytes
// of each tag that has eight or more, where those decide its entry
// (CQ_KWXLexicon::sb_HeadDecides): a file uses the same few tags and tag
// beginnings many times ("<ps \"Body", "<:cs \"Emp"), and a tag met again
// is answered by one comparison of a word.
class CQ_LexiconMemo {
 public:
  const st_LexiconEntry& rst_Lookup(std::string_view tag) {
    if (tag.size() < 8) return CQ_KWXLexicon::rst_Lookup(tag);
    std::uint64_t head;
    std::memcpy(&head, tag.data(), 8);
    st_Slot& slot = m_astSlots[static_cast<std::size_t>((head * 0x9E3779B97F4A7C15ULL) >> 56)];
    if (slot.pcst_Entry != nullptr && slot.n_Head == head) return *slot.pcst_Entry;
    const st_LexiconEntry& entry = CQ_KWXLexicon::rst_Lookup(tag);
    if (CQ_KWXLexicon::sb_HeadDecides(head)) {
      slot.n_Head = head;
      slot.pcst_Entry = &entry;
    }
    return entry;
  }

 private:
  struct st_Slot {
    std::uint64_t n_Head = 0;
    const st_LexiconEntry* pcst_Entry = nullptr;
  };
  std::array<st_Slot, 256> m_astSlots{};
};

}  // namespace KWX
