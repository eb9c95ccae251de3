#!/usr/bin/env bash
# Regenerates src/text/CodePageTables.inc, the decoding tables of code pages 932 and 20932,
# from glibc's CP932 and EUC-JP-MS converters (tests/text compares the two on every sequence).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 "$root/scripts/codepages/GenerateCodePageTables.cpp" -o "$work/generate"
"$work/generate" >"$work/CodePageTables.inc"
mv "$work/CodePageTables.inc" "$root/src/text/CodePageTables.inc"
echo "wrote src/text/CodePageTables.inc"
