#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the 32-bit Windows binaries
# and runs them under Wine (with a virtual display when none is present).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

DEPS="$(bash scripts/bootstrap.sh | tail -n 1)"
cmake --preset mingw-i686 -DQEVZUN_DEPS_PREFIX="$DEPS" >/dev/null
cmake --build --preset mingw-i686

source scripts/display.sh
ensure_display

status=0
ctest --preset mingw-i686 "$@" || status=$?
stop_display
exit "$status"
