#!/usr/bin/env python3
"""The scan and the detail view on the demo machine, under Wine.

Makes a fresh prefix (the seed changes the machine, so never the build's shared one), seeds it
with sv-seed.exe, lets sv-seed.exe check what it made, and runs sorvane-cli.exe scan and detail
there; their JSON output is compared with the expectations that sv-seed.exe wrote.

    seeded_scan.py --bin BUILD/bin --prefix BUILD/seeded-prefix --wine-run scripts/wine-run
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import seed_expectations as se  # noqa: E402

EXPECTED_FILE = "C:\\sv-seed-expected.json"
TIMEOUT = 240


def wineserver():
    found = shutil.which("wineserver")
    return found or "/usr/lib/wine/wineserver"


def stop_wine(prefix):
    """Ends the prefix's wine server (and with it the processes it runs), if there is one."""
    if os.path.isdir(prefix):
        env = dict(os.environ, WINEPREFIX=prefix)
        subprocess.run([wineserver(), "-k"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)


class Runner:
    def __init__(self, args, scratch):
        self.args = args
        self.scratch = scratch
        self.count = 0

    def run(self, program, *arguments):
        """Runs a program of the bin folder in the prefix; its output goes to files, not pipes,
        so the call does not wait for the wine server."""
        self.count += 1
        out_path = os.path.join(self.scratch, "out%d.txt" % self.count)
        err_path = os.path.join(self.scratch, "err%d.txt" % self.count)
        command = [self.args.wine_run, "--prefix", self.args.prefix, "--drive", self.args.bin,
                   os.path.join(self.args.bin, program)] + list(arguments)
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            code = subprocess.run(command, cwd=self.args.bin, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=err, timeout=TIMEOUT, check=False).returncode
        with open(out_path, "rb") as out, open(err_path, "rb") as err:
            text = out.read().decode("utf-8", "replace")
            errors = err.read().decode("utf-8", "replace")
        # Wine's own notes on stderr are not the program's.
        errors = "\n".join(line for line in errors.splitlines() if not line.startswith("wine: "))
        return code, text, errors


def check_links(prefix, details):
    problems = []
    for detail in details:
        for row in detail["files"]:
            if row["type"] != "Shortcut" or not row["path"].lower().endswith(".lnk"):
                continue
            path = se.linux_path(prefix, row["path"])
            try:
                with open(path, "rb") as link:
                    if not se.is_shell_link(link.read(20)):
                        problems.append("%s is not a shell link" % row["path"])
            except OSError as error:
                problems.append("%s cannot be read: %s" % (row["path"], error))
    return problems


def parse(what, code, text, errors):
    if code != 0:
        raise RuntimeError("%s failed with exit code %d: %s" % (what, code, errors.strip()))
    try:
        return json.loads(text)
    except ValueError as error:
        raise RuntimeError("%s gave no JSON (%s): %r" % (what, error, text[:300]))


def parse_arguments(description):
    """--bin, --prefix and --wine-run, as absolute paths (Wine wants them so)."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--bin", required=True, help="the win64 build's bin folder")
    parser.add_argument("--prefix", required=True, help="the prefix to make afresh")
    parser.add_argument("--wine-run", required=True, help="scripts/wine-run")
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)
    args.prefix = os.path.abspath(args.prefix)
    args.wine_run = os.path.abspath(args.wine_run)
    return args


def main():
    args = parse_arguments(__doc__.splitlines()[0])

    # A fresh prefix each run: what an earlier run seeded (or a removal deleted) must not count.
    stop_wine(args.prefix)
    shutil.rmtree(args.prefix, ignore_errors=True)
    problems = []
    with tempfile.TemporaryDirectory(prefix="sv-seeded-") as scratch:
        runner = Runner(args, scratch)
        try:
            code, text, errors = runner.run("sv-seed.exe", "--expected", EXPECTED_FILE)
            if code != 0:
                print("sv-seed.exe failed (%d):\n%s%s" % (code, text, errors))
                return 1
            print(text.strip())
            code, text, errors = runner.run("sv-seed.exe", "--check")
            if code != 0:
                problems.append("sv-seed.exe --check failed: %s" % errors.strip())
            with open(se.linux_path(args.prefix, EXPECTED_FILE), encoding="utf-8") as source:
                expected = json.load(source)
            problems += check_links(args.prefix, expected["details"])

            scan = parse("scan", *runner.run("sorvane-cli.exe", "scan", "--json"))
            problems += se.compare_scan(expected["scan"], scan)
            hidden = parse("scan --hide-unsupported",
                           *runner.run("sorvane-cli.exe", "scan", "--json", "--hide-unsupported"))
            problems += se.compare_scan(expected["scan"], hidden, hide_unsupported=True)
            for detail in expected["details"]:
                actual = parse("detail %s" % detail["name"],
                               *runner.run("sorvane-cli.exe", "detail", detail["name"], "--json"))
                problems += se.compare_detail(detail, actual)
        except (RuntimeError, OSError, subprocess.TimeoutExpired) as error:
            problems.append(str(error))
        finally:
            stop_wine(args.prefix)

    for problem in problems:
        print("PROBLEM: " + problem)
    if problems:
        print("%d problems on the seeded demo machine" % len(problems))
        return 1
    print("the scan and %d detail views match the seeded demo machine" % len(expected["details"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
