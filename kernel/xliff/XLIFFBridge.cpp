// KWX lines to XLIFF 1.2 and back.
//
// Writing cuts each line with the format's own tokenizer and pairs the
// internal tags of a line with a stack (a closing tag "<:/NAME..." closes
// the nearest open "<:NAME" tag); pairs become <bpt>/<ept>, the rest <ph>.
// Reading parses the document with a small XML reader of its own (the
// kernel depends on nothing beyond the standard library), then walks each
// unit's target or source and turns text back into code-page bytes.
#include "kernel/xliff/XLIFFBridge.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "System/Platform/FileException.h"
#include "System/String/StringConvert/StringConvert.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/session/CommunicationFrame.h"

namespace {

// ---------------------------------------------------------------------------
// Languages
// ---------------------------------------------------------------------------

struct LanguageTag {
  const char* name;
  const char* bcp47;
};

// Every display name the session accepts. Serbian is written in Latin
// script in code page 1250.
const LanguageTag kLanguageTags[] = {
    {"Albanian", "sq-AL"}, {"Basque", "eu-ES"}, {"Bulgarian", "bg-BG"}, {"Byelorussian", "be-BY"},
    {"Catalan", "ca-ES"}, {"Chinese (Simplified)", "zh-CN"}, {"Chinese (Traditional)", "zh-TW"},
    {"Croatian", "hr-HR"}, {"Czech", "cs-CZ"}, {"Danish", "da-DK"}, {"Dutch", "nl-NL"},
    {"English (AUS)", "en-AU"}, {"English (UK)", "en-GB"}, {"English (US)", "en-US"}, {"Estonian", "et-EE"},
    {"Faeroese", "fo-FO"}, {"Finnish", "fi-FI"}, {"French", "fr-FR"}, {"French (Canadian)", "fr-CA"},
    {"German", "de-DE"}, {"German (Swiss)", "de-CH"}, {"Greek", "el-GR"}, {"Hungarian", "hu-HU"},
    {"Icelandic", "is-IS"}, {"Italian", "it-IT"}, {"Japanese", "ja-JP"}, {"Japanese (Colloquy)", "ja-JP"},
    {"Korean", "ko-KR"}, {"Latvian", "lv-LV"}, {"Lithuanian", "lt-LT"}, {"None", "und"},
    {"Norwegian", "nb-NO"}, {"Norwegian (Nynorsk)", "nn-NO"}, {"Polish", "pl-PL"}, {"Portuguese", "pt-PT"},
    {"Portuguese (Brazilian)", "pt-BR"}, {"Romanian", "ro-RO"}, {"Russian", "ru-RU"},
    {"Serbian", "sr-Latn-RS"}, {"Slovak", "sk-SK"}, {"Slovenian", "sl-SI"}, {"Spanish", "es-ES"},
    {"Swedish", "sv-SE"}, {"Turkish", "tr-TR"}, {"Ukrainian", "uk-UA"},
};

// ---------------------------------------------------------------------------
// UTF-8 and code pages
// ---------------------------------------------------------------------------

void AppendUTF8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-8 to UTF-16; false for a malformed sequence.
bool UTF8ToWide(std::string_view text, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c;
    std::size_t n;
    if (b < 0x80) {
      c = b, n = 1;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F, n = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F, n = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07, n = 4;
    } else {
      return false;
    }
    if (i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += n;
  }
  return true;
}

std::u16string MultiToWide(std::string_view bytes, int codePage) {
  if (bytes.empty()) return {};
  const int needed = CQ_StringConvert::si_MultiToWide(nullptr, 0, bytes.data(),
                                                      static_cast<std::uint32_t>(bytes.size()), codePage);
  std::u16string wide(static_cast<std::size_t>(needed) + 1, u'\0');
  const int written = CQ_StringConvert::si_MultiToWide(wide.data(), static_cast<std::uint32_t>(wide.size()),
                                                       bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                                       codePage);
  wide.resize(static_cast<std::size_t>(written));
  return wide;
}

// Wide text to code-page bytes; false when a character has no form there.
bool WideToMulti(std::u16string_view wide, int codePage, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  bool usedDefault = false;
  const int needed = CQ_StringConvert::si_WideToMulti(nullptr, 0, wide.data(), static_cast<std::uint32_t>(wide.size()),
                                                      codePage, '?', &usedDefault);
  out.assign(static_cast<std::size_t>(needed) + 1, '\0');
  usedDefault = false;
  const int written = CQ_StringConvert::si_WideToMulti(out.data(), static_cast<std::uint32_t>(out.size()), wide.data(),
                                                       static_cast<std::uint32_t>(wide.size()), codePage, '?',
                                                       &usedDefault);
  out.resize(static_cast<std::size_t>(written));
  return !usedDefault;
}

// A character XML 1.0 may hold. Carriage returns are refused too, since
// a reader turns them into line feeds.
bool IsXMLChar(char32_t c) {
  return c == 0x09 || c == 0x0A || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// UTF-16 to escaped UTF-8; false when a unit is no XML character (a lone
// surrogate included) or is U+FFFD, the mark of an undecodable byte.
bool WideToEscapedUTF8(std::u16string_view wide, bool attribute, std::string& out) {
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    }
    if (!IsXMLChar(c) || c == 0xFFFD) return false;
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        if (attribute) {
          out += "&quot;";
          break;
        }
        [[fallthrough]];
      default: AppendUTF8(c, out);
    }
  }
  return true;
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

bool FromHex(std::string_view hex, std::string& bytes) {
  if (hex.size() % 2) return false;
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (char h : hex.substr(i, 2)) {
      value <<= 4;
      if (h >= '0' && h <= '9') value |= h - '0';
      else if (h >= 'A' && h <= 'F') value |= h - 'A' + 10;
      else if (h >= 'a' && h <= 'f') value |= h - 'a' + 10;
      else return false;
    }
    bytes += static_cast<char>(value);
  }
  return true;
}

std::string Escape(std::string_view utf8, bool attribute = false) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      default: out += c;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Writing units
// ---------------------------------------------------------------------------

// Builds the inline content of one line: text and codes.
class UnitContent {
 public:
  // Text is in textCodePage; tags are always in the source's code page,
  // since a translation keeps the source's tags byte for byte.
  UnitContent(int textCodePage, int tagCodePage) : codePage_(textCodePage), tagCodePage_(tagCodePage) {}

  // Escaped UTF-8 for bytes of the code page; runs that do not come back
  // unchanged are cut into characters, and characters that do not survive
  // become byte codes.
  void Text(std::string_view bytes) {
    hasText_ = hasText_ || bytes.find_first_not_of(" \t") != std::string_view::npos;
    std::string out;
    if (Convertible(bytes, out)) {
      xml_ += out;
      return;
    }
    for (std::size_t i = 0; i < bytes.size();) {
      std::size_t n = 1;
      if (i + 1 < bytes.size() && CQ_StringConvert::sb_IsLeadByte(bytes[i], codePage_)) n = 2;
      out.clear();
      if (Convertible(bytes.substr(i, n), out)) {
        xml_ += out;
      } else {
        xml_ += "<ph id=\"" + std::to_string(++codes_) + "\" ctype=\"x-kwx-bytes\">" + Hex(bytes.substr(i, n)) +
                "</ph>";
      }
      i += n;
    }
  }

  // The code for one tag: element "ph", "bpt" or "ept" with its id (a
  // pair shares one id). A tag whose bytes do not survive conversion keeps
  // its element and id and holds its bytes in hexadecimal.
  void Code(std::string_view element, int id, std::string_view tag, const char* ctype) {
    std::string content;
    if (!CodeText(tag, content)) {
      content = Hex(tag);
      ctype = "x-kwx-bytes";
    }
    xml_ += "<" + std::string(element) + " id=\"" + std::to_string(id) + "\"";
    if (element != "ph") xml_ += " rid=\"" + std::to_string(id) + "\"";
    // XLIFF gives <ept> no ctype: a closing code takes its kind from its
    // <bpt>, and only tags whose bytes convert are paired.
    if (element != "ept") xml_ += std::string(" ctype=\"") + ctype + "\"";
    xml_ += ">" + content + "</" + std::string(element) + ">";
  }

  // Whether a tag's bytes come back from UTF-8 unchanged, so that it can be
  // written as text rather than as hexadecimal bytes.
  bool TagConvertible(std::string_view tag) const {
    std::string out;
    return CodeText(tag, out);
  }

  int NextId() { return ++codes_; }
  bool HasText() const { return hasText_; }
  const std::string& Xml() const { return xml_; }

 private:
  bool Convertible(std::string_view bytes, std::string& out, int codePage) const {
    const std::u16string wide = MultiToWide(bytes, codePage);
    std::string back;
    if (!WideToMulti(wide, codePage, back) || back != bytes) return false;
    return WideToEscapedUTF8(wide, false, out);
  }
  bool Convertible(std::string_view bytes, std::string& out) const { return Convertible(bytes, out, codePage_); }
  bool CodeText(std::string_view tag, std::string& out) const { return Convertible(tag, out, tagCodePage_); }

  int codePage_;
  int tagCodePage_;
  int codes_ = 0;
  bool hasText_ = false;
  std::string xml_;
};

// The name a paired internal tag is matched by: "cs" for "<:cs "x" 1>"
// and for "<:/cs>", "el" for "<:/el "x">".
std::string_view PairName(std::string_view tag, bool closing) {
  std::string_view name = tag.substr(closing ? 3 : 2);
  const std::size_t end = name.find_first_of(" >\"");
  return name.substr(0, end);
}

bool IsClosingInternal(std::string_view tag) { return KWX::b_HasPrefix(tag, "<:/"); }

// The XML of one line's content; sets hasText.
std::string LineContent(std::string_view line, int codePage, int tagCodePage, bool& hasText) {
  const std::vector<KWX::st_Token> tokens = KWX::sast_Tokenize(line);
  // Pair internal tags: for each token index, the partner's index or -1.
  // A tag whose bytes do not convert stays unpaired: it becomes a <ph>
  // holding its bytes in hexadecimal, which an <ept> cannot mark.
  UnitContent content(codePage, tagCodePage);
  std::vector<int> partner(tokens.size(), -1);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view tag = tokens[i].cs_Text;
    if (tokens[i].et_Kind != KWX::TOKEN_TAG || !KWX::b_IsInternalTag(tag) || !content.TagConvertible(tag)) continue;
    if (IsClosingInternal(tag)) {
      const std::string_view name = PairName(tag, true);
      for (std::size_t k = open.size(); k-- > 0;) {
        if (PairName(tokens[open[k]].cs_Text, false) == name) {
          partner[open[k]] = static_cast<int>(i);
          partner[i] = static_cast<int>(open[k]);
          open.erase(open.begin() + static_cast<std::ptrdiff_t>(k), open.end());
          break;
        }
      }
    } else {
      open.push_back(i);
    }
  }
  std::map<std::size_t, int> pairIds;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view text = tokens[i].cs_Text;
    if (tokens[i].et_Kind == KWX::TOKEN_TEXT) {
      content.Text(text);
    } else if (partner[i] >= 0 && static_cast<std::size_t>(partner[i]) > i) {
      const int id = content.NextId();
      pairIds[static_cast<std::size_t>(partner[i])] = id;
      content.Code("bpt", id, text, "x-kwx-internal");
    } else if (partner[i] >= 0) {
      content.Code("ept", pairIds[i], text, "x-kwx-internal");
    } else {
      const char* ctype = tokens[i].et_Kind == KWX::TOKEN_TAG && KWX::b_IsInternalTag(text) ? "x-kwx-internal"
                                                                                           : "x-kwx-external";
      content.Code("ph", content.NextId(), text, ctype);
    }
  }
  hasText = content.HasText();
  return content.Xml();
}

// A unit's note: the line number and, for a paragraph, its format name.
std::string Note(std::size_t lineNumber, std::string_view line, int codePage) {
  std::string note = "KWX line " + std::to_string(lineNumber);
  if (KWX::b_HasPrefix(line, KWX::PREFIX_PS)) {
    const std::size_t end = line.find('"', KWX::PREFIX_PS.size());
    if (end != std::string_view::npos) {
      std::string name;
      if (WideToEscapedUTF8(MultiToWide(line.substr(KWX::PREFIX_PS.size(), end - KWX::PREFIX_PS.size()), codePage),
                            false, name)) {
        note += ", paragraph format \"" + name + "\"";
      }
    }
  }
  return note;
}

// ---------------------------------------------------------------------------
// A small XML reader
// ---------------------------------------------------------------------------

struct XmlNode {
  bool element = false;
  std::string name;  // local name, without any namespace prefix
  std::map<std::string, std::string> attributes;
  std::string text;  // character data of a text node (UTF-8)
  std::vector<std::unique_ptr<XmlNode>> children;

  const XmlNode* Child(std::string_view local) const {
    for (const auto& c : children) {
      if (c->element && c->name == local) return c.get();
    }
    return nullptr;
  }
  std::string Attribute(const std::string& key) const {
    auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
  }
  // All character data inside, codes' content included.
  std::string AllText() const {
    if (!element) return text;
    std::string all;
    for (const auto& c : children) all += c->AllText();
    return all;
  }
};

class XmlReader {
 public:
  explicit XmlReader(std::string_view xml) : xml_(xml) {}

  std::unique_ptr<XmlNode> Parse(std::string& error) {
    auto root = std::make_unique<XmlNode>();
    root->element = true;
    if (!Content(*root, true)) {
      error = error_ + " (at byte " + std::to_string(pos_) + ")";
      return nullptr;
    }
    return root;
  }

 private:
  static std::string Local(const std::string& name) {
    const std::size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
  }

  bool Fail(const std::string& what) {
    error_ = what;
    return false;
  }

  bool Skip(std::string_view end) {
    const std::size_t at = xml_.find(end, pos_);
    if (at == std::string_view::npos) return Fail("unterminated markup");
    pos_ = at + end.size();
    return true;
  }

  bool Decode(std::string_view raw, std::string& out) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const std::size_t semi = raw.find(';', i);
      if (semi == std::string_view::npos) return Fail("unterminated entity");
      const std::string_view entity = raw.substr(i + 1, semi - i - 1);
      if (entity == "lt") out += '<';
      else if (entity == "gt") out += '>';
      else if (entity == "amp") out += '&';
      else if (entity == "quot") out += '"';
      else if (entity == "apos") out += '\'';
      else if (entity.size() > 1 && entity[0] == '#') {
        const bool hex = entity[1] == 'x';
        const std::string digits(entity.substr(hex ? 2 : 1));
        char* end = nullptr;
        const unsigned long value = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
        if (digits.empty() || *end || !IsXMLChar(static_cast<char32_t>(value))) return Fail("bad character reference");
        AppendUTF8(static_cast<char32_t>(value), out);
      } else {
        return Fail("unknown entity &" + std::string(entity) + ";");
      }
      i = semi;
    }
    return true;
  }

  void AddText(XmlNode& parent, const std::string& text) {
    if (text.empty()) return;
    if (!parent.children.empty() && !parent.children.back()->element) {
      parent.children.back()->text += text;
      return;
    }
    auto node = std::make_unique<XmlNode>();
    node->text = text;
    parent.children.push_back(std::move(node));
  }

  // Reads content up to the parent's end tag (or the end of input at top level).
  bool Content(XmlNode& parent, bool top) {
    while (pos_ < xml_.size()) {
      if (xml_[pos_] != '<') {
        const std::size_t next = std::min(xml_.find('<', pos_), xml_.size());
        std::string text;
        if (!Decode(xml_.substr(pos_, next - pos_), text)) return false;
        pos_ = next;
        AddText(parent, text);
        continue;
      }
      const std::string_view rest = xml_.substr(pos_);
      if (rest.substr(0, 4) == "<!--") {
        if (!Skip("-->")) return false;
      } else if (rest.substr(0, 9) == "<![CDATA[") {
        const std::size_t end = xml_.find("]]>", pos_ + 9);
        if (end == std::string_view::npos) return Fail("unterminated CDATA section");
        AddText(parent, std::string(xml_.substr(pos_ + 9, end - pos_ - 9)));
        pos_ = end + 3;
      } else if (rest.substr(0, 2) == "<?") {
        if (!Skip("?>")) return false;
      } else if (rest.substr(0, 2) == "<!") {
        if (!Skip(">")) return false;
      } else if (rest.substr(0, 2) == "</") {
        if (top) return Fail("end tag without start tag");
        const std::size_t end = xml_.find('>', pos_);
        if (end == std::string_view::npos) return Fail("unterminated end tag");
        std::string name(xml_.substr(pos_ + 2, end - pos_ - 2));
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
        if (Local(name) != parent.name) return Fail("end tag </" + name + "> does not close <" + parent.name + ">");
        pos_ = end + 1;
        return true;
      } else if (!Element(parent)) {
        return false;
      }
    }
    return top ? true : Fail("end of input inside <" + parent.name + ">");
  }

  bool Element(XmlNode& parent) {
    ++pos_;
    auto node = std::make_unique<XmlNode>();
    node->element = true;
    const std::size_t nameEnd = xml_.find_first_of(" \t\r\n/>", pos_);
    if (nameEnd == std::string_view::npos || nameEnd == pos_) return Fail("bad start tag");
    node->name = Local(std::string(xml_.substr(pos_, nameEnd - pos_)));
    pos_ = nameEnd;
    while (true) {
      while (pos_ < xml_.size() && std::isspace(static_cast<unsigned char>(xml_[pos_]))) ++pos_;
      if (pos_ >= xml_.size()) return Fail("unterminated start tag");
      if (xml_[pos_] == '>') {
        ++pos_;
        XmlNode& ref = *node;
        parent.children.push_back(std::move(node));
        return Content(ref, false);
      }
      if (xml_.substr(pos_, 2) == "/>") {
        pos_ += 2;
        parent.children.push_back(std::move(node));
        return true;
      }
      const std::size_t eq = xml_.find('=', pos_);
      if (eq == std::string_view::npos) return Fail("bad attribute");
      std::string key(xml_.substr(pos_, eq - pos_));
      while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
      pos_ = eq + 1;
      while (pos_ < xml_.size() && std::isspace(static_cast<unsigned char>(xml_[pos_]))) ++pos_;
      if (pos_ >= xml_.size() || (xml_[pos_] != '"' && xml_[pos_] != '\'')) return Fail("unquoted attribute");
      const char quote = xml_[pos_];
      const std::size_t end = xml_.find(quote, pos_ + 1);
      if (end == std::string_view::npos) return Fail("unterminated attribute");
      std::string value;
      if (!Decode(xml_.substr(pos_ + 1, end - pos_ - 1), value)) return false;
      pos_ = end + 1;
      // xml:space and xml:lang keep their prefix; other prefixes go.
      node->attributes[key.rfind("xml:", 0) == 0 ? key : Local(key)] = value;
    }
  }

  std::string_view xml_;
  std::size_t pos_ = 0;
  std::string error_;
};

// ---------------------------------------------------------------------------
// Reading units
// ---------------------------------------------------------------------------

const char* const kCodeElements[] = {"ph", "bpt", "ept", "it", "x", "bx", "ex"};

bool IsCode(const std::string& name) {
  for (const char* e : kCodeElements) {
    if (name == e) return true;
  }
  return false;
}

// Codes of a unit's source by element name and id; <g> by its id.
using CodeTable = std::map<std::string, const XmlNode*>;

void CollectCodes(const XmlNode& node, CodeTable& codes) {
  for (const auto& c : node.children) {
    if (!c->element) continue;
    if (IsCode(c->name) || c->name == "g") codes.emplace(c->name + "#" + c->Attribute("id"), c.get());
    if (!IsCode(c->name)) CollectCodes(*c, codes);
  }
}

class LineBuilder {
 public:
  LineBuilder(const CodeTable& codes, const st_XLIFFFileInfo& info, std::string unitId,
              std::vector<st_XLIFFProblem>& problems)
      : codes_(codes), info_(info), unitId_(std::move(unitId)), problems_(problems) {}

  // Text in the target code page (or the source's for source text).
  bool Build(const XmlNode& content, bool target, std::string& line) {
    textCodePage_ = target ? info_.i_TargetCodePage : info_.i_SourceCodePage;
    return Walk(content, line);
  }

 private:
  bool Bytes(const std::string& utf8, int codePage, std::string& line) {
    std::u16string wide;
    if (!UTF8ToWide(utf8, wide)) {
      problems_.push_back({unitId_, "the text is not valid UTF-8"});
      return false;
    }
    std::string bytes;
    if (WideToMulti(wide, codePage, bytes)) {
      line += bytes;
      return true;
    }
    // Name each character that has no form in the code page.
    for (std::size_t i = 0; i < wide.size(); ++i) {
      std::size_t n = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
      std::string one;
      if (!WideToMulti(std::u16string_view(wide).substr(i, n), codePage, one)) {
        char32_t c = wide[i];
        if (n == 2) c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        std::string shown;
        AppendUTF8(c, shown);
        problems_.push_back({unitId_, "the character " + std::string(code) + " \"" + shown +
                                          "\" cannot be written in code page " + std::to_string(codePage)});
      }
      i += n - 1;
    }
    return false;
  }

  // The tag text of a code: its own content, else the source's code of the
  // same element and id.
  bool CodeBytes(const XmlNode& code, std::string& line) {
    const XmlNode* from = &code;
    std::string text = code.AllText();
    if (text.empty()) {
      auto it = codes_.find(code.name + "#" + code.Attribute("id"));
      // Codes without content stand for the source's codes with content.
      const std::string id = code.Attribute("id");
      if (it == codes_.end() && code.name == "x") it = codes_.find("ph#" + id);
      if (it == codes_.end() && code.name == "bx") it = codes_.find("bpt#" + id);
      if (it == codes_.end() && code.name == "ex") it = codes_.find("ept#" + id);
      if (it == codes_.end()) {
        // An empty code the source does not know carries no tag.
        return true;
      }
      from = it->second;
      text = from->AllText();
    }
    if (from->Attribute("ctype") == "x-kwx-bytes") {
      std::string bytes;
      if (!FromHex(text, bytes)) {
        problems_.push_back({unitId_, "a byte code holds no hexadecimal bytes"});
        return false;
      }
      line += bytes;
      return true;
    }
    return Bytes(text, info_.i_SourceCodePage, line);
  }

  bool Walk(const XmlNode& node, std::string& line) {
    bool ok = true;
    for (const auto& c : node.children) {
      if (!c->element) {
        ok = Bytes(c->text, textCodePage_, line) && ok;
      } else if (IsCode(c->name)) {
        ok = CodeBytes(*c, line) && ok;
      } else if (c->name == "g") {
        // A paired code around text: the source's opening and closing
        // tags are not known apart, so <g> stands for its content only.
        ok = Walk(*c, line) && ok;
      } else {
        ok = Walk(*c, line) && ok;  // <mrk> and the like
      }
    }
    return ok;
  }

  const CodeTable& codes_;
  const st_XLIFFFileInfo& info_;
  std::string unitId_;
  std::vector<st_XLIFFProblem>& problems_;
  int textCodePage_ = 1252;
};

void FindUnits(const XmlNode& node, std::vector<const XmlNode*>& units) {
  for (const auto& c : node.children) {
    if (!c->element) continue;
    if (c->name == "trans-unit") units.push_back(c.get());
    else FindUnits(*c, units);
  }
}

const XmlNode* FindElement(const XmlNode& node, std::string_view name) {
  for (const auto& c : node.children) {
    if (!c->element) continue;
    if (c->name == name) return c.get();
    if (const XmlNode* found = FindElement(*c, name)) return found;
  }
  return nullptr;
}

bool EndsWithRTF(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".rtf";
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadWhole(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  bytes = all.str();
  return true;
}

// The code page of a language display name, as the session derives it.
int CodePageOf(const std::string& name, bool source) {
  CQ_Morvane_CommunicationFrame session("morvane", "3.0", false);
  if (source) {
    if (!session.b_SetSourceLanguage(name.c_str())) return 0;
    return session.i_GetSourceCodePage();
  }
  session.v_SetTargetLanguage(name.c_str());
  return name == session.lpsz_GetTargetLanguage() ? session.i_GetTargetCodePage() : 0;
}

}  // namespace

std::string ccs_BCP47ForLanguage(std::string_view displayName) {
  for (const LanguageTag& row : kLanguageTags) {
    if (displayName == row.name) return row.bcp47;
  }
  return std::string();
}

std::string ccs_WriteXLIFF(const std::vector<std::string>& sourceLines, const std::vector<std::string>* targetLines,
                           const st_XLIFFFileInfo& info) {
  if (targetLines && targetLines->size() != sourceLines.size()) targetLines = nullptr;
  std::string xml;
  xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  xml += "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n";
  xml += "<file original=\"" + Escape(info.cs_Original, true) + "\" source-language=\"" +
         ccs_BCP47ForLanguage(info.cs_SourceLanguage) + "\" target-language=\"" +
         ccs_BCP47ForLanguage(info.cs_TargetLanguage) + "\" datatype=\"" + (info.b_RTF ? "rtf" : "plaintext") +
         "\" tool-id=\"morvane\">\n";
  xml += "<header>\n";
  xml += "<tool tool-id=\"morvane\" tool-name=\"morvane\" tool-version=\"3.0\"/>\n";
  xml += "<prop-group name=\"x-kwx\">\n";
  const auto prop = [&xml](const char* type, const std::string& value) {
    xml += "<prop prop-type=\"" + std::string(type) + "\">" + Escape(value) + "</prop>\n";
  };
  prop("form", info.b_RTF ? "rtf" : "txt");
  prop("source-language", info.cs_SourceLanguage);
  prop("target-language", info.cs_TargetLanguage);
  prop("source-code-page", std::to_string(info.i_SourceCodePage));
  prop("target-code-page", std::to_string(info.i_TargetCodePage));
  prop("paper", info.b_A4 ? "a4" : "letter");
  xml += "</prop-group>\n";
  xml += "</header>\n<body>\n";
  for (std::size_t i = 0; i < sourceLines.size(); ++i) {
    const std::string& source = sourceLines[i];
    bool hasText = false;
    const std::string sourceXml = LineContent(source, info.i_SourceCodePage, info.i_SourceCodePage, hasText);
    const bool translated = targetLines && (*targetLines)[i] != source;
    xml += "<trans-unit id=\"" + std::to_string(i + 1) + "\"";
    if (!hasText && !translated) xml += " translate=\"no\"";
    xml += " xml:space=\"preserve\">\n<source>" + sourceXml + "</source>\n";
    if (translated) {
      bool targetText = false;
      xml += "<target>" + LineContent((*targetLines)[i], info.i_TargetCodePage, info.i_SourceCodePage, targetText) +
             "</target>\n";
    } else if (hasText && info.b_CopySourceToTarget) {
      xml += "<target state=\"new\">" + sourceXml + "</target>\n";
    }
    xml += "<note>" + Note(i + 1, source, info.i_SourceCodePage) + "</note>\n</trans-unit>\n";
  }
  xml += "</body>\n</file>\n</xliff>\n";
  return xml;
}

bool sb_ReadXLIFF(std::string_view xml, st_XLIFFFileInfo& info, std::vector<std::string>& lines,
                  std::vector<st_XLIFFProblem>& problems) {
  std::string error;
  std::unique_ptr<XmlNode> root = XmlReader(xml).Parse(error);
  if (!root) {
    problems.push_back({"", "the file is not well-formed XML: " + error});
    return false;
  }
  const XmlNode* xliff = root->Child("xliff");
  const XmlNode* file = xliff ? xliff->Child("file") : nullptr;
  if (!file) {
    problems.push_back({"", "the file holds no XLIFF <file> element"});
    return false;
  }
  info.cs_Original = file->Attribute("original");
  std::map<std::string, std::string> props;
  if (const XmlNode* group = FindElement(*file, "prop-group")) {
    for (const auto& c : group->children) {
      if (c->element && c->name == "prop") props[c->Attribute("prop-type")] = c->AllText();
    }
  }
  const char* required[] = {"form", "source-language", "target-language", "source-code-page", "target-code-page"};
  for (const char* key : required) {
    if (!props.count(key)) {
      problems.push_back({"", std::string("the header lacks the KWX property \"") + key + "\""});
      return false;
    }
  }
  info.b_RTF = props["form"] == "rtf";
  info.cs_SourceLanguage = props["source-language"];
  info.cs_TargetLanguage = props["target-language"];
  info.i_SourceCodePage = std::atoi(props["source-code-page"].c_str());
  info.i_TargetCodePage = std::atoi(props["target-code-page"].c_str());
  info.b_A4 = props["paper"] != "letter";
  if (info.cs_Original.empty() || info.cs_Original.find('/') != std::string::npos ||
      info.cs_Original.find("..") != std::string::npos) {
    problems.push_back({"", "the original file name \"" + info.cs_Original + "\" is not a plain file name"});
    return false;
  }

  std::vector<const XmlNode*> units;
  FindUnits(*file, units);
  bool ok = true;
  for (const XmlNode* unit : units) {
    const std::string id = unit->Attribute("id");
    const XmlNode* source = unit->Child("source");
    if (!source) {
      problems.push_back({id, "the unit has no source"});
      ok = false;
      continue;
    }
    CodeTable codes;
    CollectCodes(*source, codes);
    const XmlNode* target = unit->Attribute("translate") == "no" ? nullptr : unit->Child("target");
    // An empty target stands for no translation yet.
    if (target && target->children.empty()) target = nullptr;
    std::string line;
    LineBuilder builder(codes, info, id, problems);
    ok = builder.Build(target ? *target : *source, target != nullptr, line) && ok;
    lines.push_back(std::move(line));
  }
  return ok;
}

bool sb_KWXFileToXLIFF(const std::string& translatedPath, const std::string& orgFolder,
                       const std::string& targetLanguage, const std::string& xliffPath,
                       std::vector<st_XLIFFProblem>& problems, bool copySourceToTarget) {
  st_XLIFFFileInfo info;
  info.b_CopySourceToTarget = copySourceToTarget;
  info.cs_Original = FileNameOf(translatedPath);
  info.b_RTF = EndsWithRTF(translatedPath);
  const std::string extension = info.b_RTF ? ".rtf" : ".txt";
  const std::string orgPath = orgFolder + info.cs_Original;
  info.cs_TargetLanguage = targetLanguage;
  info.i_TargetCodePage = CodePageOf(targetLanguage, false);
  if (info.i_TargetCodePage == 0 || ccs_BCP47ForLanguage(targetLanguage).empty()) {
    problems.push_back({"", "the target language \"" + targetLanguage + "\" is not known"});
    return false;
  }
  std::vector<std::string> sourceLines, targetLines;
  try {
    // The source language (and so the code page) comes from the header;
    // ASCII header lines read alike in every code page.
    CQ_KWXReader::sv_ReadKWXLines(orgPath, extension, sourceLines, 1252);
    for (std::size_t i = 0; i < sourceLines.size() && i < 6; ++i) {
      const std::string& line = sourceLines[i];
      if (KWX::b_HasPrefix(line, KWX::PREFIX_SOURCELANGUAGE) && line.size() >= 19) {
        info.cs_SourceLanguage = line.substr(17, line.size() - 19);
      }
    }
    info.i_SourceCodePage = CodePageOf(info.cs_SourceLanguage, true);
    if (info.i_SourceCodePage == 0 || ccs_BCP47ForLanguage(info.cs_SourceLanguage).empty()) {
      problems.push_back({"", "the source file " + orgPath + " names no known source language"});
      return false;
    }
    if (info.i_SourceCodePage != 1252 && info.b_RTF) {
      sourceLines.clear();
      CQ_KWXReader::sv_ReadKWXLines(orgPath, extension, sourceLines, info.i_SourceCodePage);
    }
    CQ_KWXReader::sv_ReadKWXLines(translatedPath, extension, targetLines, info.i_TargetCodePage);
  } catch (int code) {
    problems.push_back({"", "the file could not be read as a KWX file (error " + std::to_string(code) + ")"});
    return false;
  } catch (const Platform::CQ_FileException& e) {
    problems.push_back({"", "the file " + e.m_strFileName + " could not be read"});
    return false;
  }
  if (info.b_RTF) {
    std::string rtf;
    if (ReadWhole(orgPath, rtf)) {
      const std::string head = rtf.substr(0, 8192);
      info.b_A4 = head.find("\\paperw12242") == std::string::npos && head.find("\\paperw15842") == std::string::npos;
    }
  }
  const std::vector<std::string>* targets = &targetLines;
  if (targetLines.size() != sourceLines.size()) {
    problems.push_back({"", "the translated file has " + std::to_string(targetLines.size()) +
                                " lines and its source " + std::to_string(sourceLines.size()) +
                                "; the translated file's lines are the sources"});
    sourceLines = targetLines;
    targets = nullptr;
  }
  const std::string xml = ccs_WriteXLIFF(sourceLines, targets, info);
  const std::string temporary = xliffPath + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << xml;
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      problems.push_back({"", "the file " + xliffPath + " could not be written"});
      return false;
    }
  }
  if (std::rename(temporary.c_str(), xliffPath.c_str()) != 0) {
    std::remove(temporary.c_str());
    problems.push_back({"", "the file " + xliffPath + " could not be written"});
    return false;
  }
  return true;
}

bool sb_XLIFFFileToKWX(const std::string& xliffPath, const std::string& outputFolder, std::string& kwxPath,
                       std::vector<st_XLIFFProblem>& problems) {
  std::string xml;
  if (!ReadWhole(xliffPath, xml)) {
    problems.push_back({"", "the file " + xliffPath + " could not be read"});
    return false;
  }
  st_XLIFFFileInfo info;
  std::vector<std::string> lines;
  if (!sb_ReadXLIFF(xml, info, lines, problems)) return false;
  kwxPath = outputFolder + info.cs_Original;
  CQ_StringList list;
  for (std::string& line : lines) list.push_back(std::move(line));
  try {
    CQ_KWXRTFWriter::sv_WriteTextOrRTF(kwxPath, list, info.b_RTF, info.b_A4, info.i_SourceCodePage,
                                       info.i_TargetCodePage);
  } catch (const Platform::CQ_FileException& e) {
    problems.push_back({"", "the file " + e.m_strFileName + " could not be written"});
    return false;
  }
  return true;
}
