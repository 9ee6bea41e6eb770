// The compact line machinery against the string forms it replaces inside
// the pre-scan: the reader's view form delivers what the string form
// delivers, the line store keeps every record's text whatever is added or
// dropped later, the block helpers answer alike over both list forms, and a
// statement name compared in place matches the name read out first.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "MIFTestSupport.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/forward/MIFLineStore.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

std::vector<std::string> ViaStrings(CQ_MIFLineReader& reader) {
  std::vector<std::string> lines;
  std::string line;
  while (reader.b_ReadLine(line, true)) lines.push_back(line);
  return lines;
}

std::vector<std::string> ViaViews(CQ_MIFLineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.b_ReadLineView(line)) lines.emplace_back(line);
  return lines;
}

// Texts that exercise line ends, trimming and the 4096-byte blocks.
std::vector<std::pair<std::string, std::string>> ReaderInputs() {
  const std::size_t block = CQ_MIFLineReader::BLOCK_SIZE;
  std::vector<std::pair<std::string, std::string>> inputs = {
      {"LF", "<A\n <B>\n>\n"},
      {"CR LF", "<A\r\n <B>\r\n>\r\n"},
      {"CR only", "<A\r <B>\r>\r"},
      {"mixed", "<A\r\n<B>\r<C>\n\n\r\r<D>"},
      {"blank lines", "<A\n \t \n\v\f\n<B>  \n"},
      {"empty", ""},
      {"only line ends", "\r\n\n\r"},
      {"NUL kept", std::string("<A\0B>\n", 6)},
  };
  for (std::size_t first : {block - 2, block - 1, block, block + 1}) {
    std::string text(first, 'a');
    text += "\r\n  " + std::string(block * 2 + 7, 'b') + "  \n<c>";
    inputs.emplace_back("boundary at " + std::to_string(first), text);
  }
  // Many short CR-only lines: every line end found once per search.
  std::string crOnly;
  for (int i = 0; i < 3000; ++i) crOnly += "<L " + std::to_string(i) + ">\r";
  inputs.emplace_back("3000 CR-only lines", crOnly);
  return inputs;
}

class MIFCompactReaderTest : public mif_test::SessionTest {};

TEST_F(MIFCompactReaderTest, ViewsDeliverWhatStringsDeliver) {
  for (const auto& [name, text] : ReaderInputs()) {
    CQ_MIFLineReader a(text.data(), text.size());
    CQ_MIFLineReader b(text.data(), text.size());
    const std::vector<std::string> expected = ViaStrings(a);
    EXPECT_EQ(ViaViews(b), expected) << name << " (memory)";
    EXPECT_EQ(b.n_LinesRead(), expected.size()) << name;

    mif_test::WriteFile(dir_ + "in.mif", text);
    CQ_MIFLineReader file(dir_ + "in.mif");
    EXPECT_EQ(file.n_SizeHint(), text.size()) << name;
    EXPECT_EQ(ViaViews(file), expected) << name << " (file)";

    // The copying reader writes the same ORG copy whichever form is read.
    {
      CQ_MIFCopyingReader viaViews(dir_ + "in.mif", dir_ + "views.org");
      ViaViews(viaViews);
      viaViews.v_Commit();
      CQ_MIFCopyingReader viaStrings(dir_ + "in.mif", dir_ + "strings.org");
      ViaStrings(viaStrings);
      viaStrings.v_Commit();
    }
    EXPECT_EQ(mif_test::ReadFile(dir_ + "views.org"), mif_test::ReadFile(dir_ + "strings.org")) << name;
  }
}

// Each line with its net depth from the one-walk form, and the same worked
// out from the view form with NetDepth: the reference.
using LinesWithNets = std::vector<std::pair<std::string, int>>;

LinesWithNets ViaNets(CQ_MIFLineReader& reader) {
  LinesWithNets lines;
  std::string_view line;
  int net = 0;
  while (reader.b_ReadLineNet(line, net)) lines.emplace_back(std::string(line), net);
  return lines;
}

LinesWithNets ReferenceNets(CQ_MIFLineReader& reader) {
  LinesWithNets lines;
  std::string_view line;
  while (reader.b_ReadLineView(line)) lines.emplace_back(std::string(line), MIFSyntax::NetDepth(line));
  return lines;
}

// Texts of many random lines from the bytes the scan stops at and their
// neighbours, with every line end and white space: strings with escaped
// apostrophes and backslash runs, comments, closers, image data lines, and
// lines long enough to fill several 16-byte steps.
std::vector<std::pair<std::string, std::string>> ScanInputs() {
  std::vector<std::pair<std::string, std::string>> inputs = ReaderInputs();
  const std::string alphabet = "<<<>>>#``''\\\\a b\t=;?\"\xBC\x3E\x3C\v\f";
  const char* const ends[] = {"\n", "\r", "\r\n", "\n\n", " \n", "\t\r"};
  const char* const starts[] = {"", "", "", " ", "\t", "> # ", "&", "=", "#", "> #", ">"};
  std::mt19937 random(20261209);
  for (int round = 0; round < 60; ++round) {
    std::string text;
    for (int line = 0; line < 300; ++line) {
      text += starts[random() % (sizeof starts / sizeof *starts)];
      const std::size_t size = random() % 70;
      for (std::size_t i = 0; i < size; ++i) text.push_back(alphabet[random() % alphabet.size()]);
      text += ends[random() % (sizeof ends / sizeof *ends)];
    }
    if (round % 2 == 1) text.resize(text.size() - 1);  // the last line without its line end
    inputs.emplace_back("random " + std::to_string(round), text);
  }
  // Closers, "> # end of Name", with comments holding brackets, strings
  // and apostrophes, starting at every offset of a 16-byte step, and texts
  // that end within a closer's first bytes.
  std::string closers;
  for (int shift = 0; shift < 40; ++shift) {
    closers += "<P" + std::string(static_cast<std::size_t>(shift), 'x') + "\n";
    closers += "> # end of P" + std::string(static_cast<std::size_t>(shift % 7), '>') + "\n";
    closers += "> # `<<' # >\r\n> #\n>  # x\n> #> <\n";
  }
  inputs.emplace_back("closers", closers);
  for (const char* tail : {">", "> ", "> #", "> #\n"}) inputs.emplace_back("closer at the end", closers + tail);
  // Statements long enough to cross several 4096-byte blocks of a file.
  std::string longLines;
  for (int i = 0; i < 400; ++i) longLines += "<String `" + std::string(static_cast<std::size_t>(i) * 7, 'x') + "'> # " + std::to_string(i) + "\n";
  inputs.emplace_back("long lines", longLines);
  return inputs;
}

// The scan inputs and every corpus document.
std::vector<std::pair<std::string, std::string>> ScanInputsAndCorpus() {
  std::vector<std::pair<std::string, std::string>> inputs = ScanInputs();
  for (const std::string& name : mif_test::ListFolder(MORVANE_CORPUS_DIR)) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mif") == 0) {
      inputs.emplace_back(name, mif_test::ReadFile(std::string(MORVANE_CORPUS_DIR) + "/" + name));
    }
  }
  return inputs;
}

TEST_F(MIFCompactReaderTest, NetsFoundWhileReadingAreNetDepthsOfTheLinesRead) {
  const std::vector<std::pair<std::string, std::string>> inputs = ScanInputsAndCorpus();
  for (const auto& [name, text] : inputs) {
    CQ_MIFLineReader a(text.data(), text.size());
    CQ_MIFLineReader b(text.data(), text.size());
    const LinesWithNets expected = ReferenceNets(a);
    const LinesWithNets got = ViaNets(b);
    ASSERT_EQ(got.size(), expected.size()) << name << " (memory)";
    for (std::size_t k = 0; k < got.size(); ++k) {
      ASSERT_EQ(got[k], expected[k]) << name << " (memory), line " << k + 1;
    }
    EXPECT_EQ(b.n_LinesRead(), expected.size()) << name;

    mif_test::WriteFile(dir_ + "in.mif", text);
    CQ_MIFLineReader file(dir_ + "in.mif");
    EXPECT_EQ(ViaNets(file), expected) << name << " (file)";

    // The copying reader copies the lines of this form too.
    {
      CQ_MIFCopyingReader viaNets(dir_ + "in.mif", dir_ + "nets.org");
      ViaNets(viaNets);
      viaNets.v_Commit();
    }
    std::string copy;
    for (const auto& [line, net] : expected) copy += line + "\n";
    EXPECT_EQ(mif_test::ReadFile(dir_ + "nets.org"), copy) << name;
  }
}

// The same lines and depths a batch at a time, for every batch size that
// matters: one line, a few, and more than a block holds.
LinesWithNets ViaBatches(CQ_MIFLineReader& reader, std::size_t size) {
  LinesWithNets lines;
  std::vector<CQ_MIFLineReader::st_LineNet> batch(size);
  while (const std::size_t n = reader.n_ReadLinesNet(batch.data(), batch.size())) {
    for (std::size_t k = 0; k < n; ++k) lines.emplace_back(std::string(batch[k].sv_Line), batch[k].i_Net);
  }
  return lines;
}

TEST_F(MIFCompactReaderTest, BatchesGiveTheLinesAndNetsOneByOneReadingGives) {
  const std::vector<std::pair<std::string, std::string>> inputs = ScanInputsAndCorpus();
  for (const auto& [name, text] : inputs) {
    CQ_MIFLineReader a(text.data(), text.size());
    const LinesWithNets expected = ReferenceNets(a);
    mif_test::WriteFile(dir_ + "in.mif", text);
    for (std::size_t size : {1, 3, 256, 5000}) {
      CQ_MIFLineReader memory(text.data(), text.size());
      const LinesWithNets got = ViaBatches(memory, size);
      ASSERT_EQ(got.size(), expected.size()) << name << " (memory, batches of " << size << ")";
      for (std::size_t k = 0; k < got.size(); ++k) {
        ASSERT_EQ(got[k], expected[k]) << name << " (memory, batches of " << size << "), line " << k + 1;
      }
      EXPECT_EQ(memory.n_LinesRead(), expected.size()) << name;
      CQ_MIFLineReader file(dir_ + "in.mif");
      EXPECT_EQ(ViaBatches(file, size), expected) << name << " (file, batches of " << size << ")";
    }
  }
}

TEST_F(MIFCompactReaderTest, ABatchEndsWithALineThatBeginsWithAHash) {
  // A reader that stops at the end marker has copied nothing after it.
  std::string text;
  for (int i = 0; i < 50; ++i) text += "<Line " + std::to_string(i) + " `text of the line'>\n";
  const std::string head = text + "# End of MIFFile\n";
  text = head + "<After 1>\n<After 2 `more text after the end marker'>\n# another comment\n<After 3>\n";
  mif_test::WriteFile(dir_ + "in.mif", text);
  {
    CQ_MIFCopyingReader reader(dir_ + "in.mif", dir_ + "doc.org");
    std::array<CQ_MIFLineReader::st_LineNet, 256> batch;
    bool ended = false;
    while (!ended) {
      const std::size_t n = reader.n_ReadLinesNet(batch.data(), batch.size());
      ASSERT_GT(n, 0u);
      for (std::size_t k = 0; k < n && !ended; ++k) {
        ASSERT_FALSE(batch[k].sv_Line.substr(0, 6) == "<After") << "read past the end marker";
        ended = batch[k].sv_Line == "# End of MIFFile";
        ASSERT_TRUE(!ended || k + 1 == n) << "the end marker is not the last line of its batch";
      }
    }
    reader.v_Commit();
  }
  EXPECT_EQ(mif_test::ReadFile(dir_ + "doc.org"), head);
}

TEST_F(MIFCompactReaderTest, CopyOfLinesLongerThanTheCopyBuffer) {
  const std::string longLine = "<String `" + std::string(200000, 'x') + "'>";
  const std::string text = "<A\n" + longLine + "\n" + std::string(70000, 'y') + "\n>\n";
  mif_test::WriteFile(dir_ + "in.mif", text);
  {
    CQ_MIFCopyingReader reader(dir_ + "in.mif", dir_ + "doc.org");
    ViaViews(reader);
    reader.v_Commit();
  }
  EXPECT_EQ(mif_test::ReadFile(dir_ + "doc.org"), "<A\n" + longLine + "\n" + std::string(70000, 'y') + "\n>\n");
}

TEST(MIFLineStoreTest, RecordsKeepTheirTextAcrossChunksAndRewinds) {
  CQ_MIFLineStore store;
  std::vector<std::pair<st_MIFLine, std::string>> kept;
  std::mt19937 random(7);
  // Enough lines for several chunks, one longer than a chunk among them.
  for (int i = 0; i < 60000; ++i) {
    std::string text = i == 30000 ? std::string(CQ_MIFLineStore::CHUNK_SIZE + 5, 'z')
                                  : "<String `" + std::to_string(random()) + "'>";
    if (i % 7 == 0) text = "<Para";
    kept.emplace_back(store.st_Add(text), text);
  }
  // Lines added after a mark and rewound leave the earlier ones intact, and
  // the room they took is used again.
  const CQ_MIFLineStore::st_Mark mark = store.st_GetMark();
  const std::size_t capacity = store.n_Capacity();
  for (int i = 0; i < 40000; ++i) store.st_Add("<Dropped " + std::to_string(i) + ">");
  store.v_Rewind(mark);
  const st_MIFLine again = store.st_Add("> # end of Para");
  EXPECT_EQ(store.n_Capacity(), capacity);
  EXPECT_EQ(again.sv(), "> # end of Para");
  EXPECT_EQ(again.i_Net, -1);
  for (const auto& [line, text] : kept) {
    ASSERT_EQ(line.sv(), text);
    ASSERT_EQ(line.i_Net, MIFSyntax::NetDepth(text)) << text.substr(0, 40);
  }
  const st_MIFLine literal = CQ_MIFLineStore::sst_Literal("<End of TextRectID>");
  EXPECT_EQ(literal.i_Net, 0);
  store.v_Clear();
  EXPECT_EQ(store.n_Capacity(), 0u);
  EXPECT_EQ(lst_MIFLineStrings({literal}), CQ_MIFLines{"<End of TextRectID>"});
}

// Random lists from MIF-like lines, including lines that open or close
// more than one block and lines whose brackets sit in strings or comments.
CQ_MIFLines RandomLines(std::mt19937& random, std::size_t n) {
  static const char* const kLines[] = {
      "<Para",       "> # end of Para", "<ParaLine",       ">",          "<PgfTag `Body'>", "<String `a > b'>",
      "<ID 5>",      "<TextRect <ID 5>", "<A <B",           ">>",         "<Notes >",        "# <comment>",
      "<X `it\\'s'>", "<MType 2>",       "<String `<odd'>", "<Unique 9>", "<Tbl",            "> # end of Tbl",
  };
  CQ_MIFLines lines;
  for (std::size_t i = 0; i < n; ++i) lines.emplace_back(kLines[random() % (sizeof kLines / sizeof *kLines)]);
  return lines;
}

TEST(MIFCompactSyntaxTest, BlockHelpersAnswerAlikeOverBothListForms) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const CQ_MIFLines strings = RandomLines(random, 1 + random() % 40);
    CQ_MIFLineStore store;
    CQ_MIFLineList compact;
    for (const std::string& s : strings) compact.push_back(store.st_Add(s));
    const std::size_t n = strings.size();
    for (std::size_t open = 0; open < n; ++open) {
      ASSERT_EQ(MIFSyntax::BlockEnd(compact, open, n), MIFSyntax::BlockEnd(strings, open, n))
          << ::testing::PrintToString(strings) << " from " << open;
      std::vector<std::pair<std::size_t, std::size_t>> a;
      std::vector<std::pair<std::size_t, std::size_t>> b;
      const std::size_t end = MIFSyntax::BlockEnd(strings, open, n);
      MIFSyntax::ForEachChild(compact, open, end, [&](std::size_t f, std::size_t l) { a.emplace_back(f, l); });
      MIFSyntax::ForEachChild(strings, open, end, [&](std::size_t f, std::size_t l) { b.emplace_back(f, l); });
      ASSERT_EQ(a, b) << ::testing::PrintToString(strings) << " from " << open;
      std::string_view va;
      std::string_view vb;
      ASSERT_EQ(MIFSyntax::ChildValue(compact, open, end, "ID", va), MIFSyntax::ChildValue(strings, open, end, "ID", vb));
      EXPECT_EQ(va, vb);
      // The value is the first one-line child statement's, as the
      // children are listed.
      std::string_view reference;
      bool found = false;
      for (const auto& [f, l] : b) {
        if (found || l != f + 1) continue;
        if (MIFSyntax::IsStatement(std::string_view(strings[f])) && MIFSyntax::Keyword(strings[f]) == "ID") {
          reference = MIFSyntax::Value(strings[f]);
          found = true;
        }
      }
      std::string_view vc;
      ASSERT_EQ(MIFSyntax::ChildValue(strings, open, end, "ID", vc), found) << ::testing::PrintToString(strings);
      EXPECT_EQ(vc, reference);
      EXPECT_EQ(MIFSyntax::IsStatement(compact[open]), MIFSyntax::IsStatement(std::string_view(strings[open])));
      EXPECT_EQ(MIFSyntax::IsOpening(compact[open]), MIFSyntax::IsOpening(std::string_view(strings[open])));
    }
  }
}

TEST(MIFCompactSyntaxTest, NameComparedInPlaceMatchesTheNameReadOut) {
  const char* const lines[] = {"<Tbl",        "<TblID 3>", "<Tbl>",     "<Tbl <ID 4>", "<Tbl\t",   "<Tbl ",
                               "<TblTitle",   "<",         "<>",        "",            "> Tbl",    "<Tb",
                               "<Tbl`x'>",    "<Para",     "<ParaLine", "<Unique 5>",  "<Unique>", "Tbl"};
  const char* const keywords[] = {"Tbl", "TblID", "Para", "ParaLine", "Unique", "", "Tb"};
  for (const char* line : lines) {
    for (const char* keyword : keywords) {
      EXPECT_EQ(MIFSyntax::HasKeyword(line, keyword), MIFSyntax::Keyword(line) == keyword)
          << '"' << line << "\" / \"" << keyword << '"';
    }
  }
}

}  // namespace
