// Damaged MIF files made from the real documents of the shared corpus: a
// statement's opening "<" lost (so its closer is one ">" too many), a
// stray ">" line, and the end marker inside an open section. Each must be
// refused, never read on with the rest of a section taken for the top
// level, which would silently drop most of the document.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "MIFTestSupport.h"
#include "kernel/forward/MIFSyntax.h"
#include "kernel/session/KernelStrings.h"

namespace {

using mif_test::CodeOf;
using mif_test::ListFolder;
using mif_test::ReadFile;
using mif_test::WriteFile;

const std::string kCorpus = MORVANE_CORPUS_DIR;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The corpus documents the converter reads (MIF 4.0 to 5.5), with change
// bars switched off as the user is told to, split into lines.
struct Document {
  std::string name;
  std::vector<std::string> lines;
};

std::vector<Document> ReadableDocuments() {
  std::vector<Document> documents;
  for (const std::string& name : ListFolder(kCorpus)) {
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".mif") != 0) continue;
    std::string text = ReadFile(kCorpus + "/" + name);
    if (text.rfind("<MIFFile 4", 0) != 0 && text.rfind("<MIFFile 5.0", 0) != 0 && text.rfind("<MIFFile 5.5", 0) != 0) {
      continue;
    }
    text = ReplaceAll(ReplaceAll(text, "<FChangeBar Yes", "<FChangeBar No"), "<DAutoChBars Yes", "<DAutoChBars No");
    // CR, LF and CR LF all end a line, as for the reader.
    Document d{name, {}};
    std::size_t from = 0;
    while (from < text.size()) {
      std::size_t end = text.find_first_of("\r\n", from);
      if (end == std::string::npos) end = text.size();
      if (end > from) d.lines.push_back(text.substr(from, end - from));
      from = end + 1;
    }
    documents.push_back(std::move(d));
  }
  return documents;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

// Trimmed as the reader trims.
std::string Trimmed(const std::string& line) {
  const std::size_t b = line.find_first_not_of(" \t\r\v\f");
  if (b == std::string::npos) return {};
  return line.substr(b, line.find_last_not_of(" \t\r\v\f") - b + 1);
}

// Indices of the lines for which keep() holds, at most `count` of them
// spread evenly over the document.
template <class Pred>
std::vector<std::size_t> Sample(const std::vector<std::string>& lines, std::size_t count, Pred keep) {
  std::vector<std::size_t> all;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (keep(Trimmed(lines[k]))) all.push_back(k);
  }
  if (all.size() <= count) return all;
  std::vector<std::size_t> picked;
  for (std::size_t i = 0; i < count; ++i) picked.push_back(all[i * all.size() / count]);
  return picked;
}

class MIFBracketBalanceTest : public mif_test::SessionTest {
 protected:
  int PreScan(const std::string& text) {
    CQ_MIFPreScan scan(session_, mif_test::SecondForm());
    return CodeOf([&] { scan.v_PreScanText(text.data(), text.size()); });
  }
};

TEST_F(MIFBracketBalanceTest, LostOpeningOfAStatementIsRefused) {
  const std::vector<Document> documents = ReadableDocuments();
  if (documents.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  for (const Document& d : documents) {
    ASSERT_EQ(PreScan(Joined(d.lines)), 0) << d.name;
    // ParaLine openings first (the damage found in practice), then
    // openings of any kind, every depth and section.
    for (const bool paraLinesOnly : {true, false}) {
      const auto openings = Sample(d.lines, 12, [&](const std::string& l) {
        return MIFSyntax::NetDepth(l) > 0 && (!paraLinesOnly || l == "<ParaLine" || l.rfind("<ParaLine ", 0) == 0);
      });
      for (std::size_t at : openings) {
        std::vector<std::string> damaged = d.lines;
        damaged[at].erase(damaged[at].find('<'), 1);
        EXPECT_EQ(PreScan(Joined(damaged)), 6) << d.name << " line " << at + 1 << ": " << d.lines[at];
      }
    }
  }
}

TEST_F(MIFBracketBalanceTest, StrayClosingLineIsRefusedWhereverItStands) {
  const std::vector<Document> documents = ReadableDocuments();
  if (documents.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  for (const Document& d : documents) {
    // Before statements at any depth, and before the end marker.
    auto places = Sample(d.lines, 12, [](const std::string& l) { return !l.empty() && l.front() == '<'; });
    const auto end = std::find_if(d.lines.begin(), d.lines.end(),
                                  [](const std::string& l) { return Trimmed(l).rfind("# End of MIFFile", 0) == 0; });
    ASSERT_NE(end, d.lines.end()) << d.name;
    places.push_back(static_cast<std::size_t>(end - d.lines.begin()));
    for (std::size_t at : places) {
      std::vector<std::string> damaged = d.lines;
      damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(at), "> # end of Nothing");
      EXPECT_EQ(PreScan(Joined(damaged)), 6) << d.name << " before line " << at + 1 << ": " << d.lines[at];
    }
  }
}

TEST_F(MIFBracketBalanceTest, EndMarkerInsideAnOpenSectionIsRefused) {
  const std::vector<Document> documents = ReadableDocuments();
  if (documents.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  for (const Document& d : documents) {
    // The end marker written early, inside the last page's statements; the
    // rest of the file follows it.
    std::size_t page = d.lines.size();
    for (std::size_t k = 0; k < d.lines.size(); ++k) {
      if (Trimmed(d.lines[k]).rfind("<Page", 0) == 0 && MIFSyntax::NetDepth(Trimmed(d.lines[k])) > 0) page = k;
    }
    ASSERT_LT(page, d.lines.size()) << d.name;
    std::vector<std::string> damaged = d.lines;
    damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(page + 1), "# End of MIFFile");
    EXPECT_EQ(PreScan(Joined(damaged)), 8) << d.name;
  }
}

TEST_F(MIFBracketBalanceTest, ConversionOfADamagedDocumentWritesNoKWXFile) {
  const std::vector<Document> documents = ReadableDocuments();
  const auto it = std::find_if(documents.begin(), documents.end(),
                               [](const Document& d) { return d.name == "x11__AppGroup_mif400.mif"; });
  if (it == documents.end()) GTEST_SKIP() << "no corpus at " << kCorpus;
  // The first ParaLine of the document loses its "<".
  std::vector<std::string> damaged = it->lines;
  const auto paraLine =
      std::find_if(damaged.begin(), damaged.end(), [](const std::string& l) { return Trimmed(l) == "<ParaLine"; });
  ASSERT_NE(paraLine, damaged.end());
  paraLine->erase(paraLine->find('<'), 1);
  WriteFile(dir_ + "doc.mif", Joined(damaged));
  std::filesystem::create_directories(dir_ + "org");
  session_.v_SetORGFilesPath((dir_ + "org/").c_str());
  session_.v_SetTranslatedFilesPath((dir_ + "org/").c_str());
  session_.v_SetFileFormatForKWX(0);
  CQ_StringList paths = {dir_ + "doc.mif"};
  session_.v_ConvertMIF(&paths);
  const std::vector<std::string> results = Results();
  EXPECT_NE(std::find(results.begin(), results.end(), lpsz_LoadKernelString(Msg::FWD_ERR_PARSER)), results.end())
      << ::testing::PrintToString(results);
  EXPECT_FALSE(mif_test::Exists(dir_ + "org/doc.txt"));
  EXPECT_FALSE(mif_test::Exists(dir_ + "org/doc.org"));
}

}  // namespace
