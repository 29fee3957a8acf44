# Sourced by the scripts: where the private Wine prefix lives and how Wine is called.
# Never the user's own ~/.wine.
: "${QEVZUN_BUILD_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export WINEPREFIX="${WINEPREFIX_QEVZUN:-$QEVZUN_BUILD_DIR/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
