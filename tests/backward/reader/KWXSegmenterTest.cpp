// Tokenising into tag segments (golden dumps of tag, text and line) and
// classification by the lexicon: every entry is reachable by a tag of its
// own kind, and the source and target rules for unknown and added tags.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ReaderTestSupport.h"
#include "support/BracketReference.h"
#include "kernel/backward/KWXSegmenter.h"

namespace {

using namespace reader_test;
using KWX::CQ_KWXLexicon;
using KWX::CQ_KWXSegmenter;

// One line per segment: line number, tag and text, with \n shown as |.
std::string Dump(const KWX::CQ_TagSegmentList& segments) {
  std::string out;
  const auto bars = [](std::string_view view) {
    std::string text(view);
    for (char& c : text) {
      if (c == '\n') c = '|';
    }
    return text;
  };
  for (const KWX::st_TagSegment& s : segments) {
    out += std::to_string(s.n_Line) + " " + bars(s.cs_Tag) + " :: " + bars(s.cs_Text) + "\n";
  }
  return out;
}

struct TokenCase {
  const char* what;
  std::vector<std::string> lines;
  const char* dump;
};

// Names the row in test output.
void PrintTo(const TokenCase& s, std::ostream* os) { *os << s.what; }

class Tokenise : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokenise, GivesTheGoldenSegments) {
  KWX::CQ_TagSegmentList segments;
  CQ_KWXSegmenter::sv_Tokenise(GetParam().lines, segments);
  EXPECT_EQ(Dump(segments), GetParam().dump) << GetParam().what;
  for (const KWX::st_TagSegment& s : segments) {
    EXPECT_EQ(s.i_TagId, KWX::TAGID_UNKNOWN_EXTERNAL);
    EXPECT_EQ(s.an_Flags, (std::array<unsigned char, 5>{}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Tokenise,
    ::testing::Values(
        TokenCase{"a small file",
                  {"<kwx \"F3.00\">", "<ps \"Body\" 1>Text <:b>bold<:/b> end", "<:hr>more", "</kwx>"},
                  "2 <kwx \"F3.00\"> :: <kwx \"F3.00\">|\n"
                  "4 <ps \"Body\" 1> :: <ps \"Body\" 1>Text <:b>bold<:/b> end|<:hr>more|\n"
                  "5 </kwx> :: </kwx>|\n"},
        TokenCase{"several tags on one line", {"<tr 3><ps \"A\" 1>x<fn 2><ps \"B\" 2>y</fn>"},
                  "1 <tr 3> :: <tr 3>\n1 <ps \"A\" 1> :: <ps \"A\" 1>x\n1 <fn 2> :: <fn 2>\n"
                  "1 <ps \"B\" 2> :: <ps \"B\" 2>y\n2 </fn> :: </fn>|\n"},
        TokenCase{"text before the first tag joins it", {"abc<ps \"x\" 1>t", "<ps \"y\" 2>"},
                  "2 abc<ps \"x\" 1> :: abc<ps \"x\" 1>t|\n3 <ps \"y\" 2> :: <ps \"y\" 2>|\n"},
        TokenCase{"an internal tag in a tag argument", {"<ps \"a<:lt>b\" 1>x<:t>y", "</tr>"},
                  "2 <ps \"a<:lt>b\" 1> :: <ps \"a<:lt>b\" 1>x<:t>y|\n3 </tr> :: </tr>|\n"},
        TokenCase{"a tag across lines", {"<ps \"x\"", "1>t", "</tr>"},
                  "3 <ps \"x\"|1> :: <ps \"x\"|1>t|\n4 </tr> :: </tr>|\n"},
        TokenCase{"an added tag starts a segment", {"<ps \"x\" 1>a", "<#ps \"x\" 1>b"},
                  "2 <ps \"x\" 1> :: <ps \"x\" 1>a|\n3 <#ps \"x\" 1> :: <#ps \"x\" 1>b|\n"},
        TokenCase{"a stray > does not stop tokenising", {"<ps \"x\" 1>a>b>c", "<ps \"y\" 2>d"},
                  "2 <ps \"x\" 1> :: <ps \"x\" 1>a>b>c|\n3 <ps \"y\" 2> :: <ps \"y\" 2>d|\n"},
        TokenCase{"an internal tag first is the first tag", {"<:b>x<:/b>", "<ps \"y\" 2>"},
                  "2 <:b> :: <:b>x<:/b>|\n3 <ps \"y\" 2> :: <ps \"y\" 2>|\n"},
        TokenCase{"an unclosed last tag joins the last segment", {"<ps \"x\" 1>a", "<ps \"y"},
                  "2 <ps \"x\" 1> :: <ps \"x\" 1>a|<ps \"y|\n"},
        TokenCase{"an unclosed tag swallows the next ones", {"<ps \"x\" 1>a", "<ps \"y", "<tr 3>", "</tr>"},
                  "2 <ps \"x\" 1> :: <ps \"x\" 1>a|<ps \"y|<tr 3>|</tr>|\n"},
        TokenCase{"text without any tag", {"plain", "text"}, ""}, TokenCase{"no lines", {}, ""}),
    [](const ::testing::TestParamInfo<TokenCase>& info) { return "row" + std::to_string(info.index); });

TEST(Tokenise, AppendsToSegmentsAlreadyThere) {
  KWX::CQ_TagSegmentList segments(1);
  segments[0].cs_Tag = "<x>";
  CQ_KWXSegmenter::sv_Tokenise(std::vector<std::string>{"text only"}, segments);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].cs_Text, "");  // pending text joins only segments of this list
  CQ_KWXSegmenter::sv_Tokenise(std::vector<std::string>{"<tr 1>"}, segments);
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[1].cs_Tag, "<tr 1>");
}

TEST(Tokenise, SegmentsViewTextTheListKeepsForItsCopiesToo) {
  // Two tokenised lists in one list, then copies: every view stays on the
  // text it was cut from whatever happens to the list it came from.
  const std::vector<std::string> first = {"<kwx \"F3.00\">", "<ps \"Body\" 1>one <:b>two<:/b>"};
  const std::vector<std::string> second = {"<tr 7>three", "</tr>"};
  KWX::CQ_TagSegmentList segments;
  CQ_KWXSegmenter::sv_Tokenise(first, segments);
  const std::string dumpFirst = Dump(segments);
  CQ_KWXSegmenter::sv_Tokenise(second, segments);
  const std::string dumpBoth = Dump(segments);
  EXPECT_EQ(dumpBoth.substr(0, dumpFirst.size()), dumpFirst);
  KWX::CQ_TagSegmentList copy = segments;
  KWX::CQ_TagSegmentList moved = std::move(segments);
  segments.clear();
  CQ_KWXSegmenter::sv_Tokenise(std::vector<std::string>{"<tb 1>x"}, segments);
  EXPECT_EQ(Dump(copy), dumpBoth);
  EXPECT_EQ(Dump(moved), dumpBoth);
  moved.clear();
  EXPECT_EQ(Dump(copy), dumpBoth);
  EXPECT_EQ(Dump(segments), "2 <tb 1> :: <tb 1>x|\n");
}

TEST(Tokenise, OneVeryLongLineIsOneSegment) {
  std::string line = "<ps \"Body\" 1>";
  while (line.size() < 8u * 1024 * 1024) line += "word <:b>bold<:/b> <:t> ";
  KWX::CQ_TagSegmentList segments;
  CQ_KWXSegmenter::sv_Tokenise(std::vector<std::string>{line}, segments);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].cs_Text.size(), line.size() + 1);
  EXPECT_EQ(segments[0].n_Line, 2u);
}

// The tokeniser done the plain way, one byte at a time with a pending
// buffer, to compare the real one against.
KWX::CQ_TagSegmentList ReferenceTokenise(const std::vector<std::string>& lines) {
  KWX::CQ_TagSegmentList segments;
  std::string pending;
  std::string openTag;
  bool tagOpen = false;
  long long depth = 0;
  char previous = 0;
  unsigned lineNumber = 0;
  const auto step = [&](char c) {
    if (c == '<') ++depth;
    if (c == '>') --depth;
    pending.push_back(c);
    if (c == '>' && depth == 0 && !tagOpen) {
      openTag = pending;
      tagOpen = true;
    } else if (previous == '<' && c != ':' && tagOpen) {
      KWX::st_TagSegment segment;
      segment.cs_Tag = segments.sv_Keep(openTag);
      segment.cs_Text = segments.sv_Keep(pending.substr(0, pending.size() - 2));
      segment.n_Line = lineNumber;
      segments.push_back(segment);
      pending = pending.substr(pending.size() - 2);
      tagOpen = false;
      depth = 1;
    }
    previous = c;
  };
  for (const std::string& line : lines) {
    ++lineNumber;
    for (char c : line) step(c);
    step('\n');
  }
  if (tagOpen) {
    KWX::st_TagSegment segment;
    segment.cs_Tag = segments.sv_Keep(openTag);
    segment.cs_Text = segments.sv_Keep(pending);
    segment.n_Line = lineNumber + 1;
    segments.push_back(segment);
  } else if (!pending.empty() && !segments.empty()) {
    segments.back().cs_Text = segments.sv_Keep(std::string(segments.back().cs_Text) + pending);
  }
  return segments;
}


TEST(Tokenise, BracketErrorsCountedWhileCuttingAreThoseOfTheSegmentsTexts) {
  const std::string alphabet = "<<<>>>::ab \"#/";
  std::mt19937 random(1209);
  std::size_t counted = 0;
  std::size_t faulty = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::vector<std::string> lines = morvane_test::DrawnLines(random, alphabet);
    KWX::CQ_TagSegmentList segments;
    CQ_KWXSegmenter::sv_Tokenise(lines, segments);
    for (std::size_t k = 0; k < segments.size(); ++k) {
      const KWX::st_TagSegment& s = segments[k];
      // Only the last segment, when it takes text no tag claims, is left
      // uncounted.
      if (s.i_BracketError < 0) {
        ASSERT_EQ(k + 1, segments.size()) << "round " << round;
        continue;
      }
      ASSERT_EQ(s.i_BracketError, morvane_test::ReferenceBracketError(s.cs_Text)) << "round " << round << ": " << s.cs_Text;
      ++counted;
      if (s.i_BracketError != 0) ++faulty;
    }
  }
  EXPECT_GT(counted, 3000u);
  EXPECT_GT(faulty, 300u);
}

TEST(Tokenise, AgreesWithAByteByByteTokeniserOnRandomFiles) {
  // Brackets, colons and text in every order, including unbalanced and
  // nested brackets, "<" at line ends and empty lines; lines of every
  // length, so that runs without brackets cross word boundaries.
  const std::string alphabet = "<<<>>>::ab \"#/";
  std::mt19937 random(1208);
  for (int round = 0; round < 3000; ++round) {
    const std::vector<std::string> lines = morvane_test::DrawnLines(random, alphabet);
    KWX::CQ_TagSegmentList segments;
    CQ_KWXSegmenter::sv_Tokenise(lines, segments);
    ASSERT_EQ(Dump(segments), Dump(ReferenceTokenise(lines))) << "round " << round;
  }
}

TEST(Tokenise, AgreesWithAByteByByteTokeniserOnAConvertedFile) {
  // A real file's lines: paragraphs, fonts, markers, tables.
  std::vector<std::string> lines = {"<kwx \"F3.00\">", "<hdr>", "</hdr>"};
  for (int i = 0; i < 200; ++i) {
    lines.push_back("<ps \"Body\" " + std::to_string(i) + ">Text <:cs \"Emphasis\" 3>word<:/cs> and <:xr \"See\" 4>" +
                    std::string(static_cast<std::size_t>(i % 40), 'x') + "<:/xr> <:hr>");
    if (i % 7 == 0) lines.push_back("<tb 2><tbb><row><ct 1>cell <:c>\x81\x40<:/c></ct></row></tbb></tb>");
    if (i % 11 == 0) lines.push_back("");
  }
  lines.push_back("</kwx>");
  KWX::CQ_TagSegmentList segments;
  CQ_KWXSegmenter::sv_Tokenise(lines, segments);
  EXPECT_GT(segments.size(), 200u);
  EXPECT_EQ(Dump(segments), Dump(ReferenceTokenise(lines)));
}

// --- the lexicon --------------------------------------------------------------

// A tag of an entry's own kind: the prefix completed as forward conversion
// or a translator would write it.
std::string TagOf(std::string_view prefix) {
  std::string tag(prefix);
  if (tag.back() == '>') return tag;
  if (tag.back() == '"') return tag + "Name\" 4>";
  if (tag.back() == ' ') return tag + "12>";
  if (tag == "<imk" || tag == "<tbt") return tag + " 7>";
  return tag + "zz>";  // the catch-alls
}

TEST(Lexicon, HasItsEntriesWithTheirLengths) {
  const auto& entries = CQ_KWXLexicon::sast_Entries();
  ASSERT_EQ(entries.size(), 132u);
  std::set<std::string_view> prefixes;
  for (const KWX::st_LexiconEntry& e : entries) {
    EXPECT_EQ(static_cast<std::size_t>(e.i_PrefixLength), e.cs_Prefix.size()) << e.cs_Prefix;
    EXPECT_TRUE(prefixes.insert(e.cs_Prefix).second) << "twice: " << e.cs_Prefix;
    EXPECT_GE(e.i_Category, 1);
    EXPECT_LE(e.i_Category, 5);
  }
  EXPECT_EQ(entries[130].cs_Prefix, "<:");
  EXPECT_EQ(entries[131].cs_Prefix, "<");
}

TEST(Lexicon, EveryEntryClassifiesATagOfItsOwnKind) {
  for (const KWX::st_LexiconEntry& e : CQ_KWXLexicon::sast_Entries()) {
    const std::string tag = TagOf(e.cs_Prefix);
    const KWX::st_LexiconEntry& found = CQ_KWXLexicon::rst_Lookup(tag);
    EXPECT_EQ(found.cs_Prefix, e.cs_Prefix) << tag << " is taken by an earlier entry";
  }
}

TEST(Lexicon, LookupKeepsTableOrderForEveryShortAndOddTag) {
  // The bucketed lookup must agree with a plain first-match scan.
  const auto& entries = CQ_KWXLexicon::sast_Entries();
  std::vector<std::string> tags = {"", "<", "<:", "<:/", "x", "<#", "<#ps \"x\" 1>", "<<", "<:<", "<tbt>",
                                   "<imk>", "<:c1>", "<:/c1>", "<:r3>", "<:r39", "<:fn", "< ps>", "<:/el \"x\">",
                                   "<:/elf \"\">", "<:ep \"pre\">", "<:es \"\">", "<kwx \"F3.00\">", "</file \"a\">",
                                   "abc", "x<ps \"a\" 1>", ":cs \"E\" 1>", "ps \"a\" 1>", "\xBC:cs>"};
  // Every prefix as it stands, followed by more, cut short by a byte, with
  // its last byte changed, and with one of its first four bytes changed.
  for (const KWX::st_LexiconEntry& e : entries) {
    const std::string prefix(e.cs_Prefix);
    tags.push_back(prefix);
    tags.push_back(prefix + "x\" 1>");
    tags.push_back(prefix.substr(0, prefix.size() - 1));
    std::string changed = prefix;
    changed.back() = changed.back() == 'z' ? 'y' : 'z';
    tags.push_back(changed + ">");
    changed = prefix + ">";
    changed.front() = '[';
    tags.push_back(changed);
    for (std::size_t k = 1; k < 4 && k < prefix.size(); ++k) {
      changed = prefix + "x>";
      changed[k] = changed[k] == 'q' ? 'r' : 'q';
      tags.push_back(changed);
    }
  }
  for (const std::string& tag : tags) {
    const KWX::st_LexiconEntry* expected = &entries.back();
    for (const KWX::st_LexiconEntry& e : entries) {
      if (tag.compare(0, e.cs_Prefix.size(), e.cs_Prefix) == 0) {
        expected = &e;
        break;
      }
    }
    EXPECT_EQ(&CQ_KWXLexicon::rst_Lookup(tag), expected) << Visible(tag);
  }
}

// A memo of lookups answers as the lookup does, whatever tags came before:
// tags of every prefix with more after it, tags that share their first
// eight bytes with a prefix longer than eight and go on otherwise, short
// tags, each asked for several times in orders that put either of two tags
// with the same first eight bytes first.
TEST(Lexicon, MemoAnswersAsTheLookupWhateverCameBefore) {
  std::vector<std::string> tags = {"<sourcecharset \"Normal\">", "<sourcecXYZ>", "<sourcecharset>", "<epsfmt \"a\">",
                                   "<epsfmt>", "<epsfmtX \"a\">", "<sourcehyphenation \"Turn Off\">",
                                   "<sourcehyXYZ>", "<sourcepath \"x\">", "<sourcepaXYZ>", "<:t>", "<ps>", "<",
                                   "<ps \"Body\" 2>", "<ps \"Body\" 3>", "<:cs \"Emphasis\" 1>", "<:cs \"Emph>"};
  for (const KWX::st_LexiconEntry& e : CQ_KWXLexicon::sast_Entries()) {
    const std::string prefix(e.cs_Prefix);
    tags.push_back(prefix + "x\" 1>");
    tags.push_back(prefix + "12345678>");
    std::string changed = prefix + "12345678>";
    changed[std::min<std::size_t>(8, prefix.size())] = '#';
    tags.push_back(changed);
  }
  std::vector<std::string> order = tags;
  order.insert(order.end(), tags.rbegin(), tags.rend());
  std::mt19937 draw(138);
  for (int k = 0; k < 3000; ++k) order.push_back(tags[draw() % tags.size()]);
  KWX::CQ_LexiconMemo memo;
  for (const std::string& tag : order) {
    EXPECT_EQ(&memo.rst_Lookup(tag), &CQ_KWXLexicon::rst_Lookup(tag)) << Visible(tag);
  }
}

TEST(Lexicon, LookupAgreesWithFirstMatchOverEveryShortTagOfTagBytes) {
  // Every tag of up to three bytes after "<" or "<:" built from the bytes
  // prefixes use (and a few others), so that bytes hashed into one slot
  // meet: the lookup must give the first entry in table order that begins
  // the tag.
  const auto& entries = CQ_KWXLexicon::sast_Entries();
  const std::string bytes = "abcdefhiklmnoprstuvxz/12 \">#";
  const auto firstMatch = [&](const std::string& tag) {
    for (const KWX::st_LexiconEntry& e : entries) {
      if (tag.compare(0, e.cs_Prefix.size(), e.cs_Prefix) == 0) return &e;
    }
    return &entries.back();
  };
  std::size_t checked = 0;
  for (const std::string start : {"<", "<:"}) {
    std::vector<std::string> level = {start};
    for (int length = 0; length < 3; ++length) {
      std::vector<std::string> next;
      for (const std::string& stem : level) {
        for (char c : bytes) next.push_back(stem + c);
      }
      for (const std::string& tag : next) {
        ASSERT_EQ(&CQ_KWXLexicon::rst_Lookup(tag), firstMatch(tag)) << Visible(tag);
        ASSERT_EQ(&CQ_KWXLexicon::rst_Lookup(tag + "\" 1>"), firstMatch(tag + "\" 1>")) << Visible(tag);
        ++checked;
      }
      level = std::move(next);
    }
  }
  EXPECT_GT(checked, 40000u);
}

struct KindCase {
  const char* tag;
  int id;
  int category;
};

// Names the row in test output.
void PrintTo(const KindCase& s, std::ostream* os) { *os << s.tag; }

class LexiconKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(LexiconKinds, GiveIdAndCategory) {
  const KWX::st_LexiconEntry& e = CQ_KWXLexicon::rst_Lookup(GetParam().tag);
  EXPECT_EQ(e.i_TagId, GetParam().id) << GetParam().tag;
  EXPECT_EQ(e.i_Category, GetParam().category) << GetParam().tag;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LexiconKinds,
    ::testing::Values(
        // bare and numbered forms under one prefix
        KindCase{"<imk>", KWX::TAGID_IMK, 2}, KindCase{"<imk 4>", KWX::TAGID_IMK, 2},
        KindCase{"<tbt>", KWX::TAGID_TBT, 3}, KindCase{"<tbt 2>", KWX::TAGID_TBT, 3},
        // ids shared by several tags
        KindCase{"<:c2>", KWX::TAGID_C, 1}, KindCase{"<:/c1>", KWX::TAGID_C_CLOSE, 1},
        KindCase{"<:glq>", KWX::TAGID_SPECIAL_CHARACTER, 1}, KindCase{"<:r37>", KWX::TAGID_RESERVED_CHARACTER, 2},
        // element and prefix/suffix tags with a name after the quote
        KindCase{"<:/el \"Title\">", KWX::TAGID_IEL_CLOSE, 2}, KindCase{"<:/elf \"Em\">", KWX::TAGID_IELF_CLOSE, 2},
        KindCase{"<:ep \"Note: \">", KWX::TAGID_EP, 1}, KindCase{"<:es \".\">", KWX::TAGID_ES, 1},
        // header and file tags
        KindCase{"<kwx \"F3.01\">", KWX::TAGID_KWX, 3}, KindCase{"</file \"C:\\a.mif\">", KWX::TAGID_FILE_CLOSE, 3},
        // unknown tags
        KindCase{"<:r2>", KWX::TAGID_UNKNOWN_INTERNAL, 5}, KindCase{"<:sc \"x\" 1>", KWX::TAGID_UNKNOWN_INTERNAL, 5},
        KindCase{"<qq>", KWX::TAGID_UNKNOWN_EXTERNAL, 4}, KindCase{"<#ps \"Body\" 3>", KWX::TAGID_UNKNOWN_EXTERNAL, 4}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return "row" + std::to_string(info.index); });

// --- classification ---------------------------------------------------------------

KWX::CQ_TagSegmentList Segments(const std::vector<std::string>& lines) {
  KWX::CQ_TagSegmentList segments;
  CQ_KWXSegmenter::sv_Tokenise(lines, segments);
  return segments;
}

const std::vector<std::string> kMixed = {"<kwx \"F3.00\">",  "<ps \"Body\" 1>a<:qq>b", "<#ps \"Body\" 1>c",
                                         "<zz 4>",           "<#imk>x<#/imk>",        "</kwx>"};

TEST(Classify, SourceReportsAddedAndUnknownExternalTags) {
  KWX::CQ_TagSegmentList segments = Segments(kMixed);
  const KWX::st_ClassifyResult result = CQ_KWXSegmenter::st_Classify(segments, true);
  ASSERT_EQ(segments.size(), 7u);
  std::vector<std::pair<std::size_t, int>> errors;
  for (const KWX::st_ClassifyError& e : result.ast_Errors) errors.emplace_back(e.n_Segment, e.i_Error);
  EXPECT_EQ(errors, (std::vector<std::pair<std::size_t, int>>{
                        {2, CQ_KWXSegmenter::ERROR_ADDED_IN_SOURCE},
                        {3, CQ_KWXSegmenter::ERROR_UNKNOWN_EXTERNAL_TAG},
                        {4, CQ_KWXSegmenter::ERROR_ADDED_IN_SOURCE},
                        {5, CQ_KWXSegmenter::ERROR_ADDED_IN_SOURCE},
                    }));
  EXPECT_EQ(result.n_AddedTags, 0u);
  EXPECT_EQ(segments[2].i_Category, KWX::CATEGORY_UNKNOWN_EXTERNAL);  // stays 4 in a source file
  EXPECT_EQ(segments[1].i_TagId, KWX::TAGID_PS);
  EXPECT_EQ(segments[1].i_Category, KWX::CATEGORY_WARNING);  // an unknown internal tag inside changes nothing
  EXPECT_EQ(segments[6].i_TagId, KWX::TAGID_KWX_CLOSE);
}

TEST(Classify, TargetTurnsAddedTagsIntoCategorySevenAndCountsThem) {
  KWX::CQ_TagSegmentList segments = Segments(kMixed);
  const KWX::st_ClassifyResult result = CQ_KWXSegmenter::st_Classify(segments, false);
  EXPECT_TRUE(result.ast_Errors.empty());
  EXPECT_EQ(result.n_AddedTags, 3u);
  std::vector<int> categories;
  for (const KWX::st_TagSegment& s : segments) categories.push_back(s.i_Category);
  EXPECT_EQ(categories, (std::vector<int>{3, 1, 7, 4, 7, 7, 3}));
}

}  // namespace
