#!/usr/bin/env bash
# Measures QEVZUN against baselines taken in the same run on the same machine
# and prints one table: median of several runs, the ratio, and the goal.
# Installs what is missing and builds the bench programs (tests/bench/) first.
#
#   QEVZUN_BUILD_DIR    build tree to use (default: build)
#   QEVZUN_BENCH_RUNS   runs of the quick figures (default 7); the logging
#                       figure takes 3 runs, the memory figures 3 processes
set -euo pipefail
QEVZUN_BUILD_TARGETS="qevzun_bench"
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"

RUNS="${QEVZUN_BENCH_RUNS:-7}"
BIG_RUNS=3
BENCH="$BUILD_DIR/tests/bench"
DATA="$BUILD_DIR/bench-data"
RESULTS="$BUILD_DIR/bench-results"
SAMPLES="$RESULTS/samples.txt"
WINE="$BUILD_DIR/wine-run.sh"
mkdir -p "$DATA/www/download/qev" "$RESULTS"
: >"$SAMPLES"

HTTP_PID=""
cleanup() {
    if [ -n "$HTTP_PID" ]; then kill "$HTTP_PID" 2>/dev/null || true; fi
    "$WINE" "$BENCH/qevzun_bench_uuid.exe" clean >/dev/null 2>&1 || true
    rm -f "$DATA/curl.out" "$DATA/qevzun.out" "$BENCH"/QEVZUNLOG.log* "$BENCH"/BASELINELOG.log*
    stop_display
}
trap cleanup EXIT

# The path of a build-tree file as the Windows programs see it (drive Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Runs one bench program; its SAMPLE lines go to the samples, a FAILED line ends the run.
bench_run() {
    local out
    out="$("$WINE" "$@" 2>/dev/null)" || true
    printf '%s\n' "$out" | grep '^FAILED' >&2 && { echo "bench: $* failed" >&2; exit 1; }
    printf '%s\n' "$out" | grep '^SAMPLE' | cut -d' ' -f2- >>"$SAMPLES" || { echo "bench: no figure from $*" >&2; exit 1; }
}

echo "bench: start-up ($RUNS runs each)" >&2
# The third program is the baseline linked with the program's libraries and
# manifest: what the platform charges for loading them (startup.extra.1).
bench_run "$BENCH/qevzun_bench_startup.exe" "$RUNS" "$(winpath "$BENCH/qevzun_bench_minimal_dialog_linked.exe")"
echo "footprint.exe_size $(stat -c %s "$BUILD_DIR/QEVZUN.exe")" >>"$SAMPLES"
i686-w64-mingw32-strip -o "$RESULTS/QEVZUN-stripped.exe" "$BUILD_DIR/QEVZUN.exe"
echo "footprint.stripped_exe_size $(stat -c %s "$RESULTS/QEVZUN-stripped.exe")" >>"$SAMPLES"
rm -f "$RESULTS/QEVZUN-stripped.exe"
echo "footprint.baseline_exe_size $(stat -c %s "$BENCH/qevzun_bench_minimal_dialog.exe")" >>"$SAMPLES"

for c in near-end many-markers; do
    echo "bench: UUID scan, $c" >&2
    bench_run "$BENCH/qevzun_bench_uuid.exe" "$c" time "$RUNS"
    for _ in $(seq "$BIG_RUNS"); do bench_run "$BENCH/qevzun_bench_uuid.exe" "$c" memory uuid; done
done
"$WINE" "$BENCH/qevzun_bench_uuid.exe" clean >/dev/null 2>&1

# Both clients fetch the same URL from one native server, so that neither is
# held back by a server running under the same emulation as the tool.
echo "bench: download of 256 MiB ($RUNS runs each)" >&2
PACKAGE="$DATA/www/download/qev/bench.msi"
PACKAGE_SIZE=$((256 * 1024 * 1024))
if [ "$(stat -c %s "$PACKAGE" 2>/dev/null || echo 0)" != "$PACKAGE_SIZE" ]; then
    head -c "$PACKAGE_SIZE" /dev/urandom >"$PACKAGE"
fi
echo warm >"$DATA/www/download/qev/warm.txt"
PORT="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
python3 -m http.server --bind 127.0.0.1 --directory "$DATA/www" "$PORT" >"$RESULTS/http-server.log" 2>&1 &
HTTP_PID=$!
URL="http://127.0.0.1:$PORT/download/qev/bench.msi"
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$PORT/download/qev/warm.txt" && break; sleep 0.1; done
for _ in $(seq "$RUNS"); do
    curl -s -o "$DATA/curl.out" -w '%{size_download} %{time_total}\n' "$URL" |
        awk -v want="$PACKAGE_SIZE" '$1 != want { exit 1 } { printf "download.curl %.3f\n", $1 / 1048576 / $2 }' >>"$SAMPLES" ||
        { echo "bench: curl did not fetch the whole package" >&2; exit 1; }
    rm -f "$DATA/curl.out"
    bench_run "$BENCH/qevzun_bench_download.exe" "$PORT" download/qev/bench.msi "$(winpath "$DATA/qevzun.out")" \
        "$PACKAGE_SIZE" download/qev/warm.txt
done
kill "$HTTP_PID" 2>/dev/null || true
HTTP_PID=""

echo "bench: logging, 100 000 lines from two threads ($BIG_RUNS runs each)" >&2
for _ in $(seq "$BIG_RUNS"); do
    bench_run "$BENCH/qevzun_bench_log.exe" baseline
    bench_run "$BENCH/qevzun_bench_log.exe" qevzun
done

# One row: label, unit scale (value divided by it), QEVZUN key, baseline key,
# goal ("<= x", ">= x" on the ratio, or "-" for the record).
ROWS=(
    "Start-up to main window shown, ms|1|startup.qevzun|startup.baseline|<= 1.5"
    "  baseline + program's DLLs and manifest, ms|1|startup.extra.1|startup.baseline|-"
    "  QEVZUN against that linked baseline, ms|1|startup.qevzun|startup.extra.1|-"
    "UUID scan, 64 MiB, marker near the end, ms|1|uuid.near-end.qevzun|uuid.near-end.baseline|<= 1.5"
    "UUID scan, 64 MiB, 100 000 bad markers, ms|1|uuid.many-markers.qevzun|uuid.many-markers.baseline|<= 1.5"
    "UUID peak private bytes, near end, MiB|1048576|uuid.near-end.uuid.private|uuid.size|<= 1.2"
    "UUID peak working set, near end, MiB|1048576|uuid.near-end.uuid.working_set|uuid.size|<= 1.2"
    "UUID peak private bytes, bad markers, MiB|1048576|uuid.many-markers.uuid.private|uuid.size|<= 1.2"
    "UUID peak working set, bad markers, MiB|1048576|uuid.many-markers.uuid.working_set|uuid.size|<= 1.2"
    "Download 256 MiB, MiB/s|1|download.qevzun|download.curl|>= 0.7"
    "Logging 100 000 lines, 2 threads, ms|1|log.qevzun|log.baseline|<= 1.3"
    "QEVZUN.exe size, KiB|1024|footprint.exe_size|footprint.baseline_exe_size|-"
    "QEVZUN.exe size without debug info, KiB|1024|footprint.stripped_exe_size|footprint.baseline_exe_size|-"
    "Peak working set, main dialog shown, MiB|1048576|footprint.peak_working_set|footprint.baseline_peak_working_set|-"
)

printf '%s\n' "${ROWS[@]}" | awk -F'|' -v samples="$SAMPLES" '
    function median(key,    n, i, j, t, v) {
        n = count[key]
        for (i = 1; i <= n; i++) v[i] = value[key, i]
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    BEGIN {
        while ((getline line < samples) > 0) {
            split(line, f, " ")
            value[f[1], ++count[f[1]]] = f[2]
        }
        fmt = "%-44s %10s %10s %7s %5s %7s  %s\n"
        printf fmt, "Figure", "QEVZUN", "Baseline", "Ratio", "Runs", "Goal", "Result"
    }
    {
        if (!count[$3] || !count[$4]) { printf fmt, $1, "-", "-", "-", "0", $5, "not measured"; missing = 1; next }
        q = median($3); b = median($4); ratio = b ? q / b : 0
        result = "for the record"
        if ($5 ~ /^<=/) result = ratio <= substr($5, 4) + 0 ? "met" : "missed"
        if ($5 ~ /^>=/) result = ratio >= substr($5, 4) + 0 ? "met" : "missed"
        printf fmt, $1, sprintf("%.1f", q / $2), sprintf("%.1f", b / $2), sprintf("%.2f", ratio), count[$3], $5, result
    }
    END { exit missing }
' | tee "$RESULTS/table.txt"
cat >>"$RESULTS/table.txt" <<'NOTE'
Baselines: start-up - a program that shows one dialog from a template (indented rows:
the same program linked with QEVZUN's system libraries and manifest); UUID scan - one
ReadFile of the same file (memory rows: the file size); download - curl fetching the same
URL from the same server; logging - the same lines straight to a log4cpp rolling file
appender; footprint - the start-up baseline program.
NOTE
tail -n 5 "$RESULTS/table.txt"
