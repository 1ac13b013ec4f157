#!/usr/bin/env bash
# Benchmark of the player engine: prints figures, asserts nothing.
#
#   tools/bench_engine.sh
#
# Figures: Start -> first buffer to the sound device (median of 20) for a local song and for a song
# from the stand-in on loopback; CPU seconds per second of playback; download throughput of a 20 MB
# song on loopback; peak working set while a 5 MB song plays. Runs the x86_64 build under Wine
# (build root $HALVERY_BUILD, default <repo>/build) with a PulseAudio daemon of its own and the
# stand-in of the music service on 127.0.0.54.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${HALVERY_BUILD:-$top/build}/x86_64

if [ "${1:-}" = --inner ]; then
  # Inside the stand-in and the sound daemon.
  bench=$build/tests/playback/bench/playback_engine_bench.exe
  run() { "$top/tools/wine64-zh" "$bench" "$@"; }
  cd "$build/tests/playback"  # the MP3 fixtures are in mp3/ here
  run start-local mp3/tone5s_128k.mp3
  run start-http "${STANDIN_URL}music/tone5s.mp3"
  run cpu "${STANDIN_URL}music/mid5m.mp3" 20
  run download "${STANDIN_URL}music/big20m.mp3"
  run memory "${STANDIN_URL}music/mid5m.mp3" 10
  exit 0
fi

"$top/tools/setup.sh" >/dev/null
[ -f "$build/build.ninja" ] ||
  cmake -G Ninja -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64.cmake" >/dev/null
cmake --build "$build" --target playback_engine_bench >/dev/null

source "$top/tools/lib/session.sh"
trap halvery_session_stop EXIT
halvery_session_start "$build" xvfb

echo "engine benchmark ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
STANDIN_LOG=$(mktemp) "$top/tools/standin/with_standin.sh" 127.0.0.54 -- \
  "$top/tests/audio/private_pulse.sh" "$0" --inner
