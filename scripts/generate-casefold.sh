#!/usr/bin/env bash
# Regenerates src/check/CaseFoldRuns.h, the case folding of the core's case-insensitive find,
# from the folding of the Qt installed here (the window's find used Qt's; a test compares the
# two on every code point).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC "$root/scripts/casefold/GenerateCaseFold.cpp" -o "$work/generate" \
  $(pkg-config --cflags --libs Qt6Core)
"$work/generate" >"$work/CaseFoldRuns.h"
clang-format -i --style=file:"$root/.clang-format" "$work/CaseFoldRuns.h"
mv "$work/CaseFoldRuns.h" "$root/src/check/CaseFoldRuns.h"
echo "wrote src/check/CaseFoldRuns.h"
