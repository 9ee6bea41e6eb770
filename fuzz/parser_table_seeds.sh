#!/usr/bin/env bash
# Writes the generated lexer and parser tables into folder $1 as seeds of
# parser_tables_fuzz: a selector byte (0 lexer table, 1 parser table), then
# the table's bytes as the generated sources hold them.
set -euo pipefail
out=$1
grammar="$(dirname "$0")/../fontmapping/parser/grammar"
seed() {  # seed SOURCE SYMBOL SELECTOR NAME
  { printf "\\x$3"; sed -n "/$2\\[\\] = {/,/^};/{/= {/d;p}" "$grammar/$1" | tr -c '0-9\n' ' ' |
      perl -ne 'print pack("C*", split(" "))'; } >"$out/$4"
}
seed TypeshiftLexTable.generated.cpp kLexTable 00 lex_table
seed TypeshiftYaccTable.generated.cpp kYaccTable 01 yacc_table
