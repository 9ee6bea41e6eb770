// Pseudo-translation of KWX lines and files.
//
// A line is cut into tags and text runs by the format's own tokenizer, so
// a tag (with any "<:lt>" inside its quoted argument) is never touched.
// Words are runs of ASCII letters; in double-byte code pages the bytes of
// a double-byte character end a word and are copied as they are.
#include "kernel/backward/PseudoTranslation.h"

#include <cctype>
#include <vector>

#include "kernel/backward/KWXReader.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/KWXTextWriter.h"
#include "kernel/forward/TextConverter.h"

namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char Accented(char c) {
  switch (c) {
    case 'a': return '\xE0';
    case 'e': return '\xE9';
    case 'i': return '\xEE';
    case 'o': return '\xF6';
    case 'u': return '\xFC';
    case 'A': return '\xC5';
    case 'E': return '\xC9';
    case 'I': return '\xCF';
    case 'O': return '\xD8';
    case 'U': return '\xDC';
    default: return c;
  }
}

bool IsVowel(char c) { return std::string_view("aeiouAEIOU").find(c) != std::string_view::npos; }

// How a word changes: accented and lengthened, or (double-byte code pages,
// marker text) with its vowels in upper case, which keeps its length.
enum class Style { Accents, Capitals };

void Word(std::string_view word, Style style, std::string& out) {
  if (word.size() < 2) {
    out.append(word);
    return;
  }
  for (char c : word) {
    if (!IsVowel(c)) {
      out.push_back(c);
    } else {
      out.push_back(style == Style::Capitals ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                                             : Accented(c));
    }
  }
  if (style == Style::Accents) out.push_back('\xB7');
}

void Text(std::string_view text, int codePage, Style style, std::string& out) {
  const bool doubleByte = CQ_TextConverter::sb_IsDoubleByteCodePage(codePage);
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (doubleByte && i + 1 < n && CQ_TextConverter::sb_IsLeadByte(codePage, c)) {
      out.append(text.substr(i, 2));
      i += 2;
      continue;
    }
    if (!IsAsciiLetter(c)) {
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < n && IsAsciiLetter(static_cast<unsigned char>(text[j]))) ++j;
    Word(text.substr(i, j - i), style, out);
    i = j;
  }
}

}  // namespace

std::string ccs_PseudoTranslateLine(std::string_view line, int codePage) {
  using KWX::b_HasPrefix;
  // Marker text must stay within FrameMaker's length for marker text.
  const bool marker = b_HasPrefix(line, KWX::PREFIX_MK) || b_HasPrefix(line, KWX::PREFIX_IMK) ||
                      b_HasPrefix(line, KWX::TAG_IE) || b_HasPrefix(line, KWX::TAG_IL) ||
                      b_HasPrefix(line, KWX::TAG_SS) || b_HasPrefix(line, KWX::TAG_SL);
  const Style style =
      marker || CQ_TextConverter::sb_IsDoubleByteCodePage(codePage) ? Style::Capitals : Style::Accents;
  std::string out;
  out.reserve(line.size() + line.size() / 4);
  for (const KWX::st_Token& token : KWX::sast_Tokenize(line)) {
    if (token.et_Kind == KWX::TOKEN_TEXT) {
      Text(token.cs_Text, codePage, style, out);
    } else {
      out.append(token.cs_Text);
    }
  }
  return out;
}

void sv_PseudoTranslateFile(const std::string& inPath, const std::string& outPath,
                            const st_PseudoTranslationOptions& options) {
  const std::size_t dot = inPath.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : inPath.substr(dot);
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadKWXLines(inPath, extension, lines, options.i_SourceCodePage);
  CQ_StringList translated;
  for (const std::string& line : lines) translated.push_back(ccs_PseudoTranslateLine(line, options.i_SourceCodePage));
  bool rtf = extension.size() == 4;
  for (std::size_t i = 0; rtf && i < 4; ++i) rtf = std::tolower(static_cast<unsigned char>(extension[i])) == ".rtf"[i];
  CQ_KWXRTFWriter::sv_WriteTextOrRTF(outPath, translated, rtf, options.b_A4, options.i_SourceCodePage,
                                     options.i_TargetCodePage);
}
