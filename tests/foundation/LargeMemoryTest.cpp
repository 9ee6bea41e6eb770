// Large working buffers: blocks on either side of the huge-page threshold
// hold what is written to them, large ones start on a 2 MiB boundary, and
// containers over the allocator and the resource keep their contents while
// they grow across the threshold and shrink back. The heap made ready for
// a conversion grows at once, its growth advised for huge pages, serves the
// small blocks of the conversion, and shrinks back when released.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <memory_resource>
#include <string>
#include <vector>

#include "System/Platform/LargeMemory.h"

namespace {

using Platform::LARGE_BLOCK;

TEST(LargeMemoryTest, BlocksAroundTheThresholdHoldTheirBytes) {
  for (std::size_t bytes : {std::size_t(0), std::size_t(1), LARGE_BLOCK - 1, LARGE_BLOCK, LARGE_BLOCK + 1,
                            3 * LARGE_BLOCK + 4097}) {
    auto* block = static_cast<unsigned char*>(Platform::LargeAllocate(bytes));
    ASSERT_NE(block, nullptr) << bytes;
    if (bytes >= LARGE_BLOCK) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % LARGE_BLOCK, 0u) << bytes;
    }
    for (std::size_t i = 0; i < bytes; ++i) block[i] = static_cast<unsigned char>(i * 7);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < bytes; ++i) wrong += block[i] != static_cast<unsigned char>(i * 7);
    EXPECT_EQ(wrong, 0u) << bytes;
    Platform::LargeFree(block, bytes);
  }
  Platform::LargeFree(nullptr, LARGE_BLOCK);  // nothing to free
}

TEST(LargeMemoryTest, VectorKeepsItsElementsAcrossTheThreshold) {
  std::vector<std::uint64_t, Platform::LargeAllocator<std::uint64_t>> values;
  const std::size_t count = 3 * LARGE_BLOCK / sizeof(std::uint64_t) + 5;
  for (std::size_t i = 0; i < count; ++i) values.push_back(i * 2654435761u);
  values.resize(10);
  values.shrink_to_fit();
  values.push_back(1);
  ASSERT_EQ(values.size(), 11u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(values[i], i * 2654435761u) << i;
  EXPECT_EQ(values.back(), 1u);
}

TEST(LargeMemoryTest, RegionOverTheResourceServesSmallAndLargeRequests) {
  std::pmr::monotonic_buffer_resource region(1024, Platform::LargeResource());
  std::vector<char*> blocks;
  for (std::size_t bytes : {std::size_t(16), LARGE_BLOCK / 2, LARGE_BLOCK * 2, std::size_t(100)}) {
    char* block = static_cast<char*>(region.allocate(bytes, 8));
    std::memset(block, static_cast<int>(bytes & 0x7F), bytes);
    blocks.push_back(block);
  }
  EXPECT_EQ(blocks[2][LARGE_BLOCK * 2 - 1], static_cast<char>((LARGE_BLOCK * 2) & 0x7F));
  EXPECT_EQ(blocks[0][15], 16);
  EXPECT_TRUE(Platform::LargeResource()->is_equal(*Platform::LargeResource()));
}

TEST(LargeMemoryTest, BufferOwnsItsBlockThroughMoves) {
  for (std::size_t bytes : {std::size_t(64), LARGE_BLOCK + 64}) {
    Platform::LargeBuffer a(bytes);
    std::memset(a.data(), 'x', bytes);
    Platform::LargeBuffer b(std::move(a));
    EXPECT_EQ(a.data(), nullptr) << bytes;
    EXPECT_EQ(a.size(), 0u) << bytes;
    ASSERT_EQ(b.size(), bytes);
    EXPECT_EQ(b.data()[bytes - 1], 'x');
    Platform::LargeBuffer c(16);
    c = std::move(b);  // c's own block is freed, b's taken over
    EXPECT_EQ(c.size(), bytes);
    EXPECT_EQ(c.data()[0], 'x');
    c = Platform::LargeBuffer();
    EXPECT_EQ(c.data(), nullptr);
  }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HEAP_IS_FOREIGN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define HEAP_IS_FOREIGN 1
#endif
#endif

[[maybe_unused]] std::uintptr_t Break() { return reinterpret_cast<std::uintptr_t>(::sbrk(0)); }

// The VmFlags of the mapping holding `address`, from /proc/self/smaps.
[[maybe_unused]] std::string FlagsOfMappingAt(std::uintptr_t address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2 && line.find(' ') > line.find('-')) {
      inside = from <= address && address < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return "";
}

[[maybe_unused]] bool HugePagesOnAdvice() {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text((std::istreambuf_iterator<char>(setting)), std::istreambuf_iterator<char>());
  return text.find("[never]") == std::string::npos && !text.empty();
}

TEST(LargeMemoryTest, PreparedHeapGrowsAtOnceServesSmallBlocksAndShrinksWhenReleased) {
#ifdef HEAP_IS_FOREIGN
  GTEST_SKIP() << "the sanitizer's allocator keeps the heap";
#else
  const std::size_t bytes = 16 * LARGE_BLOCK;
  const std::uintptr_t before = Break();
  Platform::PrepareHeap(bytes);
  const std::uintptr_t grown = Break();
  ASSERT_GE(grown, before + bytes);
  // The growth is advised for huge pages (where the kernel offers them).
  const std::uintptr_t inside = ((before + LARGE_BLOCK - 1) & ~(LARGE_BLOCK - 1)) + LARGE_BLOCK;
  if (HugePagesOnAdvice()) {
    EXPECT_NE(FlagsOfMappingAt(inside).find(" hg"), std::string::npos);
  }
  // Small and mid-sized blocks come from the grown heap and hold their bytes.
  std::vector<std::unique_ptr<char[]>> blocks;
  std::size_t taken = 0;
  for (std::size_t size = 16; taken < bytes / 2; size = size * 3 % 300000 + 16) {
    blocks.emplace_back(new char[size]);
    std::memset(blocks.back().get(), static_cast<int>(size & 0x7F), size);
    taken += size;
  }
  EXPECT_EQ(Break(), grown);
  blocks.clear();
  Platform::ReleaseHeap();
  EXPECT_LT(Break(), grown);
  // Nothing to prepare for: the heap stays as it is.
  const std::uintptr_t now = Break();
  Platform::PrepareHeap(0);
  EXPECT_EQ(Break(), now);
  Platform::ReleaseHeap();
#endif
}

}  // namespace
