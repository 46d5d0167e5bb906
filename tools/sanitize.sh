#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (in build-asan/) and runs the whole test suite there. Any sanitizer report fails the
# run: ASan and UBSan stop the process at the first one, which fails its test.
#   tools/sanitize.sh [ctest arguments]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TESSEL_ASAN_BUILD:-$root/build-asan}
# Warnings are errors in the ordinary build only: with the sanitizers' instrumentation
# gcc 12 warns about array bounds in Qt's own headers that hold in the plain build.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=ON -DTESSEL_WERROR=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan-suppressions.txt:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd "$build"
ctest --output-on-failure --timeout 900 "$@"
