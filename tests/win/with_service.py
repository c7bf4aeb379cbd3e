#!/usr/bin/env python3
"""Runs a command with the reference web service on a free loopback port.

  with_service.py --versions FILE [--timeout SECONDS] [--delay SECONDS] -- COMMAND...

The command finds the service in SV_TEST_SERVICE_URL and a port on which nothing listens in
SV_TEST_CLOSED_PORT. The service is started with a bounded lifetime and stopped on every path;
the command is killed when it runs past the time-out. Exits with the command's status.
"""

import argparse
import os
import select
import signal
import socket
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "..", "..", "tools", "service", "service.py")


def closed_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def stop(process):
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=5)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--versions", required=True)
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("--delay", type=float, default=2)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")

    with tempfile.TemporaryDirectory(prefix="sv-service-") as tmp:
        service = subprocess.Popen(
            [sys.executable, SERVICE, "--versions", args.versions,
             "--db", os.path.join(tmp, "submissions.sqlite"), "--port", "0", "--scenarios",
             "--delay", str(args.delay), "--lifetime", str(args.timeout + 30)],
            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
        try:
            ready, _, _ = select.select([service.stdout], [], [], 30)
            line = service.stdout.readline().decode() if ready else ""
            if "http://127.0.0.1:" not in line:
                print("with_service: the service did not start", file=sys.stderr)
                return 2
            url = line.strip().split(" ")[-1]
            base = url[:-len("/communicate.php")] if url.endswith("/communicate.php") else url
            env = dict(os.environ, SV_TEST_SERVICE_URL=base,
                       SV_TEST_CLOSED_PORT=str(closed_port()))
            runner = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                      start_new_session=True)
            try:
                return runner.wait(timeout=args.timeout)
            except subprocess.TimeoutExpired:
                print("with_service: the command ran past %ss" % args.timeout, file=sys.stderr)
                os.killpg(runner.pid, signal.SIGKILL)
                runner.wait(timeout=10)
                return 124
        finally:
            stop(service)


if __name__ == "__main__":
    sys.exit(main())
