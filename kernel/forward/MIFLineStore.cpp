// Chunked text storage: text is appended to the last chunk while it fits,
// otherwise a new chunk is started, as large as the text held so far (at
// least 1 MiB, or 2 MiB for a large file, at most 8 MiB, and at least the
// line). Rewinding drops whole
// chunks after the mark and resets the fill of the mark's chunk.
#include "kernel/forward/MIFLineStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "System/Platform/LargeMemory.h"
#include "kernel/session/ResultCodes.h"


st_MIFLine CQ_MIFLineStore::st_AddToNewChunk(std::string_view text, int net) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw Result::DAMAGED;
  std::size_t size = std::min(std::max(n_Capacity(), m_nFirstChunk), MAX_CHUNK_SIZE);
  if (text.size() > size) size = text.size();
  m_chunks.emplace_back(size);
  m_nUsed = 0;
  char* at = m_chunks.back().data();
  if (!text.empty()) std::memcpy(at, text.data(), text.size());
  m_nUsed += text.size();
  return {at, static_cast<std::uint32_t>(text.size()), net};
}

st_MIFLine CQ_MIFLineStore::sst_Literal(std::string_view text) {
  return {text.data(), static_cast<std::uint32_t>(text.size()), MIFSyntax::NetDepth(text)};
}

void CQ_MIFLineStore::v_Rewind(const st_Mark& mark) {
  if (mark.n_Chunks > m_chunks.size()) return;
  m_chunks.erase(m_chunks.begin() + static_cast<std::ptrdiff_t>(mark.n_Chunks), m_chunks.end());
  m_nUsed = m_chunks.empty() ? 0 : mark.n_Used;
}

void CQ_MIFLineStore::v_Clear() {
  std::vector<Platform::LargeBuffer>().swap(m_chunks);
  m_nUsed = 0;
}

std::size_t CQ_MIFLineStore::n_Capacity() const {
  std::size_t n = 0;
  for (const Platform::LargeBuffer& c : m_chunks) n += c.size();
  return n;
}

CQ_MIFLines lst_MIFLineStrings(const CQ_MIFLineList& lines) {
  CQ_MIFLines out;
  out.reserve(lines.size());
  for (const st_MIFLine& line : lines) out.emplace_back(line.sv());
  return out;
}
