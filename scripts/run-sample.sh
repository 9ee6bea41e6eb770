#!/usr/bin/env bash
# Builds morvane and runs it on the bundled sample document: converts
# samples/sample.mif to KWX into out/sample/ and shows what was written.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target morvane

out=out/sample
rm -rf "$out"
mkdir -p "$out"
echo "== morvane prescan samples/sample.mif"
./build/cli/morvane prescan samples/sample.mif
echo
echo "== morvane convert-mif --org-dir $out samples/sample.mif"
status=0
./build/cli/morvane convert-mif --org-dir "$out" samples/sample.mif || status=$?
echo
echo "== files in $out"
ls -l "$out"
exit "$status"
