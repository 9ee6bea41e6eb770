// The checker reads the lines once, token by token (KWX::sast_Tokenize),
// keeping the segment being read, a stack of open blocks and the counters
// of the pairs. It stops collecting after 50 problems.
#include "forward/convert/KWXSelfCheck.h"

#include <cstring>
#include <string_view>

#include "kernel/forward/KWXFormat.h"

namespace convert_test {
namespace {

using KWX::b_HasPrefix;

constexpr const char* kExternalPrefixes[] = {
    "<kwx \"", "</kwx>", "<sourcecharset \"", "<sourcelanguage \"", "<sourcehyphenation \"", "<sourcequotes \"",
    "<sourcepath \"", "<page \"", "</page>", "<tr ", "</tr>", "<ts ", "</ts>", "<ufo>", "</ufo>", "<af ", "</af>",
    "<tb ", "</tb>", "<tbt>", "<tbt ", "</tbt>", "<tbh>", "</tbh>", "<tbb>", "</tbb>", "<tbf>", "</tbf>", "<row ",
    "</row>", "<hrow ", "<ct ", "</ct>", "<fn ", "</fn>", "<mk \"", "</mk>", "<imk ", "</imk>", "<ie>", "<il>",
    "<ss>", "<sl>", "<ps \"", "<pn \"", "<e \"", "<el \"", "</el \"", "<elf \"", "</elf \"", "<bb \"", "<xrfmt \"",
    "<vfmt \"", "<pnfmt \"", "<epsfmt \"", "<file \"", "</file \"",
};

constexpr const char* kInternalPrefixes[] = {
    "<:cs \"", "<:/cs>", "<:fc ", "<:/fc>", "<:cns \"", "<:/cns>", "<:el \"", "<:/el \"", "<:elf \"", "<:/elf \"",
    "<:ep \"", "<:es \"", "<:xr \"", "<:v \"", "<:fn ", "<:mk \"", "<:imk ", "<:fmk1 ", "<:fmk2 ", "<:hmk ",
    "<:crmk ", "<:cnmk ", "<:iaf ", "<:ti ", "<:/ti>", "<:bb \"", "<:so>", "<:lt>", "<:gt>", "<:dh>", "<:nh>",
    "<:sh>", "<:t>", "<:hr>", "<:ns>", "<:hs>", "<:ts>", "<:ens>", "<:ems>", "<:hh>", "<:lq>", "<:rq>", "<:ldq>",
    "<:rdq>", "<:glq>", "<:grq>", "<:flq>", "<:frq>", "<:r1>", "<:r30>", "<:r31>", "<:r32>", "<:r33>", "<:r34>",
    "<:r35>", "<:r36>", "<:r37>", "<:r38>", "<:r39>",
};

bool Known(std::string_view tag, bool external) {
  if (external) {
    for (const char* p : kExternalPrefixes) {
      if (b_HasPrefix(tag, p)) return true;
    }
    return false;
  }
  for (const char* p : kInternalPrefixes) {
    if (b_HasPrefix(tag, p)) return true;
  }
  return false;
}

// Structural tags after which nothing but the next external tag may come.
bool MustBeFollowedByExternal(std::string_view tag) {
  static constexpr const char* free[] = {"<ps \"",    "<pn \"",   "<ts ",     "</af>",   "</tb>",
                                         "<el \"",    "<elf \"",  "<xrfmt \"", "<vfmt \"", "<pnfmt \"",
                                         "<mk \"",    "<imk ",    "<ie>",     "<il>",    "<ss>",
                                         "<sl>",      "</el \"",  "</elf \""};
  for (const char* p : free) {
    if (b_HasPrefix(tag, p)) return false;
  }
  if (b_HasPrefix(tag, "<bb \"")) {
    static constexpr const char* carriers[] = {
        "Cross-Reference", "Variable", "Element Prefix/Suffix", "Prefix", "Suffix",
        "Footnote Anchor Prefix", "Footnote Anchor Suffix", "Footnote Number Prefix", "Footnote Number Suffix",
        "Table Footnote Anchor Prefix", "Table Footnote Anchor Suffix", "Table Footnote Number Prefix",
        "Table Footnote Number Suffix"};
    for (const char* c : carriers) {
      if (tag == std::string("<bb \"") + c + "\">") return false;
    }
  }
  return true;
}

bool IsRunningTextTag(std::string_view tag) {
  static constexpr const char* running[] = {"<:xr \"", "<:cns \"", "<:/cns>", "<:fc ",   "<:/fc>",  "<:v \"",
                                            "<:fn ",   "<:mk ",    "<:imk ",   "<:fmk1 ", "<:fmk2 ", "<:hmk ",
                                            "<:cnmk ", "<:crmk ",  "<:iaf ",   "<:el \"", "<:/el \"", "<:elf \"",
                                            "<:/elf \"", "<:ti ",  "<:/ti>",   "<:ep \"", "<:es \"", "<:so>"};
  for (const char* p : running) {
    if (b_HasPrefix(tag, p)) return true;
  }
  return false;
}

// <:cs "NAME" N> carries a number; <:cs "NAME"> names a format in a text.
bool IsNumberedCs(std::string_view tag) {
  return b_HasPrefix(tag, "<:cs \"") && tag.size() >= 2 && tag[tag.size() - 2] >= '0' && tag[tag.size() - 2] <= '9';
}

// The structure a tag opens or closes, by name.
struct Kind {
  const char* open;
  const char* close;
  const char* name;
};

constexpr Kind kKinds[] = {
    {"<tr ", "</tr>", "tr"},     {"<ts ", "</ts>", "ts"},     {"<af ", "</af>", "af"},
    {"<page \"", "</page>", "page"}, {"<ufo>", "</ufo>", "ufo"}, {"<tb ", "</tb>", "tb"},
    {"<tbt", "</tbt>", "tbt"},   {"<tbh>", "</tbh>", "tbh"},  {"<tbb>", "</tbb>", "tbb"},
    {"<tbf>", "</tbf>", "tbf"},  {"<row ", "</row>", "row"},  {"<ct ", "</ct>", "ct"},
    {"<fn ", "</fn>", "fn"},     {"<mk \"", "</mk>", "mk"},   {"<imk ", "</imk>", "imk"},
    {"<file \"", "</file \"", "file"}, {"<kwx \"", "</kwx>", "kwx"},
};

const Kind* OpeningKind(std::string_view tag) {
  for (const Kind& k : kKinds) {
    if (b_HasPrefix(tag, k.open)) return &k;
  }
  return nullptr;
}

const Kind* ClosingKind(std::string_view tag) {
  for (const Kind& k : kKinds) {
    if (b_HasPrefix(tag, k.close)) return &k;
  }
  return nullptr;
}

// The innermost structure a tag needs; null when any will do.
std::vector<std::string_view> Context(std::string_view tag) {
  if (b_HasPrefix(tag, "<ps \"") || b_HasPrefix(tag, "<af ") || b_HasPrefix(tag, "<mk \"") ||
      b_HasPrefix(tag, "<imk ") || b_HasPrefix(tag, "<tb ")) {
    return {"tr", "fn", "tbt", "ct"};
  }
  if (b_HasPrefix(tag, "<fn ")) return {"tr", "tbt", "ct"};
  if (b_HasPrefix(tag, "<tr ") || b_HasPrefix(tag, "<ts ")) return {"page", "af", "ufo"};
  if (b_HasPrefix(tag, "<ufo>")) return {"page"};
  if (b_HasPrefix(tag, "<ie>")) return {"imk"};
  if (b_HasPrefix(tag, "<tbt") || b_HasPrefix(tag, "<tbh>") || b_HasPrefix(tag, "<tbb>") ||
      b_HasPrefix(tag, "<tbf>")) {
    return {"tb"};
  }
  if (b_HasPrefix(tag, "<row ") || b_HasPrefix(tag, "<hrow ")) return {"tbh", "tbb", "tbf"};
  if (b_HasPrefix(tag, "<ct ")) return {"row"};
  if (b_HasPrefix(tag, "<bb \"") || b_HasPrefix(tag, "<xrfmt \"") || b_HasPrefix(tag, "<vfmt \"") ||
      b_HasPrefix(tag, "<pnfmt \"") || b_HasPrefix(tag, "<epsfmt \"")) {
    return {"file"};
  }
  if (b_HasPrefix(tag, "<sourc")) return {"kwx"};
  if (b_HasPrefix(tag, "<page \"")) return {"kwx", "file"};
  return {};
}

class Checker {
 public:
  explicit Checker(bool ancillary) : m_ancillary(ancillary) {}

  void Run(const CQ_StringList& lines) {
    for (const std::string& line : lines) {
      ++m_line;
      for (const KWX::st_Token& token : KWX::sast_Tokenize(line)) Token(token);
    }
    EndSegment();
    if (m_conditionOpen) Problem("a condition run is open at the end");
    for (const std::string& open : m_stack) Problem("block " + open + " is not closed");
  }

  std::vector<std::string> m_problems;

 private:
  void Problem(const std::string& what) {
    if (m_problems.size() < 50) m_problems.push_back("line " + std::to_string(m_line) + ": " + what);
  }

  void Token(const KWX::st_Token& token) {
    const std::string_view text = token.cs_Text;
    if (token.et_Kind == KWX::TOKEN_UNCLOSED_TAG) {
      Problem("tag not closed on its line: " + std::string(text));
      return;
    }
    if (token.et_Kind == KWX::TOKEN_TEXT) {
      if (text.find_first_of("<>") != std::string_view::npos) Problem("raw bracket in text: " + std::string(text));
      if (m_mustEnd && text.find_first_not_of(" \t") != std::string_view::npos) {
        Problem("text after " + m_segmentTag + ": " + std::string(text));
      }
      m_segment.append(text);
      return;
    }
    const bool external = KWX::b_IsExternalTag(text);
    const bool internal = KWX::b_IsInternalTag(text);
    if (!external && !internal) {
      Problem("neither external nor internal: " + std::string(text));
      return;
    }
    if (!Known(text, external)) Problem("unknown tag " + std::string(text));
    if (external) {
      EndSegment();
      Structure(text);
      m_segmentTag = std::string(text);
      m_segment = std::string(text);
      m_mustEnd = MustBeFollowedByExternal(text);
      return;
    }
    if (m_mustEnd) Problem("internal tag " + std::string(text) + " after " + m_segmentTag);
    m_segment.append(text);
    Internal(text);
  }

  void Internal(std::string_view tag) {
    if (b_HasPrefix(tag, "<:cs \"")) ++m_cs;
    if (tag == "<:/cs>" && --m_cs < 0) {
      Problem("<:/cs> without <:cs> in " + m_segmentTag);
      m_cs = 0;
    }
    if (b_HasPrefix(tag, "<:fc ")) ++m_fc;
    if (tag == "<:/fc>" && --m_fc < 0) {
      Problem("<:/fc> without <:fc> in " + m_segmentTag);
      m_fc = 0;
    }
    if (b_HasPrefix(tag, "<:cns \"")) {
      if (m_conditionOpen) Problem("<:cns> while a condition run is open");
      m_conditionOpen = true;
    }
    if (tag == "<:/cns>") {
      if (!m_conditionOpen) Problem("<:/cns> without <:cns>");
      m_conditionOpen = false;
    }
    const std::string_view seg = m_segmentTag;
    const bool marker = b_HasPrefix(seg, "<mk \"");
    const bool index = b_HasPrefix(seg, "<imk ") || seg == "<ie>" || seg == "<il>" || seg == "<ss>" || seg == "<sl>";
    const bool xrefOrVariable = b_HasPrefix(seg, "<xrfmt \"") || b_HasPrefix(seg, "<vfmt \"");
    const bool numbering = b_HasPrefix(seg, "<pnfmt \"");
    const bool block = b_HasPrefix(seg, "<bb \"");
    const bool textLine = b_HasPrefix(seg, "<ts ");
    const bool format = marker || index || xrefOrVariable || numbering || block;
    if (b_HasPrefix(tag, "<:bb \"") && !format) Problem("<:bb> outside markers and formats: " + std::string(tag));
    if (b_HasPrefix(tag, "<:cs \"") && !IsNumberedCs(tag) && !(marker || index || xrefOrVariable)) {
      Problem("unnumbered <:cs> in " + m_segmentTag);
    }
    if (numbering && (b_HasPrefix(tag, "<:cs \"") || tag == "<:/cs>")) Problem("character format in " + m_segmentTag);
    if ((marker || index || xrefOrVariable || numbering) && IsRunningTextTag(tag) && tag != "<:so>") {
      Problem("running-text tag " + std::string(tag) + " in " + m_segmentTag);
    }
    if ((marker || xrefOrVariable) && IsNumberedCs(tag)) Problem("numbered <:cs> in " + m_segmentTag);
    if (textLine && IsRunningTextTag(tag) && !b_HasPrefix(tag, "<:fc ") && tag != "<:/fc>") {
      Problem("running-text tag " + std::string(tag) + " in a text line");
    }
    if (tag == "<:so>" && !(seg == "<ie>" || seg == "<il>")) Problem("<:so> outside index entries and levels");
  }

  void EndSegment() {
    if (m_segment.empty()) return;
    int depth = 0;
    int opens = 0;
    int closes = 0;
    bool wrong = false;
    bool deep = false;
    for (char c : m_segment) {
      if (c == '<') {
        ++opens;
        if (++depth > 2) deep = true;
      } else if (c == '>') {
        ++closes;
        if (--depth < 0) wrong = true;
      }
    }
    if (opens != closes) Problem("different number of < and > in " + m_segmentTag);
    if (wrong) Problem("> before < in " + m_segmentTag);
    if (deep) Problem("too many <: in a row in " + m_segmentTag);
    if (m_cs > 0) Problem("<:cs> without <:/cs> in " + m_segmentTag);
    if (m_fc > 0) Problem("<:fc> without <:/fc> in " + m_segmentTag);
    m_cs = 0;
    m_fc = 0;
    m_segment.clear();
    m_mustEnd = false;
  }

  void Structure(std::string_view tag) {
    if (const Kind* k = ClosingKind(tag)) {
      if (m_stack.empty() || m_stack.back() != k->name) {
        Problem(std::string(tag) + " closes " + (m_stack.empty() ? std::string("nothing") : m_stack.back()));
        return;
      }
      m_stack.pop_back();
      return;
    }
    const std::vector<std::string_view> context = Context(tag);
    if (!context.empty()) {
      bool ok = false;
      const std::string innermost = m_stack.empty() ? std::string() : m_stack.back();
      for (std::string_view c : context) ok = ok || innermost == c;
      if (!ok) Problem(std::string(tag) + " inside " + (innermost.empty() ? std::string("nothing") : innermost));
    } else if (b_HasPrefix(tag, "<kwx \"") && !m_stack.empty()) {
      Problem("<kwx> inside a block");
    }
    if (const Kind* k = OpeningKind(tag)) m_stack.emplace_back(k->name);
  }

  bool m_ancillary;
  std::size_t m_line = 0;
  std::string m_segment;
  std::string m_segmentTag;
  bool m_mustEnd = false;
  int m_cs = 0;
  int m_fc = 0;
  bool m_conditionOpen = false;
  std::vector<std::string> m_stack;
};

}  // namespace

std::vector<std::string> CheckKWXLines(const CQ_StringList& lines, bool ancillary) {
  Checker checker(ancillary);
  checker.Run(lines);
  return std::move(checker.m_problems);
}

}  // namespace convert_test
