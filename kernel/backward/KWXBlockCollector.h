// The token list of a KWX file and the blocks back conversion rebuilds from.
//
// A line list is exploded into tokens: each tag (from "<" to the ">" that
// brings the bracket depth back to zero) is one token, each run of text
// between tags another. Line ends carry no meaning, so text that runs over
// a line end gives two text tokens that are simply written one after the
// other. A tag added by the translator in the "<#...>" form loses its "#".
//
// Marker and index-marker blocks (<mk ...> ... </mk>, <imk N> ... </imk>),
// which forward conversion moved behind their paragraphs, are moved back to
// their placeholders (<:mk ...>, <:imk N>), which disappear. A block whose
// placeholder was deleted stays where it is, so its text is not lost.
//
// The collector then files the blocks back conversion replaces MIF objects
// with, by identifier: text columns (<tr ID> ... </tr>), tables (<tb ID>
// ... </tb>), text lines (<ts N> ... </ts>) and footnotes (<fn ID> ...
// </fn>). A nested column, table or text line is filed on its own and
// leaves only its opening tag in the block around it (so a paragraph still
// knows where its table is anchored); a footnote leaves nothing (its <:fn
// ID> placeholder marks the anchor). Each stored block holds its opening
// and closing tokens, as views: of the listed tokens themselves when they
// are views (which must then outlive the collector), of copies the
// collector keeps otherwise.
//
// Failures are raised as the kernel's int codes: 6 for a tag not closed on
// its line and for a marker block without its end, 8 for a list that ends
// inside a block.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "System/Export.h"

using CQ_KWXTokens = std::vector<std::string>;

// A block's tokens as back conversion reads them.
using CQ_KWXBlock = std::vector<std::string_view>;

// Tokens as views, for lists read once on their way into blocks: into the
// exploded lines, which must outlive them, and into lst_Rewritten for the
// tags that lose the "#" of "<#...>" (a deque, so the views stay valid
// when the structure is moved).
struct OSTRAKON_API st_KWXTokenViews {
  std::vector<std::string_view> asv_Tokens;
  std::deque<std::string> lst_Rewritten;
};

namespace KWX {
class CQ_KWXLines;
class CQ_KWXText;
}

namespace KWXBack {

// Appends the tokens of lines[first..] to tokens. Raises 6 for a tag that
// is not closed before the end of its line.
OSTRAKON_API void sv_Explode(const std::vector<std::string>& lines, std::size_t first, CQ_KWXTokens& tokens);
// The same over a session string list.
OSTRAKON_API void sv_ExplodeList(const std::deque<std::string>& lines, std::size_t first, CQ_KWXTokens& tokens);
// The same over lines in compact form (as a forward conversion keeps them).
OSTRAKON_API void sv_ExplodeLines(const KWX::CQ_KWXLines& lines, std::size_t first, CQ_KWXTokens& tokens);

// The same as views into lines, which must outlive the tokens (temporary
// lines are refused at compile time).
OSTRAKON_API void sv_Explode(const std::vector<std::string>& lines, std::size_t first, st_KWXTokenViews& tokens);
void sv_Explode(std::vector<std::string>&& lines, std::size_t first, st_KWXTokenViews& tokens) = delete;
OSTRAKON_API void sv_ExplodeLines(const KWX::CQ_KWXLines& lines, std::size_t first, st_KWXTokenViews& tokens);
void sv_ExplodeLines(KWX::CQ_KWXLines&& lines, std::size_t first, st_KWXTokenViews& tokens) = delete;
OSTRAKON_API void sv_Explode(const KWX::CQ_KWXText& lines, std::size_t first, st_KWXTokenViews& tokens);
void sv_Explode(KWX::CQ_KWXText&& lines, std::size_t first, st_KWXTokenViews& tokens) = delete;

// Moves marker and index-marker blocks to their placeholders (see above).
// Raises 6 for a block without its closing tag.
OSTRAKON_API void sv_MoveMarkers(CQ_KWXTokens& tokens);
OSTRAKON_API void sv_MoveMarkers(st_KWXTokenViews& tokens);

// True for a tag token (begins with "<" and ends with ">").
inline bool sb_IsTag(std::string_view token) { return token.size() >= 2 && token.front() == '<' && token.back() == '>'; }

// The tokens [begin, end) with adjacent text runs joined, for comparing
// texts however their lines were broken.
OSTRAKON_API CQ_KWXTokens sco_JoinedTextRuns(const CQ_KWXTokens& tokens, std::size_t begin, std::size_t end);
// Whether a[aBegin, aEnd) and b[bBegin, bEnd) are equal with their text runs
// joined (as sco_JoinedTextRuns compares them), without building either.
OSTRAKON_API bool sb_SameJoinedTextRuns(const CQ_KWXTokens& a, std::size_t aBegin, std::size_t aEnd,
                                        const CQ_KWXTokens& b, std::size_t bBegin, std::size_t bEnd);
OSTRAKON_API bool sb_SameJoinedTextRuns(const CQ_KWXBlock& a, std::size_t aBegin, std::size_t aEnd,
                                        const CQ_KWXBlock& b, std::size_t bBegin, std::size_t bEnd);

// Views of tokens, which must outlive them.
inline CQ_KWXBlock sco_Views(const CQ_KWXTokens& tokens) { return CQ_KWXBlock(tokens.begin(), tokens.end()); }

// The identifier of an identifier tag: "12" for "<tr 12>" with prefix
// "<tr ".
inline std::string_view scs_TagArgument(std::string_view tag, std::string_view prefix) {
  if (tag.size() < prefix.size() + 1) return {};
  return tag.substr(prefix.size(), tag.size() - prefix.size() - 1);
}

}  // namespace KWXBack

class OSTRAKON_API CQ_KWXBlockCollector {
 public:
  enum ET_BlockKind : int { BLOCK_TR = 0, BLOCK_TB, BLOCK_TS, BLOCK_FN, BLOCK_KIND_COUNT };

  // Files every block of tokens (see above). May be called for several
  // token lists (a document and its ancillary section); the first block of
  // an identifier wins. Raises 8 when a list ends inside a block. The
  // blocks view copies of the tokens.
  void v_Collect(const CQ_KWXTokens& tokens);
  // The same, taking the tokens over (the blocks view them where they
  // are moved to).
  void v_Collect(CQ_KWXTokens&& tokens);
  // Files the blocks as an index only, for lists whose blocks are asked
  // for nothing but their existence and whether they hold content: each
  // block keeps its opening token, its first content token that is not
  // blank (if any) and its closing token, so b_Has, pcco_FindContent (as a
  // test), n_Count and every other query answer as after v_Collect while
  // the list's tokens are not copied into blocks.
  void v_CollectIndex(const CQ_KWXTokens& tokens);
  // The same over views, which the blocks keep: what they point into (the
  // exploded lines, the list's rewritten tags) must outlive the collector.
  void v_Collect(const st_KWXTokenViews& tokens);
  // An index over views: the few tokens it keeps are copied, so the list
  // may go once it is filed.
  void v_CollectIndex(const st_KWXTokenViews& tokens);

  // The block of an identifier, opening and closing tokens included; null
  // when there is none.
  const CQ_KWXBlock* pcco_Find(ET_BlockKind kind, const std::string& id) const;
  // The same, but null also for a block that holds nothing but its
  // opening and closing tokens (a block the translator emptied counts as
  // deleted).
  const CQ_KWXBlock* pcco_FindContent(ET_BlockKind kind, const std::string& id) const;
  bool b_Has(ET_BlockKind kind, const std::string& id) const { return pcco_Find(kind, id) != nullptr; }
  std::size_t n_Count(ET_BlockKind kind) const { return m_amapBlocks[kind].size(); }

  // Opening tag of each marker and index-marker block met, with the
  // block's tokens (opening to closing tag).
  const CQ_KWXBlock* pcco_FindMarker(std::string_view openingTag) const;

  // Whether the collected lists use a character format that back
  // conversion writes with one of its own fonts (<:b>, <:i>, <:bi>, <:c>,
  // <:c1>, <:c2>, <:s>).
  bool b_UsesVarnelFonts() const { return m_bVarnelFonts; }

  // Whether a character-format or font-change opening tag (<:cs "X" N>,
  // <:fc N>) stands anywhere in the collected lists.
  bool b_UsesRunTag(const std::string& tag) const { return m_setRunTags.count(tag) != 0; }

  // Whether a footnote anchor <:fn ID> stands anywhere in the collected
  // lists.
  bool b_HasFootnoteAnchor(const std::string& id) const { return m_setFootnoteAnchors.count(id) != 0; }

 private:
  // Files the blocks of tokens (std::string or std::string_view).
  // owned: the list itself when its tokens may be moved from once read.
  // keep: the blocks may view the tokens where they are.
  template <class Token>
  void v_CollectFrom(const std::vector<Token>& tokens, std::vector<Token>* owned, bool index, bool keep);
  // A view of a copy of token (or of token itself, moved in) that lives as
  // long as the collector.
  std::string_view sv_Keep(std::string_view token) { return m_lstKept.emplace_back(token); }
  std::string_view sv_Keep(std::string&& token) { return m_lstKept.emplace_back(std::move(token)); }

  // Hashing and comparing that also take views, so that a token is looked
  // up without being copied first.
  struct st_TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  using CQ_TextSet = std::unordered_set<std::string, st_TextHash, std::equal_to<>>;

  std::unordered_map<std::string, CQ_KWXBlock> m_amapBlocks[BLOCK_KIND_COUNT];
  std::unordered_map<std::string, CQ_KWXBlock, st_TextHash, std::equal_to<>> m_mapMarkers;
  // The copies blocks view (a deque, so they never move).
  std::deque<std::string> m_lstKept;
  bool m_bVarnelFonts = false;
  CQ_TextSet m_setRunTags;
  CQ_TextSet m_setFootnoteAnchors;
};
