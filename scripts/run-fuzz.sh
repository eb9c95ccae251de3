#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and runs each for
# FUZZ_SECONDS (default 60). The corpus starts from the test data, the examples and the
# target's kept inputs (fuzz/seeds/<target>/, among them every crash found and fixed) and grows
# in the build folder; crashes land in <build>/artifacts/<target>/. Exits 1 when any target
# found a crash. `make test` runs it for a few seconds a target, so a target that no longer
# builds or fails at once is caught; the long runs are `make fuzz`.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_FUZZ:-$root/build-fuzz}
case "$build" in /*) ;; *) build=$root/$build ;; esac
seconds=${FUZZ_SECONDS:-60}
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNORVALIS_FUZZ=ON -DNORVALIS_GUI=OFF -DNORVALIS_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2

# Every target fuzz/CMakeLists.txt declares, unless FUZZ_TARGETS picks some (space-separated).
if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  mapfile -t targets < <(sed -n 's/^norvalis_fuzzer(\([a-z_]*\) .*/\1/p' "$root/fuzz/CMakeLists.txt")
fi

seed() {
  local corpus=$1
  shift
  local file
  for file in "$@"; do
    [ -f "$file" ] && cp -n "$file" "$corpus/seed-$(basename "$file")"
  done
  return 0
}

failed=()
summary=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  seed "$corpus" "$root"/tests/data/text/* "$root"/examples/*.csv
  case "$target" in
    fuzz_ini_file) seed "$corpus" "$root"/fuzz/seeds/ini/* ;;
    fuzz_comma_text) seed "$corpus" "$root"/fuzz/seeds/commatext/* ;;
  esac
  if [ -d "$root/fuzz/seeds/$target" ]; then seed "$corpus" "$root/fuzz/seeds/$target"/*; fi
  log=$build/$target.log
  echo "== $target: ${seconds} s"
  start=$(date +%s)
  TIMEFORMAT='%U %S'
  status=0
  { time "$build/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=4096 \
      -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" \
      >"$log" 2>&1 || status=$?; } 2>"$build/$target.cpu"
  read -r user sys <"$build/$target.cpu"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", (u + s) / 60 }')
  line="$target: $(($(date +%s) - start)) s, ${cpu} CPU-min, ${runs:-?} runs, corpus $(ls "$corpus" | wc -l)"
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    line="$line, CRASH (see $log and $artifacts)"
  fi
  summary+=("$line")
  echo "$line"
done

echo
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "crashes in: ${failed[*]}" >&2
  exit 1
fi
