// KWX lines to XLIFF units and back: inline codes, targets, code pages and
// the problems a translated XLIFF file can carry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/session/Languages.h"
#include "kernel/xliff/XLIFFBridge.h"

namespace {

st_XLIFFFileInfo Info(int sourceCodePage = 1252, int targetCodePage = 1252) {
  st_XLIFFFileInfo info;
  info.cs_Original = "doc.txt";
  info.b_RTF = false;
  info.cs_SourceLanguage = "English (US)";
  info.cs_TargetLanguage = targetCodePage == 1253 ? "Greek" : "German";
  info.i_SourceCodePage = sourceCodePage;
  info.i_TargetCodePage = targetCodePage;
  return info;
}

// The <source> element of the unit with the given id.
std::string SourceOf(const std::string& xml, int id) {
  const std::size_t unit = xml.find("<trans-unit id=\"" + std::to_string(id) + "\"");
  if (unit == std::string::npos) return "(no unit)";
  const std::size_t begin = xml.find("<source>", unit);
  const std::size_t end = xml.find("</source>", begin);
  return xml.substr(begin + 8, end - begin - 8);
}

bool Translatable(const std::string& xml, int id) {
  const std::size_t unit = xml.find("<trans-unit id=\"" + std::to_string(id) + "\"");
  const std::size_t close = xml.find('>', unit);
  return xml.substr(unit, close - unit).find("translate=\"no\"") == std::string::npos;
}

// The XML with the target of unit `id` replaced (or added) by `target`.
std::string WithTarget(std::string xml, int id, const std::string& target) {
  const std::size_t unit = xml.find("<trans-unit id=\"" + std::to_string(id) + "\"");
  const std::size_t sourceEnd = xml.find("</source>", unit) + 9;
  const std::size_t old = xml.find("<target>", unit);
  const std::size_t note = xml.find("<note>", unit);
  if (old != std::string::npos && old < note) {
    xml.erase(old, xml.find("</target>", old) + 9 - old);
  }
  xml.insert(sourceEnd, "<target>" + target + "</target>");
  return xml;
}

const struct {
  const char* line;
  const char* source;  // the expected <source> content
  bool translatable;
} kRows[] = {
    {"<kwx \"F3.00\">", "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;kwx \"F3.00\"&gt;</ph>", false},
    {"<ps \"Body\" 1>Hello", "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"Body\" 1&gt;</ph>Hello", true},
    {"<ps \"Body\" 2>A <:cs \"Emphasis\" 1>big<:/cs> deal",
     "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"Body\" 2&gt;</ph>A <bpt id=\"2\" rid=\"2\" "
     "ctype=\"x-kwx-internal\">&lt;:cs \"Emphasis\" 1&gt;</bpt>big<ept id=\"2\" rid=\"2\">&lt;:/cs&gt;</ept> deal",
     true},
    // A pair that closes on a later line: each half is a placeholder.
    {"<ps \"Body\" 3>open <:fc 4>bold", "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"Body\" 3&gt;</ph>open <ph "
                                        "id=\"2\" ctype=\"x-kwx-internal\">&lt;:fc 4&gt;</ph>bold",
     true},
    {"still bold<:/fc> & done", "still bold<ph id=\"1\" ctype=\"x-kwx-internal\">&lt;:/fc&gt;</ph> &amp; done", true},
    // A quoted tag argument holding an escaped bracket stays one code.
    {"<ps \"A<:lt>B\" 4>x<:lt>y<:t>\"q\"",
     "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"A&lt;:lt&gt;B\" 4&gt;</ph>x<ph id=\"2\" "
     "ctype=\"x-kwx-internal\">&lt;:lt&gt;</ph>y<ph id=\"3\" ctype=\"x-kwx-internal\">&lt;:t&gt;</ph>\"q\"",
     true},
    // Windows-1252 text becomes UTF-8; a control byte XML cannot hold is
    // kept as a byte code.
    {"<ps \"Body\" 5>Caf\xE9 \x80 x\x01y",
     "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"Body\" 5&gt;</ph>Caf\xC3\xA9 \xE2\x82\xAC x<ph id=\"2\" "
     "ctype=\"x-kwx-bytes\">01</ph>y",
     true},
    // A tag XML cannot hold is a byte code, and its partner a placeholder:
    // an <ept> has no ctype to mark bytes with.
    {"<:cs \"a\x01" "b\" 1>x<:/cs>",
     "<ph id=\"1\" ctype=\"x-kwx-bytes\">3C3A637320226101622220313E</ph>x<ph id=\"2\" "
     "ctype=\"x-kwx-internal\">&lt;:/cs&gt;</ph>",
     true},
    {"</tr>", "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;/tr&gt;</ph>", false},
    {"<ps \"Body\" 6>   ", "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"Body\" 6&gt;</ph>   ", false},
    {"<imk 1>Index<il>Entry", "<ph id=\"1\" ctype=\"x-kwx-external\">&lt;imk 1&gt;</ph>Index<ph id=\"2\" "
                              "ctype=\"x-kwx-external\">&lt;il&gt;</ph>Entry",
     true},
    {"a stray > and <unclosed", "a stray &gt; and <ph id=\"1\" ctype=\"x-kwx-external\">&lt;unclosed</ph>", true},
};

std::vector<std::string> RowLines() {
  std::vector<std::string> lines;
  for (const auto& row : kRows) lines.emplace_back(row.line);
  return lines;
}

TEST(XLIFFBridge, EachLineIsOneUnitWithTagsAsInlineCodes) {
  const std::vector<std::string> lines = RowLines();
  const std::string xml = ccs_WriteXLIFF(lines, nullptr, Info());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const int id = static_cast<int>(i + 1);
    EXPECT_EQ(SourceOf(xml, id), kRows[i].source);
    EXPECT_EQ(Translatable(xml, id), kRows[i].translatable);
  }
  EXPECT_NE(xml.find("<file original=\"doc.txt\" source-language=\"en-US\" target-language=\"de-DE\" "
                     "datatype=\"plaintext\""),
            std::string::npos);
  EXPECT_NE(xml.find("<note>KWX line 3, paragraph format \"Body\"</note>"), std::string::npos);
  EXPECT_EQ(xml.find("<target>"), std::string::npos);
  // The same lines give the same document, ids included.
  EXPECT_EQ(xml, ccs_WriteXLIFF(lines, nullptr, Info()));
}

TEST(XLIFFBridge, LinesComeBackByteForByte) {
  const std::vector<std::string> lines = RowLines();
  for (int codePage : {1252, 1250}) {
    st_XLIFFFileInfo info;
    std::vector<std::string> back;
    std::vector<st_XLIFFProblem> problems;
    ASSERT_TRUE(sb_ReadXLIFF(ccs_WriteXLIFF(lines, nullptr, Info(codePage, codePage)), info, back, problems))
        << (problems.empty() ? "" : problems[0].cs_Text);
    EXPECT_EQ(back, lines);
    EXPECT_EQ(info.cs_Original, "doc.txt");
    EXPECT_FALSE(info.b_RTF);
    EXPECT_EQ(info.i_SourceCodePage, codePage);
  }
  // Double-byte text: a Japanese word and a lone trail-less lead byte.
  const std::vector<std::string> japanese = {"<ps \"Body\" 1>\x93\xFA\x96\x7B\x8C\xEA\\x", "<ps \"Body\" 2>a\x81"};
  st_XLIFFFileInfo info;
  std::vector<std::string> back;
  std::vector<st_XLIFFProblem> problems;
  const std::string xml = ccs_WriteXLIFF(japanese, nullptr, Info(932, 932));
  EXPECT_NE(xml.find("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\\x"), std::string::npos);  // UTF-8, backslash kept
  ASSERT_TRUE(sb_ReadXLIFF(xml, info, back, problems));
  EXPECT_EQ(back, japanese);
}

TEST(XLIFFBridge, TargetsReplaceTheirSourcesAndCodesFollowTheTarget) {
  const std::vector<std::string> lines = {"<ps \"Body\" 1>A <:cs \"E\" 1>big<:/cs> deal<:v \"V\" 1>",
                                          "<ps \"Body\" 2>keep"};
  const std::string xml = ccs_WriteXLIFF(lines, nullptr, Info());
  const std::string ps = "<ph id=\"1\">&lt;ps \"Body\" 1&gt;</ph>";
  const struct {
    const char* what;
    std::string target;
    std::string line;
  } rows[] = {
      {"translated, codes copied", ps + "Ein <bpt id=\"2\">&lt;:cs \"E\" 1&gt;</bpt>gro\xC3\x9F<ept id=\"2\">&lt;:/cs&gt;</ept>",
       "<ps \"Body\" 1>Ein <:cs \"E\" 1>gro\xDF<:/cs>"},
      {"empty codes take the source's", "<ph id=\"1\"/>X<bpt id=\"2\"/>Y<ept id=\"2\"/><ph id=\"3\"/>",
       "<ps \"Body\" 1>X<:cs \"E\" 1>Y<:/cs><:v \"V\" 1>"},
      {"reordered codes", "<ph id=\"1\"/><ph id=\"3\"/>Z<bpt id=\"2\"/>W<ept id=\"2\"/>",
       "<ps \"Body\" 1><:v \"V\" 1>Z<:cs \"E\" 1>W<:/cs>"},
      {"a duplicated code", "<ph id=\"1\"/>Q<ph id=\"3\"/><ph id=\"3\"/>", "<ps \"Body\" 1>Q<:v \"V\" 1><:v \"V\" 1>"},
      {"a dropped code", "<ph id=\"1\"/>only text", "<ps \"Body\" 1>only text"},
      {"codes a tool writes as x, bx and ex", "<x id=\"1\"/>R<bx id=\"2\"/>S<ex id=\"2\"/><x id=\"3\"/><x id=\"9\"/>",
       "<ps \"Body\" 1>R<:cs \"E\" 1>S<:/cs><:v \"V\" 1>"},
      {"an empty target", "", lines[0]},
      {"marked text", ps + "<mrk mtype=\"x-note\">marked</mrk>", "<ps \"Body\" 1>marked"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string translated = WithTarget(xml, 1, row.target);
    st_XLIFFFileInfo info;
    std::vector<std::string> back;
    std::vector<st_XLIFFProblem> problems;
    ASSERT_TRUE(sb_ReadXLIFF(translated, info, back, problems)) << problems[0].cs_Text;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], row.line);
    EXPECT_EQ(back[1], lines[1]);
  }
  // A unit marked translate="no" keeps its source whatever its target says.
  const std::vector<std::string> structure = {"</tr>"};
  std::string locked = WithTarget(ccs_WriteXLIFF(structure, nullptr, Info()), 1, "<ph id=\"1\">&lt;/tb&gt;</ph>");
  st_XLIFFFileInfo info;
  std::vector<std::string> back;
  std::vector<st_XLIFFProblem> problems;
  ASSERT_TRUE(sb_ReadXLIFF(locked, info, back, problems));
  EXPECT_EQ(back, structure);
}

TEST(XLIFFBridge, PreTranslatedLinesBecomeTargets) {
  const std::vector<std::string> sources = {"<kwx \"F3.00\">", "<ps \"Body\" 1>Hello", "<ps \"Body\" 2>Same"};
  const std::vector<std::string> targets = {"<kwx \"F3.00\">", "<ps \"Body\" 1>Gr\xFC\xDF Gott", "<ps \"Body\" 2>Same"};
  const std::string xml = ccs_WriteXLIFF(sources, &targets, Info());
  EXPECT_NE(xml.find("<target><ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"Body\" 1&gt;</ph>Gr\xC3\xBC\xC3\x9F "
                     "Gott</target>"),
            std::string::npos);
  EXPECT_EQ(xml.find("<target>", xml.find("<trans-unit id=\"3\"")), std::string::npos);
  st_XLIFFFileInfo info;
  std::vector<std::string> back;
  std::vector<st_XLIFFProblem> problems;
  ASSERT_TRUE(sb_ReadXLIFF(xml, info, back, problems));
  EXPECT_EQ(back, targets);

  // Russian from German: the tag keeps its Windows-1252 bytes, the text is
  // Windows-1251.
  const std::vector<std::string> german = {"<ps \"\xDC" "berschrift\" 1>Gru\xDF"};
  const std::vector<std::string> russian = {"<ps \"\xDC" "berschrift\" 1>\xCF\xF0\xE8\xE2\xE5\xF2"};
  st_XLIFFFileInfo mixed = Info(1252, 1251);
  const std::string cyrillic = ccs_WriteXLIFF(german, &russian, mixed);
  EXPECT_NE(cyrillic.find("<target><ph id=\"1\" ctype=\"x-kwx-external\">&lt;ps \"\xC3\x9C" "berschrift\" 1&gt;</ph>"
                          "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82</target>"),
            std::string::npos)
      << cyrillic;
  back.clear();
  ASSERT_TRUE(sb_ReadXLIFF(cyrillic, info, back, problems));
  EXPECT_EQ(back, russian);
}

TEST(XLIFFBridge, TargetCharactersOutsideTheCodePageAreReportedNeverReplaced) {
  const std::vector<std::string> lines = {"<kwx \"F3.00\">", "<ps \"Body\" 1>Omega"};
  const std::string target = "<ph id=\"1\"/>\xCE\xA9mega \xE2\x82\xAC";  // "Ωmega €"
  {
    st_XLIFFFileInfo info;
    std::vector<std::string> back;
    std::vector<st_XLIFFProblem> problems;
    EXPECT_FALSE(sb_ReadXLIFF(WithTarget(ccs_WriteXLIFF(lines, nullptr, Info()), 2, target), info, back, problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].cs_UnitId, "2");
    EXPECT_EQ(problems[0].cs_Text, "the character U+03A9 \"\xCE\xA9\" cannot be written in code page 1252");
  }
  {
    // Greek holds both characters.
    st_XLIFFFileInfo info;
    std::vector<std::string> back;
    std::vector<st_XLIFFProblem> problems;
    ASSERT_TRUE(
        sb_ReadXLIFF(WithTarget(ccs_WriteXLIFF(lines, nullptr, Info(1252, 1253)), 2, target), info, back, problems));
    EXPECT_EQ(back[1], "<ps \"Body\" 1>\xD9mega \x80");
  }
}

TEST(XLIFFBridge, BrokenDocumentsAreRefusedWithAReason) {
  const std::string good = ccs_WriteXLIFF({"<ps \"Body\" 1>x"}, nullptr, Info());
  const struct {
    std::string xml;
    const char* reason;
  } rows[] = {
      {good.substr(0, good.size() / 2), "not well-formed"},
      {"<xliff version=\"1.2\"></xliff>", "no XLIFF <file> element"},
      {std::string(good).replace(good.find("<prop prop-type=\"form\">"), 23, "<prop prop-type=\"shape\">"),
       "lacks the KWX property \"form\""},
      {std::string(good).replace(good.find("doc.txt"), 7, "../x.txt"), "not a plain file name"},
      {std::string(good).replace(good.find("x</source>"), 1, "&bogus;"), "unknown entity"},
      {std::string(good).replace(good.find("</source>"), 9, "</target>"), "does not close"},
  };
  for (const auto& row : rows) {
    st_XLIFFFileInfo info;
    std::vector<std::string> back;
    std::vector<st_XLIFFProblem> problems;
    EXPECT_FALSE(sb_ReadXLIFF(row.xml, info, back, problems)) << row.reason;
    ASSERT_FALSE(problems.empty()) << row.reason;
    EXPECT_NE(problems[0].cs_Text.find(row.reason), std::string::npos) << problems[0].cs_Text;
  }
}

// Every prefix of a document is refused with a reason, except those that
// lack only the final line end; and whatever is read writes again to the
// same lines (the property the fuzz target checks on random input).
TEST(XLIFFBridge, EveryTruncatedDocumentIsRefused) {
  const std::vector<std::string> lines = RowLines();
  const std::string xml = ccs_WriteXLIFF(lines, nullptr, Info());
  const std::size_t complete = xml.rfind('>') + 1;
  for (std::size_t n = 0; n <= xml.size(); ++n) {
    st_XLIFFFileInfo info;
    std::vector<std::string> back;
    std::vector<st_XLIFFProblem> problems;
    const bool read = sb_ReadXLIFF(std::string_view(xml).substr(0, n), info, back, problems);
    if (n < complete) {
      ASSERT_FALSE(read) << "prefix of " << n << " bytes";
      ASSERT_FALSE(problems.empty());
    } else {
      ASSERT_TRUE(read) << "prefix of " << n << " bytes";
      EXPECT_EQ(back, lines);
    }
  }
}

TEST(XLIFFBridge, WhatIsReadWritesAgainToTheSameLines) {
  // A target made of byte codes, x codes and text in a double-byte page.
  const std::string xml = WithTarget(ccs_WriteXLIFF({"<ps \"Body\" 1>x", "<ps \"Body\" 2>y"}, nullptr, Info(932, 932)),
                                     2, "<ph id=\"7\" ctype=\"x-kwx-bytes\">8101FF</ph>a<x id=\"1\"/>\xE6\x97\xA5");
  st_XLIFFFileInfo info;
  std::vector<std::string> lines;
  std::vector<st_XLIFFProblem> problems;
  ASSERT_TRUE(sb_ReadXLIFF(xml, info, lines, problems));
  EXPECT_EQ(lines[1], "\x81\x01\xFF" "a<ps \"Body\" 2>\x93\xFA");
  std::vector<std::string> again;
  ASSERT_TRUE(sb_ReadXLIFF(ccs_WriteXLIFF(lines, nullptr, info), info, again, problems));
  EXPECT_EQ(again, lines);
}

TEST(XLIFFBridge, EveryOfferedLanguageHasABCP47Tag) {
  for (bool source : {true, false}) {
    for (const std::string& name : ccs_OfferedLanguageNames(source)) {
      const std::string tag = ccs_BCP47ForLanguage(name);
      EXPECT_FALSE(tag.empty()) << name;
      EXPECT_EQ(tag.find('_'), std::string::npos) << name;
    }
  }
  EXPECT_EQ(ccs_BCP47ForLanguage("English (UK)"), "en-GB");
  EXPECT_EQ(ccs_BCP47ForLanguage("Chinese (Traditional)"), "zh-TW");
  EXPECT_EQ(ccs_BCP47ForLanguage("Klingon"), "");
}

}  // namespace
