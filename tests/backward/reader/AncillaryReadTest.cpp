// The translated ancillary file as the session reads it through the
// kernel's factory: a file saved again by a word processor gives its
// document section, and each kind of broken RTF gives the session's own
// warning lines while the batch goes on.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"

namespace {

using namespace reader_test;

// A session set up as the document of the ancillary fixture was converted.
struct AncillarySession : ::testing::Test {
  AncillarySession() : session("Halvex Morvane for FrameMaker", "3.0", false) {
    session.v_SetFileFormatForKWX(1);
    session.v_SetSourceLanguage("German");
    session.v_SetTargetLanguage("German");
    session.v_SetKWXVersion(KWX_VERSION_F300);
  }
  std::vector<std::string> Results() const { return {session.rco_GetResults().begin(), session.rco_GetResults().end()}; }
  CQ_Morvane_CommunicationFrame session;
};

TEST_F(AncillarySession, SectionOfAResavedFileIsExtracted) {
  session.v_ReadAncillaryKWXFile(DataPath("resaved/ancillary-1252.rtf"));
  EXPECT_TRUE(SameLines(ExpectedLines("ancillary-1252", 1252), session.rco_GetAncillaryReadBack().Lines()));

  CExtStringList section;
  session.v_ExtractAncillaryKWXSection(&section, 0, "<sourcepath \"C:\\Docs\\kapitel1.mif\">");
  const std::vector<std::string> all = ExpectedLines("ancillary-1252", 1252);
  // From <file ...> to </file ...>: all but the five header lines and </kwx>.
  EXPECT_TRUE(SameLines(std::vector<std::string>(all.begin() + 5, all.end() - 1), section.Lines()));
  EXPECT_TRUE(Results().empty()) << Visible(Results());
}

struct Broken {
  const char* what;
  std::string bytes;
  unsigned first, second;  // the warning lines the session adds
};

void PrintTo(const Broken& b, std::ostream* os) { *os << b.what; }

class BrokenAncillary : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenAncillary, GivesTheSessionsWarning) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  session.v_SetFileFormatForKWX(1);
  const std::string path = TempPath("ancillary.rtf");
  WriteBytes(path, GetParam().bytes);
  EXPECT_NO_THROW(session.v_ReadAncillaryKWXFile(path));
  std::remove(path.c_str());
  EXPECT_TRUE(session.rco_GetAncillaryReadBack().IsEmpty());
  const std::vector<std::string> results(session.rco_GetResults().begin(), session.rco_GetResults().end());
  EXPECT_EQ(results, (std::vector<std::string>{lpsz_LoadKernelString(GetParam().first),
                                                lpsz_LoadKernelString(GetParam().second)}))
      << Visible(results);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenAncillary,
    ::testing::Values(Broken{"not RTF", "<kwx \"F3.00\">\r\n", 1380, 1381},
                      Broken{"a binary file", std::string("\x89PNG\r\n\x1a\n\0\0", 10), 1380, 1381},
                      Broken{"empty", "", 1370, 1371},
                      Broken{"unbalanced groups", "{\\rtf1 {\\cs5 <kwx \"F3.00\">}\\par ", 1370, 1371},
                      Broken{"bin beyond the end", "{\\rtf1 \\bin400 x}", 1370, 1371},
                      Broken{"nested too deep", "{\\rtf1 " + std::string(100000, '{'), 1370, 1371}),
    [](const ::testing::TestParamInfo<Broken>& info) { return "row" + std::to_string(info.index); });

}  // namespace
