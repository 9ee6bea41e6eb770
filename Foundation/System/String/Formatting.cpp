// A small printf engine for 16-bit formats: it walks the format, rebuilds
// each numeric conversion as an 8-bit conversion for snprintf, and
// handles text and character conversions itself so that widths and
// precisions count 16-bit units.
#include "System/String/Formatting.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "System/String/StringConvert/CodePages.h"

namespace formatting {

std::string FormatNarrow(const char* format, va_list args) {
  if (!format) return std::string();
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, static_cast<std::size_t>(needed));
  std::string out(static_cast<std::size_t>(needed) + 1, '\0');
  va_copy(copy, args);
  std::vsnprintf(out.data(), out.size(), format, copy);
  va_end(copy);
  out.resize(static_cast<std::size_t>(needed));
  return out;
}

namespace {

std::size_t Length16(const char16_t* text) {
  std::size_t n = 0;
  while (text[n]) ++n;
  return n;
}

void Pad(std::u16string& out, std::u16string_view body, int width, bool left) {
  const std::size_t fill = width > 0 && static_cast<std::size_t>(width) > body.size() ? width - body.size() : 0;
  if (!left) out.append(fill, u' ');
  out.append(body);
  if (left) out.append(fill, u' ');
}

}  // namespace

std::u16string FormatWide(const char16_t* format, va_list argsIn) {
  std::u16string out;
  if (!format) return out;
  va_list args;
  va_copy(args, argsIn);
  for (const char16_t* p = format; *p;) {
    if (*p != u'%') {
      out.push_back(*p++);
      continue;
    }
    const char16_t* start = p++;
    if (*p == u'%') {
      out.push_back(u'%');
      ++p;
      continue;
    }
    std::string spec = "%";
    bool left = false;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
      if (*p == u'-') left = true;
      spec.push_back(static_cast<char>(*p++));
    }
    int width = -1;
    if (*p == u'*') {
      width = va_arg(args, int);
      if (width < 0) {
        left = true;
        spec.push_back('-');
        width = -width;
      }
      spec += std::to_string(width);
      ++p;
    } else {
      while (*p >= u'0' && *p <= u'9') {
        width = (width < 0 ? 0 : width * 10) + (*p - u'0');
        spec.push_back(static_cast<char>(*p++));
      }
    }
    int precision = -1;
    if (*p == u'.') {
      spec.push_back('.');
      ++p;
      precision = 0;
      if (*p == u'*') {
        precision = va_arg(args, int);
        ++p;
        if (precision < 0) {
          precision = -1;
          spec.pop_back();
        } else {
          spec += std::to_string(precision);
        }
      } else {
        while (*p >= u'0' && *p <= u'9') {
          precision = precision * 10 + (*p - u'0');
          spec.push_back(static_cast<char>(*p++));
        }
      }
    }
    // Length modifiers.
    enum { kNone, kShort, kChar, kLong, kLongLong, kSize, kMax, kPtrDiff, kLongDouble, kWide } length = kNone;
    if (*p == u'h') {
      ++p;
      length = kShort;
      if (*p == u'h') {
        ++p;
        length = kChar;
      }
    } else if (*p == u'l') {
      ++p;
      length = kLong;
      if (*p == u'l') {
        ++p;
        length = kLongLong;
      }
    } else if (*p == u'w') {
      ++p;
      length = kWide;
    } else if (*p == u'z') {
      ++p;
      length = kSize;
    } else if (*p == u'j') {
      ++p;
      length = kMax;
    } else if (*p == u't') {
      ++p;
      length = kPtrDiff;
    } else if (*p == u'L') {
      ++p;
      length = kLongDouble;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      p += 3;
      length = kLongLong;
    }
    const char16_t conversion = *p;
    if (!conversion) {
      out.append(start, p);
      break;
    }
    ++p;
    char buffer[512];
    auto emitNumber = [&](const std::string& full, auto value) {
      const int n = std::snprintf(buffer, sizeof buffer, full.c_str(), value);
      if (n < 0) return;
      if (static_cast<std::size_t>(n) < sizeof buffer) {
        out.append(buffer, buffer + n);
      } else {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::snprintf(big.data(), big.size(), full.c_str(), value);
        out.append(big.data(), big.data() + n);
      }
    };
    switch (conversion) {
      case u'd': case u'i': case u'u': case u'o': case u'x': case u'X': {
        const bool isSigned = conversion == u'd' || conversion == u'i';
        std::string full = spec;
        switch (length) {
          case kShort: full += "h"; break;
          case kChar: full += "hh"; break;
          case kLong: full += "l"; break;
          case kLongLong: full += "ll"; break;
          case kSize: full += "z"; break;
          case kMax: full += "j"; break;
          case kPtrDiff: full += "t"; break;
          default: break;
        }
        full.push_back(static_cast<char>(conversion));
        if (length == kLong) {
          if (isSigned) emitNumber(full, va_arg(args, long)); else emitNumber(full, va_arg(args, unsigned long));
        } else if (length == kLongLong) {
          if (isSigned) emitNumber(full, va_arg(args, long long)); else emitNumber(full, va_arg(args, unsigned long long));
        } else if (length == kSize) {
          emitNumber(full, va_arg(args, std::size_t));
        } else if (length == kMax) {
          if (isSigned) emitNumber(full, va_arg(args, intmax_t)); else emitNumber(full, va_arg(args, uintmax_t));
        } else if (length == kPtrDiff) {
          emitNumber(full, va_arg(args, std::ptrdiff_t));
        } else {
          if (isSigned) emitNumber(full, va_arg(args, int)); else emitNumber(full, va_arg(args, unsigned int));
        }
        break;
      }
      case u'e': case u'E': case u'f': case u'F': case u'g': case u'G': case u'a': case u'A': {
        std::string full = spec;
        if (length == kLongDouble) {
          full += "L";
          full.push_back(static_cast<char>(conversion));
          emitNumber(full, va_arg(args, long double));
        } else {
          full.push_back(static_cast<char>(conversion));
          emitNumber(full, va_arg(args, double));
        }
        break;
      }
      case u'p': {
        std::string full = spec + "p";
        emitNumber(full, va_arg(args, void*));
        break;
      }
      case u'c': case u'C': {
        char16_t unit;
        if (conversion == u'C' || length == kShort) {
          unit = code_pages::ByteToUnit(static_cast<unsigned char>(va_arg(args, int)), code_pages::kANSI);
        } else {
          unit = static_cast<char16_t>(va_arg(args, int));
        }
        Pad(out, std::u16string_view(&unit, 1), width, left);
        break;
      }
      case u's': case u'S': {
        std::u16string text;
        const bool narrow = conversion == u'S' ? length != kLong && length != kWide : length == kShort;
        if (narrow) {
          const char* arg = va_arg(args, const char*);
          if (!arg) arg = "(null)";
          std::size_t n = std::strlen(arg);
          if (precision >= 0 && static_cast<std::size_t>(precision) < n) n = static_cast<std::size_t>(precision);
          text = code_pages::MultiToWide(std::string_view(arg, n), code_pages::kANSI);
        } else {
          const char16_t* arg = va_arg(args, const char16_t*);
          if (!arg) arg = u"(null)";
          text.assign(arg, Length16(arg));
        }
        if (precision >= 0 && static_cast<std::size_t>(precision) < text.size()) text.resize(static_cast<std::size_t>(precision));
        Pad(out, text, width, left);
        break;
      }
      default:
        // Unknown conversions and "%n" are written as they stand.
        out.append(start, p);
        break;
    }
  }
  va_end(args);
  return out;
}

}  // namespace formatting
