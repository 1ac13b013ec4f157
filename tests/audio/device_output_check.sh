#!/usr/bin/env bash
# What reached the sound device is the song: plays fixtures through the audio player object
# (audio_play_file) while recording the null sink's monitor, then compares with sox:
# length of the sound (silence at both ends cut), pitch and peak level (volume).
# Run it inside private_pulse.sh, so that no other program's sound mixes in.
#   device_output_check.sh <audio_play_file.exe> <wine runner>
set -uo pipefail
exe=$1 wine=$2
work=$(mktemp -d /tmp/halvery-capture.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
sox -n -r 44100 -c 2 -b 16 "$work/silence.wav" trim 0 0.2

# sox prints "<name>:   <value>" lines; the value of one of them.
stat_value() { awk -F: -v k="$2" '$1 ~ k { gsub(/ /, "", $2); print $2; exit }' <<<"$1"; }
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v != "" && v + 0 >= lo && v + 0 <= hi) }'; }
check() {  # <what> <value> <low> <high>
  if between "$2" "$3" "$4"; then
    echo "  ok   $1 = $2 (expected $3..$4)"
  else
    echo "  FAIL $1 = $2 (expected $3..$4)"
    failures=$((failures + 1))
  fi
}

# file volume | sound length s (min max) | pitch Hz (min max) | peak (min max)
cases=(
  "mp3/tone5s_128k.mp3 100  4.85 5.6  430 450  0.40 0.55"
  "mp3/tone5s_128k.mp3 50   4.85 5.6  430 450  0.20 0.28"
  "mp3/short1s_128k.mp3 100 0.9 1.4   650 670  0.40 0.55"
  "mp3/short1s_128k.mp3 0   -    -    -   -    0 0.002"
)
for c in "${cases[@]}"; do
  read -r file vol lmin lmax fmin fmax pmin pmax <<<"$c"
  echo "$file at volume $vol:"
  n=$((${n:-0} + 1)); raw=$work/capture$n.raw
  parec --latency-msec=20 --device=nullsink.monitor --format=s16le --rate=44100 --channels=2 --raw >"$raw" &
  rec=$!
  # A recorder that has just connected may still miss the first sound: start playing only once a
  # bit of silence has come through it.
  for _ in $(seq 50); do [ -s "$raw" ] && break; paplay "$work/silence.wav"; done
  [ -s "$raw" ] || { echo "  FAIL the recorder records nothing"; failures=$((failures + 1)); }
  if ! out=$("$wine" "$exe" "$file" "$vol"); then
    echo "  FAIL the player did not play to the end: $out"
    failures=$((failures + 1))
  fi
  echo "  player: $out"
  sleep 0.3
  kill -INT "$rec"; wait "$rec" 2>/dev/null  # INT: the recorder writes out what it holds
  fmt=(-t raw -r 44100 -e signed -b 16 -c 2)
  whole=$(sox "${fmt[@]}" "$raw" -n remix 1 stat 2>&1)
  check "peak" "$(stat_value "$whole" "Maximum amplitude")" "$pmin" "$pmax"
  if [ "$lmin" != - ]; then
    sound=$(sox "${fmt[@]}" "$raw" -n remix 1 silence 1 0.01 1% reverse silence 1 0.01 1% reverse stat 2>&1)
    check "sound length" "$(stat_value "$sound" "Length")" "$lmin" "$lmax"
    check "pitch" "$(stat_value "$sound" "Rough")" "$fmin" "$fmax"
    # Both channels carry the tone.
    right=$(sox "${fmt[@]}" "$raw" -n remix 2 stat 2>&1)
    check "right channel peak" "$(stat_value "$right" "Maximum amplitude")" "$pmin" "$pmax"
  fi
done
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  if [ -n "${HALVERY_KEEP_CAPTURE:-}" ]; then cp "$work"/capture*.raw "$HALVERY_KEEP_CAPTURE"/; fi
  exit 1
fi
echo "device output matches the songs"
