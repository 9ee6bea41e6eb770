// The KWX fixtures in their three forms give the same lines: the text
// form, the RTF form as forward conversion writes it, and that RTF opened
// and saved again by a word processor (LibreOffice Writer; see
// tests/data/reader/make-resaved.sh). The expected lines come from the
// UTF-8 samples through iconv, independently of the readers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/backward/KWXSegmenter.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/ConverterFactory.h"

namespace {

using namespace reader_test;

struct Sample {
  const char* name;
  int codePage;  // the source code page the sample is written in
};

// Names the row in test output.
void PrintTo(const Sample& s, std::ostream* os) { *os << s.name; }

const Sample kSamples[] = {
    {"sample-1252", 1252}, {"sample-1250", 1250},     {"sample-1251-1250", 1251}, {"sample-1253", 1253},
    {"sample-1254", 1254}, {"sample-1257", 1257},     {"sample-932", 932},        {"sample-936", 936},
    {"sample-949", 949},   {"sample-950", 950},       {"ancillary-1252", 1252},
};

class ReaderFixture : public ::testing::TestWithParam<Sample> {
 protected:
  std::string Name(const char* suffix) const { return std::string(GetParam().name) + suffix; }
  std::vector<std::string> Expected() const { return ExpectedLines(GetParam().name, GetParam().codePage); }
  std::vector<std::string> ReadRTF(const std::string& path) const {
    std::vector<std::string> lines;
    CQ_RTFReader(GetParam().codePage).v_ReadFile(path, lines);
    return lines;
  }
};

TEST_P(ReaderFixture, TextFormGivesTheSampleLines) {
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadKWXLines(DataPath(Name(".txt")), ".txt", lines, GetParam().codePage);
  EXPECT_TRUE(SameLines(Expected(), lines));
}

TEST_P(ReaderFixture, RTFFormGivesTheSameLines) {
  EXPECT_TRUE(SameLines(Expected(), ReadRTF(DataPath(Name(".rtf")))));
}

// A word processor writes the no-break space and the soft hyphen of the
// text as "\~" and "\-", which are read as FrameMaker's hard space and
// discretionary hyphen (as bytes, back conversion would drop the one and
// print the other as a plain hyphen).
std::vector<std::string> AsAWordProcessorWritesThem(std::vector<std::string> lines, int codePage) {
  if (codePage >= 1250) {
    for (std::string& line : lines) {
      std::string out;
      for (char c : line) {
        if (c == '\xA0') {
          out += "<:hs>";
        } else if (c == '\xAD') {
          out += "<:dh>";
        } else {
          out.push_back(c);
        }
      }
      line = out;
    }
  }
  return lines;
}

TEST_P(ReaderFixture, RTFSavedAgainByAWordProcessorGivesTheSameLines) {
  EXPECT_TRUE(SameLines(AsAWordProcessorWritesThem(Expected(), GetParam().codePage),
                        ReadRTF(DataPath("resaved/" + Name(".rtf")))));
}

TEST_P(ReaderFixture, KernelFactoryReadsTheResavedFile) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  session.v_SetTargetCodePage(GetParam().codePage);  // translated text is in the target's code page
  CExtStringList lines;
  auto factory = pco_CreateKernelConverterFactory();
  ASSERT_TRUE(factory->vb_ReadRTFLines(session, DataPath("resaved/" + Name(".rtf")), lines));
  EXPECT_TRUE(SameLines(AsAWordProcessorWritesThem(Expected(), GetParam().codePage), lines.Lines()));
}

TEST_P(ReaderFixture, HeaderValidatesAndNamesTheSampleCodePage) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  const std::vector<std::string> lines = ReadRTF(DataPath("resaved/" + Name(".rtf")));
  st_KWXHeader header;
  const std::string fileName = DataPath(Name(".rtf"));
  if (std::string(GetParam().name).rfind("ancillary", 0) == 0) {
    // Named like an ancillary file, it may go without its source path.
    CQ_KWXReader::sv_ValidateVerifierHeader(lines, session, "C:/x/Ancillary.RTF", true, header);
    EXPECT_EQ(header.cs_SourcePathLine, "");
    EXPECT_THROW(CQ_KWXReader::sv_ValidateVerifierHeader(lines, session, fileName, true, header), int);
  } else {
    CQ_KWXReader::sv_ValidateConversionHeader(lines, session, header);
    EXPECT_EQ(header.cs_SourcePathLine, lines[5]);
  }
  EXPECT_EQ(session.i_GetSourceCodePage(), GetParam().codePage);
  EXPECT_EQ(session.et_GetKWXVersion(), KWX_VERSION_F300);
}

TEST_P(ReaderFixture, SegmentsOfEveryFormAgree) {
  std::vector<std::string> text;
  CQ_KWXReader::sv_ReadKWXLines(DataPath(Name(".txt")), ".TXT", text, GetParam().codePage);
  text = AsAWordProcessorWritesThem(text, GetParam().codePage);
  std::vector<std::string> resaved;
  CQ_KWXReader::sv_ReadKWXLines(DataPath("resaved/" + Name(".rtf")), ".RTF", resaved, GetParam().codePage);
  KWX::CQ_TagSegmentList a, b;
  KWX::CQ_KWXSegmenter::sv_Tokenise(text, a);
  KWX::CQ_KWXSegmenter::sv_Tokenise(resaved, b);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_FALSE(a.empty());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].cs_Tag, b[i].cs_Tag) << i;
    EXPECT_EQ(a[i].cs_Text, b[i].cs_Text) << i;
    EXPECT_EQ(a[i].n_Line, b[i].n_Line) << i;
  }
  // A correct source classifies without validity errors.
  EXPECT_TRUE(KWX::CQ_KWXSegmenter::st_Classify(a, true).ast_Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Samples, ReaderFixture, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
