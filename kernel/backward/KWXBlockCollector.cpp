// Exploding, marker moving and block collection, each one pass.
//
// Moving markers first finds every marker block and every placeholder, then
// writes the list once: a placeholder receives its block, a block whose
// placeholder exists is left out where it stood. Collection walks the list
// with an explicit stack of open blocks, so nesting depth never reaches the
// call stack.
#include "kernel/backward/KWXBlockCollector.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "kernel/forward/KWXFormat.h"
#include "kernel/session/ResultCodes.h"

using KWX::b_HasPrefix;

namespace {

bool IsMarkerOpening(std::string_view t) { return b_HasPrefix(t, KWX::PREFIX_MK) || b_HasPrefix(t, KWX::PREFIX_IMK); }

bool IsPlaceholder(std::string_view t) {
  return b_HasPrefix(t, KWX::PREFIX_IMK_PLACEHOLDER) || b_HasPrefix(t, KWX::PREFIX_IIMK);
}

// "<:mk \"T\" 3>" gives "<mk \"T\" 3>", "<:imk 4>" gives "<imk 4>".
std::string BlockOpeningOf(std::string_view placeholder) {
  std::string opening = "<";
  opening.append(placeholder.substr(2));
  return opening;
}

bool IsVarnelFontTag(std::string_view t) {
  return t == KWX::TAG_B || t == KWX::TAG_I || t == KWX::TAG_BI || t == KWX::TAG_C || t == KWX::TAG_C1 ||
         t == KWX::TAG_C2 || t == KWX::TAG_S;
}

}  // namespace

namespace KWXBack {

namespace {

template <class Lines>
void Explode(const Lines& lines, std::size_t first, CQ_KWXTokens& tokens) {
  std::vector<KWX::st_Token> lineTokens;  // one vector's room for every line
  for (std::size_t k = first; k < lines.size(); ++k) {
    KWX::sv_Tokenize(lines[k], lineTokens);
    for (const KWX::st_Token& token : lineTokens) {
      if (token.et_Kind == KWX::TOKEN_UNCLOSED_TAG) throw Result::DAMAGED;
      if (token.et_Kind == KWX::TOKEN_TAG && token.cs_Text.size() > 2 && token.cs_Text[1] == '#') {
        std::string tag = "<";
        tag.append(token.cs_Text.substr(2));
        tokens.push_back(std::move(tag));
      } else {
        tokens.emplace_back(token.cs_Text);
      }
    }
  }
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

void sv_MoveMarkers(CQ_KWXTokens& tokens) {
  struct Block {
    std::size_t begin;
    std::size_t end;  // one past the closing tag
  };
  std::unordered_map<std::string, Block> blocks;
  std::unordered_set<std::string> placeholders;
  const std::size_t n = tokens.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& t = tokens[k];
    if (t.empty() || t.front() != '<') continue;  // text
    if (IsMarkerOpening(t)) {
      const std::string_view close = b_HasPrefix(t, KWX::PREFIX_MK) ? KWX::TAG_MK_CLOSE : KWX::TAG_IMK_CLOSE;
      std::size_t j = k + 1;
      while (j < n && tokens[j] != close) ++j;
      if (j == n) throw Result::DAMAGED;
      blocks.try_emplace(t, Block{k, j + 1});
      k = j;
    } else if (IsPlaceholder(t)) {
      placeholders.insert(BlockOpeningOf(t));
    }
  }
  // Without placeholders every block stays where it is: the list would be
  // written out unchanged.
  if (placeholders.empty()) return;
  CQ_KWXTokens out;
  out.reserve(n);
  std::unordered_set<std::string> placed;
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& t = tokens[k];
    if (t.empty() || t.front() != '<') {
      out.push_back(std::move(tokens[k]));  // text
      continue;
    }
    if (IsMarkerOpening(t)) {
      const auto it = blocks.find(t);
      if (it != blocks.end() && it->second.begin == k) {
        if (!placeholders.count(t)) {
          // No placeholder takes this block: it stays, and nothing reads it again.
          for (std::size_t m = k; m < it->second.end; ++m) out.push_back(std::move(tokens[m]));
        }
        k = it->second.end - 1;
        continue;
      }
    } else if (IsPlaceholder(t)) {
      const std::string opening = BlockOpeningOf(t);
      const auto it = blocks.find(opening);
      if (it != blocks.end() && placed.insert(opening).second) {
        for (std::size_t m = it->second.begin; m < it->second.end; ++m) out.push_back(tokens[m]);
      }
      continue;
    }
    // A token outside every block is read only here.
    out.push_back(std::move(tokens[k]));
  }
  tokens.swap(out);
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

bool sb_SameJoinedTextRuns(const CQ_KWXTokens& a, std::size_t aBegin, std::size_t aEnd, const CQ_KWXTokens& b,
                           std::size_t bBegin, std::size_t bEnd) {
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

void CQ_KWXBlockCollector::v_Collect(const CQ_KWXTokens& tokens) { v_CollectFrom(tokens, nullptr); }

void CQ_KWXBlockCollector::v_Collect(CQ_KWXTokens&& tokens) { v_CollectFrom(tokens, &tokens); }

void CQ_KWXBlockCollector::v_CollectIndex(const CQ_KWXTokens& tokens) { v_CollectFrom(tokens, nullptr, true); }

namespace {

bool IsBlank(const std::string& token) { return token.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

void CQ_KWXBlockCollector::v_CollectFrom(const CQ_KWXTokens& tokens, CQ_KWXTokens* owned, bool index) {
  // The token at k into a block: moved when the list is ours (each token
  // is read for the last time where it goes into a block). An index keeps
  // the opening, the first content token that is not blank and the
  // closing (pushed separately below).
  auto take = [&](CQ_KWXTokens& into, std::size_t k) {
    if (index) {
      if (into.size() == 1 && !IsBlank(tokens[k])) into.push_back(tokens[k]);
      return;
    }
    if (owned) {
      into.push_back(std::move((*owned)[k]));
    } else {
      into.push_back(tokens[k]);
    }
  };
  struct Open {
    int kind;
    std::string id;
    CQ_KWXTokens lines;
  };
  std::vector<Open> stack;
  const std::size_t n = tokens.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& t = tokens[k];
    if (t.empty() || t.front() != '<') {
      // Text: none of the tag checks below applies.
      if (!stack.empty()) take(stack.back().lines, k);
      continue;
    }
    if (IsVarnelFontTag(t)) m_bVarnelFonts = true;
    if (b_HasPrefix(t, KWX::PREFIX_CS) || b_HasPrefix(t, KWX::PREFIX_FC)) m_setRunTags.insert(t);
    if (b_HasPrefix(t, KWX::PREFIX_IFN)) m_setFootnoteAnchors.emplace(KWXBack::scs_TagArgument(t, KWX::PREFIX_IFN));
    if (IsMarkerOpening(t)) {
      const std::string_view close = b_HasPrefix(t, KWX::PREFIX_MK) ? KWX::TAG_MK_CLOSE : KWX::TAG_IMK_CLOSE;
      std::size_t j = k + 1;
      while (j < n && tokens[j] != close) ++j;
      if (j < n && !m_mapMarkers.count(t)) {
        m_mapMarkers.emplace(t, CQ_KWXTokens(tokens.begin() + static_cast<std::ptrdiff_t>(k),
                                             tokens.begin() + static_cast<std::ptrdiff_t>(j + 1)));
      }
    }
    const int kind = KindOf(t);
    if (kind >= 0) {
      // A nested column, table or text line leaves its opening tag.
      if (!stack.empty() && kind != BLOCK_FN) {
        if (!index) {
          stack.back().lines.push_back(t);
        } else if (stack.back().lines.size() == 1) {
          stack.back().lines.push_back(t);  // a tag is never blank
        }
      }
      Open open;
      open.kind = kind;
      open.id = std::string(KWXBack::scs_TagArgument(t, kKinds[kind].prefix));
      if (index) {
        open.lines.push_back(t);
      } else {
        take(open.lines, k);
      }
      stack.push_back(std::move(open));
      continue;
    }
    if (stack.empty()) continue;
    const bool closes = t == kKinds[stack.back().kind].close;
    if (index && closes) {
      stack.back().lines.push_back(t);
    } else {
      take(stack.back().lines, k);
    }
    if (closes) {
      Open done = std::move(stack.back());
      stack.pop_back();
      done.lines.shrink_to_fit();  // blocks are kept to the end of the conversion
      m_amapBlocks[done.kind].try_emplace(std::move(done.id), std::move(done.lines));
    }
  }
  if (!stack.empty()) throw Result::UNEXPECTED_END;
}

const CQ_KWXTokens* CQ_KWXBlockCollector::pcco_Find(ET_BlockKind kind, const std::string& id) const {
  const auto it = m_amapBlocks[kind].find(id);
  return it == m_amapBlocks[kind].end() ? nullptr : &it->second;
}

const CQ_KWXTokens* CQ_KWXBlockCollector::pcco_FindContent(ET_BlockKind kind, const std::string& id) const {
  const CQ_KWXTokens* block = pcco_Find(kind, id);
  if (!block) return nullptr;
  // Blanks a word processor may leave between the two tags are no content.
  for (std::size_t k = 1; k + 1 < block->size(); ++k) {
    if ((*block)[k].find_first_not_of(" \t") != std::string::npos) return block;
  }
  return nullptr;
}

const CQ_KWXTokens* CQ_KWXBlockCollector::pcco_FindMarker(const std::string& openingTag) const {
  const auto it = m_mapMarkers.find(openingTag);
  return it == m_mapMarkers.end() ? nullptr : &it->second;
}
