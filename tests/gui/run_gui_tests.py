#!/usr/bin/env python3
"""The GUI tests under Wine on a virtual display of their own.

    run_gui_tests.py driver --bin BUILD/bin --prefix BUILD/gui-driver-prefix --wine-run scripts/wine-run
    run_gui_tests.py smoke  --bin BUILD/bin --prefix BUILD/gui-prefix --wine-run scripts/wine-run \
                            --database data/sample-database.json --shots BUILD/gui-screenshots
    run_gui_tests.py online --bin BUILD/bin --prefix BUILD/gui-online-prefix \
                            --wine-run scripts/wine-run --versions tests/win/online_versions.json

Both start Xvfb on a free display and make the prefix afresh. "driver" runs the driver's own
tests on the fixture window. "smoke" seeds the prefix as the demo machine (sv-seed.exe), puts
Sorvane.exe with the sample database into C:\\Sorvane, runs sv_gui_tests.exe there (the removal
last, in a run of its own, since it changes the machine), and converts the screenshots to PNG in
the --shots folder. "online" puts Sorvane.exe with the sample database into C:\\Sorvane and runs
the online scenarios against the reference web service, started here on a free loopback port.
Xvfb, the service and the prefix's wine server are stopped on every path.
"""

import argparse
import glob
import os
import select
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "win"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "service"))
import seed_expectations as se  # noqa: E402
import seeded_scan as ss  # noqa: E402
import service as reference_service  # noqa: E402
import with_service  # noqa: E402

EXPECTED_FILE = "C:\\sv-seed-expected.json"
DATABASE_FILE = "C:\\sv-database.json"
APP_FOLDER = "C:\\Sorvane"
SHOTS_FOLDER = "C:\\sv-shots"
APP_FILES = ["Sorvane.exe", "SV.dat", "soft.dat"]
RUN_TIMEOUT = 900


class VirtualDisplay:
    """Xvfb on the first free display, which it picks itself (-displayfd)."""

    def __init__(self, scratch):
        self.process = None
        self.log = open(os.path.join(scratch, "xvfb.txt"), "wb")
        self.display = None

    def __enter__(self):
        xvfb = shutil.which("Xvfb")
        if xvfb is None:
            raise RuntimeError("Xvfb is not installed; run scripts/setup")
        read_end, write_end = os.pipe()
        try:
            self.process = subprocess.Popen(
                [xvfb, "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                 "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
            os.close(write_end)
            write_end = None
            number = b""
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], 30)
                if not ready:
                    raise RuntimeError("Xvfb gave no display number within 30 s")
                chunk = os.read(read_end, 32)
                if not chunk:
                    raise RuntimeError("Xvfb ended before it gave a display number")
                number += chunk
        finally:
            if write_end is not None:
                os.close(write_end)
            os.close(read_end)
        self.display = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.log.close()
        return False


def run_logged(args, scratch, name, program, arguments):
    """Runs a program of the bin folder in the prefix, output to a file (a pipe would wait for
    the wine server), then shows the output. Answers the exit code."""
    log_path = os.path.join(scratch, name + ".txt")
    command = [args.wine_run, "--prefix", args.prefix, "--drive", args.bin,
               os.path.join(args.bin, program)] + arguments
    with open(log_path, "wb") as log:
        try:
            code = subprocess.run(command, cwd=args.bin, stdin=subprocess.DEVNULL, stdout=log,
                                  stderr=log, timeout=RUN_TIMEOUT, check=False).returncode
        except subprocess.TimeoutExpired:
            code = None
    with open(log_path, "rb") as log:
        text = log.read().decode("utf-8", "replace")
    print("---- %s %s" % (program, " ".join(arguments)))
    # Wine's notes are not the program's, but a crash report is worth showing.
    print("\n".join(line for line in text.splitlines()
                    if not line.startswith("wine: ") or "nhandled" in line))
    if code is None:
        print("%s did not end within %d s" % (program, RUN_TIMEOUT))
        return 1
    if code != 0:
        print("%s ended with exit code %d (0x%08x)" % (program, code, code & 0xFFFFFFFF))
    return code


def convert_screenshots(prefix, shots):
    """BMPs the tests wrote in the prefix -> PNGs in `shots`; answers the PNG paths."""
    os.makedirs(shots, exist_ok=True)
    for old in glob.glob(os.path.join(shots, "*.png")):
        os.remove(old)
    made = []
    for bmp in sorted(glob.glob(os.path.join(se.linux_path(prefix, SHOTS_FOLDER), "*.bmp"))):
        png = os.path.join(shots, os.path.splitext(os.path.basename(bmp))[0] + ".png")
        result = subprocess.run(["convert", bmp, png], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120,
                                check=False)
        if result.returncode != 0:
            print("convert %s failed: %s" % (bmp, result.stdout.decode("utf-8", "replace")))
        else:
            made.append(png)
    return made


def driver(args, scratch):
    return run_logged(args, scratch, "driver", "sv_gui_driver_tests.exe", args.rest)


def smoke(args, scratch):
    runner = ss.Runner(args, scratch)
    code, text, errors = runner.run("sv-seed.exe", "--expected", EXPECTED_FILE)
    if code != 0:
        print("sv-seed.exe failed (%d):\n%s%s" % (code, text, errors))
        return 1
    print(text.strip())
    app = se.linux_path(args.prefix, APP_FOLDER)
    os.makedirs(app, exist_ok=True)
    for name in APP_FILES:
        shutil.copy2(os.path.join(args.bin, name), os.path.join(app, name))
    # The database's source says which programs and stamp the window must show.
    shutil.copy2(args.database, se.linux_path(args.prefix, DATABASE_FILE))
    shots = se.linux_path(args.prefix, SHOTS_FOLDER)
    os.makedirs(shots, exist_ok=True)
    common = ["--app=" + APP_FOLDER + "\\Sorvane.exe", "--expected=" + EXPECTED_FILE,
              "--database=" + DATABASE_FILE, "--shots=" + SHOTS_FOLDER]
    # The removal changes the machine the other scenarios expect, so it runs last, alone.
    first = run_logged(args, scratch, "scenarios", "sv_gui_tests.exe",
                       common + ["--gtest_filter=-*Removal*:*Online*"] + args.rest)
    second = run_logged(args, scratch, "removal", "sv_gui_tests.exe",
                        common + ["--gtest_filter=*Removal*"] + args.rest)
    made = convert_screenshots(args.prefix, args.shots)
    print("screenshots: %s" % (", ".join(made) if made else "none"))
    return 0 if first == 0 and second == 0 else 1


def online(args, scratch):
    # The prefix is made on first use, and a half-made one is made again: make it before the
    # program is put into it.
    subprocess.run([args.wine_run, "--prefix", args.prefix, "--drive", args.bin, "cmd", "/c",
                    "exit"], cwd=args.bin, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=RUN_TIMEOUT, check=True)
    app = se.linux_path(args.prefix, APP_FOLDER)
    os.makedirs(app, exist_ok=True)
    for name in APP_FILES:
        shutil.copy2(os.path.join(args.bin, name), os.path.join(app, name))
    server, _, _ = reference_service.start(
        reference_service.load_versions(args.versions), os.path.join(scratch, "service.sqlite"),
        scenarios=True, lifetime=RUN_TIMEOUT + 60)
    try:
        os.environ["SV_TEST_SERVICE_URL"] = "http://127.0.0.1:%d" % server.server_address[1]
        os.environ["SV_TEST_CLOSED_PORT"] = str(with_service.closed_port())
        print("reference service on %s" % os.environ["SV_TEST_SERVICE_URL"])
        return run_logged(args, scratch, "online", "sv_gui_tests.exe",
                          ["--app=" + APP_FOLDER + "\\Sorvane.exe", "--gtest_filter=*Online*"] +
                          args.rest)
    finally:
        server.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("mode", choices=["driver", "smoke", "online"])
    parser.add_argument("--bin", required=True, help="the win64 build's bin folder")
    parser.add_argument("--prefix", required=True, help="the prefix to make afresh")
    parser.add_argument("--wine-run", required=True, help="scripts/wine-run")
    parser.add_argument("--shots", help="folder for the PNG screenshots (smoke)")
    parser.add_argument("--database", help="data/sample-database.json (smoke)")
    parser.add_argument("--versions", help="the newest versions the service knows (online)")
    # Anything else (--gtest_filter=..., say) goes to the test program.
    args, args.rest = parser.parse_known_args()
    args.bin = os.path.abspath(args.bin)
    args.prefix = os.path.abspath(args.prefix)
    args.wine_run = os.path.abspath(args.wine_run)
    if args.mode == "smoke":
        if not args.shots or not args.database:
            parser.error("smoke needs --shots and --database")
        args.shots = os.path.abspath(args.shots)
        args.database = os.path.abspath(args.database)
    if args.mode == "online":
        if not args.versions:
            parser.error("online needs --versions")
        args.versions = os.path.abspath(args.versions)

    with tempfile.TemporaryDirectory(prefix="sv-gui-") as scratch:
        with VirtualDisplay(scratch) as display:
            os.environ["DISPLAY"] = display.display
            print("virtual display %s" % display.display)
            ss.stop_wine(args.prefix)
            shutil.rmtree(args.prefix, ignore_errors=True)
            try:
                code = {"driver": driver, "smoke": smoke, "online": online}[args.mode](args, scratch)
            except (RuntimeError, OSError, subprocess.TimeoutExpired) as error:
                print("PROBLEM: %s" % error)
                code = 1
            finally:
                ss.stop_wine(args.prefix)
    print("GUI %s tests %s" % (args.mode, "passed" if code == 0 else "FAILED"))
    return code


if __name__ == "__main__":
    sys.exit(main())
