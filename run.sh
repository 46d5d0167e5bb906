#!/usr/bin/env bash
# Installs what is missing, builds, and starts TesselFTP.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/tools/setup.sh"
exec "$TESSEL_BUILD/bin/tesselftp" "$@"
