#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the 32-bit Windows binaries
# and runs them under Wine (with a virtual display when none is present).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"

status=0
ctest --preset mingw-i686 "$@" || status=$?
stop_display
exit "$status"
