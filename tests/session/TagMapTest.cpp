// The tag map's hash reads tags a word at a time, the last word ending on
// the text's last byte. Tags that differ in one byte anywhere, or only in
// length, must land apart, and a map of many tags must answer exactly as
// an ordered map of the same entries does, whichever memory resource its
// strings use.
#include <gtest/gtest.h>

#include <map>
#include <memory_resource>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/session/TagMap.h"

namespace {

TEST(TagMapTest, HashTellsApartTextsThatDifferInOneByteOrInLength) {
  const st_TagMapHash hash;
  // Every length from 0 to 40 (all the tail cases: none, 1-3, 4-7 and
  // whole or overlapping last words), every byte position changed.
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text.push_back(static_cast<char>('a' + i % 26));
    std::set<std::size_t> seen{hash(text)};
    for (std::size_t i = 0; i < n; ++i) {
      std::string changed = text;
      changed[i] = '#';
      EXPECT_TRUE(seen.insert(hash(changed)).second) << "length " << n << ", byte " << i;
    }
    // The same text one byte shorter or longer (a zero byte added: the
    // length must count, not only the bytes read).
    EXPECT_NE(hash(text), hash(text + std::string(1, '\0'))) << n;
    if (n > 0) {
      EXPECT_NE(hash(text), hash(std::string_view(text).substr(0, n - 1))) << n;
    }
    // The hash reads the view, not the string type holding it.
    EXPECT_EQ(hash(text), hash(CQ_TagText(text)));
    EXPECT_EQ(hash(text), hash(std::string_view(("x" + text).c_str() + 1, n)));
  }
}

TEST(TagMapTest, NumberedTagsSpreadAndTheMapAnswersLikeAnOrderedMap) {
  // Tags of one name differing only in their numbers, as a document has
  // thousands of.
  std::vector<std::string> tags;
  for (const char* name : {"<ps \"Body\" ", "<:cs \"Emphasis\" ", "<mk \"Index\" ", "<ts ", "<:xr \"See Heading on Page\" "}) {
    for (int i = 1; i <= 4000; ++i) tags.push_back(name + std::to_string(i) + ">");
  }
  const st_TagMapHash hash;
  std::set<std::size_t> hashes;
  for (const std::string& tag : tags) hashes.insert(hash(tag));
  EXPECT_EQ(hashes.size(), tags.size());

  std::pmr::monotonic_buffer_resource region;
  CQ_TagMap map(&region);
  std::map<std::string, std::string> reference;
  for (std::size_t k = 0; k < tags.size(); k += 2) {
    const std::string fragment = "<Fragment " + std::to_string(k) + ">\n";
    map.try_emplace(CQ_TagText(tags[k], map.get_allocator()), fragment);
    reference.emplace(tags[k], fragment);
  }
  ASSERT_EQ(map.size(), reference.size());
  for (std::size_t k = 0; k < tags.size(); ++k) {
    const auto found = map.find(std::string_view(tags[k]));
    const auto expected = reference.find(tags[k]);
    ASSERT_EQ(found == map.end(), expected == reference.end()) << tags[k];
    if (found != map.end()) {
      EXPECT_EQ(std::string_view(found->second), expected->second) << tags[k];
    }
    EXPECT_EQ(map.count(tags[k]), reference.count(tags[k])) << tags[k];
  }
}

}  // namespace
