// Large working buffers: blocks on either side of the huge-page threshold
// hold what is written to them, large ones start on a 2 MiB boundary, and
// containers over the allocator and the resource keep their contents while
// they grow across the threshold and shrink back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory_resource>
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

}  // namespace
