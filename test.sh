#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (labels unit, gui, net).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/tools/setup.sh"
# In CI (or with TESSEL_FUZZ=1) the fuzz targets run first, 30 s each; a crash fails the run.
if [ -n "${CI:-}" ] || [ "${TESSEL_FUZZ:-}" = 1 ]; then
  "$TESSEL_ROOT/tools/fuzz.sh"
fi
cd "$TESSEL_BUILD"
exec ctest --output-on-failure --timeout 600 "$@"
