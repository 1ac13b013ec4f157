# Sourced by the test and run commands: the Wine prefix, X display, audio sink and wineserver
# that Windows programs need on these machines.
#   halvery_session_start <build-dir> [xvfb|display]
#   halvery_session_stop

WINE64=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/wine64-zh
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

halvery_session_start() {
  local build=$1 display_mode=${2:-xvfb}
  export WINEPREFIX=$build/wineprefix
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine takes its ANSI code page from LANG: 936 (GBK), as on a Chinese Windows.
  export LANG=zh_CN.UTF-8

  if [ ! -f "$WINEPREFIX/.halvery-ready" ]; then
    echo "session: creating Wine prefix $WINEPREFIX (once per build folder)"
    rm -rf "$WINEPREFIX"
    DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
    DISPLAY= "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.halvery-ready"
  fi

  HALVERY_XVFB_PID=
  if [ "$display_mode" = xvfb ] || [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 140); do
      [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
      Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      HALVERY_XVFB_PID=$!
      local i
      for i in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
      if kill -0 $HALVERY_XVFB_PID 2>/dev/null; then export DISPLAY=:$n; break; fi
      HALVERY_XVFB_PID=
    done
    [ -n "$HALVERY_XVFB_PID" ] || { echo "session: could not start Xvfb" >&2; return 1; }
  fi

  # One PulseAudio daemon with a null sink serves every session of this user; waveOut plays into it
  # at real-time pace and its monitor can be recorded.
  HALVERY_PULSE_PID=
  if ! pactl info >/dev/null 2>&1; then
    pulseaudio --daemonize=no --exit-idle-time=-1 -n \
      --load="module-null-sink sink_name=nullsink" --load=module-native-protocol-unix \
      >/dev/null 2>&1 &
    HALVERY_PULSE_PID=$!
    local i
    for i in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  pactl set-default-sink nullsink >/dev/null 2>&1 || true

  # A wineserver kept alive for the whole session makes each program start in a tenth of a second.
  "$WINESERVER" -p
  "$WINE64" cmd /c exit 0 >/dev/null 2>&1 || true
}

halvery_session_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${HALVERY_XVFB_PID:-}" ] && kill "$HALVERY_XVFB_PID" 2>/dev/null
  [ -n "${HALVERY_PULSE_PID:-}" ] && kill "$HALVERY_PULSE_PID" 2>/dev/null
  return 0
}
