// Result codes to results lines, exceptions, error records and the results
// queue.
#include <filesystem>
#include <iterator>

#include "SessionTestSupport.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

namespace morvane_test {
namespace {

using Lines = std::vector<std::string>;

std::string S(unsigned id) { return lpsz_LoadKernelString(id); }

class ErrorReportingTest : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    session = std::make_unique<CQ_Morvane_CommunicationFrame>("Halvex Morvane for FrameMaker", "3.0", true);
    session->v_SetUI(&window);
  }
  // Reports one code for the task; returns whether the batch goes on.
  bool Report(int task, int code) {
    session->v_SetTask(task);
    return session->b_ErrorReporting(code, processed, failed, 3);
  }
  RecordingWindow window;
  std::unique_ptr<CQ_Morvane_CommunicationFrame> session;
  int processed = 0, failed = 0;
};

TEST_F(ErrorReportingTest, DoneAndOrdinaryFailuresContinue) {
  struct Case {
    int task, code;
    Lines lines;
    int failed;
  } const cases[] = {
      {TASK_MIF_TO_KWX, Result::OK, {"Done.", ""}, 0},
      {TASK_VERIFY, Result::OK, {"Done.", ""}, 0},
      {TASK_MIF_TO_KWX, Result::FILE_SKIPPED, {S(Msg::FWD_ERR_CANCELLED), ""}, 1},
      {TASK_KWX_TO_MIF, Result::FILE_SKIPPED, {S(Msg::BACK_ERR_CANCELLED), ""}, 1},
      {TASK_VERIFY, Result::FILE_SKIPPED, {S(Msg::VERIFY_ERR_CANCELLED), ""}, 1},
      {TASK_MIF_TO_KWX, Result::ALREADY_REPORTED, {""}, 1},
      {TASK_MIF_TO_KWX, Result::AUTO_CHANGE_BARS, {S(Msg::FWD_ERR_AUTO_CHANGE_BARS), S(Msg::FWD_ERR_AUTO_CHANGE_BARS_HINT), S(Msg::FWD_ERR_AUTO_CHANGE_BARS_HINT2), ""}, 1},
      {TASK_VERIFY, Result::AUTO_CHANGE_BARS, {S(Msg::FWD_ERR_AUTO_CHANGE_BARS), S(Msg::FWD_ERR_AUTO_CHANGE_BARS_HINT), S(Msg::FWD_ERR_AUTO_CHANGE_BARS_HINT2), ""}, 1},
      {TASK_MIF_TO_KWX, Result::DISK_FULL, {S(Msg::FWD_ERR_DISK_SPACE), ""}, 1},
      {TASK_VERIFY, Result::DISK_FULL, {""}, 1},
      {TASK_KWX_TO_MIF, Result::KWX_MORE_RECENT, {S(Msg::BACK_ERR_MORE_RECENT), S(Msg::BACK_ERR_MORE_RECENT_HINT), ""}, 1},
      {TASK_VERIFY, Result::KWX_MORE_RECENT, {S(Msg::VERIFY_ERR_MORE_RECENT), S(Msg::VERIFY_ERR_MORE_RECENT_HINT), ""}, 1},
      {TASK_KWX_TO_MIF, Result::TAG_ERRORS, {S(Msg::BACK_ERR_TAGS), ""}, 1},
      {TASK_VERIFY, Result::KWX_VERSION_MISMATCH, {S(Msg::VERIFY_ERR_VERSION_MISMATCH), ""}, 1},
      {TASK_KWX_TO_MIF, Result::KWX_VERSION_MISMATCH, {""}, 1},
      {TASK_MIF_TO_KWX, Result::CONVERTER_REPORTED_2, {""}, 1},
      {TASK_NONE, Result::IXGEN_MARKERS, {S(Msg::FWD_ERR_IXGEN_MARKERS), S(Msg::FWD_ERR_IXGEN_MARKERS_HINT), S(Msg::FWD_ERR_IXGEN_MARKERS_HINT2), ""}, 1},
      {TASK_NONE, Result::OK, {""}, 0},
      // A failed consistency check of the kernel is its own error, in every
      // task, never "the file is damaged"; the batch goes on.
      {TASK_MIF_TO_KWX, Result::INTERNAL_ERROR, {S(Msg::INTERNAL_ERROR), ""}, 1},
      {TASK_KWX_TO_MIF, Result::INTERNAL_ERROR, {S(Msg::INTERNAL_ERROR), ""}, 1},
      {TASK_VERIFY, Result::INTERNAL_ERROR, {S(Msg::INTERNAL_ERROR), ""}, 1},
  };
  for (const Case& c : cases) {
    processed = failed = 0;
    window.boxes.clear();
    EXPECT_TRUE(Report(c.task, c.code)) << c.code;
    EXPECT_EQ(Drain(*session), c.lines) << "task " << c.task << " code " << c.code;
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(failed, c.failed) << c.code;
    EXPECT_TRUE(window.boxes.empty());
  }
  EXPECT_EQ(S(Msg::FWD_ERR_IXGEN_MARKERS_HINT), "Please see \"Preparing FrameMaker Files\" in Halvex Morvane for FrameMaker User Guide");
  EXPECT_EQ(S(Msg::INTERNAL_ERROR).find("Internal Error 190. "), 0u);
  EXPECT_NE(S(Msg::INTERNAL_ERROR).find("please report"), std::string::npos);
  EXPECT_EQ(S(Msg::INTERNAL_ERROR).find("damaged"), std::string::npos);
}

TEST_F(ErrorReportingTest, BatchEndingCodesCloseTheBatch) {
  struct Case {
    int task, code;
    std::string line, box;
  } const cases[] = {
      {TASK_MIF_TO_KWX, Result::BATCH_CANCELLED, S(Msg::FWD_ERR_CANCELLED), "Batch cancelled. 1 file(s) converted."},
      {TASK_KWX_TO_MIF, Result::CANCELLED, S(Msg::BACK_ERR_CANCELLED), "Batch cancelled. 1 file(s) converted."},
      {TASK_VERIFY, Result::CANCELLED, S(Msg::VERIFY_ERR_CANCELLED), "Batch cancelled. 1 file(s) verified."},
      {TASK_MIF_TO_KWX, Result::OUT_OF_MEMORY, S(Msg::FWD_ERR_MEMORY), "A memory error has occurred. 1 file(s) converted."},
      {TASK_VERIFY, 12345, S(Msg::VERIFY_ERR_UNKNOWN_PARSER), "An unknown parser error has occurred. 1 file(s) verified."},
      {TASK_KWX_TO_MIF, Result::NO_CONVERTER, S(Msg::BACK_ERR_UNKNOWN_PARSER), "An unknown parser error has occurred. 1 file(s) converted."},
  };
  for (const Case& c : cases) {
    // Two files went before: one done, one failed.
    processed = 2;
    failed = 1;
    window.boxes.clear();
    EXPECT_FALSE(Report(c.task, c.code)) << c.code;
    Lines expected = {c.line, "", Underscores(), "", "The batch was cancelled.", Underscores()};
    EXPECT_EQ(Drain(*session), expected) << c.code;
    EXPECT_EQ(processed, 3);
    EXPECT_EQ(failed, 2);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, c.box);
    EXPECT_EQ(window.boxes[0].caption, "Halvex Morvane for FrameMaker");
    EXPECT_EQ(window.boxes[0].style, Platform::MB_OK | Platform::MB_ICONSTOP);
  }
  // Without a known task there is no batch to end.
  EXPECT_TRUE(Report(TASK_NONE, 12345));
  EXPECT_EQ(Drain(*session), Lines{""});
}

TEST_F(ErrorReportingTest, VerificationCounts) {
  session->v_SetVerificationErrors(2);
  session->v_SetVerificationWarnings(3);
  EXPECT_TRUE(Report(TASK_VERIFY, Result::VERIFICATION_FAILED));
  EXPECT_EQ(Drain(*session), (Lines{S(Msg::VERIFICATION_FAILED), "Errors: 2", "Warnings: 3", ""}));
  EXPECT_EQ(failed, 1);

  session->v_SetVerificationErrors(0);
  session->v_SetVerificationWarnings(0);
  EXPECT_TRUE(Report(TASK_VERIFY, Result::VERIFICATION_COMPLETE));
  EXPECT_EQ(Drain(*session), (Lines{"Verification complete.", ""}));
  EXPECT_EQ(failed, 1);

  session->v_SetVerificationAlerts(1);
  session->v_SetVerificationWarnings(4);
  session->v_SetVerificationSuppressions(7);
  EXPECT_TRUE(Report(TASK_VERIFY, Result::VERIFICATION_COMPLETE));
  EXPECT_EQ(Drain(*session),
            (Lines{"Verification complete.", "Alerts: 1", "Warnings: 4", "Suppressed Alerts/Warnings: 7", ""}));
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(processed, 3);
}

TEST_F(ErrorReportingTest, FileAndArchiveExceptions) {
  Platform::CQ_FileException notFound(Platform::CQ_FileException::OsErrorToCause(ENOENT), "/data/a.mif");
  session->v_FileErrorReporting(&notFound);
  Platform::CQ_FileException full(Platform::CQ_FileException::OsErrorToCause(ENOSPC), "/data/b.rtf");
  session->v_FileErrorReporting(&full);
  Platform::CQ_FileException odd(99, "x");
  session->v_FileErrorReporting(&odd);
  Platform::CQ_ArchiveException archive("/data/c.rtf");
  session->v_ArchiveErrorReporting(&archive);
  EXPECT_EQ(Drain(*session), (Lines{"File Error 3110. The file could not be located.", "Filename:/data/a.mif",
                                   "File Error 3080. The disk is full.", "Filename:/data/b.rtf",
                                   "File Error 3040. An unspecified error occurred.", "Filename:x",
                                   "File Error 3030. An unspecified archive error occurred.", "Filename:/data/c.rtf"}));
  const int resultsMessage = static_cast<int>(session->n_GetMsgUpdateResults());
  EXPECT_EQ(window.Count(static_cast<unsigned>(resultsMessage), 0), 4);

  const struct {
    int error, cause;
  } causes[] = {{0, 0},       {ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4}, {EACCES, 5}, {EBADF, 6}, {EBUSY, 7},
                {EMLINK, 8},  {ESPIPE, 9}, {EIO, 10},    {ETXTBSY, 11}, {ENOLCK, 12}, {ENOSPC, 13}, {EPROTO, 1}};
  for (const auto& c : causes) EXPECT_EQ(Platform::CQ_FileException::OsErrorToCause(c.error), c.cause) << c.error;
}

TEST_F(ErrorReportingTest, NextMessageCopiesSafely) {
  char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE + 16];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_FALSE(session->b_GetNextMessage(buffer));
  EXPECT_EQ(buffer[0], '#');

  session->v_AddMessage(std::string(5000, 'x'));
  session->v_AddMessage("");
  ASSERT_TRUE(session->b_GetNextMessage(buffer));
  EXPECT_EQ(std::string(buffer), std::string(4095, 'x'));
  EXPECT_EQ(buffer[4096], '#');  // nothing written past the 4,096 bytes
  ASSERT_TRUE(session->b_GetNextMessage(buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(session->b_GetNextMessage(buffer));
}

TEST_F(ErrorReportingTest, ErrorRecordsHonourSuppressionAndLoseRtfMarkup) {
  session->pco_GetCustomTagMap()->emplace("<:b>", "<:b>");
  auto record = [](int type, const char* text, const char* tag, std::vector<std::pair<int, unsigned>> refs) {
    auto r = std::make_unique<CQ_Morvane_ErrorMessage>(type, text, tag);
    for (auto [kind, line] : refs) r->v_AddReference(kind, line);
    return r;
  };
  CQ_Morvane_ErrorList list;
  list.push_back(record(1, "suppressed warning", "<:b>", {{1, 5}}));
  list.push_back(record(2, "\\f1 Alert {\\b <:i>} moved {\\i here}.", "<:i>", {{1, 10}, {2, 12}, {2, 14}}));
  list.push_back(record(3, "error about a suppressed tag", "<:b>", {}));
  list.push_back(record(1, "\\\\server\\share is a path", "", {{2, 3}}));
  session->v_TakeErrorList(&list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(session->pcco_GetErrorList()->size(), 4u);

  session->v_SetFileFormatForKWX(1);
  ASSERT_TRUE(session->b_NextErrorMessage());
  EXPECT_STREQ(session->lpsz_GetErrorMessage(), "Alert <:i> moved here.");
  EXPECT_EQ(session->n_GetSourceRef(), 10u);
  EXPECT_EQ(session->n_GetTargetRef(), 14u);
  ASSERT_TRUE(session->b_NextErrorMessage());
  EXPECT_STREQ(session->lpsz_GetErrorMessage(), "error about a suppressed tag");
  EXPECT_EQ(session->n_GetSourceRef(), 0u);
  ASSERT_TRUE(session->b_NextErrorMessage());
  EXPECT_STREQ(session->lpsz_GetErrorMessage(), "\\\\server\\share is a path");
  EXPECT_EQ(session->n_GetTargetRef(), 3u);
  EXPECT_FALSE(session->b_NextErrorMessage());
  EXPECT_STREQ(session->lpsz_GetErrorMessage(), "");

  // Two suppressed warnings: nothing to show and nothing left.
  list.push_back(record(1, "w1", "<:b>", {}));
  list.push_back(record(2, "w2", "<:b>", {}));
  session->v_TakeErrorList(&list);
  EXPECT_FALSE(session->b_NextErrorMessage());
  EXPECT_TRUE(session->pcco_GetErrorList()->empty());
}

TEST_F(ErrorReportingTest, SavingResultsIsForGuiClearSessions) {
  session->v_AddMessage("kept");
  EXPECT_FALSE(session->b_SaveResults(dir_ + "gui.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "gui.txt"));

  CQ_Morvane_CommunicationFrame plain("Typeshift", "3.0", false);
  EXPECT_FALSE(plain.b_SaveResults(dir_ + "empty.txt"));
  plain.v_AddMessage("Converting a.mif");
  plain.v_AddMessage("");
  plain.v_AddMessage("Done.");
  EXPECT_TRUE(plain.b_SaveResults(dir_ + "results.txt"));
  EXPECT_EQ(ReadFile(dir_ + "results.txt"), "Converting a.mif\n\nDone.\n");
  EXPECT_EQ(plain.rco_GetResults().size(), 3u);  // saving does not drain
  EXPECT_FALSE(plain.b_SaveResults(dir_ + "missing/folder/results.txt"));
}

TEST(KernelStrings, LookupAndFormatting) {
  EXPECT_STREQ(lpsz_LoadKernelString(Msg::CONVERTING_FILE), "Converting %s");
  EXPECT_STREQ(lpsz_LoadKernelString(999999), "");
  EXPECT_FALSE(b_HasKernelString(999999));
  EXPECT_EQ(ccs_FormatKernelString(Msg::BATCH_SOME_NOT_CONVERTED, 3, 1), "3 file(s) converted.\n1 file(s) could not be converted.");
  EXPECT_EQ(ccs_FormatKernelString(Msg::GLOSSARY_ITALICS), "<:i> and  <:/i> Italics");
  for (unsigned id = Msg::GLOSSARY_FIRST; id <= Msg::GLOSSARY_LAST; ++id) EXPECT_TRUE(b_HasKernelString(id)) << id;
  EXPECT_EQ(Msg::GLOSSARY_COUNT, 45u);
  EXPECT_EQ(ccs_Format("%s %d%c", "a", 12, 'x'), "a 12x");
  EXPECT_EQ(ccs_Format("no arguments"), "no arguments");
  EXPECT_EQ(ccs_Format(nullptr), "");
  const std::string wide(5000, 'w');  // longer than any small buffer
  EXPECT_EQ(ccs_Format("[%s]", wide.c_str()), "[" + wide + "]");
}

// Every named id is the number of its line of the table and finds its own
// text; the ids ascend, as the table's binary search needs.
TEST(KernelStrings, NamesNumbersAndTextsComeFromOneTable) {
  struct Entry {
    unsigned id;
    unsigned named;
    const char* name;
    const char* text;
  } const entries[] = {
#define KERNEL_STRING(id, name, text) {id, Msg::name, #name, text},
#include "kernel/session/KernelStringTable.inc"
#undef KERNEL_STRING
  };
  ASSERT_GT(std::size(entries), 280u);
  unsigned previous = 0;
  for (const Entry& e : entries) {
    EXPECT_EQ(e.named, e.id) << e.name;
    EXPECT_GT(e.id, previous) << e.name;
    EXPECT_STREQ(lpsz_LoadKernelString(e.id), e.text) << e.name;
    previous = e.id;
  }
  EXPECT_EQ(Msg::DONE, 6u);
  EXPECT_EQ(Msg::FWD_WARN_EQUATION, 230u);
  EXPECT_EQ(Msg::FWD_WARN_EQUATION_HINT, 231u);
}

}  // namespace
}  // namespace morvane_test

#include "System/String/CString.h"
#include "System/String/LoadString.h"

namespace morvane_test {
namespace {

TEST(KernelStrings, FoundationLoaderFindsTheKernelTable) {
  CQ_CString text;
  CQ_LoadString::sv_LoadString(text, CQ_Module{}, 5091);
  EXPECT_STREQ(text.qccz_Get(), "Files verified.");
}

}  // namespace
}  // namespace morvane_test
