# Sourced by the README's commands: installs what is missing, configures and
# builds the preset, and gives Wine a display.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
DEPS="$(bash scripts/bootstrap.sh | tail -n 1)"
# QEVZUN_BUILD_DIR: another build tree than build/ (bench.sh works in it; the
# run and test commands stay on build/). QEVZUN_BUILD_TARGETS: only these
# targets instead of the default set, which leaves out the bench programs.
BUILD_DIR="${QEVZUN_BUILD_DIR:-$ROOT/build}"
cmake --preset mingw-i686 -B "$BUILD_DIR" -DQEVZUN_DEPS_PREFIX="$DEPS" >/dev/null
# shellcheck disable=SC2086  # a list of target names
cmake --build "$BUILD_DIR" ${QEVZUN_BUILD_TARGETS:+--target $QEVZUN_BUILD_TARGETS}
source scripts/display.sh
ensure_display
