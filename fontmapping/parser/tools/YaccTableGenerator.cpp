// Build-time converter from bison's XML report of an LALR automaton to the
// "CYSS" parser table, written as a C++ source file with the table as a byte
// array and the productions as text ("lhs: rhs ...").
//
// The XML is read with a small line scanner: bison writes one element per
// line. Terminals keep the token numbers the grammar gives them (end of input
// is -1, the error token -2); nonterminals are numbered from 100 up by their
// bison symbol number. A reduction that bison left disabled (an unresolved
// conflict) or any conflict at all makes the conversion fail.
//
//   yacc_table_generator REPORT.xml OUT.cpp TABLE_SYMBOL
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kShift = 0;
constexpr std::uint32_t kReduce = 0x40000000u;
constexpr std::uint32_t kAccept = 0x80000000u;
constexpr int kNonterminalBase = 100;

std::string Attr(const std::string& line, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return {};
  const std::size_t begin = at + key.size();
  const std::size_t end = line.find('"', begin);
  return line.substr(begin, end - begin);
}

std::string Inner(const std::string& line) {
  const std::size_t open = line.find('>');
  const std::size_t close = line.find("</", open);
  return line.substr(open + 1, close - open - 1);
}

std::string Unescape(std::string text) {
  const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& [from, to] : entities) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
      text.replace(at, std::string(from).size(), to);
    }
  }
  return text;
}

struct Rule {
  std::string lhs;
  std::vector<std::string> rhs;
};

struct State {
  std::vector<std::pair<int, std::uint32_t>> actions;
  std::vector<std::pair<int, std::uint32_t>> gotos;
  bool hasDefault = false;
  std::uint32_t defaultAction = 0;
  bool acceptOnly = false;
};

[[noreturn]] void Fail(const std::string& why) {
  std::cerr << "yacc_table_generator: " << why << "\n";
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) Fail("usage: yacc_table_generator REPORT.xml OUT.cpp TABLE_SYMBOL");
  std::ifstream in(argv[1]);
  if (!in) Fail(std::string("cannot read ") + argv[1]);

  std::vector<Rule> rules;
  std::map<std::string, int> symbols;  // name -> number in the table
  std::vector<State> states;
  std::string line;
  int currentState = -1;
  bool inRule = false;
  while (std::getline(in, line)) {
    if (line.find("<rule number=") != std::string::npos) {
      rules.emplace_back();
      inRule = true;
    } else if (inRule && line.find("<lhs>") != std::string::npos) {
      rules.back().lhs = Unescape(Inner(line));
    } else if (inRule && line.find("<symbol>") != std::string::npos) {
      rules.back().rhs.push_back(Unescape(Inner(line)));
    } else if (line.find("</rule>") != std::string::npos) {
      inRule = false;
    } else if (line.find("<terminal ") != std::string::npos) {
      const std::string name = Unescape(Attr(line, "name"));
      int number = std::stoi(Attr(line, "token-number"));
      if (name == "$end") number = -1;
      if (name == "error") number = -2;
      symbols[name] = number;
    } else if (line.find("<nonterminal ") != std::string::npos) {
      symbols[Unescape(Attr(line, "name"))] = kNonterminalBase + std::stoi(Attr(line, "symbol-number"));
    } else if (line.find("<state number=") != std::string::npos) {
      currentState = std::stoi(Attr(line, "number"));
      if (currentState != static_cast<int>(states.size())) Fail("states out of order");
      states.emplace_back();
    } else if (line.find("<transition ") != std::string::npos) {
      const std::string symbol = Unescape(Attr(line, "symbol"));
      const std::uint32_t target = static_cast<std::uint32_t>(std::stoul(Attr(line, "state")));
      if (!symbols.count(symbol)) Fail("unknown symbol " + symbol);
      auto& list = Attr(line, "type") == "goto" ? states.back().gotos : states.back().actions;
      list.emplace_back(symbols[symbol], kShift | target);
    } else if (line.find("<reduction ") != std::string::npos) {
      if (Attr(line, "enabled") != "true") Fail("unresolved conflict in state " + std::to_string(currentState));
      const std::string rule = Attr(line, "rule");
      const std::uint32_t action = rule == "accept" ? kAccept : (kReduce | static_cast<std::uint32_t>(std::stoul(rule)));
      const std::string symbol = Unescape(Attr(line, "symbol"));
      if (symbol == "$default") {
        states.back().hasDefault = true;
        states.back().defaultAction = action;
      } else {
        if (!symbols.count(symbol)) Fail("unknown symbol " + symbol);
        states.back().actions.emplace_back(symbols[symbol], action);
      }
    } else if (line.find("<resolution ") != std::string::npos) {
      Fail("the grammar relies on precedence to settle a conflict in state " + std::to_string(currentState));
    }
  }
  if (rules.empty() || states.empty()) Fail("no automaton in the report");

  // The state reached by shifting the end of input only accepts: the shift
  // becomes the accept action itself, so the driver never reads past eof.
  for (State& s : states) {
    s.acceptOnly = s.actions.empty() && s.gotos.empty() && s.hasDefault && s.defaultAction == kAccept;
  }
  for (State& s : states) {
    for (auto& [symbol, action] : s.actions) {
      if (symbol == -1 && (action & 0xC0000000u) == kShift && states[action].acceptOnly) action = kAccept;
    }
  }

  std::vector<std::uint32_t> words;
  const std::uint32_t nStates = static_cast<std::uint32_t>(states.size());
  const std::uint32_t nRules = static_cast<std::uint32_t>(rules.size());
  words.push_back(0x53535943u);  // "CYSS" read as a little-endian word
  words.push_back(nRules);
  words.push_back(nStates);
  const std::uint32_t productionOffset = 4 * (5 + nStates);
  const std::uint32_t firstState = productionOffset + 8 * nRules;
  words.push_back(firstState);
  words.push_back(productionOffset);
  const std::size_t offsetsAt = words.size();
  words.resize(words.size() + nStates);
  for (const Rule& r : rules) {
    if (!symbols.count(r.lhs)) Fail("unknown left-hand side " + r.lhs);
    words.push_back(static_cast<std::uint32_t>(symbols[r.lhs]));
    words.push_back(static_cast<std::uint32_t>(r.rhs.size()));
  }
  for (std::uint32_t i = 0; i < nStates; ++i) {
    const State& s = states[i];
    words[offsetsAt + i] = static_cast<std::uint32_t>(4 * words.size());
    const bool empty = s.actions.empty() && s.gotos.empty() && !s.hasDefault;
    words.push_back((s.hasDefault ? 2u : 0u) | (empty ? 8u : 0u));
    words.push_back(static_cast<std::uint32_t>(s.actions.size()));
    words.push_back(static_cast<std::uint32_t>(s.gotos.size()));
    for (const auto& [symbol, action] : s.actions) {
      words.push_back(static_cast<std::uint32_t>(symbol));
      words.push_back(action);
    }
    for (const auto& [symbol, target] : s.gotos) {
      words.push_back(static_cast<std::uint32_t>(symbol));
      words.push_back(target);
    }
    if (s.hasDefault) {
      words.push_back(0);
      words.push_back(s.defaultAction);
    }
  }

  std::ostringstream out;
  out << "// Generated by fontmapping/parser/tools/YaccTableGenerator.cpp from the grammar\n"
      << "// beside this file; do not edit. " << nRules << " productions, " << nStates << " states, "
      << 4 * words.size() << " bytes.\n"
      << "#include \"fontmapping/parser/grammar/TypeshiftTables.h\"\n\n"
      << "namespace typeshift_tables {\n\n"
      << "alignas(4) extern const unsigned char " << argv[3] << "[] = {";
  for (std::size_t i = 0; i < words.size(); ++i) {
    for (int b = 0; b < 4; ++b) {
      const std::size_t n = 4 * i + static_cast<std::size_t>(b);
      out << (n % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>((words[i] >> (8 * b)) & 0xFF) << ",";
    }
  }
  out << "\n};\nextern const std::size_t " << argv[3] << "Size = " << 4 * words.size() << ";\n\n";
  out << "// Production texts by number, for the reduce actions of derived parsers.\n"
      << "extern const char* const " << argv[3] << "Productions[] = {\n";
  for (const Rule& r : rules) {
    out << "    \"" << r.lhs << ":";
    for (const std::string& s : r.rhs) out << " " << s;
    out << "\",\n";
  }
  out << "};\nextern const std::size_t " << argv[3] << "ProductionCount = " << nRules << ";\n\n";
  out << "// Terminal names by token number.\n"
      << "extern const st_TokenName " << argv[3] << "Tokens[] = {\n";
  std::size_t nTokens = 0;
  for (const auto& [name, number] : symbols) {
    if (number < kNonterminalBase && number >= 0) {
      out << "    {" << number << ", \"" << name << "\"},\n";
      ++nTokens;
    }
  }
  out << "};\nextern const std::size_t " << argv[3] << "TokenCount = " << nTokens << ";\n\n}  // namespace typeshift_tables\n";
  std::ofstream file(argv[2], std::ios::binary);
  file << out.str();
  if (!file) Fail(std::string("cannot write ") + argv[2]);
  return 0;
}
