// Text storage for compact MIF line lists.
//
// A CQ_MIFLineStore keeps the text of the lines the pre-scan reads, one
// after another in large chunks, and hands out st_MIFLine records that point
// into it (MIFSyntax.h). The pre-scan then reorders, filters and moves
// records, never text, and the converter reads the records; a file's text is
// held once, without a heap block per line.
//
// Ownership: records stay valid until the store is cleared, rewound past
// them, or destroyed; the store never moves text it holds. Chunks grow with
// the text held (1 MiB up to 8 MiB; the large ones in huge pages where the
// kernel offers them). Lines longer than a chunk get a chunk of their own. Lines longer than 4 GiB are refused with
// the kernel's code 6 (a record counts its size in 32 bits); allocation
// failure raises std::bad_alloc. Nothing else is thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "System/Platform/LargeMemory.h"
#include "kernel/forward/MIFSyntax.h"

class CQ_MIFLineStore {
 public:
  static constexpr std::size_t CHUNK_SIZE = std::size_t(1) << 20;
  static constexpr std::size_t MAX_CHUNK_SIZE = std::size_t(8) << 20;

  // A position in the store: everything stored after it can be dropped.
  struct st_Mark {
    std::size_t n_Chunks = 0;
    std::size_t n_Used = 0;
  };

  CQ_MIFLineStore() = default;
  CQ_MIFLineStore(const CQ_MIFLineStore&) = delete;
  CQ_MIFLineStore& operator=(const CQ_MIFLineStore&) = delete;

  // Copies text into the store; the record carries `net` as its depth.
  st_MIFLine st_Add(std::string_view text, int net) {
    if (!m_chunks.empty() && m_chunks.back().size() - m_nUsed >= text.size()) {
      char* at = m_chunks.back().data() + m_nUsed;
      if (!text.empty()) std::memcpy(at, text.data(), text.size());
      m_nUsed += text.size();
      return {at, static_cast<std::uint32_t>(text.size()), net};
    }
    return st_AddToNewChunk(text, net);
  }
  // The same, with the depth worked out from the text.
  st_MIFLine st_Add(std::string_view text) { return st_Add(text, MIFSyntax::NetDepth(text)); }

  // A record for text the caller keeps alive for as long as the record is
  // used (string literals: the pre-scan's pseudo-lines).
  static st_MIFLine sst_Literal(std::string_view text);

  // The text to come is about `bytes` long: a large file's chunks start
  // at huge-page size.
  void v_ExpectBytes(std::size_t bytes) { m_nFirstChunk = bytes >= 4 * Platform::LARGE_BLOCK ? Platform::LARGE_BLOCK : CHUNK_SIZE; }

  st_Mark st_GetMark() const { return {m_chunks.size(), m_nUsed}; }
  // Drops every line stored since the mark; their records must no longer
  // be used.
  void v_Rewind(const st_Mark& mark);
  // Drops everything.
  void v_Clear();

  // Bytes of text held (chunks in use, whole).
  std::size_t n_Capacity() const;

 private:
  st_MIFLine st_AddToNewChunk(std::string_view text, int net);

  std::vector<Platform::LargeBuffer> m_chunks;
  std::size_t m_nUsed = 0;  // bytes used in the last chunk
  std::size_t m_nFirstChunk = CHUNK_SIZE;
};

// The strings of a compact list, in order.
CQ_MIFLines lst_MIFLineStrings(const CQ_MIFLineList& lines);
