// The font mapping parser over the real documents: every file parses, the
// recorded positions cut exactly each group's text out of the file, and an
// independent scan finds the same groups in the same contexts. Prefixes of
// a small document either parse or fail with SSException.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "fontmapping/ParserTestSupport.h"
#include "fontmapping/parser/SSException.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  const fs::path dir(MORVANE_CORPUS_DIR);
  if (!fs::is_directory(dir)) return files;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() == ".mif") files.push_back(e.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class ParserCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(ParserCorpus, PositionsCutEveryGroupAndAgreeWithIndependentScan) {
  const std::string text = fmtest::ReadFile(std::string(MORVANE_CORPUS_DIR) + "/" + GetParam());
  ASSERT_FALSE(text.empty());
  // A small buffer, so that refills happen inside statements and line ends.
  const fmtest::st_Result r = fmtest::Parse(text, 4096);
  EXPECT_EQ(r.errors, 0) << (r.log.empty() ? "" : r.log.front());

  const fmtest::LineIndex index(text);
  for (const CTextPiece& p : r.pieces) {
    const std::size_t b = index.Offset(p.i_StartLine, p.i_StartColumn);
    const std::size_t e = index.Offset(p.i_EndLine, p.i_EndColumn);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(e, std::string::npos);
    ASSERT_EQ(text.substr(b, e - b), p.ccs_Text) << "piece at line " << p.i_StartLine;
    EXPECT_EQ(p.n_Value, b);
  }

  const std::vector<fmtest::st_Group> groups = fmtest::ScanGroups(text);
  ASSERT_EQ(groups.size(), r.pieces.size());
  std::map<std::pair<int, int>, int> scanned, parsed;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    ++scanned[{groups[i].kind, groups[i].origin}];
    ++parsed[{r.pieces[i].i_Kind, r.pieces[i].i_Origin}];
    EXPECT_EQ(groups[i].begin, r.pieces[i].n_Value) << "group " << i;
    EXPECT_EQ(text.substr(groups[i].begin, groups[i].end - groups[i].begin), r.pieces[i].ccs_Text) << "group " << i;
  }
  EXPECT_EQ(scanned, parsed);

  // Identifiers: none in catalogs, the object's own kind elsewhere (older
  // and newer MIF versions may lack them).
  const bool supported = text.rfind("<MIFFile 4.00", 0) == 0 || text.rfind("<MIFFile 5.00", 0) == 0 ||
                         text.rfind("<MIFFile 5.50", 0) == 0;
  if (supported) {
    EXPECT_GT(r.pieces.size(), 30u);
  }
  for (const CTextPiece& p : r.pieces) {
    switch (p.i_Origin) {
      case 1:
      case 2:
      case 3: EXPECT_EQ(p.ccs_ObjectId, "") << p.i_StartLine; break;
      case 4:
        if (supported) {
          EXPECT_EQ(p.ccs_ObjectId.rfind("<TextRectID ", 0), 0u) << p.i_StartLine;
        }
        break;
      case 6:
        if (supported) {
          EXPECT_EQ(p.ccs_ObjectId.rfind("<Unique ", 0), 0u) << p.i_StartLine;
        }
        break;
      default: break;
    }
  }
}

TEST_P(ParserCorpus, BufferSizeDoesNotChangeThePieces) {
  const std::string text = fmtest::ReadFile(std::string(MORVANE_CORPUS_DIR) + "/" + GetParam());
  const fmtest::st_Result whole = fmtest::Parse(text, -1);
  const fmtest::st_Result small = fmtest::Parse(text, 1000);
  ASSERT_EQ(whole.pieces.size(), small.pieces.size());
  for (std::size_t i = 0; i < whole.pieces.size(); ++i) {
    EXPECT_EQ(whole.pieces[i].ccs_Text, small.pieces[i].ccs_Text);
    EXPECT_EQ(whole.pieces[i].i_EndLine, small.pieces[i].i_EndLine);
    EXPECT_EQ(whole.pieces[i].i_EndColumn, small.pieces[i].i_EndColumn);
    EXPECT_EQ(whole.pieces[i].ccs_ObjectId, small.pieces[i].ccs_ObjectId);
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, ParserCorpus, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) {
                           std::string name = info.param.substr(0, info.param.size() - 4);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ParserCorpus);

TEST(ParserCorpusFiles, CorpusIsPresent) {
  if (CorpusFiles().empty()) GTEST_SKIP() << "no corpus at " << MORVANE_CORPUS_DIR;
  EXPECT_GE(CorpusFiles().size(), 8u);
}

// Every sampled prefix of a small document (each line boundary, and every
// 101st byte) parses or fails with SSException, never otherwise.
TEST(ParserPrefixes, EveryPrefixParsesOrFailsCleanly) {
  const std::string path = std::string(MORVANE_CORPUS_DIR) + "/x11__lbxalg_mif400.mif";
  if (!fs::exists(path)) GTEST_SKIP() << "no corpus document " << path;
  const std::string text = fmtest::ReadFile(path);
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < text.size(); i += 101) cuts.push_back(i);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') cuts.push_back(i + 1);
  }
  std::size_t parsed = 0, failed = 0;
  for (std::size_t cut : cuts) {
    try {
      const fmtest::st_Result r = fmtest::Parse(std::string_view(text).substr(0, cut), 512);
      ++parsed;
      for (const CTextPiece& p : r.pieces) ASSERT_EQ(text.compare(p.n_Value, p.ccs_Text.size(), p.ccs_Text), 0);
    } catch (const SSException& e) {
      ++failed;
      EXPECT_NE(std::string(e.what()).find("SS"), std::string::npos);
    }
  }
  EXPECT_EQ(parsed + failed, cuts.size());
  EXPECT_GT(failed, 0u);  // a prefix that ends inside a string cannot lex
  EXPECT_GT(parsed, 0u);
}

}  // namespace
