#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a
# while, seeded with the repository's own fixtures.
#   scripts/fuzz.sh [SECONDS]     default 30 seconds per target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

bash scripts/bootstrap.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" --target kwx_rtf_reader_fuzz mif_prescan_fuzz kwx_target_rules_fuzz
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" --target parser_tables_fuzz parser_fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local target=$1; shift
  mkdir -p "$work/$target"
  echo "== $target, $seconds s"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -print_final_stats=1 "$work/$target" "$@" 2>&1 | tail -n 12
  test "${PIPESTATUS[0]}" -eq 0
}
run kwx_rtf_reader_fuzz tests/data/reader
run mif_prescan_fuzz tests/data/mif samples
# KWX text files of the fixtures (golden forward-conversion outputs, verifier
# and report fixtures, translated files) as targets for the tag rules.
mkdir -p "$work/kwx_seeds"
grep -rlZ --include='*.txt' '^<kwx ' tests/data | xargs -0 -I{} sh -c 'cp "$1" "$2/$(echo "$1" | tr / _)"' _ {} "$work/kwx_seeds"
run kwx_target_rules_fuzz -dict=fuzz/kwx_target_rules.dict -len_control=0 "$work/kwx_seeds"
# The font mapping parser, at most 25 s each: its tables (seeded with the
# generated tables, each behind its selector byte) and lexing plus parsing
# (seeded with the MIF fixtures).
parser_seconds=$(( seconds < 25 ? seconds : 25 ))
mkdir -p "$work/table_seeds"
bash fuzz/parser_table_seeds.sh "$work/table_seeds"
seconds=$parser_seconds run parser_tables_fuzz -max_len=131072 "$work/table_seeds"
seconds=$parser_seconds run parser_fuzz -dict=fuzz/parser.dict tests/data/mif samples
