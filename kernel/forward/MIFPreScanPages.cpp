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
// call stack, and every object may be placed only once.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "kernel/forward/MIFPreScan.h"

using MIFSyntax::ForEachChild;
using MIFSyntax::HasKeyword;
using MIFSyntax::IsStatement;
using MIFSyntax::NetDepth;

namespace {

constexpr const char* kEndOfFrame = "<End Of AFrame>";
constexpr double kPointsPerCm = 72.0 / 2.54;

struct PageObject {
  double x = 0;
  double y = 0;
  CQ_MIFLines lines;
};

// What a page or frame holds once its children are read.
struct Content {
  CQ_MIFLines statements;  // opening statements kept with the container
  CQ_MIFLines math;        // equations, kept with the opening statements
  std::vector<PageObject> objects;
};

enum class Level {
  Page,      // unanchored frames become objects of their own
  FrameTop,  // the frame's own statements are kept
  Nested,    // a frame inside a frame: only its objects and equations count
};

void Origin(const CQ_MIFLines& lines, std::size_t b, std::size_t e, const char* keyword, double& x, double& y) {
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

bool IsPageOpeningStatement(const std::string& line) {
  if (line == "<PageBody>") return true;
  const std::string_view kw = MIFSyntax::Keyword(line);
  return kw == "PageType" || kw == "PageTag" || kw == "PageNum";
}

class Collector {
 public:
  Collector(std::unordered_map<std::string, CQ_MIFLines>& columns, std::unordered_set<std::string>& placed)
      : m_columns(columns), m_placed(placed) {}

  // Reads the children of the block [open, end) into content; positions are
  // offset by (dx, dy).
  void Collect(const CQ_MIFLines& lines, std::size_t open, std::size_t end, double dx, double dy, Level level,
               Content& content) {
    ForEachChild(lines, open, end, [&](std::size_t b, std::size_t e) {
      const std::string& first = lines[b];
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
        object.lines.assign(lines.begin() + static_cast<std::ptrdiff_t>(b), lines.begin() + static_cast<std::ptrdiff_t>(e));
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
  bool Frame(const CQ_MIFLines& lines, std::size_t b, std::size_t e, bool closed, CQ_MIFLines& out) {
    Content content;
    Collect(lines, b, e, 0, 0, Level::FrameTop, content);
    if (content.objects.empty() && content.math.empty()) return false;
    SortIntoReadingOrder(content.objects);
    out.push_back(lines[b]);
    Append(out, content);
    if (closed) out.emplace_back("> # end of Frame");
    return true;
  }

  static void Append(CQ_MIFLines& out, Content& content) {
    for (std::string& l : content.statements) out.push_back(std::move(l));
    for (std::string& l : content.math) out.push_back(std::move(l));
    for (PageObject& o : content.objects) {
      for (std::string& l : o.lines) out.push_back(std::move(l));
    }
  }

 private:
  static std::string Normalised(const CQ_MIFLines& lines, std::size_t open, std::size_t end) {
    double left;
    double top;
    Origin(lines, open, end, "ShapeRect", left, top);
    return NormalisedShapeRect(left, top);
  }

  void AddColumn(const CQ_MIFLines& lines, std::size_t b, std::size_t e, double dx, double dy, Content& content) {
    std::string_view id;
    if (!MIFSyntax::ChildValue(lines, b, e, "ID", id)) return;
    const auto it = m_columns.find(std::string(id));
    // A column that received no text has no part: it is left out.
    if (it == m_columns.end()) return;
    if (!m_placed.insert(it->first).second) throw 6;
    PageObject object;
    Origin(lines, b, e, "ShapeRect", object.x, object.y);
    object.x += dx;
    object.y += dy;
    // Each column is placed once: its lines move into the page.
    object.lines = std::move(it->second);
    content.objects.push_back(std::move(object));
  }

  std::unordered_map<std::string, CQ_MIFLines>& m_columns;
  std::unordered_set<std::string>& m_placed;
};

}  // namespace

CQ_MIFLines CQ_MIFPreScan::lst_RebuildPage(const st_MIFPage& page) {
  const CQ_MIFLines& lines = page.lst_Lines;
  CQ_MIFLines out;
  if (lines.empty()) return out;
  Collector collector(m_mapTextColumns, m_setPlacedColumns);
  Content content;
  collector.Collect(lines, 0, lines.size(), 0, 0, Level::Page, content);
  SortIntoReadingOrder(content.objects);
  out.push_back(lines.front());
  Collector::Append(out, content);
  out.emplace_back("> # end of Page");
  return out;
}

CQ_MIFLines CQ_MIFPreScan::lst_RebuildAnchoredFrame(const CQ_MIFLines& frame) {
  CQ_MIFLines out;
  if (frame.empty()) return out;
  Collector collector(m_mapTextColumns, m_setPlacedColumns);
  collector.Frame(frame, 0, frame.size(), false, out);
  return out;
}

CQ_MIFLines CQ_MIFPreScan::lst_InsertAnchoredObjects(CQ_MIFLines& lines) {
  struct Walk {
    CQ_MIFLines* lines;
    std::size_t pos;
    std::unique_ptr<CQ_MIFLines> owned;  // a rebuilt frame
    const char* trailer;                 // written when the walk ends
  };
  CQ_MIFLines out;
  std::size_t upperBound = lines.size();
  for (const auto& table : m_mapTables) upperBound += table.second.size();
  for (const auto& note : m_mapFootnotes) upperBound += note.second.size();
  for (const auto& frame : m_mapAFrames) upperBound += frame.second.size() + 1;
  out.reserve(upperBound);
  std::vector<Walk> stack;
  stack.push_back({&lines, 0, nullptr, nullptr});
  while (!stack.empty()) {
    Walk& top = stack.back();
    if (top.pos >= top.lines->size()) {
      if (top.trailer) out.emplace_back(top.trailer);
      CQ_MIFLines().swap(*top.lines);  // all its lines have moved on
      stack.pop_back();
      continue;
    }
    // Every list is walked once (each object is placed once), so its lines
    // move into the result.
    out.push_back(std::move((*top.lines)[top.pos++]));
    const std::string& line = out.back();
    if (line.size() < 6 || line[0] != '<' || line[1] < 'A' || line[1] > 'F' || NetDepth(line) != 0) continue;
    const std::string_view kw = MIFSyntax::Keyword(line);
    if (kw != "ATbl" && kw != "AFrame" && kw != "FNote") continue;
    const std::string id(MIFSyntax::Value(line));
    if (kw == "ATbl") {
      const auto it = m_mapTables.find(id);
      if (it == m_mapTables.end() || !m_setPlacedTables.insert(id).second) throw 6;
      stack.push_back({&it->second, 0, nullptr, nullptr});
    } else if (kw == "FNote") {
      const auto it = m_mapFootnotes.find(id);
      if (it == m_mapFootnotes.end() || !m_setPlacedFootnotes.insert(id).second) throw 6;
      stack.push_back({&it->second, 0, nullptr, nullptr});
    } else {
      const auto it = m_mapAFrames.find(id);
      if (it == m_mapAFrames.end() || !m_setPlacedFrames.insert(id).second) throw 6;
      auto rebuilt = std::make_unique<CQ_MIFLines>(lst_RebuildAnchoredFrame(it->second));
      CQ_MIFLines* view = rebuilt.get();
      stack.push_back({view, 0, std::move(rebuilt), kEndOfFrame});
    }
  }
  return out;
}

void CQ_MIFPreScan::v_Restructure() {
  m_lstBody.clear();
  m_lstMaster.clear();
  m_setPlacedColumns.clear();
  m_setPlacedFrames.clear();
  m_setPlacedTables.clear();
  m_setPlacedFootnotes.clear();
  // Room for every line the pages can receive, reserved once: growing a
  // list of this size by doubling would hold two copies of it at a time.
  // Reserved room that is never filled is never touched either.
  std::size_t upperBound = 0;
  for (const st_MIFPage& page : m_vecPages) upperBound += page.lst_Lines.size();
  for (const auto& column : m_mapTextColumns) upperBound += column.second.size();
  CQ_MIFLines body;
  CQ_MIFLines master;
  body.reserve(upperBound);
  master.reserve(upperBound);
  for (const st_MIFPage& page : m_vecPages) {
    CQ_MIFLines rebuilt = lst_RebuildPage(page);
    CQ_MIFLines& into = page.b_Body ? body : master;
    for (std::string& l : rebuilt) into.push_back(std::move(l));
  }
  m_lstBody = lst_InsertAnchoredObjects(body);
  m_lstMaster = lst_InsertAnchoredObjects(master);
}

std::vector<std::string> CQ_MIFPreScan::acs_VisibleObjects() const {
  std::vector<std::string> ids;
  for (const CQ_MIFLines* list : {&m_lstBody, &m_lstMaster}) {
    const CQ_MIFLines& lines = *list;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line.size() < 4 || line[0] != '<') continue;
      const std::string_view kw = MIFSyntax::Keyword(line);
      if (kw == "ATbl" && IsStatement(line)) {
        ids.push_back("<TblID " + std::string(MIFSyntax::Value(line)) + ">");
      } else if (kw == "TextRectID" && IsStatement(line)) {
        ids.push_back(line);
      } else if (kw == "TextLine" && MIFSyntax::IsOpening(line)) {
        // The text line's own Unique statement, wherever it stands among
        // its statements; a text line without one records nothing.
        const std::size_t end = MIFSyntax::BlockEnd(lines, i, lines.size());
        const std::string* unique = nullptr;
        ForEachChild(lines, i, end, [&](std::size_t b, std::size_t e) {
          if (!unique && e == b + 1 && HasKeyword(lines[b], "Unique")) unique = &lines[b];
        });
        if (unique) ids.push_back(*unique);
      }
    }
  }
  return ids;
}
