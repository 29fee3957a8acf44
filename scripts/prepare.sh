# Sourced by the README's commands: installs what is missing, configures and
# builds the preset, and gives Wine a display.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
DEPS="$(bash scripts/bootstrap.sh | tail -n 1)"
cmake --preset mingw-i686 -DQEVZUN_DEPS_PREFIX="$DEPS" >/dev/null
cmake --build --preset mingw-i686
source scripts/display.sh
ensure_display
