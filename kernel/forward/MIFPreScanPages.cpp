// Rebuilding pages into reading order and inserting anchored objects.
//
// A page keeps its opening statements and equations, then its objects sorted
// top to bottom and left to right (a stable sort, so objects at the same
// place keep their file order): text columns replaced by their flow parts,
// text lines, and unanchored frames. Inside a frame, nested frames are
// flattened: their objects join the frame's reading order at positions
// offset by the nested frame's origin, since KWX frames hold only text
// columns and text lines. Anchored objects are then inserted after their
// anchors by an explicit-stack walk, so deep nesting cannot exhaust the
// call stack, and every object may be placed only once. Each page is
// rebuilt and expanded straight into its list, its parts walked where they
// lie and copied in runs up to the next possible anchor, so the lists are
// built once; lines are compact records, the only new text being normalised
// ShapeRect statements, which go into the line store.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "kernel/forward/MIFPreScan.h"
#include "kernel/session/ResultCodes.h"

using MIFSyntax::ForEachChild;
using MIFSyntax::HasKeyword;
using MIFSyntax::IsStatement;
using MIFSyntax::NetDepth;

namespace {

constexpr std::string_view kEndOfFrame = "<End Of AFrame>";
constexpr std::string_view kEndOfFrameBlock = "> # end of Frame";
constexpr std::string_view kEndOfPage = "> # end of Page";
constexpr double kPointsPerCm = 72.0 / 2.54;

struct PageObject {
  double x = 0;
  double y = 0;
  CQ_MIFLineList lines;
  // A text column's part lies in a list the pre-scan keeps: its lines are
  // [pc_Begin, pc_End) instead of `lines`.
  const st_MIFLine* pc_Begin = nullptr;
  const st_MIFLine* pc_End = nullptr;
  const st_MIFLine* First() const { return pc_Begin ? pc_Begin : lines.data(); }
  const st_MIFLine* Last() const { return pc_Begin ? pc_End : lines.data() + lines.size(); }
  // A text column's part: where its possible anchors stand.
  bool b_AnchorsKnown = false;
  std::vector<std::size_t> anchors;
};

// What a page or frame holds once its children are read.
struct Content {
  CQ_MIFLineList statements;  // opening statements kept with the container
  CQ_MIFLineList math;        // equations, kept with the opening statements
  std::vector<PageObject> objects;
};

enum class Level {
  Page,      // unanchored frames become objects of their own
  FrameTop,  // the frame's own statements are kept
  Nested,    // a frame inside a frame: only its objects and equations count
};

void Origin(const CQ_MIFLineList& lines, std::size_t b, std::size_t e, const char* keyword, double& x, double& y) {
  x = 0;
  y = 0;
  std::string_view value;
  if (!MIFSyntax::ChildValue(lines, b, e, keyword, value)) return;
  double xy[2] = {0, 0};
  if (MIFSyntax::ParseLengths(value, xy, 2) == 2) {
    x = xy[0];
    y = xy[1];
  }
}

std::string NormalisedShapeRect(double left, double top) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "<ShapeRect %.2f cm %.2f cm 0 cm 0 cm>", left / kPointsPerCm, top / kPointsPerCm);
  return buf;
}

void SortIntoReadingOrder(std::vector<PageObject>& objects) {
  std::stable_sort(objects.begin(), objects.end(), [](const PageObject& a, const PageObject& b) {
    if (a.y != b.y) return a.y < b.y;
    return a.x < b.x;
  });
}

bool IsPageOpeningStatement(std::string_view line) {
  if (line == "<PageBody>") return true;
  const std::string_view kw = MIFSyntax::Keyword(line);
  return kw == "PageType" || kw == "PageTag" || kw == "PageNum";
}

class Collector {
 public:
  Collector(std::unordered_map<std::string, st_MIFLineSpan>& columns,
            std::unordered_map<std::string, std::vector<std::size_t>>& anchors,
            std::unordered_set<std::string>& placed, CQ_MIFLineStore& store)
      : m_columns(columns), m_anchors(anchors), m_placed(placed), m_store(store) {}

  // Reads the children of the block [open, end) into content; positions are
  // offset by (dx, dy).
  void Collect(const CQ_MIFLineList& lines, std::size_t open, std::size_t end, double dx, double dy, Level level,
               Content& content) {
    ForEachChild(lines, open, end, [&](std::size_t b, std::size_t e) {
      const st_MIFLine& first = lines[b];
      if (e == b + 1) {
        if (level == Level::FrameTop && IsStatement(first)) {
          content.statements.push_back(HasKeyword(first, "ShapeRect") ? Normalised(lines, open, end) : first);
        } else if (level == Level::Page && IsPageOpeningStatement(first)) {
          content.statements.push_back(first);
        }
        return;
      }
      const std::string_view kw = MIFSyntax::Keyword(first);
      if (kw == "TextRect") {
        AddColumn(lines, b, e, dx, dy, content);
      } else if (kw == "TextLine") {
        PageObject object;
        Origin(lines, b, e, "TLOrigin", object.x, object.y);
        object.x += dx;
        object.y += dy;
        object.lines.assign(lines.begin() + static_cast<std::ptrdiff_t>(b),
                            lines.begin() + static_cast<std::ptrdiff_t>(e));
        content.objects.push_back(std::move(object));
      } else if (kw == "Math") {
        content.math.insert(content.math.end(), lines.begin() + static_cast<std::ptrdiff_t>(b),
                            lines.begin() + static_cast<std::ptrdiff_t>(e));
      } else if (kw == "Frame") {
        double left;
        double top;
        Origin(lines, b, e, "ShapeRect", left, top);
        if (level == Level::Page) {
          PageObject object;
          object.x = left;
          object.y = top;
          if (Frame(lines, b, e, true, object.lines)) content.objects.push_back(std::move(object));
        } else {
          Collect(lines, b, e, dx + left, dy + top, Level::Nested, content);
        }
      }
    });
  }

  // The rebuilt frame [b, e): its opening, statements, equations and
  // objects in reading order, and its closer when `closed`. False when the
  // frame holds nothing to translate (no text column part, text line or
  // equation), in which case `out` is left empty.
  bool Frame(const CQ_MIFLineList& lines, std::size_t b, std::size_t e, bool closed, CQ_MIFLineList& out) {
    Content content;
    Collect(lines, b, e, 0, 0, Level::FrameTop, content);
    if (content.objects.empty() && content.math.empty()) return false;
    SortIntoReadingOrder(content.objects);
    out.push_back(lines[b]);
    Append(out, content);
    if (closed) out.push_back(CQ_MIFLineStore::sst_Literal(kEndOfFrameBlock));
    return true;
  }

  static void Append(CQ_MIFLineList& out, Content& content) {
    out.insert(out.end(), content.statements.begin(), content.statements.end());
    out.insert(out.end(), content.math.begin(), content.math.end());
    for (PageObject& o : content.objects) {
      out.insert(out.end(), o.First(), o.Last());
      CQ_MIFLineList().swap(o.lines);
    }
  }

 private:
  st_MIFLine Normalised(const CQ_MIFLineList& lines, std::size_t open, std::size_t end) {
    double left;
    double top;
    Origin(lines, open, end, "ShapeRect", left, top);
    return m_store.st_Add(NormalisedShapeRect(left, top));
  }

  void AddColumn(const CQ_MIFLineList& lines, std::size_t b, std::size_t e, double dx, double dy, Content& content) {
    std::string_view id;
    if (!MIFSyntax::ChildValue(lines, b, e, "ID", id)) return;
    const auto it = m_columns.find(std::string(id));
    // A column that received no text has no part: it is left out.
    if (it == m_columns.end()) return;
    if (!m_placed.insert(it->first).second) throw Result::DAMAGED;
    PageObject object;
    Origin(lines, b, e, "ShapeRect", object.x, object.y);
    object.x += dx;
    object.y += dy;
    // Each column is placed once: its lines move into the page, and the
    // table keeps an empty part.
    object.pc_Begin = it->second.pc_Begin;
    object.pc_End = it->second.pc_End;
    it->second = st_MIFLineSpan{};
    const auto anchors = m_anchors.find(it->first);
    if (anchors != m_anchors.end()) {
      object.b_AnchorsKnown = true;
      object.anchors = std::move(anchors->second);
    }
    content.objects.push_back(std::move(object));
  }

  std::unordered_map<std::string, st_MIFLineSpan>& m_columns;
  std::unordered_map<std::string, std::vector<std::size_t>>& m_anchors;
  std::unordered_set<std::string>& m_placed;
  CQ_MIFLineStore& m_store;
};

}  // namespace

void CQ_MIFPreScan::v_AppendPage(const st_PageLines& page, CQ_MIFLineList& out) {
  const CQ_MIFLineList& lines = page.lst_Lines;
  if (lines.empty()) return;
  Collector collector(m_mapTextColumns, m_mapColumnAnchors, m_setPlacedColumns, m_coStore);
  Content content;
  collector.Collect(lines, 0, lines.size(), 0, 0, Level::Page, content);
  SortIntoReadingOrder(content.objects);
  // The rebuilt page is walked in runs where its parts lie: the opening,
  // the statements, the equations, each object (emptied once walked), the
  // closer.
  static const st_MIFLine endOfPage = CQ_MIFLineStore::sst_Literal(kEndOfPage);
  std::vector<st_LineRun> runs;
  runs.reserve(content.objects.size() + 4);
  auto run = [&](const CQ_MIFLineList& list, CQ_MIFLineList* release, const std::vector<std::size_t>* anchors) {
    runs.push_back({list.data(), list.data() + list.size(), release, anchors});
  };
  runs.push_back({lines.data(), lines.data() + 1, nullptr, nullptr});
  run(content.statements, nullptr, nullptr);
  run(content.math, nullptr, nullptr);
  for (PageObject& o : content.objects) {
    runs.push_back({o.First(), o.Last(), o.pc_Begin ? nullptr : &o.lines, o.b_AnchorsKnown ? &o.anchors : nullptr});
  }
  runs.push_back({&endOfPage, &endOfPage + 1, nullptr, nullptr});
  v_AppendWithAnchoredObjects(runs, out);
}

CQ_MIFLineList CQ_MIFPreScan::lst_RebuildAnchoredFrame(const CQ_MIFLineList& frame) {
  CQ_MIFLineList out;
  if (frame.empty()) return out;
  Collector collector(m_mapTextColumns, m_mapColumnAnchors, m_setPlacedColumns, m_coStore);
  collector.Frame(frame, 0, frame.size(), false, out);
  return out;
}

void CQ_MIFPreScan::v_AppendWithAnchoredObjects(const std::vector<st_LineRun>& runs, CQ_MIFLineList& out) {
  struct Walk {
    const st_MIFLine* pos;
    const st_MIFLine* end;
    const st_MIFLine* begin;
    const std::vector<std::size_t>* anchors;  // where the possible anchors stand, or null: search
    std::size_t nextAnchor;
    CQ_MIFLineList* release;                // emptied once walked (its lines have moved on)
    std::unique_ptr<CQ_MIFLineList> owned;  // a rebuilt frame
    bool frame;                             // ends with "<End Of AFrame>"
  };
  std::vector<Walk> stack;
  stack.reserve(runs.size() + 8);
  for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
    stack.push_back({r->pc_Begin, r->pc_End, r->pc_Begin, r->pc_Anchors, 0, r->p_Release, nullptr, false});
  }
  while (!stack.empty()) {
    Walk& top = stack.back();
    // Every list is walked once (each object is placed once); lines up to
    // the next possible anchor are copied as one run.
    const st_MIFLine* at = top.pos;
    if (top.anchors) {
      at = top.nextAnchor < top.anchors->size() ? top.begin + (*top.anchors)[top.nextAnchor++] : top.end;
    } else {
      while (at != top.end && !sb_MayBeAnchor(*at)) ++at;
    }
    if (at == top.end) {
      out.insert(out.end(), top.pos, top.end);
      if (top.frame) out.push_back(CQ_MIFLineStore::sst_Literal(kEndOfFrame));
      if (top.release) CQ_MIFLineList().swap(*top.release);
      stack.pop_back();
      continue;
    }
    out.insert(out.end(), top.pos, at + 1);
    top.pos = at + 1;
    const st_MIFLine line = *at;
    const std::string_view kw = MIFSyntax::Keyword(line);
    if (kw != "ATbl" && kw != "AFrame" && kw != "FNote") continue;
    const std::string id(MIFSyntax::Value(line));
    if (kw == "ATbl") {
      const auto it = m_mapTables.find(id);
      if (it == m_mapTables.end() || !m_setPlacedTables.insert(id).second) throw Result::DAMAGED;
      const st_MIFLineSpan table = std::exchange(it->second, st_MIFLineSpan{});  // placed: the table keeps none
      stack.push_back({table.pc_Begin, table.pc_End, table.pc_Begin, nullptr, 0, nullptr, nullptr, false});
    } else if (kw == "FNote") {
      const auto it = m_mapFootnotes.find(id);
      if (it == m_mapFootnotes.end() || !m_setPlacedFootnotes.insert(id).second) throw Result::DAMAGED;
      CQ_MIFLineList& note = it->second;
      stack.push_back({note.data(), note.data() + note.size(), note.data(), nullptr, 0, &note, nullptr, false});
    } else {
      const auto it = m_mapAFrames.find(id);
      if (it == m_mapAFrames.end() || !m_setPlacedFrames.insert(id).second) throw Result::DAMAGED;
      auto rebuilt = std::make_unique<CQ_MIFLineList>(lst_RebuildAnchoredFrame(it->second));
      const st_MIFLine* b = rebuilt->data();
      const st_MIFLine* e = b + rebuilt->size();
      stack.push_back({b, e, b, nullptr, 0, nullptr, std::move(rebuilt), true});
    }
  }
}

void CQ_MIFPreScan::v_Restructure() {
  m_lstBody.clear();
  m_lstMaster.clear();
  m_setPlacedColumns.clear();
  m_setPlacedFrames.clear();
  m_setPlacedTables.clear();
  m_setPlacedFootnotes.clear();
  v_Changed();
  // Room for every line the lists can receive, reserved once: growing a
  // list of this size by doubling would hold two copies of it at a time.
  // Reserved room that is never filled is never touched either.
  std::size_t upperBound = 0;
  for (const st_PageLines& page : m_vecPages) upperBound += page.lst_Lines.size() + 1;
  for (const auto& column : m_mapTextColumns) upperBound += column.second.size();
  for (const auto& table : m_mapTables) upperBound += table.second.size();
  for (const auto& note : m_mapFootnotes) upperBound += note.second.size();
  for (const auto& frame : m_mapAFrames) upperBound += frame.second.size() + 2;
  // The body list takes over the list the blocks were read into, whose
  // memory is already in use.
  m_lstBody.swap(m_lstRead);
  m_lstBody.clear();
  CQ_MIFLineList().swap(m_lstRead);
  m_lstBody.reserve(upperBound);
  m_lstMaster.reserve(upperBound);
  // Each page is rebuilt and its anchored objects inserted before the next
  // page: every object is placed once whichever page comes first, so this
  // gives the lists that rebuilding all pages first would give.
  for (const st_PageLines& page : m_vecPages) v_AppendPage(page, page.b_Body ? m_lstBody : m_lstMaster);
}

std::vector<std::string> CQ_MIFPreScan::acs_VisibleObjects() const {
  std::vector<std::string> ids;
  for (const CQ_MIFLineList* list : {&m_lstBody, &m_lstMaster}) {
    const CQ_MIFLineList& lines = *list;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const st_MIFLine& line = lines[i];
      if (line.n_Size < 4 || line.front() != '<') continue;
      const std::string_view kw = MIFSyntax::Keyword(line);
      if (kw == "ATbl" && IsStatement(line)) {
        ids.push_back("<TblID " + std::string(MIFSyntax::Value(line)) + ">");
      } else if (kw == "TextRectID" && IsStatement(line)) {
        ids.emplace_back(line.sv());
      } else if (kw == "TextLine" && MIFSyntax::IsOpening(line)) {
        // The text line's own Unique statement, wherever it stands among
        // its statements; a text line without one records nothing.
        const std::size_t end = MIFSyntax::BlockEnd(lines, i, lines.size());
        const st_MIFLine* unique = nullptr;
        ForEachChild(lines, i, end, [&](std::size_t b, std::size_t e) {
          if (!unique && e == b + 1 && HasKeyword(lines[b], "Unique")) unique = &lines[b];
        });
        if (unique) ids.emplace_back(unique->sv());
      }
    }
  }
  return ids;
}
