#!/usr/bin/env bash
# Builds and stages the player, then runs it for a person:
#
#   tools/run.sh                          on your display (DISPLAY set), until you close the player
#   tools/run.sh --xvfb                   on a private virtual screen, until the player ends
#   tools/run.sh --screenshot out.png     on a virtual screen (unless --display): waits until the main
#                                         window has been drawn, saves a PNG of the screen, closes the player
#   tools/run.sh [options] -- /veldrano   arguments after -- go to the player
#
# The program runs from the staged folder <build>/x86_64/Halvery (the 64-bit build; the 32-bit
# release cannot run on these machines), so its database and log stay there between runs.
# Build root: $HALVERY_BUILD, default <repo>/build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${HALVERY_BUILD:-$top/build}
build=$root/x86_64

mode=
screenshot=
while [ $# -gt 0 ]; do
  case $1 in
    --xvfb) mode=xvfb; shift ;;
    --display) mode=display; shift ;;
    --screenshot) [ $# -ge 2 ] || { echo "run: --screenshot needs a file name" >&2; exit 2; }
                  screenshot=$2; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "run: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
# A screenshot is taken on a virtual screen unless --display asks for yours; without a display
# there is only the virtual one.
[ -n "$mode" ] || { [ -n "$screenshot" ] && mode=xvfb || mode=display; }
[ -n "${DISPLAY:-}" ] || mode=xvfb
[ -z "$screenshot" ] || case $screenshot in /*) ;; *) screenshot=$PWD/$screenshot ;; esac

"$top/tools/setup.sh" >/dev/null
# Configured as tools/test.sh configures it, so that both commands share the build folder.
[ -f "$build/build.ninja" ] || cmake -G Ninja -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64.cmake" \
  -DHALVERY_NATIVE_BUILD="$root/native" >/dev/null
cmake --build "$build" --target stage >/dev/null
stage=$build/Halvery

source "$top/tools/lib/session.sh"
trap halvery_session_stop EXIT
halvery_session_start "$build" "$mode"

# Runs the player with the local stand-in of the music service listening on $HALVERY_SERVICE_ADDR
# (default 127.0.0.2, port 80); the staged Config.ini's [SERVICE] section is pointed at it, and the
# stand-in's request log goes to <build>/x86_64/standin.log.
service_addr=${HALVERY_SERVICE_ADDR:-127.0.0.2}
with_service() {
  echo "run: music service stand-in on http://$service_addr/ (log: $build/standin.log)"
  STANDIN_LOG=$build/standin.log "$top/tools/standin/with_standin.sh" "$service_addr" --config-dir "$stage" -- "$@"
}

cd "$stage"
if [ -z "$screenshot" ]; then
  with_service "$WINE64" ./Halvery.exe "$@"
  exit 0
fi

with_service "$WINE64" ./Halvery.exe "$@" &
player=$!
# The main window is drawn shortly after its X window (named after the title) appears.
for _ in $(seq 200); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Morvanel"' && break
  kill -0 $player 2>/dev/null || { echo "run: the player ended before its window appeared" >&2; exit 1; }
  sleep 0.1
done
sleep 2
import -window root "$screenshot"
echo "run: screenshot saved to $screenshot"
# taskkill without /f asks the player's windows to close (WM_CLOSE): the player ends in order.
"$WINE64" taskkill /im Halvery.exe >/dev/null 2>&1 || true
wait $player || true
