// Build-time generator of the "XLSS" lexer table from the expression lists
// of TypeshiftLexSpec: each list's regular expressions become one NFA
// (Thompson's construction), the NFA a DFA by subset construction, where a
// state accepts the earliest expression among its NFA states (the lexer takes
// the longest match, and of equal matches the first expression). Input bytes
// that no transition tells apart share a character class. The output is a
// C++ source file with the table as a byte array; the same spec always gives
// the same bytes.
//
//   lex_table_generator OUT.cpp TABLE_SYMBOL
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fontmapping/parser/SSLexTableFormat.h"
#include "fontmapping/parser/grammar/TypeshiftLexSpec.h"

namespace {

[[noreturn]] void Fail(const std::string& why) {
  std::cerr << "lex_table_generator: " << why << "\n";
  std::exit(1);
}

// NFA: each state has byte-set edges and epsilon edges.
struct NState {
  std::vector<std::pair<std::vector<bool>, int>> edges;  // 256-entry set, target
  std::vector<int> eps;
  int accept = -1;  // expression index
};

struct Fragment {
  int start;
  int end;
};

class RegexCompiler {
 public:
  explicit RegexCompiler(std::vector<NState>& states) : m_states(states) {}

  Fragment Compile(const std::string& re) {
    m_re = re;
    m_pos = 0;
    const Fragment f = Alternation();
    if (m_pos != m_re.size()) Fail("unexpected '" + std::string(1, m_re[m_pos]) + "' in " + re);
    return f;
  }

 private:
  int NewState() {
    m_states.emplace_back();
    return static_cast<int>(m_states.size() - 1);
  }
  bool More() const { return m_pos < m_re.size(); }
  char Peek() const { return m_re[m_pos]; }

  Fragment Alternation() {
    Fragment left = Sequence();
    while (More() && Peek() == '|') {
      ++m_pos;
      const Fragment right = Sequence();
      const int s = NewState(), e = NewState();
      m_states[s].eps = {left.start, right.start};
      m_states[left.end].eps.push_back(e);
      m_states[right.end].eps.push_back(e);
      left = {s, e};
    }
    return left;
  }

  Fragment Sequence() {
    const int s = NewState();
    Fragment seq{s, s};
    while (More() && Peek() != '|' && Peek() != ')') {
      const Fragment f = Repeat();
      m_states[seq.end].eps.push_back(f.start);
      seq.end = f.end;
    }
    return seq;
  }

  Fragment Repeat() {
    Fragment f = Atom();
    while (More() && (Peek() == '*' || Peek() == '+' || Peek() == '?')) {
      const char op = m_re[m_pos++];
      const int s = NewState(), e = NewState();
      m_states[s].eps.push_back(f.start);
      m_states[f.end].eps.push_back(e);
      if (op != '+') m_states[s].eps.push_back(e);
      if (op != '?') m_states[f.end].eps.push_back(f.start);
      f = {s, e};
    }
    return f;
  }

  int Escape() {
    const char c = m_re[m_pos++];
    switch (c) {
      case 'n': return '\n';
      case 'r': return '\r';
      case 't': return '\t';
      case 'x': {
        const int v = std::stoi(m_re.substr(m_pos, 2), nullptr, 16);
        m_pos += 2;
        return v;
      }
      default: return static_cast<unsigned char>(c);
    }
  }

  Fragment Atom() {
    std::vector<bool> set(256, false);
    const char c = m_re[m_pos++];
    if (c == '(') {
      const Fragment f = Alternation();
      if (!More() || Peek() != ')') Fail("missing ) in " + m_re);
      ++m_pos;
      return f;
    }
    if (c == '[') {
      bool negate = false;
      if (More() && Peek() == '^') {
        negate = true;
        ++m_pos;
      }
      while (More() && Peek() != ']') {
        int lo = m_re[m_pos] == '\\' ? (++m_pos, Escape()) : static_cast<unsigned char>(m_re[m_pos++]);
        int hi = lo;
        if (More() && Peek() == '-' && m_pos + 1 < m_re.size() && m_re[m_pos + 1] != ']') {
          ++m_pos;
          hi = m_re[m_pos] == '\\' ? (++m_pos, Escape()) : static_cast<unsigned char>(m_re[m_pos++]);
        }
        for (int b = lo; b <= hi; ++b) set[static_cast<std::size_t>(b)] = true;
      }
      if (!More()) Fail("missing ] in " + m_re);
      ++m_pos;
      if (negate) set.flip();
    } else if (c == '.') {
      set.assign(256, true);
    } else if (c == '\\') {
      set[static_cast<std::size_t>(Escape())] = true;
    } else if (c == '*' || c == '+' || c == '?' || c == ')') {
      Fail("misplaced operator in " + m_re);
    } else {
      set[static_cast<unsigned char>(c)] = true;
    }
    const int s = NewState(), e = NewState();
    m_states[s].edges.emplace_back(std::move(set), e);
    return {s, e};
  }

  std::vector<NState>& m_states;
  std::string m_re;
  std::size_t m_pos = 0;
};

struct Dfa {
  std::vector<std::vector<int>> next;  // per state, per byte; -1 none
  std::vector<int> accept;
};

std::set<int> Closure(const std::vector<NState>& nfa, std::set<int> set) {
  std::vector<int> work(set.begin(), set.end());
  while (!work.empty()) {
    const int s = work.back();
    work.pop_back();
    for (int t : nfa[static_cast<std::size_t>(s)].eps) {
      if (set.insert(t).second) work.push_back(t);
    }
  }
  return set;
}

Dfa BuildDfa(const std::vector<typeshift_lex::st_Expression>& list) {
  std::vector<NState> nfa;
  RegexCompiler compiler(nfa);
  const int start = 0;
  nfa.emplace_back();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Fragment f = compiler.Compile(list[i].regex);
    nfa[start].eps.push_back(f.start);
    nfa[static_cast<std::size_t>(f.end)].accept = static_cast<int>(i);
  }
  Dfa dfa;
  std::map<std::set<int>, int> index;
  std::vector<std::set<int>> sets;
  const auto add = [&](std::set<int> s) {
    const auto found = index.find(s);
    if (found != index.end()) return found->second;
    const int id = static_cast<int>(sets.size());
    index.emplace(s, id);
    int accept = -1;
    for (int n : s) {
      const int a = nfa[static_cast<std::size_t>(n)].accept;
      if (a >= 0 && (accept < 0 || a < accept)) accept = a;
    }
    sets.push_back(std::move(s));
    dfa.accept.push_back(accept);
    dfa.next.emplace_back(256, -1);
    return id;
  };
  // Bytes that every NFA edge treats alike are one class for the subset
  // construction.
  std::map<std::vector<bool>, int> signatures;
  std::vector<int> byteClass(256);
  std::vector<int> representative;
  for (int b = 0; b < 256; ++b) {
    std::vector<bool> signature;
    for (const NState& n : nfa) {
      for (const auto& edge : n.edges) signature.push_back(edge.first[static_cast<std::size_t>(b)]);
    }
    const auto [it, added] = signatures.emplace(std::move(signature), static_cast<int>(representative.size()));
    if (added) representative.push_back(b);
    byteClass[static_cast<std::size_t>(b)] = it->second;
  }
  add(Closure(nfa, {start}));
  for (std::size_t d = 0; d < sets.size(); ++d) {
    std::vector<int> targetOfClass(representative.size(), -1);
    for (std::size_t c = 0; c < representative.size(); ++c) {
      const std::size_t b = static_cast<std::size_t>(representative[c]);
      std::set<int> moved;
      for (int n : sets[d]) {
        for (const auto& [bytes, target] : nfa[static_cast<std::size_t>(n)].edges) {
          if (bytes[b]) moved.insert(target);
        }
      }
      if (!moved.empty()) targetOfClass[c] = add(Closure(nfa, std::move(moved)));
    }
    for (int b = 0; b < 256; ++b) {
      dfa.next[d][static_cast<std::size_t>(b)] = targetOfClass[static_cast<std::size_t>(byteClass[static_cast<std::size_t>(b)])];
    }
    if (sets.size() >= 0xFFFF) Fail("automaton too large");
  }
  return Dfa(std::move(dfa));
}

// Merges states that no input tells apart (Moore's partition refinement).
Dfa Minimise(const Dfa& dfa) {
  const std::size_t n = dfa.accept.size();
  std::vector<int> group(n);
  for (std::size_t s = 0; s < n; ++s) group[s] = dfa.accept[s] + 1;
  for (;;) {
    std::map<std::vector<int>, int> ids;
    std::vector<int> next(n);
    for (std::size_t s = 0; s < n; ++s) {
      std::vector<int> key{group[s]};
      for (int b = 0; b < 256; ++b) {
        const int t = dfa.next[s][static_cast<std::size_t>(b)];
        key.push_back(t < 0 ? -1 : group[static_cast<std::size_t>(t)]);
      }
      next[s] = ids.emplace(std::move(key), static_cast<int>(ids.size())).first->second;
    }
    const bool stable = ids.size() == std::set<int>(group.begin(), group.end()).size();
    group = std::move(next);
    if (stable) break;
  }
  // Renumber in order of first appearance so that the start state stays 0.
  std::vector<int> order(n + 1, -1);
  int count = 0;
  std::vector<int> renumber(n);
  for (std::size_t s = 0; s < n; ++s) {
    int& id = order[static_cast<std::size_t>(group[s])];
    if (id < 0) id = count++;
    renumber[s] = id;
  }
  Dfa out;
  out.accept.assign(static_cast<std::size_t>(count), -1);
  out.next.assign(static_cast<std::size_t>(count), std::vector<int>(256, -1));
  for (std::size_t s = 0; s < n; ++s) {
    const std::size_t r = static_cast<std::size_t>(renumber[s]);
    out.accept[r] = dfa.accept[s];
    for (int b = 0; b < 256; ++b) {
      const int t = dfa.next[s][static_cast<std::size_t>(b)];
      out.next[r][static_cast<std::size_t>(b)] = t < 0 ? -1 : renumber[static_cast<std::size_t>(t)];
    }
  }
  return out;
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t w) {
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(w >> (8 * b)));
}
void PutAt(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t w) {
  for (int b = 0; b < 4; ++b) out[at + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(w >> (8 * b));
}
void Pad(std::vector<std::uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

std::vector<std::uint8_t> Block(const std::vector<typeshift_lex::st_Expression>& list) {
  using namespace sslex_format;
  const Dfa dfa = Minimise(BuildDfa(list));
  const std::size_t nStates = dfa.accept.size();
  // Character classes: bytes with the same column of targets.
  std::map<std::vector<int>, int> classOf;
  std::vector<std::uint8_t> classMap(256);
  std::vector<std::vector<int>> columns;
  for (int b = 0; b < 256; ++b) {
    std::vector<int> column(nStates);
    for (std::size_t s = 0; s < nStates; ++s) column[s] = dfa.next[s][static_cast<std::size_t>(b)];
    const auto found = classOf.find(column);
    if (found != classOf.end()) {
      classMap[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(found->second);
    } else {
      const int id = static_cast<int>(columns.size());
      classOf.emplace(column, id);
      columns.push_back(column);
      classMap[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(id);
    }
  }
  const std::size_t nClasses = columns.size();
  std::vector<std::uint8_t> out(kBlockHeaderBytes, 0);
  const std::size_t classMapAt = out.size();
  out.insert(out.end(), classMap.begin(), classMap.end());
  const std::size_t transitionsAt = out.size();
  for (std::size_t s = 0; s < nStates; ++s) {
    for (std::size_t c = 0; c < nClasses; ++c) {
      const int t = columns[c][s];
      const std::uint16_t v = t < 0 ? kNoTransition : static_cast<std::uint16_t>(t);
      out.push_back(static_cast<std::uint8_t>(v & 0xFF));
      out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  }
  Pad(out);
  const std::size_t acceptAt = out.size();
  for (int a : dfa.accept) Put(out, static_cast<std::uint32_t>(a));
  const std::size_t expressionsAt = out.size();
  for (const auto& e : list) {
    Put(out, static_cast<std::uint32_t>(e.token));
    Put(out, e.action);
    Put(out, static_cast<std::uint32_t>(e.target));
    Put(out, static_cast<std::uint32_t>(e.keywords));
  }
  PutAt(out, 4 * kBlockMagic, kMagic);
  PutAt(out, 4 * kBlockSize, static_cast<std::uint32_t>(out.size()));
  PutAt(out, 4 * kBlockClasses, static_cast<std::uint32_t>(nClasses));
  PutAt(out, 4 * kBlockExpressions, static_cast<std::uint32_t>(list.size()));
  PutAt(out, 4 * kBlockClassMapOffset, static_cast<std::uint32_t>(classMapAt));
  PutAt(out, 4 * kBlockTransitionsOffset, static_cast<std::uint32_t>(transitionsAt));
  PutAt(out, 4 * kBlockAcceptOffset, static_cast<std::uint32_t>(acceptAt));
  PutAt(out, 4 * kBlockExpressionOffset, static_cast<std::uint32_t>(expressionsAt));
  PutAt(out, 4 * kBlockStartState, 0);
  PutAt(out, 4 * kBlockStates, static_cast<std::uint32_t>(nStates));
  PutAt(out, 4 * kBlockSizeAgain, static_cast<std::uint32_t>(out.size()));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sslex_format;
  if (argc != 3) Fail("usage: lex_table_generator OUT.cpp TABLE_SYMBOL");
  const typeshift_lex::st_LexSpec spec = typeshift_lex::TypeshiftLexSpec();
  std::vector<std::uint8_t> table;
  Put(table, static_cast<std::uint32_t>(spec.lists.size()));
  Put(table, kMagic);
  for (std::uint32_t i = 2; i < kTableHeaderWords; ++i) Put(table, 0);
  std::ostringstream sizes;
  for (std::size_t i = 0; i < spec.lists.size(); ++i) {
    const std::vector<std::uint8_t> block = Block(spec.lists[i]);
    sizes << (i ? ", " : "") << block.size();
    table.insert(table.end(), block.begin(), block.end());
  }
  Put(table, static_cast<std::uint32_t>(spec.keywordLists.size()));
  for (const auto& list : spec.keywordLists) {
    Put(table, static_cast<std::uint32_t>(list.size()));
    for (const auto& k : list) {
      Put(table, static_cast<std::uint32_t>(k.token));
      Put(table, k.action);
      Put(table, static_cast<std::uint32_t>(k.target));
      Put(table, k.flags);
      Put(table, static_cast<std::uint32_t>(k.text.size()));
      table.insert(table.end(), k.text.begin(), k.text.end());
      Pad(table);
    }
  }

  std::ostringstream out;
  out << "// Generated by fontmapping/parser/tools/LexTableGenerator.cpp from\n"
      << "// TypeshiftLexSpec.cpp beside this file; do not edit. " << spec.lists.size() << " expression lists, "
      << table.size() << " bytes (blocks: " << sizes.str() << ").\n"
      << "#include \"fontmapping/parser/grammar/TypeshiftTables.h\"\n\n"
      << "namespace typeshift_tables {\n\n"
      << "alignas(4) extern const unsigned char " << argv[2] << "[] = {";
  for (std::size_t i = 0; i < table.size(); ++i) {
    out << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(table[i]) << ",";
  }
  out << "\n};\nextern const std::size_t " << argv[2] << "Size = " << table.size() << ";\n\n"
      << "}  // namespace typeshift_tables\n";
  std::ofstream file(argv[1], std::ios::binary);
  file << out.str();
  if (!file) Fail(std::string("cannot write ") + argv[1]);
  return 0;
}
