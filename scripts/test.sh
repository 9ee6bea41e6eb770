#!/usr/bin/env bash
# Builds the project and runs every test.
#   scripts/test.sh              normal build (warnings are errors) and all tests
#   scripts/test.sh --sanitize   the same under AddressSanitizer + UBSan (build-asan/)
#   scripts/test.sh --tsan TARGET FILTER
#                                the GoogleTest program TARGET, tests matching
#                                FILTER, under ThreadSanitizer (build-tsan/)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=normal
target=""
filter="*"
case "${1:-}" in
  --sanitize) mode=asan ;;
  --tsan) mode=tsan; target="${2:?a test program}"; filter="${3:-*}" ;;
  "") ;;
  *) echo "usage: $0 [--sanitize | --tsan TARGET FILTER]" >&2; exit 2 ;;
esac

bash scripts/bootstrap.sh

jobs=$(nproc 2>/dev/null || echo 2)
common=(-G Ninja -DMORVANE_WERROR=ON -DMORVANE_BUILD_TESTS=ON)
case "$mode" in
  normal)
    # The benchmarks are built too (never run here), so they keep compiling.
    cmake -S . -B build "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_BUILD_BENCH=ON >/dev/null
    cmake --build build -j"$jobs"
    ctest --test-dir build --output-on-failure -j"$jobs"
    # The desktop program once in a real X session, so a missing platform
    # plugin or library shows up: it shows its window and presses Exit.
    if [ -x build/frontend/brannock ]; then
      store=$(mktemp -d)
      XDG_CONFIG_HOME="$store" timeout 60 xvfb-run -a env QT_QPA_PLATFORM=xcb build/frontend/brannock --exit-when-shown
      rm -rf "$store"
      echo "brannock: started and closed under Xvfb"
    fi
    ;;
  asan)
    cmake -S . -B build-asan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON -DMORVANE_BUILD_GUI=OFF >/dev/null
    cmake --build build-asan -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build-asan --output-on-failure -j"$jobs"
    ;;
  tsan)
    cmake -S . -B build-tsan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_TSAN=ON -DMORVANE_BUILD_GUI=OFF >/dev/null
    cmake --build build-tsan -j"$jobs" --target "$target"
    program=$(find build-tsan -type f -name "$target" -perm -u+x | head -n 1)
    TSAN_OPTIONS=halt_on_error=1 "$program" --gtest_filter="$filter"
    ;;
esac
