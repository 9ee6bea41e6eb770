// The MIF pass of back conversion: the ORG copy read again and written out
// with the translated text in place of the source text.
//
// Every ORG statement that no KWX tag stands for is copied; only what the
// translator edits is replaced:
// - text flows: the paragraphs of every text column that has a <tr ID>
//   block, rebuilt from the blocks of all the flow's columns in order, each
//   column's TextRectID statement put back where its text begins; the
//   flow's Notes receive its footnotes (<fn ID> blocks) in their ORG order;
//   a footnote whose block and anchor the translated file lost goes;
// - tables: every statement of the table is copied, only the paragraphs of
//   each CellContent and TblTitleContent are replaced (<ct>, <tbt> blocks
//   in order), hidden rows (<hrow>) are copied whole;
// - text lines: matched with their <ts N> block through the Unique
//   statement the in-memory conversion recorded; the statements before the
//   text and the closer come from the ORG copy, fonts, strings and
//   characters from the block;
// - catalogs and formats: translated cross-reference formats, variables,
//   paragraph numbering formats, element prefixes and suffixes and the
//   document's footnote strings from the ancillary section (a text equal
//   to the source text keeps the ORG line); the seven fonts of back
//   conversion added to the font catalog when the translation uses them;
// - every line: the source language switched to the target language in
//   PgfLanguage, FLanguage, DLanguage and TLLanguage statements, and
//   PgfHyphenate Yes switched off when the translation is not to be
//   hyphenated.
//
// Objects forward conversion left out (flows, text lines and tables of
// reference and hidden pages, objects no page shows, master-page text when
// the ancillary section is missing) have no block in the regenerated
// source lists and are copied unchanged. An object whose block the source
// lists hold but the translated file lost is left out with warning 1420
// (table) or 1440 (text line); a text column keeps an empty paragraph with
// warning 1430. A text line whose source block holds no text either is
// copied.
//
// Raises Platform::CQ_FileException when the ORG copy cannot be read and 8
// when it ends inside a block; the sink raises what it raises.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/backward/MIFBlockBuilder.h"
#include "kernel/forward/MIFPreScan.h"
#include "kernel/forward/TextConverter.h"

class CQ_Morvane_Communication;

// The format definitions of an ancillary section, by their tag: <xrfmt
// "...">, <vfmt "...">, <pnfmt "..."> (the tag itself), an element's
// prefix and suffix (its <epsfmt "..."> tag followed by "\x01Prefix" or
// "\x01Suffix"), and the eight footnote strings (their <bb "..."> tag).
// Each gives the token range of its text.
class OSTRAKON_API CQ_AncillaryFormats {
 public:
  // Reads tokens, which must outlive the object (it keeps views of them).
  void v_Read(const CQ_KWXTokens& tokens);
  // The text of a definition, or false when there is none.
  bool b_Find(const std::string& key, std::size_t& begin, std::size_t& end) const;
  const CQ_KWXBlock* pcco_Tokens() const { return &m_coTokens; }
  bool b_Empty() const { return m_map.empty(); }

 private:
  CQ_KWXBlock m_coTokens;
  std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> m_map;
};

class OSTRAKON_API CQ_MIFRebuilder {
 public:
  struct st_Inputs {
    CQ_Morvane_Communication* pco_Session = nullptr;  // messages; languages and translation hyphenation
    const CQ_TagMap* pcco_Tags = nullptr;             // tag to MIF text
    const CQ_KWXBlockCollector* pcco_Source = nullptr;      // blocks of the regenerated source lists
    const CQ_KWXBlockCollector* pcco_Translated = nullptr;  // blocks of the translated file (and section)
    const std::vector<st_MIFTextFlow>* pcco_Flows = nullptr;  // the pre-scan's flows, in file order
    const CQ_AncillaryFormats* pcco_SourceFormats = nullptr;      // may be empty
    const CQ_AncillaryFormats* pcco_TranslatedFormats = nullptr;  // may be empty
    bool b_Symbol = false;            // the document's character set is Symbol
    int i_SourceHyphenation = 0;      // the source hyphenation the document was converted with
    int i_TextCodePage = 1252;        // code page of the translated text
    bool b_AddVarnelFonts = false;    // the translation uses back conversion's own fonts
    // The ORG copy's line depths as the forward run's pre-scan noted them
    // over the same text (CQ_MIFPreScan::rco_GetLineNets); null: counted here.
    const std::vector<std::int8_t>* pcco_LineNets = nullptr;
    // The lengths of the ORG copy's lines as the same pre-scan read them
    // (CQ_MIFPreScan::rco_GetLineLengths); null: the lines are split here.
    const std::vector<std::uint8_t>* pcco_LineLengths = nullptr;
  };

  // The session's settings (languages, translation hyphenation, text
  // settings but the character set) are read here; the character set and
  // the source hyphenation are the inputs'.
  explicit CQ_MIFRebuilder(const st_Inputs& inputs);
  ~CQ_MIFRebuilder();

  // Receives the output in order, as whole trimmed lines: one line, or a
  // stretch of lines each followed by "\n" but the last (no line end after
  // the last line of a call).
  using LineSink = std::function<void(std::string_view)>;

  // Rebuilds the text of the ORG copy, which the caller holds whole for
  // the pass (blocks and the lines copied unchanged are views of it), and
  // hands the output to sink: the lines of a rebuilt paragraph (or of the
  // paragraphs of a table cell) as one stretch, lines copied unchanged in
  // stretches of consecutive lines when the copy has them one "\n" apart;
  // a line the language, hyphenation or numbering filter rewrites on its own.
  void v_RunText(std::string_view orgText, const LineSink& sink);

  // The line as the language and hyphenation switches and the paragraph
  // numbering formats leave it.
  std::string ccs_FilterLine(const std::string& line) const;

 private:
  void v_Pass(std::string_view orgText);
  // Hands one line to the sink, or keeps it for the stretch in hand when it
  // is an ORG line that follows that stretch (lines of the ORG text stay
  // where they are for the whole pass).
  void v_Emit(std::string_view line);
  // Hands the stretch in hand to the sink.
  void v_Flush();
  void v_Emit(const char* line) { v_Emit(std::string_view(line)); }
  void v_EmitAll(const CQ_MIFBlockLines& lines, std::size_t begin, std::size_t end);
  // Every line of lines, those the filter leaves alone as stretches.
  void v_EmitAll(const CQ_MIFLineBuffer& lines);
  // Whether the language, hyphenation or numbering filter reads the line.
  static bool sb_Filtered(std::string_view line);

  void v_TextFlow(const CQ_MIFBlockLines& block);
  void v_Tables(const CQ_MIFBlockLines& block);
  void v_Table(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end);
  void v_TextLines(const CQ_MIFBlockLines& block);
  void v_TextLine(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end);
  void v_NamedFormats(const CQ_MIFBlockLines& block, const char* item, const char* nameKey, const char* defKey,
                      const std::unordered_map<std::string, std::string>& tagsByName);
  void v_ElementDefCatalog(const CQ_MIFBlockLines& block);
  void v_Document(const CQ_MIFBlockLines& block);
  void v_FontCatalog(const CQ_MIFBlockLines& block);

  // A Notes block: its footnotes rebuilt from their <fn ID> blocks.
  void v_Notes(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end, CQ_MIFInlineObjects& inl);
  void v_Footnote(const CQ_MIFBlockLines& block, std::size_t begin, std::size_t end, CQ_MIFInlineObjects& inl);
  // A container of paragraphs (CellContent, TblTitleContent, FNote): Notes
  // rebuilt, the Para children replaced by the paragraphs of
  // tokens[begin, end).
  void v_Container(const CQ_MIFBlockLines& block, std::size_t open, std::size_t close, const CQ_KWXBlock* tokens,
                   std::size_t begin, std::size_t end, CQ_MIFInlineObjects& inl);

  // The translated text of a definition when it differs from the source
  // text; false when the ORG line stays.
  bool b_TranslatedFormat(const std::string& key, CQ_MIFTextWriter::ET_Mode mode, std::string_view orgRaw,
                          std::string& raw) const;

  CQ_MIFBlockBuilder::st_Context st_BuilderContext(CQ_MIFInlineObjects* inl) const;
  void v_Warn(unsigned id, const std::string& argument);

  class CChildren;
  friend class CChildren;

  st_Inputs m_stIn;
  const LineSink* m_pcoSink = nullptr;
  std::string_view m_svORG;      // the ORG text of the pass
  std::string_view m_svPending;  // consecutive ORG lines not yet handed on (null data: none)
  CQ_MIFEscaping m_coEscaping;
  CQ_MIFTextWriter m_coTextWriter;
  CQ_TextConverter m_coText;
  int m_iSourceHyphenation = 0;
  std::string m_strSourceLanguage;  // MIF names; switched only when they differ
  std::string m_strTargetLanguage;
  bool m_bHyphenationOff = false;
  bool m_bReadFonts = false;        // some run tag of the document is one the source lists never use
  std::string m_strDefaultFont;     // the document's spelling of the default-font block
  std::size_t m_nFlow = 0;          // text flows met so far
  CQ_MIFBlockLines m_coBlock;       // the block at hand
  CQ_MIFLineBuffer m_coOut;         // paragraphs being written, reused
  st_ORGParagraph m_stContainerParagraph;  // the ORG paragraph of a container, reused
  // Lists and strings of the paragraph builders, reused.
  mutable CQ_MIFBlockBuilder::st_Scratch m_stScratch;
  // Text lines by their Unique statement (or whole text): <ts N> ids.
  std::unordered_map<std::string, std::string> m_mapTextLines;
  // Format names (raw MIF) to their tags.
  std::unordered_map<std::string, std::string> m_mapXRefTags;
  std::unordered_map<std::string, std::string> m_mapVariableTags;
  std::unordered_map<std::string, std::string> m_mapElementTags;
  // Character-format and font-change tags by their Font statement's text.
  std::unordered_map<std::string, std::string> m_mapRunTags;
  // Fragments of repeating tags, split once for the whole pass.
  mutable CQ_MIFBlockBuilder::CQ_FragmentCache m_mapFragments;
  // Paragraph headers of the paragraph tags, split once for the whole pass.
  mutable CQ_MIFBlockBuilder::CQ_HeaderCache m_mapHeaders;
  // Lists of a block's children, one for each walk in progress (CChildren).
  std::deque<std::vector<std::pair<std::size_t, std::size_t>>> m_dqChildLists;
  std::size_t m_nChildListsInUse = 0;
};
