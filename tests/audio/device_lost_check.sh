#!/usr/bin/env bash
# The sound server dies while a song plays (as a pulled headset or a crashed audio service would):
# the player must report the end of the stream by itself instead of playing forever at one position,
# and closing must not hang. Run inside private_pulse.sh, which exports HALVERY_PULSE_PID.
#   device_lost_check.sh <audio_play_file.exe> <wine runner>
set -uo pipefail
exe=$1 wine=$2
[ -n "${HALVERY_PULSE_PID:-}" ] || { echo "run me inside private_pulse.sh"; exit 2; }
out=$(mktemp); trap 'rm -f "$out"' EXIT
"$wine" "$exe" mp3/tone5s_128k.mp3 100 >"$out" &
player=$!
# Kill the server once the song is playing.
for _ in $(seq 200); do pactl list short sink-inputs 2>/dev/null | grep -q . && break; sleep 0.05; done
sleep 1
kill -9 "$HALVERY_PULSE_PID"
wait "$player"; rc=$?
cat "$out"
played=$(sed -n 's/.*played_ms=\([0-9]*\).*/\1/p' "$out")
if [ "$rc" -ne 0 ] || ! grep -q "ended=1" "$out"; then
  echo "FAIL: the player did not report the end of the stream (exit code $rc)"
  exit 1
fi
if [ -z "$played" ] || [ "$played" -ge 5000 ]; then
  echo "FAIL: the position claims the whole song was played ($played ms)"
  exit 1
fi
echo "the stream ended by itself after the sound server died, at $played ms"
