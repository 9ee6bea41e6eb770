// The session's search for visible MIF objects: which identifiers a file's
// pages show, and how failures reach the results queue.
#include <gtest/gtest.h>

#include "MIFTestSupport.h"

namespace {

using mif_test::CaseFolder;
using mif_test::WriteFile;

class FindMIFObjectsTest : public mif_test::SessionTest {};

struct VisibleRow {
  const char* fixture;
  std::vector<std::string> visible;
  std::vector<std::string> hidden;
};

TEST_F(FindMIFObjectsTest, RecordsObjectsThePagesShow) {
  const VisibleRow rows[] = {
      {"reading_order",
       {"<Unique 137>", "<TextRectID 10>", "<TextRectID 20>", "<Unique 135>", "<Unique 133>", "<Unique 134>",
        "<TextRectID 40>", "<TextRectID 41>"},
       // reference and hidden pages, a column without text
       {"<Unique 112>", "<Unique 121>", "<TextRectID 50>", "<TextRectID 30>", "<Unique 200>"}},
      {"anchored_objects",
       {"<TextRectID 10>", "<Unique 505>", "<Unique 502>", "<TextRectID 60>", "<TblID 1>", "<Unique 705>",
        "<Unique 704>"},
       // a frame and a table no anchor uses
       {"<Unique 521>", "<TblID 9>", "<Unique 500>"}},
      {"flow_preparation", {"<TextRectID 8>", "<TextRectID 9>", "<TextRectID 12>"}, {"<Unique 321>"}},
  };
  for (const VisibleRow& row : rows) {
    ASSERT_TRUE(session_.b_FindMIFObjects(CaseFolder(row.fixture) + "input.mif")) << row.fixture;
    for (const std::string& id : row.visible) EXPECT_TRUE(session_.b_GetVisibleMIFObject(id.c_str())) << row.fixture << " " << id;
    for (const std::string& id : row.hidden) EXPECT_FALSE(session_.b_GetVisibleMIFObject(id.c_str())) << row.fixture << " " << id;
    EXPECT_TRUE(Results().empty()) << row.fixture;
  }
}

TEST_F(FindMIFObjectsTest, SetsTaskAndMarkerPlaceholders) {
  session_.v_SetMarkerPlaceholders(1);
  ASSERT_TRUE(session_.b_FindMIFObjects(CaseFolder("catalogs") + "input.mif"));
  EXPECT_EQ(session_.i_GetTask(), TASK_MIF_TO_KWX);
  EXPECT_EQ(session_.i_GetMarkerPlaceholders(), 0);
  // The second form neither warns nor stops.
  EXPECT_TRUE(Results().empty());
}

TEST_F(FindMIFObjectsTest, FailuresAreReportedAsForABatchOfOne) {
  ASSERT_TRUE(session_.b_FindMIFObjects(CaseFolder("reading_order") + "input.mif"));
  ASSERT_TRUE(session_.b_GetVisibleMIFObject("<TextRectID 10>"));

  WriteFile(dir_ + "cut.mif", "<MIFFile 5.50>\n<Page\n<PageType BodyPage>\n");
  EXPECT_FALSE(session_.b_FindMIFObjects(dir_ + "cut.mif"));
  EXPECT_FALSE(session_.b_GetVisibleMIFObject("<TextRectID 10>"));
  EXPECT_EQ(Results(), (std::vector<std::string>{"Conversion Error 180. Unexpected end of input file.", ""}));

  EXPECT_FALSE(session_.b_FindMIFObjects(dir_ + "missing.mif"));
  EXPECT_EQ(Results(), (std::vector<std::string>{"File Error 3110. The file could not be located.",
                                                 "Filename:" + dir_ + "missing.mif", ""}));

  WriteFile(dir_ + "twice.mif", "<MIFFile 5.50>\n<Tbls\n<Tbl\n<TblID 1>\n> # end of Tbl\n<Tbl\n<TblID 1>\n"
                                "> # end of Tbl\n> # end of Tbls\n# End of MIFFile\n");
  EXPECT_FALSE(session_.b_FindMIFObjects(dir_ + "twice.mif"));
  EXPECT_EQ(Results(), (std::vector<std::string>{"Conversion Error 20. A parser error has occurred.", ""}));
}

}  // namespace
