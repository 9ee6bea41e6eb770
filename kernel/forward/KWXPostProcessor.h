// Post-processing of a converted KWX piece list.
//
// The list converter writes footnotes, markers and index markers where
// their anchors stand, inside running text, and leaves character-format
// and condition runs as the MIF statements open and close them. The steps
// here turn that into the layout readers and the verifier expect:
//
// 1-3. footnote, marker and index-marker blocks move behind the text of
//      their paragraph (before the next boundary line), and a placeholder
//      (<:fn ID>, <:mk "TYPE" N>, <:imk N>) stands at the anchor;
//      condition runs are balanced after the moves (a <:cns> while one is
//      open is preceded by <:/cns>, a <:/cns> with none open by the dummy
//      <:cns "" 0>), and runs left open at the end of the list, and text
//      insets, are closed by the dummy paragraph <ps "" 0> before the last
//      </tr>;
// 4.   a character-format or font-change run is closed at every external
//      tag that ends its segment and reopened after </af> and </tb> when
//      the paragraph goes on; empty runs are removed;
// 5.   with structured markup, element ranges holding a font change become
//      <:elf>, and element tags between paragraphs take their external
//      form;
// 6.   with the Japanese alignment option, sort strings of index entries
//      move behind the entry's levels, marked by <:so>.
//
// Every step is one forward pass over the list (linear in its length),
// writing into a second list that is swapped with the first, so the steps
// share two buffers; every step moves compact pieces, and steps 1 to 4
// test their kind bits (KWXPieceList.h). Tags made here are entered in the
// tag tables with their counterparts.
// A block without its closing tag raises 6.
#pragma once

#include <string>
#include <vector>

#include "System/Export.h"
#include "kernel/forward/KWXPieceList.h"

class CQ_KWXTagTables;

class OSTRAKON_API CQ_KWXPostProcessor {
 public:
  // The tables receive the tags made here; they must outlive this object.
  explicit CQ_KWXPostProcessor(CQ_KWXTagTables& tags) : m_rcoTags(tags) {}

  // All steps in order; structured and japaneseAlignment select steps 5
  // and 6. Restarts the <:elf> counter. Every step works on the compact
  // form, the converter's; the string forms run the same steps on a copy.
  void v_Run(CQ_KWXPieceList& pieces, bool structured, bool japaneseAlignment);
  void v_Run(std::vector<std::string>& pieces, bool structured, bool japaneseAlignment);

  void v_PlaceFootnotes(CQ_KWXPieceList& pieces);
  void v_PlaceMarkers(CQ_KWXPieceList& pieces);
  void v_PlaceIndexMarkers(CQ_KWXPieceList& pieces);
  void v_BalanceConditions(CQ_KWXPieceList& pieces);
  void v_CloseRuns(CQ_KWXPieceList& pieces);
  void v_ElementTags(CQ_KWXPieceList& pieces);
  void v_RegroupSortStrings(CQ_KWXPieceList& pieces);

  void v_PlaceFootnotes(std::vector<std::string>& pieces);
  void v_PlaceMarkers(std::vector<std::string>& pieces);
  void v_PlaceIndexMarkers(std::vector<std::string>& pieces);
  void v_BalanceConditions(std::vector<std::string>& pieces);
  void v_CloseRuns(std::vector<std::string>& pieces);
  void v_ElementTags(std::vector<std::string>& pieces);
  void v_RegroupSortStrings(std::vector<std::string>& pieces);

 private:
  // The list a pass builds; passes swap it with their input, so two
  // buffers serve every pass.
  CQ_KWXPieces& rco_Output(std::size_t expected);

  CQ_KWXTagTables& m_rcoTags;
  CQ_KWXPieces m_vecScratch;
};
