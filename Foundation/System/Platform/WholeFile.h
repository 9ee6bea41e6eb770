// A file's bytes, read whole into one block.
//
// For readers that keep views of a file's lines for as long as they work on
// it (the pre-scan's line records, the MIF pass's blocks). The block comes
// from LargeAllocate, so a file of megabytes faults in by 2 MiB pages where
// the kernel offers them. The size is taken from the file when it is
// opened; a file that grows or shrinks while it is read is read to its end
// all the same, and one whose size the system does not tell (a pipe) is
// read in growing blocks.
//
// Failures: opening or reading raises Platform::CQ_FileException with the
// cause of the OS error and the file's name; allocation failure raises
// std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "System/Export.h"
#include "System/Platform/LargeMemory.h"

namespace Platform {

class OSTRAKON_API CQ_WholeFile {
 public:
  // Empty: no bytes.
  CQ_WholeFile() = default;
  // Reads the file at path.
  explicit CQ_WholeFile(const std::string& path);

  CQ_WholeFile(CQ_WholeFile&&) noexcept = default;
  CQ_WholeFile& operator=(CQ_WholeFile&&) noexcept = default;

  const char* data() const { return m_coBlock.data(); }
  std::size_t size() const { return m_nSize; }
  std::string_view sv() const { return {m_coBlock.data(), m_nSize}; }

 private:
  LargeBuffer m_coBlock;
  std::size_t m_nSize = 0;
};

}  // namespace Platform
