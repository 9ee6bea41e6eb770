// Loading message texts through the registration hook.
#include <gtest/gtest.h>

#include "System/String/CString.h"
#include "System/String/LoadString.h"
#include "System/String/UString.h"

namespace {

const char* Table1252(std::uint32_t id) { return id == 1 ? "Caf\xE9 %s #%d" : nullptr; }
const char* TableUtf8(std::uint32_t id) { return id == 1 ? "Caf\xC3\xA9 %s #%d" : (id == 2 ? "" : nullptr); }

const int gFirst = 0;
const int gSecond = 0;

TEST(LoadString, TextsConvertIntoTheTargetAndFormat) {
  const CQ_Module first = CQ_ModuleOf(&gFirst);
  const CQ_Module second = CQ_ModuleOf(&gSecond);
  CQ_LoadString::sv_Register(first, &Table1252, 1252);
  CQ_LoadString::sv_Register(second, &TableUtf8, 65001);

  CQ_UString wide;
  CQ_LoadString::sv_LoadString(wide, first, 1);
  EXPECT_TRUE(wide == u"Caf\u00E9 %s #%d");
  CQ_LoadString::sv_LoadStringVA(wide, second, 1, "au lait", 2);
  EXPECT_TRUE(wide == u"Caf\u00E9 au lait #2");
  CQ_CString narrow(1252);
  CQ_LoadString::sv_LoadStringVA(narrow, second, 1, "noir", 3);
  EXPECT_STREQ(narrow.qccz_Get(), "Caf\xE9 noir #3") << "UTF-8 table text converted into 1252";

  char16_t buffer[6];
  CQ_LoadString::sv_LoadString(buffer, 6, first, 1);
  EXPECT_EQ(std::u16string(buffer), u"Caf\u00E9 ") << "cut to the buffer";
  CQ_LoadString::sv_LoadString(wide, first, 99);
  EXPECT_EQ(wide.vn_GetLength(), 0u) << "an unknown id loads as empty";
  CQ_LoadString::sv_LoadString(wide, CQ_ModuleOf(&wide), 1);
  EXPECT_EQ(wide.vn_GetLength(), 0u) << "an unknown module loads as empty";

  CQ_LoadString::sv_SetDefaultModule(second);
  EXPECT_EQ(CQ_LoadString::sh_GetDefaultModule(), second);
  CQ_LoadString::sv_LoadStringVA(wide, CQ_Module{}, 1, "x", 4);
  EXPECT_TRUE(wide == u"Caf\u00E9 x #4");
  CQ_LoadString::sv_SetDefaultModule(CQ_Module{});
  CQ_LoadString::sv_Register(first, nullptr);
  CQ_LoadString::sv_Register(second, nullptr);
  EXPECT_EQ(CQ_LoadString::slpsz_Find(second, 1), nullptr);
}

}  // namespace
