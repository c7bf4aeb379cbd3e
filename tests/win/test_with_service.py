"""The harness of the Wine tests: the service is there while the command runs and gone after,
on every path, and a command that hangs is ended."""

import os
import socket
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
HARNESS = os.path.join(HERE, "with_service.py")
VERSIONS = os.path.join(HERE, "online_versions.json")


def run(command, timeout):
    return subprocess.run([sys.executable, HARNESS, "--versions", VERSIONS, "--timeout",
                           str(timeout), "--"] + command, capture_output=True, timeout=60)


def port_open(port):
    with socket.socket() as probe:
        probe.settimeout(2)
        return probe.connect_ex(("127.0.0.1", port)) == 0


class WithService(unittest.TestCase):
    def test_the_command_sees_a_running_service_and_its_status_is_kept(self):
        script = ("import os,socket,sys;"
                  "port=int(os.environ['SV_TEST_SERVICE_URL'].rsplit(':',1)[1]);"
                  "print(port);"
                  "s=socket.create_connection(('127.0.0.1',port),5);s.close();"
                  "closed=int(os.environ['SV_TEST_CLOSED_PORT']);"
                  "print(socket.socket().connect_ex(('127.0.0.1',closed)) != 0);"
                  "sys.exit(3)")
        result = run([sys.executable, "-c", script], 30)
        self.assertEqual(result.returncode, 3, result.stderr)
        port_text, closed_refused = result.stdout.decode().split()
        self.assertEqual(closed_refused, "True")
        self.assertFalse(port_open(int(port_text)), "the service outlived the command")

    def test_a_command_that_hangs_is_ended_and_the_service_stopped(self):
        script = ("import os,time;"
                  "print(os.environ['SV_TEST_SERVICE_URL'].rsplit(':',1)[1],flush=True);"
                  "time.sleep(100)")
        result = run([sys.executable, "-c", script], 2)
        self.assertEqual(result.returncode, 124)
        self.assertFalse(port_open(int(result.stdout.decode().split()[0])))


if __name__ == "__main__":
    unittest.main()
