#!/usr/bin/env python3
"""Reference implementation of the vendor's web service, for tests and the demo.

Answers POST /communicate.php with the form exchange the program speaks:
  Update      compares the program and database versions it is sent with the newest ones
              from the versions file it was started with;
  SubmitSoft  stores every submission in SQLite and answers with the number of distinct
              submitters of that software, or 0 when this submitter sent it before.

It binds to 127.0.0.1 only. With --scenarios it also answers, under
/scenario/<name>/communicate.php, with each failure the program must survive (see SCENARIOS),
/echo shows what arrived, and /requests counts the requests of each command that reached the
service's paths (so a test can tell that nothing was sent). Python standard library only.
"""

import argparse
import hashlib
import http.server
import json
import sqlite3
import sys
import threading
import time
from datetime import datetime, timezone

SYSTEM_NAME = b"Vestrel"
SERVICE_PATH = "/communicate.php"
REQUEST_SALT = b"KVRTOMPAX"
REPLY_SALT = b"ZELNUWHIQ"

# Result numbers of the service (the program reads any positive one as success).
RESULT_UNKNOWN_COMMAND = -2
RESULT_REFUSED_CODE = -3
RESULT_MALFORMED = -5
RESULT_MAINTENANCE = -7

UPDATE_FIELDS = [b"ProgramVer", b"DataVer", b"SoftDataVer"]
SUBMIT_FIELDS = [b"SoftName", b"SoftVer", b"SoftType", b"Os", b"DownloadLink", b"Other",
                 b"Email"]
COMMAND_FIELDS = {b"Update": UPDATE_FIELDS, b"SubmitSoft": SUBMIT_FIELDS}
# Bits of a positive update result: what is newer than what the program has.
UPDATE_PROGRAM, UPDATE_DATA, UPDATE_SOFT_DATA = 1, 2, 4

SCENARIOS = {
    "maintenance": "answers -7 as in maintenance mode",
    "wrong-system": "first line System=Other",
    "wrong-command": "second line names another command",
    "refuse-command": "the service itself answers -2",
    "no-result": "fourth line has another key than Result",
    "not-a-number": "Result=many, correctly signed",
    "wrong-code": "fifth line carries a wrong validation code",
    "wrong-code-key": "fifth line has another key than ValCode",
    "three-lines": "only the first three lines",
    "four-lines": "four lines, no validation code",
    "extra-lines": "a correct reply followed by more lines",
    "lf-only": "a correct reply with bare line feeds",
    "empty": "an empty body",
    "http-error": "status 500 with a correct reply as body",
    "redirect": "307 to the service's own /communicate.php",
    "redirect-302": "302 to the service's own /communicate.php",
    "never": "reads the request and never answers",
    "delay": "answers correctly after --delay seconds",
    "huge": "a correct reply followed by two megabytes",
}


def md5_code(salt, first, second):
    text = salt[0:3] + first + salt[3:6] + second + salt[6:9]
    return hashlib.md5(text).hexdigest()[:5].encode("ascii")


def request_code(command, values):
    return md5_code(REQUEST_SALT, command, b"".join(values))


def reply_code(result_value, req_code):
    return md5_code(REPLY_SALT, result_value, req_code)


def percent_decode(data):
    """%XX to the byte; everything else (a "+" too) stays as it is."""
    out = bytearray()
    i = 0
    while i < len(data):
        c = data[i]
        if c == 0x25 and _is_hex(data[i + 1:i + 3]):
            out.append(int(data[i + 1:i + 3], 16))
            i += 3
        else:
            out.append(c)
            i += 1
    return bytes(out)


def _is_hex(pair):
    return len(pair) == 2 and all(b in b"0123456789abcdefABCDEF" for b in pair)


def parse_request(body):
    """The command and its values, or None when the body is not a request of ours.

    The program sends "&" and "=" inside values unchanged, so the body is read by the keys it
    must contain, in their order: a value runs up to the "&" that starts the next expected key.
    """
    raw = body.strip(bytes(range(33)))
    head = b"System=" + SYSTEM_NAME + b"&Command="
    if not raw.startswith(head):
        return None
    rest = raw[len(head):]
    command_end = rest.find(b"&")
    command = percent_decode(rest if command_end < 0 else rest[:command_end])
    fields = COMMAND_FIELDS.get(command)
    if fields is None:
        return command, None, None
    if command_end < 0:
        return command, None, None
    rest = rest[command_end + 1:]
    keys = fields + [b"ValCode"]
    values = []
    for index, key in enumerate(keys):
        if not rest.startswith(key + b"="):
            return command, None, None
        rest = rest[len(key) + 1:]
        if index + 1 < len(keys):
            end = rest.find(b"&" + keys[index + 1] + b"=")
            if end < 0:
                return command, None, None
            values.append(percent_decode(rest[:end]))
            rest = rest[end + 1:]
        else:
            values.append(percent_decode(rest))
    return command, values[:-1], values[-1]


def to_text(value):
    try:
        return value.decode("utf-8")
    except UnicodeDecodeError:
        return value.decode("cp1252", errors="replace")


def reply_lines(command, result, req_code, message=b"OK"):
    value = str(result).encode("ascii")
    return [b"System=" + SYSTEM_NAME, b"Command=" + command, b"Message=" + message,
            b"Result=" + value, b"ValCode=" + reply_code(value, req_code)]


class Store:
    """Every submission, and the distinct submitters per software."""

    def __init__(self, path):
        self._lock = threading.Lock()
        self._db = sqlite3.connect(path, check_same_thread=False)
        self._db.execute(
            "CREATE TABLE IF NOT EXISTS submissions ("
            " id INTEGER PRIMARY KEY, received TEXT NOT NULL, software TEXT NOT NULL,"
            " submitter TEXT NOT NULL, name TEXT, version TEXT, type TEXT, os TEXT,"
            " link TEXT, other TEXT, email TEXT, address TEXT, result INTEGER)")
        self._db.commit()

    def submit(self, values, address):
        name, version, soft_type, os_name, link, other, email = [to_text(v) for v in values]
        software = name.strip().casefold()
        submitter = ("mail:" + email.strip().casefold()) if email.strip() else ("addr:" + address)
        with self._lock:
            seen = self._db.execute(
                "SELECT 1 FROM submissions WHERE software=? AND submitter=? LIMIT 1",
                (software, submitter)).fetchone()
            if seen:
                result = 0
            else:
                count = self._db.execute(
                    "SELECT COUNT(DISTINCT submitter) FROM submissions WHERE software=?",
                    (software,)).fetchone()[0]
                result = count + 1
            self._db.execute(
                "INSERT INTO submissions (received, software, submitter, name, version, type,"
                " os, link, other, email, address, result) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                (datetime.now(timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ"), software, submitter,
                 name, version, soft_type, os_name, link, other, email, address, result))
            self._db.commit()
        return result

    def count(self):
        with self._lock:
            return self._db.execute("SELECT COUNT(*) FROM submissions").fetchone()[0]

    def close(self):
        with self._lock:
            self._db.close()


class Service:
    def __init__(self, versions, store, maintenance=False, scenarios=False, delay=5.0):
        self.versions = versions
        self.store = store
        self.maintenance = maintenance
        self.scenarios = scenarios
        self.delay = delay
        self.counts_lock = threading.Lock()
        self.counts = {}

    def count_request(self, body):
        parsed = parse_request(body)
        command = parsed[0] if parsed else b"(foreign)"
        with self.counts_lock:
            self.counts[command] = self.counts.get(command, 0) + 1

    def request_counts(self):
        """Key=count lines; Update and SubmitSoft always, other commands when seen."""
        with self.counts_lock:
            counts = dict(self.counts)
        lines = [b"%s=%d" % (name, counts.pop(name, 0)) for name in (b"Update", b"SubmitSoft")]
        lines += [b"%s=%d" % (name, counts[name]) for name in sorted(counts)]
        return b"\r\n".join(lines) + b"\r\n"

    def update_result(self, values):
        try:
            sent = [int(v) for v in values]
        except ValueError:
            return RESULT_MALFORMED
        result = 0
        for key, bit, have in zip(("ProgramVer", "DataVer", "SoftDataVer"),
                                  (UPDATE_PROGRAM, UPDATE_DATA, UPDATE_SOFT_DATA), sent):
            newest = self.versions.get(key)
            if newest is not None and int(newest) > have:
                result |= bit
        return result

    def answer(self, body, address):
        """The reply lines for one request body, or None for a body that is not ours."""
        parsed = parse_request(body)
        if parsed is None:
            return None
        command, values, code = parsed
        if values is None:
            if command not in COMMAND_FIELDS:
                return reply_lines(command, RESULT_UNKNOWN_COMMAND, b"", b"Unknown command")
            return reply_lines(command, RESULT_MALFORMED, b"", b"Malformed request")
        if code != request_code(command, values):
            return reply_lines(command, RESULT_REFUSED_CODE, code, b"Invalid validation code")
        if self.maintenance:
            return reply_lines(command, RESULT_MAINTENANCE, code, b"Maintenance")
        if command == b"Update":
            return reply_lines(command, self.update_result(values), code)
        if not values[0].strip(bytes(range(33))):
            return reply_lines(command, RESULT_MALFORMED, code, b"No software name")
        return reply_lines(command, self.store.submit(values, address), code)

    @staticmethod
    def request_code_of(body):
        parsed = parse_request(body)
        return parsed[2] if parsed and parsed[2] is not None else b""


def apply_scenario(name, lines, command, req_code):
    """A deliberately faulty reply made from the correct one."""
    lines = list(lines)
    if name == "maintenance":
        return reply_lines(command, RESULT_MAINTENANCE, req_code, b"Maintenance")
    if name == "refuse-command":
        return reply_lines(command, RESULT_UNKNOWN_COMMAND, req_code, b"Unknown command")
    if name == "wrong-system":
        lines[0] = b"System=Other"
    elif name == "wrong-command":
        lines[1] = b"Command=Other"
    elif name == "no-result":
        lines[3] = b"Status=" + lines[3].split(b"=", 1)[1]
    elif name == "not-a-number":
        lines[3] = b"Result=many"
        lines[4] = b"ValCode=" + reply_code(b"many", req_code)
    elif name == "wrong-code":
        lines[4] = b"ValCode=00000" if lines[4] != b"ValCode=00000" else b"ValCode=11111"
    elif name == "wrong-code-key":
        lines[4] = b"Code=" + lines[4].split(b"=", 1)[1]
    elif name == "three-lines":
        lines = lines[:3]
    elif name == "four-lines":
        lines = lines[:4]
    elif name == "extra-lines":
        lines = lines + [b"Note=ignored", b"ValCode=00000"]
    elif name == "empty":
        lines = []
    elif name == "huge":
        lines = lines + [b"Padding=" + b"x" * (2 * 1024 * 1024)]
    return lines


def make_handler(service, lifetime_deadline):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        server_version = "SorvaneReferenceService/1"

        def log_message(self, fmt, *args):  # quiet unless asked
            if service.verbose:
                sys.stderr.write("service: " + (fmt % args) + "\n")

        def _read_body(self):
            try:
                length = int(self.headers.get("Content-Length", "0"))
            except ValueError:
                length = 0
            return self.rfile.read(max(0, min(length, 1 << 20)))

        def _send(self, status, payload, extra_headers=()):
            self.send_response(status)
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Content-Length", str(len(payload)))
            for key, value in extra_headers:
                self.send_header(key, value)
            self.end_headers()
            self.wfile.write(payload)

        def do_GET(self):
            self._send(405, b"POST only\r\n", [("Allow", "POST")])

        def do_POST(self):
            body = self._read_body()
            path = self.path
            if path == "/echo" and service.scenarios:
                text = (b"Method=POST\r\nContentType=" +
                        self.headers.get("Content-Type", "").encode("latin-1") +
                        b"\r\nBody=" + body + b"\r\n")
                self._send(200, text)
                return
            if path == "/requests" and service.scenarios:
                self._send(200, service.request_counts())
                return
            scenario = None
            if path.startswith("/scenario/") and service.scenarios:
                parts = path.split("/")
                if len(parts) == 4 and parts[3] == SERVICE_PATH[1:] and parts[2] in SCENARIOS:
                    scenario = parts[2]
                    path = SERVICE_PATH
            if path != SERVICE_PATH:
                self._send(404, b"Not found\r\n")
                return
            service.count_request(body)
            if scenario in ("redirect", "redirect-302"):
                status = 307 if scenario == "redirect" else 302
                self._send(status, b"Moved\r\n", [("Location", SERVICE_PATH)])
                return
            if scenario == "never":
                # Hold the connection without a word until the service ends.
                while time.monotonic() < lifetime_deadline():
                    time.sleep(0.2)
                self.close_connection = True
                return
            if scenario == "delay":
                time.sleep(service.delay)
            lines = service.answer(body, self.client_address[0])
            if lines is None:
                self._send(400, b"Not a request of this service\r\n")
                return
            if scenario:
                parsed = parse_request(body)
                lines = apply_scenario(scenario, lines, parsed[0], Service.request_code_of(body))
            payload = b"\r\n".join(lines)
            if scenario == "lf-only":
                payload = b"\n".join(lines)
            self._send(500 if scenario == "http-error" else 200, payload)

    return Handler


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True  # a held connection never keeps the process alive
    allow_reuse_address = False


def load_versions(path):
    with open(path, "r", encoding="utf-8") as handle:
        data = json.load(handle)
    versions = {}
    for key in ("ProgramVer", "DataVer", "SoftDataVer"):
        if key in data:
            versions[key] = int(data[key])
    return versions


def start(versions, db_path, port=0, maintenance=False, scenarios=False, delay=5.0,
          lifetime=None, verbose=False):
    """Starts the service on 127.0.0.1 in a thread; returns (server, service, thread)."""
    store = Store(db_path)
    service = Service(versions, store, maintenance, scenarios, delay)
    service.verbose = verbose
    deadline = [float("inf") if lifetime is None else time.monotonic() + lifetime]
    server = Server(("127.0.0.1", port), make_handler(service, lambda: deadline[0]))
    server.service = service
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                              daemon=True)
    thread.start()

    def stop():
        deadline[0] = 0.0
        server.shutdown()
        server.server_close()
        store.close()

    server.stop = stop
    if lifetime is not None:
        timer = threading.Timer(lifetime, lambda: deadline.__setitem__(0, 0.0))
        timer.daemon = True
        timer.start()
    return server, service, thread


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--versions", required=True,
                        help="JSON file with the newest ProgramVer, DataVer and SoftDataVer")
    parser.add_argument("--db", required=True, help="SQLite file for the submissions")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free)")
    parser.add_argument("--maintenance", action="store_true", help="answer -7 to everything")
    parser.add_argument("--scenarios", action="store_true",
                        help="serve /scenario/<name>/communicate.php and /echo for tests")
    parser.add_argument("--delay", type=float, default=5.0,
                        help="seconds the 'delay' scenario waits")
    parser.add_argument("--lifetime", type=float, default=None,
                        help="stop by itself after this many seconds")
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    args = parser.parse_args(argv)

    server, _, thread = start(load_versions(args.versions), args.db, args.port, args.maintenance,
                              args.scenarios, args.delay, args.lifetime, args.verbose)
    port = server.server_address[1]
    print("listening on http://127.0.0.1:%d%s" % (port, SERVICE_PATH), flush=True)
    end = None if args.lifetime is None else time.monotonic() + args.lifetime
    try:
        while thread.is_alive() and (end is None or time.monotonic() < end):
            time.sleep(0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
