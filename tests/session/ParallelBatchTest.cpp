// Parallel batches against serial ones, with converters that act by file
// name: the same results lines, ancillary lines, error records, counts and
// files, and nothing written for the files after one that ends the batch.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "System/Platform/TemporaryFile.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/ResultCodes.h"
#include "session/SessionTestSupport.h"

namespace {

namespace fs = std::filesystem;
using morvane_test::DrainAfterTimeStamp;

class Action : public CQ_Morvane_FileConverter {
 public:
  explicit Action(CQ_Morvane_CommunicationFrame& session) : m_session(session) {}
  int vi_Convert() override {
    const std::string name = m_session.lpsz_GetCurrentFileName();
    if (name.rfind("slow", 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(150));
    if (name.rfind("end", 0) == 0) throw 12345;  // unknown: ends the batch
    if (name.rfind("crash", 0) == 0) raise(SIGKILL);  // the process dies
    if (name.rfind("fail", 0) == 0) throw Result::NOT_MIF;  // not a MIF file: the batch goes on
    m_session.v_AddMessage("working on " + name);
    CQ_StringList section{"<file \"" + name + "\">", "text of " + name, "</file \"" + name + "\">"};
    m_session.v_AddToAncillaryFile(&section);
    if (m_session.i_GetTask() == TASK_VERIFY) {
      CQ_Morvane_ErrorList records;
      records.push_back(std::make_unique<CQ_Morvane_ErrorMessage>(CQ_Morvane_ErrorMessage::ALERT, "alert in " + name,
                                                                  "<:b>"));
      records.back()->v_AddReference(CQ_Morvane_ErrorMessage::SOURCE_LINE, static_cast<unsigned>(name.size()));
      m_session.v_TakeErrorList(&records);
      m_session.v_SetVerificationAlerts(1);
      if (name.rfind("tagged", 0) == 0) m_session.v_SetVerificationErrors(2);
      return name.rfind("tagged", 0) == 0 ? 10020 : 10030;
    }
    Platform::CQ_TemporaryFile out(m_session.lpsz_GetORGFilesPath() + name + ".out");
    out.v_Write(name.data(), name.size());
    out.v_Commit();
    return 0;
  }

 private:
  CQ_Morvane_CommunicationFrame& m_session;
};

class ActionFactory : public CQ_Morvane_ConverterFactory {
 public:
  explicit ActionFactory(CQ_StringList& written) : m_written(written) {}
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateMIFConverter(CQ_Morvane_CommunicationFrame& s) override {
    return std::make_unique<Action>(s);
  }
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateKWXConverter(CQ_Morvane_CommunicationFrame& s) override {
    return std::make_unique<Action>(s);
  }
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateComparison(CQ_Morvane_CommunicationFrame& s) override {
    return std::make_unique<Action>(s);
  }
  bool vb_ReadRTFLines(CQ_Morvane_CommunicationFrame&, const std::string&, CExtStringList&) override { return false; }
  bool vb_WriteKWXLines(CQ_Morvane_CommunicationFrame&, const CQ_StringList& lines, const std::string&) override {
    m_written = lines;
    return true;
  }

 private:
  CQ_StringList& m_written;
};

struct Outcome {
  std::vector<std::string> results;
  CQ_StringList ancillary;
  std::vector<std::string> records;
  int processed, failed, tagErrors;
  std::set<std::string> files;
};

class ParallelBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("morvane-parallel-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    dir_ += "/";
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Run(int jobs, const std::vector<std::string>& names, bool verify) {
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove(entry.path());
    CQ_Morvane_CommunicationFrame session("Parallel test", "1", false);
    Outcome outcome;
    session.v_SetConverterFactory(std::make_unique<ActionFactory>(outcome.ancillary));
    session.v_SetFileFormatForKWX(1);
    session.v_SetORGFilesPath(dir_.c_str());
    session.v_SetTranslatedFilesPath(dir_.c_str());
    session.v_SetParallelJobs(jobs);
    CQ_StringList paths;
    for (const std::string& name : names) paths.push_back(dir_ + name);
    if (verify) {
      session.v_VerifyVarnels(&paths);
    } else {
      session.v_ConvertMIF(&paths);
    }
    if (!verify) {
      EXPECT_TRUE(session.b_CreateAncillaryFile(dir_ + "ancillary.rtf"));
    }
    outcome.results = DrainAfterTimeStamp(session);
    outcome.processed = session.i_GetBatchProcessed();
    outcome.failed = session.i_GetBatchFailed();
    outcome.tagErrors = session.i_GetBatchFilesWithTagErrors();
    for (const auto& record : *session.pcco_GetErrorList()) {
      outcome.records.push_back(std::to_string(record->i_Type) + " " + record->ccs_Text + " " + record->ccs_Tag + " " +
                                std::to_string(record->st_References.at(0).second));
    }
    for (const auto& entry : fs::directory_iterator(dir_)) outcome.files.insert(entry.path().filename().string());
    return outcome;
  }

  void ExpectSame(const Outcome& serial, const Outcome& parallel) {
    EXPECT_EQ(parallel.results, serial.results);
    EXPECT_EQ(parallel.ancillary, serial.ancillary);
    EXPECT_EQ(parallel.records, serial.records);
    EXPECT_EQ(parallel.processed, serial.processed);
    EXPECT_EQ(parallel.failed, serial.failed);
    EXPECT_EQ(parallel.tagErrors, serial.tagErrors);
    EXPECT_EQ(parallel.files, serial.files);
  }
  std::string dir_;
};

TEST_F(ParallelBatch, ForwardBatchEndsWhereTheSerialOneEnds) {
  const std::vector<std::string> names = {"ok1.mif", "slow2.mif", "skip.doc", "fail3.mif", "end4.mif",
                                          "ok5.mif", "ok6.mif",   "ok7.mif"};
  const Outcome serial = Run(1, names, false);
  EXPECT_EQ(serial.files, (std::set<std::string>{"ok1.out", "slow2.out"}));
  EXPECT_EQ(serial.processed, 4);  // the batch stopped at end4
  for (int jobs : {2, 3, 8}) {
    SCOPED_TRACE(jobs);
    ExpectSame(serial, Run(jobs, names, false));
  }
}

TEST_F(ParallelBatch, ForwardBatchKeepsTheOrderOfLinesAndSections) {
  const std::vector<std::string> names = {"slow1.mif", "ok2.mif", "fail3.mif", "ok4.mif", "slow5.mif", "ok6.mif"};
  const Outcome serial = Run(1, names, false);
  const Outcome parallel = Run(4, names, false);
  ExpectSame(serial, parallel);
  EXPECT_EQ(serial.files.size(), 5u);
  EXPECT_EQ(serial.ancillary.size(), 5u * 3 + 6);  // header, five sections, closing line
}

TEST_F(ParallelBatch, AChildThatDiesEndsTheBatchAsAnUnknownError) {
  const Outcome parallel = Run(2, {"ok1.mif", "crash2.mif", "ok3.mif"}, false);
  const std::vector<std::string> tail(parallel.results.begin() + 4, parallel.results.begin() + 11);
  EXPECT_EQ(tail, (std::vector<std::string>{"Converting " + dir_ + "crash2.mif",
                                            "Conversion Error 30. An unknown parser error has occurred.", "",
                                            std::string(84, '_'), "", "The batch was cancelled.",
                                            std::string(84, '_')}));
  EXPECT_EQ(parallel.files, (std::set<std::string>{"ok1.out"}));
  EXPECT_EQ(parallel.failed, 1);
}

TEST_F(ParallelBatch, VerificationKeepsRecordsCountsAndTagChanges) {
  const std::vector<std::string> names = {"slow1.rtf", "tagged2.rtf", "ok3.rtf", "tagged4.rtf", "ok5.rtf"};
  const Outcome serial = Run(1, names, true);
  EXPECT_EQ(serial.records.size(), 5u);
  EXPECT_EQ(serial.tagErrors, 2);
  ExpectSame(serial, Run(3, names, true));
}

}  // namespace
