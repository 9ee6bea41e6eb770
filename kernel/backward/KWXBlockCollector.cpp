// Exploding, marker moving and block collection, each one pass.
//
// Moving markers first finds every marker block and every placeholder, then
// writes the list once: a placeholder receives its block, a block whose
// placeholder exists is left out where it stood. Collection walks the list
// with an explicit stack of open blocks, so nesting depth never reaches the
// call stack.
#include "kernel/backward/KWXBlockCollector.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "kernel/backward/KWXSegmenter.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/session/ResultCodes.h"

using KWX::b_HasPrefix;

namespace {

bool IsMarkerOpening(std::string_view t) { return b_HasPrefix(t, KWX::PREFIX_MK) || b_HasPrefix(t, KWX::PREFIX_IMK); }

bool IsPlaceholder(std::string_view t) {
  return b_HasPrefix(t, KWX::PREFIX_IMK_PLACEHOLDER) || b_HasPrefix(t, KWX::PREFIX_IIMK);
}

// False for a token that can be neither a marker opening or closing tag
// nor a placeholder: text, and tags other than "<m", "<i", "</m", "</i",
// "<:m", "<:i".
bool MayBeMarkerTag(std::string_view t) {
  if (t.size() < 3 || t.front() != '<') return false;
  const char c = t[1] == ':' || t[1] == '/' ? t[2] : t[1];
  return c == 'm' || c == 'i';
}

// Whether token is the closing tag close ("</mk>", "</imk>"): their third
// bytes differ, so most other tokens are told apart without comparing all.
bool IsTag(std::string_view token, std::string_view close) {
  return token.size() == close.size() && token[2] == close[2] && token == close;
}

bool IsVarnelFontTag(std::string_view t) {
  // All are four or five bytes long.
  if (t.size() > 5) return false;
  return t == KWX::TAG_B || t == KWX::TAG_I || t == KWX::TAG_BI || t == KWX::TAG_C || t == KWX::TAG_C1 ||
         t == KWX::TAG_C2 || t == KWX::TAG_S;
}

}  // namespace

namespace KWXBack {

namespace {

// The tokens of lines[first..], each handed to add as a view: into the
// line, or into rewritten for a tag that loses the "#" of "<#...>".
template <class Lines, class Add>
void ForEachToken(const Lines& lines, std::size_t first, std::string& rewritten, Add&& add) {
  for (std::size_t k = first; k < lines.size(); ++k) {
    KWX::sv_ForEachToken(lines[k], [&](const KWX::st_Token& token) {
      if (token.et_Kind == KWX::TOKEN_UNCLOSED_TAG) throw Result::DAMAGED;
      if (token.et_Kind == KWX::TOKEN_TAG && token.cs_Text.size() > 2 && token.cs_Text[1] == '#') {
        rewritten = "<";
        rewritten.append(token.cs_Text.substr(2));
        add(std::string_view(rewritten), true);
      } else {
        add(token.cs_Text, false);
      }
    });
  }
}

// The indices of the tokens that may be marker tags, by a walk over them.
template <class Token>
std::vector<std::size_t> MarkerTags(const std::vector<Token>& tokens) {
  std::vector<std::size_t> noted;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    if (MayBeMarkerTag(tokens[k])) noted.push_back(k);
  }
  return noted;
}

template <class Lines>
void Explode(const Lines& lines, std::size_t first, CQ_KWXTokens& tokens) {
  std::string rewritten;
  ForEachToken(lines, first, rewritten, [&tokens](std::string_view token, bool) { tokens.emplace_back(token); });
}

template <class Lines>
void ExplodeViews(const Lines& lines, std::size_t first, st_KWXTokenViews& tokens) {
  // Room for a few tokens a line (KWX lines hold three or four on
  // average), so the list rarely grows by copying; room never written
  // costs no memory.
  if (lines.size() > first) tokens.asv_Tokens.reserve(tokens.asv_Tokens.size() + 4 * (lines.size() - first));
  std::string rewritten;
  ForEachToken(lines, first, rewritten, [&tokens](std::string_view token, bool isRewritten) {
    if (isRewritten) token = tokens.lst_Rewritten.emplace_back(token);
    tokens.asv_Tokens.push_back(token);
  });
}

// The blocks and placeholders of one list, by key (what follows "<" of a
// block's opening and "<:" of a placeholder: "mk \"T\" 3>" for both
// <mk "T" 3> and <:mk "T" 3>): an open-addressing table made once with
// room for every key, so that filing and finding a key allocates nothing
// and hashes its few bytes once.
class MarkerKeys {
 public:
  struct Entry {
    std::string_view key;
    std::size_t begin = NONE;  // the first block of the key: [begin, end)
    std::size_t end = 0;
    bool placeholder = false;  // a placeholder of the key stands in the list
    bool placed = false;       // the block went to a placeholder already
  };
  static constexpr std::size_t NONE = static_cast<std::size_t>(-1);

  // Room for up to `keys` keys.
  explicit MarkerKeys(std::size_t keys) {
    std::size_t capacity = 16;
    while (capacity < 2 * keys) capacity *= 2;
    m_entries.resize(capacity);
    m_mask = capacity - 1;
  }
  // The entry of key, made empty when there is none.
  Entry& r_Enter(std::string_view key) {
    for (std::size_t slot = Hash(key) & m_mask;; slot = (slot + 1) & m_mask) {
      Entry& entry = m_entries[slot];
      if (entry.key.data() == nullptr) {
        entry.key = key;
        return entry;
      }
      if (entry.key == key) return entry;
    }
  }
  // The entry of key, or null.
  Entry* p_Find(std::string_view key) {
    for (std::size_t slot = Hash(key) & m_mask;; slot = (slot + 1) & m_mask) {
      Entry& entry = m_entries[slot];
      if (entry.key.data() == nullptr) return nullptr;
      if (entry.key == key) return &entry;
    }
  }

 private:
  // Keys are short: their bytes are mixed eight at a time.
  static std::size_t Hash(std::string_view key) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ key.size();
    std::size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, key.data() + i, 8);
      h = (h ^ word) * 0xFF51AFD7ED558CCDULL;
      h ^= h >> 32;
    }
    std::uint64_t last = 0;
    std::memcpy(&last, key.data() + i, key.size() - i);
    h = (h ^ last) * 0xC4CEB9FE1A85EC53ULL;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }

  std::vector<Entry> m_entries;
  std::size_t m_mask = 0;
};

// The order of the tokens once markers are moved (see sv_MoveMarkers): runs
// [begin, end) of indices into tokens handed to take in that order; start()
// is called before the first. False, with nothing taken, when nothing
// moves (the list has no placeholder). Blocks and placeholders are matched
// by their keys (MarkerKeys), so nothing is copied to match them. Only the
// tokens at `noted` are looked at: the ascending indices of every token for
// which MayBeMarkerTag holds; the tokens between them are taken as whole
// runs.
template <class Token, class Start, class Take>
bool MarkerOrder(const std::vector<Token>& tokens, const std::vector<std::size_t>& noted, Start&& start,
                 Take&& take) {
  MarkerKeys keys(noted.size());
  bool anyPlaceholder = false;
  // The noted tokens that open a block or stand for one, or may (a closing
  // tag counts only as the end of a block).
  std::vector<std::size_t> candidates;
  candidates.reserve(noted.size());
  const std::size_t count = noted.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t k = noted[i];
    const std::string_view t = tokens[k];
    if (t[1] == '/') continue;
    candidates.push_back(k);
    if (IsMarkerOpening(t)) {
      const std::string_view close = t[1] == 'm' ? KWX::TAG_MK_CLOSE : KWX::TAG_IMK_CLOSE;
      std::size_t j = i + 1;
      for (; j < count && !IsTag(tokens[noted[j]], close); ++j) {
        // A block's own tags are candidates too: the block may not be the
        // one its key files, and then its tokens are walked in place.
        if (tokens[noted[j]][1] != '/') candidates.push_back(noted[j]);
      }
      if (j == count) throw Result::DAMAGED;
      MarkerKeys::Entry& entry = keys.r_Enter(t.substr(1));
      if (entry.begin == MarkerKeys::NONE) {
        entry.begin = k;
        entry.end = noted[j] + 1;
      }
      i = j;
    } else if (IsPlaceholder(t)) {
      keys.r_Enter(t.substr(2)).placeholder = true;
      anyPlaceholder = true;
    }
  }
  // Without placeholders every block stays where it is: the list would be
  // written out unchanged.
  if (!anyPlaceholder) return false;
  start();
  std::size_t next = 0;  // the first index not yet taken or passed over
  for (const std::size_t k : candidates) {
    if (k < next) continue;  // inside a block already taken or passed over
    take(next, k);           // text, and tags that move nothing
    next = k + 1;
    const std::string_view t = tokens[k];
    if (IsMarkerOpening(t)) {
      const MarkerKeys::Entry* entry = keys.p_Find(t.substr(1));
      if (entry != nullptr && entry->begin == k) {
        // No placeholder takes this block: it stays.
        if (!entry->placeholder) take(k, entry->end);
        next = entry->end;
        continue;
      }
    } else if (IsPlaceholder(t)) {
      MarkerKeys::Entry* entry = keys.p_Find(t.substr(2));
      if (entry != nullptr && entry->begin != MarkerKeys::NONE && !entry->placed) {
        entry->placed = true;
        take(entry->begin, entry->end);
      }
      continue;
    }
    take(k, k + 1);
  }
  take(next, tokens.size());
  return true;
}

}  // namespace

void sv_Explode(const std::vector<std::string>& lines, std::size_t first, CQ_KWXTokens& tokens) {
  Explode(lines, first, tokens);
}

void sv_ExplodeList(const std::deque<std::string>& lines, std::size_t first, CQ_KWXTokens& tokens) {
  Explode(lines, first, tokens);
}

void sv_ExplodeLines(const KWX::CQ_KWXLines& lines, std::size_t first, CQ_KWXTokens& tokens) {
  Explode(lines, first, tokens);
}

void sv_Explode(const std::vector<std::string>& lines, std::size_t first, st_KWXTokenViews& tokens) {
  ExplodeViews(lines, first, tokens);
}

void sv_ExplodeLines(const KWX::CQ_KWXLines& lines, std::size_t first, st_KWXTokenViews& tokens) {
  ExplodeViews(lines, first, tokens);
}

void sv_Explode(const KWX::CQ_KWXText& lines, std::size_t first, st_KWXTokenViews& tokens) {
  ExplodeViews(lines, first, tokens);
}

void sv_MoveMarkers(CQ_KWXTokens& tokens) {
  // The order is found first, since the search reads the tokens; every
  // token is taken once at most, so each can then be moved.
  std::vector<std::size_t> order;
  if (!MarkerOrder(
          tokens, MarkerTags(tokens), [&] { order.reserve(tokens.size()); },
          [&](std::size_t begin, std::size_t end) {
            for (std::size_t k = begin; k < end; ++k) order.push_back(k);
          })) {
    return;
  }
  CQ_KWXTokens out;
  out.reserve(order.size());
  for (std::size_t k : order) out.push_back(std::move(tokens[k]));
  tokens.swap(out);
}

void sv_MoveMarkers(st_KWXTokenViews& tokens) {
  // Views are copied, so the new list is written as the order is found.
  const std::vector<std::string_view>& in = tokens.asv_Tokens;
  std::vector<std::string_view> out;
  if (!MarkerOrder(
          in, MarkerTags(in), [&] { out.reserve(in.size()); },
          [&](std::size_t begin, std::size_t end) { out.insert(out.end(), in.begin() + begin, in.begin() + end); })) {
    return;
  }
  tokens.asv_Tokens.swap(out);
}

CQ_KWXTokens sco_JoinedTextRuns(const CQ_KWXTokens& tokens, std::size_t begin, std::size_t end) {
  CQ_KWXTokens out;
  bool lastText = false;
  for (std::size_t k = begin; k < end; ++k) {
    const bool text = !sb_IsTag(tokens[k]);
    if (text && lastText) {
      out.back() += tokens[k];
    } else {
      out.push_back(tokens[k]);
    }
    lastText = text;
  }
  return out;
}

namespace {

template <class Tokens>
bool SameJoinedTextRuns(const Tokens& a, std::size_t aBegin, std::size_t aEnd, const Tokens& b, std::size_t bBegin,
                        std::size_t bEnd) {
  std::size_t i = aBegin;
  std::size_t j = bBegin;
  while (i < aEnd && j < bEnd) {
    const bool aText = !sb_IsTag(a[i]);
    if (aText != !sb_IsTag(b[j])) return false;
    if (!aText) {
      if (a[i] != b[j]) return false;
      ++i;
      ++j;
      continue;
    }
    // Two runs of text tokens: the same when their joined texts are.
    std::size_t iEnd = i;
    std::size_t aSize = 0;
    for (; iEnd < aEnd && !sb_IsTag(a[iEnd]); ++iEnd) aSize += a[iEnd].size();
    std::size_t jEnd = j;
    std::size_t bSize = 0;
    for (; jEnd < bEnd && !sb_IsTag(b[jEnd]); ++jEnd) bSize += b[jEnd].size();
    if (aSize != bSize) return false;
    std::size_t ai = i;
    std::size_t ao = 0;  // offset in a[ai]
    std::size_t bi = j;
    std::size_t bo = 0;
    std::size_t left = aSize;
    while (left > 0) {
      while (ao == a[ai].size()) {
        ++ai;
        ao = 0;
      }
      while (bo == b[bi].size()) {
        ++bi;
        bo = 0;
      }
      const std::size_t n = std::min({a[ai].size() - ao, b[bi].size() - bo, left});
      if (a[ai].compare(ao, n, b[bi], bo, n) != 0) return false;
      ao += n;
      bo += n;
      left -= n;
    }
    i = iEnd;
    j = jEnd;
  }
  return i == aEnd && j == bEnd;
}

}  // namespace

bool sb_SameJoinedTextRuns(const CQ_KWXTokens& a, std::size_t aBegin, std::size_t aEnd, const CQ_KWXTokens& b,
                           std::size_t bBegin, std::size_t bEnd) {
  return SameJoinedTextRuns(a, aBegin, aEnd, b, bBegin, bEnd);
}

bool sb_SameJoinedTextRuns(const CQ_KWXBlock& a, std::size_t aBegin, std::size_t aEnd, const CQ_KWXBlock& b,
                           std::size_t bBegin, std::size_t bEnd) {
  return SameJoinedTextRuns(a, aBegin, aEnd, b, bBegin, bEnd);
}

}  // namespace KWXBack

// --- collection -------------------------------------------------------------------------

namespace {

struct Kind {
  std::string_view prefix;
  std::string_view close;
};

constexpr Kind kKinds[CQ_KWXBlockCollector::BLOCK_KIND_COUNT] = {
    {KWX::PREFIX_TR, KWX::TAG_TR_CLOSE},
    {KWX::PREFIX_TB, KWX::TAG_TB_CLOSE},
    {KWX::PREFIX_TS, KWX::TAG_TS_CLOSE},
    {KWX::PREFIX_FN, KWX::TAG_FN_CLOSE},
};

int KindOf(std::string_view token) {
  if (token.size() < 4 || token[0] != '<') return -1;
  for (int k = 0; k < CQ_KWXBlockCollector::BLOCK_KIND_COUNT; ++k) {
    if (b_HasPrefix(token, kKinds[k].prefix)) return k;
  }
  return -1;
}

}  // namespace

namespace {

bool IsBlank(std::string_view token) { return token.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

template <class Token>
void CQ_KWXBlockCollector::v_CollectFrom(const std::vector<Token>& tokens, std::vector<Token>* owned, bool index,
                                         bool keep) {
  // The tokens of the open blocks are noted by their indices, innermost
  // block last, and a block is built when it closes, at its final size.
  // A nested column, table or text line leaves its opening tag in the
  // block around it: that index is noted twice, once for each block. A
  // block views the tokens where they are (keep), or copies it keeps:
  // each token is copied once, when its block is built, or moved in when
  // the list is ours (each token other than a nested opening goes into
  // one block only). An index keeps the opening, the first content token
  // that is not blank and the closing: each open block notes only where
  // those stand, nothing else.
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  struct Open {
    int kind;
    std::string_view id;
    std::size_t first;    // where the block's indices begin in `noted`; an index: its opening's index
    std::size_t content;  // an index: the first content token that is not blank, or NONE
  };
  std::vector<Open> stack;
  // The noted indices, in room grown by doubling: noting writes one word.
  std::vector<std::size_t> noted(64);
  std::size_t notedCount = 0;
  auto push = [&](std::size_t k) {
    if (notedCount == noted.size()) noted.resize(2 * noted.size());
    noted[notedCount++] = k;
  };
  // A nested opening's view, when its block took a copy before: so that the
  // block around it views the same copy.
  std::unordered_map<std::size_t, std::string_view> nestedCopies;
  auto view = [&](std::size_t k, bool nested) -> std::string_view {
    if (keep) return tokens[k];
    if (nested) {
      const auto it = nestedCopies.find(k);
      if (it != nestedCopies.end()) return it->second;
    }
    return owned ? sv_Keep(std::move((*owned)[k])) : sv_Keep(std::string_view(tokens[k]));
  };
  // Token k goes into the innermost open block.
  auto note = [&](std::size_t k) {
    if (!index) {
      push(k);
      return;
    }
    Open& open = stack.back();
    if (open.content == NONE && !IsBlank(tokens[k])) open.content = k;
  };
  // The block of `open`, whose closing tag is token `close`.
  auto build = [&](const Open& open, std::size_t close) {
    CQ_KWXBlock block;
    if (index) {
      block.reserve(3);
      block.push_back(view(open.first, false));
      if (open.content != NONE) block.push_back(view(open.content, false));
      block.push_back(view(close, false));
      return block;
    }
    const std::size_t begin = open.first;
    const std::size_t end = notedCount;
    if (keep) {
      // Views of the tokens where they are, written in place.
      block.resize(end - begin);
      for (std::size_t m = begin; m < end; ++m) block[m - begin] = tokens[noted[m]];
      return block;
    }
    block.reserve(end - begin);
    // The opening may stand in the block around this one too.
    block.push_back(view(noted[begin], true));
    if (!stack.empty() && open.kind != BLOCK_FN) nestedCopies.emplace(noted[begin], block.front());
    for (std::size_t m = begin + 1; m < end; ++m) block.push_back(view(noted[m], true));
    return block;
  };
  // The run tags met last, so that a tag used again is not looked up.
  std::string_view lastCharacterFormat;
  std::string_view lastFontChange;
  const std::size_t n = tokens.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::string_view t = tokens[k];
    if (t.empty() || t.front() != '<') {
      // Text: none of the tag checks below applies.
      if (!stack.empty()) note(k);
      continue;
    }
    // The byte after "<" tells which of the checks below can apply:
    // internal tags begin "<:", markers "<m" or "<i", blocks "<t" or "<f".
    const char second = t.size() > 1 ? t[1] : '\0';
    if (second == ':') {
      if (IsVarnelFontTag(t)) m_bVarnelFonts = true;
      if (b_HasPrefix(t, KWX::PREFIX_CS)) {
        if (t != lastCharacterFormat && !m_setRunTags.contains(t)) m_setRunTags.emplace(t);
        lastCharacterFormat = t;
      } else if (b_HasPrefix(t, KWX::PREFIX_FC)) {
        if (t != lastFontChange && !m_setRunTags.contains(t)) m_setRunTags.emplace(t);
        lastFontChange = t;
      } else if (b_HasPrefix(t, KWX::PREFIX_IFN)) {
        const std::string_view id = KWXBack::scs_TagArgument(t, KWX::PREFIX_IFN);
        if (!m_setFootnoteAnchors.contains(id)) m_setFootnoteAnchors.emplace(id);
      }
    }
    if ((second == 'm' || second == 'i') && IsMarkerOpening(t)) {
      const std::string_view close = second == 'm' ? KWX::TAG_MK_CLOSE : KWX::TAG_IMK_CLOSE;
      std::size_t j = k + 1;
      while (j < n && !IsTag(tokens[j], close)) ++j;
      if (j < n) {
        const auto [entry, made] = m_mapMarkers.try_emplace(std::string(t));
        if (made) {
          // A marker's tokens are read again by the blocks around it: they
          // are copied (never moved) when not kept where they are, into one
          // text the block views piece by piece.
          CQ_KWXBlock& block = entry->second;
          block.reserve(j + 1 - k);
          if (keep) {
            for (std::size_t m = k; m <= j; ++m) block.push_back(tokens[m]);
          } else {
            std::size_t bytes = 0;
            for (std::size_t m = k; m <= j; ++m) bytes += std::string_view(tokens[m]).size();
            std::string& copy = m_lstKept.emplace_back();
            copy.reserve(bytes);
            for (std::size_t m = k; m <= j; ++m) copy.append(tokens[m]);
            const std::string_view kept = copy;
            std::size_t at = 0;
            for (std::size_t m = k; m <= j; ++m) {
              const std::size_t size = std::string_view(tokens[m]).size();
              block.push_back(kept.substr(at, size));
              at += size;
            }
          }
        }
      }
    }
    const int kind = second == 't' || second == 'f' ? KindOf(t) : -1;
    if (kind >= 0) {
      // A nested column, table or text line leaves its opening tag; a
      // footnote leaves nothing.
      if (!stack.empty() && kind != BLOCK_FN) note(k);
      stack.push_back(Open{kind, KWXBack::scs_TagArgument(t, kKinds[kind].prefix), index ? k : notedCount, NONE});
      if (!index) push(k);
      continue;
    }
    if (stack.empty()) continue;
    if (t == kKinds[stack.back().kind].close) {
      if (!index) push(k);
      const Open done = stack.back();
      stack.pop_back();
      // The id first: building may move the opening token it views.
      std::string id(done.id);
      CQ_KWXBlock block = build(done, k);
      if (!index) notedCount = done.first;
      m_amapBlocks[done.kind].try_emplace(std::move(id), std::move(block));
      continue;
    }
    note(k);
  }
  if (!stack.empty()) throw Result::UNEXPECTED_END;
}

void CQ_KWXBlockCollector::v_Collect(const CQ_KWXTokens& tokens) {
  v_CollectFrom<std::string>(tokens, nullptr, false, false);
}

void CQ_KWXBlockCollector::v_Collect(CQ_KWXTokens&& tokens) { v_CollectFrom(tokens, &tokens, false, false); }

void CQ_KWXBlockCollector::v_CollectIndex(const CQ_KWXTokens& tokens) {
  v_CollectFrom<std::string>(tokens, nullptr, true, false);
}

void CQ_KWXBlockCollector::v_Collect(const st_KWXTokenViews& tokens) {
  v_CollectFrom<std::string_view>(tokens.asv_Tokens, nullptr, false, true);
}

void CQ_KWXBlockCollector::v_CollectIndex(const st_KWXTokenViews& tokens) {
  v_CollectFrom<std::string_view>(tokens.asv_Tokens, nullptr, true, false);
}

const CQ_KWXBlock* CQ_KWXBlockCollector::pcco_Find(ET_BlockKind kind, const std::string& id) const {
  const auto it = m_amapBlocks[kind].find(id);
  return it == m_amapBlocks[kind].end() ? nullptr : &it->second;
}

const CQ_KWXBlock* CQ_KWXBlockCollector::pcco_FindContent(ET_BlockKind kind, const std::string& id) const {
  const CQ_KWXBlock* block = pcco_Find(kind, id);
  if (!block) return nullptr;
  // Blanks a word processor may leave between the two tags are no content.
  for (std::size_t k = 1; k + 1 < block->size(); ++k) {
    if ((*block)[k].find_first_not_of(" \t") != std::string::npos) return block;
  }
  return nullptr;
}

const CQ_KWXBlock* CQ_KWXBlockCollector::pcco_FindMarker(std::string_view openingTag) const {
  const auto it = m_mapMarkers.find(openingTag);
  return it == m_mapMarkers.end() ? nullptr : &it->second;
}
