// Code pages through glibc's iconv, with the Windows behaviour laid on top.
//
// iconv does the mapping; this file decides what iconv refuses. Bytes it
// cannot decode are handled one character at a time: a lead byte of a
// double-byte page (by the Windows lead-byte ranges) with a plausible trail
// byte becomes one U+FFFD for both bytes, an undefined single byte becomes
// the C1 control or private-use character Windows gives it (and converts
// back to the same byte), anything else U+FFFD. Open iconv handles are
// cached per thread; the table of known pages and the single-byte tables
// are shared under a mutex.
#include "System/String/StringConvert/CodePages.h"

#include <iconv.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "System/String/StringConvert/UTFEngine.h"

namespace code_pages {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
const char* const kWideName = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// iconv names for Windows code-page numbers that are not simply "CP<n>".
const char* AliasOf(std::uint32_t codePage) {
  switch (codePage) {
    case 20127: return "ANSI_X3.4-1968";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: case 51932: return "EUC-JP";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 10000: return "MACINTOSH";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: return nullptr;
  }
}

std::string IconvName(std::uint32_t codePage) {
  if (const char* alias = AliasOf(codePage)) return alias;
  char name[24];
  std::snprintf(name, sizeof name, "CP%u", codePage);
  return name;
}

// Fallback characters Windows gives undefined single bytes outside C1.
struct Fallback {
  std::uint32_t codePage;
  unsigned char byte;
  char16_t unit;
};
constexpr Fallback kFallbacks[] = {
    {932, 0xA0, 0xF8F0},  {932, 0xFD, 0xF8F1},  {932, 0xFE, 0xF8F2},  {932, 0xFF, 0xF8F3},
    {936, 0xFF, 0xF8F5},  {949, 0xFF, 0xF8F7},  {950, 0xFF, 0xF8F8},  {1253, 0xAA, 0xF8F9},
    {1253, 0xD2, 0xF8FA}, {1253, 0xFF, 0xF8FB}, {1257, 0xA1, 0xF8FC}, {1257, 0xA5, 0xF8FD},
};

// Undefined single byte -> unit, or 0 when there is no reversible answer.
char16_t SingleFallback(std::uint32_t codePage, unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return byte;
  for (const Fallback& f : kFallbacks) {
    if (f.codePage == codePage && f.byte == byte) return f.unit;
  }
  return 0;
}

bool PlausibleTrail(unsigned char byte) { return byte >= 0x40 && byte != 0x7F && byte != 0xFF; }

// Per-thread cache of open conversion descriptors.
class Handles {
 public:
  ~Handles() {
    for (auto& entry : map_) iconv_close(entry.second);
  }
  iconv_t Get(std::uint32_t codePage, bool toWide) {
    const std::uint64_t key = (static_cast<std::uint64_t>(codePage) << 1) | (toWide ? 1 : 0);
    auto it = map_.find(key);
    if (it != map_.end()) return it->second;
    const std::string name = IconvName(codePage);
    iconv_t cd = toWide ? iconv_open(kWideName, name.c_str()) : iconv_open(name.c_str(), kWideName);
    if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
    map_.emplace(key, cd);
    return cd;
  }

 private:
  std::unordered_map<std::uint64_t, iconv_t> map_;
};

iconv_t Handle(std::uint32_t codePage, bool toWide) {
  thread_local Handles handles;
  return handles.Get(codePage, toWide);
}

std::mutex gMutex;
std::unordered_map<std::uint32_t, bool> gKnown;

// Every byte of a page decoded on its own: 0 marks a lead byte.
struct SingleTable {
  std::array<char16_t, 256> unit{};
  std::array<bool, 256> fallback{};
};
std::unordered_map<std::uint32_t, std::unique_ptr<SingleTable>> gTables;

std::u16string IconvToWide(std::string_view bytes, std::uint32_t codePage);

const SingleTable& TableOf(std::uint32_t codePage) {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = gTables.find(codePage);
    if (it != gTables.end()) return *it->second;
  }
  auto table = std::make_unique<SingleTable>();
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    if (IsLeadByte(byte, codePage)) continue;
    if (codePage == kUTF8 || codePage == kUTF7) {
      table->unit[b] = b < 0x80 ? static_cast<char16_t>(b) : kReplacement;
      continue;
    }
    const char c = static_cast<char>(byte);
    iconv_t cd = Handle(codePage, true);
    char16_t out[4] = {};
    char* in = const_cast<char*>(&c);
    std::size_t inLeft = 1;
    char* outp = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
    if (r != static_cast<std::size_t>(-1)) iconv(cd, nullptr, nullptr, &outp, &outLeft);
    if (r != static_cast<std::size_t>(-1) && outLeft == sizeof out - 2) {
      table->unit[b] = out[0];
    } else if (const char16_t f = SingleFallback(codePage, byte)) {
      table->unit[b] = f;
      table->fallback[b] = true;
    } else {
      table->unit[b] = kReplacement;
    }
  }
  std::lock_guard<std::mutex> lock(gMutex);
  auto& slot = gTables[codePage];
  if (!slot) slot = std::move(table);
  return *slot;
}

// The byte whose Windows fallback is `unit`, or -1.
int ReverseFallback(char16_t unit, std::uint32_t codePage) {
  if (!((unit >= 0x80 && unit <= 0x9F) || (unit >= 0xF8F0 && unit <= 0xF8FD))) return -1;
  const SingleTable& table = TableOf(codePage);
  for (int b = 0x80; b < 256; ++b) {
    if (table.fallback[b] && table.unit[b] == unit) return b;
  }
  return -1;
}

bool Failed(std::size_t r) { return r == static_cast<std::size_t>(-1); }

std::u16string IconvToWide(std::string_view bytes, std::uint32_t codePage) {
  std::u16string out;
  iconv_t cd = Handle(codePage, true);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(bytes.size() + 8);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  std::size_t used = 0;  // units written
  auto push = [&](char16_t unit) {
    if (used == out.size()) out.resize(out.size() * 2 + 8);
    out[used++] = unit;
  };
  auto convert = [&](bool flush) -> std::size_t {
    for (;;) {
      char* outp = reinterpret_cast<char*>(out.data() + used);
      std::size_t outLeft = (out.size() - used) * sizeof(char16_t);
      const std::size_t before = outLeft;
      const std::size_t r = flush ? iconv(cd, nullptr, nullptr, &outp, &outLeft) : iconv(cd, &in, &inLeft, &outp, &outLeft);
      used += (before - outLeft) / sizeof(char16_t);
      if (Failed(r) && errno == E2BIG) {
        out.resize(out.size() * 2 + 8);
        continue;
      }
      return r;
    }
  };
  while (inLeft > 0) {
    if (!Failed(convert(false))) break;
    convert(true);  // emit whatever the converter still holds
    const auto byte = static_cast<unsigned char>(*in);
    if (IsLeadByte(byte, codePage)) {
      const std::size_t length = CharLength(in, inLeft, codePage);
      push(kReplacement);
      in += length;
      inLeft -= length;
    } else {
      const char16_t fallback = SingleFallback(codePage, byte);
      push(fallback ? fallback : kReplacement);
      ++in;
      --inLeft;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  convert(true);
  out.resize(used);
  return out;
}

std::string IconvToMulti(std::u16string_view units, std::uint32_t codePage, char defaultChar, bool* usedDefault) {
  std::string out;
  iconv_t cd = Handle(codePage, false);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(units.size() * 2 + 16);
  const char* start = reinterpret_cast<const char*>(units.data());
  char* in = const_cast<char*>(start);
  std::size_t inLeft = units.size() * sizeof(char16_t);
  std::size_t used = 0;
  auto convert = [&](bool flush) -> std::size_t {
    for (;;) {
      char* outp = out.data() + used;
      std::size_t outLeft = out.size() - used;
      const std::size_t before = outLeft;
      const std::size_t r = flush ? iconv(cd, nullptr, nullptr, &outp, &outLeft) : iconv(cd, &in, &inLeft, &outp, &outLeft);
      used += before - outLeft;
      if (Failed(r) && errno == E2BIG) {
        out.resize(out.size() * 2 + 16);
        continue;
      }
      return r;
    }
  };
  auto push = [&](char c) {
    if (used == out.size()) out.resize(out.size() * 2 + 16);
    out[used++] = c;
  };
  while (inLeft > 0) {
    if (!Failed(convert(false))) break;
    convert(true);
    const std::size_t index = static_cast<std::size_t>(in - start) / sizeof(char16_t);
    const char16_t unit = units[index];
    std::size_t skip = 1;
    const int back = ReverseFallback(unit, codePage);
    if (back >= 0) {
      push(static_cast<char>(back));
    } else {
      if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < units.size() && units[index + 1] >= 0xDC00 &&
          units[index + 1] <= 0xDFFF) {
        skip = 2;  // one character without a form in the page
      }
      push(defaultChar);
      if (usedDefault) *usedDefault = true;
    }
    in += skip * sizeof(char16_t);
    inLeft -= skip * sizeof(char16_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  convert(true);
  out.resize(used);
  return out;
}

}  // namespace

bool IsKnown(std::uint32_t codePage) {
  if (codePage == kUTF7 || codePage == kUTF8) return true;
  if (codePage == 0) return false;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = gKnown.find(codePage);
    if (it != gKnown.end()) return it->second;
  }
  const std::string name = IconvName(codePage);
  bool known = false;
  iconv_t toWide = iconv_open(kWideName, name.c_str());
  if (toWide != reinterpret_cast<iconv_t>(-1)) {
    iconv_close(toWide);
    iconv_t toMulti = iconv_open(name.c_str(), kWideName);
    if (toMulti != reinterpret_cast<iconv_t>(-1)) {
      iconv_close(toMulti);
      known = true;
    }
  }
  std::lock_guard<std::mutex> lock(gMutex);
  gKnown[codePage] = known;
  return known;
}

std::uint32_t Resolve(std::uint32_t codePage) {
  switch (codePage) {
    case 0: case 3: return kANSI;  // the system's and the thread's ANSI code page
    case 1: return IsKnown(437) ? 437 : kANSI;     // the OEM code page
    case 2: return IsKnown(10000) ? 10000 : kANSI;  // the Macintosh code page
    default: return IsKnown(codePage) ? codePage : kANSI;
  }
}

bool IsDoubleByte(std::uint32_t codePage) {
  switch (codePage) {
    case 932: case 936: case 949: case 950: case 1361: case 20932: case 51932:
      return true;
    default:
      return false;
  }
}

bool IsLeadByte(unsigned char byte, std::uint32_t codePage) {
  switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936: case 949: case 950: return byte >= 0x81 && byte <= 0xFE;
    case 1361: return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) || (byte >= 0xE0 && byte <= 0xF9);
    case 20932: case 51932: return byte == 0x8E || byte == 0x8F || (byte >= 0xA1 && byte <= 0xFE);
    default: return false;
  }
}

std::size_t CharLength(const char* text, std::size_t left, std::uint32_t codePage) {
  if (left == 0) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  if (!IsLeadByte(lead, codePage) || left < 2 || !PlausibleTrail(static_cast<unsigned char>(text[1]))) return 1;
  if (lead == 0x8F && (codePage == 20932 || codePage == 51932)) return left >= 3 ? 3 : 2;
  return 2;
}

std::u16string MultiToWide(std::string_view bytes, std::uint32_t codePage) {
  codePage = Resolve(codePage);
  std::u16string out;
  if (codePage == kUTF8 || codePage == kUTF7) {
    out.reserve(bytes.size());
    char16_t step[utf_engine::kMaxStep];
    utf_engine::Utf8Decoder utf8;
    utf_engine::Utf7Decoder utf7;
    for (const char c : bytes) {
      if (c == 0) break;
      const auto byte = static_cast<unsigned char>(c);
      const std::size_t n = codePage == kUTF8 ? utf8.Put(byte, step) : utf7.Put(byte, step);
      out.append(step, n);
    }
    if (codePage == kUTF8) out.append(step, utf8.Finish(step));
    return out;
  }
  return IconvToWide(bytes, codePage);
}

std::string WideToMulti(std::u16string_view units, std::uint32_t codePage, char defaultChar, bool* usedDefault) {
  codePage = Resolve(codePage);
  std::string out;
  if (codePage == kUTF8 || codePage == kUTF7) {
    out.reserve(units.size() * 3);
    char step[utf_engine::kMaxStep];
    utf_engine::Utf7Encoder utf7;
    for (const char16_t unit : units) {
      if (unit == 0) break;
      const std::size_t n = codePage == kUTF8 ? utf_engine::Utf8Encode(unit, step) : utf7.Put(unit, step);
      out.append(step, n);
    }
    if (codePage == kUTF7) out.append(step, utf7.Close(step));
    return out;
  }
  return IconvToMulti(units, codePage, defaultChar, usedDefault);
}

char16_t ByteToUnit(unsigned char byte, std::uint32_t codePage) {
  codePage = Resolve(codePage);
  if (byte < 0x80 && !IsDoubleByte(codePage)) return byte;
  const char16_t unit = TableOf(codePage).unit[byte];
  return unit ? unit : kReplacement;
}

unsigned char UnitToByte(char16_t unit, std::uint32_t codePage) {
  codePage = Resolve(codePage);
  if (unit == 0) return 0;
  if (unit < 0x80 && !IsDoubleByte(codePage)) return static_cast<unsigned char>(unit);
  if (codePage == kUTF8 || codePage == kUTF7) return unit < 0x80 ? static_cast<unsigned char>(unit) : 0;
  bool usedDefault = false;
  const std::string bytes = IconvToMulti(std::u16string_view(&unit, 1), codePage, '?', &usedDefault);
  if (usedDefault || bytes.size() != 1) return 0;
  return static_cast<unsigned char>(bytes[0]);
}

char16_t ToLowerUnit(char16_t u) {
  if (u >= 'A' && u <= 'Z') return static_cast<char16_t>(u + 32);
  if (u < 0xC0) return u;
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char16_t>(u + 32);
  if (u == 0x130) return 'i';
  if (u >= 0x100 && u <= 0x137 && (u & 1) == 0) return static_cast<char16_t>(u + 1);
  if (u >= 0x139 && u <= 0x148 && (u & 1) == 1) return static_cast<char16_t>(u + 1);
  if (u >= 0x14A && u <= 0x177 && (u & 1) == 0) return static_cast<char16_t>(u + 1);
  if (u == 0x178) return 0xFF;
  if (u == 0x179 || u == 0x17B || u == 0x17D) return static_cast<char16_t>(u + 1);
  if (u == 0x191) return 0x192;
  if (u >= 0x391 && u <= 0x3AB && u != 0x3A2) return static_cast<char16_t>(u + 32);
  if (u == 0x386) return 0x3AC;
  if (u >= 0x388 && u <= 0x38A) return static_cast<char16_t>(u + 37);
  if (u == 0x38C) return 0x3CC;
  if (u == 0x38E || u == 0x38F) return static_cast<char16_t>(u + 63);
  if (u >= 0x400 && u <= 0x40F) return static_cast<char16_t>(u + 80);
  if (u >= 0x410 && u <= 0x42F) return static_cast<char16_t>(u + 32);
  if (u >= 0x490 && u <= 0x4BF && (u & 1) == 0) return static_cast<char16_t>(u + 1);
  return u;
}

char16_t ToUpperUnit(char16_t u) {
  if (u >= 'a' && u <= 'z') return static_cast<char16_t>(u - 32);
  if (u < 0xE0) return u;
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char16_t>(u - 32);
  if (u == 0xFF) return 0x178;
  if (u == 0x131) return 'I';
  if (u >= 0x101 && u <= 0x137 && (u & 1) == 1) return static_cast<char16_t>(u - 1);
  if (u >= 0x13A && u <= 0x148 && (u & 1) == 0) return static_cast<char16_t>(u - 1);
  if (u >= 0x14B && u <= 0x177 && (u & 1) == 1) return static_cast<char16_t>(u - 1);
  if (u == 0x17A || u == 0x17C || u == 0x17E) return static_cast<char16_t>(u - 1);
  if (u == 0x192) return 0x191;
  if (u == 0x3C2) return 0x3A3;  // final sigma
  if (u >= 0x3B1 && u <= 0x3CB) return static_cast<char16_t>(u - 32);
  if (u == 0x3AC) return 0x386;
  if (u >= 0x3AD && u <= 0x3AF) return static_cast<char16_t>(u - 37);
  if (u == 0x3CC) return 0x38C;
  if (u == 0x3CD || u == 0x3CE) return static_cast<char16_t>(u - 63);
  if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 32);
  if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 80);
  if (u >= 0x491 && u <= 0x4BF && (u & 1) == 1) return static_cast<char16_t>(u - 1);
  return u;
}

const unsigned char* CaseTable(std::uint32_t codePage, bool upper) {
  codePage = Resolve(codePage);
  static std::unordered_map<std::uint64_t, std::unique_ptr<std::array<unsigned char, 256>>> tables;
  const std::uint64_t key = (static_cast<std::uint64_t>(codePage) << 1) | (upper ? 1 : 0);
  {
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = tables.find(key);
    if (it != tables.end()) return it->second->data();
  }
  auto table = std::make_unique<std::array<unsigned char, 256>>();
  const bool extended = !IsDoubleByte(codePage) && codePage != kUTF8 && codePage != kUTF7;
  for (int b = 0; b < 256; ++b) {
    auto mapped = static_cast<unsigned char>(b);
    if (b < 0x80) {
      if (upper && b >= 'a' && b <= 'z') mapped = static_cast<unsigned char>(b - 32);
      if (!upper && b >= 'A' && b <= 'Z') mapped = static_cast<unsigned char>(b + 32);
    } else if (extended) {
      const char16_t unit = ByteToUnit(static_cast<unsigned char>(b), codePage);
      const char16_t other = upper ? ToUpperUnit(unit) : ToLowerUnit(unit);
      if (other != unit) {
        const unsigned char back = UnitToByte(other, codePage);
        if (back && ByteToUnit(back, codePage) == other) mapped = back;
      }
    }
    (*table)[b] = mapped;
  }
  std::lock_guard<std::mutex> lock(gMutex);
  auto& slot = tables[key];
  if (!slot) slot = std::move(table);
  return slot->data();
}

}  // namespace code_pages
