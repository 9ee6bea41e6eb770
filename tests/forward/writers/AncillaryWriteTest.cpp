// End to end through a session without GUI: the named form of
// b_CreateAncillaryFile writes a real ancillary file through the kernel's
// converter factory, as RTF or text, and reports file errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forward/writers/WritersTestSupport.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"

using namespace writers_test;

namespace {

class AncillaryWriteTest : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    session_.v_SetSourceLanguage("Japanese");
    session_.v_SetTargetLanguage("English (US)");
    ASSERT_EQ(932, session_.i_GetSourceCodePage());
    ASSERT_EQ(1252, session_.i_GetTargetCodePage());
    session_.v_SetCharacterSet(0);
    session_.v_SetSourceHyphenation(1);
    session_.v_SetSmartQuotes(1);
    section_ = ReadLines(DataDir() + "ancillary_section.kwx");
    ASSERT_EQ(25u, section_.size());
    session_.v_AddToAncillaryFile(&section_);
  }

  std::vector<std::string> Results() {
    std::vector<std::string> lines;
    char buffer[4096];
    while (session_.b_GetNextMessage(buffer)) lines.emplace_back(buffer);
    return lines;
  }

  CQ_Morvane_CommunicationFrame session_{"Halvex Morvane for FrameMaker", "3.0", false};
  CQ_StringList section_;
};

TEST_F(AncillaryWriteTest, WritesTheRTFFormOnLetterPaperWithTheTargetFont) {
  session_.v_SetFileFormatForKWX(1);
  session_.v_SetRTFPageSize(1);
  const std::string path = dir_ + "ancillary.rtf";
  ASSERT_TRUE(session_.b_CreateAncillaryFile(path));
  EXPECT_TRUE(SameBytes(ReadBytes(DataDir() + "ancillary_932_letter.rtf"), ReadBytes(path)));
  EXPECT_EQ((std::vector<std::string>{"Created the ancillary file:", path}), Results());
  EXPECT_EQ(std::vector<std::string>{"ancillary.rtf"}, Entries());
}

TEST_F(AncillaryWriteTest, WritesTheTextForm) {
  session_.v_SetFileFormatForKWX(0);
  const std::string path = dir_ + "ancillary.txt";
  ASSERT_TRUE(session_.b_CreateAncillaryFile(path));
  EXPECT_TRUE(SameBytes(ReadBytes(DataDir() + "ancillary_932.txt"), ReadBytes(path)));
  EXPECT_EQ((std::vector<std::string>{"Created the ancillary file:", path}), Results());
}

TEST_F(AncillaryWriteTest, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
  for (int format = 0; format < 2; ++format) {
    session_.v_SetFileFormatForKWX(format);
    const std::string path = dir_ + "no_such_folder/ancillary.rtf";
    EXPECT_FALSE(session_.b_CreateAncillaryFile(path)) << "format " << format;
    EXPECT_EQ((std::vector<std::string>{lpsz_LoadKernelString(Msg::FILE_ERR_NOT_FOUND), std::string(lpsz_LoadKernelString(Msg::FILE_NAME_LABEL)) + path}),
              Results())
        << "format " << format;
  }
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
