#!/usr/bin/env bash
# Plays one song through the engine and checks what reached the sound device.
#
#   audio_output_check.sh <wine launcher> <engine test exe> <song path or URL> <reference mp3> [volume]
#                         [least pause in seconds]
#
# A URL may start with "$STANDIN_URL" (set by the stand-in's helper). The program plays into a null
# sink of its own (PULSE_SINK), so tests playing at the same time never mix into the recording.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine=$1 exe=$2 song=$3 reference=$4 volume=${5:-100} pause=${6:-0}
song=${song/\$STANDIN_URL/${STANDIN_URL:-}}

sink=halvery_playback_$$
module=$(pactl load-module module-null-sink sink_name=$sink) || { echo "no PulseAudio server" >&2; exit 2; }
recording=$(mktemp --suffix=.raw)
recorder=
keeper=
cleanup() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null && wait "$recorder" 2>/dev/null
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null && wait "$keeper" 2>/dev/null
  pactl unload-module "$module" 2>/dev/null
  rm -f "$recording"
}
trap cleanup EXIT

# Silence keeps the sink running, so the recording covers the start of the song: a suspended sink
# resumes only after the song's first buffers have gone by.
pacat --playback --device="$sink" --format=s16le --rate=44100 --channels=2 --raw </dev/zero &
keeper=$!
parec --device="$sink.monitor" --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw >"$recording" &
recorder=$!
for _ in $(seq 100); do [ -s "$recording" ] && break; sleep 0.05; done
PULSE_SINK=$sink PLAYBACK_SONG=$song PLAYBACK_VOLUME=$volume \
  "$wine" "$exe" --no-skip -tc="one song to its end for the recording of the sound device"
rc=$?
sleep 1
kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=
[ $rc = 0 ] || exit $rc
python3 "$here/compare_recording.py" "$recording" "$reference" "$volume" "$pause"
