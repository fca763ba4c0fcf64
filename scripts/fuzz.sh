#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given number of
# seconds (default 60), starting from a scratch copy of its seed corpus so
# the repository stays clean. Stops at the first target that finds a fault;
# the input that shows it is kept in the build folder's findings/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   QUILLET_FUZZ_BUILD=<folder>   build folder (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
build="${QUILLET_FUZZ_BUILD:-build-fuzz}"
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(address header encoded_words base64 reply list_file ini_file letter_conversions)
fi

CC=clang CXX=clang++ cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
findings="$build/findings"
mkdir -p "$findings"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

for target in "${targets[@]}"; do
  corpus="$scratch/$target"
  mkdir -p "$corpus"
  cp fuzz/corpus/"$target"/* "$corpus"/
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/quillet/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/$target-" "$corpus" >"$scratch/$target.log" 2>&1; then
    tail -n 60 "$scratch/$target.log"
    echo "fuzz_$target found a fault; its input is in $findings/" >&2
    exit 1
  fi
  grep -E 'DONE|^Done' "$scratch/$target.log"
done
echo "fuzz: ${#targets[@]} passed, 0 failed"
