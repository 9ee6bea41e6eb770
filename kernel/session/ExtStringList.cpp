#include "kernel/session/ExtStringList.h"

#include <algorithm>

void CExtStringList::InsertRun(const CExtStringList& source, std::size_t first, std::size_t last, std::size_t after) {
  if (source.m_lines.empty() || first > last || first >= source.m_lines.size()) return;
  last = std::min(last, source.m_lines.size() - 1);
  std::size_t at = (after == npos) ? 0 : std::min(after + 1, m_lines.size());
  // Copy first: source may be this list.
  std::vector<std::string> run(source.m_lines.begin() + static_cast<std::ptrdiff_t>(first),
                               source.m_lines.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(run.begin()),
                 std::make_move_iterator(run.end()));
}

void CExtStringList::RemoveRun(std::size_t first, std::size_t last) {
  if (first > last || first >= m_lines.size()) return;
  last = std::min(last, m_lines.size() - 1);
  m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(first), m_lines.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}

std::size_t CExtStringList::Find(const std::string& line, std::size_t from) const {
  for (std::size_t i = from; i < m_lines.size(); ++i) {
    if (m_lines[i] == line) return i;
  }
  return npos;
}

void CAncillaryFile::Clear() {
  RemoveAll();
  m_mapCatalogs.clear();
  m_mapStyles.clear();
  m_mapFonts.clear();
  m_mapMasters.clear();
}

std::size_t CAncillaryFile::MapEntries() const {
  return m_mapCatalogs.size() + m_mapStyles.size() + m_mapFonts.size() + m_mapMasters.size();
}
