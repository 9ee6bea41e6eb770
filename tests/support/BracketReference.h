// Plain byte-by-byte readings of KWX brackets that the tests of the faster
// walks (the segmenter's, the verifier's) are checked against, and the
// drawn lines they are checked on.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace morvane_test {

// The bracket error of a segment's text, read byte by byte: 101 when the
// counts differ, else the first of 102 (depth below zero) and 103 (depth
// above two), else 104 for an external tag opened inside another.
inline int ReferenceBracketError(std::string_view text) {
  std::size_t opening = 0;
  std::size_t closing = 0;
  long depth = 0;
  int fault = 0;
  bool nested = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<') {
      ++opening;
      if (fault == 0) {
        if (depth >= 1 && i + 1 < text.size() && text[i + 1] != ':') nested = true;
        if (++depth > 2) fault = 103;
      }
    } else if (text[i] == '>') {
      ++closing;
      if (fault == 0 && --depth < 0) fault = 102;
    }
  }
  if (opening != closing) return 101;
  if (fault != 0) return fault;
  return nested ? 104 : 0;
}

// Up to seven lines of up to 29 bytes drawn from the alphabet.
inline std::vector<std::string> DrawnLines(std::mt19937& random, std::string_view alphabet) {
  std::vector<std::string> lines(random() % 8);
  for (std::string& line : lines) {
    const std::size_t size = random() % 30;
    for (std::size_t i = 0; i < size; ++i) line.push_back(alphabet[random() % alphabet.size()]);
  }
  return lines;
}

}  // namespace morvane_test
