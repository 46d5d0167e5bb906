#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (labels unit, gui, net).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/tools/setup.sh"
cd "$TESSEL_BUILD"
exec ctest --output-on-failure --timeout 600 "$@"
