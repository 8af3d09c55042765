#!/usr/bin/env bash
# Installs what building and testing Quillmoor needs on a Debian 12 machine, and cross-builds
# libpng and SQLite from Debian's own source packages. Quick when everything is already there.
# Usage: scripts/setup.sh BUILD_DIR [CPU]   (CPU: i686, the default, or x86_64)
set -euo pipefail
build=${1:-build}
cpu=${2:-i686}
mkdir -p "$build"
build=$(cd "$build" && pwd)
deps="$build/deps"

# googletest: the tests' CMake builds /usr/src/googletest; python3: this script runs Debian's own.
packages=("g++-mingw-w64-${cpu//_/-}-posix" libz-mingw-w64-dev wine wine32:i386 wine64 xvfb xauth cmake
          fonts-wine imagemagick xz-utils nsis clang libclang-rt-14-dev zlib1g-dev g++ googletest python3
          xcompmgr tcl8.6 publicsuffix dpkg-dev openssl)
# The companion extension's tests run under Node; a machine may have a Node of its own that no
# package accounts for, so the command decides, not the package.
command -v node >/dev/null 2>&1 || packages+=(nodejs)

as_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: '$*' needs root; run make as root or install the packages by hand" >&2
    exit 1
  fi
  "$@"
}

missing=()
for p in "${packages[@]}"; do
  st=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$st" = "install ok installed" ] || missing+=("$p")
done

updated=0
# A mirror in the middle of a sync makes "apt-get update" fail on one index now and then; try
# again, and in the end go on with what was fetched: the install below says what is missing.
apt_update() {
  [ $updated -eq 1 ] && return 0
  local try
  for try in 1 2 3; do
    as_root apt-get update -qq && { updated=1; return 0; }
    echo "setup: apt-get update failed (try $try of 3)" >&2
    sleep $((try * 5))
  done
  updated=1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# An index fetched mid-sync can pair a package with a version of its other-architecture half that
# is not there yet, and the install fails; the mirror settles within minutes.
install_missing() {
  local try
  for try in 1 2 3; do
    if DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@" \
         </dev/null >/dev/null; then
      return 0
    fi
    [ $try -eq 3 ] && break
    echo "setup: apt-get install failed (try $try of 3); fetching the indexes again" >&2
    sleep $((try * 30))
    updated=0
    apt_update
  done
  return 1
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update
  install_missing "${missing[@]}"
fi

# Source packages: derive a deb-src entry from the machine's own Debian entry, so that no host
# name is written by this project.
enable_sources() {
  local out=/etc/apt/sources.list.d/quillmoor-src.sources
  [ -f "$out" ] && return 0
  local src
  src=$(/usr/bin/python3 - <<'PY'
import glob, re
stanzas = []
for f in sorted(glob.glob('/etc/apt/sources.list.d/*.sources')):
    for block in open(f).read().split('\n\n'):
        fields = {}
        for line in block.splitlines():
            m = re.match(r'^([A-Za-z-]+):\s*(.*)$', line)
            if m: fields[m.group(1)] = m.group(2)
        stanzas.append(fields)
for line in open('/etc/apt/sources.list').read().splitlines() if __import__('os').path.exists('/etc/apt/sources.list') else []:
    parts = line.split()
    if len(parts) >= 4 and parts[0] == 'deb' and not parts[1].startswith('['):
        stanzas.append({'Types': 'deb', 'URIs': parts[1], 'Suites': parts[2], 'Components': ' '.join(parts[3:])})
for s in stanzas:
    suites = s.get('Suites', '').split()
    if 'deb' in s.get('Types', '').split() and 'bookworm' in suites and 'main' in s.get('Components', '').split():
        out = ['Types: deb-src', 'URIs: ' + s['URIs'], 'Suites: bookworm', 'Components: main']
        if 'Signed-By' in s: out.append('Signed-By: ' + s['Signed-By'])
        print('\n'.join(out))
        break
PY
)
  if [ -z "$src" ]; then
    echo "setup: no Debian bookworm entry found in the apt sources" >&2
    exit 1
  fi
  printf '%s\n' "$src" | as_root tee "$out" >/dev/null
  updated=0
  apt_update
}

if [ ! -f "$deps/libpng/lib/libpng16.a" ] && [ ! -f "$deps/libpng/lib/libpng.a" ]; then
  mkdir -p "$deps/src"
  if ! ls "$deps"/src/libpng1.6_*.orig.tar.* >/dev/null 2>&1; then
    enable_sources
    chmod 777 "$deps/src" || true
    (cd "$deps/src" && apt-get source --download-only libpng1.6 >/dev/null 2>&1) || {
      apt_update; (cd "$deps/src" && apt-get source --download-only libpng1.6 >/dev/null); }
  fi
  rm -rf "$deps/src/libpng"
  mkdir -p "$deps/src/libpng"
  tar -xf "$(ls "$deps"/src/libpng1.6_*.orig.tar.* | head -n 1)" -C "$deps/src/libpng" --strip-components=1
  cmake -S "$deps/src/libpng" -B "$deps/libpng-build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-$cpu.cmake" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_STATIC=ON \
    -DCMAKE_INSTALL_PREFIX="$deps/libpng" >/dev/null
  cmake --build "$deps/libpng-build" -j2 >/dev/null
  cmake --install "$deps/libpng-build" >/dev/null
  echo "setup: libpng built into $deps/libpng"
fi

# SQLite: Debian's source package with its patches applied (dpkg-source), turned into the single
# file sqlite3.c by its own build (which needs tclsh), compiled for mingw into a static library.
# Extension loading is left out: the program opens browsers' databases, never code.
if [ ! -f "$deps/sqlite/lib/libsqlite3.a" ]; then
  mkdir -p "$deps/src"
  if ! ls "$deps"/src/sqlite3_*.dsc >/dev/null 2>&1; then
    enable_sources
    chmod 777 "$deps/src" || true
    (cd "$deps/src" && apt-get source --download-only sqlite3 >/dev/null 2>&1) || {
      apt_update; (cd "$deps/src" && apt-get source --download-only sqlite3 >/dev/null); }
  fi
  rm -rf "$deps/src/sqlite" "$deps/sqlite-build"
  dpkg-source --no-check -x "$(ls "$deps"/src/sqlite3_*.dsc | head -n 1)" "$deps/src/sqlite" >/dev/null
  mkdir -p "$deps/sqlite-build" "$deps/sqlite/include" "$deps/sqlite/lib"
  (cd "$deps/sqlite-build" && "$deps/src/sqlite/configure" --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
  "${cpu}-w64-mingw32-gcc-posix" -O2 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DEFAULT_MEMSTATUS=0 \
    -DSQLITE_DQS=0 -DSQLITE_OMIT_DEPRECATED -DSQLITE_OMIT_SHARED_CACHE \
    -c "$deps/sqlite-build/sqlite3.c" -o "$deps/sqlite-build/sqlite3.o"
  "${cpu}-w64-mingw32-ar" rcs "$deps/sqlite/lib/libsqlite3.a" "$deps/sqlite-build/sqlite3.o"
  cp "$deps/sqlite-build/sqlite3.h" "$deps/sqlite/include/"
  echo "setup: SQLite built into $deps/sqlite"
fi
