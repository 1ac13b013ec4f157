#!/usr/bin/env python3
"""A server that never accepts, with its accept queue filled: a connect to it blocks.

    full_backlog_server.py <addr> -- <command> [args...]

Listens on <addr>:80 without ever accepting, fills the queue with connections of its own so that
the kernel drops further connection requests (the client keeps retrying, as towards a host that
does not answer), runs the command with BLOCKED_URL set to a song URL on that address, and returns
the command's exit code."""
import os
import socket
import subprocess
import sys


def main():
    if len(sys.argv) < 4 or sys.argv[2] != "--":
        print(__doc__)
        return 2
    addr = sys.argv[1]
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((addr, 80))
    server.listen(0)
    fillers = []
    for _ in range(4):  # a backlog of 0 still queues one or two
        c = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        c.setblocking(False)
        try:
            c.connect((addr, 80))
        except BlockingIOError:
            pass
        fillers.append(c)
    env = dict(os.environ, BLOCKED_URL="http://%s/music/tone5s.mp3" % addr)
    try:
        return subprocess.call(sys.argv[3:], env=env)
    finally:
        for c in fillers:
            c.close()
        server.close()


if __name__ == "__main__":
    sys.exit(main())
