// Compact KWX pieces: the kind bits a piece gets equal the prefix and tag
// comparisons post-processing made on strings (with the format's own
// constants), and the list keeps every piece's text, long or short.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXPieceList.h"

namespace {

using KWX::b_HasPrefix;

// The kinds as post-processing asked for them before pieces were compact.
std::uint32_t KindsByComparison(std::string_view p) {
  struct Row {
    std::string_view text;
    std::uint32_t kind;
    bool prefix;
  };
  const Row rows[] = {
      {KWX::PREFIX_PS, KWX_PIECE_PS, true},          {KWX::PREFIX_AF, KWX_PIECE_AF, true},
      {KWX::PREFIX_TB, KWX_PIECE_TB, true},          {KWX::PREFIX_FN, KWX_PIECE_FN, true},
      {KWX::PREFIX_MK, KWX_PIECE_MK, true},          {KWX::PREFIX_IMK, KWX_PIECE_IMK, true},
      {KWX::PREFIX_CNS, KWX_PIECE_CNS, true},        {KWX::PREFIX_TI, KWX_PIECE_TI, true},
      {KWX::PREFIX_CS, KWX_PIECE_CS, true},          {KWX::PREFIX_FC, KWX_PIECE_FC, true},
      {KWX::TAG_CT_CLOSE, KWX_PIECE_CT_CLOSE, false}, {KWX::TAG_TBT_CLOSE, KWX_PIECE_TBT_CLOSE, false},
      {KWX::TAG_TR_CLOSE, KWX_PIECE_TR_CLOSE, false}, {KWX::TAG_FN_CLOSE, KWX_PIECE_FN_CLOSE, false},
      {KWX::TAG_MK_CLOSE, KWX_PIECE_MK_CLOSE, false}, {KWX::TAG_IMK_CLOSE, KWX_PIECE_IMK_CLOSE, false},
      {KWX::TAG_KWX_CLOSE, KWX_PIECE_KWX_CLOSE, false}, {KWX::TAG_CNS_CLOSE, KWX_PIECE_CNS_CLOSE, false},
      {KWX::TAG_TI_CLOSE, KWX_PIECE_TI_CLOSE, false}, {KWX::TAG_CS_CLOSE, KWX_PIECE_CS_CLOSE, false},
      {KWX::TAG_FC_CLOSE, KWX_PIECE_FC_CLOSE, false}, {KWX::TAG_AF_CLOSE, KWX_PIECE_AF_CLOSE, false},
      {KWX::TAG_TB_CLOSE, KWX_PIECE_TB_CLOSE, false},
  };
  std::uint32_t k = KWX::b_IsExternalTag(p) ? std::uint32_t{KWX_PIECE_EXTERNAL} : 0u;
  // One token: the tokeniser gives exactly one text run or closed tag.
  const std::vector<KWX::st_Token> tokens = KWX::sast_Tokenize(p);
  if (tokens.size() == 1 && tokens[0].et_Kind != KWX::TOKEN_UNCLOSED_TAG) k |= KWX_PIECE_ONE_TOKEN;
  for (const Row& row : rows) {
    if (row.prefix ? b_HasPrefix(p, row.text) : p == row.text) k |= row.kind;
  }
  return k;
}

// Every format constant, whole, cut short, lengthened, and as it appears
// in real pieces, plus text and neighbouring tags.
std::vector<std::string> Samples() {
  const std::string_view constants[] = {
      KWX::PREFIX_PS,     KWX::PREFIX_AF,     KWX::PREFIX_TB,      KWX::PREFIX_FN,     KWX::PREFIX_MK,
      KWX::PREFIX_IMK,    KWX::PREFIX_CNS,    KWX::PREFIX_TI,      KWX::PREFIX_CS,     KWX::PREFIX_FC,
      KWX::TAG_CT_CLOSE,  KWX::TAG_TBT_CLOSE, KWX::TAG_TR_CLOSE,   KWX::TAG_FN_CLOSE,  KWX::TAG_MK_CLOSE,
      KWX::TAG_IMK_CLOSE, KWX::TAG_KWX_CLOSE, KWX::TAG_CNS_CLOSE,  KWX::TAG_TI_CLOSE,  KWX::TAG_CS_CLOSE,
      KWX::TAG_FC_CLOSE,  KWX::TAG_AF_CLOSE,  KWX::TAG_TB_CLOSE,   KWX::PREFIX_PN,     KWX::PREFIX_IFN,
      KWX::TAG_TBT,       KWX::PREFIX_IIMK,   KWX::TAG_IMK,        KWX::PREFIX_TR,     KWX::TAG_CNS_DUMMY,
      KWX::TAG_PS_DUMMY,  KWX::PREFIX_IEL,    KWX::PREFIX_IEL_CLOSE, KWX::TAG_T,       KWX::TAG_HR,
  };
  std::vector<std::string> samples = {"", "<", "a", "text <:t> more", "<#x>", "</", "<:", "<ps", "<:/c", "</t",
                                      "<mk\"", "<imk>", "</tbt", "</kwx> ", " </tr>", "<Para", "a > b", "<a<b>>",
                                      "<a<b>", "<a>b", "<a><b>", "<ps \"A<:lt>\" 1>", ">"};
  for (std::string_view c : constants) {
    const std::string s(c);
    samples.push_back(s);
    samples.push_back(s + "12>");
    samples.push_back(s + "\"Name\" 3>");
    samples.push_back(s.substr(0, s.size() - 1));
    samples.push_back(s.substr(1));
    samples.push_back("x" + s);
  }
  return samples;
}

TEST(KWXPieceListTest, KindsEqualTheStringComparisons) {
  for (const std::string& sample : Samples()) {
    EXPECT_EQ(sn_KWXPieceKinds(sample), KindsByComparison(sample)) << '"' << sample << '"';
  }
}

TEST(KWXPieceListTest, ListKeepsEveryPieceAndConvertsBothWays) {
  std::vector<std::string> strings = Samples();
  strings.push_back(std::string(CQ_KWXPieceList::CHUNK_SIZE * 2 + 3, 'L'));  // a chunk of its own
  for (int i = 0; i < 50000; ++i) strings.push_back("<ps \"Body\" " + std::to_string(i) + ">");
  CQ_KWXPieceList list = CQ_KWXPieceList::sco_FromStrings(strings);
  ASSERT_EQ(list.size(), strings.size());
  EXPECT_EQ(list.ast_Strings(), strings);
  for (std::size_t i = 0; i < strings.size(); ++i) {
    ASSERT_EQ(list[i].n_Kinds, sn_KWXPieceKinds(strings[i])) << i;
  }
  // A moved list keeps its pieces; a cleared one is empty.
  CQ_KWXPieceList moved = std::move(list);
  EXPECT_EQ(moved.ast_Strings(), strings);
  moved.v_Clear();
  EXPECT_EQ(moved.size(), 0u);
  moved.v_Add("</kwx>");
  EXPECT_TRUE(moved[0].b_Is(KWX_PIECE_KWX_CLOSE | KWX_PIECE_EXTERNAL));
  EXPECT_FALSE(moved[0].b_Is(KWX_PIECE_TR_CLOSE));
}

// Text added in parts becomes the piece the joined parts would make, in
// its place among whole pieces, whatever chunks the parts fall into; parts
// adding nothing make no piece.
TEST(KWXPieceListTest, OpenTextBecomesOnePieceOfItsParts) {
  std::mt19937 random(15);
  const std::vector<std::string> samples = Samples();
  const std::string longPart(CQ_KWXPieceList::CHUNK_SIZE / 3 + 7, 'o');
  CQ_KWXPieceList list;
  std::vector<std::string> expected;
  std::string open;
  for (int step = 0; step < 20000; ++step) {
    const unsigned what = random() % 8;
    if (what < 5) {
      // A part: a sample, now and then a long one that needs a new chunk.
      const std::string& part = random() % 200 == 0 ? longPart : samples[random() % samples.size()];
      if (part.find('<') == std::string::npos && random() % 2 == 0) {
        list.v_AppendOpenPlain(part);  // known to hold no '<'
      } else {
        list.v_AppendOpen(part);
      }
      open += part;
    } else if (what < 7) {
      list.v_AddOpen();
      if (!open.empty()) expected.push_back(open);
      open.clear();
    } else {
      list.v_AddOpen();
      if (!open.empty()) expected.push_back(open);
      open.clear();
      const std::string& whole = samples[random() % samples.size()];
      list.v_Add(whole);
      expected.push_back(whole);
    }
  }
  list.v_AddOpen();
  if (!open.empty()) expected.push_back(open);
  ASSERT_EQ(list.ast_Strings(), expected);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(list[i].n_Kinds, sn_KWXPieceKinds(expected[i])) << i;
  }
  // A piece made while text is open would write over it: refused.
  list.v_AppendOpen("open");
  EXPECT_ANY_THROW(list.st_Make("<:/cs>"));
  list.v_AddOpen();
  EXPECT_EQ(list[list.size() - 1].sv(), "open");
}

}  // namespace
