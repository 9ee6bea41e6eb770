// CQ_Buffer and CQ_VoidArray: capacity rules, copy on write, edits that
// read from their own block, searches at the end of the data, and the use
// count under several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "System/String/Buffer.h"
#include "System/String/CString.h"
#include "System/String/VoidArray.h"

namespace {

std::string Text(const CQ_Buffer& buffer) {
  return std::string(reinterpret_cast<const char*>(buffer.pcb_GetData()), buffer.n_GetUsedSize());
}

struct CapacityRow {
  std::uint32_t size;
  std::uint32_t granularity;
  std::uint32_t block;  // header included
};

void PrintTo(const CapacityRow& row, std::ostream* os) {
  *os << "size " << row.size << ", granularity " << row.granularity << " -> block " << row.block;
}

class BufferCapacity : public ::testing::TestWithParam<CapacityRow> {};

TEST_P(BufferCapacity, SetSizeFollowsTheBlockRules) {
  const CapacityRow row = GetParam();
  CQ_Buffer buffer(1, row.granularity);
  buffer.v_SetSize(row.size, true);
  EXPECT_EQ(buffer.n_GetMaximumSize(), row.block - CQ_Buffer::sn4_HeaderSize)
      << "size " << row.size << ", granularity " << row.granularity;
  EXPECT_EQ(CQ_Buffer::sn_GrowthBlockSize(row.size, row.granularity), row.block);
}

INSTANTIATE_TEST_SUITE_P(Rows, BufferCapacity,
                         ::testing::Values(CapacityRow{1000, 32, 1024},   // below 1,024: n + 12 to the granularity
                                           CapacityRow{1500, 32, 1920},   // 1,875 rounded up to 64
                                           CapacityRow{100, 32, 128},     //
                                           CapacityRow{100, 1, 112},      //
                                           CapacityRow{1011, 64, 1024},   //
                                           CapacityRow{1024, 32, 1280},   // 5/4
                                           CapacityRow{2047, 32, 2560},   // 2,558 -> 2,560
                                           CapacityRow{2048, 32, 2880},   // 7/5: 2,867 -> 2,880
                                           CapacityRow{4095, 32, 5760},   // 5,733 -> 5,760
                                           CapacityRow{4096, 32, 6144},   // 3/2
                                           CapacityRow{10000, 7, 15040}));

TEST(Buffer, ExactAllocationRoundsToTheGranularity) {
  CQ_Buffer buffer("abc", 3, 32);
  EXPECT_EQ(buffer.n_GetMaximumSize(), 20u);  // 3 + 12 -> 32
  EXPECT_EQ(buffer.n_GetUsedSize(), 3u);
  EXPECT_EQ(CQ_Buffer::sn_ExactBlockSize(1000, 32), 1024u);
  EXPECT_EQ(CQ_Buffer(1500, 32).n_GetMaximumSize(), 1536u - 12u);  // exact, not grown
}

TEST(Buffer, SetSizeKeepsOrDropsTheContents) {
  CQ_Buffer buffer("0123456789", 10, 16);
  buffer.v_SetSize(4, true);
  EXPECT_EQ(Text(buffer), "0123") << "keep cuts the used size to the new capacity";
  buffer.v_SetSize(4, false);
  EXPECT_EQ(buffer.n_GetUsedSize(), 0u);
  buffer.v_Append("xy", 2);
  buffer.v_SetSize(0, true);
  EXPECT_EQ(buffer.pcb_GetData(), nullptr);
  EXPECT_EQ(buffer.n_GetUsedSize(), 0u);
  EXPECT_EQ(buffer.n_GetUseCount(), 0u);
}

TEST(Buffer, SharedGrowthWithKeepCopiesAndLeavesTheOtherAlone) {
  CQ_Buffer first("shared text", 11, 32);
  CQ_Buffer second(first);
  ASSERT_EQ(first.n_GetUseCount(), 2u);
  second.v_SetSize(2000, true);
  EXPECT_EQ(Text(second), "shared text");
  EXPECT_EQ(Text(first), "shared text");
  EXPECT_EQ(first.n_GetUseCount(), 1u);
  EXPECT_EQ(second.n_GetUseCount(), 1u);
  EXPECT_NE(first.pcb_GetData(), second.pcb_GetData());
}

TEST(Buffer, CopyOnWriteIsolatesEveryEdit) {
  struct Edit {
    const char* name;
    void (*apply)(CQ_Buffer&);
    const char* expected;
  };
  const Edit edits[] = {
      {"Replace", [](CQ_Buffer& b) { b.v_Replace("XY", 2, 1); }, "aXYdef"},
      {"Replace past end", [](CQ_Buffer& b) { b.v_Replace("XYZ", 3, 5); }, "abcdeXYZ"},
      {"Insert", [](CQ_Buffer& b) { b.v_Insert('-', 3); }, "abc-def"},
      {"Append", [](CQ_Buffer& b) { b.v_Append("gh", 2); }, "abcdefgh"},
      {"Remove", [](CQ_Buffer& b) { b.v_Remove(1, 2); }, "adef"},
      {"Cut", [](CQ_Buffer& b) { b.v_Remove(CQ_NPOS, 2); }, "ab"},
      {"SetUsedSize", [](CQ_Buffer& b) { b.v_SetUsedSize(4); }, "abcd"},
      {"Write", [](CQ_Buffer& b) { b.pb_GetData()[0] = 'Z'; }, "Zbcdef"},
      {"MoveWithin", [](CQ_Buffer& b) { b.v_AtInsertMove(0, 2, 6); }, "cdefab"},
      {"CopyWithin", [](CQ_Buffer& b) { b.v_AtInsertCopy(4, 2, 0); }, "efabcdef"},
  };
  for (const Edit& edit : edits) {
    CQ_Buffer original("abcdef", 6, 32);
    CQ_Buffer copy(original);
    edit.apply(copy);
    EXPECT_EQ(Text(copy), edit.expected) << edit.name;
    EXPECT_EQ(Text(original), "abcdef") << edit.name;
    EXPECT_EQ(original.n_GetUseCount(), 1u) << edit.name;
    EXPECT_EQ(copy.n_GetUseCount(), 1u) << edit.name;
  }
}

TEST(Buffer, EditsMayReadFromTheirOwnBlock) {
  CQ_Buffer buffer("abc", 3, 4);  // tight block: every append reallocates
  for (int i = 0; i < 6; ++i) buffer.v_Append(buffer, 0, CQ_NPOS);
  EXPECT_EQ(buffer.n_GetUsedSize(), 3u * 64u);
  EXPECT_EQ(Text(buffer).substr(0, 9), "abcabcabc");
  buffer.v_Set(buffer.pcb_GetData() + 3, 3, 4);
  EXPECT_EQ(Text(buffer), "abc");
  buffer.v_Insert(buffer.pcb_GetData(), 3, 1);
  EXPECT_EQ(Text(buffer), "aabcbc");
}

TEST(Buffer, SearchesStopAtTheUsedSize) {
  CQ_Buffer buffer("abcabcab", 8, 64);
  EXPECT_EQ(buffer.n_Find("abc", 3, 0), 0u);
  EXPECT_EQ(buffer.n_Find("abc", 3, 1), 3u);
  EXPECT_EQ(buffer.n_Find("abc", 3, 4), CQ_NPOS) << "a match running past the used size is no match";
  EXPECT_EQ(buffer.n_Find("cab", 3, 0), 2u);
  EXPECT_EQ(buffer.n_Find(static_cast<std::uint8_t>('c'), 6), CQ_NPOS);
  EXPECT_EQ(buffer.n_Find(static_cast<std::uint8_t>('b'), 6), 7u);
  EXPECT_TRUE(buffer.b_IsEqual("ab", 2, 6));
  EXPECT_FALSE(buffer.b_IsEqual("abc", 3, 6)) << "a range past the used size is never equal";
  // Bytes beyond the used size are not data even when the block holds them.
  buffer.v_Remove(CQ_NPOS, 4);
  EXPECT_EQ(Text(buffer), "abca");
  EXPECT_EQ(buffer.n_Find("cab", 3, 0), CQ_NPOS);
  EXPECT_EQ(buffer.n_Find(static_cast<std::uint8_t>('a'), 1), 3u);
}

TEST(Buffer, SetKeepsAnUnsharedBlockThatIsLargeEnough) {
  CQ_Buffer buffer(500, 32);
  const std::uint8_t* block = buffer.pcb_GetData();
  buffer.v_Append("abc", 3);
  buffer.v_Set(100, 32, false);
  EXPECT_EQ(buffer.pcb_GetData(), block);
  EXPECT_EQ(buffer.n_GetUsedSize(), 0u);
  CQ_Buffer other(buffer);
  buffer.v_Set(100, 32, false);
  EXPECT_NE(buffer.pcb_GetData(), block) << "a shared block is replaced";
  EXPECT_EQ(other.n_GetUseCount(), 1u);
}

TEST(VoidArray, PositionsAreOneBased) {
  CQ_VoidArray array(sizeof(int), 4);
  for (int value : {10, 20, 30, 20}) array.n_Add(&value);
  int absent = 99;
  int first = 10;
  int twenty = 20;
  EXPECT_EQ(array.n_Find(&absent), 0u);
  EXPECT_EQ(array.n_Find(&first), 1u);
  EXPECT_EQ(array.n_Find(&twenty), 2u);
  EXPECT_EQ(array.n_Find(&twenty, 3), 4u);
  int item = 0;
  array.v_GetAt(&item, 3);
  EXPECT_EQ(item, 30);
  array.v_GetAt(&item, 5);
  EXPECT_EQ(item, 0) << "out of range reads as zeros";
  int five = 5;
  array.v_InsertAt(&five, 1);
  array.v_RemoveAt(3, 2);
  std::vector<int> values;
  for (std::uint32_t i = 1; i <= array.n_GetCount(); ++i) values.push_back(*static_cast<const int*>(array.pcv_GetAt(i)));
  EXPECT_EQ(values, (std::vector<int>{5, 10, 20}));
}

TEST(VoidArray, ItemsOfEverySizeRoundTrip) {
  for (std::uint32_t size : {1u, 2u, 3u, 4u, 8u, 13u}) {
    CQ_VoidArray array(size, 2);
    std::vector<std::vector<std::uint8_t>> items;
    for (int n = 0; n < 7; ++n) {
      std::vector<std::uint8_t> item(size);
      for (std::uint32_t k = 0; k < size; ++k) item[k] = static_cast<std::uint8_t>(n * 31 + k);
      array.n_Add(item.data());
      items.push_back(item);
    }
    for (std::uint32_t i = 1; i <= 7; ++i) {
      std::vector<std::uint8_t> out(size);
      array.v_GetAt(out.data(), i);
      EXPECT_EQ(out, items[i - 1]) << "item size " << size << ", item " << i;
      EXPECT_EQ(array.n_Find(items[i - 1].data()), i) << "item size " << size;
    }
  }
}

// Many threads copy, read and drop shares of one block while the owner
// keeps its own; afterwards the owner is the only holder again. Run under
// ThreadSanitizer (MORVANE_TSAN) and AddressSanitizer (MORVANE_SANITIZE).
TEST(BufferConcurrency, SharedUseCountReturnsToOne) {
  const CQ_CString original("shared between threads", 1252);
  const std::uint8_t* block = original.rcco_GetBuffer().pcb_GetData();
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        CQ_CString copy(original);
        CQ_CString second = copy;
        if (std::strcmp(second.qccz_Get(), "shared between threads") != 0) ++mismatches;
        if (round % 3 == t % 3) {
          second.v_Append('!');  // a private copy; the shared block stays
          if (second.rcco_GetBuffer().pcb_GetData() == block) ++mismatches;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(original.n_GetUseCount(), 1u);
  EXPECT_EQ(original.rcco_GetBuffer().pcb_GetData(), block);
  EXPECT_STREQ(original.qccz_Get(), "shared between threads");
}

}  // namespace
