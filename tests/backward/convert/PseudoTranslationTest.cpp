// Pseudo-translation: rows of KWX lines with their pseudo-translated form,
// and whole files in both forms (text and RTF) read back.
#include <gtest/gtest.h>

#include <filesystem>

#include "backward/convert/BackTestSupport.h"
#include "System/Platform/FileException.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/KWXTextWriter.h"

using namespace back_test;

namespace {

struct Row {
  const char* name;
  int codePage;
  std::string line;
  std::string expected;
};

class PseudoLineTest : public ::testing::TestWithParam<Row> {};

TEST_P(PseudoLineTest, ChangesTextOnly) {
  EXPECT_EQ(ccs_PseudoTranslateLine(GetParam().line, GetParam().codePage), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PseudoLineTest,
    ::testing::Values(
        Row{"words", 1252, "<ps \"Body\" 2>Hello world", "<ps \"Body\" 2>H\xE9ll\xF6\xB7 w\xF6rld\xB7"},
        Row{"capital_vowels", 1252, "<ps \"A\" 1>An Old Idea, Useful", "<ps \"A\" 1>\xC5n\xB7 \xD8ld\xB7 \xCF" "d\xE9\xE0\xB7, \xDCs\xE9" "f\xFCl\xB7"},
        Row{"single_letters_numbers_punctuation", 1252, "a 12 b? <:t>(x)", "a 12 b? <:t>(x)"},
        Row{"tags_untouched", 1252, "<:cs \"Emphasis\" 1>bold<:/cs> <:xr \"Page Ref\" 2><:lt>",
            "<:cs \"Emphasis\" 1>b\xF6ld\xB7<:/cs> <:xr \"Page Ref\" 2><:lt>"},
        Row{"header_line", 1252, "<sourcelanguage \"English (US)\">", "<sourcelanguage \"English (US)\">"},
        Row{"marker_text_keeps_its_length", 1252, "<imk 3>Index entry", "<imk 3>IndEx Entry"},
        Row{"index_level_line", 1252, "<il>second level", "<il>sEcOnd lEvEl"},
        Row{"double_byte_page", 932, "abc \x83\x41 ok", "Abc \x83\x41 Ok"}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

class PseudoFileTest : public ScratchTest {};

TEST_F(PseudoFileTest, TextAndRTFFilesKeepTheirFormAndHeader) {
  const CQ_StringList lines = {"<kwx \"F3.00\">",
                               "<sourcecharset \"Normal\">",
                               "<sourcelanguage \"English (US)\">",
                               "<sourcehyphenation \"Turn Off\">",
                               "<sourcequotes \"As Text\">",
                               "<sourcepath \"C:\\docs\\a.mif\">",
                               "<ps \"Body\" 1>Some text",
                               "</kwx>"};
  CQ_KWXTextWriter::sv_Write(dir_ + "a.txt", lines);
  CQ_KWXRTFWriter::sv_PrepareAndWrite(dir_ + "a.rtf", lines, true, 1252, 1252, true);
  sv_PseudoTranslateFile(dir_ + "a.txt", dir_ + "b.txt");
  sv_PseudoTranslateFile(dir_ + "a.rtf", dir_ + "b.rtf");
  for (const char* name : {"b.txt", "b.rtf"}) {
    std::vector<std::string> read;
    const std::string path = dir_ + name;
    CQ_KWXReader::sv_ReadKWXLines(path, path.substr(path.size() - 4), read, 1252);
    ASSERT_EQ(read.size(), lines.size()) << name;
    for (std::size_t k = 0; k < read.size(); ++k) {
      EXPECT_EQ(read[k], k == 6 ? "<ps \"Body\" 1>S\xF6m\xE9\xB7 t\xE9xt\xB7" : lines[k]) << name << " line " << k;
    }
  }
  EXPECT_EQ(ReadBytes(dir_ + "b.rtf").rfind("{\\rtf1", 0), 0u);
  EXPECT_THROW(sv_PseudoTranslateFile(dir_ + "missing.txt", dir_ + "c.txt"), Platform::CQ_FileException);
  EXPECT_FALSE(Exists(dir_ + "c.txt"));
}

}  // namespace
