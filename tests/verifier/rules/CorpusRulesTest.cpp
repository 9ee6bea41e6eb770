// Every real document of the corpus in MIF 4.0, 5.0 or 5.5 (change bars
// switched off in a copy, as users are told to) converts to KWX that the
// verifier finds clean: as a source, as a target identical to its source,
// and in back-conversion mode against the converter's own tag table; its
// ancillary section likewise. The KWX goes through the text writer and the
// reader, as a file would. Skipped when the corpus folder is absent. The
// golden outputs of the forward conversion tests are held to the same.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/forward/KWXTextWriter.h"
#include "kernel/forward/MIFToKWXConverter.h"
#include "verifier/rules/RulesTestSupport.h"

using namespace RulesTest;

namespace {

const std::string CORPUS = MORVANE_CORPUS_DIR;

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  std::error_code error;
  if (!std::filesystem::is_directory(CORPUS, error)) return {"(no corpus)"};
  for (const auto& entry : std::filesystem::directory_iterator(CORPUS)) {
    if (entry.path().extension() != ".mif") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string head(16, '\0');
    in.read(head.data(), 16);
    if (head.rfind("<MIFFile 4", 0) == 0 || head.rfind("<MIFFile 5.0", 0) == 0 || head.rfind("<MIFFile 5.5", 0) == 0) {
      names.push_back(entry.path().filename());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string WithoutChangeBars(std::string mif) {
  for (const std::string from : {"<FChangeBar Yes", "<DAutoChBars Yes"}) {
    const std::string to = from.substr(0, from.size() - 3) + "No ";
    for (std::size_t at = mif.find(from); at != std::string::npos; at = mif.find(from, at + to.size())) {
      mif.replace(at, from.size(), to);
    }
  }
  return mif;
}

// Lines written by the text writer and read back by the reader.
std::vector<std::string> ThroughAFile(const std::vector<std::string>& lines) {
  const std::string path = std::filesystem::temp_directory_path() / ("varnel-corpus-" + std::to_string(::getpid()) + ".txt");
  CQ_KWXTextWriter::sv_Write(path, lines);
  std::vector<std::string> read;
  CQ_KWXReader::sv_ReadKWXLines(path, ".txt", read, 1252);
  std::filesystem::remove(path);
  return read;
}

// The tags back conversion knows besides those the conversion made.
CQ_TagMap BackConversionTagMap(const CQ_MIFToKWXConverter& converter, const std::vector<std::string>& kwx) {
  CQ_TagMap map = converter.rco_GetTagTables().cco_CopyTagToFragment();
  for (const auto& [tag, unused] : TagMapOf(Build(BODY, ""))) map.emplace(tag, "");
  for (const std::string& line : kwx) {
    if (line.rfind("<sourcepath \"", 0) == 0) {
      const std::string value = line.substr(12);
      map.emplace(line, "");
      map.emplace("<file " + value, "");
      map.emplace("</file " + value, "");
    }
  }
  return map;
}

std::string Failures(const CQ_VarnelVerifier& verifier) {
  std::ostringstream out;
  int shown = 0;
  for (const st_VarnelReportEntry& entry : verifier.rco_Entries()) {
    if (++shown > 12) break;
    out << "  [section " << entry.i_Section << "] " << entry.co_Record.ccs_Text << "\n    in: "
        << entry.cs_Context.str().substr(0, 300) << "\n";
  }
  return out.str();
}

class CorpusRulesTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusRulesTest, ForwardConvertedDocumentVerifiesClean) {
  if (GetParam() == "(no corpus)") GTEST_SKIP() << "corpus folder " << CORPUS << " is absent";
  std::ifstream in(CORPUS + "/" + GetParam(), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto session = MakeSession();
  const std::string sourcePath = "C:\\Corpus\\" + GetParam();
  CQ_MIFToKWXConverter converter(*session, CQ_MIFToKWXConverter::st_InMemoryOptions(sourcePath));
  converter.v_ConvertText(WithoutChangeBars(bytes.str()));

  const std::vector<std::string> kwx =
      ThroughAFile({converter.rco_GetKWXLines().begin(), converter.rco_GetKWXLines().end()});
  ASSERT_GT(kwx.size(), 7u);
  CQ_FrameVarnelVerifier document(*session, true);
  ASSERT_TRUE(document.b_CheckSource(kwx)) << Failures(document);
  ASSERT_TRUE(document.b_CheckTarget(kwx)) << Failures(document);
  EXPECT_TRUE(document.rco_Entries().empty()) << GetParam() << "\n" << Failures(document);
  CQ_FrameVarnelVerifier backwards(*session, true);
  EXPECT_TRUE(backwards.b_CheckTranslatedList(kwx, BackConversionTagMap(converter, kwx))) << Failures(backwards);
  EXPECT_TRUE(backwards.rco_Entries().empty()) << GetParam() << "\n" << Failures(backwards);

  // The ancillary file: the header without its source path, then the section.
  std::vector<std::string> section(converter.rco_GetAncillarySection().begin(),
                                   converter.rco_GetAncillarySection().end());
  ASSERT_FALSE(section.empty());
  std::vector<std::string> ancillary(kwx.begin(), kwx.begin() + 5);
  ancillary.insert(ancillary.end(), section.begin(), section.end());
  ancillary.push_back("</kwx>");
  ancillary = ThroughAFile(ancillary);
  CQ_FrameVarnelVerifier shared(*session, false);
  ASSERT_TRUE(shared.b_CheckSource(ancillary)) << Failures(shared);
  ASSERT_TRUE(shared.b_CheckTarget(ancillary)) << Failures(shared);
  EXPECT_TRUE(shared.rco_Entries().empty()) << GetParam() << " (ancillary)\n" << Failures(shared);
  // Back conversion checks the section between a first and a last line of its own.
  std::vector<std::string> framed{"<kwx \"F3.00\">"};
  framed.insert(framed.end(), ancillary.begin() + 5, ancillary.end());
  CQ_FrameVarnelVerifier sharedBackwards(*session, false);
  EXPECT_TRUE(sharedBackwards.b_CheckTranslatedList(framed, BackConversionTagMap(converter, kwx)))
      << Failures(sharedBackwards);
  EXPECT_TRUE(sharedBackwards.rco_Entries().empty()) << GetParam() << " (ancillary)\n" << Failures(sharedBackwards);
}

// The text boxes' paragraphs as back conversion counts them in the lines
// forward conversion makes agree with the structure check's count, so an
// untouched translation never has a surplus (412); the document's and the
// section's blocks never share a number (413).
TEST_P(CorpusRulesTest, BackConversionCountsAgreeWithTheStructureCheck) {
  if (GetParam() == "(no corpus)") GTEST_SKIP() << "corpus folder " << CORPUS << " is absent";
  std::ifstream in(CORPUS + "/" + GetParam(), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto session = MakeSession();
  CQ_MIFToKWXConverter converter(*session, CQ_MIFToKWXConverter::st_InMemoryOptions("C:\\Corpus\\" + GetParam()));
  converter.v_ConvertText(WithoutChangeBars(bytes.str()));
  const std::vector<std::string> kwx =
      ThroughAFile({converter.rco_GetKWXLines().begin(), converter.rco_GetKWXLines().end()});
  std::vector<std::string> framed{"<kwx \"F3.00\">"};
  framed.insert(framed.end(), converter.rco_GetAncillarySection().begin(), converter.rco_GetAncillarySection().end());
  framed.push_back("</kwx>");

  CQ_TagStructureCheck::CQ_ParagraphCounter body;
  for (const std::string& line : converter.rco_GetKWXLines()) body.v_Line(line);
  CQ_TagStructureCheck::CQ_ParagraphCounter section;
  for (const std::string& line : converter.rco_GetAncillarySection()) section.v_Line(line);
  // Fed the exploded tokens instead, as back conversion feeds it, the
  // counter finds the same.
  st_KWXTokenViews tokens;
  KWXBack::sv_ExplodeLines(converter.rco_GetCompactKWXLines(), 0, tokens);
  CQ_TagStructureCheck::CQ_ParagraphCounter byTokens;
  for (std::string_view token : tokens.asv_Tokens) byTokens.v_Token(token);
  EXPECT_EQ(byTokens.rco_Paragraphs(), body.rco_Paragraphs());

  // The structure check over the same lines finds the same counts.
  CQ_FrameVarnelVerifier verification(*session, true);
  ASSERT_TRUE(verification.b_CheckSource(kwx)) << Failures(verification);
  KWX::CQ_TagSegmentList segments;
  KWX::CQ_KWXSegmenter::sv_Tokenise(kwx, segments);
  KWX::CQ_KWXSegmenter::st_Classify(segments, true);
  std::vector<int> ids;
  for (const KWX::st_TagSegment& segment : segments) ids.push_back(segment.i_TagId);
  CQ_TagStructureCheck check(segments, ids, true, [](int, std::size_t, std::string_view, std::string) {});
  check.v_Run();
  EXPECT_EQ(check.rco_Paragraphs(), body.rco_Paragraphs());
  EXPECT_FALSE(body.rco_Paragraphs().empty());

  const CQ_TagMap tags = BackConversionTagMap(converter, kwx);
  CQ_TagStructureCheck::CQ_BlockTags documentBlocks;
  st_BackConversionContext documentContext;
  documentContext.pcco_SourceParagraphs = &body.rco_Paragraphs();
  documentContext.pco_Blocks = &documentBlocks;
  CQ_FrameVarnelVerifier backwards(*session, true);
  EXPECT_TRUE(backwards.b_CheckTranslatedList(kwx, tags, &documentContext)) << Failures(backwards);
  EXPECT_FALSE(documentBlocks.empty());
  st_BackConversionContext sectionContext;
  sectionContext.pcco_SourceParagraphs = &section.rco_Paragraphs();
  sectionContext.pcco_BlocksElsewhere = &documentBlocks;
  CQ_FrameVarnelVerifier sharedBackwards(*session, false);
  EXPECT_TRUE(sharedBackwards.b_CheckTranslatedList(framed, tags, &sectionContext)) << Failures(sharedBackwards);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusRulesTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// --- golden outputs of forward conversion ----------------------------------------------

const std::string GOLDEN = std::string(MORVANE_TEST_DATA_DIR) + "/convert/golden";

std::vector<std::string> GoldenCases() {
  std::vector<std::string> names;
  std::error_code error;
  if (!std::filesystem::is_directory(GOLDEN, error)) return {"(no golden cases)"};
  for (const auto& entry : std::filesystem::directory_iterator(GOLDEN)) {
    if (std::filesystem::exists(entry.path() / "expected.txt")) names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class GoldenRulesTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRulesTest, ForwardConversionOutputVerifiesClean) {
  if (GetParam() == "(no golden cases)") GTEST_SKIP() << "no golden conversion cases in " << GOLDEN;
  const std::vector<std::string> kwx = Lines(ReadFile(GOLDEN + "/" + GetParam() + "/expected.txt"));
  ASSERT_GT(kwx.size(), 7u);
  auto session = MakeSession();
  CQ_FrameVarnelVerifier document(*session, true);
  ASSERT_TRUE(document.b_CheckSource(kwx)) << Failures(document);
  ASSERT_TRUE(document.b_CheckTarget(kwx)) << Failures(document);
  EXPECT_TRUE(document.rco_Entries().empty()) << Failures(document);

  const std::vector<std::string> section = Lines(ReadFile(GOLDEN + "/" + GetParam() + "/expected-ancillary.txt"));
  if (section.empty()) return;
  std::vector<std::string> ancillary(kwx.begin(), kwx.begin() + 5);
  ancillary.insert(ancillary.end(), section.begin(), section.end());
  ancillary.push_back("</kwx>");
  CQ_FrameVarnelVerifier shared(*session, false);
  ASSERT_TRUE(shared.b_CheckSource(ancillary)) << Failures(shared);
  ASSERT_TRUE(shared.b_CheckTarget(ancillary)) << Failures(shared);
  EXPECT_TRUE(shared.rco_Entries().empty()) << Failures(shared);
}

INSTANTIATE_TEST_SUITE_P(Convert, GoldenRulesTest, ::testing::ValuesIn(GoldenCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
