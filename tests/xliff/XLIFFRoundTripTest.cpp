// to-xliff and from-xliff end to end over the corpus: the untouched round
// trip gives the KWX files byte for byte, translate-toolkit reads and
// writes the XLIFF files, and the verifier sees what a target did to the
// inline codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include "support/TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using morvane_test::DeadProcessId;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Shell(const std::string& command, const std::string& folder) {
  const std::string errFile = fs::temp_directory_path() / ("xliff-err-" + std::to_string(getpid()));
  const std::string line = "cd '" + folder + "' && SOURCE_DATE_EPOCH=0 " + command + " 2>'" + errFile + "'";
  Outcome run{-1, "", ""};
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (FILE* err = fopen(errFile.c_str(), "r")) {
    while ((n = fread(buffer, 1, sizeof buffer, err)) > 0) run.err.append(buffer, n);
    fclose(err);
  }
  fs::remove(errFile);
  return run;
}

std::vector<fs::path> Files(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Names(const std::vector<fs::path>& files, const std::string& prefix) {
  std::string names;
  for (const fs::path& f : files) names += " '" + prefix + f.filename().string() + "'";
  return names;
}

// The MIF 4.0, 5.0 and 5.5 documents of the corpus.
std::vector<fs::path> SupportedCorpusFiles() {
  const fs::path corpus = MORVANE_CORPUS_DIR;
  std::istringstream manifest(ReadBytes(corpus / "MANIFEST.tsv"));
  std::vector<fs::path> files;
  std::string line;
  std::getline(manifest, line);
  while (std::getline(manifest, line)) {
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
    const std::string version = line.substr(tab1 + 1, tab2 - tab1 - 1);
    if (version == "4.00" || version == "5.00" || version == "5.50") files.push_back(corpus / line.substr(0, tab1));
  }
  return files;
}

// The contents of a MIF file's String statements, joined: long strings
// are cut into several statements, in the middle of words too.
std::string MIFText(const std::string& mif) {
  std::string text;
  for (std::size_t at = mif.find("<String `"); at != std::string::npos; at = mif.find("<String `", at)) {
    at += 9;
    const std::size_t end = mif.find("'>", at);
    if (end == std::string::npos) break;
    text += mif.substr(at, end - at);
    at = end;
  }
  return text;
}

const std::string kMorvane = std::string("'") + MORVANE_CLI + "'";

class XLIFFRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(MORVANE_CORPUS_DIR) / "MANIFEST.tsv")) GTEST_SKIP() << "no corpus";
    dir_ = fs::temp_directory_path() / ("xliff-test-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    for (const char* sub : {"org", "tr", "x", "back"}) fs::create_directories(dir_ / sub);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // Converts every supported corpus document in one batch; returns the
  // KWX files for translation, the ancillary file included.
  std::vector<fs::path> ConvertCorpus(const std::string& format, const std::string& languages = "") {
    std::string files;
    for (const fs::path& f : SupportedCorpusFiles()) files += " '" + f.string() + "'";
    // Documents the converter refuses (change bars) fail the batch; the
    // others are converted.
    Shell(kMorvane + " convert-mif --format " + format + languages + " --org-dir org --translated-dir tr" + files, dir_);
    return Files(dir_ / "tr", "." + format);
  }

  Outcome Morvane(const std::string& arguments) { return Shell(kMorvane + " " + arguments, dir_); }

  // Validates XLIFF files with xmllint against the XLIFF 1.2 schema Debian
  // ships (package php-symfony-translation, which scripts/bootstrap.sh
  // installs), without the network: a catalogue points the schema's import
  // of xml.xsd at the copy beside it. Debian has only the strict schema,
  // the transitional one without its deprecated parts; of those the files
  // use just the header's <prop-group> of KWX properties, so that element
  // must be each file's one complaint, and every other rule holds.
  void ExpectSchemaValid(const std::vector<fs::path>& xliff, const std::string& folder = "x/") {
    const fs::path schemas = "/usr/share/php/Symfony/Component/Translation/Resources/schemas";
    if (Shell("command -v xmllint >/dev/null", dir_).status != 0 ||
        !fs::exists(schemas / "xliff-core-1.2-strict.xsd") || !fs::exists(schemas / "xml.xsd")) {
      ADD_FAILURE() << "xmllint or the XLIFF 1.2 schema is missing: run scripts/bootstrap.sh as root";
      return;
    }
    std::ofstream(dir_ / "catalog.xml")
        << "<?xml version=\"1.0\"?>\n"
           "<catalog xmlns=\"urn:oasis:names:tc:entity:xmlns:xml:catalog\">\n"
           "  <system systemId=\"http://www.w3.org/2001/xml.xsd\" uri=\"file://"
        << (schemas / "xml.xsd").string() << "\"/>\n</catalog>\n";
    const Outcome check = Shell("XML_CATALOG_FILES=catalog.xml xmllint --nonet --noout --schema '" +
                                    (schemas / "xliff-core-1.2-strict.xsd").string() + "'" + Names(xliff, folder),
                                dir_);
    std::istringstream lines(check.err);
    std::string line;
    std::size_t deprecated = 0;
    while (std::getline(lines, line)) {
      if (line.find("validates") != std::string::npos || line.find("fails to validate") != std::string::npos) {
        continue;
      }
      if (line.find(": element prop-group: Schemas validity error : Element "
                    "'{urn:oasis:names:tc:xliff:document:1.2}prop-group': This element is not expected.") !=
          std::string::npos) {
        ++deprecated;
        continue;
      }
      ADD_FAILURE() << line;
    }
    EXPECT_EQ(deprecated, xliff.size()) << check.err;
  }

  fs::path dir_;
};

TEST_F(XLIFFRoundTrip, UntranslatedXLIFFGivesTheKWXFilesByteForByte) {
  const struct {
    const char* format;
    const char* languages;  // of convert-mif; to-xliff takes the target language
    const char* target;
  } runs[] = {
      {"rtf", "", ""},
      {"txt", "", ""},
      // Windows-1252 text and tags, a Windows-1251 target (a second RTF font).
      {"rtf", " --source-language German --target-language Russian", " --target-language Russian"},
  };
  for (const auto& run : runs) {
    const std::string format = run.format;
    SCOPED_TRACE(format + run.languages);
    const std::vector<fs::path> kwx = ConvertCorpus(format, run.languages);
    ASSERT_GE(kwx.size(), 4u) << "too few corpus documents converted";  // three or more, and the ancillary file
    Outcome to = Morvane("to-xliff --org-dir org --output-dir x" + std::string(run.target) + Names(kwx, "tr/"));
    ASSERT_EQ(to.status, 0) << to.out << to.err;
    const std::vector<fs::path> xliff = Files(dir_ / "x", ".xlf");
    ASSERT_EQ(xliff.size(), kwx.size());
    // Ids and everything else are the same on a second run.
    const std::string first = ReadBytes(xliff.front());
    EXPECT_NE(first.find(*run.target ? "source-language=\"de-DE\" target-language=\"ru-RU\""
                                     : "source-language=\"en-US\" target-language=\"en-US\""),
              std::string::npos);
    ASSERT_EQ(Morvane("to-xliff --org-dir org --output-dir x" + std::string(run.target) + Names({kwx.front()}, "tr/"))
                  .status,
              0);
    EXPECT_EQ(ReadBytes(xliff.front()), first);
    ExpectSchemaValid(xliff);

    Outcome from = Morvane("from-xliff --org-dir org --output-dir back" + Names(xliff, "x/"));
    ASSERT_EQ(from.status, 0) << from.out << from.err;
    for (const fs::path& file : kwx) {
      const std::string original = ReadBytes(file);
      ASSERT_FALSE(original.empty());
      EXPECT_TRUE(original == ReadBytes(dir_ / "back" / file.filename())) << file.filename() << " differs";
    }
    for (const char* sub : {"org", "tr", "x", "back"}) {
      fs::remove_all(dir_ / sub);
      fs::create_directories(dir_ / sub);
    }
  }
}

TEST_F(XLIFFRoundTrip, TranslateToolkitPseudoTranslationConvertsBack) {
  if (Shell("/usr/bin/python3 -c 'import translate.storage.xliff, lxml'", dir_).status != 0) {
    GTEST_SKIP() << "translate-toolkit is not installed (scripts/bootstrap.sh installs it)";
  }
  const std::vector<fs::path> kwx = ConvertCorpus("rtf");
  ASSERT_GE(kwx.size(), 4u);
  ASSERT_EQ(Morvane("to-xliff --org-dir org --output-dir x" + Names(kwx, "tr/")).status, 0);
  const std::vector<fs::path> xliff = Files(dir_ / "x", ".xlf");
  Outcome tool = Shell("/usr/bin/python3 '" MORVANE_XLIFF_SCRIPTS_DIR "/toolkit_pseudo.py' expected.tsv" +
                         Names(xliff, "x/"),
                     dir_);
  ASSERT_EQ(tool.status, 0) << tool.out << tool.err;
  EXPECT_NE(tool.out.find("pseudo-translated"), std::string::npos) << tool.out;

  Outcome from = Morvane("from-xliff --org-dir org --output-dir back" + Names(xliff, "x/"));
  ASSERT_EQ(from.status, 0) << from.out;
  std::vector<fs::path> documents;
  for (const fs::path& f : kwx) {
    if (f.filename() != "ancillary.rtf") documents.push_back(f);
  }
  Outcome verify = Morvane("verify --org-dir org" + Names(kwx, "back/"));
  EXPECT_EQ(verify.status, 0) << verify.out;
  EXPECT_EQ(verify.out.find("Errors:"), std::string::npos) << verify.out;
  EXPECT_EQ(verify.out.find("Alerts:"), std::string::npos) << verify.out;
  Outcome back = Morvane("convert-kwx --org-dir org" + Names(documents, "back/"));
  ASSERT_EQ(back.status, 0) << back.out;
  EXPECT_EQ(back.out.find("Warning 1360"), std::string::npos) << back.out;  // the ancillary sections were found

  // The translated files written out again carry <target>s, which must meet
  // the schema too.
  fs::create_directories(dir_ / "again");
  ASSERT_EQ(Morvane("to-xliff --org-dir org --output-dir again" + Names(kwx, "back/")).status, 0);
  const std::vector<fs::path> again = Files(dir_ / "again", ".xlf");
  ASSERT_EQ(again.size(), kwx.size());
  EXPECT_NE(ReadBytes(again.front()).find("<target>"), std::string::npos);
  ExpectSchemaValid(again, "again/");

  // Every unit's pseudo-translated words stand in its MIF file's text.
  std::istringstream expected(ReadBytes(dir_ / "expected.tsv"));
  std::string line;
  std::size_t words = 0;
  while (std::getline(expected, line)) {
    const std::string xlf = fs::path(line.substr(0, line.find('\t'))).filename().string();
    const std::string kwxName = xlf.substr(0, xlf.size() - 4);
    if (kwxName == "ancillary.rtf") continue;
    const std::string mif = MIFText(ReadBytes(dir_ / "back" / (fs::path(kwxName).stem().string() + ".mif")));
    std::istringstream list(line.substr(line.find('\t') + 1));
    std::string word;
    while (list >> word) {
      ++words;
      EXPECT_NE(mif.find(word), std::string::npos) << word << " missing from " << kwxName;
    }
  }
  EXPECT_GT(words, 1000u);
}

// OmegaT's console mode reads the files (its XLIFF filter translates in
// <target>, so the units carry a copy of their source), a memory it made
// is pseudo-translated the same way as above, and its target files must
// rebuild exactly the KWX files that translate-toolkit's gave.
TEST_F(XLIFFRoundTrip, OmegaTConsoleTranslationMatchesTranslateToolkit) {
  if (Shell("command -v omegat >/dev/null && /usr/bin/python3 -c 'import translate.storage.xliff, lxml'", dir_).status !=
      0) {
    GTEST_SKIP() << "omegat or translate-toolkit is not installed";
  }
  const std::vector<fs::path> kwx = ConvertCorpus("rtf");
  ASSERT_GE(kwx.size(), 4u);
  for (const char* sub : {"proj/source", "proj/target", "proj/tm", "proj/omegat", "proj/glossary", "proj/dictionary",
                          "tk", "tkback"}) {
    fs::create_directories(dir_ / sub);
  }
  WriteBytes(dir_ / "proj" / "omegat.project",
           "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<omegat>\n<project version=\"1.0\">\n"
           "<source_dir>__DEFAULT__</source_dir>\n<source_dir_excludes/>\n<target_dir>__DEFAULT__</target_dir>\n"
           "<tm_dir>__DEFAULT__</tm_dir>\n<glossary_dir>__DEFAULT__</glossary_dir>\n"
           "<glossary_file>__DEFAULT__</glossary_file>\n<dictionary_dir>__DEFAULT__</dictionary_dir>\n"
           "<source_lang>EN-US</source_lang>\n<target_lang>DE-DE</target_lang>\n"
           "<source_tok>org.omegat.tokenizer.LuceneEnglishTokenizer</source_tok>\n"
           "<target_tok>org.omegat.tokenizer.LuceneGermanTokenizer</target_tok>\n"
           "<sentence_seg>false</sentence_seg>\n<support_default_translations>true</support_default_translations>\n"
           "<remove_tags>false</remove_tags>\n</project>\n</omegat>\n");
  ASSERT_EQ(Morvane("to-xliff --copy-source --org-dir org --output-dir proj/source" + Names(kwx, "tr/")).status, 0);
  Outcome memory = Shell("omegat proj --mode=console-createpseudotranslatetmx "
                         "--pseudotranslatetmx=proj/omegat/project_save.tmx --pseudotranslatetype=equal",
                         dir_);
  ASSERT_EQ(memory.status, 0) << memory.out << memory.err;
  Outcome pseudo =
      Shell("/usr/bin/python3 '" MORVANE_XLIFF_SCRIPTS_DIR "/omegat_pseudo.py' proj/omegat/project_save.tmx", dir_);
  ASSERT_EQ(pseudo.status, 0) << pseudo.out << pseudo.err;
  Outcome translate = Shell("omegat proj --mode=console-translate", dir_);
  ASSERT_EQ(translate.status, 0) << translate.out << translate.err;
  const std::vector<fs::path> targets = Files(dir_ / "proj" / "target", ".xlf");
  ASSERT_EQ(targets.size(), kwx.size());
  Outcome from = Morvane("from-xliff --org-dir org --output-dir back" + Names(targets, "proj/target/"));
  ASSERT_EQ(from.status, 0) << from.out;

  // The same pseudo-translation through translate-toolkit.
  ASSERT_EQ(Morvane("to-xliff --org-dir org --output-dir tk" + Names(kwx, "tr/")).status, 0);
  const std::vector<fs::path> tk = Files(dir_ / "tk", ".xlf");
  ASSERT_EQ(Shell("/usr/bin/python3 '" MORVANE_XLIFF_SCRIPTS_DIR "/toolkit_pseudo.py' expected.tsv" + Names(tk, "tk/"),
                  dir_)
                .status,
            0);
  ASSERT_EQ(Morvane("from-xliff --org-dir org --output-dir tkback" + Names(tk, "tk/")).status, 0);
  for (const fs::path& file : kwx) {
    const std::string omegat = ReadBytes(dir_ / "back" / file.filename());
    EXPECT_NE(omegat, ReadBytes(file)) << file.filename() << " was not translated";
    EXPECT_TRUE(omegat == ReadBytes(dir_ / "tkback" / file.filename())) << file.filename() << " differs";
  }
  Outcome verify = Morvane("verify --org-dir org" + Names(kwx, "back/"));
  EXPECT_EQ(verify.status, 0) << verify.out;
}

TEST_F(XLIFFRoundTrip, DeletedInlineCodeIsReportedByVerify) {
  const std::vector<fs::path> kwx = ConvertCorpus("txt");
  ASSERT_FALSE(kwx.empty());
  fs::path document;
  for (const fs::path& f : kwx) {
    if (f.filename() != "ancillary.txt" && ReadBytes(f).find("<:/fc>") != std::string::npos) document = f;
  }
  ASSERT_FALSE(document.empty());
  ASSERT_EQ(Morvane("to-xliff --org-dir org --output-dir x" + Names({document}, "tr/")).status, 0);
  const fs::path xlf = dir_ / "x" / (document.filename().string() + ".xlf");
  std::string xml = ReadBytes(xlf);

  // The first unit with a closing code: its target is the source without it.
  const std::size_t ept = xml.find("<ept ");
  ASSERT_NE(ept, std::string::npos);
  const std::size_t source = xml.rfind("<source>", ept);
  const std::size_t sourceEnd = xml.find("</source>", ept);
  const std::size_t unit = xml.rfind("<trans-unit id=\"", source);
  const int lineNumber = std::stoi(xml.substr(unit + 16));
  std::string target = xml.substr(source + 8, sourceEnd - source - 8);
  const std::size_t eptInTarget = target.find("<ept ");
  target.erase(eptInTarget, target.find("</ept>", eptInTarget) + 6 - eptInTarget);
  std::string broken = xml;
  broken.insert(sourceEnd + 9, "\n<target>" + target + "</target>");
  WriteBytes(xlf, broken);

  ASSERT_EQ(Morvane("from-xliff --org-dir org --output-dir back x/" + xlf.filename().string()).status, 0);
  // The rebuilt line is the source line without the tag, on the same line.
  std::vector<std::string> lines;
  std::istringstream rebuilt(ReadBytes(dir_ / "back" / document.filename()));
  for (std::string l; std::getline(rebuilt, l);) lines.push_back(l.substr(0, l.find('\r')));
  ASSERT_GE(lines.size(), static_cast<std::size_t>(lineNumber));
  EXPECT_EQ(lines[lineNumber - 1].find("<:/fc>"), std::string::npos) << lines[lineNumber - 1];

  Outcome verify = Morvane("verify --org-dir org back/" + document.filename().string());
  EXPECT_NE(verify.out.find("Verification complete."), std::string::npos) << verify.out;
  const std::string report = ReadBytes(dir_ / "back" / (document.stem().string() + ".cmp"));
  EXPECT_NE(report.find("Warning 1703. The internal tag <:/fc> has been deleted."), std::string::npos) << report;
  EXPECT_NE(report.find(lines[lineNumber - 1].substr(0, 40)), std::string::npos) << report;

  // A target character the code page cannot hold: reported with the unit
  // id, and no KWX file is written.
  fs::remove(dir_ / "back" / document.filename());
  std::string greek = xml;
  greek.insert(sourceEnd + 9, "\n<target>\xCE\xA9</target>");
  WriteBytes(xlf, greek);
  Outcome refused = Morvane("from-xliff --org-dir org --output-dir back x/" + xlf.filename().string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("unit " + std::to_string(lineNumber) +
                             ": the character U+03A9 \"\xCE\xA9\" cannot be written in code page 1252"),
            std::string::npos)
      << refused.out;
  EXPECT_FALSE(fs::exists(dir_ / "back" / document.filename()));
}

TEST_F(XLIFFRoundTrip, UsageErrors) {
  EXPECT_EQ(Morvane("to-xliff tr/a.rtf").status, 2);
  EXPECT_EQ(Morvane("to-xliff --org-dir org").status, 2);
  EXPECT_EQ(Morvane("to-xliff --org-dir org --target-language Klingon tr/a.rtf").status, 2);
  EXPECT_EQ(Morvane("to-xliff --org-dir /no/such tr/a.rtf").status, 2);
  EXPECT_EQ(Morvane("from-xliff x/a.rtf.xlf").status, 2);
  // Rebuilding into the ORG folder would replace the source file.
  Outcome over = Morvane("from-xliff --org-dir org --output-dir org x/a.rtf.xlf");
  EXPECT_EQ(over.status, 2);
  EXPECT_NE(over.err.find("over its source"), std::string::npos) << over.err;
  Outcome missing = Morvane("to-xliff --org-dir org tr/a.rtf");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("Could not write XLIFF"), std::string::npos);
  Outcome help = Morvane("--help");
  EXPECT_NE(help.out.find("to-xliff --org-dir DIR KWX..."), std::string::npos);
  EXPECT_NE(help.out.find("Options of from-xliff:"), std::string::npos);
}

}  // namespace
