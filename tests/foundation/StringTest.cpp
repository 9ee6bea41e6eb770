// The string classes: sharing and copy on write, the size rules, the
// editing families, double-byte awareness, the choices documented in
// String.h (matching, stripping, translating, comparing) and formatting.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "System/String/CString.h"
#include "System/String/UString.h"

namespace {

std::string Hex(const char* bytes) {
  std::string out;
  char part[4];
  for (; *bytes; ++bytes) {
    std::snprintf(part, sizeof part, "%02X", static_cast<unsigned char>(*bytes));
    out += part;
  }
  return out;
}

std::string Utf8(const CQ_UString& text) { return CQ_CString(text, 65001).qccz_Get(); }

TEST(StringSharing, CopyThenChangeLeavesTheOriginal) {
  struct Change {
    const char* name;
    void (*apply)(CQ_CString&);
    const char* expected;
  };
  const Change changes[] = {
      {"Append", [](CQ_CString& s) { s.v_Append(" world"); }, "hello world"},
      {"SetAt", [](CQ_CString& s) { s.v_SetAt('j', 0); }, "jello"},
      {"ToUpper", [](CQ_CString& s) { s.vv_ToUpper(); }, "HELLO"},
      {"Remove", [](CQ_CString& s) { s.v_Remove(1, 3); }, "ho"},
      {"Raw write", [](CQ_CString& s) { s.qcz_GetBuffer()[4] = '!'; }, "hell!"},
      {"SetLength", [](CQ_CString& s) { s.vv_SetLength(2); }, "he"},
      {"Strip", [](CQ_CString& s) { s.vv_Strip(CQ_CString("ho")); }, "ell"},
  };
  for (const Change& change : changes) {
    const CQ_CString original("hello");
    CQ_CString copy(original);
    ASSERT_EQ(original.n_GetUseCount(), 2u) << change.name;
    change.apply(copy);
    EXPECT_STREQ(copy.qccz_Get(), change.expected) << change.name;
    EXPECT_STREQ(original.qccz_Get(), "hello") << change.name;
    EXPECT_EQ(original.n_GetUseCount(), 1u) << change.name;
    EXPECT_EQ(copy.n_GetUseCount(), 1u) << change.name;
  }
}

TEST(StringSharing, ReadsNeverCopy) {
  const CQ_UString original(u"abc");
  const CQ_UString copy = original;
  EXPECT_EQ(copy.vn_Find(u'c', 0), 2u);
  EXPECT_EQ(copy.vi_Compare(u"abc", CQ_NPOS, 0), 0);
  EXPECT_TRUE(copy.b_Match(u"a*"));
  EXPECT_EQ(original.n_GetUseCount(), 2u);
  EXPECT_EQ(copy.qcuz_Get(), original.qcuz_Get());
}

TEST(StringSize, EmptyStringsHoldNoData) {
  CQ_CString narrow;
  CQ_UString wide;
  EXPECT_EQ(narrow.n_GetUseCount(), 0u);
  EXPECT_EQ(wide.n_GetUseCount(), 0u);
  EXPECT_STREQ(narrow.qccz_Get(), "");
  EXPECT_EQ(wide.qcuz_Get()[0], 0);
  EXPECT_EQ(narrow.vn_GetLength(), 0u);
  EXPECT_EQ(narrow.qcz_GetBuffer(), nullptr);
}

TEST(StringSize, SetSizeKeepsCutsOrEmpties) {
  CQ_CString s("abcdef");
  s.vv_SetSize(3, true);
  EXPECT_STREQ(s.qccz_Get(), "abc") << "keep with a longer text cuts it at the new size";
  s.vv_SetSize(40, true);
  EXPECT_STREQ(s.qccz_Get(), "abc") << "keep with a shorter text leaves it alone";
  EXPECT_GE(s.vn_GetMaximumLength(), 40u);
  s.vv_SetSize(10, false);
  EXPECT_STREQ(s.qccz_Get(), "");
  EXPECT_EQ(s.rcco_GetBuffer().n_GetUsedSize(), 1u) << "a zero at position 0";
  s.vv_SetSize(0, false);
  EXPECT_EQ(s.n_GetUseCount(), 0u);

  CQ_UString u(u"abcdef");
  u.vv_SetSize(2, true);
  EXPECT_TRUE(u == u"ab");
  EXPECT_EQ(u.rcco_GetBuffer().n_GetUsedSize(), 6u);
  u.vv_SetGrowth(20);
  EXPECT_EQ(u.vn_GetGrowth(), 20u);
  EXPECT_EQ(u.rcco_GetBuffer().n_GetGranularity(), 40u);
}

TEST(StringSize, SetLengthMakesRoomForRawWrites) {
  CQ_CString s("ab");
  s.vv_SetLength(5);
  EXPECT_EQ(s.vn_GetLength(), 5u);
  EXPECT_EQ(std::memcmp(s.qccz_Get(), "ab\0\0\0", 6), 0);
  std::memcpy(s.qcz_GetBuffer() + 2, "cde", 3);
  EXPECT_STREQ(s.qccz_Get(), "abcde");
  s.vv_SetLength(1);
  EXPECT_STREQ(s.qccz_Get(), "a");
}

TEST(StringEdit, ReplaceOverwritesAndInsertInserts) {
  struct Row {
    const char* name;
    void (*apply)(CQ_CString&);
    const char* expected;
  };
  const Row rows[] = {
      {"Replace inside", [](CQ_CString& s) { s.v_Replace("XY", 1); }, "aXYdef"},
      {"Replace past end", [](CQ_CString& s) { s.v_Replace("XYZ", 4); }, "abcdXYZ"},
      {"Replace with count", [](CQ_CString& s) { s.v_Replace("XYZ", 0, 2); }, "XYcdef"},
      {"Replace char", [](CQ_CString& s) { s.vv_Replace('-', 2, 3); }, "ab---f"},
      {"Replace string part", [](CQ_CString& s) { s.v_Replace(CQ_UString(u"1234"), 3, 2); }, "abc12f"},
      {"Insert", [](CQ_CString& s) { s.v_Insert("XY", 3); }, "abcXYdef"},
      {"Insert far", [](CQ_CString& s) { s.v_Insert("XY", 100); }, "abcdefXY"},
      {"Insert string with length", [](CQ_CString& s) { s.vv_StringInsert(CQ_CString("12345"), 0, 9, 2); }, "12abcdef"},
      {"Append self", [](CQ_CString& s) { s.v_Append(s); }, "abcdefabcdef"},
      {"Insert self", [](CQ_CString& s) { s.v_Insert(s.qccz_Get() + 4, 1); }, "aefbcdef"},
      {"Remove to end", [](CQ_CString& s) { s.v_Remove(2); }, "ab"},
      {"SetAt end appends", [](CQ_CString& s) { s.v_SetAt('g', 6); }, "abcdefg"},
      {"SetAt beyond ignored", [](CQ_CString& s) { s.v_SetAt('g', 9); }, "abcdef"},
  };
  for (const Row& row : rows) {
    CQ_CString s("abcdef");
    row.apply(s);
    EXPECT_STREQ(s.qccz_Get(), row.expected) << row.name;
  }
}

TEST(StringEdit, MixedWidthsConvertThroughTheCodePage) {
  CQ_CString russian("\xCF\xF0\xE8", 1251);  // При
  russian.v_Append(u"\u0432\u0435\u0442");
  EXPECT_EQ(Hex(russian.qccz_Get()), "CFF0E8E2E5F2");
  CQ_UString wide(russian);
  EXPECT_EQ(Utf8(wide), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  wide.v_Append('\x80');  // bare 8-bit text is ANSI
  EXPECT_EQ(wide.u_GetAt(6), u'\u20AC');
  CQ_CString japanese(wide, 932);
  EXPECT_EQ(Hex(japanese.qccz_Get()), "8450848284798472847584843F") << "the euro has no form in 932";
  CQ_CString greek(1253);
  greek.v_Set(russian);  // v_Set converts into the target's page
  EXPECT_STREQ(greek.qccz_Get(), "??????");
  EXPECT_EQ(greek.n_GetCodePage(), 1253u);
  greek = russian;  // assignment takes the value with its page
  EXPECT_EQ(greek.n_GetCodePage(), 1251u);
  EXPECT_EQ(greek.n_GetUseCount(), 2u);
}

TEST(StringDoubleByte, SearchesNeverStopOnTrailBytes) {
  // ソ is 83 5C in Shift-JIS: its trail byte is the backslash.
  const CQ_CString path("\x83\x5C\\x\\", 932);
  EXPECT_EQ(path.vn_Find('\\', 0), 2u);
  EXPECT_EQ(path.vn_Find('\\', 3), 4u);
  EXPECT_EQ(path.vn_Find(u'\u30BD', 0), 0u);
  EXPECT_EQ(path.vn_Find(CQ_CString("\\x"), 0), 2u);
  EXPECT_EQ(path.vu_GetAt(0), u'\u30BD');
  const CQ_CString western("\x83\x5C\\", 1252);
  EXPECT_EQ(western.vn_Find('\\', 0), 1u) << "single-byte pages search every byte";
}

TEST(StringDoubleByte, MatchStripAndTranslateWorkOnCharacters) {
  const CQ_CString text("\x83\x41" "A\x83\x42", 932);  // ア A イ
  EXPECT_TRUE(text.b_Match("?A?"));
  EXPECT_FALSE(text.b_Match("??A??")) << "a double-byte character is one character";
  CQ_CString stripped(text);
  stripped.vv_Strip(CQ_CString("A\x83\x42", 932));
  EXPECT_EQ(Hex(stripped.qccz_Get()), "8341") << "trail byte 0x41 is not the letter A";
  CQ_CString translated(text);
  translated.vv_Translate(CQ_CString("A", 932), CQ_CString("\x82\xA0", 932));
  EXPECT_EQ(Hex(translated.qccz_Get()), "834182A08342");
}

struct CaseRow {
  std::uint32_t page;
  const char* text;
  const char* lower;
  const char* upper;
};

TEST(StringCase, LettersOfEachPageChangeCase) {
  const CaseRow rows[] = {
      {1252, "Ab\xC0\xE9\x8A\x9A\xFF", "ab\xE0\xE9\x9A\x9A\xFF", "AB\xC0\xC9\x8A\x8A\x9F"},
      {1251, "\xCF\xF0\xE8 \xA8\xB8", "\xEF\xF0\xE8 \xB8\xB8", "\xCF\xD0\xC8 \xA8\xA8"},
      {1253, "\xC1\xE1\xF2", "\xE1\xE1\xF2", "\xC1\xC1\xD3"},
      {1250, "\x8A\xB3\xA3", "\x9A\xB3\xB3", "\x8A\xA3\xA3"},
      // 932: only single-byte letters; ア (83 41) keeps its trail byte.
      {932, "A\x83\x41z", "a\x83\x41z", "A\x83\x41Z"},
  };
  for (const CaseRow& row : rows) {
    CQ_CString lower(row.text, row.page);
    lower.vv_ToLower();
    EXPECT_EQ(Hex(lower.qccz_Get()), Hex(row.lower)) << "code page " << row.page;
    CQ_CString upper(row.text, row.page);
    upper.vv_ToUpper();
    EXPECT_EQ(Hex(upper.qccz_Get()), Hex(row.upper)) << "code page " << row.page;
  }
  CQ_UString wide(u"Stra\u00DFe \u0391\u03C2 \u0416");
  wide.vv_ToUpper();
  EXPECT_EQ(Utf8(wide), Utf8(CQ_UString(u"STRA\u00DFE \u0391\u03A3 \u0416")));
  wide.vv_ToLower();
  EXPECT_EQ(Utf8(wide), Utf8(CQ_UString(u"stra\u00DFe \u03B1\u03C3 \u0436")));
}

TEST(StringChoices, MatchPatterns) {
  struct Row {
    const char16_t* text;
    const char16_t* pattern;
    bool match;
  };
  const Row rows[] = {
      {u"report.mif", u"*.mif", true},   {u"report.mif", u"*.MIF", false}, {u"report.mif", u"r?port.*", true},
      {u"report.mif", u"*", true},       {u"", u"*", true},                {u"", u"?", false},
      {u"abc", u"abc", true},            {u"abc", u"ab", false},           {u"abc", u"a*c*", true},
      {u"aXbXc", u"a*b*c", true},        {u"aXbXd", u"a*b*c", false},      {u"mississippi", u"*sip*", true},
      {u"a*c", u"a*c", true},            {u"\u00E9t\u00E9", u"?t?", true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CQ_UString(row.text).b_Match(row.pattern), row.match)
        << Utf8(CQ_UString(row.text)) << " against " << Utf8(CQ_UString(row.pattern));
    EXPECT_EQ(CQ_CString(CQ_UString(row.text), 1252).b_Match(CQ_CString(CQ_UString(row.pattern), 1252).qccz_Get()),
              row.match)
        << "8-bit: " << Utf8(CQ_UString(row.text)) << " against " << Utf8(CQ_UString(row.pattern));
  }
}

TEST(StringChoices, StripAndTranslate) {
  CQ_CString s(" \t value \r\n");
  s.vv_StripLeft();
  EXPECT_STREQ(s.qccz_Get(), "value \r\n");
  s.vv_StripRight();
  EXPECT_STREQ(s.qccz_Get(), "value");
  CQ_UString quoted(u"\"'quoted'\"");
  quoted.vv_Strip(CQ_UString(u"'\""));
  EXPECT_TRUE(quoted == u"quoted");
  CQ_UString all(u"xxx");
  all.vv_Strip(CQ_CString("x"));
  EXPECT_EQ(all.vn_GetLength(), 0u);
  CQ_UString blank(u"  keep  inner  ");
  blank.vv_Strip(CQ_UString());
  EXPECT_TRUE(blank == u"keep  inner") << "an empty set strips white space";

  CQ_CString path("C:\\dir\\file.mif");
  path.vv_Translate(CQ_CString("\\:"), CQ_CString("/"));
  EXPECT_STREQ(path.qccz_Get(), "C/dir/file.mif") << "a character without counterpart is removed";
  CQ_UString swap(u"abcabc");
  swap.vv_Translate(CQ_UString(u"abc"), CQ_UString(u"bca"));
  EXPECT_TRUE(swap == u"bcabca") << "each character is translated once";
}

TEST(StringChoices, CompareFlagsAndRanges) {
  struct Row {
    const char* text;
    std::uint32_t pos;
    std::uint32_t count;
    const char* other;
    std::uint32_t flags;
    int sign;
  };
  const Row rows[] = {
      {"Apple", 0, CQ_NPOS, "Apple", 0, 0},       {"Apple", 0, CQ_NPOS, "apple", 0, -1},
      {"Apple", 0, CQ_NPOS, "apple", 1, 0},       {"Apple", 0, CQ_NPOS, "Apples", 0, -1},
      {"Apples", 0, CQ_NPOS, "Apple", 0, 1},      {"Big Apple", 4, CQ_NPOS, "Apple", 0, 0},
      {"Big Apple", 0, 3, "Big", 0, 0},           {"Big Apple", 0, 3, "BIG", 1, 0},
      {"\xC9t\xE9", 0, CQ_NPOS, "\xE9T\xC9", 1, 0}, {"\xE9", 0, CQ_NPOS, "z", 0, 1},
      {"abc", 7, CQ_NPOS, "", 0, 0},
  };
  auto sign = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
  for (const Row& row : rows) {
    const CQ_CString text(row.text, 1252);
    EXPECT_EQ(sign(text.vi_Compare(CQ_CString(row.other, 1252), row.pos, row.count, row.flags)), row.sign)
        << row.text << " vs " << row.other << " flags " << row.flags;
    const CQ_UString wide(text);
    EXPECT_EQ(sign(wide.vi_Compare(CQ_UString(CQ_CString(row.other, 1252)), row.pos, row.count, row.flags)), row.sign)
        << "16-bit: " << row.text << " vs " << row.other << " flags " << row.flags;
  }
  const CQ_CString text("abcdef");
  EXPECT_EQ(text.vi_Compare("abcxyz", 3, 0), 1) << "the pointer forms compare this text with the first count units";
  EXPECT_EQ(text.vi_Compare(u"ABCDEF", CQ_NPOS, CQ_String::sn4_CompareNoCase), 0);
  EXPECT_LT(CQ_UString(u"abc").vi_Compare("abd", CQ_NPOS, 0), 0);
}

TEST(StringFormat, EightAndSixteenBitFormats) {
  CQ_CString narrow;
  narrow.v_Format("%s=%d %05.1f", "size", 42, 3.14159);
  EXPECT_STREQ(narrow.qccz_Get(), "size=42 003.1");
  narrow.v_Format("%s/%s", narrow.qccz_Get(), narrow.qccz_Get());
  EXPECT_STREQ(narrow.qccz_Get(), "size=42 003.1/size=42 003.1") << "own text as an argument";

  CQ_UString wide;
  wide.v_Format(u"[%s|%hs|%S|%5d|%-3c|%x|%.2s|%%|%lu]", u"\u65E5\u672C", "caf\xE9", "\x80", -7, u'\u00E9', 255u,
                u"abcdef", 123456789012UL);
  EXPECT_EQ(Utf8(wide), Utf8(CQ_UString(u"[\u65E5\u672C|caf\u00E9|\u20AC|   -7|\u00E9  |ff|ab|%|123456789012]")));
  wide.v_Format("%s %d", "plain", 1);
  EXPECT_TRUE(wide == u"plain 1");
  CQ_CString fromWide(1251);
  fromWide.v_Format(u"%s!", u"\u041F");
  EXPECT_STREQ(fromWide.qccz_Get(), "\xCF!");
  wide.v_Format(u"%n%q");
  EXPECT_TRUE(wide == u"%n%q") << "%n is written out, never executed";
}

TEST(StringInit, BufferTextIsSharedWhenTerminated) {
  const CQ_Buffer buffer("text", 5, 32);
  CQ_CString shared;
  shared.v_Set(buffer);
  EXPECT_STREQ(shared.qccz_Get(), "text");
  EXPECT_EQ(buffer.n_GetUseCount(), 2u);
  const CQ_Buffer raw("abc\0def", 7, 32);
  CQ_CString copied;
  copied.v_Set(raw);
  EXPECT_STREQ(copied.qccz_Get(), "abc");
  EXPECT_EQ(raw.n_GetUseCount(), 1u);
}

TEST(StringTypes, RecordsAndCreation) {
  CQ_CString narrow("x", 932);
  CQ_UString wide(u"y");
  CQ_String& base = narrow;
  EXPECT_EQ(base.vpcco_GetType(), &CQ_CString::sco_Type);
  EXPECT_STREQ(base.vpcco_GetType()->qccz_GetName(), "CQ_CString");
  EXPECT_EQ(base.vpv_IsKindOf(&CQ_String::sco_Type), static_cast<void*>(&narrow));
  EXPECT_EQ(base.vpv_IsA(&CQ_String::sco_Type), nullptr);
  EXPECT_EQ(base.vpv_IsA(&CQ_CString::sco_Type), static_cast<void*>(&narrow));
  EXPECT_EQ(wide.vpv_IsKindOf(&CQ_CString::sco_Type), nullptr);
  EXPECT_EQ(CQ_CString::sco_Type.n_GetTypes(), 2u) << "CQ_String and CQ_CString";
  std::unique_ptr<CQ_String> created(base.vpco_Create());
  EXPECT_EQ(created->vpcco_GetType(), &CQ_CString::sco_Type);
  EXPECT_EQ(static_cast<CQ_CString*>(created.get())->n_GetCodePage(), 932u);
  EXPECT_EQ(created->vn_GetLength(), 0u);
}

// On this platform's C++ ABI a pointer to a virtual member holds 1 plus
// the byte offset of its slot; the destructor takes two slots.
template <typename Member>
std::ptrdiff_t SlotOf(Member member) {
  std::ptrdiff_t raw[2];
  static_assert(sizeof(member) == sizeof(raw));
  std::memcpy(raw, &member, sizeof raw);
  const std::ptrdiff_t index = (raw[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
  return index >= 4 ? index - 1 : index;
}

TEST(StringTypes, VirtualOperationsKeepTheirSlots) {
  EXPECT_EQ(SlotOf(&CQ_String::vpcco_GetType), 0);
  EXPECT_EQ(SlotOf(&CQ_String::vpv_IsKindOf), 2);
  EXPECT_EQ(SlotOf(&CQ_String::vpco_Create), 4);
  EXPECT_EQ(SlotOf(static_cast<void (CQ_String::*)(char, std::uint32_t, std::uint32_t)>(&CQ_String::vv_Replace)), 8);
  EXPECT_EQ(SlotOf(&CQ_String::vv_Update), 19);
  EXPECT_EQ(SlotOf(&CQ_String::vb_Match), 20);
  EXPECT_EQ(SlotOf(static_cast<int (CQ_String::*)(const CQ_String&, std::uint32_t, std::uint32_t, std::uint32_t) const>(
                &CQ_String::vi_Compare)),
            24);
  EXPECT_EQ(SlotOf(&CQ_String::vn_GetGrowth), 32);
  EXPECT_EQ(SlotOf(static_cast<void (CQ_String::*)()>(&CQ_String::vv_Init)), 40);
  EXPECT_EQ(SlotOf(static_cast<void (CQ_String::*)(const char*, std::uint32_t, std::uint32_t, std::uint32_t)>(
                &CQ_String::vv_StringInsert)),
            46);
  EXPECT_EQ(SlotOf(static_cast<void (CQ_CString::*)(const char16_t*, va_list)>(&CQ_CString::vv_VFormat)), 47);
  EXPECT_EQ(SlotOf(static_cast<void (CQ_UString::*)(const char16_t*, va_list)>(&CQ_UString::vv_VFormat)), 47);
}

}  // namespace
