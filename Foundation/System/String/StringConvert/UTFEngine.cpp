// UTF-7 (RFC 2152) and UTF-8 for 16-bit units, one input unit at a time.
//
// UTF-7 writes only the restricted direct set literally; everything else,
// the RFC's optional direct characters included, goes into base64 runs,
// and a run is always closed with "-". "+" is written as "+-". The UTF-8
// encoder writes every unit on its own (no surrogate pairs are joined);
// the decoder accepts what the encoder writes and real four-byte UTF-8.
#include "System/String/StringConvert/UTFEngine.h"

namespace utf_engine {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

bool IsUtf7Direct(char16_t unit) {
  if (unit >= 'A' && unit <= 'Z') return true;
  if (unit >= 'a' && unit <= 'z') return true;
  if (unit >= '0' && unit <= '9') return true;
  switch (unit) {
    case '\'': case '(': case ')': case ',': case '-': case '.': case '/': case ':': case '?':
    case ' ': case '\t': case '\r': case '\n':
      return true;
    default:
      return false;
  }
}

std::size_t Utf7Encoder::Close(char* out) {
  if (!inBase64) return 0;
  std::size_t n = 0;
  if (bitCount > 0) out[n++] = kBase64[(bits << (6 - bitCount)) & 0x3F];
  out[n++] = '-';
  bits = 0;
  bitCount = 0;
  inBase64 = false;
  return n;
}

std::size_t Utf7Encoder::Put(char16_t unit, char* out) {
  if (unit == '+') {
    std::size_t n = Close(out);
    out[n++] = '+';
    out[n++] = '-';
    return n;
  }
  if (IsUtf7Direct(unit)) {
    std::size_t n = Close(out);
    out[n++] = static_cast<char>(unit);
    return n;
  }
  std::size_t n = 0;
  if (!inBase64) {
    out[n++] = '+';
    inBase64 = true;
    bits = 0;
    bitCount = 0;
  }
  bits = (bits << 16) | unit;
  bitCount += 16;
  while (bitCount >= 6) {
    bitCount -= 6;
    out[n++] = kBase64[(bits >> bitCount) & 0x3F];
  }
  bits &= (1u << bitCount) - 1;
  return n;
}

std::size_t Utf7Decoder::Put(unsigned char byte, char16_t* out) {
  if (inBase64) {
    const int value = Base64Value(byte);
    if (value >= 0) {
      justOpened = false;
      bits = (bits << 6) | static_cast<std::uint32_t>(value);
      bitCount += 6;
      if (bitCount >= 16) {
        bitCount -= 16;
        out[0] = static_cast<char16_t>((bits >> bitCount) & 0xFFFF);
        bits &= (1u << bitCount) - 1;
        return 1;
      }
      return 0;
    }
    // Any other byte ends the run; "-" is absorbed, "+-" stands for "+".
    const bool plus = justOpened && byte == '-';
    inBase64 = false;
    justOpened = false;
    bits = 0;
    bitCount = 0;
    if (plus) {
      out[0] = u'+';
      return 1;
    }
    if (byte == '-') return 0;
  }
  if (byte == '+') {
    inBase64 = true;
    justOpened = true;
    bits = 0;
    bitCount = 0;
    return 0;
  }
  out[0] = static_cast<char16_t>(byte);
  return 1;
}

std::size_t Utf8Encode(char16_t unit, char* out) {
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
    return 1;
  }
  if (unit < 0x800) {
    out[0] = static_cast<char>(0xC0 | (unit >> 6));
    out[1] = static_cast<char>(0x80 | (unit & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (unit >> 12));
  out[1] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (unit & 0x3F));
  return 3;
}

std::size_t Utf8Decoder::Put(unsigned char byte, char16_t* out) {
  std::size_t n = 0;
  if (remaining > 0) {
    if ((byte & 0xC0) == 0x80) {
      value = (value << 6) | (byte & 0x3F);
      if (--remaining > 0) return 0;
      if (value < minimum || value > 0x10FFFF) {
        out[0] = kReplacement;
        return 1;
      }
      if (value >= 0x10000) {
        const std::uint32_t v = value - 0x10000;
        out[0] = static_cast<char16_t>(0xD800 | (v >> 10));
        out[1] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
        return 2;
      }
      out[0] = static_cast<char16_t>(value);
      return 1;
    }
    // The sequence broke off: mark it and read this byte afresh.
    out[n++] = kReplacement;
    remaining = 0;
  }
  if (byte < 0x80) {
    out[n++] = byte;
  } else if (byte >= 0xC2 && byte <= 0xDF) {
    value = byte & 0x1F;
    remaining = 1;
    minimum = 0x80;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    value = byte & 0x0F;
    remaining = 2;
    minimum = 0x800;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    value = byte & 0x07;
    remaining = 3;
    minimum = 0x10000;
  } else {
    out[n++] = kReplacement;  // stray trail byte, C0, C1, F5 to FF
  }
  return n;
}

std::size_t Utf8Decoder::Finish(char16_t* out) {
  if (remaining == 0) return 0;
  remaining = 0;
  value = 0;
  out[0] = kReplacement;
  return 1;
}

}  // namespace utf_engine
