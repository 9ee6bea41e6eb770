// The verifier reads a segment's brackets in one pass, many bytes at a
// time: the bracket errors of a file (101 to 104) and the internal tags it
// collects must be those a plain reading byte by byte gives, for segments
// of every length with brackets at every place.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kernel/verifier/TagStructureCheck.h"
#include "support/BracketReference.h"
#include "verifier/rules/RulesTestSupport.h"

namespace {

using namespace RulesTest;


// Where the tag that begins at pos ends: at the '>' that brings the depth
// back to zero, or at the end of the text when none does.
std::size_t TagEnd(std::string_view text, std::size_t pos) {
  long depth = 0;
  std::size_t end = pos;
  for (; end < text.size(); ++end) {
    if (text[end] == '<') ++depth;
    if (text[end] == '>' && --depth == 0) break;
  }
  return end;
}

// The internal tags of the text after a segment's own tag: from each '<'
// to the '>' that brings the depth back to zero, or to the end.
std::vector<std::pair<std::size_t, std::string>> ReferenceInternalTags(const KWX::CQ_TagSegmentList& segments) {
  std::vector<std::pair<std::size_t, std::string>> tags;
  for (std::size_t s = 0; s < segments.size(); ++s) {
    std::string_view text = segments[s].cs_Text;
    if (text.substr(0, segments[s].cs_Tag.size()) == segments[s].cs_Tag) text.remove_prefix(segments[s].cs_Tag.size());
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
      std::size_t end = TagEnd(text, pos);
      end = end < text.size() ? end + 1 : text.size();
      const std::string_view tag = text.substr(pos, end - pos);
      if (tag.substr(0, 2) == "<:") tags.emplace_back(s, std::string(tag));
      pos = end;
    }
  }
  return tags;
}

class Random {
 public:
  unsigned Next(unsigned below) {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(m_state >> 33) % below;
  }

 private:
  std::uint64_t m_state = 7;
};

// A paragraph of text and internal tags, some nested, some with stray or
// missing brackets when `sound` is false.
std::string Paragraph(Random& random, bool sound) {
  static const char* const kTags[] = {"<:b>", "<:/b>", "<:cs \"Emphasis\" 1>", "<:/cs>", "<:t>", "<:lt>",
                                      "<:xr \"Heading & Page\" 12>", "<:cs \"a<:lt>b\" 2>", "<:fc 3>", "<:/fc>"};
  static const char* const kDamage[] = {"<", ">", "<:", "<x", "<<:b>>", ">>", "<ps"};
  std::string text = "<ps \"Body\" " + std::to_string(1 + random.Next(3)) + ">";
  const unsigned parts = random.Next(8);
  for (unsigned k = 0; k < parts; ++k) {
    text.append(random.Next(24), static_cast<char>('a' + random.Next(26)));
    if (!sound && random.Next(5) == 0) {
      text += kDamage[random.Next(sizeof kDamage / sizeof *kDamage)];
    } else {
      text += kTags[random.Next(sizeof kTags / sizeof *kTags)];
    }
  }
  text.append(random.Next(20), 'z');
  return text;
}

TEST(BracketWalk, ErrorsAndInternalTagsAgreeWithAByteByByteReading) {
  auto session = MakeSession();
  Random random;
  std::size_t tagsCompared = 0;
  std::size_t errorsCompared = 0;
  for (int round = 0; round < 400; ++round) {
    const bool sound = round % 2 == 0;
    std::string body;
    const unsigned paragraphs = 1 + random.Next(6);
    for (unsigned p = 0; p < paragraphs; ++p) body += Paragraph(random, sound) + "\n";
    const std::string kwx = Build(ON_PAGE, body);
    CQ_FrameVarnelVerifier verifier(*session, true);
    const bool bracketsSound = verifier.b_CheckSource(Lines(kwx));
    const KWX::CQ_TagSegmentList& segments = verifier.rco_SourceSegments();
    std::vector<int> expected;
    for (const KWX::st_TagSegment& segment : segments) {
      if (const int number = morvane_test::ReferenceBracketError(segment.cs_Text)) expected.push_back(number);
    }
    ASSERT_EQ(Numbers(verifier, 1, 1), expected) << kwx;
    errorsCompared += expected.size();
    ASSERT_EQ(bracketsSound, expected.empty()) << kwx;
    if (!bracketsSound) continue;
    std::vector<std::pair<std::size_t, std::string>> found;
    for (const st_InternalTag& tag : verifier.rco_SourceInternalTags()) found.emplace_back(tag.n_Segment, std::string(tag.cs_Tag));
    ASSERT_EQ(found, ReferenceInternalTags(segments)) << kwx;
    tagsCompared += found.size();
  }
  // Both kinds of rounds took place.
  EXPECT_GT(tagsCompared, 500u);
  EXPECT_GT(errorsCompared, 20u);
}

// The paragraph counter finds a line's tags in the same walk: counting
// over whole lines must give what counting over each tag alone gives, the
// tags found byte by byte (a tag left open ends the line's tags).
TEST(BracketWalk, ParagraphCounterFindsTheTagsAByteByByteReadingFinds) {
  static const char* const kPieces[] = {"<tr 1>", "<tr 2>", "</tr>", "<ps \"Body\" 1>", "<ps \"a<:lt>b\" 2>",
                                        "<fn 3>", "</fn>", "<tb 4>", "</tb>", "<:cs \"E\" 1>", "<:/cs>",
                                        "text of a paragraph", " > ", "<", "<:t>", "<file \"x\">"};
  Random random;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> lines;
    const unsigned count = 1 + random.Next(12);
    for (unsigned k = 0; k < count; ++k) {
      std::string line;
      const unsigned parts = random.Next(7);
      for (unsigned p = 0; p < parts; ++p) line += kPieces[random.Next(sizeof kPieces / sizeof *kPieces)];
      lines.push_back(line);
    }
    CQ_TagStructureCheck::CQ_ParagraphCounter whole;
    CQ_TagStructureCheck::CQ_ParagraphCounter single;
    for (const std::string& line : lines) {
      whole.v_Line(line);
      std::size_t pos = 0;
      while ((pos = line.find('<', pos)) != std::string::npos) {
        const std::size_t end = TagEnd(line, pos);
        if (end == line.size()) break;
        single.v_Line(line.substr(pos, end + 1 - pos));
        pos = end + 1;
      }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    ASSERT_EQ(whole.rco_Paragraphs(), single.rco_Paragraphs()) << text;
  }
}

}  // namespace
