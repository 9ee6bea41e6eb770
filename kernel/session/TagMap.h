// Tags and the MIF they stand for, as back conversion looks them up.
#pragma once

#include <cstddef>
#include <functional>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>

// Lookups take views too, so a tag read as a view is not copied to be
// found. The hash is the standard one, so a map iterates as a plain string
// map of the same entries would.
struct st_TagMapHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
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
