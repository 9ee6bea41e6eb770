// The error manager: first error wins per thread, threads do not see each
// other's errors, held errors, pools, map functions, texts from a module's
// string table, system messages and the error-location text.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "System/ErrorManager/ErrorManager.h"
#include "System/ErrorManager/ErrorText.h"
#include "System/String/CString.h"
#include "System/String/LoadString.h"
#include "System/String/UString.h"

namespace {

std::string Utf8(const char16_t* text) { return CQ_CString(CQ_UString(text), 65001).qccz_Get(); }

class ErrorManager : public ::testing::Test {
 protected:
  void SetUp() override {
    manager = CQ_ErrorManager::spco_Get();
    ASSERT_NE(manager, nullptr) << "the static start creates the manager";
    ASSERT_EQ(manager->n_GetErrorRecordCount(), 20u);
    ASSERT_EQ(manager->n_GetLocationRecordCount(), 100u);
    Clear();
  }
  void TearDown() override { Clear(); }
  void Clear() {
    while (manager->b_IsSetError() || manager->b_IsHoldError() || manager->n_GetErrorCode()) manager->v_ClearError();
  }
  std::string Message() const { return Utf8(manager->qcuz_GetErrorMessage()); }

  CQ_ErrorManager* manager = nullptr;
};

const char* TestTable(std::uint32_t id) {
  switch (id) {
    case 10: return "File %s not found.";
    case 11: return "Line %d: %s";
    case 12: return "Caption of the test module";
    case 13: return "Gr\xC3\xBC\xC3\x9F" "e";  // UTF-8 text
    default: return nullptr;
  }
}

const int gModuleTag = 0;
const CQ_Module kModule = CQ_ModuleOf(&gModuleTag);

TEST_F(ErrorManager, FirstErrorWinsUntilCleared) {
  manager->v_SetError(7, "first %d", 1);
  manager->v_SetError(8, "second %d", 2);
  EXPECT_TRUE(manager->b_IsSetError());
  EXPECT_EQ(manager->n_GetErrorCode(), 7u);
  EXPECT_EQ(Message(), "(7): first 1");
  manager->v_ClearError();
  EXPECT_FALSE(manager->b_IsSetError());
  manager->v_SetError(8, "second %d", 2);
  EXPECT_EQ(Message(), "(8): second 2");
}

TEST_F(ErrorManager, ThreadsKeepTheirOwnErrors) {
  manager->v_SetError(1, "main thread");
  std::string otherBefore;
  std::string otherAfter;
  bool otherSawError = true;
  std::thread other([&] {
    otherSawError = manager->b_IsSetError();
    manager->v_SetError(2, "other thread");
    otherBefore = Utf8(manager->qcuz_GetErrorMessage());
    manager->v_ClearError();
    otherAfter = Utf8(manager->qcuz_GetErrorMessage());
  });
  other.join();
  EXPECT_FALSE(otherSawError) << "an error set on one thread is not visible to another";
  EXPECT_EQ(otherBefore, "(2): other thread") << "the other thread's first error is its own";
  EXPECT_EQ(otherAfter, "");
  EXPECT_EQ(Message(), "(1): main thread") << "clearing on the other thread left this one alone";
}

TEST_F(ErrorManager, HeldErrorsStayReadableButDoNotBlock) {
  manager->v_SetError(3, "held");
  manager->v_AddLocation("/src/a.cpp", 10);
  manager->v_HoldError();
  EXPECT_FALSE(manager->b_IsSetError());
  EXPECT_TRUE(manager->b_IsHoldError());
  EXPECT_EQ(manager->n_GetErrorCode(), 3u);
  EXPECT_EQ(manager->n_GetLocationCount(), 1u);
  manager->v_AddLocation("/src/b.cpp", 20);  // goes to the held error
  EXPECT_EQ(manager->n_GetLocationCount(), 2u);
  manager->v_SetError(4, "new");
  EXPECT_FALSE(manager->b_IsHoldError()) << "a new error destroys the held one";
  EXPECT_EQ(Message(), "(4): new");
  EXPECT_EQ(manager->n_GetLocationCount(), 0u);
  manager->v_HoldError();
  manager->v_ClearError();
  EXPECT_FALSE(manager->b_IsHoldError()) << "clearing without a current error destroys the held one";
  EXPECT_EQ(manager->n_GetErrorCode(), 0u);
}

TEST_F(ErrorManager, IgnoredErrorsStillBlock) {
  manager->v_SetError(5, "ignored");
  manager->v_SetIgnoreError(true);
  EXPECT_FALSE(manager->b_IsSetError());
  manager->v_SetError(6, "later");
  EXPECT_EQ(manager->n_GetErrorCode(), 5u) << "the first error stays even when ignored";
  manager->v_SetIgnoreError(false);
  EXPECT_TRUE(manager->b_IsSetError());
}

TEST_F(ErrorManager, TextsComeFromTheModulesStringTable) {
  CQ_LoadString::sv_Register(kModule, &TestTable, 65001);
  manager->v_SetError(2, kModule, 10, "report.mif");
  EXPECT_EQ(Message(), "(2): File report.mif not found.");
  EXPECT_EQ(manager->n_GetFormatID(), 10u);
  manager->v_ClearError();
  manager->v_SetError(3, kModule, 13);
  EXPECT_EQ(Message(), "(3): Gr\xC3\xBC\xC3\x9F" "e");
  manager->v_ClearError();
  manager->v_SetError(4, kModule, 999);
  EXPECT_EQ(Message(), "(4): ") << "an unknown id gives an empty text";
  manager->v_ClearError();
  CQ_ErrorManager::sv_SetInstance(kModule);
  manager->v_SetError(5, CQ_Module{}, 11, 12, "x");
  EXPECT_EQ(Message(), "(5): Line 12: x") << "the default module supplies the format";
  CQ_ErrorManager::sv_SetInstance(CQ_Module{});
  CQ_LoadString::sv_Register(kModule, nullptr);
}

TEST_F(ErrorManager, MessagesAreCutTo1024Units) {
  const std::string longText(3000, 'x');
  manager->v_SetError(1, "%s", longText.c_str());
  const std::string message = Message();
  EXPECT_EQ(message.size(), 1023u);
  EXPECT_EQ(message.substr(0, 6), "(1): x");
}

int MapToUpperCode(char16_t* buffer, std::uint32_t size, std::uint32_t code, std::uint32_t formatId, va_list args) {
  if (code != 42) return 0;  // let the default text be used
  EXPECT_EQ(size, 2048u);
  const int value = va_arg(args, int);
  const std::u16string text = u"mapped " + std::u16string(1, static_cast<char16_t>(u'0' + value)) + u" id " +
                              std::u16string(1, static_cast<char16_t>(u'0' + formatId));
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return 1;
}

TEST_F(ErrorManager, MapFunctionsBelongToTheirThread) {
  manager->v_SetMapFunction(&MapToUpperCode);
  manager->v_SetError(42, CQ_Module{}, 3, 7);
  EXPECT_EQ(Message(), "(42): mapped 7 id 3");
  manager->v_ClearError();
  manager->v_SetError(41, "default %d", 7);
  EXPECT_EQ(Message(), "(41): default 7") << "a map function answering 0 leaves the default text";
  manager->v_ClearError();
  std::string otherMessage;
  std::thread other([&] {
    manager->v_SetError(42, "other %d", 7);
    otherMessage = Utf8(manager->qcuz_GetErrorMessage());
    manager->v_ClearError();
  });
  other.join();
  EXPECT_EQ(otherMessage, "(42): other 7") << "another thread's errors do not use this map function";
  manager->v_RemoveMapFunction();
  manager->v_SetError(42, "plain");
  EXPECT_EQ(Message(), "(42): plain");
}

TEST_F(ErrorManager, SystemErrorsUseTheCleanedSystemMessage) {
  errno = ENOENT;
  manager->v_SetSystemError();
  EXPECT_EQ(manager->n_GetErrorCode(), static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(Message(), "(2): No such file or directory");
  EXPECT_EQ(errno, 0);
  manager->v_ClearError();
  errno = EACCES;
  manager->v_SetSystemError("opening %s", "a.mif");
  EXPECT_EQ(Message(), "(13): Permission denied [opening a.mif]");
}

TEST(ErrorText, SystemMessagesLoseTheirLineEnds) {
  struct Row {
    const char16_t* raw;
    const char16_t* clean;
  };
  const Row rows[] = {
      {u"The system cannot find the file specified.\r\n", u"The system cannot find the file specified."},
      {u"First line\r\nsecond line\r\n", u"First line second line"},
      {u"Blank before \r\nnext", u"Blank before next"},
      {u"Unix\nstyle\n\n", u"Unix style"},
      {u"Old\rMac", u"Old Mac"},
      {u"No line end", u"No line end"},
      {u"\r\n", u""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Utf8(error_text::CleanSystemMessage(row.raw).c_str()), Utf8(row.clean)) << Utf8(row.raw);
  }
}

TEST_F(ErrorManager, LocationTextShowsFileNamesAndLines) {
  manager->v_SetError(9, "broken");
  manager->v_AddLocation("C:\\work\\src\\Reader.cpp", 120);
  manager->v_AddLocation("/home/dev/src/Writer.cpp", 7);
  manager->v_AddLocation("NoSeparator.cpp", 3);
  manager->v_AddLocation(nullptr, 4);
  manager->v_AddLocation("Foundation\\System\\String\\StringConvert", 196);
  EXPECT_EQ(manager->n_GetLocationCount(), 5u);
  EXPECT_STREQ(manager->qccz_GetLocationFileAt(1), "/home/dev/src/Writer.cpp");
  EXPECT_EQ(manager->n_GetLocationLineAt(0), 120u);
  EXPECT_EQ(manager->qccz_GetLocationFileAt(5), nullptr);
  CQ_UString text;
  manager->v_GetErrorLocationText(text);
  EXPECT_EQ(Utf8(text.qcuz_Get()),
            "(9): broken\n\n"
            "Reader.cpp: line 120\n"
            "Writer.cpp: line 7\n"
            "(unknown file): line 3\n"
            "(unknown file): line 4\n"
            "StringConvert: line 196");
}

struct Shown {
  std::string text;
  std::string caption;
  std::uint32_t type = 0;
};

int RecordBox(const char16_t* text, const char16_t* caption, std::uint32_t type, void* context) {
  auto* shown = static_cast<Shown*>(context);
  shown->text = Utf8(text);
  shown->caption = Utf8(caption);
  shown->type = type;
  return 6;  // Yes
}

TEST_F(ErrorManager, ErrorWindowGoesThroughTheInstalledMessageBox) {
  EXPECT_EQ(manager->i_ErrorLocationWindow(0, u"none", 0), 0) << "no error, no box";
  Shown shown;
  CQ_ErrorManager::sv_SetMessageBoxFunction(&RecordBox, &shown);
  CQ_LoadString::sv_Register(kModule, &TestTable, 65001);
  manager->v_SetError(1, kModule, 10, "x.mif");
  manager->v_AddLocation("src/Driver.cpp", 5);
  EXPECT_EQ(manager->i_ErrorLocationWindow(12, nullptr, 0x30), 6);
  EXPECT_EQ(shown.text, "(1): File x.mif not found.\n\nDriver.cpp: line 5");
  EXPECT_EQ(shown.caption, "Caption of the test module");
  EXPECT_EQ(shown.type, 0x30u | CQ_ErrorManager::sn4_SetForeground);
  manager->i_ErrorLocationWindow(12, u"Given caption", 0);
  EXPECT_EQ(shown.caption, "Given caption");
  CQ_ErrorManager::sv_SetMessageBoxFunction(nullptr, nullptr);
  CQ_LoadString::sv_Register(kModule, nullptr);
}

TEST_F(ErrorManager, LocationPoolDropsSilentlyWhenEmpty) {
  manager->v_SetError(1, "many places");
  for (std::uint32_t i = 0; i < CQ_ErrorManager::sn4_LocationRecords + 5; ++i) manager->v_AddLocation("/a/b.cpp", i);
  EXPECT_EQ(manager->n_GetLocationCount(), CQ_ErrorManager::sn4_LocationRecords);
  manager->v_ClearError();
  manager->v_SetError(2, "again");
  manager->v_AddLocation("/a/c.cpp", 1);
  EXPECT_EQ(manager->n_GetLocationCount(), 1u) << "cleared errors return their locations to the pool";
}

// More threads than error records each hold an error at the same time:
// exactly the pool's size get one, the rest are dropped without harm.
TEST_F(ErrorManager, ErrorPoolDropsSilentlyWhenEmpty) {
  constexpr int kThreads = static_cast<int>(CQ_ErrorManager::sn4_ErrorRecords) + 4;
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0;
  bool release = false;
  std::atomic<int> recorded{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      manager->v_SetError(100 + t, "thread %d", t);
      if (manager->b_IsSetError()) {
        ++recorded;
        if (manager->n_GetErrorCode() != static_cast<std::uint32_t>(100 + t)) recorded += 1000;
      }
      std::unique_lock<std::mutex> lock(mutex);
      ++arrived;
      changed.notify_all();
      changed.wait(lock, [&] { return release; });
      lock.unlock();
      manager->v_ClearError();
    });
  }
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return arrived == kThreads; });
    release = true;
    changed.notify_all();
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(recorded.load(), static_cast<int>(CQ_ErrorManager::sn4_ErrorRecords) - 0) << "main thread holds none";
  manager->v_SetError(1, "pool refilled");
  EXPECT_TRUE(manager->b_IsSetError());
}

TEST_F(ErrorManager, SixteenBitMessageFormats) {
  manager->v_SetMessageError(u"%s: %d", u"\u65E5\u672C", 5);
  EXPECT_EQ(Message(), "(0): \xE6\x97\xA5\xE6\x9C\xAC: 5");
  EXPECT_TRUE(manager->b_GetDebugMessageOnError());
  EXPECT_FALSE(manager->b_GetInterruptOnError());
  manager->v_SetInterruptOnError(true);
  EXPECT_TRUE(manager->b_GetInterruptOnError());
  manager->v_SetInterruptOnError(false);
}

}  // namespace
