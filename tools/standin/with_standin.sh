#!/usr/bin/env bash
# Runs a command with the local stand-in of the music service listening on a loopback address.
#
#   with_standin.sh <addr> [--config-dir DIR] [--port N] [standin options...] -- <command> [args...]
#
# Starts tools/standin/standin.py on <addr> (port 80 unless --port), waits until it answers, runs the
# command with STANDIN_ADDR, STANDIN_HOST and STANDIN_URL ("http://<host>/") in its environment,
# stops the server and exits with the command's exit code. --config-dir DIR first points DIR/Config.ini
# at the stand-in ([SERVICE] section; other sections kept). The request log goes to
# $STANDIN_LOG, or standin-<addr>.log in the current folder.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

[ $# -ge 3 ] || { echo "usage: $0 <addr> [--config-dir DIR] [standin options] -- <command...>" >&2; exit 2; }
addr=$1; shift
port=80
config_dir=
opts=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case $1 in
    --config-dir) config_dir=$2; shift 2 ;;
    --port) port=$2; opts+=(--port "$2"); shift 2 ;;
    *) opts+=("$1"); shift ;;
  esac
done
[ "${1:-}" = "--" ] || { echo "with_standin: missing -- before the command" >&2; exit 2; }
shift
[ $# -gt 0 ] || { echo "with_standin: no command" >&2; exit 2; }

host=$addr
[ "$port" = 80 ] || host=$addr:$port
log=${STANDIN_LOG:-$PWD/standin-$addr.log}

if [ -n "$config_dir" ]; then
  python3 "$here/standin.py" --addr "$addr" --port "$port" --write-config-ini "$config_dir" || exit 2
fi

# Another server already answering here would make the test talk to the wrong service.
if (exec 3<>"/dev/tcp/$addr/$port") 2>/dev/null; then
  echo "with_standin: something already listens on $addr:$port" >&2
  exit 2
fi

python3 "$here/standin.py" --addr "$addr" "${opts[@]}" --log "$log" &
server=$!
command_pid=
stop() {
  [ -n "$command_pid" ] && kill "$command_pid" 2>/dev/null
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
}
trap stop EXIT
# Stopped from outside (a CTest time limit): stop the server too, so the address is free again.
trap 'exit 143' TERM INT

ready=0
for _ in $(seq 300); do   # up to 30 s: the first start of a machine makes the large songs
  if ! kill -0 "$server" 2>/dev/null; then
    echo "with_standin: the stand-in did not start (see $log)" >&2
    exit 2
  fi
  if (exec 3<>"/dev/tcp/$addr/$port") 2>/dev/null; then ready=1; break; fi
  sleep 0.1
done
[ $ready = 1 ] || { echo "with_standin: the stand-in does not answer on $addr:$port" >&2; exit 2; }

# In the background, so that a signal to this script is handled at once rather than after the command.
STANDIN_ADDR=$addr STANDIN_HOST=$host STANDIN_URL="http://$host/" "$@" &
command_pid=$!
wait "$command_pid"
rc=$?
command_pid=
exit $rc
