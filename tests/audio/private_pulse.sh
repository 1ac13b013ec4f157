#!/usr/bin/env bash
# Runs a command with a PulseAudio daemon of its own: one null sink "nullsink" (default sink),
# whose monitor "nullsink.monitor" can be recorded. Sound of other programs never mixes in, and
# the daemon lives exactly as long as the command, whatever other test sessions do meanwhile.
#   private_pulse.sh <command> [args...]
set -euo pipefail
dir=$(mktemp -d /tmp/halvery-pulse.XXXXXX)
export PULSE_RUNTIME_PATH=$dir PULSE_STATE_PATH=$dir PULSE_SERVER=unix:$dir/native
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
  --load="module-null-sink sink_name=nullsink" --load="module-native-protocol-unix socket=$dir/native" \
  >"$dir/daemon.log" 2>&1 &
pid=$!
export HALVERY_PULSE_PID=$pid  # for a command that wants to see the sound server die
keeper=
cleanup() {
  [ -n "$keeper" ] && { kill "$keeper" 2>/dev/null || true; wait "$keeper" 2>/dev/null || true; }
  kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "private_pulse: the daemon did not start" >&2; cat "$dir/daemon.log" >&2; exit 1; }
pactl set-default-sink nullsink
# A null sink that nobody records from at low latency, or that has never played, starts new streams
# at about two thirds of real time for their first seconds. A low-latency listener and a first
# short sound make it keep real time from the first sample, as a sound card does.
parec --latency-msec=20 --device=nullsink.monitor --raw >/dev/null 2>&1 &
keeper=$!
sox -n -r 44100 -c 2 -b 16 -t wav - trim 0 0.2 2>/dev/null | paplay
status=0
"$@" || status=$?
exit $status
