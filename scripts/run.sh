#!/usr/bin/env bash
# Runs the tool: installs what is missing, builds, and starts QEVZUN.exe in the
# build's private Wine prefix on the user's display (or a private Xvfb).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"
trap stop_display EXIT

build/wine-run.sh build/QEVZUN.exe
