// One pass over the segments with the stack of open structures. Each kind
// of structure has its name pair ("<tr ?>", "</tr>") for messages and a
// set of kinds it may stand in; the set is a bit mask so a check is one
// test. Structures left open are reported in runs of the same kind (402
// for one, 403 for several). Each open text box counts its paragraph
// tags; identifiers of blocks are remembered per ancillary file section.
#include "kernel/verifier/TagStructureCheck.h"

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "kernel/backward/KWXLexicon.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/verifier/VarnelMessages.h"

namespace {

using namespace KWX;

enum Kind : int {
  K_WHOLE, K_TR, K_TS, K_AF, K_PAGE, K_UFO, K_TB, K_TBT, K_TBH, K_TBB, K_TBF, K_ROW, K_CT, K_FN, K_MK, K_IMK, K_FILE, K_KWX
};

struct KindName {
  const char* opening;
  const char* closing;
};

constexpr KindName NAMES[] = {
    {"", ""},
    {"<tr ?>", "</tr>"},
    {"<ts ?>", "</ts>"},
    {"<af ?>", "</af>"},
    {"<page>", "</page>"},
    {"<ufo>", "</ufo>"},
    {"<tb ?>", "</tb>"},
    {"<tbt>", "</tbt>"},
    {"<tbh>", "</tbh>"},
    {"<tbb>", "</tbb>"},
    {"<tbf>", "</tbf>"},
    {"<row ?>", "</row>"},
    {"<ct ?>", "</ct>"},
    {"<fn ?>", "</fn>"},
    {"<mk ?>", "</mk>"},
    {"<imk ?>", "</imk>"},
    {"<file>", "</file>"},
    {"<kwx \"F3.xx\">", "</kwx>"},
};

constexpr unsigned Bit(Kind k) { return 1u << k; }
constexpr unsigned TEXT_CONTAINERS = Bit(K_TR) | Bit(K_FN) | Bit(K_TBT) | Bit(K_CT);
constexpr unsigned ANYWHERE = ~0u;

// The structure an opening tag opens, or -1.
int OpenedKind(int id) {
  switch (id) {
    case TAGID_TR: return K_TR;
    case TAGID_TS: return K_TS;
    case TAGID_AF: return K_AF;
    case TAGID_PAGE: return K_PAGE;
    case TAGID_UFO: return K_UFO;
    case TAGID_TB: return K_TB;
    case TAGID_TBT: return K_TBT;
    case TAGID_TBH: return K_TBH;
    case TAGID_TBB: return K_TBB;
    case TAGID_TBF: return K_TBF;
    case TAGID_ROW: return K_ROW;
    case TAGID_CT: return K_CT;
    case TAGID_FN: return K_FN;
    case TAGID_MK: return K_MK;
    case TAGID_IMK: return K_IMK;
    case TAGID_FILE: return K_FILE;
    case TAGID_KWX: return K_KWX;
    default: return -1;
  }
}

// The structure a closing tag closes, or -1.
int ClosedKind(int id) {
  switch (id) {
    case TAGID_TR_CLOSE: return K_TR;
    case TAGID_TS_CLOSE: return K_TS;
    case TAGID_AF_CLOSE: return K_AF;
    case TAGID_PAGE_CLOSE: return K_PAGE;
    case TAGID_UFO_CLOSE: return K_UFO;
    case TAGID_TB_CLOSE: return K_TB;
    case TAGID_TBT_CLOSE: return K_TBT;
    case TAGID_TBH_CLOSE: return K_TBH;
    case TAGID_TBB_CLOSE: return K_TBB;
    case TAGID_TBF_CLOSE: return K_TBF;
    case TAGID_ROW_CLOSE: return K_ROW;
    case TAGID_CT_CLOSE: return K_CT;
    case TAGID_FN_CLOSE: return K_FN;
    case TAGID_MK_CLOSE: return K_MK;
    case TAGID_IMK_CLOSE: return K_IMK;
    case TAGID_FILE_CLOSE: return K_FILE;
    case TAGID_KWX_CLOSE: return K_KWX;
    default: return -1;
  }
}

// The kinds of structure a tag may stand in directly. Frames may stand in
// frames, and master pages in the sections of the ancillary file, since
// forward conversion writes them there.
unsigned AllowedIn(int id, bool document) {
  switch (id) {
    case TAGID_PS:
    case TAGID_AF:
    case TAGID_MK:
    case TAGID_IMK:
    case TAGID_TB:
      return TEXT_CONTAINERS;
    case TAGID_PN:
      return document ? TEXT_CONTAINERS : TEXT_CONTAINERS | Bit(K_FILE);
    case TAGID_FN:
      return Bit(K_TR) | Bit(K_TBT) | Bit(K_CT);
    case TAGID_TR:
    case TAGID_TS:
      return Bit(K_PAGE) | Bit(K_AF) | Bit(K_UFO);
    case TAGID_UFO:
      return Bit(K_PAGE) | Bit(K_UFO) | Bit(K_AF);
    case TAGID_SOURCECHARSET:
    case TAGID_SOURCELANGUAGE:
    case TAGID_SOURCEHYPHENATION:
    case TAGID_SOURCEQUOTES:
    case TAGID_SOURCEPATH:
      return Bit(K_KWX);
    case TAGID_KWX:
      return Bit(K_WHOLE);
    case TAGID_IE:
    case TAGID_IL:
    case TAGID_SS:
    case TAGID_SL:
      return Bit(K_IMK);
    case TAGID_TBT:
    case TAGID_TBH:
    case TAGID_TBB:
    case TAGID_TBF:
      return Bit(K_TB);
    case TAGID_ROW:
    case TAGID_HROW:
      return Bit(K_TBH) | Bit(K_TBB) | Bit(K_TBF);
    case TAGID_CT:
      return Bit(K_ROW);
    case TAGID_E:
      return Bit(K_FN) | Bit(K_TBH) | Bit(K_TBB) | Bit(K_TBF);
    case TAGID_BB:
    case TAGID_XRFMT:
    case TAGID_VFMT:
    case TAGID_PNFMT:
    case TAGID_EPSFMT:
      return Bit(K_FILE);
    case TAGID_PAGE:
      return Bit(K_KWX) | Bit(K_FILE);
    case TAGID_FILE:
      return Bit(K_KWX);
    default:
      return ANYWHERE;
  }
}

// The quoted name of an element tag.
std::string ElementName(std::string_view tag) {
  const std::size_t open = tag.find('"');
  if (open == std::string_view::npos) return {};
  const std::size_t close = tag.find('"', open + 1);
  return std::string(tag.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
}

// The key of a text box in the paragraph counts.
std::string TextBoxKey(std::size_t sections, std::string_view tag) {
  std::string key = std::to_string(sections);
  key.push_back('\x01');
  key.append(tag);
  return key;
}

// The blocks back conversion files by identifier: a second one of the
// same tag would be lost.
bool IsIdentifiedBlock(int id) { return id == TAGID_TR || id == TAGID_TB || id == TAGID_TS || id == TAGID_FN; }

// Open elements by name, in the order their names first opened.
struct OpenElements {
  std::vector<std::pair<std::string, unsigned>> counts;
  unsigned& Count(const std::string& name) {
    for (auto& entry : counts) {
      if (entry.first == name) return entry.second;
    }
    counts.emplace_back(name, 0);
    return counts.back().second;
  }
};

}  // namespace

struct CQ_TagStructureCheck::Impl {
  struct Open {
    int kind;
    std::size_t segment;
    std::size_t paragraphs = 0;  // text boxes: paragraph tags directly inside
    std::size_t sourceParagraphs = static_cast<std::size_t>(-1);  // none to compare with
  };

  explicit Impl(const CQ_TagStructureCheck& owner) : check(owner) {}

  const CQ_TagStructureCheck& check;
  std::vector<Open> stack{{K_WHOLE, 0}};
  bool errorOnPage = false;
  bool kwxClosed = false;
  bool afterEndReported = false;
  OpenElements elements;
  OpenElements elementsWithFont;
  std::size_t sections = 0;                  // <file ...> tags met
  std::unordered_set<std::string> blocks;    // identified blocks of this section
  CQ_TagStructureCheck::CQ_BlockTags allBlocks;
  CQ_TagStructureCheck::CQ_TextBoxParagraphs paragraphs;

  std::string_view Tag(std::size_t i) const { return check.m_rcoSegments[i].cs_Tag; }
  // The same as a string, for messages and sets.
  std::string TagText(std::size_t i) const { return std::string(check.m_rcoSegments[i].cs_Tag); }

  void Report(int number, std::size_t segment, std::string_view tag, std::string text) {
    if (errorOnPage) return;
    errorOnPage = true;
    check.m_fnReporter(number, segment, tag, std::move(text));
  }

  // Where the innermost structure stands: on the enclosing page, else in
  // the enclosing ancillary section or KWX file.
  std::string Location() const {
    for (int want : {K_PAGE, K_FILE, K_KWX}) {
      for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if (it->kind == want) return (want == K_PAGE ? "on " : "in ") + TagText(it->segment);
      }
    }
    return {};
  }

  void NotAllowed(std::size_t i) {
    if (errorOnPage) return;  // dropped anyway; spares naming the context
    const int inner = stack.back().kind;
    const std::string context =
        inner == K_WHOLE ? std::string("the file") : std::string(NAMES[inner].opening) + " to " + NAMES[inner].closing;
    std::string text = Varnel::ccs_FormatMessage(411, TagText(i).c_str(), context.c_str(), Location().c_str());
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, " .") == 0) text.erase(text.size() - 2, 1);
    Report(411, i, Tag(i), std::move(text));
  }

  // Reports and removes the structures above stack position keep, in runs
  // of the same kind from the innermost outwards.
  void CloseAbove(std::size_t keep) {
    while (stack.size() > keep) {
      const Open top = stack.back();
      std::size_t run = 1;
      while (stack.size() - run > keep && stack[stack.size() - run - 1].kind == top.kind) ++run;
      const std::size_t first = stack.size() - run;
      const Open& outermost = stack[first];
      if (top.kind == K_KWX) {
        Report(409, outermost.segment, Tag(outermost.segment), Varnel::ccs_FormatMessage(409));
      } else if (run == 1) {
        Report(402, top.segment, Tag(top.segment),
               Varnel::ccs_FormatMessage(402, TagText(top.segment).c_str(), NAMES[top.kind].closing));
      } else {
        Report(403, outermost.segment, Tag(outermost.segment),
               Varnel::ccs_FormatMessage(403, static_cast<int>(run), NAMES[top.kind].opening, NAMES[top.kind].closing));
      }
      stack.resize(first);
    }
  }

  void Closing(std::size_t i, int kind) {
    std::size_t at = stack.size();
    while (at > 1 && stack[at - 1].kind != kind) --at;
    if (at <= 1) {
      Report(401, i, Tag(i), Varnel::ccs_FormatMessage(401, TagText(i).c_str(), NAMES[kind].opening));
      return;
    }
    CloseAbove(at);
    if (kind == K_TR) TextBoxClosed(stack.back());
    stack.pop_back();
    if (kind == K_KWX) kwxClosed = true;
  }

  void Opening(std::size_t i, int id, int opened) {
    if (id == TAGID_FILE) {
      ++sections;
      blocks.clear();
    }
    if (IsIdentifiedBlock(id)) {
      const bool elsewhere = check.m_pcoBlocksElsewhere && check.m_pcoBlocksElsewhere->count(TagText(i)) != 0;
      if (!blocks.insert(TagText(i)).second || elsewhere) {
        Report(413, i, Tag(i), Varnel::ccs_FormatMessage(413, TagText(i).c_str()));
      }
      allBlocks.insert(TagText(i));
    }
    Open open{opened, i};
    if (opened == K_TR && check.m_pcoSourceParagraphs) {
      const auto found = check.m_pcoSourceParagraphs->find(TextBoxKey(sections, Tag(i)));
      if (found != check.m_pcoSourceParagraphs->end()) open.sourceParagraphs = found->second;
    }
    stack.push_back(open);
  }

  // A paragraph tag in a text box; one added with "<#...>" does not count.
  void Paragraph(std::size_t i) {
    Open& box = stack.back();
    if (box.kind == K_TR && !(Tag(i).size() > 1 && Tag(i)[1] == '#')) ++box.paragraphs;
  }

  // Which of a text box's paragraphs is the surplus one cannot be told, so
  // the message names the box.
  void TextBoxClosed(const Open& box) {
    paragraphs.try_emplace(TextBoxKey(sections, Tag(box.segment)), box.paragraphs);
    if (box.sourceParagraphs != static_cast<std::size_t>(-1) && box.paragraphs > box.sourceParagraphs) {
      const int surplus = static_cast<int>(box.paragraphs - box.sourceParagraphs);
      Report(412, box.segment, Tag(box.segment), Varnel::ccs_FormatMessage(412, TagText(box.segment).c_str(), surplus));
    }
  }

  void Element(std::size_t i, int id) {
    // Only element tags have their name read.
    if (id != TAGID_EL && id != TAGID_ELF && id != TAGID_EL_CLOSE && id != TAGID_ELF_CLOSE) return;
    const std::string name = ElementName(Tag(i));
    switch (id) {
      case TAGID_EL:
        ++elements.Count(name);
        break;
      case TAGID_ELF:
        ++elementsWithFont.Count(name);
        break;
      case TAGID_EL_CLOSE:
      case TAGID_ELF_CLOSE: {
        const bool font = id == TAGID_ELF_CLOSE;
        unsigned& open = (font ? elementsWithFont : elements).Count(name);
        if (open > 0) {
          --open;
        } else {
          Report(font ? 405 : 404, i, Tag(i), Varnel::ccs_FormatMessage(font ? 405 : 404, name.c_str(), name.c_str()));
        }
        break;
      }
      default:
        break;
    }
  }

  void Run() {
    const KWX::CQ_TagSegmentList& segments = check.m_rcoSegments;
    for (std::size_t i = 0; i < segments.size(); ++i) {
      const int id = check.m_rcoTagIds[i];
      if (kwxClosed) {
        if (!afterEndReported) Report(410, i, Tag(i), Varnel::ccs_FormatMessage(410));
        afterEndReported = true;
        continue;
      }
      if (id == TAGID_PAGE || id == TAGID_FILE) errorOnPage = false;
      const int closed = ClosedKind(id);
      if (closed >= 0) {
        Closing(i, closed);
        continue;
      }
      if ((AllowedIn(id, check.m_bDocument) & Bit(static_cast<Kind>(stack.back().kind))) == 0) NotAllowed(i);
      const int opened = OpenedKind(id);
      if (opened >= 0) Opening(i, id, opened);
      if (id == TAGID_PS) Paragraph(i);
      Element(i, id);
      // A bare index marker tag holds no entry of its own: one must follow.
      if (id == TAGID_IMK && TagIs(i, "<imk>") &&
          (i + 1 >= segments.size() || check.m_rcoTagIds[i + 1] != TAGID_IE)) {
        Report(408, i, Tag(i), Varnel::ccs_FormatMessage(408, TagText(i).c_str()));
      }
    }
    if (segments.empty()) return;
    const std::size_t last = segments.size() - 1;
    if (!kwxClosed) {
      bool kwxOpen = false;
      for (const Open& open : stack) kwxOpen = kwxOpen || open.kind == K_KWX;
      CloseAbove(1);
      if (!kwxOpen) Report(409, last, Tag(last), Varnel::ccs_FormatMessage(409));
    }
    for (const auto& [name, count] : elements.counts) {
      if (count > 0) Report(406, last, Tag(last), Varnel::ccs_FormatMessage(406, static_cast<int>(count), name.c_str(), name.c_str()));
    }
    for (const auto& [name, count] : elementsWithFont.counts) {
      if (count > 0) Report(407, last, Tag(last), Varnel::ccs_FormatMessage(407, static_cast<int>(count), name.c_str(), name.c_str()));
    }
  }

  // True when segment i's tag, without a "#" of the "<#...>" form, is text.
  bool TagIs(std::size_t i, std::string_view text) const {
    std::string_view tag = Tag(i);
    if (tag.size() >= 2 && tag[1] == '#') return tag.size() == text.size() + 1 && tag.substr(2) == text.substr(1);
    return tag == text;
  }
};

CQ_TagStructureCheck::CQ_TagStructureCheck(const KWX::CQ_TagSegmentList& segments, const std::vector<int>& tagIds,
                                           bool document, Reporter reporter)
    : m_rcoSegments(segments), m_rcoTagIds(tagIds), m_bDocument(document), m_fnReporter(std::move(reporter)) {}

void CQ_TagStructureCheck::v_Run() {
  Impl impl(*this);
  impl.Run();
  m_mapParagraphs = std::move(impl.paragraphs);
  m_setBlocks = std::move(impl.allBlocks);
}

// One pass over the bytes, no token list: a tag runs from its "<" to the
// ">" that brings the bracket depth back to zero, as the tokeniser has it.
void CQ_TagStructureCheck::CQ_ParagraphCounter::v_Line(std::string_view line) {
  // Each tag from a '<' at depth 0 to the '>' that brings the depth back
  // to 0; a tag not closed on its line is no tag, and ends the line's tags.
  std::size_t depth = 0;
  std::size_t begin = 0;
  KWX::sv_ForEachBracket(line, [&](std::size_t at) {
    if (line[at] == '<') {
      if (depth++ == 0) begin = at;
    } else if (depth > 0 && --depth == 0) {
      v_Tag(line.substr(begin, at + 1 - begin));
    }
  });
}

void CQ_TagStructureCheck::CQ_ParagraphCounter::v_Tag(std::string_view tag) {
  if (tag.size() < 3 || tag[1] == ':') return;
  // The byte after "<" rules out most of the tests below: every tag they
  // look for begins "</", "<p", "<t", "<f" or "<a".
  const char second = tag[1];
  if (second != '/' && second != 'p' && second != 't' && second != 'f' && second != 'a') return;
  if (second == '/') {
    // Every closer looked for is five bytes long.
    if (m_vecStack.empty() || tag.size() != 5) return;
    for (std::string_view closer :
         {KWX::TAG_TR_CLOSE, KWX::TAG_FN_CLOSE, KWX::TAG_TB_CLOSE, KWX::TAG_AF_CLOSE, KWX::TAG_TS_CLOSE}) {
      if (tag != closer) continue;
      const Open& top = m_vecStack.back();
      if (!top.cs_Tag.empty()) m_mapParagraphs.try_emplace(TextBoxKey(m_nSections, top.cs_Tag), top.n_Paragraphs);
      m_vecStack.pop_back();
      return;
    }
  } else if (KWX::b_HasPrefix(tag, KWX::PREFIX_PS)) {
    if (!m_vecStack.empty() && !m_vecStack.back().cs_Tag.empty()) ++m_vecStack.back().n_Paragraphs;
  } else if (KWX::b_HasPrefix(tag, KWX::PREFIX_TR)) {
    m_vecStack.push_back({std::string(tag), 0});
  } else if (KWX::b_HasPrefix(tag, KWX::PREFIX_FN) || KWX::b_HasPrefix(tag, KWX::PREFIX_TB) ||
             KWX::b_HasPrefix(tag, KWX::PREFIX_AF) || KWX::b_HasPrefix(tag, KWX::PREFIX_TS)) {
    m_vecStack.push_back({});
  } else if (KWX::b_HasPrefix(tag, KWX::PREFIX_FILE)) {
    ++m_nSections;
  }
}
