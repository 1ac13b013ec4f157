#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine and
# builds the third-party libraries (SQLite amalgamation, minizip) for both Windows
# architectures into a cache folder outside the source tree.
#
#   tools/setup.sh            # idempotent; a second run takes a few seconds
#
# The cache folder is $HALVERY_DEPS, default ~/.cache/halvery-deps.
set -euo pipefail

DEPS=${HALVERY_DEPS:-$HOME/.cache/halvery-deps}
SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"

PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  libz-mingw-w64-dev
  wine wine64
  xvfb xauth x11-utils imagemagick
  cmake ninja-build doctest-dev
  sox lame libsox-fmt-mp3
  pulseaudio pulseaudio-utils
  fonts-wqy-microhei
  clang libclang-rt-14-dev
  python3 tcl dpkg-dev make gcc
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

enable_deb_src() {
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ] && ! grep -q '^Types:.*deb-src' "$f"; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    return 0
  fi
  if [ ! -f "$f" ] && ! grep -rqs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/halvery-src.list >/dev/null
    return 0
  fi
  return 1
}

need_update=0
enable_deb_src && need_update=1
[ ${#missing[@]} -gt 0 ] && need_update=1
need_sources=0
[ -f "$DEPS/.done-v1" ] || need_sources=1
if [ $need_update = 1 ] || { [ $need_sources = 1 ] && ! ls /var/lib/apt/lists/*Sources* >/dev/null 2>&1; }; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes both its ANSI code page and its Unix file-name encoding from the locale: only a real
# zh_CN.UTF-8 locale gives code page 936 *and* lets programs create files with Chinese names.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  $SUDO localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

[ $need_sources = 1 ] || { echo "setup: toolchain and libraries ready ($DEPS)"; exit 0; }

mkdir -p "$DEPS/src"
cd "$DEPS/src"

# Sources from Debian's own packages.
if [ ! -d sqlite ]; then
  rm -rf sqlite.tmp && mkdir sqlite.tmp && (cd sqlite.tmp && apt-get source -qq sqlite3)
  d=$(find sqlite.tmp -maxdepth 1 -mindepth 1 -type d | head -1)
  mv "$d" sqlite && rm -rf sqlite.tmp
fi
if [ ! -d zlib ]; then
  rm -rf zlib.tmp && mkdir zlib.tmp && (cd zlib.tmp && apt-get source -qq zlib=1:1.2.13.dfsg-1)
  d=$(find zlib.tmp -maxdepth 1 -mindepth 1 -type d | head -1)
  mv "$d" zlib && rm -rf zlib.tmp
fi
if [ ! -d mingw-idl ]; then
  rm -rf mingw.tmp && mkdir mingw.tmp && (cd mingw.tmp && apt-get source --download-only -qq mingw-w64)
  mkdir -p mingw-idl.tmp
  tar -xf "$(ls mingw.tmp/mingw-w64_*.orig.tar.* | grep -v '\.asc$' | head -1)" -C mingw-idl.tmp --wildcards '*/mingw-w64-headers/include/*.idl'
  mkdir -p mingw-idl && find mingw-idl.tmp -name '*.idl' -exec mv {} mingw-idl/ \;
  rm -rf mingw.tmp mingw-idl.tmp
fi

# The SQLite tarball has no amalgamation: make it once.
if [ ! -f sqlite-amalgamation/sqlite3.c ]; then
  rm -rf sqlite-build && mkdir sqlite-build
  (cd sqlite-build && ../sqlite/configure --disable-tcl >/dev/null && make -s sqlite3.c >/dev/null)
  mkdir -p sqlite-amalgamation
  cp sqlite-build/sqlite3.c sqlite-build/sqlite3.h sqlite-amalgamation/
  rm -rf sqlite-build
fi

build_arch() {
  local triplet=$1 out="$DEPS/$1"
  local cc="$triplet-gcc-posix" ar="$triplet-ar"
  mkdir -p "$out/include" "$out/lib" "$out/obj"
  if [ ! -f "$out/lib/libsqlite3.a" ]; then
    $cc -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite-amalgamation/sqlite3.c -o "$out/obj/sqlite3.o"
    $ar rcs "$out/lib/libsqlite3.a" "$out/obj/sqlite3.o"
    cp sqlite-amalgamation/sqlite3.h "$out/include/"
  fi
  if [ ! -f "$out/lib/libminizip.a" ]; then
    local m=zlib/contrib/minizip objs=()
    for f in unzip ioapi iowin32; do
      $cc -O2 -I"$m" -c "$m/$f.c" -o "$out/obj/$f.o"
      objs+=("$out/obj/$f.o")
    done
    $ar rcs "$out/lib/libminizip.a" "${objs[@]}"
    mkdir -p "$out/include/minizip"
    cp "$m"/unzip.h "$m"/ioapi.h "$m"/iowin32.h "$out/include/minizip/"
  fi
}
build_arch i686-w64-mingw32 & pid32=$!
build_arch x86_64-w64-mingw32 & pid64=$!
wait $pid32 && wait $pid64 || { echo "setup: building the libraries failed" >&2; exit 1; }

touch "$DEPS/.done-v1"
echo "setup: toolchain and libraries ready ($DEPS)"
