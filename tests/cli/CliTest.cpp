// The morvane program end to end: options, exit status, what it prints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/CliSupport.h"
#include "support/TestFiles.h"

namespace {

using morvane_test::DeadProcessId;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;

TEST(Cli, HelpVersionAndUsageErrors) {
  Outcome help = Morvane("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: morvane COMMAND"), std::string::npos);
  EXPECT_EQ(Morvane("--version").out, "morvane (Halvex Morvane for FrameMaker) 3.0\n");

  const struct {
    const char* arguments;
    const char* message;
  } usage[] = {
      {"", "no command given"},
      {"frobnicate x.mif", "unknown command 'frobnicate'"},
      {"prescan --format rtf x.mif", "unknown option '--format' for prescan"},
      {"convert-mif --format=doc x.mif", "--format takes txt or rtf, not 'doc'"},
      {"convert-mif --marker-length 2x0 x.mif", "--marker-length takes a whole number"},
      {"convert-mif --org-dir", "option --org-dir needs a value"},
      {"convert-mif --no-ancillary --ancillary a.rtf x.mif", "exclude each other"},
      {"convert-mif", "no MIF file given"},
      {"convert-mif --org-dir /no/such/folder x.mif", "does not exist"},
      {"prescan", "no MIF file given"},
      {"languages extra", "takes no files"},
  };
  for (const auto& u : usage) {
    Outcome run = Morvane(u.arguments);
    EXPECT_EQ(run.status, 2) << u.arguments;
    EXPECT_NE(run.err.find(u.message), std::string::npos) << u.arguments << "\n" << run.err;
    EXPECT_EQ(run.out, "") << u.arguments;
  }
}

TEST(Cli, UnknownLanguageListsTheValidNames) {
  Outcome run = Morvane("convert-mif --target-language Klingon x.mif");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("unknown target language 'Klingon'"), std::string::npos);
  EXPECT_NE(run.err.find("  German (Swiss)\n"), std::string::npos);
  EXPECT_EQ(run.err.find("Japanese (Colloquy)"), std::string::npos);  // source side only

  Outcome languages = Morvane("languages");
  EXPECT_EQ(languages.status, 0);
  EXPECT_NE(languages.out.find("Japanese (Colloquy)  (source only)\n"), std::string::npos);
  EXPECT_NE(languages.out.find("English (US)\n"), std::string::npos);
}

TEST(Cli, PrescanListsVisibleObjectsAndReportsFailures) {
  Outcome run = Morvane("prescan sample.mif", MORVANE_SAMPLES_DIR);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sample.mif: 3 visible object(s)\n  <TblID 1>\n  <TextRectID 1>\n  <TextRectID 3>\n");

  Outcome missing = Morvane("prescan /no/such/file.mif sample.mif", MORVANE_SAMPLES_DIR);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("File Error 3110. The file could not be located.\nFilename:/no/such/file.mif\n"),
            std::string::npos)
      << missing.out;
  EXPECT_NE(missing.out.find("sample.mif: 3 visible object(s)"), std::string::npos);
}

// A fresh folder holding a copy of the sample document.
class ConvertMif : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("morvane-cli-" + std::to_string(getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ + "/out");
    std::filesystem::create_directories(dir_ + "/tr");
    std::filesystem::copy_file(MORVANE_SAMPLES_DIR "/sample.mif", dir_ + "/sample.mif");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir_ + "/" + name); }
  std::string dir_;
};

TEST_F(ConvertMif, ConvertsTheSampleAndReportsLikeTheResultsWindow) {
  Outcome run = Morvane("convert-mif --format txt --org-dir out sample.mif", dir_);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "\nThu Jan  1 00:00:00 1970\n\nConverting " + dir_ + "/sample.mif\nDone.\n\n" +
                         std::string(84, '_') + "\nCreated the ancillary file:\n" + dir_ + "/out/ancillary.txt\n");
  EXPECT_EQ(run.err, "");  // no progress line when standard error is not a terminal
  for (const char* name : {"out/sample.org", "out/sample.txt", "out/ancillary.txt"}) EXPECT_TRUE(Exists(name)) << name;
  EXPECT_FALSE(Exists("out/sample.rtf"));

  // The same settings give the same bytes.
  std::ifstream first(dir_ + "/out/sample.txt", std::ios::binary);
  std::string before((std::istreambuf_iterator<char>(first)), std::istreambuf_iterator<char>());
  ASSERT_EQ(Morvane("convert-mif --format txt --org-dir out sample.mif", dir_).status, 0);
  std::ifstream second(dir_ + "/out/sample.txt", std::ios::binary);
  std::string after((std::istreambuf_iterator<char>(second)), std::istreambuf_iterator<char>());
  EXPECT_EQ(before, after);
  EXPECT_NE(before.find("<sourcelanguage \"English (US)\">"), std::string::npos);
}

TEST_F(ConvertMif, TranslatedFolderAndAncillaryChoices) {
  Outcome run = Morvane("convert-mif --org-dir out --translated-dir tr --source-language German sample.mif", dir_);
  EXPECT_EQ(run.status, 0) << run.out;
  for (const char* name : {"out/sample.rtf", "tr/sample.rtf", "out/ancillary.rtf", "tr/ancillary.rtf"}) {
    EXPECT_TRUE(Exists(name)) << name;
  }

  std::filesystem::remove_all(dir_ + "/tr");
  std::filesystem::create_directories(dir_ + "/tr");
  run = Morvane("convert-mif --org-dir tr --no-ancillary sample.mif", dir_);
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(Exists("tr/ancillary.rtf"));
  EXPECT_EQ(run.out.find("ancillary"), std::string::npos);

  run = Morvane("convert-mif --org-dir tr --ancillary shared.rtf sample.mif", dir_);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Exists("shared.rtf"));
  EXPECT_FALSE(Exists("tr/ancillary.rtf"));
}

TEST_F(ConvertMif, FailedAndRefusedFilesGiveExitStatusOne) {
  {
    std::ofstream notMif(dir_ + "/broken.mif");
    notMif << "This is not a MIF file.\n";
  }
  std::filesystem::copy_file(dir_ + "/sample.mif", dir_ + "/sample.doc");
  Outcome run = Morvane("convert-mif --org-dir out sample.doc broken.mif sample.mif", dir_);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Conversion Error 105. The MIF file has an invalid file extension.\n"), std::string::npos);
  EXPECT_NE(run.out.find("Converting " + dir_ + "/broken.mif\nConversion Error"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Converting " + dir_ + "/sample.mif\nDone."), std::string::npos);
  EXPECT_TRUE(Exists("out/ancillary.rtf"));  // one file was converted

  Outcome refused = Morvane("convert-mif --org-dir out sample.doc", dir_);
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(Exists("out/sample.doc.rtf"));
}

void ReplaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

TEST_F(ConvertMif, VerifyReportsTagChangesAndItsExitStatus) {
  ASSERT_EQ(Morvane("convert-mif --format txt --org-dir out --translated-dir tr sample.mif", dir_).status, 0);
  Outcome clean = Morvane("verify --org-dir out tr/sample.txt", dir_);
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_NE(clean.out.find("Verifying " + dir_ + "/tr/sample.txt\nVerification complete.\n\n"), std::string::npos)
      << clean.out;
  EXPECT_FALSE(Exists("tr/sample.cmp"));

  // A deleted internal tag is an alert: reported, but the file verified.
  std::string text = ReadBytes(dir_ + "/tr/sample.txt");
  ReplaceOnce(text, "<:v \"Product\" 1>", "Produkt");
  WriteBytes(dir_ + "/tr/sample.txt", text);
  Outcome alert = Morvane("verify --org-dir out tr/sample.txt", dir_);
  EXPECT_EQ(alert.status, 0);
  EXPECT_NE(alert.out.find("Verification complete.\nAlerts: 1\n"), std::string::npos) << alert.out;
  EXPECT_TRUE(Exists("tr/sample.cmp"));

  // A lost external tag is an error, which back conversion would refuse.
  ReplaceOnce(text, "</tb>", "");
  WriteBytes(dir_ + "/tr/sample.txt", text);
  Outcome failed = Morvane("verify --org-dir out tr/sample.txt", dir_);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("Verification complete.\nErrors: 2\nAlerts: 1\n"), std::string::npos) << failed.out;
  EXPECT_NE(ReadBytes(dir_ + "/tr/sample.cmp").find("Error 1512. The external tag </tb> has been deleted."),
            std::string::npos);

  Outcome usage = Morvane("verify tr/sample.txt", dir_);
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("--org-dir"), std::string::npos);
  EXPECT_EQ(Morvane("verify --org-dir out --suppress 0 tr/sample.txt", dir_).status, 2);
  EXPECT_EQ(Morvane("verify --org-dir out --suppress 46 tr/sample.txt", dir_).status, 2);
}

TEST_F(ConvertMif, VerifySuppressionChoices) {
  ASSERT_EQ(Morvane("convert-mif --format txt --org-dir out --translated-dir tr sample.mif", dir_).status, 0);
  std::string text = ReadBytes(dir_ + "/tr/sample.txt");
  ReplaceOnce(text, "<:v \"Product\" 1>", "Produkt");
  WriteBytes(dir_ + "/tr/sample.txt", text);
  // Message type 37 is the variable.
  Outcome suppressed = Morvane("verify --org-dir out --suppress 37 tr/sample.txt", dir_);
  EXPECT_EQ(suppressed.status, 0);
  EXPECT_NE(suppressed.out.find("Verification complete.\nSuppressed Alerts/Warnings: 1\n"), std::string::npos)
      << suppressed.out;

  Outcome types = Morvane("message-types");
  EXPECT_EQ(types.status, 0);
  EXPECT_NE(types.out.find(" 1  <:b> and <:/b> Bold  (suppressed by default)\n"), std::string::npos);
  EXPECT_NE(types.out.find("37  <:v \"xxx\" ?> Variable\n"), std::string::npos);
}

TEST_F(ConvertMif, PseudoTranslatedRoundTrip) {
  std::filesystem::create_directories(dir_ + "/ps");
  ASSERT_EQ(Morvane("convert-mif --org-dir out --translated-dir tr sample.mif", dir_).status, 0);
  Outcome pseudo = Morvane("pseudo --output-dir ps tr/sample.rtf tr/ancillary.rtf", dir_);
  EXPECT_EQ(pseudo.status, 0) << pseudo.err;
  EXPECT_EQ(Morvane("pseudo --output-dir tr tr/sample.rtf", dir_).status, 2);  // would replace itself

  Outcome back = Morvane("convert-kwx --org-dir out ps/sample.rtf", dir_);
  EXPECT_EQ(back.status, 0) << back.out;
  EXPECT_NE(back.out.find("Converting " + dir_ + "/ps/sample.rtf\nDone.\n"), std::string::npos) << back.out;
  const std::string mif = ReadBytes(dir_ + "/ps/sample.mif");
  EXPECT_EQ(mif.rfind("<MIFFile 5.50>", 0), 0u);
  EXPECT_EQ(mif.find("`Ready to print.'"), std::string::npos);  // the text was replaced
  EXPECT_NE(mif.find("<TblID 1>"), std::string::npos);            // the structure was not
  EXPECT_NE(mif.find("<VariableName `Product'>"), std::string::npos);

  // The untranslated file converts back too; without --org-dir it cannot.
  EXPECT_EQ(Morvane("convert-kwx --org-dir out tr/sample.rtf", dir_).status, 0);
  EXPECT_EQ(Morvane("convert-kwx tr/sample.rtf", dir_).status, 2);
}

// A file that cannot be pseudo-translated is reported with the string
// table's lines of its failure, never with a bare number; the other files
// of the call are still written.
TEST_F(ConvertMif, PseudoFailuresPrintTheStringTablesText) {
  std::filesystem::create_directories(dir_ + "/ps");
  ASSERT_EQ(Morvane("convert-mif --format txt --org-dir out --translated-dir tr sample.mif", dir_).status, 0);
  WriteBytes(dir_ + "/tr/empty.txt", "");
  WriteBytes(dir_ + "/tr/notrtf.rtf", "plain text, not RTF\n");
  Outcome run = Morvane("pseudo --output-dir ps tr/empty.txt tr/sample.txt tr/notrtf.rtf tr/missing.txt", dir_);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.find("(error"), std::string::npos) << run.out;
  const std::string tr = dir_ + "/tr/";
  for (const std::string& expected :
       {"Could not pseudo-translate " + tr + "empty.txt:\nConversion Error 1230. Unexpected end of input file.\n\n",
        "Pseudo-translated " + tr + "sample.txt\n  into " + dir_ + "/ps/sample.txt\n",
        "Could not pseudo-translate " + tr + "notrtf.rtf:\nConversion Error 1180. This file is not a valid RTF file.\n\n",
        "Could not pseudo-translate " + tr + "missing.txt:\nFile Error 3110. The file could not be located.\n"
        "Filename:" + tr + "missing.txt\n"}) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n---\n" << run.out;
  }
  EXPECT_TRUE(Exists("ps/sample.txt"));
  EXPECT_FALSE(Exists("ps/empty.txt"));
  EXPECT_FALSE(Exists("ps/notrtf.rtf"));
}

TEST_F(ConvertMif, ChangeBarsClearedInACopyOnRequest) {
  // The sample with change bars on in a format and automatically.
  std::string mif = ReadBytes(dir_ + "/sample.mif");
  ReplaceOnce(mif, "<FChangeBar No>", "<FChangeBar Yes>");
  ReplaceOnce(mif, "<DAutoChBars No>", "<DAutoChBars Yes>");
  WriteBytes(dir_ + "/bars.mif", mif);

  // By default the document is refused.
  Outcome refused = Morvane("convert-mif --format txt --org-dir out bars.mif", dir_);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("Change Bars are turned on"), std::string::npos) << refused.out;
  EXPECT_FALSE(Exists("out/bars.txt"));

  // The copy command: beside the file by default, never over it.
  Outcome copied = Morvane("clear-change-bars bars.mif sample.mif", dir_);
  EXPECT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(copied.out, "Change bars switched off (2 statements) in " + dir_ + "/bars.mif\n  into " + dir_ +
                            "/bars.cleared.mif\nNo change bars in " + dir_ + "/sample.mif; copied unchanged\n  into " +
                            dir_ + "/sample.cleared.mif\n");
  EXPECT_EQ(ReadBytes(dir_ + "/bars.cleared.mif"), ReadBytes(dir_ + "/sample.mif"));
  EXPECT_EQ(ReadBytes(dir_ + "/sample.cleared.mif"), ReadBytes(dir_ + "/sample.mif"));
  EXPECT_EQ(ReadBytes(dir_ + "/bars.mif"), mif);
  EXPECT_EQ(Morvane("clear-change-bars --output-dir . bars.mif", dir_).status, 2);
  EXPECT_EQ(ReadBytes(dir_ + "/bars.mif"), mif);
  EXPECT_EQ(Morvane("clear-change-bars --output-dir tr bars.mif", dir_).status, 0);
  EXPECT_EQ(ReadBytes(dir_ + "/tr/bars.mif"), ReadBytes(dir_ + "/sample.mif"));
  WriteBytes(dir_ + "/text.mif", "not MIF\n");
  Outcome notMif = Morvane("clear-change-bars --output-dir out text.mif", dir_);
  EXPECT_EQ(notMif.status, 1);
  EXPECT_NE(notMif.out.find("as a MIF file; no copy written."), std::string::npos);
  EXPECT_FALSE(Exists("out/text.mif"));

  // convert-mif converts from such a copy in the ORG folder, under the
  // document's own name, and says so; back conversion reads the ORG copy.
  Outcome converted = Morvane("convert-mif --format txt --org-dir out --clear-change-bars bars.mif sample.mif", dir_);
  EXPECT_EQ(converted.status, 0) << converted.out;
  EXPECT_EQ(converted.out.rfind("Change bars switched off (2 statements) in a copy of " + dir_ + "/bars.mif:\n  " +
                                    dir_ + "/out/change-bars-off/bars.mif\n",
                                0),
            0u)
      << converted.out;
  EXPECT_NE(converted.out.find("Converting " + dir_ + "/out/change-bars-off/bars.mif\nDone."), std::string::npos);
  EXPECT_NE(converted.out.find("Converting " + dir_ + "/sample.mif\nDone."), std::string::npos);  // no copy needed
  EXPECT_FALSE(Exists("out/change-bars-off/sample.mif"));
  EXPECT_EQ(ReadBytes(dir_ + "/out/change-bars-off/bars.mif"), ReadBytes(dir_ + "/sample.mif"));
  EXPECT_EQ(ReadBytes(dir_ + "/out/bars.org"), ReadBytes(dir_ + "/out/sample.org"));
  EXPECT_EQ(ReadBytes(dir_ + "/bars.mif"), mif);
  EXPECT_EQ(Morvane("verify --org-dir out out/bars.txt", dir_).status, 0);
  std::filesystem::copy_file(dir_ + "/out/bars.txt", dir_ + "/tr/bars.txt");
  EXPECT_EQ(Morvane("convert-kwx --org-dir out tr/bars.txt", dir_).status, 0);
  EXPECT_TRUE(Exists("tr/bars.mif"));

  // A copy that cannot be written (a file stands where its folder belongs)
  // ends the command before any conversion, with the reason.
  std::filesystem::create_directories(dir_ + "/blocked");
  WriteBytes(dir_ + "/blocked/change-bars-off", "a file\n");
  Outcome blocked = Morvane("convert-mif --format txt --org-dir blocked --clear-change-bars sample.mif bars.mif", dir_);
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.out, "");
  EXPECT_EQ(blocked.err, "morvane convert-mif: cannot write the copy without change bars " + dir_ +
                             "/blocked/change-bars-off/bars.mif: File Error 3020. All or part of the path is invalid.\n");
  EXPECT_FALSE(Exists("blocked/sample.txt"));

  const std::string help = Morvane("--help").out;
  EXPECT_NE(help.find("clear-change-bars [--output-dir DIR] FILE.mif..."), std::string::npos);
  EXPECT_NE(help.find("  --clear-change-bars "), std::string::npos);
}

TEST_F(ConvertMif, MIF70ConvertsOnlyWhenAskedAndTextWithoutAFormIsRefused) {
  std::string mif = ReadBytes(dir_ + "/sample.mif");
  ReplaceOnce(mif, "<MIFFile 5.50>", "<MIFFile 7.00>");
  WriteBytes(dir_ + "/seven.mif", mif);

  Outcome refused = Morvane("convert-mif --format txt --org-dir out seven.mif", dir_);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("Conversion Error 100."), std::string::npos) << refused.out;
  EXPECT_EQ(Morvane("convert-mif --format txt --org-dir out --max-mif-version 5.5 seven.mif", dir_).status, 1);
  EXPECT_EQ(Morvane("convert-mif --max-mif-version 8.0 seven.mif", dir_).status, 2);

  Outcome converted = Morvane("convert-mif --format txt --org-dir out --max-mif-version 7.0 seven.mif", dir_);
  EXPECT_EQ(converted.status, 0) << converted.out;
  EXPECT_EQ(Morvane("convert-mif --format txt --org-dir tr sample.mif", dir_).status, 0);
  // The same document as the 5.5 sample, apart from its version line.
  std::string org = ReadBytes(dir_ + "/out/seven.org");
  ReplaceOnce(org, "<MIFFile 7.00>", "<MIFFile 5.50>");
  EXPECT_EQ(org, ReadBytes(dir_ + "/tr/sample.org"));
  std::filesystem::create_directories(dir_ + "/back");
  std::filesystem::copy_file(dir_ + "/out/seven.txt", dir_ + "/back/seven.txt");
  EXPECT_EQ(Morvane("convert-kwx --org-dir out back/seven.txt", dir_).status, 0);
  EXPECT_EQ(ReadBytes(dir_ + "/back/seven.mif").rfind("<MIFFile 7.00>", 0), 0u);  // written as the version it came as

  // An attribute value holds text the KWX file has no form for: refused,
  // naming the statement and its line, and nothing is written.
  std::string attribute = mif;
  ReplaceOnce(attribute, "<MIFFile 7.00>", "<MIFFile 7.00>\n<ElementDefCatalog\n<AttrValue `Cover'>\n>");
  WriteBytes(dir_ + "/attribute.mif", attribute);
  Outcome text = Morvane("convert-mif --format txt --org-dir out --max-mif-version 7.0 attribute.mif", dir_);
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("Conversion Error 102. The MIF 7.0 statement AttrValue in line 3 holds text that cannot be "
                          "converted yet.\n"),
            std::string::npos)
      << text.out;
  for (const char* name : {"out/attribute.org", "out/attribute.txt"}) EXPECT_FALSE(Exists(name)) << name;

  EXPECT_NE(Morvane("--help").out.find("--max-mif-version 5.5|7.0"), std::string::npos);
}

TEST_F(ConvertMif, UnicodeVersionsConvertOnlyWhenAskedThroughTheSourceCodePageAndGoBackInUTF8) {
  // The made document: the sample in the form of MIF 9.00 (typographic
  // quotes as UTF-8), one paragraph holding a Polish place name.
  const std::string polish = ReadBytes(MORVANE_TEST_DATA_DIR "/mif/unicode/outside_code_page.mif");
  ASSERT_EQ(polish.rfind("<MIFFile 9.00>", 0), 0u);
  std::string nine = polish;
  ReplaceOnce(nine, "Printer notes from \xC5\x81\xC3\xB3" "d\xC5\xBA", "Printer notes");
  WriteBytes(dir_ + "/nine.mif", nine);
  WriteBytes(dir_ + "/polish.mif", polish);

  // Refused as before unless asked for.
  for (const char* option : {"", "--max-mif-version 5.5 ", "--max-mif-version 7.0 "}) {
    Outcome refused = Morvane(std::string("convert-mif --format txt --org-dir out ") + option + "nine.mif", dir_);
    EXPECT_EQ(refused.status, 1) << option;
    EXPECT_NE(refused.out.find("Conversion Error 100."), std::string::npos) << refused.out;
  }
  EXPECT_EQ(Morvane("convert-mif --max-mif-version 2022 nine.mif", dir_).status, 2);

  // Converted as the 5.5 sample is: the same KWX file, and an ORG copy that
  // differs from the sample's only in its version line.
  for (const char* value : {"2020", "modern"}) {
    Outcome converted = Morvane(std::string("convert-mif --format txt --org-dir out --max-mif-version ") + value +
                                    " nine.mif",
                                dir_);
    EXPECT_EQ(converted.status, 0) << converted.out;
  }
  EXPECT_EQ(Morvane("convert-mif --format txt --org-dir tr sample.mif", dir_).status, 0);
  const auto withoutSourcePath = [](std::string kwx) {
    const std::size_t at = kwx.find("<sourcepath ");
    if (at != std::string::npos) kwx.erase(at, kwx.find('\n', at) - at);
    return kwx;
  };
  EXPECT_EQ(withoutSourcePath(ReadBytes(dir_ + "/out/nine.txt")), withoutSourcePath(ReadBytes(dir_ + "/tr/sample.txt")));
  std::string org = ReadBytes(dir_ + "/out/nine.org");
  ASSERT_EQ(org.rfind("<MIFFile 9.00>", 0), 0u);
  std::string sampleORG = ReadBytes(dir_ + "/tr/sample.org");
  ReplaceOnce(sampleORG, "cover\\xd5s", "cover\\xd5 s");  // FrameMaker's own spelling of the escape
  EXPECT_EQ(org.substr(org.find('\n')), sampleORG.substr(sampleORG.find('\n')));
  EXPECT_EQ(Morvane("verify --org-dir out out/nine.txt", dir_).status, 0);

  // Back in UTF-8 under the ORG copy's version line: the sample's own back
  // conversion, spelled as MIF 9.00 spells it.
  std::filesystem::create_directories(dir_ + "/back");
  std::filesystem::copy_file(dir_ + "/out/nine.txt", dir_ + "/back/nine.txt");
  EXPECT_EQ(Morvane("convert-kwx --org-dir out back/nine.txt", dir_).status, 0);
  std::filesystem::copy_file(dir_ + "/tr/sample.txt", dir_ + "/back/sample.txt");
  EXPECT_EQ(Morvane("convert-kwx --org-dir tr back/sample.txt", dir_).status, 0);
  std::string expected = ReadBytes(dir_ + "/back/sample.mif");
  const std::string output = ReadBytes(dir_ + "/back/nine.mif");
  EXPECT_EQ(output.substr(0, output.find('\r')), nine.substr(0, nine.find('\n')));
  for (const auto& [escape, utf8] : {std::pair{"\\xd2 ", "\u201c"}, {"\\xd3 ", "\u201d"}, {"\\xd5 ", "\u2019"}}) {
    for (std::size_t at = expected.find(escape); at != std::string::npos; at = expected.find(escape)) {
      expected.replace(at, std::string(escape).size(), utf8);
    }
  }
  EXPECT_EQ(output.substr(output.find('\n')), expected.substr(expected.find('\n')));

  // A character the source code page lacks stops the file, naming it, its
  // line and paragraph and the languages that hold it; nothing is written.
  Outcome stopped = Morvane("convert-mif --format txt --org-dir out --max-mif-version modern polish.mif", dir_);
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.out.find("Conversion Error 104. The character U+0141 \"\xC5\x81\" in line 243, in the paragraph "
                             "with the ID 13, is not in the code page of the source language (1252).\n"
                             "The file is not converted: convert it with a source language whose code page (1250) "
                             "holds the character: Albanian, Croatian, Czech, Hungarian, Polish, Romanian, Serbian, "
                             "Slovak, Slovenian.\n"),
            std::string::npos)
      << stopped.out;
  for (const char* name : {"out/polish.org", "out/polish.txt"}) EXPECT_FALSE(Exists(name)) << name;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ + "/out")) {
    EXPECT_EQ(entry.path().filename().string().find("polish"), std::string::npos) << entry.path();
  }

  // Converts NAME.mif with LANGUAGE as source and target into NAME-org/,
  // converts the untranslated KWX and ancillary files back from NAME-back/
  // and returns the MIF file written there.
  const auto roundTrip = [&](const std::string& name, const std::string& language) {
    const std::string org = name + "-org", back = name + "-back";
    std::filesystem::create_directories(dir_ + "/" + org);
    Outcome forward = Morvane("convert-mif --format txt --org-dir " + org + " --source-language " + language +
                                  " --target-language " + language + " --max-mif-version modern " + name + ".mif",
                              dir_);
    EXPECT_EQ(forward.status, 0) << forward.out;
    std::filesystem::create_directories(dir_ + "/" + back);
    for (const std::string& file : {name + ".txt", std::string("ancillary.txt")}) {
      std::filesystem::copy_file(dir_ + "/" + org + "/" + file, dir_ + "/" + back + "/" + file);
    }
    Outcome backward =
        Morvane("convert-kwx --org-dir " + org + " --target-language " + language + " " + back + "/" + name + ".txt", dir_);
    EXPECT_EQ(backward.status, 0) << backward.out;
    return ReadBytes(dir_ + "/" + back + "/" + name + ".mif");
  };

  // With that source language it converts, and the name comes back.
  EXPECT_NE(roundTrip("polish", "Polish").find("<String `Printer notes from \xC5\x81\xC3\xB3" "d\xC5\xBA'>"),
            std::string::npos);
  // (The paragraph stands on a master page: its text is in the ancillary
  // file, in Windows-1250.)
  EXPECT_NE(ReadBytes(dir_ + "/polish-org/ancillary.txt").find("Printer notes from \xA3\xF3" "d\x9F"), std::string::npos);

  // Japanese text whose last character's second byte is 0x5C in the code
  // page (U+8868, 0x95 0x5C) comes back as that character at the string's
  // end, where back conversion escapes the byte.
  std::string japanese = polish;
  ReplaceOnce(japanese, "Printer notes from \xC5\x81\xC3\xB3" "d\xC5\xBA", "Printer notes from \xE8\xA1\xA8\xE7\xA4\xBA\xE8\xA1\xA8");
  WriteBytes(dir_ + "/japanese.mif", japanese);
  EXPECT_NE(roundTrip("japanese", "Japanese").find("<String `Printer notes from \xE8\xA1\xA8\xE7\xA4\xBA\xE8\xA1\xA8'>"),
            std::string::npos);

  // Text a statement holds that the KWX file has no form for: refused,
  // naming the version, the statement and its line.
  std::string attribute = nine;
  ReplaceOnce(attribute, "<Units Uin>", "<Units Uin>\n<PDFDocInfo\n <Key `Title'>\n <Value `Notes'>\n>");
  WriteBytes(dir_ + "/attribute.mif", attribute);
  Outcome text = Morvane("convert-mif --format txt --org-dir out --max-mif-version modern attribute.mif", dir_);
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("Conversion Error 102. The MIF 9.00 statement PDFDocInfo Value in line 5 holds text that "
                          "cannot be converted yet.\n"),
            std::string::npos)
      << text.out;
  EXPECT_FALSE(Exists("out/attribute.org"));

  const std::string help = Morvane("--help").out;
  EXPECT_NE(help.find("--max-mif-version 5.5|7.0|2020|modern"), std::string::npos);
  EXPECT_NE(help.find("Unicode versions 8.0 to 2020"), std::string::npos);
}
}  // namespace
