#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test QEVZUN, and
# builds the third-party libraries for the 32-bit Windows target into a cache
# outside the repository. Idempotent: a second run only checks stamps.
#
#   QEVZUN_CACHE   where sources and built libraries go
#                  (default: ${XDG_CACHE_HOME:-$HOME/.cache}/qevzun)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CACHE="${QEVZUN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qevzun}"
PREFIX="$CACHE/i686"
SRC="$CACHE/src"
JOBS="$(nproc 2>/dev/null || echo 2)"
HOST=i686-w64-mingw32

log() { printf '[bootstrap] %s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ---------------------------------------------------------------- packages
PACKAGES=(
    cmake ninja-build make pkg-config python3 curl xz-utils tcl dpkg-dev
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    binutils-mingw-w64-i686
    wine wine64 wine64-preloader wine32:i386 wine32-preloader:i386
    xvfb xauth x11-utils xdotool imagemagick
    wixl googletest
    # The lab's certificates and the signing of the fake agent's packages.
    openssl osslsigncode
    # Fonts with the measures of the Windows ones the dialogs ask for: Wine's
    # Tahoma (for "MS Shell Dlg"), Arial and Times by their metric-compatible
    # Liberation twins, and a CJK font that the Chinese faces and the font
    # links of the Latin ones fall back on (cmake/wine-prefix.reg), so that
    # texts measure and show as on Windows, without boxes.
    fonts-wine fonts-liberation fonts-wqy-microhei
)

missing_packages() {
    local p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

ensure_sources() {
    # Source listings: bookworm for jsoncpp and sqlite3; trixie serves the
    # upstream log4cpp tarball.
    local f=/etc/apt/sources.list.d/qevzun-src.sources
    if [ ! -f "$f" ]; then
        log "adding deb-src entries"
        as_root tee "$f" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
        NEED_UPDATE=1
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        log "enabling the i386 architecture"
        as_root dpkg --add-architecture i386
        NEED_UPDATE=1
    fi
}

NEED_UPDATE=0
ensure_sources
mapfile -t MISSING < <(missing_packages)
if [ "${#MISSING[@]}" -gt 0 ] || [ "$NEED_UPDATE" = 1 ]; then
    log "installing: ${MISSING[*]:-(source lists only)}"
    as_root apt-get update -qq
    if [ "${#MISSING[@]}" -gt 0 ]; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${MISSING[@]}" >/dev/null
    fi
fi

# ---------------------------------------------------------------- 32-bit code
# The 32-bit Wine loader is an i386 Linux program. Kernels booted without IA-32
# emulation refuse it; there it runs under qemu's user-mode emulator, which
# binfmt_misc hands it to transparently. qemu 7 (bookworm) breaks 32-bit Wine
# as soon as a second thread runs; trixie's qemu 10 does not, and being static
# it needs nothing else from trixie. Machines that run i386 natively skip this.
QEMU="$CACHE/qemu/qemu-i386"
ensure_trixie_binaries() {
    local f=/etc/apt/sources.list.d/qevzun-trixie.sources
    [ -f "$f" ] && return
    as_root tee "$f" >/dev/null <<'EOF2'
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF2
    # Listed for single downloads only: nothing is ever installed from it.
    as_root tee /etc/apt/preferences.d/qevzun-trixie >/dev/null <<'EOF2'
Package: *
Pin: release n=trixie
Pin-Priority: -1
EOF2
    as_root apt-get update -qq
}
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 || [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    if [ ! -x "$QEMU" ]; then
        ensure_trixie_binaries
        log "fetching qemu's i386 user-mode emulator"
        tmp="$(mktemp -d)"
        ( cd "$tmp" && apt-get download -qq qemu-user/trixie >/dev/null 2>&1 && dpkg-deb -x qemu-user_*.deb x )
        mkdir -p "$(dirname "$QEMU")"
        cp "$tmp/x/usr/bin/qemu-i386" "$QEMU"
        rm -rf "$tmp"
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
        as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    fi
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && ! grep -qx "interpreter $QEMU" /proc/sys/fs/binfmt_misc/qemu-i386; then
        echo -1 | as_root tee /proc/sys/fs/binfmt_misc/qemu-i386 >/dev/null
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        log "registering qemu-i386 for i386 programs"
        printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$QEMU:F" \
            | as_root tee /proc/sys/fs/binfmt_misc/register >/dev/null
    fi
    /usr/lib/wine/wine --version >/dev/null 2>&1 || { log "the 32-bit Wine loader cannot run"; exit 1; }
fi

# ---------------------------------------------------------------- libraries
mkdir -p "$PREFIX" "$SRC"
TOOLCHAIN="$ROOT/cmake/mingw-i686.cmake"
# A stamp records the recipe; changing this script's recipe rebuilds.
RECIPE_ID="$(sed -n '/^# ---------------------------------------------------------------- libraries/,$p' "${BASH_SOURCE[0]}" | sha1sum | cut -c1-12)"

stamp_ok() { [ -f "$PREFIX/.stamp-$1" ] && [ "$(cat "$PREFIX/.stamp-$1")" = "$RECIPE_ID" ]; }
stamp_set() { echo "$RECIPE_ID" > "$PREFIX/.stamp-$1"; }

fetch_source() { # $1 source package (with /suite), $2 glob of the orig tarball
    local pkg="$1" glob="$2"
    ( cd "$SRC"
      if ! compgen -G "$glob" >/dev/null; then
          log "fetching source of $pkg"
          # Only the upstream tarball matters; a missing Debian part is tolerated.
          apt-get source --download-only "$pkg" >/dev/null 2>&1 || true
      fi
      compgen -G "$glob" >/dev/null || { log "no source tarball for $pkg"; exit 1; } )
}

cmake_cross() { # $1 source dir, $2 build dir, rest: extra args
    local s="$1" b="$2"; shift 2
    cmake -S "$s" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
    cmake --build "$b" -j "$JOBS" >/dev/null
    cmake --install "$b" >/dev/null
}

build_jsoncpp() {
    stamp_ok jsoncpp && return
    fetch_source libjsoncpp/bookworm 'libjsoncpp_1.9.5.orig.tar.gz'
    log "building jsoncpp 1.9.5"
    rm -rf "$SRC/jsoncpp-1.9.5" "$SRC/build-jsoncpp"
    tar -C "$SRC" -xzf "$SRC"/libjsoncpp_1.9.5.orig.tar.gz
    cmake_cross "$SRC/jsoncpp-1.9.5" "$SRC/build-jsoncpp" \
        -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
        -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=ON \
        -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
    stamp_set jsoncpp
}

build_sqlite() {
    stamp_ok sqlite3 && return
    fetch_source sqlite3/bookworm 'sqlite3_3.40.1.orig.tar.xz'
    log "building sqlite3 3.40.1"
    rm -rf "$SRC/sqlite3-3.40.1" "$SRC/build-sqlite3"
    tar -C "$SRC" -xJf "$SRC"/sqlite3_3.40.1.orig.tar.xz
    # The amalgamation is generated on the build machine, then cross-compiled.
    mkdir -p "$SRC/build-sqlite3"
    ( cd "$SRC/build-sqlite3"
      "$SRC/sqlite3-3.40.1/configure" --disable-tcl >/dev/null
      make -j "$JOBS" sqlite3.c >/dev/null
      $HOST-gcc-posix -O2 -c sqlite3.c -o sqlite3.o -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION
      $HOST-ar rcs libsqlite3.a sqlite3.o
      mkdir -p "$PREFIX/include" "$PREFIX/lib"
      cp sqlite3.h sqlite3ext.h "$PREFIX/include/"
      cp libsqlite3.a "$PREFIX/lib/" )
    stamp_set sqlite3
}

build_log4cpp() {
    stamp_ok log4cpp && return
    fetch_source log4cpp 'log4cpp_1.1.4.orig.tar.gz'
    log "building log4cpp 1.1.4"
    rm -rf "$SRC/log4cpp" "$SRC/build-log4cpp"
    tar -C "$SRC" -xzf "$SRC"/log4cpp_1.1.4.orig.tar.gz
    # MinGW's <stdint.h> already has int64_t; the header's macro breaks it.
    sed -i 's/^#define int64_t __int64$//' "$SRC/log4cpp/include/log4cpp/config-MinGW32.h"
    cmake_cross "$SRC/log4cpp" "$SRC/build-log4cpp" -DCMAKE_POLICY_DEFAULT_CMP0048=NEW
    stamp_set log4cpp
}

build_gtest() {
    stamp_ok googletest && return
    log "building googletest"
    rm -rf "$SRC/build-googletest"
    cmake_cross /usr/src/googletest "$SRC/build-googletest" -Dgtest_disable_pthreads=OFF -DINSTALL_GTEST=ON
    stamp_set googletest
}

build_jsoncpp
build_sqlite
build_log4cpp
build_gtest

echo "$PREFIX"
