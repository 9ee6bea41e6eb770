// Code pages through tables built from glibc's iconv, with the Windows
// behaviour laid on top.
//
// The first use of a page decodes every byte (and, in a double-byte page,
// every lead/trail pair) with iconv once and keeps the results in tables;
// conversions then only look characters up. Going through iconv one
// character at a time keeps us independent of where iconv reports an
// error (glibc's UHC decoder skips some invalid pairs before reporting
// them). Bytes iconv cannot decode follow Windows: an undefined single
// byte becomes the C1 control or private-use character Windows gives it
// (and converts back to the same byte), a lead byte (by the Windows
// lead-byte ranges) with a plausible trail byte becomes one U+FFFD for both
// bytes, anything else U+FFFD. Encoding uses the reverse of the tables,
// and asks iconv (cached) for characters that no byte decodes to.
#include "System/String/StringConvert/CodePages.h"

#include <iconv.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "System/String/StringConvert/UTFEngine.h"

namespace code_pages {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
const char* const kWideName = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// iconv names for single-byte Windows code-page numbers that are not
// simply "CP<n>".
const char* AliasOf(std::uint32_t codePage) {
  switch (codePage) {
    case 20127: return "ANSI_X3.4-1968";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
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

bool Failed(std::size_t r) { return r == static_cast<std::size_t>(-1); }

// Decodes one complete character with a fresh converter state; false when
// iconv refuses it or it is not exactly one unit.
bool DecodeOne(iconv_t cd, const char* bytes, std::size_t length, char16_t* unit) {
  char16_t out[4];
  char* in = const_cast<char*>(bytes);
  std::size_t inLeft = length;
  char* outp = reinterpret_cast<char*>(out);
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (Failed(iconv(cd, &in, &inLeft, &outp, &outLeft)) || inLeft != 0) return false;
  if (Failed(iconv(cd, nullptr, nullptr, &outp, &outLeft))) return false;
  if (outLeft != sizeof out - sizeof(char16_t)) return false;
  *unit = out[0];
  return true;
}

// Encodes one unit; the bytes, or an empty string when iconv refuses it.
std::string EncodeOne(iconv_t cd, char16_t unit) {
  char out[16];
  char* in = reinterpret_cast<char*>(&unit);
  std::size_t inLeft = sizeof unit;
  char* outp = out;
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (Failed(iconv(cd, &in, &inLeft, &outp, &outLeft)) || inLeft != 0) return std::string();
  if (Failed(iconv(cd, nullptr, nullptr, &outp, &outLeft))) return std::string();
  return std::string(out, sizeof out - outLeft);
}

// Everything known about one page. Built once, then only read, except for
// the cache of characters found by asking iconv.
struct Page {
  std::uint32_t codePage = 0;
  bool doubleByte = false;
  std::array<char16_t, 256> single{};    // decoded single bytes (lead bytes: 0)
  std::array<bool, 256> fallback{};      // decoded by the Windows fallback
  std::vector<char16_t> pairs;           // lead << 8 | trail -> unit, 0 = none
  std::vector<std::uint16_t> encode;     // unit -> byte, or lead << 8 | trail; 0 = none
  iconv_t encoder = reinterpret_cast<iconv_t>(-1);
  std::mutex extraMutex;
  std::unordered_map<char16_t, std::uint16_t> extra;  // asked of iconv on demand

  ~Page() {
    if (encoder != reinterpret_cast<iconv_t>(-1)) iconv_close(encoder);
  }

  // The bytes of a unit (1 or 2, written to out), or 0 when it has none.
  std::size_t Encode(char16_t unit, char* out) {
    std::uint16_t code = encode[unit];
    if (code == 0 && unit != 0) {
      std::lock_guard<std::mutex> lock(extraMutex);
      auto it = extra.find(unit);
      if (it == extra.end()) {
        const std::string bytes = EncodeOne(encoder, unit);
        std::uint16_t found = 0;
        if (bytes.size() == 1 && !(doubleByte && IsLeadByte(static_cast<unsigned char>(bytes[0]), codePage))) {
          found = static_cast<unsigned char>(bytes[0]);
        } else if (bytes.size() == 2 && doubleByte) {
          found = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]));
        }
        it = extra.emplace(unit, found).first;
      }
      code = it->second;
      if (code == 0) return 0;
    }
    if (code > 0xFF) {
      out[0] = static_cast<char>(code >> 8);
      out[1] = static_cast<char>(code & 0xFF);
      return 2;
    }
    out[0] = static_cast<char>(code);
    return 1;
  }
};

std::unique_ptr<Page> BuildPage(std::uint32_t codePage) {
  const std::string name = IconvName(codePage);
  iconv_t decoder = iconv_open(kWideName, name.c_str());
  if (decoder == reinterpret_cast<iconv_t>(-1)) return nullptr;
  auto page = std::make_unique<Page>();
  page->encoder = iconv_open(name.c_str(), kWideName);
  if (page->encoder == reinterpret_cast<iconv_t>(-1)) {
    iconv_close(decoder);
    return nullptr;
  }
  page->codePage = codePage;
  page->doubleByte = IsDoubleByte(codePage);
  page->encode.assign(0x10000, 0);
  for (int b = 1; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    if (page->doubleByte && IsLeadByte(byte, codePage)) continue;
    const char c = static_cast<char>(byte);
    char16_t unit = 0;
    if (DecodeOne(decoder, &c, 1, &unit)) {
      page->single[b] = unit;
    } else if (const char16_t f = SingleFallback(codePage, byte)) {
      page->single[b] = f;
      page->fallback[b] = true;
    } else if (b < 0x80 && !page->doubleByte) {
      // A single-byte page must decode ASCII; this one is a multibyte
      // encoding we do not handle.
      iconv_close(decoder);
      return nullptr;
    } else {
      page->single[b] = kReplacement;
      continue;  // not reversible
    }
    if (page->encode[page->single[b]] == 0) page->encode[page->single[b]] = static_cast<std::uint16_t>(b);
  }
  if (page->doubleByte) {
    page->pairs.assign(0x10000, 0);
    for (int lead = 0x81; lead < 256; ++lead) {
      if (!IsLeadByte(static_cast<unsigned char>(lead), codePage)) continue;
      for (int trail = 0x40; trail < 0xFF; ++trail) {
        if (!PlausibleTrail(static_cast<unsigned char>(trail))) continue;
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        char16_t unit = 0;
        if (!DecodeOne(decoder, pair, 2, &unit) || unit == 0) continue;
        page->pairs[lead << 8 | trail] = unit;
      }
    }
    // The preferred bytes of every character, as iconv writes it; a
    // character iconv will not write back keeps its first pair.
    for (int code = 0x8100; code < 0x10000; ++code) {
      const char16_t unit = page->pairs[code];
      if (unit == 0 || page->encode[unit] != 0) continue;
      const std::string bytes = EncodeOne(page->encoder, unit);
      std::uint16_t value = static_cast<std::uint16_t>(code);
      if (bytes.size() == 2 && page->pairs[static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1])] == unit) {
        value = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]));
      }
      page->encode[unit] = value;
    }
  }
  iconv_close(decoder);
  return page;
}

// The tables of a page, or null when the system does not know it. Pages
// are never destroyed, so conversions stay usable while static objects are
// destroyed at exit.
Page* PageOf(std::uint32_t codePage) {
  thread_local std::uint32_t lastCodePage = 0xFFFFFFFFu;
  thread_local Page* lastPage = nullptr;
  if (codePage == lastCodePage) return lastPage;
  static auto* mutex = new std::shared_mutex;
  static auto* pages = new std::unordered_map<std::uint32_t, Page*>;  // null: not a page we handle
  {
    std::shared_lock<std::shared_mutex> lock(*mutex);
    auto it = pages->find(codePage);
    if (it != pages->end()) {
      lastCodePage = codePage;
      lastPage = it->second;
      return lastPage;
    }
  }
  std::unique_ptr<Page> built = codePage == 0 || codePage == kUTF7 || codePage == kUTF8 ? nullptr : BuildPage(codePage);
  std::unique_lock<std::shared_mutex> lock(*mutex);
  auto it = pages->find(codePage);
  if (it == pages->end()) it = pages->emplace(codePage, built.release()).first;
  lastCodePage = codePage;
  lastPage = it->second;
  return lastPage;
}

std::u16string TableToWide(std::string_view bytes, const Page& page) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (page.doubleByte && IsLeadByte(byte, page.codePage)) {
      if (i + 1 < bytes.size() && PlausibleTrail(static_cast<unsigned char>(bytes[i + 1]))) {
        const char16_t unit = page.pairs[byte << 8 | static_cast<unsigned char>(bytes[i + 1])];
        out.push_back(unit ? unit : kReplacement);
        i += 2;
      } else {
        out.push_back(kReplacement);
        ++i;
      }
      continue;
    }
    out.push_back(byte == 0 ? u'\0' : page.single[byte]);
    ++i;
  }
  return out;
}

std::string TableToMulti(std::u16string_view units, Page& page, char defaultChar, bool* usedDefault) {
  std::string out;
  out.reserve(units.size() * (page.doubleByte ? 2 : 1));
  char bytes[2];
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    const std::size_t n = unit == 0 ? (bytes[0] = 0, 1) : page.Encode(unit, bytes);
    if (n > 0) {
      out.append(bytes, n);
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;  // one character without a form in the page
    }
    out.push_back(defaultChar);
    if (usedDefault) *usedDefault = true;
  }
  return out;
}

}  // namespace

bool IsKnown(std::uint32_t codePage) {
  if (codePage == kUTF7 || codePage == kUTF8) return true;
  return PageOf(codePage) != nullptr;
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
    case 932: case 936: case 949: case 950: case 1361:
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
    default: return false;
  }
}

std::size_t CharLength(const char* text, std::size_t left, std::uint32_t codePage) {
  if (left == 0) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  if (!IsLeadByte(lead, codePage) || left < 2 || !PlausibleTrail(static_cast<unsigned char>(text[1]))) return 1;
  return 2;
}

std::u16string MultiToWide(std::string_view bytes, std::uint32_t codePage) {
  codePage = Resolve(codePage);
  if (codePage == kUTF8 || codePage == kUTF7) {
    std::u16string out;
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
  return TableToWide(bytes, *PageOf(codePage));
}

std::string WideToMulti(std::u16string_view units, std::uint32_t codePage, char defaultChar, bool* usedDefault) {
  codePage = Resolve(codePage);
  if (codePage == kUTF8 || codePage == kUTF7) {
    std::string out;
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
  return TableToMulti(units, *PageOf(codePage), defaultChar, usedDefault);
}

char16_t ByteToUnit(unsigned char byte, std::uint32_t codePage) {
  codePage = Resolve(codePage);
  if (codePage == kUTF8 || codePage == kUTF7) return byte < 0x80 ? byte : kReplacement;
  if (byte == 0) return 0;
  const char16_t unit = PageOf(codePage)->single[byte];
  return unit ? unit : kReplacement;
}

unsigned char UnitToByte(char16_t unit, std::uint32_t codePage) {
  codePage = Resolve(codePage);
  if (unit == 0) return 0;
  if (codePage == kUTF8 || codePage == kUTF7) return unit < 0x80 ? static_cast<unsigned char>(unit) : 0;
  char bytes[2];
  return PageOf(codePage)->Encode(unit, bytes) == 1 ? static_cast<unsigned char>(bytes[0]) : 0;
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
  static auto* mutex = new std::mutex;
  static auto* tables = new std::unordered_map<std::uint64_t, std::unique_ptr<std::array<unsigned char, 256>>>;
  const std::uint64_t key = (static_cast<std::uint64_t>(codePage) << 1) | (upper ? 1 : 0);
  {
    std::lock_guard<std::mutex> lock(*mutex);
    auto it = tables->find(key);
    if (it != tables->end()) return it->second->data();
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
  std::lock_guard<std::mutex> lock(*mutex);
  auto& slot = (*tables)[key];
  if (!slot) slot = std::move(table);
  return slot->data();
}

}  // namespace code_pages
