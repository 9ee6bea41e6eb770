// The batch drivers over scripted converters: extension checks, names,
// overwrite questions, cancelling, progress, summaries and the ancillary
// file.
#include <filesystem>

#include "SessionTestSupport.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

namespace morvane_test {
namespace {

using Lines = std::vector<std::string>;

class DriversTest : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    std::filesystem::create_directories(dir_ + "src");
    std::filesystem::create_directories(dir_ + "org");
    std::filesystem::create_directories(dir_ + "tr");
  }

  // A GUI session as the desktop front end sets it up before a batch.
  std::unique_ptr<CQ_Morvane_CommunicationFrame> GuiSession(int overwrite = 1) {
    auto s = std::make_unique<CQ_Morvane_CommunicationFrame>("Halvex Morvane for FrameMaker", "3.0", true);
    s->v_SetUI(&window);
    s->v_ResetBatch();
    s->v_SetSourceFilesPath((dir_ + "src/").c_str());
    s->v_SetORGFilesPath((dir_ + "org/").c_str());
    s->v_SetTranslatedFilesPath((dir_ + "tr/").c_str());
    s->v_SetFileFormatForKWX(1);
    s->v_SetOverwriteFiles(overwrite);
    s->v_SetSourceLanguage("English (US)");
    s->v_SetTargetLanguage("German");
    Install(*s);
    return s;
  }
  std::unique_ptr<CQ_Morvane_CommunicationFrame> PlainSession() {
    auto s = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
    s->v_SetFileFormatForKWX(1);
    Install(*s);
    return s;
  }
  void Install(CQ_Morvane_CommunicationFrame& s) {
    auto f = std::make_unique<ScriptedFactory>();
    factory = f.get();
    s.v_SetConverterFactory(std::move(f));
  }
  std::string Src(const char* name) { return dir_ + "src/" + name; }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : window.boxes) texts.push_back(b.text);
    return texts;
  }

  RecordingWindow window;
  ScriptedFactory* factory = nullptr;
};

TEST_F(DriversTest, ForwardBatchWithAWrongExtensionFirst) {
  auto s = GuiSession();
  CQ_StringList files = {Src("notes.doc"), Src("Manual.MIF")};
  window.answers = {Platform::IDOK, Platform::IDNO};
  s->v_ConvertMIF(&files);
  EXPECT_EQ(DrainAfterTimeStamp(*s),
            (Lines{"Conversion Error 105. The MIF file has an invalid file extension.",
                   "Halvex Morvane can only convert MIF files with the file extension .mif.",
                   "Converting " + Src("Manual.MIF"), "Done.", "", Underscores(), "No ancillary file created."}));
  EXPECT_EQ(factory->convertedFiles, Lines{"Manual"});
  EXPECT_EQ(s->i_GetBatchProcessed(), 1);
  EXPECT_EQ(s->i_GetBatchFailed(), 0);
  EXPECT_STREQ(s->lpsz_GetCurrentFileExtension(), ".MIF");
  // Summary first, then the ancillary question.
  EXPECT_EQ(BoxTexts(), (Lines{"1 file(s) converted.\nNo errors.", lpsz_LoadKernelString(Msg::BATCH_ASK_CREATE_ANCILLARY)}));
  EXPECT_EQ(window.boxes[1].style, Platform::MB_YESNO | Platform::MB_ICONQUESTION);
  EXPECT_EQ(s->i_GetTask(), TASK_MIF_TO_KWX);
  EXPECT_TRUE(s->b_GetRunningTask());
}

TEST_F(DriversTest, PathsWithoutAnExtensionAreRefused) {
  auto s = PlainSession();
  CQ_StringList files = {dir_ + "src.d/README", dir_ + "x.mif.bak"};
  s->v_ConvertMIF(&files);
  Lines lines = DrainAfterTimeStamp(*s);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], lpsz_LoadKernelString(Msg::FWD_ERR_MIF_EXTENSION));
  EXPECT_EQ(lines[2], lpsz_LoadKernelString(Msg::FWD_ERR_MIF_EXTENSION));
  EXPECT_EQ(lines[4], Underscores());
  EXPECT_TRUE(factory->convertedFiles.empty());
}

TEST_F(DriversTest, PlainSessionTakesFoldersFromThePaths) {
  auto s = PlainSession();
  CQ_StringList files = {dir_ + "src/one.mif", dir_ + "org/two.mif"};
  s->v_ConvertMIF(&files);
  EXPECT_EQ(factory->convertedFiles, (Lines{"one", "two"}));
  EXPECT_STREQ(s->lpsz_GetSourceFilesPath(), (dir_ + "org/").c_str());
  EXPECT_STREQ(s->lpsz_GetCurrentFileName(), "two");
}

TEST_F(DriversTest, OverwriteQuestionsNoSkipsCancelEnds) {
  WriteFile(dir_ + "org/a.org", "old");
  WriteFile(dir_ + "tr/b.rtf", "old");
  auto s = GuiSession(0);
  CQ_StringList files = {Src("a.mif"), Src("b.mif"), Src("c.mif")};
  window.answers = {Platform::IDNO, Platform::IDCANCEL};
  s->v_ConvertMIF(&files);
  EXPECT_EQ(DrainAfterTimeStamp(*s),
            (Lines{"Converting " + Src("a.mif"), "Conversion Error 40. Cancelled by user.", "",
                   "Converting " + Src("b.mif"), "Conversion Error 40. Cancelled by user.", "", Underscores(), "",
                   "The batch was cancelled.", Underscores()}));
  EXPECT_TRUE(factory->convertedFiles.empty());
  ASSERT_EQ(window.boxes.size(), 3u);
  EXPECT_EQ(window.boxes[0].text, "Do you want to overwrite the file:\n" + dir_ + "org/a.org\nCancel terminates the batch.");
  EXPECT_EQ(window.boxes[0].style, Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION);
  EXPECT_EQ(window.boxes[1].text, "Do you want to overwrite the file:\n" + dir_ + "tr/b.rtf\nCancel terminates the batch.");
  // No summary box from the driver: the cancel box is the last.
  EXPECT_EQ(window.boxes[2].text, "Batch cancelled. 0 file(s) converted.");
}

TEST_F(DriversTest, AnAnswerOtherThanYesNoCancelEndsTheBatch) {
  WriteFile(dir_ + "tr/a.mif", "old");
  auto s = GuiSession(0);
  s->v_SetFileFormatForKWX(0);
  CQ_StringList files = {dir_ + "tr/a.txt"};
  window.answers = {Platform::IDOK};
  s->v_ConvertKWX(&files);
  Lines lines = DrainAfterTimeStamp(*s);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], lpsz_LoadKernelString(Msg::BACK_ERR_UNKNOWN_PARSER));
  EXPECT_EQ(lines.back(), Underscores());
}

TEST_F(DriversTest, CancelAtTheNextProgressStep) {
  auto s = GuiSession();
  CQ_StringList files = {Src("a.mif"), Src("b.mif")};
  s->v_SetBatchProgressIndicator(16);
  auto steps = [](CQ_Morvane_CommunicationFrame& session) {
    for (int i = 0; i < 5; ++i) session.v_UpdateUI();
    return 0;
  };
  factory->actions = {steps, steps};
  int seen = 0;
  window.onMessage = [&](const RecordingWindow::Message& m) {
    if (m.id == s->n_GetMsgUpdateProgress() && ++seen == 3) s->v_SetUserCancelled(true);
  };
  s->v_ConvertMIF(&files);
  Lines lines = DrainAfterTimeStamp(*s);
  EXPECT_EQ(lines, (Lines{"Converting " + Src("a.mif"), "Conversion Error 40. Cancelled by user.", "", Underscores(), "",
                          "The batch was cancelled.", Underscores()}));
  EXPECT_EQ(factory->convertedFiles.size(), 1u);
  EXPECT_EQ(s->i_GetBatchProgressIndicator(), 0);
  EXPECT_EQ(s->i_GetFileProgressIndicator(), 0);
  // The bars are filled to the end: 3 steps, 5 of the file, 8 of the batch.
  EXPECT_EQ(window.Count(s->n_GetMsgUpdateProgress(), 0), 8);
  EXPECT_EQ(window.Count(s->n_GetMsgUpdateProgress(), 1), 8);
}

TEST_F(DriversTest, ProgressFillsEveryStepOfTheBatch) {
  auto s = GuiSession();
  CQ_StringList files = {Src("a.mif"), Src("skip.txt"), Src("b.mif")};
  s->v_SetBatchProgressIndicator(3 * 8);
  auto threeSteps = [](CQ_Morvane_CommunicationFrame& session) {
    for (int i = 0; i < 3; ++i) session.v_UpdateUI();
    return 0;
  };
  auto twelveSteps = [](CQ_Morvane_CommunicationFrame& session) {
    for (int i = 0; i < 12; ++i) session.v_UpdateUI();  // more than its share
    return 0;
  };
  factory->actions = {threeSteps, twelveSteps};
  window.answers = {Platform::IDOK, Platform::IDNO};
  s->v_ConvertMIF(&files);
  const unsigned progress = s->n_GetMsgUpdateProgress();
  // The batch bar gets exactly its size, whatever each converter did:
  // 3 steps + 5 tidied, 12 steps, and the 4 left of the skipped file's share.
  EXPECT_EQ(window.Count(progress, 0), 3 + 5 + 12);
  EXPECT_EQ(window.Count(progress, 1), 4);
  EXPECT_EQ(s->i_GetBatchProgressIndicator(), 0);
}

TEST_F(DriversTest, ConverterFailuresAndExceptions) {
  auto s = PlainSession();
  CQ_StringList files = {Src("a.mif"), Src("b.mif"), Src("c.mif"), Src("d.mif")};
  factory->actions = {
      [](CQ_Morvane_CommunicationFrame&) -> int { throw Result::UNEXPECTED_END; },
      [this](CQ_Morvane_CommunicationFrame&) -> int {
        throw Platform::CQ_FileException(Platform::CQ_FileException::fileNotFound, Src("b.mif"));
      },
      [](CQ_Morvane_CommunicationFrame&) { return 0; },
      [](CQ_Morvane_CommunicationFrame&) -> int { throw std::bad_alloc(); },
  };
  s->v_ConvertMIF(&files);
  EXPECT_EQ(DrainAfterTimeStamp(*s),
            (Lines{"Converting " + Src("a.mif"), "Conversion Error 180. Unexpected end of input file.", "",
                   "Converting " + Src("b.mif"), "File Error 3110. The file could not be located.",
                   "Filename:" + Src("b.mif"), "", "Converting " + Src("c.mif"), "Done.", "",
                   "Converting " + Src("d.mif"), "Conversion Error 10. A memory error has occurred.", "", Underscores(),
                   "", "The batch was cancelled.", Underscores()}));
  EXPECT_EQ(s->i_GetBatchProcessed(), 4);
  EXPECT_EQ(s->i_GetBatchFailed(), 3);
}

TEST_F(DriversTest, ConversionSummaries) {
  struct Case {
    std::vector<int> codes;
    std::string summary;
  } const cases[] = {
      {{0, 0}, "2 file(s) converted.\nNo errors."},
      {{0}, "No errors."},
      {{0, 6, 3}, "1 file(s) converted.\n2 file(s) could not be converted."},
      {{6}, "The file could not be converted."},
  };
  for (const Case& c : cases) {
    window.boxes.clear();
    auto s = GuiSession();
    CQ_StringList files;
    for (std::size_t i = 0; i < c.codes.size(); ++i) {
      files.push_back(Src(("f" + std::to_string(i) + ".mif").c_str()));
      int code = c.codes[i];
      factory->actions.push_back([code](CQ_Morvane_CommunicationFrame&) { return code; });
    }
    window.answers = {Platform::IDOK, Platform::IDNO};
    s->v_ConvertMIF(&files);
    ASSERT_FALSE(window.boxes.empty());
    EXPECT_EQ(window.boxes[0].text, c.summary);
    EXPECT_EQ(window.boxes[0].style, Platform::MB_OK | Platform::MB_ICONINFORMATION);
    // The ancillary question only follows when a file was converted.
    bool converted = std::count(c.codes.begin(), c.codes.end(), 0) > 0;
    EXPECT_EQ(window.boxes.size(), converted ? 2u : 1u) << c.summary;
  }
}

TEST_F(DriversTest, VerificationSummariesCountTagChanges) {
  auto withCounts = [](unsigned errors, unsigned warnings, int code) {
    return [=](CQ_Morvane_CommunicationFrame& s) {
      s.v_SetVerificationErrors(errors);
      s.v_SetVerificationWarnings(warnings);
      return code;
    };
  };
  struct Case {
    std::vector<FileAction> actions;
    std::string summary;
  } const cases[] = {
      {{withCounts(0, 0, 10030), withCounts(0, 2, 10030), withCounts(0, 0, 10030)},
       "3 file(s) verified. Tag changes in 1 file(s)."},
      {{withCounts(0, 2, 10030)}, "Files verified. There are Tag changes."},
      {{withCounts(0, 0, 10030), withCounts(3, 0, 10020)}, "1 file(s) verified.\n1 file(s) could not be fully verified."},
      {{withCounts(1, 0, 10020)}, "The file could not be verified."},
      {{withCounts(0, 0, 10030), withCounts(0, 0, 10030)}, "2 file(s) verified."},
      {{withCounts(0, 0, 10030)}, "Files verified."},
  };
  for (const Case& c : cases) {
    window.boxes.clear();
    auto s = GuiSession();
    CQ_StringList files;
    for (std::size_t i = 0; i < c.actions.size(); ++i) files.push_back(dir_ + "tr/f" + std::to_string(i) + ".rtf");
    factory->actions.assign(c.actions.begin(), c.actions.end());
    s->v_VerifyVarnels(&files);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, c.summary);
    // Counters are zeroed after each file.
    EXPECT_EQ(s->n_GetVerificationWarnings(), 0u);
    EXPECT_EQ(s->n_GetVerificationErrors(), 0u);
  }
}

TEST_F(DriversTest, VerificationAndBackConversionCheckTheKwxExtension) {
  auto s = PlainSession();
  CQ_StringList files = {dir_ + "tr/a.txt", dir_ + "tr/b.RTF"};
  s->v_VerifyVarnels(&files);
  Lines lines = DrainAfterTimeStamp(*s);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], lpsz_LoadKernelString(Msg::VERIFY_ERR_KWX_EXTENSION));
  EXPECT_EQ(lines[1], lpsz_LoadKernelString(Msg::VERIFY_ERR_KWX_EXTENSION_HINT));
  EXPECT_EQ(lines[2], "Verifying " + dir_ + "tr/b.RTF");
  EXPECT_EQ(factory->convertedFiles, Lines{"b"});

  s->v_ConvertKWX(&files);
  lines = DrainAfterTimeStamp(*s);
  EXPECT_EQ(lines[0], lpsz_LoadKernelString(Msg::BACK_ERR_KWX_EXTENSION));
  EXPECT_EQ(lines[1], lpsz_LoadKernelString(Msg::BACK_ERR_KWX_EXTENSION_HINT));
  EXPECT_EQ(lines[2], "Converting " + dir_ + "tr/b.RTF");
}

TEST_F(DriversTest, ABuildWithoutTheConverterReportsAnUnknownError) {
  auto s = PlainSession();
  factory->withoutConverters = true;
  CQ_StringList files = {Src("a.mif")};
  s->v_ConvertMIF(&files);
  Lines lines = DrainAfterTimeStamp(*s);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], lpsz_LoadKernelString(Msg::FWD_ERR_UNKNOWN_PARSER));
  EXPECT_EQ(lines.back(), Underscores());
}

TEST_F(DriversTest, BackConversionLooksForTheAncillaryFileEveryFileAndOnce) {
  auto s = PlainSession();
  s->v_SetKWXVersion(KWX_VERSION_F300);
  CQ_StringList files = {dir_ + "tr/a.rtf", dir_ + "tr/b.rtf", dir_ + "tr/c.rtf"};
  auto extract = [](CQ_Morvane_CommunicationFrame& session) {
    CExtStringList section;
    session.v_ExtractAncillaryKWXSection(&section, 0, "<sourcepath \"/x/a.mif\">");
    return 0;
  };
  factory->actions = {extract, extract, extract};
  const std::string missing = dir_ + "tr/ancillary.rtf";
  s->v_ConvertKWX(&files, missing.c_str());
  Lines lines = DrainAfterTimeStamp(*s);
  const std::string notice = ccs_FormatKernelString(Msg::BACK_WARN_NO_ANCILLARY_FILE, "ancillary.rtf");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), notice), 3 + 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(lpsz_LoadKernelString(Msg::BACK_WARN_NO_ANCILLARY_FILE_HINT))), 4);
}

class AncillaryTest : public DriversTest {
 protected:
  // A session whose ancillary file has been read back from the lines.
  std::unique_ptr<CQ_Morvane_CommunicationFrame> WithReadBack(const Lines& lines) {
    auto s = PlainSession();
    s->v_SetFileFormatForKWX(0);
    s->v_SetKWXVersion(KWX_VERSION_F300);
    s->v_SetSourceLanguage("English (US)");
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    WriteFile(dir_ + "tr/ancillary.txt", text);
    s->v_ReadAncillaryKWXFile(dir_ + "tr/ancillary.txt");
    return s;
  }
  static Lines Header(const char* version = "<kwx \"F3.00\">", const char* quotes = "<sourcequotes \"As Text\">") {
    return {version, "<sourcecharset \"Normal\">", "<sourcelanguage \"English (US)\">",
            "<sourcehyphenation \"Turn Off\">", quotes};
  }
};

TEST_F(AncillaryTest, SectionOfTheDocumentIsExtracted) {
  Lines lines = Header();
  for (const char* l : {"<file \"/d/a.mif\">", "A", "</file \"/d/a.mif\">", "<file \"/d/b.mif\">", "B1", "B2",
                        "</file \"/d/b.mif\">", "</kwx>"}) {
    lines.push_back(l);
  }
  auto s = WithReadBack(lines);
  CExtStringList out;
  out.AddTail("existing");
  s->v_ExtractAncillaryKWXSection(&out, 0, "<sourcepath \"/d/b.mif\">");
  EXPECT_EQ(out.Lines(), (Lines{"existing", "<file \"/d/b.mif\">", "B1", "B2", "</file \"/d/b.mif\">"}));
  EXPECT_TRUE(Drain(*s).empty());
  EXPECT_THROW(s->v_ExtractAncillaryKWXSection(nullptr, 0, "<sourcepath \"/d/b.mif\">"), int);
}

TEST_F(AncillaryTest, HeaderChecksRefuseTheFile) {
  struct Case {
    Lines lines;
    std::vector<unsigned> ids;
  } cases[] = {
      {Header("<kwx \"F3.01\">"), {1410, 1411, 1412}},
      {Header("<kwx \"I3.00\">"), {1390, 1391, 1393}},
      {Header("<kwx \"F3.00\">", "<sourcequotes \"As Tags\">"), {1310, 1311, 1313}},
      {Header("<kwx \"F3.00\">", "<sourcequotes \"Straight\">"), {1250, 1251, 1253}},
      {{"<kwx \"F3.00\">", "<sourcecharset \"Symbol\">"}, {1290, 1291, 1292}},
      {{"<kwx \"F3.00\">", "<sourcecharset \"Normal\">"}, {1340, 1341}},
      {Header(), {1360, 1361}},
      {[] {
         Lines l = Header();
         l.push_back("<file \"/d/a.mif\">");
         return l;
       }(),
       {1400, 1401, 1402}},
  };
  for (const Case& c : cases) {
    auto s = WithReadBack(c.lines);
    CExtStringList out;
    s->v_ExtractAncillaryKWXSection(&out, 0, "<sourcepath \"/d/a.mif\">");
    Lines expected;
    for (unsigned id : c.ids) expected.push_back(lpsz_LoadKernelString(id));
    EXPECT_EQ(Drain(*s), expected) << c.lines.front() << " / ids from " << c.ids.front();
    EXPECT_TRUE(out.IsEmpty());
  }
}

TEST_F(AncillaryTest, CreatingTheFileAsksPerCopy) {
  WriteFile(dir_ + "org/ancillary.rtf", "old");
  WriteFile(dir_ + "tr/ancillary.rtf", "old");
  auto s = GuiSession(0);
  s->v_AddTailToAncillaryFile("<file \"/d/a.mif\">");
  s->v_AddTailToAncillaryFile("</file \"/d/a.mif\">");
  window.answers = {Platform::IDNO, Platform::IDYES};
  ASSERT_TRUE(s->b_CreateAncillaryFile());
  // Only the translated copy was wanted: the ORG path follows it.
  EXPECT_STREQ(s->lpsz_GetORGFilesPath(), (dir_ + "tr/").c_str());
  EXPECT_EQ(factory->writtenFiles, Lines{dir_ + "tr/ancillary.rtf"});
  EXPECT_EQ(Drain(*s), (Lines{"Created the ancillary file:", dir_ + "tr/ancillary.rtf"}));
  EXPECT_EQ(ReadFile(dir_ + "tr/ancillary.rtf"),
            "<kwx \"F3.00\">\n<sourcecharset \"Normal\">\n<sourcelanguage \"English (US)\">\n"
            "<sourcehyphenation \"Turn Off\">\n<sourcequotes \"As Text\">\n<file \"/d/a.mif\">\n"
            "</file \"/d/a.mif\">\n</kwx>\n");
  EXPECT_EQ(window.boxes[0].text, "Do you want to overwrite the file:\n" + dir_ + "org/ancillary.rtf\n");

  window.answers = {Platform::IDNO};
  s->v_SetORGFilesPath((dir_ + "org/").c_str());
  s->v_SetTranslatedFilesPath((dir_ + "org/").c_str());
  EXPECT_FALSE(s->b_CreateAncillaryFile());
}

TEST_F(AncillaryTest, ForwardBatchWritesBothCopiesOnYes) {
  auto s = GuiSession();
  CQ_StringList files = {Src("a.mif")};
  factory->actions = {[](CQ_Morvane_CommunicationFrame& session) {
    CQ_StringList section = {"<file \"a\">", "</file \"a\">"};
    session.v_AddToAncillaryFile(&section);
    return 0;
  }};
  window.answers = {Platform::IDOK, Platform::IDYES};
  s->v_ConvertMIF(&files);
  Lines lines = DrainAfterTimeStamp(*s);
  EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
            (Lines{"Created the ancillary file:", dir_ + "org/ancillary.rtf", dir_ + "tr/ancillary.rtf"}));
  EXPECT_EQ(ReadFile(dir_ + "org/ancillary.rtf"), ReadFile(dir_ + "tr/ancillary.rtf"));
}

TEST_F(AncillaryTest, NamedCreationReportsWriteFailures) {
  auto s = PlainSession();
  EXPECT_TRUE(s->b_CreateAncillaryFile(dir_ + "named.rtf"));
  EXPECT_EQ(Drain(*s), (Lines{"Created the ancillary file:", dir_ + "named.rtf"}));
  // The session's own lines are untouched by the named form.
  EXPECT_TRUE(s->b_AncillaryFileIsEmpty());

  // Through the kernel's own writers: a folder that does not exist.
  auto bare = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
  const std::string missing = dir_ + "nowhere/ancillary.rtf";
  EXPECT_FALSE(bare->b_CreateAncillaryFile(missing));
  EXPECT_EQ(Drain(*bare), (Lines{"File Error 3110. The file could not be located.", "Filename:" + missing}));
}

TEST(ExtStringList, RunsInsertAndRemove) {
  CExtStringList source;
  for (const char* l : {"a", "b", "c", "d"}) source.AddTail(l);
  CExtStringList target;
  target.InsertRun(source, 1, 2, CExtStringList::npos);
  EXPECT_EQ(target.Lines(), (Lines{"b", "c"}));
  target.InsertRun(source, 3, 99, 0);
  EXPECT_EQ(target.Lines(), (Lines{"b", "d", "c"}));
  target.InsertRun(target, 0, 1, 2);
  EXPECT_EQ(target.Lines(), (Lines{"b", "d", "c", "b", "d"}));
  target.RemoveRun(1, 3);
  EXPECT_EQ(target.Lines(), (Lines{"b", "d"}));
  target.RemoveRun(5, 9);
  target.InsertRun(source, 3, 1, 0);
  EXPECT_EQ(target.Lines(), (Lines{"b", "d"}));
  EXPECT_EQ(source.Find("c"), 2u);
  EXPECT_EQ(source.Find("c", 3), CExtStringList::npos);
}

}  // namespace
}  // namespace morvane_test

namespace morvane_test {
namespace {

class CountingObserver : public CQ_Morvane_Observer {
 public:
  void v_ProgressStep(bool batchOnly) override { ++(batchOnly ? batchSteps : fileSteps); }
  void v_ResultsWaiting() override { ++results; }
  int fileSteps = 0, batchSteps = 0, results = 0;
};

TEST_F(DriversTest, AnObserverFollowsASessionWithoutGui) {
  auto s = PlainSession();
  CountingObserver observer;
  s->v_SetObserver(&observer);
  RecordingWindow ignored;
  s->v_SetUI(&ignored);  // no window is used without the GUI flag
  s->v_SetBatchProgressIndicator(16);
  factory->actions = {[](CQ_Morvane_CommunicationFrame& session) {
    session.v_UpdateUI();
    return 0;
  }};
  CQ_StringList files = {Src("a.mif"), Src("b.mif")};
  s->v_ConvertMIF(&files);
  EXPECT_EQ(observer.fileSteps + observer.batchSteps, 16);
  EXPECT_GE(observer.results, 4);
  EXPECT_TRUE(ignored.messages.empty());
}

// --- outputs that would replace others -----------------------------------------

TEST_F(DriversTest, ASecondFileWithTheSameOutputsIsRefusedOrAskedFor) {
  std::filesystem::create_directories(dir_ + "x");
  std::filesystem::create_directories(dir_ + "y");
  const std::string first = dir_ + "x/doc.mif", second = dir_ + "y/doc.mif", other = dir_ + "x/other.mif";
  const Lines refusal = {lpsz_LoadKernelString(Msg::FILE_ERR_SAME_NAME_IN_BATCH), lpsz_LoadKernelString(Msg::FILE_ERR_SAME_NAME_IN_BATCH_HINT), ""};

  // Without questions: refused, counted as failed, and the batch goes on.
  auto plain = PlainSession();
  plain->v_SetORGFilesPath((dir_ + "org/").c_str());
  plain->v_SetTranslatedFilesPath((dir_ + "org/").c_str());
  CQ_StringList files = {first, second, other, first};
  plain->v_ConvertMIF(&files);
  EXPECT_EQ(factory->convertedFiles, (Lines{"doc", "other"}));
  Lines expected = {"Converting " + first, "Done.", "", "Converting " + second};
  expected.insert(expected.end(), refusal.begin(), refusal.end());
  expected.insert(expected.end(), {"Converting " + other, "Done.", "", "Converting " + first});
  expected.insert(expected.end(), refusal.begin(), refusal.end());
  expected.push_back(Underscores());
  EXPECT_EQ(DrainAfterTimeStamp(*plain), expected);
  EXPECT_EQ(plain->i_GetBatchFailed(), 2);

  // Back conversion writes beside each translated file: no collision.
  CQ_StringList translated = {dir_ + "x/doc.rtf", dir_ + "y/doc.rtf"};
  plain->v_ConvertKWX(&translated);
  EXPECT_EQ(factory->convertedFiles, (Lines{"doc", "other", "doc", "doc"}));

  // The desktop program asks; No skips the file, Yes converts it.
  for (int answer : {Platform::IDNO, Platform::IDYES}) {
    SCOPED_TRACE(answer);
    auto gui = GuiSession();
    window.boxes.clear();
    window.answers = {answer, Platform::IDOK, Platform::IDNO};
    CQ_StringList pair = {first, second};
    gui->v_ConvertMIF(&pair);
    ASSERT_FALSE(window.boxes.empty());
    EXPECT_EQ(window.boxes[0].text, ccs_FormatKernelString(Msg::FILE_ASK_SAME_NAME_IN_BATCH, second.c_str()));
    EXPECT_EQ(window.boxes[0].style, Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION);
    EXPECT_EQ(gui->i_GetBatchFailed(), answer == Platform::IDYES ? 0 : 1);
  }
}

TEST_F(DriversTest, BackConversionOverItsOwnSourceIsRefusedUnlessAllowed) {
  const std::string source = Src("doc.mif"), other = Src("other.mif");
  WriteFile(source, "<MIFFile 5.50>\n");
  WriteFile(other, "<MIFFile 5.50>\n");
  std::filesystem::create_hard_link(source, dir_ + "tr/doc.mif");

  auto plain = PlainSession();
  for (const auto& [output, refused] : std::vector<std::pair<std::string, bool>>{
           {source, true}, {dir_ + "tr/doc.mif", true}, {other, false}, {dir_ + "tr/none.mif", false}}) {
    SCOPED_TRACE(output);
    int code = Result::OK;
    try {
      plain->v_CheckNotReplacingSource(output, source);
    } catch (int raised) {
      code = raised;
    }
    EXPECT_EQ(code, refused ? 3210 : 0);
    EXPECT_EQ(Drain(*plain), refused ? (Lines{lpsz_LoadKernelString(Msg::FILE_ERR_WOULD_REPLACE_SOURCE), output, lpsz_LoadKernelString(Msg::FILE_ERR_WOULD_REPLACE_SOURCE_HINT)}) : Lines{});
  }
  plain->v_SetReplaceSourceFiles(true);
  EXPECT_NO_THROW(plain->v_CheckNotReplacingSource(source, source));

  auto gui = GuiSession();
  window.answers = {Platform::IDYES, Platform::IDNO};
  EXPECT_NO_THROW(gui->v_CheckNotReplacingSource(source, source));
  EXPECT_THROW(gui->v_CheckNotReplacingSource(source, source), int);
  EXPECT_EQ(BoxTexts(), (Lines{ccs_FormatKernelString(Msg::FILE_ASK_REPLACE_SOURCE, source.c_str()), ccs_FormatKernelString(Msg::FILE_ASK_REPLACE_SOURCE, source.c_str())}));
}


TEST_F(DriversTest, ChangeBarredDocumentsConvertFromCopiesInTheOrgFolderOnRequest) {
  const std::string barred =
      "<MIFFile 5.50>\n<PgfCatalog\n <Pgf\n  <PgfFont\n   <FChangeBar Yes>\n  >\n >\n>\n<Document\n <DAutoChBars Yes>\n>\n";
  std::string cleared = barred;
  cleared.replace(cleared.find("<FChangeBar Yes>"), 16, "<FChangeBar No>");
  cleared.replace(cleared.find("<DAutoChBars Yes>"), 17, "<DAutoChBars No>");
  WriteFile(Src("bars.mif"), barred);
  WriteFile(Src("plain.mif"), "<MIFFile 5.50>\n");
  // An ORG folder inside the source folder: the outputs of the copy still
  // go straight into it, under the document's own name.
  const std::string org = dir_ + "src/org/", copy = org + "change-bars-off/bars.mif";
  std::filesystem::create_directories(org);

  auto s = GuiSession();
  EXPECT_FALSE(s->b_GetClearChangeBars());
  s->v_SetORGFilesPath(org.c_str());
  s->v_SetClearChangeBars(true);
  // Each file is read from where it lies, the copy from the ORG folder.
  Lines read;
  for (int i = 0; i < 2; ++i) {
    factory->actions.push_back([&read](CQ_Morvane_CommunicationFrame& session) {
      read.push_back(std::string(session.lpsz_GetSourceFilesPath()) + session.lpsz_GetCurrentFileName());
      return 0;
    });
  }
  CQ_StringList files = {Src("bars.mif"), Src("plain.mif")};
  s->v_ConvertMIF(&files);
  EXPECT_EQ(read, (Lines{org + "change-bars-off/bars", Src("plain")}));
  EXPECT_STREQ(s->lpsz_GetSourceFilesPath(), (dir_ + "src/").c_str());  // the chosen folder is kept
  const Lines lines = DrainAfterTimeStamp(*s);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 7),
            (Lines{"Change bars switched off (2 statements) in a copy of " + Src("bars.mif") + ":", "  " + copy,
                   "Converting " + copy, "Done.", "", "Converting " + Src("plain.mif"), "Done."}));
  EXPECT_EQ(factory->convertedFiles, (Lines{"bars", "plain"}));
  EXPECT_EQ(s->i_GetBatchProcessed(), 2);
  EXPECT_EQ(ReadFile(copy), cleared);
  EXPECT_EQ(ReadFile(Src("bars.mif")), barred);
  EXPECT_FALSE(std::filesystem::exists(org + "change-bars-off/plain.mif"));
  EXPECT_EQ(files.front(), Src("bars.mif"));  // the caller's list stays as given

  // Without the option the document itself is listed for conversion.
  auto plain = PlainSession();
  CQ_StringList again = {Src("bars.mif")};
  plain->v_ConvertMIF(&again);
  EXPECT_EQ(DrainAfterTimeStamp(*plain).at(0), "Converting " + Src("bars.mif"));

  // A copy that cannot be written: reported, and nothing is converted.
  std::filesystem::remove_all(org + "change-bars-off");
  WriteFile(org + "change-bars-off", "a file where the folder belongs");
  auto failing = GuiSession();
  failing->v_SetORGFilesPath(org.substr(0, org.size() - 1).c_str());  // the missing '/' is added
  failing->v_SetClearChangeBars(true);
  failing->v_ConvertMIF(&files);
  const Lines refused = DrainAfterTimeStamp(*failing);
  ASSERT_EQ(refused.size(), 4u) << ::testing::PrintToString(refused);
  EXPECT_EQ(refused[0], "A copy with change bars switched off could not be written; no file was converted.");
  EXPECT_EQ(refused[1].rfind("File Error ", 0), 0u) << refused[1];
  EXPECT_EQ(refused[2], lpsz_LoadKernelString(Msg::FILE_NAME_LABEL) + copy);
  EXPECT_EQ(refused[3], Underscores());
  EXPECT_TRUE(factory->convertedFiles.empty());
  EXPECT_EQ(failing->i_GetBatchProcessed(), 0);
  EXPECT_EQ(BoxTexts().size(), 2u);  // the first batch's summary and question; none since
}

}  // namespace
}  // namespace morvane_test
