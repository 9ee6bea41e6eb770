#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a
# while, seeded with the repository's own fixtures.
#   scripts/fuzz.sh [SECONDS [TARGET...]]
# SECONDS is each target's time (default 30; the parser's two at most 25).
# TARGETs choose some of them (default all), e.g. for a long run of one:
#  scripts/fuzz.sh 3600 kwx_back_convert_fuzz
# Inputs that fail are kept in build-fuzz/artifacts/ (or $FUZZ_ARTIFACTS).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
all=(kwx_rtf_reader_fuzz mif_prescan_fuzz kwx_target_rules_fuzz mif_convert_fuzz kwx_back_convert_fuzz
     parser_tables_fuzz parser_fuzz xliff_reader_fuzz)
targets=("${@:-${all[@]}}")
artifacts="${FUZZ_ARTIFACTS:-$PWD/build-fuzz/artifacts}"

bash scripts/bootstrap.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" morvane
mkdir -p "$artifacts"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local target=$1; shift
  mkdir -p "$work/$target"
  echo "== $target, $seconds s"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$work/$target" "$@" 2>&1 | tail -n 12
  test "${PIPESTATUS[0]}" -eq 0
}
# The font mapping parser's targets get at most 25 s each.
parser_seconds=$(( seconds < 25 ? seconds : 25 ))
for target in "${targets[@]}"; do
  case "$target" in
    kwx_rtf_reader_fuzz) run kwx_rtf_reader_fuzz tests/data/reader ;;
    mif_prescan_fuzz) run mif_prescan_fuzz tests/data/mif samples ;;
    kwx_target_rules_fuzz)
      # KWX text files of the fixtures (golden forward-conversion outputs,
      # verifier and report fixtures, translated files) as targets for the
      # tag rules.
      mkdir -p "$work/kwx_seeds"
      grep -rlZ --include='*.txt' '^<kwx ' tests/data | xargs -0 -I{} sh -c 'cp "$1" "$2/$(echo "$1" | tr / _)"' _ {} "$work/kwx_seeds"
      run kwx_target_rules_fuzz -dict=fuzz/kwx_target_rules.dict -len_control=0 "$work/kwx_seeds" ;;
    mif_convert_fuzz)
      # Every MIF fixture and the sample, each converted whole.
      mkdir -p "$work/mif_seeds"
      find tests/data samples -name '*.mif' -size -64k -print0 |
        xargs -0 -I{} sh -c 'cp "$1" "$2/$(echo "$1" | tr / _)"' _ {} "$work/mif_seeds"
      run mif_convert_fuzz -dict=fuzz/mif_convert.dict "$work/mif_seeds" ;;
    kwx_back_convert_fuzz)
      # The target writes its own seeds: the KWX files (text and RTF, plain
      # and pseudo-translated) of its fixed sources, and the fixtures'
      # translations.
      MORVANE_FUZZ_SEEDS="$work/back_seeds" build-fuzz/fuzz/kwx_back_convert_fuzz
      cat fuzz/kwx_target_rules.dict fuzz/kwx_rtf.dict >"$work/back.dict"
      run kwx_back_convert_fuzz -dict="$work/back.dict" "$work/back_seeds" ;;
    parser_tables_fuzz)
      # The font mapping parser's tables, seeded with the generated tables,
      # each behind its selector byte.
      mkdir -p "$work/table_seeds"
      bash fuzz/parser_table_seeds.sh "$work/table_seeds"
      seconds=$parser_seconds run parser_tables_fuzz -max_len=131072 "$work/table_seeds" ;;
    parser_fuzz)
      # Lexing plus parsing, seeded with the MIF fixtures.
      seconds=$parser_seconds run parser_fuzz -dict=fuzz/parser.dict tests/data/mif samples ;;
    xliff_reader_fuzz)
      # XLIFF files of the sample in both KWX forms, made by the command line.
      x="$work/xliff"
      mkdir -p "$x/org" "$x/tr" "$x/org2" "$x/tr2" "$x/seeds"
      build-fuzz/cli/morvane convert-mif --org-dir "$x/org" --translated-dir "$x/tr" samples/sample.mif >/dev/null
      build-fuzz/cli/morvane convert-mif --format txt --org-dir "$x/org2" --translated-dir "$x/tr2" samples/sample.mif >/dev/null
      build-fuzz/cli/morvane to-xliff --org-dir "$x/org" --output-dir "$x/seeds" "$x"/tr/*.rtf >/dev/null
      build-fuzz/cli/morvane to-xliff --org-dir "$x/org2" --output-dir "$x/seeds" "$x"/tr2/*.txt >/dev/null
      run xliff_reader_fuzz "$x/seeds" ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
  esac
done
