// Tags and the MIF they stand for, as back conversion looks them up.
#pragma once

#include <cstddef>
#include <functional>
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
using CQ_TagMap = std::unordered_map<std::string, std::string, st_TagMapHash, std::equal_to<>>;
