#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang (in build-fuzz/) and runs each for
# FUZZ_SECONDS (30 by default) on a copy of its seed corpus. A crash, a leak or a
# sanitizer report fails the script; the input that did it is left in build-fuzz/findings/.
#   tools/fuzz.sh [target ...]     (default: every target)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TESSEL_FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  "${launcher[@]}" -DTESSEL_BUILD_FUZZERS=ON -DTESSEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(replyreader listing passive servername logfields credentials serverlist webaddress)
fi
findings=$build/findings
mkdir -p "$findings"
failed=()
for name in "${targets[@]}"; do
  corpus=$(mktemp -d)
  cp "$root/fuzz/corpus/$name/"* "$corpus/"
  echo "== fuzz_$name for ${seconds} s"
  if ! QT_QPA_PLATFORM=offscreen "$build/bin/fuzz_$name" "$corpus" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/$name-" \
      2>"$findings/$name.log"; then
    failed+=("$name")
    tail -n 40 "$findings/$name.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done ' "$findings/$name.log" || true
  rm -rf "$corpus"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzz targets that stopped: ${failed[*]} (inputs in $findings)"
  exit 1
fi
