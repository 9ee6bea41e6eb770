// The structure check of external tags (errors 401 to 411).
//
// A stack of open structures (text boxes, text strings, frames, pages,
// tables and their parts, footnotes, markers, index markers, ancillary
// file sections, the KWX file) starts with the file as a whole. Opening
// tags are checked against the innermost open structure and pushed,
// closing tags pop their structure (reporting structures left open inside
// it); element tags are matched by name apart from the stack. Only the
// first structural error on each page (and each ancillary file section)
// is reported; the check itself goes on.
//
// The same pass checks what back conversion relies on to put every
// translated text in its place: no text box, table, text string or
// footnote opens twice with the same identifier (within one ancillary
// file section), and no text box holds more paragraph tags than its
// source, apart from those added with "<#...>".
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXSegmenter.h"

class OSTRAKON_API CQ_TagStructureCheck {
 public:
  // Receives a message: its number, the 0-based index of the segment it
  // concerns, the tag whose suppression key it carries, its formatted text.
  using Reporter = std::function<void(int number, std::size_t segment, std::string_view tag, std::string text)>;
  // tagIds: the rule tag id of each segment (see CQ_VarnelVerifier::
  // si_RuleTagId), parallel to segments. document: false for an ancillary
  // file or section, where master pages and autonumbers stand in <file>.
  // segments and tagIds are not copied and must outlive the check.
  CQ_TagStructureCheck(const KWX::CQ_TagSegmentList& segments, const std::vector<int>& tagIds, bool document,
                       Reporter reporter);
  void v_Run();

  // The paragraph tags that stand directly in each text box (not in its
  // tables, footnotes or frames), tags added with "<#...>" left out, by
  // the key "N\x01<tr ID>" where N counts the ancillary file sections
  // (<file ...> tags) met before the box (0 in a document).
  using CQ_TextBoxParagraphs = std::unordered_map<std::string, std::size_t>;
  // The counts of the source: every text box of this run that holds more
  // paragraph tags than the source's box of the same key is error 412.
  // Not copied; must outlive v_Run. Null (the default): nothing compared.
  void v_SetSourceParagraphs(const CQ_TextBoxParagraphs* source) { m_pcoSourceParagraphs = source; }
  // The counts of the text boxes closed in the last v_Run.
  const CQ_TextBoxParagraphs& rco_Paragraphs() const { return m_mapParagraphs; }

  // Opening tags of text boxes, tables, text strings and footnotes.
  using CQ_BlockTags = std::unordered_set<std::string>;
  // The blocks of a list checked before whose blocks back conversion files
  // together with this one's (a document, when this run checks its
  // ancillary section): each is error 413 here too. Not copied; null (the
  // default): none.
  void v_SetBlocksElsewhere(const CQ_BlockTags* blocks) { m_pcoBlocksElsewhere = blocks; }
  // The blocks opened in the last v_Run, over all its sections.
  const CQ_BlockTags& rco_Blocks() const { return m_setBlocks; }

  // Counts the paragraphs of KWX lines the way v_Run does, for lines that
  // forward conversion wrote (every tag well formed and closed). Feed the
  // lines in order with v_Line, or their tokens (as the block collector
  // explodes them) in order with v_Token.
  class OSTRAKON_API CQ_ParagraphCounter {
   public:
    void v_Line(std::string_view line);
    void v_Token(std::string_view token) {
      // Internal tags count for nothing: passed over without a call.
      if (token.size() >= 3 && token.front() == '<' && token[1] != ':' && token.back() == '>') v_Tag(token);
    }
    const CQ_TextBoxParagraphs& rco_Paragraphs() const { return m_mapParagraphs; }

   private:
    void v_Tag(std::string_view tag);
    struct Open {
      std::string cs_Tag;  // empty for the structures that are no text box
      std::size_t n_Paragraphs = 0;
    };
    std::vector<Open> m_vecStack;
    std::size_t m_nSections = 0;
    CQ_TextBoxParagraphs m_mapParagraphs;
  };

 private:
  struct Impl;
  const KWX::CQ_TagSegmentList& m_rcoSegments;
  const std::vector<int>& m_rcoTagIds;
  bool m_bDocument;
  Reporter m_fnReporter;
  const CQ_TextBoxParagraphs* m_pcoSourceParagraphs = nullptr;
  CQ_TextBoxParagraphs m_mapParagraphs;
  const CQ_BlockTags* m_pcoBlocksElsewhere = nullptr;
  CQ_BlockTags m_setBlocks;
};
