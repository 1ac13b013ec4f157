#!/usr/bin/env bash
# Builds everything and runs every test: the command README gives a new user, and what CI runs.
#
#   tools/test.sh [ctest arguments...]      e.g. tools/test.sh -R database
#
# 1. installs the toolchain and libraries (tools/setup.sh, idempotent);
# 2. builds the release (i686) and the test build (x86_64) of the program, and a native build of
#    the window-free logic for the fuzz targets;
# 3. runs CTest on the x86_64 build under wine64, with Xvfb, a PulseAudio null sink and code page 936.
# Build folders: build/i686, build/x86_64, build/native (override the root with HALVERY_BUILD).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${HALVERY_BUILD:-$top/build}

"$top/tools/setup.sh"

configure() {  # <dir> [cmake args...]
  local dir=$1; shift
  [ -f "$dir/build.ninja" ] || cmake -G Ninja -S "$top" -B "$dir" "$@" >/dev/null
}
configure "$build/native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
configure "$build/i686" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686.cmake"
configure "$build/x86_64" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64.cmake" \
  -DHALVERY_NATIVE_BUILD="$build/native"

# HALVERY_QUICK=1 (for development): build and test only the x86_64 build, limited to the targets in
# HALVERY_TARGETS when that is set.
if [ "${HALVERY_QUICK:-0}" = 1 ]; then
  echo "test: quick build of x86_64 ${HALVERY_TARGETS:-}"
  cmake --build "$build/x86_64" ${HALVERY_TARGETS:+--target $HALVERY_TARGETS}
else
  echo "test: building native, i686 and x86_64"
  cmake --build "$build/native"
  cmake --build "$build/i686"
  cmake --build "$build/x86_64"
fi

source "$top/tools/lib/session.sh"
trap halvery_session_stop EXIT
halvery_session_start "$build/x86_64" xvfb

cd "$build/x86_64"
ctest --output-on-failure -j "${HALVERY_TEST_JOBS:-2}" "$@"
