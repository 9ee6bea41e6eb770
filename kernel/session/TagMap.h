// Tags and the MIF they stand for, as back conversion looks them up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>

// Lookups take views too, so a tag read as a view is not copied to be
// found. Tags are short texts (most under 24 bytes) that often differ only
// in their last digits: the hash takes them eight bytes at a time, each
// word folded in with one multiplication, the last word read so that it
// ends with the text's last byte. (Not noexcept, so the map keeps each
// key's hash in its node and compares hashes before texts.)
struct st_TagMapHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    constexpr std::uint64_t MIX = 0x9E3779B97F4A7C15ULL;
    const char* p = text.data();
    const std::size_t n = text.size();
    std::uint64_t h = (n + 1) * MIX;
    const auto fold = [&h](std::uint64_t word) {
      h = (h ^ word) * MIX;
      h ^= h >> 29;
    };
    const auto load = [](const char* at, std::size_t bytes) {
      std::uint64_t word = 0;
      std::memcpy(&word, at, bytes);
      return word;
    };
    if (n >= 8) {
      std::size_t i = 0;
      for (; i + 8 < n; i += 8) fold(load(p + i, 8));
      fold(load(p + n - 8, 8));  // the last eight bytes, overlapping when n is not a multiple of 8
    } else if (n >= 4) {
      fold(load(p, 4) | load(p + n - 4, 4) << 32);
    } else if (n > 0) {
      fold(static_cast<unsigned char>(p[0]) | static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8 |
           static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16);
    }
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};
// Keys compare as texts, whatever string type holds them.
struct st_TagMapEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};

// The map's texts and nodes come from the memory resource it is made with
// (the heap by default). The tag tables of a conversion build theirs in
// their own region and hand the map over whole, so back conversion takes
// it without copying a fragment.
using CQ_TagText = std::pmr::string;
using CQ_TagMap = std::pmr::unordered_map<CQ_TagText, CQ_TagText, st_TagMapHash, st_TagMapEqual>;
