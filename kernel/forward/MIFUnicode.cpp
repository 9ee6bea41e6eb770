// The Unicode string form of MIF 8.0 and later, read through a copy in the
// older form and written back from it. Code pages are read through glibc's
// iconv ("CP<n>"): single-byte pages as a 256-entry table built once per
// use, double-byte pages one character at a time.
#include "kernel/forward/MIFUnicode.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include <iconv.h>

#include "kernel/backward/MIFEscaping.h"
#include "kernel/forward/TextConverter.h"

namespace {

constexpr char32_t kNone = 0xFFFFFFFF;

bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

std::string IconvName(int codePage) { return "CP" + std::to_string(codePage); }

// One character of UTF-8 at text[i]; its length in `length`. A byte that
// starts no valid sequence is read as the code point of its value.
char32_t DecodeUTF8(std::string_view text, std::size_t i, std::size_t& length) {
  const unsigned char b0 = static_cast<unsigned char>(text[i]);
  length = 1;
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t c = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    extra = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2;
    c = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3;
    c = b0 & 0x07;
  } else {
    return b0;
  }
  if (i + static_cast<std::size_t>(extra) >= text.size()) return b0;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) return b0;
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms and surrogates are no characters.
  if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF)) {
    return b0;
  }
  length = static_cast<std::size_t>(extra) + 1;
  return c;
}

void AppendUTF8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// An iconv handle that closes itself.
class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) {
    const iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    m_cd = cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd;
  }
  ~Iconv() {
    if (m_cd) ::iconv_close(static_cast<iconv_t>(m_cd));
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts all of `in`; false when any of it has no form.
  bool b_Convert(std::string_view in, std::string& out) const {
    if (!m_cd) return false;
    ::iconv(static_cast<iconv_t>(m_cd), nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buffer(in.size() * 4 + 8);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    if (::iconv(static_cast<iconv_t>(m_cd), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return false;
    }
    if (::iconv(static_cast<iconv_t>(m_cd), nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return false;
    }
    out.assign(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
    return inLeft == 0;
  }

 private:
  void* m_cd = nullptr;
};

// A code page's characters: a table for single-byte pages, iconv for the
// double-byte ones.
class CodePage {
 public:
  explicit CodePage(int codePage)
      : m_codePage(codePage),
        m_doubleByte(CQ_TextConverter::sb_IsDoubleByteCodePage(codePage)) {
    m_decode.fill(kNone);
    if (m_doubleByte) {
      m_toPage = std::make_unique<Iconv>(IconvName(codePage), "UTF-8");
      m_fromPage = std::make_unique<Iconv>("UTF-8", IconvName(codePage));
      return;
    }
    const Iconv decoder("UTF-8", IconvName(codePage));
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      std::string utf8;
      if (!decoder.b_Convert(std::string_view(&byte, 1), utf8) || utf8.empty()) continue;
      std::size_t length = 0;
      const char32_t c = DecodeUTF8(utf8, 0, length);
      if (length != utf8.size()) continue;
      m_decode[static_cast<std::size_t>(b)] = c;
      m_encode.emplace(c, static_cast<unsigned char>(b));
    }
  }

  bool b_DoubleByte() const { return m_doubleByte; }

  // The code page's bytes of a character; false when it has none.
  bool b_Encode(char32_t c, std::string& bytes) const {
    bytes.clear();
    if (!m_doubleByte) {
      const auto it = m_encode.find(c);
      if (it == m_encode.end()) return false;
      bytes.push_back(static_cast<char>(it->second));
      return true;
    }
    std::string utf8;
    AppendUTF8(c, utf8);
    if (!m_toPage->b_Convert(utf8, bytes) || bytes.empty() || bytes.size() > 2) return false;
    // A character of two bytes is a lead and a trail byte of the page (no
    // escape sequences or other multi-byte forms).
    if (bytes.size() == 2) {
      return CQ_TextConverter::sb_IsLeadByte(m_codePage, static_cast<unsigned char>(bytes[0])) &&
             CQ_TextConverter::sb_IsTrailByte(m_codePage, static_cast<unsigned char>(bytes[1]));
    }
    return true;
  }

  // The character of one byte of a single-byte page; kNone when undefined.
  char32_t c_Decode(unsigned char b) const { return m_decode[b]; }

  // UTF-8 of code-page bytes; false when they are no characters.
  bool b_DecodeBytes(std::string_view bytes, std::string& utf8) const {
    if (!m_doubleByte) {
      utf8.clear();
      for (char byte : bytes) {
        const char32_t c = m_decode[static_cast<unsigned char>(byte)];
        if (c == kNone) return false;
        AppendUTF8(c, utf8);
      }
      return true;
    }
    return m_fromPage->b_Convert(bytes, utf8);
  }

 private:
  int m_codePage;
  bool m_doubleByte;
  std::array<char32_t, 256> m_decode{};
  std::unordered_map<char32_t, unsigned char> m_encode;
  std::unique_ptr<Iconv> m_toPage;    // double-byte pages only
  std::unique_ptr<Iconv> m_fromPage;
};

// The byte each FrameMaker code of 0x80 and more stands for in mapped
// mode: the inverse of the escaping table back conversion writes with.
const std::array<int, 256>& ByteOfCode() {
  static const std::array<int, 256> table = [] {
    std::array<int, 256> t{};
    t.fill(-1);
    for (int b = 0xFF; b >= 0; --b) {
      const int code = CQ_MIFEscaping::si_TableEntry(static_cast<unsigned char>(b));
      if (code >= 0x80) t[static_cast<std::size_t>(code)] = b;
    }
    return t;
  }();
  return table;
}

// FrameMaker's own spaces and hyphens, whatever the code page: their codes
// below 0x20 (the soft hyphen is the discretionary hyphen; a code page
// table would make it a visible one, and most double-byte pages lack the
// no-break space); -1 for any other character.
int FrameMakerSpaceOrHyphen(char32_t c) {
  switch (c) {
    case 0x00AD: return 0x04;  // discretionary hyphen
    case 0x2007: return 0x10;  // number space
    case 0x00A0: return 0x11;  // hard space
    case 0x2009: return 0x12;  // thin space
    case 0x2002: return 0x13;  // en space
    case 0x2003: return 0x14;  // em space
    case 0x2011: return 0x15;  // hard hyphen
    default: return -1;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view KeywordOf(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  if (line.empty() || line[0] != '<') return {};
  std::size_t end = 1;
  while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end]))) ++end;
  return line.substr(1, end - 1);
}

// The value of "<Unique 1234>".
std::string UniqueValue(std::string_view line) {
  const std::size_t at = line.find("Unique");
  std::string value;
  for (std::size_t i = at + 6; i < line.size(); ++i) {
    const char c = line[i];
    if (c >= '0' && c <= '9') {
      value.push_back(c);
    } else if (!value.empty() || (c != ' ' && c != '\t')) {
      break;
    }
  }
  return value;
}

}  // namespace

// --- versions ----------------------------------------------------------------

int CQ_MIFUnicode::si_Version(std::string_view head) {
  constexpr std::string_view kPrefix = "<MIFFile ";
  if (head.substr(0, kPrefix.size()) != kPrefix) return -1;
  std::size_t i = kPrefix.size();
  while (i < head.size() && head[i] == ' ') ++i;
  int major = 0;
  std::size_t digits = 0;
  while (i < head.size() && head[i] >= '0' && head[i] <= '9' && digits < 5) {
    major = major * 10 + (head[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0) return -1;
  if (major >= 1000) return major;
  int minor = 0;
  if (i + 1 < head.size() && head[i] == '.' && head[i + 1] >= '0' && head[i + 1] <= '9') minor = head[i + 1] - '0';
  return major * 10 + minor;
}

bool CQ_MIFUnicode::sb_IsAcceptedUnicodeVersion(int version) {
  if (version >= 2015 && version <= HIGHEST_VERSION) return true;
  return version >= 80 && version <= 140 && version % 10 == 0;
}

// --- reading -------------------------------------------------------------------

bool CQ_MIFUnicode::sb_CodePageHolds(int codePage, char32_t c) {
  const CodePage page(codePage);
  std::string bytes;
  return page.b_Encode(c, bytes);
}

std::string CQ_MIFUnicode::scs_CodePointName(char32_t c) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
  return name;
}

std::string CQ_MIFUnicode::scs_UTF8(char32_t c) {
  std::string out;
  AppendUTF8(c, out);
  return out;
}

bool CQ_MIFUnicode::sb_ToCodePageForm(std::string_view mif, int codePage, bool symbol, std::string& out,
                                      st_Unheld& unheld) {
  const CodePage page(codePage);
  const bool doubleByte = page.b_DoubleByte();
  out.clear();
  out.reserve(mif.size() + mif.size() / 8);

  struct OpenPara {
    int depth;  // nesting depth before the paragraph's opening
    std::string unique;
  };
  std::vector<OpenPara> paras;
  int depth = 0;
  std::size_t lineNumber = 0;
  std::size_t at = 0;
  std::string bytes;
  static constexpr char kDigits[] = "0123456789abcdef";
  const auto appendEscape = [&out](unsigned code) {
    out.append("\\x");
    out.push_back(kDigits[(code >> 4) & 0x0F]);
    out.push_back(kDigits[code & 0x0F]);
    out.push_back(' ');
  };

  while (at < mif.size()) {
    ++lineNumber;
    std::size_t end = mif.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = mif.size();
    std::size_t next = end;
    if (next < mif.size()) next += (mif[next] == '\r' && next + 1 < mif.size() && mif[next + 1] == '\n') ? 2 : 1;
    const std::string_view line = mif.substr(at, end - at);
    const std::string_view keyword = KeywordOf(line);
    if (keyword == "Para") paras.push_back({depth, std::string()});
    if (keyword == "Unique" && !paras.empty() && paras.back().unique.empty()) paras.back().unique = UniqueValue(line);

    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char ch = line[i];
      const unsigned char b = static_cast<unsigned char>(ch);
      if (!inString) {
        if (ch == '#') {
          // A comment: the rest of the line as it is.
          out.append(line.substr(i));
          break;
        }
        if (ch == '`') inString = true;
        if (ch == '<') ++depth;
        if (ch == '>') --depth;
        out.push_back(ch);
        continue;
      }
      if (ch == '\\' && i + 1 < line.size()) {
        out.push_back(ch);
        out.push_back(line[++i]);
        continue;
      }
      if (ch == '\'') inString = false;
      if (b < 0x80) {
        out.push_back(ch);
        continue;
      }
      std::size_t length = 0;
      const char32_t c = DecodeUTF8(line, i, length);
      i += length - 1;
      if (!doubleByte && c >= 0x80 && c <= 0x9F) {
        out.push_back(static_cast<char>(c));
        continue;
      }
      if (const int code = FrameMakerSpaceOrHyphen(c); code >= 0) {
        appendEscape(static_cast<unsigned>(code));
        continue;
      }
      bool held = page.b_Encode(c, bytes);
      if (held && !doubleByte) {
        const unsigned char byte = static_cast<unsigned char>(bytes[0]);
        if (symbol) {
          appendEscape(byte);
        } else {
          const int code = CQ_MIFEscaping::si_TableEntry(byte);
          held = code >= 0;
          if (held) appendEscape(static_cast<unsigned>(code));
        }
      } else if (held) {
        out.append(bytes);
      }
      if (!held) {
        unheld.c_Character = c;
        unheld.sz_Line = lineNumber;
        unheld.cs_Paragraph = paras.empty() ? std::string() : paras.back().unique;
        unheld.cs_Statement = std::string(keyword);
        return false;
      }
    }
    while (!paras.empty() && depth <= paras.back().depth) paras.pop_back();
    out.append(mif.substr(end, next - end));
    at = next;
  }
  return true;
}

// --- writing -------------------------------------------------------------------

struct CQ_MIFUTF8Writer::Impl {
  Impl(int codePage, bool symbol) : page(codePage), western(1252), symbol(symbol), codePageNumber(codePage) {}
  CodePage page;
  CodePage western;  // the bytes FrameMaker codes stand for
  bool symbol;
  int codePageNumber;
};

CQ_MIFUTF8Writer::CQ_MIFUTF8Writer(int codePage, bool symbol) : m_pImpl(std::make_unique<Impl>(codePage, symbol)) {}

CQ_MIFUTF8Writer::~CQ_MIFUTF8Writer() = default;

std::string CQ_MIFUTF8Writer::ccs_Line(std::string_view text) const {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  // Several lines are written one by one, the "\n" between them kept.
  for (;;) {
    const std::size_t nl = text.find('\n');
    v_AppendLine(text.substr(0, nl), out);
    if (nl == std::string_view::npos) break;
    out.push_back('\n');
    text.remove_prefix(nl + 1);
  }
  return out;
}

void CQ_MIFUTF8Writer::v_AppendLine(std::string_view line, std::string& out) const {
  const CodePage& page = m_pImpl->page;
  const bool doubleByte = page.b_DoubleByte();
  const int codePage = m_pImpl->codePageNumber;
  bool inString = false;
  // Double-byte pages: code-page bytes waiting to be decoded as one run,
  // with the escapes they came from in case they are no characters.
  std::string pending;
  std::string pendingRaw;
  bool leadPending = false;  // the last pending byte is a lead byte waiting for its trail
  std::string utf8;
  const auto flush = [&] {
    if (pending.empty()) return;
    if (page.b_DecodeBytes(pending, utf8)) {
      out.append(utf8);
    } else {
      out.append(pendingRaw);
    }
    pending.clear();
    pendingRaw.clear();
    leadPending = false;
  };
  // In double-byte pages a raw lead byte takes the next raw byte as its
  // trail; an escaped lead byte takes the next escape (or raw byte).
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    const unsigned char b = static_cast<unsigned char>(ch);
    if (!inString) {
      if (ch == '#') {
        out.append(line.substr(i));
        break;
      }
      if (ch == '`') inString = true;
      out.push_back(ch);
      continue;
    }
    if (ch == '\\' && i + 1 < line.size()) {
      const char marker = line[i + 1];
      if (marker == 'x' || marker == 'X') {
        std::size_t j = i + 2;
        int value = 0;
        while (j < line.size() && j < i + 4 && IsHexDigit(static_cast<unsigned char>(line[j]))) {
          value = value * 16 + HexValue(static_cast<unsigned char>(line[j]));
          ++j;
        }
        const bool whole = j == i + 4 && j < line.size() && line[j] == ' ';
        if (whole && value >= 0x80) {
          const std::string_view escape = line.substr(i, j + 1 - i);
          int byte = value;
          if (!m_pImpl->symbol) byte = ByteOfCode()[static_cast<std::size_t>(value)];
          if (doubleByte && !m_pImpl->symbol) {
            // A FrameMaker character of Western text.
            flush();
            const char32_t c = byte < 0 ? kNone : m_pImpl->western.c_Decode(static_cast<unsigned char>(byte));
            if (c == kNone) {
              out.append(escape);
            } else {
              AppendUTF8(c, out);
            }
          } else if (doubleByte) {
            pending.push_back(static_cast<char>(byte));
            pendingRaw.append(escape);
            leadPending = !leadPending && CQ_TextConverter::sb_IsLeadByte(codePage, static_cast<unsigned char>(byte));
          } else {
            const char32_t c = byte < 0 ? kNone : page.c_Decode(static_cast<unsigned char>(byte));
            if (c == kNone) {
              out.append(escape);
            } else {
              AppendUTF8(c, out);
            }
          }
          i = j;
          continue;
        }
        if (whole && value == 0x5C && leadPending) {
          // The trail byte of a pending lead byte.
          pending.push_back('\\');
          pendingRaw.append(line.substr(i, 5));
          leadPending = false;
          i = j;
          continue;
        }
      }
      flush();
      out.push_back(ch);
      out.push_back(line[++i]);
      continue;
    }
    if (b < 0x80) {
      flush();
      if (ch == '\'') inString = false;
      out.push_back(ch);
      continue;
    }
    if (!doubleByte) {
      // Single-byte pages: only the copy writes raw bytes, for C1 controls.
      AppendUTF8(b, out);
      continue;
    }
    if (leadPending) {
      // The trail byte of an escaped lead byte.
      pending.push_back(ch);
      pendingRaw.push_back(ch);
      leadPending = false;
      continue;
    }
    pending.push_back(ch);
    pendingRaw.push_back(ch);
    if (CQ_TextConverter::sb_IsLeadByte(codePage, b) && line.size() - i > 5 && line[i + 1] == '\\' &&
        (line[i + 2] == 'x' || line[i + 2] == 'X') && line[i + 3] == '5' &&
        (line[i + 4] == 'c' || line[i + 4] == 'C') && line[i + 5] == ' ') {
      // "\x5c " right after a raw lead byte is its second byte, written as an
      // escape where a raw backslash would have escaped the string's end
      // (as back conversion writes it and forward conversion reads it).
      pending.push_back('\\');
      pendingRaw.append(line.substr(i + 1, 5));
      i += 5;
      continue;
    }
    if (CQ_TextConverter::sb_IsLeadByte(codePage, b) && i + 1 < line.size() &&
        CQ_TextConverter::sb_IsTrailByte(codePage, static_cast<unsigned char>(line[i + 1]))) {
      pending.push_back(line[i + 1]);
      pendingRaw.push_back(line[i + 1]);
      ++i;
    }
  }
  flush();
}
