// Ordered lists of 8-bit strings used across the kernel.
//
// CQ_StringList is the plain list (the results queue, a batch's file list,
// KWX line lists). CExtStringList adds the insertion and removal of runs of
// lines that the ancillary file needs. Positions are 0-based.
#pragma once

#include <cstddef>
#include <deque>
#include <unordered_map>
#include <string>
#include <vector>

#include "System/Export.h"

using CQ_StringList = std::deque<std::string>;

class OSTRAKON_API CExtStringList {
 public:
  CExtStringList() = default;

  std::size_t GetCount() const { return m_lines.size(); }
  bool IsEmpty() const { return m_lines.empty(); }
  void RemoveAll() { m_lines.clear(); }
  void AddTail(std::string line) { m_lines.push_back(std::move(line)); }
  void AddHead(std::string line) { m_lines.insert(m_lines.begin(), std::move(line)); }
  const std::string& GetAt(std::size_t index) const { return m_lines.at(index); }
  std::string& GetAt(std::size_t index) { return m_lines.at(index); }

  // Inserts lines first to last (inclusive) of source, in order, after
  // position `after`; an `after` of npos inserts at the front. Positions
  // out of range are clamped to the lists' ends; an empty run inserts
  // nothing.
  void InsertRun(const CExtStringList& source, std::size_t first, std::size_t last, std::size_t after);

  // Removes lines first to last (inclusive); out-of-range parts are ignored.
  void RemoveRun(std::size_t first, std::size_t last);

  // The first position at or after `from` whose line equals `line`, or npos.
  std::size_t Find(const std::string& line, std::size_t from = 0) const;

  const std::vector<std::string>& Lines() const { return m_lines; }
  std::vector<std::string>& Lines() { return m_lines; }

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

 private:
  std::vector<std::string> m_lines;
};

// The ancillary file of the Interleaf converter family: a line list with
// four string-to-pointer maps. FrameMaker conversion keeps and clears it
// only.
class OSTRAKON_API CAncillaryFile : public CExtStringList {
 public:
  void Clear();
  std::size_t MapEntries() const;

  std::unordered_map<std::string, void*> m_mapCatalogs;
  std::unordered_map<std::string, void*> m_mapStyles;
  std::unordered_map<std::string, void*> m_mapFonts;
  std::unordered_map<std::string, void*> m_mapMasters;
};
