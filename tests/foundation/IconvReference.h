// glibc's iconv as an independent reference for the conversion tests.
#pragma once

#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>

namespace iconv_reference {

// Converts `input` from one encoding to another; nothing when iconv refuses
// any of it.
inline std::optional<std::string> Convert(const std::string& input, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(input.size() * 8 + 32, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outp = out.data();
  std::size_t outLeft = out.size();
  std::size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
  if (r != static_cast<std::size_t>(-1)) r = iconv(cd, nullptr, nullptr, &outp, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

inline std::string Bytes(const std::u16string& units) {
  return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

inline std::u16string Units(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

// 16-bit text to and from another encoding through iconv.
inline std::optional<std::string> FromWide(const std::u16string& units, const char* to) {
  return Convert(Bytes(units), "UTF-16LE", to);
}

inline std::optional<std::u16string> ToWide(const std::string& bytes, const char* from) {
  auto out = Convert(bytes, from, "UTF-16LE");
  if (!out) return std::nullopt;
  return Units(*out);
}

}  // namespace iconv_reference
