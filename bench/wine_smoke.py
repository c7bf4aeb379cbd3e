#!/usr/bin/env python3
"""The Windows benchmark once on the small machine, under Wine.

Makes a fresh prefix of its own, seeds the S machine into it with sorvane-bench.exe, and
measures one scan, one detail view and one dry-run removal there. Fails when the program fails
(a scan that does not find what the seeding made is a failure of the program), or when a figure
is missing or says nothing: no calls counted, no time, no memory, no rows.

    wine_smoke.py --bin BUILD/bin --prefix BUILD/bench-smoke-prefix --wine-run scripts/wine-run
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

FOLDER = "C:\\SorvaneBench"
TIMEOUT = 300


def wineserver():
    return shutil.which("wineserver") or "/usr/lib/wine/wineserver"


def stop_wine(prefix):
    if os.path.isdir(prefix):
        subprocess.run([wineserver(), "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)


def run(args, scratch, *arguments):
    """sorvane-bench.exe with its output in files (a pipe would wait for the wine server)."""
    out_path = os.path.join(scratch, "out.txt")
    command = [args.wine_run, "--prefix", args.prefix, "--drive", args.bin,
               os.path.join(args.bin, "sorvane-bench.exe")] + list(arguments)
    with open(out_path, "wb") as out:
        code = subprocess.run(command, cwd=args.bin, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT, timeout=TIMEOUT, check=False).returncode
    with open(out_path, "rb") as out:
        text = out.read().decode("utf-8", "replace")
    if code != 0:
        raise AssertionError("sorvane-bench.exe %s failed (%d):\n%s" %
                             (" ".join(arguments), code, text))
    return text


def figures_problems(figures, run_name):
    """What is missing or empty in one measurement's figures."""
    problems = []
    if figures.get("run") != run_name or figures.get("size") != "S":
        problems.append("run or size wrong: %s %s" % (figures.get("run"), figures.get("size")))
    if not figures.get("matchesPlan"):
        problems.append("does not match the plan: %s" % figures.get("problems"))
    for total in ("registryTotal", "fileTotal"):
        if not figures.get(total, 0) > 0:
            problems.append("%s is %s" % (total, figures.get(total)))
    if sum(figures.get("registry", {}).values()) != figures.get("registryTotal"):
        problems.append("registry calls by kind do not add up")
    seconds = figures.get("seconds", [])
    if len(seconds) != 1 or not seconds[0] > 0:
        problems.append("seconds: %s" % seconds)
    memory = figures.get("memory", {})
    for peak in ("peakWorkingSetBytes", "peakPagefileBytes"):
        if not memory.get(peak, 0) > 0:
            problems.append("%s is %s" % (peak, memory.get(peak)))
    outcome = figures.get("outcome", "")
    if not outcome or outcome.startswith("0 "):
        problems.append("the run produced nothing: %r" % outcome)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--wine-run", required=True)
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)
    args.prefix = os.path.abspath(args.prefix)

    stop_wine(args.prefix)
    shutil.rmtree(args.prefix, ignore_errors=True)
    scratch = tempfile.mkdtemp(prefix="bench-smoke-")
    problems = []
    try:
        print(run(args, scratch, "seed", "--size", "S", "--folder", FOLDER).strip())
        with open(os.path.join(args.prefix, "drive_c", "SorvaneBench", "machine.json")) as f:
            machine = json.load(f)
        if machine.get("components") != 10000 or len(machine.get("supportedNames", [])) != 40:
            problems.append("the seeded machine is not the S machine: %s" %
                            {k: v for k, v in machine.items() if not k.endswith("Names")})
        for run_name in ("scan", "detail", "removal"):
            result = FOLDER + "\\" + run_name + ".json"
            print(run(args, scratch, "measure", "--folder", FOLDER, "--run", run_name,
                      "--repeat", "1", "--json", result).strip())
            with open(os.path.join(args.prefix, "drive_c", "SorvaneBench",
                                   run_name + ".json")) as f:
                problems += ["%s: %s" % (run_name, p) for p in figures_problems(json.load(f),
                                                                               run_name)]
    except (AssertionError, OSError, ValueError, subprocess.TimeoutExpired) as failure:
        problems.append(str(failure))
    finally:
        stop_wine(args.prefix)
        shutil.rmtree(scratch, ignore_errors=True)
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
