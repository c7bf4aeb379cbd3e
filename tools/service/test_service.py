"""Tests of the reference service: the codes, the request reading, the answers, and the
HTTP side on a loopback port."""

import http.client
import os
import socket
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import service  # noqa: E402

VERSIONS = {"ProgramVer": 1700000000, "DataVer": 1700000100, "SoftDataVer": 1700000200}


def encode(text):
    """The program's body encoding of one line."""
    out = bytearray()
    for c in text:
        if c < 33 or c > 128 or c in b"#%*<>[]":
            out += b"%%%02X" % c
        else:
            out.append(c)
    return bytes(out)


def make_body(command, fields):
    values = [v for _, v in fields]
    code = service.request_code(command, values)
    lines = [(b"System", b"Vestrel"), (b"Command", command)] + fields + [(b"ValCode", code)]
    return b"&".join(encode(k + b"=" + v) for k, v in lines), code


def update_body(program, data, soft):
    return make_body(b"Update", [(b"ProgramVer", str(program).encode()),
                                 (b"DataVer", str(data).encode()),
                                 (b"SoftDataVer", str(soft).encode())])


def submit_body(name, email=b"", other=b"", version=b"1.0"):
    return make_body(b"SubmitSoft", [(b"SoftName", name), (b"SoftVer", version),
                                     (b"SoftType", b"System Tools"), (b"Os", b"VISTA"),
                                     (b"DownloadLink", b""), (b"Other", other),
                                     (b"Email", email)])


def result_of(lines):
    return int(lines[3].split(b"=", 1)[1])


class Codes(unittest.TestCase):
    def test_request_code_is_the_salted_digest_of_command_and_values(self):
        # KVR + Update + TOM + 123 + PAX, digested by hand with the same salt.
        import hashlib
        expected = hashlib.md5(b"KVRUpdateTOM123PAX").hexdigest()[:5].encode()
        self.assertEqual(service.request_code(b"Update", [b"1", b"2", b"3"]), expected)

    def test_reply_code_depends_on_result_and_request_code(self):
        a = service.reply_code(b"3", b"abcde")
        self.assertEqual(len(a), 5)
        self.assertNotEqual(a, service.reply_code(b"4", b"abcde"))
        self.assertNotEqual(a, service.reply_code(b"3", b"abcdf"))

    def test_codes_match_the_programs_fixed_examples(self):
        # The same pairs are pinned in the program's unit tests.
        self.assertEqual(service.request_code(b"Update", [b"1", b"2", b"3"]), b"99f40")
        self.assertEqual(service.reply_code(b"0", b"99f40"), b"386f9")


class ParseRequest(unittest.TestCase):
    def test_reads_the_fields_in_their_order(self):
        body, code = update_body(1, 2, 3)
        self.assertEqual(service.parse_request(body), (b"Update", [b"1", b"2", b"3"], code))

    def test_decodes_percent_escapes_and_keeps_plus(self):
        body, _ = submit_body(b"A b+c", other=b"line1\r\nline2 100%")
        command, values, _ = service.parse_request(body)
        self.assertEqual(values[0], b"A b+c")
        self.assertEqual(values[5], b"line1\r\nline2 100%")

    def test_ampersand_and_equals_inside_values_survive(self):
        body, code = submit_body(b"Tom & Jerry", other=b"a=b&c")
        command, values, got = service.parse_request(body)
        self.assertEqual(values[0], b"Tom & Jerry")
        self.assertEqual(values[5], b"a=b&c")
        self.assertEqual(got, code)

    def test_foreign_bodies_are_not_requests(self):
        for body in (b"", b"hello", b"System=Other&Command=Update", b"Command=Update"):
            self.assertIsNone(service.parse_request(body), body)

    def test_unknown_command_and_missing_fields_are_told_apart(self):
        self.assertEqual(service.parse_request(b"System=Vestrel&Command=Dance&X=1"),
                         (b"Dance", None, None))
        self.assertEqual(service.parse_request(b"System=Vestrel&Command=Update&ProgramVer=1"),
                         (b"Update", None, None))


class Answers(unittest.TestCase):
    def setUp(self):
        self.store = service.Store(":memory:")
        self.service = service.Service(dict(VERSIONS), self.store)

    def tearDown(self):
        self.store.close()

    def answer(self, body, address="127.0.0.1"):
        return self.service.answer(body, address)

    def test_update_result_sets_one_bit_per_newer_part(self):
        cases = [((1700000000, 1700000100, 1700000200), 0),
                 ((1699999999, 1700000100, 1700000200), 1),
                 ((1700000000, 1700000099, 1700000200), 2),
                 ((1700000000, 1700000100, 1700000199), 4),
                 ((1, 1, 1), 7),
                 ((1800000000, 1800000000, 1800000000), 0)]
        for sent, expected in cases:
            with self.subTest(sent=sent):
                body, code = update_body(*sent)
                lines = self.answer(body)
                self.assertEqual(lines[0], b"System=Vestrel")
                self.assertEqual(lines[1], b"Command=Update")
                self.assertEqual(result_of(lines), expected)
                self.assertEqual(lines[4],
                                 b"ValCode=" + service.reply_code(str(expected).encode(), code))

    def test_non_numeric_versions_are_malformed(self):
        body, _ = update_body("x", 1, 1)
        self.assertEqual(result_of(self.answer(body)), service.RESULT_MALFORMED)

    def test_a_wrong_request_code_is_refused_and_nothing_stored(self):
        body, code = submit_body(b"Thing")
        body = body.replace(b"ValCode=" + code, b"ValCode=zzzzz")
        self.assertEqual(result_of(self.answer(body)), service.RESULT_REFUSED_CODE)
        self.assertEqual(self.store.count(), 0)

    def test_maintenance_answers_minus_seven(self):
        self.service.maintenance = True
        for body, _ in (update_body(1, 1, 1), submit_body(b"Thing")):
            self.assertEqual(result_of(self.answer(body)), service.RESULT_MAINTENANCE)
        self.assertEqual(self.store.count(), 0)

    def test_unknown_command_answers_minus_two_with_that_command(self):
        lines = self.answer(b"System=Vestrel&Command=Dance&ValCode=x")
        self.assertEqual(lines[1], b"Command=Dance")
        self.assertEqual(result_of(lines), service.RESULT_UNKNOWN_COMMAND)

    def test_submissions_count_distinct_submitters_and_repeats_get_zero(self):
        steps = [(b"Editor", b"a@example.org", "10.0.0.1", 1),
                 (b"Editor", b"b@example.org", "10.0.0.1", 2),
                 (b"editor ", b"A@Example.org", "10.0.0.2", 0),  # same person, same software
                 (b"Editor", b"", "10.0.0.3", 3),                # no mail: known by address
                 (b"Editor", b"", "10.0.0.3", 0),
                 (b"Other Tool", b"a@example.org", "10.0.0.1", 1)]
        for name, email, address, expected in steps:
            with self.subTest(name=name, email=email, address=address):
                body, _ = submit_body(name, email=email)
                self.assertEqual(result_of(self.answer(body, address)), expected)
        self.assertEqual(self.store.count(), len(steps))  # every submission is kept

    def test_a_blank_name_is_malformed(self):
        body, _ = submit_body(b"   ")
        self.assertEqual(result_of(self.answer(body)), service.RESULT_MALFORMED)


class Scenarios(unittest.TestCase):
    def test_each_scenario_changes_the_reply_as_named(self):
        good = service.reply_lines(b"Update", 3, b"abcde")
        self.assertEqual(service.apply_scenario("wrong-system", good, b"Update", b"abcde")[0],
                         b"System=Other")
        self.assertEqual(service.apply_scenario("wrong-command", good, b"Update", b"abcde")[1],
                         b"Command=Other")
        self.assertTrue(service.apply_scenario("no-result", good, b"Update",
                                               b"abcde")[3].startswith(b"Status="))
        self.assertEqual(len(service.apply_scenario("three-lines", good, b"Update", b"abcde")), 3)
        self.assertEqual(len(service.apply_scenario("four-lines", good, b"Update", b"abcde")), 4)
        self.assertNotEqual(service.apply_scenario("wrong-code", good, b"Update", b"abcde")[4],
                            good[4])
        self.assertEqual(result_of(service.apply_scenario("maintenance", good, b"Update",
                                                          b"abcde")), -7)


class OverHttp(unittest.TestCase):
    """The service on a loopback port, as the program meets it."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.server, cls.service, _ = service.start(dict(VERSIONS),
                                                   os.path.join(cls.tmp.name, "s.sqlite"),
                                                   scenarios=True, delay=0.2, lifetime=60)
        cls.port = cls.server.server_address[1]

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.tmp.cleanup()

    def post(self, path, body, timeout=10):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            conn.request("POST", path, body,
                         {"Content-Type": "application/x-www-form-urlencoded"})
            response = conn.getresponse()
            return response.status, response.getheader("Location"), response.read()
        finally:
            conn.close()

    def test_binds_to_loopback_only(self):
        self.assertEqual(self.server.server_address[0], "127.0.0.1")

    def test_update_over_http(self):
        body, code = update_body(1, 1700000100, 1700000200)
        status, _, reply = self.post("/communicate.php", body)
        self.assertEqual(status, 200)
        lines = reply.split(b"\r\n")
        self.assertEqual(len(lines), 5)
        self.assertEqual(result_of(lines), 1)
        self.assertEqual(lines[4], b"ValCode=" + service.reply_code(b"1", code))

    def test_other_paths_and_foreign_bodies_are_refused(self):
        self.assertEqual(self.post("/other.php", b"x")[0], 404)
        self.assertEqual(self.post("/communicate.php", b"hello")[0], 400)
        self.assertEqual(self.post("/scenario/nonsense/communicate.php", b"x")[0], 404)

    def test_redirects_point_at_the_service(self):
        body, _ = update_body(1, 1, 1)
        self.assertEqual(self.post("/scenario/redirect/communicate.php", body)[:2],
                         (307, "/communicate.php"))
        self.assertEqual(self.post("/scenario/redirect-302/communicate.php", body)[:2],
                         (302, "/communicate.php"))

    def test_http_error_scenario_sends_500(self):
        body, _ = update_body(1, 1, 1)
        self.assertEqual(self.post("/scenario/http-error/communicate.php", body)[0], 500)

    def test_delay_scenario_answers_after_the_delay(self):
        body, _ = update_body(1, 1, 1)
        status, _, reply = self.post("/scenario/delay/communicate.php", body)
        self.assertEqual(status, 200)
        self.assertEqual(result_of(reply.split(b"\r\n")), 7)

    def test_never_scenario_keeps_silent(self):
        body, _ = update_body(1, 1, 1)
        with self.assertRaises(socket.timeout):
            self.post("/scenario/never/communicate.php", body, timeout=0.5)

    def counts(self):
        status, _, reply = self.post("/requests", b"")
        self.assertEqual(status, 200)
        return dict(line.split(b"=") for line in reply.split(b"\r\n") if line)

    def test_requests_are_counted_by_command_on_every_service_path(self):
        before = self.counts()
        self.assertIn(b"Update", before)
        self.assertIn(b"SubmitSoft", before)
        body, _ = update_body(1, 1, 1)
        self.post("/communicate.php", body)
        self.post("/scenario/maintenance/communicate.php", body)
        self.post("/scenario/redirect/communicate.php", body)
        self.post("/other.php", body)  # not the service: not counted
        self.post("/communicate.php", b"hello")
        after = self.counts()
        self.assertEqual(int(after[b"Update"]) - int(before[b"Update"]), 3)
        self.assertEqual(after[b"SubmitSoft"], before[b"SubmitSoft"])
        self.assertEqual(int(after[b"(foreign)"]) - int(before.get(b"(foreign)", b"0")), 1)

    def test_echo_shows_content_type_and_body(self):
        status, _, reply = self.post("/echo", b"a=b&c")
        self.assertEqual(status, 200)
        self.assertIn(b"ContentType=application/x-www-form-urlencoded", reply)
        self.assertIn(b"Body=a=b&c", reply)


class Lifetime(unittest.TestCase):
    def test_command_line_service_stops_by_itself(self):
        import json
        import subprocess
        with tempfile.TemporaryDirectory() as tmp:
            versions = os.path.join(tmp, "v.json")
            with open(versions, "w") as handle:
                json.dump(VERSIONS, handle)
            proc = subprocess.run(
                [sys.executable, os.path.join(os.path.dirname(service.__file__), "service.py"),
                 "--versions", versions, "--db", os.path.join(tmp, "s.sqlite"),
                 "--lifetime", "1"], capture_output=True, timeout=30)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            self.assertIn(b"listening on http://127.0.0.1:", proc.stdout)


if __name__ == "__main__":
    unittest.main()
