// Code-page services behind CQ_StringConvert and the string classes
// (internal, not exported).
//
// Whole texts are converted here: 8-bit text in a Windows code page to
// 16-bit units and back, through tables built from glibc's iconv for the
// system code pages (single-byte pages and the double-byte pages 932, 936,
// 949, 950 and 1361) and through private instances of the UTF engines for
// 65000 and 65001. Everything here may be called from any thread.
// Code pages the system does not know are replaced by the ANSI code page
// (1252). Undefined single bytes map the way Windows maps them (C1 controls
// and a few private-use characters) and back, so every byte of a
// single-byte page survives a round trip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace code_pages {

constexpr std::uint32_t kANSI = 1252;
constexpr std::uint32_t kUTF7 = 65000;
constexpr std::uint32_t kUTF8 = 65001;

// The code page a conversion really uses: 0 and 3 (the ANSI code page of
// the system or thread) and pages the system does not know give 1252.
std::uint32_t Resolve(std::uint32_t codePage);
// True when the system can convert the page itself (65000 and 65001
// included); 0 is not a page.
bool IsKnown(std::uint32_t codePage);

// True for the double-byte pages (932, 936, 949, 950, 1361).
bool IsDoubleByte(std::uint32_t codePage);
// True when the byte starts a two-byte character in the page.
bool IsLeadByte(unsigned char byte, std::uint32_t codePage);
// Bytes of the character at `text`: 2 for a lead byte followed by a
// plausible trail byte in a double-byte page, else 1 (0 when left is 0).
std::size_t CharLength(const char* text, std::size_t left, std::uint32_t codePage);

// Converts all of `bytes` (zero bytes included, except that the UTF
// engines stop at a zero byte). Never fails: undecodable input becomes
// U+FFFD or the Windows fallback character.
std::u16string MultiToWide(std::string_view bytes, std::uint32_t codePage);
// Converts all of `units`; characters without a form in the page become
// `defaultChar` and set *usedDefault (when given).
std::string WideToMulti(std::u16string_view units, std::uint32_t codePage, char defaultChar = '?',
                        bool* usedDefault = nullptr);

// One byte to one unit (U+FFFD for a lead byte or undecodable byte), and
// one unit to one byte (0 when it has no single-byte form).
char16_t ByteToUnit(unsigned char byte, std::uint32_t codePage);
unsigned char UnitToByte(char16_t unit, std::uint32_t codePage);

// Case mapping of one 16-bit unit for the scripts of the supported code
// pages (Latin, Greek, Cyrillic); other units are returned unchanged.
char16_t ToLowerUnit(char16_t unit);
char16_t ToUpperUnit(char16_t unit);

// 256-entry byte case map of a page (lower or upper case): letters whose
// other case exists as a single byte of the page change, all other bytes
// map to themselves. In double-byte and UTF pages only ASCII letters change
// (callers skip double-byte characters).
const unsigned char* CaseTable(std::uint32_t codePage, bool upper);

}  // namespace code_pages
