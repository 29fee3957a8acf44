#!/usr/bin/env bash
# Runs the tool in the lab: installs what is missing, builds, puts a simulated
# agent into the lab's own Wine prefix (build/lab/wineprefix), starts the
# loopback status and download servers, and opens QEVZUN.
#
#   bash scripts/run.sh [scenario]   default: oldversion (the typical road;
#                                    "secure" is the same road over HTTPS)
#   bash scripts/run.sh --list       the scenarios (scripts/lab_scenarios.json)
#
# On the user's display the tool waits for the user. Without a display it runs
# under a private Xvfb, a driver takes it along its road as a user would, and
# the pictures of every stage, the tool's log and the story of the run land in
# build/lab/run/<scenario>/; then it ends by itself. The lab servers and the
# lab prefix's Wine processes stop when the tool ends.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SCENARIOS="$ROOT/scripts/lab_scenarios.json"
scenario_list() {
    python3 -c 'import json,sys
for name, s in json.load(open(sys.argv[1]))["scenarios"].items(): print("%-14s %s" % (name, s["description"]))' "$SCENARIOS"
}
SCENARIO="${1:-oldversion}"
if [ "$SCENARIO" = "--list" ]; then scenario_list; exit 0; fi
if ! python3 -c 'import json,sys; sys.exit(sys.argv[2] not in json.load(open(sys.argv[1]))["scenarios"])' \
        "$SCENARIOS" "$SCENARIO"; then
    echo "unknown scenario \"$SCENARIO\"; the scenarios are:" >&2
    scenario_list >&2
    exit 2
fi

source "$ROOT/scripts/prepare.sh"
HEADLESS=""
[ -n "$QEVZUN_XVFB_PID" ] && HEADLESS=1

export QEVZUN_WINEPREFIX="$ROOT/build/lab/wineprefix"
WINE="$ROOT/build/wine-run.sh"
LAB_EXE="$ROOT/build/tests/qevzun_lab/qevzun_lab.exe"
# A secure scenario runs the lab's HTTPS build, beside its own log.
TOOL_DIR="$ROOT/build/lab/bin"
if python3 -c 'import json,sys; sys.exit(not json.load(open(sys.argv[1]))["scenarios"][sys.argv[2]].get("secure"))' \
        "$SCENARIOS" "$SCENARIO"; then
    TOOL_DIR="$ROOT/build/lab/secure/bin"
fi
TOOL="$TOOL_DIR/QEVZUN.exe"
windows_path() { echo "Z:$1" | tr '/' '\\'; }

finish() {
    "$ROOT/build/lab/lab-server.sh" stop || true
    # The simulated agent's services keep the lab prefix's Wine alive.
    WINEPREFIX="$QEVZUN_WINEPREFIX" wineserver -k 2>/dev/null || true
    stop_display
}
trap finish EXIT
QEVZUN_LAB_WATCH_PID=$$ "$ROOT/build/lab/lab-server.sh" start "$SCENARIO"
rm -f "$TOOL_DIR"/QEVZUNLOG.log*

if [ -z "$HEADLESS" ]; then
    "$WINE" "$LAB_EXE" prepare "$SCENARIO"
    "$WINE" "$TOOL"
    exit 0
fi

OUT="$ROOT/build/lab/run/$SCENARIO"
rm -rf "$OUT"
mkdir -p "$OUT/bmp"
status=0
"$WINE" "$LAB_EXE" tour "$SCENARIO" "$(windows_path "$OUT/bmp")" || status=$?
for picture in "$OUT"/bmp/*.bmp; do
    [ -e "$picture" ] && convert "$picture" "$OUT/$(basename "${picture%.bmp}").png"
done
[ -f "$OUT/bmp/tour.txt" ] && mv "$OUT/bmp/tour.txt" "$OUT/tour.txt"
rm -rf "$OUT/bmp"
cp "$TOOL_DIR"/QEVZUNLOG.log "$OUT/" 2>/dev/null || true
echo "pictures, log and story of the run: $OUT"
ls "$OUT"
exit "$status"
