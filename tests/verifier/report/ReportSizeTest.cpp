// The size of a verification report: entries about one segment share it,
// both in memory and in the report, where a run of them shows it once; and
// a report never passes its size limit, saying instead how many entries it
// leaves out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ReportTestSupport.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/verifier/VarnelReport.h"

using namespace ReportTest;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// The source pair of the report tests with one paragraph of the
// translation given `tags` unknown internal tags: every one is an error
// (803) and an added unknown tag (1710) about the same paragraph.
std::string TargetWithTags(const std::string& source, int tags) {
  const std::string paragraph = "<ps \"Body\" 2>A table follows:";
  std::string target = source;
  const std::size_t at = target.find(paragraph);
  EXPECT_NE(at, std::string::npos);
  target.insert(at + paragraph.size(), Repeat("<:cns>", tags));
  return target;
}

TEST(ReportSizeTest, ThousandsOfEntriesAboutOneParagraphShowItOnce) {
  const Folders folders;
  auto session = MakeSession(0, folders);
  const std::string source = ReadFile(DataPath("source.txt"));
  WriteKWX(folders.Org() + "chapter.txt", source, 0);
  const std::string target = folders.Translated() + "chapter.txt";
  constexpr int kTags = 3000;
  WriteKWX(target, TargetWithTags(source, kTags), 0);

  const CQ_StringList paths{target};
  session->v_VerifyVarnels(&paths);
  const std::string report = ReadFile(folders.Translated() + "chapter.cmp");
  // Every entry is there, each numbered once.
  EXPECT_EQ(Count(report, "Error 803. The internal tag <:cns> is not a valid tag."), std::size_t(kTags));
  EXPECT_EQ(Count(report, "Error 1710. The unknown internal tag <:cns> has been added."), std::size_t(kTags));
  // The paragraph once in the validity section, once as the target side of
  // the pair in the comparison.
  EXPECT_EQ(Count(report, "A table follows:" + Repeat("<:cns>", kTags)), 2u);
  EXPECT_LT(report.size(), std::size_t(1) << 20);
}

// Report entries without the verifier: `count` numbered errors, each about
// a segment of `segmentSize` bytes; `runs` consecutive entries share one
// segment.
std::vector<st_VarnelReportEntry> Entries(std::size_t count, std::size_t segmentSize, std::size_t runs) {
  std::vector<st_VarnelReportEntry> entries;
  CQ_SharedText segment;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % runs == 0) {
      std::string text = "<ps \"Body\" " + std::to_string(i) + ">";
      text.resize(segmentSize, 'x');
      segment = CQ_SharedText(text + "\n");
    }
    st_VarnelReportEntry entry;
    const std::string text = "Error 803. The internal tag <:x" + std::to_string(i) + "> is not a valid tag.";
    entry.co_Record = CQ_Morvane_ErrorMessage(3, text, "");
    entry.i_Message = 803;
    entry.i_Section = 8;
    entry.b_Numbered = true;
    entry.i_Context = st_VarnelReportEntry::CONTEXT_SEGMENT;
    entry.cs_Context = segment;
    entries.push_back(std::move(entry));
  }
  return entries;
}

struct Laid {
  std::size_t bytes = 0;     // entries' lines as the text form counts them
  std::size_t messages = 0;  // numbered entries shown
  std::size_t contexts = 0;  // segment blocks shown
  std::string last;
};

Laid LayOut(const std::vector<st_VarnelReportEntry>& entries) {
  const CQ_TagMap none;
  st_VarnelReportTitle title;
  title.b_BackConversion = true;
  const CQ_VarnelReportLines lines =
      CQ_VarnelReport::sco_BuildLines(entries, none, CQ_VarnelReport::sst_Count(entries, none), title);
  Laid laid;
  for (const st_VarnelReportLine& line : lines) {
    laid.bytes += line.cs_Text.size() + 2;
    if (line.cs_Text.rfind("[", 0) == 0) ++laid.messages;
    if (line.cs_Text == "+++++++++++++ Text Segment +++++++++++++") ++laid.contexts;
  }
  if (!lines.empty()) laid.last = lines.back().cs_Text;
  return laid;
}

TEST(ReportSizeTest, RunsOfEntriesShowTheirSegmentOnceAfterTheLast) {
  const Laid laid = LayOut(Entries(12, 40, 4));
  EXPECT_EQ(laid.messages, 12u);
  EXPECT_EQ(laid.contexts, 3u);
  const CQ_TagMap none;
  st_VarnelReportTitle title;
  title.b_BackConversion = true;
  const std::vector<st_VarnelReportEntry> entries = Entries(12, 40, 4);
  const CQ_VarnelReportLines lines =
      CQ_VarnelReport::sco_BuildLines(entries, none, CQ_VarnelReport::sst_Count(entries, none), title);
  // Entries 1 to 4, then the first segment.
  const auto first = std::find_if(lines.begin(), lines.end(),
                                  [](const st_VarnelReportLine& l) { return l.cs_Text.rfind("[1] ", 0) == 0; });
  ASSERT_LT(first + 5, lines.end());
  EXPECT_EQ((first + 3)->cs_Text.substr(0, 4), "[4] ");
  EXPECT_EQ((first + 4)->cs_Text, "+++++++++++++ Text Segment +++++++++++++");
  EXPECT_EQ((first + 5)->cs_Text.substr(0, 14), "<ps \"Body\" 0>x");
}

TEST(ReportSizeTest, ReportStopsAtItsLimitAndCountsWhatItLeavesOut) {
  // 1 KiB segments, each its own, well beyond the limit; then the same
  // with long runs, where a run cut short must still show its segment.
  for (const std::size_t runs : {std::size_t(1), std::size_t(5000)}) {
    // Twice what fits: the segments or, in long runs, the message lines
    // alone (some 60 bytes each) pass the limit.
    const std::size_t count = 2 * CQ_VarnelReport::REPORT_SIZE_LIMIT / (runs == 1 ? 1024 : 48);
    const Laid laid = LayOut(Entries(count, 1024, runs));
    EXPECT_LE(laid.bytes, CQ_VarnelReport::REPORT_SIZE_LIMIT + 4096) << runs;
    EXPECT_GT(laid.bytes, CQ_VarnelReport::REPORT_SIZE_LIMIT - 4096) << runs;
    ASSERT_GT(laid.messages, 0u);
    ASSERT_LT(laid.messages, count);
    EXPECT_EQ(laid.contexts, (laid.messages + runs - 1) / runs) << runs;
    EXPECT_EQ(laid.last, ccs_FormatKernelString(Msg::REPORT_NOTE_ENTRIES_LEFT_OUT, static_cast<int>(CQ_VarnelReport::REPORT_SIZE_LIMIT >> 20),
                                                static_cast<int>(count - laid.messages)))
        << runs;
  }
  // Just under the limit nothing is left out.
  const Laid small = LayOut(Entries(1000, 1024, 1));
  EXPECT_EQ(small.messages, 1000u);
  EXPECT_EQ(small.last.find("size limit"), std::string::npos) << small.last;
}

}  // namespace
