// The UTF-7 and UTF-8 engines as plain state objects (internal).
//
// Each engine turns one input unit into at most a few output units and
// keeps whatever it has not finished (pending bits, an open base64 run, a
// partly read UTF-8 sequence) in its fields. CQ_UTF owns one process-wide
// instance of each; whole-text conversions use a fresh local instance so
// that nothing leaks from one text into the next.
#pragma once

#include <cstddef>
#include <cstdint>

namespace utf_engine {

// Largest output of one step: UTF-7 may close a run and write "+-"; a
// UTF-8 step may end a broken sequence and emit a pair.
constexpr std::size_t kMaxStep = 8;

// True for the characters UTF-7 writes directly: letters, digits,
// "'(),-./:?", blank, tab, CR and LF.
bool IsUtf7Direct(char16_t unit);

struct Utf7Encoder {
  std::uint32_t bits = 0;  // pending bits, the lowest `bitCount` ones count
  std::uint32_t bitCount = 0;
  bool inBase64 = false;

  // Writes the bytes for one unit to `out` (room for kMaxStep); returns the
  // number written.
  std::size_t Put(char16_t unit, char* out);
  // Closes an open base64 run: the last bits and "-".
  std::size_t Close(char* out);
};

struct Utf7Decoder {
  std::uint32_t bits = 0;
  std::uint32_t bitCount = 0;
  bool inBase64 = false;
  bool justOpened = false;  // "+" seen, nothing after it yet

  // Decodes one byte; returns the number of units written (0 or 1).
  std::size_t Put(unsigned char byte, char16_t* out);
};

// Writes one 16-bit unit as 1 to 3 bytes; returns the count.
std::size_t Utf8Encode(char16_t unit, char* out);

struct Utf8Decoder {
  std::uint32_t value = 0;      // bits gathered so far
  std::uint32_t remaining = 0;  // trailing bytes still expected
  std::uint32_t minimum = 0;    // smallest value the sequence may encode

  // Decodes one byte; returns the number of units written (0 to 3).
  // Malformed input gives U+FFFD; four-byte sequences give a surrogate
  // pair; three-byte encodings of surrogates give that unit, so every
  // 16-bit sequence the encoder writes comes back unchanged.
  std::size_t Put(unsigned char byte, char16_t* out);
  // Ends the text: an unfinished sequence gives U+FFFD.
  std::size_t Finish(char16_t* out);
  bool Pending() const { return remaining != 0; }
};

}  // namespace utf_engine
