#!/usr/bin/env bash
# Runs the tool: installs what is missing, builds, and starts QEVZUN.exe in the
# build's private Wine prefix on the user's display (or a private Xvfb).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

DEPS="$(bash scripts/bootstrap.sh | tail -n 1)"
cmake --preset mingw-i686 -DQEVZUN_DEPS_PREFIX="$DEPS" >/dev/null
cmake --build --preset mingw-i686

source scripts/display.sh
ensure_display
trap stop_display EXIT

if [ -f build/QEVZUN.exe ]; then
    build/wine-run.sh build/QEVZUN.exe
else
    echo "QEVZUN.exe is not built yet; running the foundation checks instead" >&2
    build/wine-run.sh build/tests/qevzun_foundation_tests/qevzun_foundation_tests.exe
fi
