#!/usr/bin/env bash
# Writes pictures of the dialogs, in every state and in both languages, for a
# person to look at: <build>/screenshots/<dialog>-<state>-<en|zh>.png.
# The dialogs run over made-up facts and scripted repair workers; nothing on
# the machine is inspected or changed.
#
#   QEVZUN_BUILD_DIR   the build tree to use (default: build, the preset's)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
BUILD="${QEVZUN_BUILD_DIR:-$ROOT/build}"

if [ ! -f "$BUILD/build.ninja" ]; then
    DEPS="$(bash scripts/bootstrap.sh | tail -n 1)"
    cmake --preset mingw-i686 -DQEVZUN_DEPS_PREFIX="$DEPS" >/dev/null
fi
cmake --build "$BUILD" --target qevzun_ui_screenshots

source scripts/display.sh
ensure_display
trap stop_display EXIT

OUT="$BUILD/screenshots"
rm -rf "$OUT"
mkdir -p "$OUT/bmp"
TOUR="$BUILD/tests/ui/qevzun_ui_screenshots.exe"
( cd "$OUT" && LC_ALL=C.UTF-8 "$BUILD/wine-run.sh" "$TOUR" bmp && LC_ALL=zh_CN.UTF-8 "$BUILD/wine-run.sh" "$TOUR" bmp )
for picture in "$OUT"/bmp/*.bmp; do
    convert "$picture" "$OUT/$(basename "${picture%.bmp}").png"
done
rm -rf "$OUT/bmp"
ls "$OUT"
