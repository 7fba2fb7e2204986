#!/usr/bin/env bash
# Builds and runs every test: the normal and the expert program, the
# sanitizer build (ASan + UBSan), a short libFuzzer run, and the mingw-w64
# cross build of the Qt-free layers. Installs missing packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

# A German locale (decimal comma) lets the tests check that number texts keep
# their "." whatever the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && command -v localedef >/dev/null; then
  echo "test: generating the de_DE.UTF-8 locale for the locale test"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "test: could not generate it; that test is skipped"
fi

jobs=$(nproc)
step() { echo; echo "=== $* ==="; }

for preset in normal expert asan; do
  step "configure, build and test: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

step "libFuzzer targets (short run)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
for f in build/fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  echo "running $f"
  "$f" -runs=200000 -max_len=64 -seed=1 2>&1 | tail -n 2
done

step "cross build of the Qt-free layers for Windows (mingw-w64)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"

echo
echo "All builds and tests passed."
