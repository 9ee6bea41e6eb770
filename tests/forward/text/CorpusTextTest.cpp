// Every string of the real FrameMaker documents (MIF 4.00, 5.00, 5.50)
// converts into well-formed KWX text, and reading the KWX text back into
// FrameMaker codes gives the codes the MIF string held. Skips when the
// corpus folder is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = MORVANE_CORPUS_DIR;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The corpus files of the MIF versions the system converts.
std::vector<fs::path> ConvertibleFiles() {
  std::vector<fs::path> files;
  std::istringstream manifest(ReadFile(kCorpus / "MANIFEST.tsv"));
  std::string line;
  std::getline(manifest, line);  // column names
  while (std::getline(manifest, line)) {
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
    const std::string version = line.substr(tab1 + 1, tab2 - tab1 - 1);
    if (version == "4.00" || version == "5.00" || version == "5.50") {
      files.push_back(kCorpus / line.substr(0, tab1));
    }
  }
  return files;
}

// Lines of a file with any of CR, LF, CR LF endings, leading blanks cut.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
      std::size_t b = start;
      while (b < i && (text[b] == ' ' || text[b] == '\t')) ++b;
      if (b < i) lines.push_back(text.substr(b, i - b));
      start = i + 1;
    }
  }
  return lines;
}

// The quoted value of a one-line statement "<Name `...'>", or false.
bool QuotedValue(const std::string& line, const std::string& statement, std::string* value) {
  const std::string opening = "<" + statement + " `";
  if (line.compare(0, opening.size(), opening) != 0) return false;
  const std::size_t close = line.rfind("'>");
  if (close == std::string::npos || close < opening.size()) return false;
  *value = line.substr(opening.size(), close - opening.size());
  return true;
}

// A MIF string's characters as FrameMaker codes, read independently of the
// converter: \xNN codes, the escapes \\ \> \q \Q \t, and literal bytes.
// Codes 0x00 to 0x1F without a special-character tag are left out, since
// the conversion drops them.
std::vector<int> MIFCodes(const std::string& content) {
  std::vector<int> codes;
  auto add = [&codes](int code) {
    if (code >= 0x20 || !CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code)).empty()) {
      codes.push_back(code);
    }
  };
  for (std::size_t i = 0; i < content.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(content[i]);
    if (c != '\\' || i + 1 == content.size()) {
      add(c);
      continue;
    }
    const char next = content[++i];
    switch (next) {
      case '\\': add('\\'); break;
      case '>': add('>'); break;
      case 'q': add('\''); break;
      case 'Q': add('`'); break;
      case 't': add(0x08); break;
      case 'x': {
        const std::size_t blank = content.find(' ', i);
        const std::size_t end = blank == std::string::npos ? content.size() : blank;
        add(std::stoi(content.substr(i + 1, end - i - 1), nullptr, 16));
        i = end;
        break;
      }
      default:
        add('\\');
        add(static_cast<unsigned char>(next));
        break;
    }
  }
  return codes;
}

// KWX text read back into FrameMaker codes: tags by the shared tables,
// bytes by the inverse of the character table. -1 marks what has no code.
std::vector<int> KWXCodes(const std::string& kwx) {
  static const std::map<std::string, int> tagCodes = [] {
    std::map<std::string, int> m;
    for (const auto& t : KWX::sast_SpecialCharacters()) m[std::string(t.cs_Tag)] = t.n_Code;
    for (const auto& t : KWX::sast_ReservedCharacters()) m[std::string(t.cs_Tag)] = t.n_Code;
    for (const auto& t : KWX::sast_QuoteTags()) m[std::string(t.cs_Tag)] = t.n_Code;
    m[std::string(KWX::TAG_LT)] = '<';
    m[std::string(KWX::TAG_GT)] = '>';
    return m;
  }();
  std::vector<int> codes;
  for (const KWX::st_Token& token : KWX::sast_Tokenize(kwx)) {
    if (token.et_Kind == KWX::TOKEN_TAG) {
      auto found = tagCodes.find(std::string(token.cs_Text));
      codes.push_back(found == tagCodes.end() ? -1 : found->second);
    } else if (token.et_Kind == KWX::TOKEN_TEXT) {
      for (unsigned char c : token.cs_Text) {
        codes.push_back(CQ_TextConverter::si_FrameCodeFor1252Byte(c));
      }
    } else {
      codes.push_back(-1);
    }
  }
  return codes;
}

// True when the text holds no "<" or ">" outside internal tags.
::testing::AssertionResult WellFormed(const std::string& kwx) {
  for (const KWX::st_Token& token : KWX::sast_Tokenize(kwx)) {
    if (token.et_Kind == KWX::TOKEN_UNCLOSED_TAG ||
        (token.et_Kind == KWX::TOKEN_TAG && !KWX::b_IsInternalTag(token.cs_Text)) ||
        (token.et_Kind == KWX::TOKEN_TEXT && token.cs_Text.find('>') != std::string_view::npos)) {
      return ::testing::AssertionFailure() << "malformed KWX text: " << kwx;
    }
  }
  return ::testing::AssertionSuccess();
}

CQ_TextSettings Settings(bool symbol, int quotes, const char* language) {
  CQ_TextSettings s;
  s.b_SymbolCharacterSet = symbol;
  s.i_SmartQuotes = quotes;
  s.i_SourceCodePage = 1252;
  s.cs_SourceLanguage = language;
  return s;
}

class CorpusTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kCorpus / "MANIFEST.tsv")) {
      GTEST_SKIP() << "corpus folder " << kCorpus << " is absent";
    }
  }
};

TEST_F(CorpusTextTest, StringsConvertAndReadBackToTheSameCodes) {
  const CQ_TextSettings settings[] = {Settings(false, 0, "English (US)"), Settings(false, 1, "English (US)"),
                                      Settings(false, 1, "German")};
  std::size_t strings = 0, escapes = 0;
  for (const fs::path& file : ConvertibleFiles()) {
    for (const std::string& line : Lines(ReadFile(file))) {
      std::string content;
      if (!QuotedValue(line, "String", &content)) continue;
      ++strings;
      escapes += content.find('\\') != std::string::npos;
      const std::vector<int> expected = MIFCodes(content);
      for (const CQ_TextSettings& s : settings) {
        const std::string kwx = ccs_ConvertMIFText(content, s, TEXT_CONTENT);
        ASSERT_TRUE(WellFormed(kwx)) << file.filename() << ": " << line;
        ASSERT_EQ(expected, KWXCodes(kwx)) << file.filename() << ": " << line << "\n  KWX: " << kwx
                                           << "\n  quotes " << s.i_SmartQuotes << ", " << s.cs_SourceLanguage;
      }
    }
  }
  EXPECT_GT(strings, 5000u);
  EXPECT_GT(escapes, 400u);
  std::printf("[ corpus ] %zu strings read back, %zu with escapes\n", strings, escapes);
}

// Names and format texts (tag arguments, autonumbers, marker texts,
// definitions) convert into well-formed text with every flag combination
// and in both character sets.
TEST_F(CorpusTextTest, NamesAndFormatTextsAreWellFormed) {
  const char* statements[] = {"PgfTag",  "FTag",        "PgfNumString", "PgfNumFormat", "XRefName", "XRefDef",
                              "VariableName", "VariableDef", "MText",   "MTypeName",    "ETag",     "InCondition",
                              "CTag",    "PageTag",     "DFNoteAnchorPrefix"};
  const CQ_TextSettings settings[] = {Settings(false, 1, "German"), Settings(true, 1, "English (US)"),
                                      Settings(false, 0, "English (US)")};
  std::size_t names = 0;
  for (const fs::path& file : ConvertibleFiles()) {
    for (const std::string& line : Lines(ReadFile(file))) {
      for (const char* statement : statements) {
        std::string value;
        if (!QuotedValue(line, statement, &value)) continue;
        ++names;
        for (const CQ_TextSettings& s : settings) {
          for (unsigned flags : {TEXT_CONTENT, TEXT_NAME, TEXT_MESSAGE}) {
            const std::string kwx = ccs_ConvertMIFText(value, s, flags);
            ASSERT_TRUE(WellFormed(kwx)) << file.filename() << ": " << line;
            if (flags != TEXT_CONTENT) {
              EXPECT_EQ(std::string::npos, kwx.find("\\t")) << file.filename() << ": " << line << " -> " << kwx;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(names, 1000u);
}

// Every Char statement of the corpus names a character the table knows.
TEST_F(CorpusTextTest, NamedCharactersAreAllKnown) {
  CQ_TextConverter converter(Settings(false, 1, "English (US)"));
  std::size_t chars = 0;
  for (const fs::path& file : ConvertibleFiles()) {
    for (const std::string& line : Lines(ReadFile(file))) {
      if (line.compare(0, 6, "<Char ") != 0) continue;
      std::string name = line.substr(6, line.find('>') - 6);
      while (!name.empty() && name.back() == ' ') name.pop_back();  // MIF 4.00 writes a blank
      ++chars;
      const std::string kwx = converter.ccs_ConvertNamedCharacter(name);
      EXPECT_FALSE(kwx.empty()) << file.filename() << ": " << line;
      EXPECT_TRUE(WellFormed(kwx));
    }
  }
  EXPECT_GT(chars, 100u);
}

}  // namespace
