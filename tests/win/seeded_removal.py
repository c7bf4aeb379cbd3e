#!/usr/bin/env python3
"""The removal on the demo machine, under Wine, end to end through sorvane-cli.

Seeds a fresh prefix, starts one of Kestrel Browser's programs so a real process is running,
puts a link to a folder of the profile inside Kestrel Browser's folder, and then:
- `remove "Kestrel Browser" --dry-run` must change nothing on the machine;
- `remove "Kestrel Browser"` must stop and delete its real service, end the running process,
  delete its files, folders, shortcuts and registry items, follow no link, and leave every
  place that no program owns, and every other program, where it was.

    seeded_removal.py --bin BUILD/bin --prefix BUILD/removal-prefix --wine-run scripts/wine-run
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import seed_expectations as se  # noqa: E402
import seeded_scan as ss  # noqa: E402

# As the scan lists the installed program (the window removes rows by this name).
NAME = "Kestrel Browser 4.2.1"
FOLDER = "C:\\Program Files\\Kestrel Labs\\Kestrel Browser"
SERVICE = "KestrelUpdate"
PROCESS = "kestrel.exe"
LINK = FOLDER + "\\profile-link"
LINK_TARGET = "C:\\users\\root\\Documents\\Keep"
# A file link, which Wine shows as a plain file: deleting it would delete what it points at.
FILE_LINK = FOLDER + "\\settings-link.ini"
FILE_LINK_TARGET = "C:\\windows\\win.ini"

# Places no removal may take, and other programs' files.
PROTECTED = [
    "C:\\windows",
    "C:\\windows\\system32",
    "C:\\Program Files",
    "C:\\Program Files\\Common Files",
    "C:\\ProgramData",
    "C:\\users\\root",
    "C:\\users\\root\\Desktop",
    "C:\\users\\root\\Documents",
    LINK_TARGET + "\\precious.txt",
    FILE_LINK_TARGET,
    "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
    "C:\\users\\Public\\Desktop",
    "C:\\Program Files\\Tunebox\\Tunebox Player\\tunebox.exe",
    "C:\\Program Files\\Shieldy\\Shieldy Antivirus\\shieldy.exe",
]


def tree(prefix):
    """Every path below drive_c with its size and modification time."""
    root = os.path.join(prefix, "drive_c")
    found = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            try:
                info = os.lstat(path)
            except OSError:
                continue
            found[os.path.relpath(path, root)] = (info.st_size, info.st_mtime_ns)
    return found


def stop_and_flush(prefix):
    """Ends the wine server and waits until it has written the registry files."""
    ss.stop_wine(prefix)
    env = dict(os.environ, WINEPREFIX=prefix)
    subprocess.run([ss.wineserver(), "-w"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)


def registry_text(prefix):
    with open(os.path.join(prefix, "system.reg"), encoding="utf-8", errors="replace") as source:
        return source.read()


def has_service_key(prefix):
    marker = "\\\\Services\\\\" + SERVICE.lower() + "]"
    return marker in registry_text(prefix).lower()


def start_process(args, scratch):
    """Starts kestrel.exe (a copy of the demo program) waiting two minutes."""
    program = se.linux_path(args.prefix, FOLDER + "\\" + PROCESS)
    log = open(os.path.join(scratch, "process.txt"), "wb")
    return subprocess.Popen([args.wine_run, "--prefix", args.prefix, "--drive", args.bin, program,
                             "--wait", "120"], cwd=args.bin, stdin=subprocess.DEVNULL, stdout=log,
                            stderr=log)


def process_events(result):
    return [step for step in result["programs"][0]["steps"]
            if step.get("action") == "process" and not step["refused"]]


def main():
    args = ss.parse_arguments(__doc__.splitlines()[0])

    ss.stop_wine(args.prefix)
    shutil.rmtree(args.prefix, ignore_errors=True)
    problems = []
    process = None
    with tempfile.TemporaryDirectory(prefix="sv-removal-") as scratch:
        runner = ss.Runner(args, scratch)
        try:
            code, text, errors = runner.run("sv-seed.exe")
            if code != 0:
                print("sv-seed.exe failed (%d):\n%s%s" % (code, text, errors))
                return 1
            code, text, errors = runner.run("sv-seed.exe", "--check")
            if code != 0:
                problems.append("sv-seed.exe --check failed before the removal: %s" % errors.strip())
            # A junction inside the program's folder that points into the profile. Wine shows
            # a Unix symbolic link as one (directory and reparse point).
            target = se.linux_path(args.prefix, LINK_TARGET)
            os.makedirs(target, exist_ok=True)
            with open(os.path.join(target, "precious.txt"), "w", encoding="utf-8") as keep:
                keep.write("not the program's\n")
            os.symlink(target, se.linux_path(args.prefix, LINK))
            os.symlink(se.linux_path(args.prefix, FILE_LINK_TARGET),
                       se.linux_path(args.prefix, FILE_LINK))

            process = start_process(args, scratch)
            dry = None
            for _ in range(30):
                dry = ss.parse("remove --dry-run",
                               *runner.run("sorvane-cli.exe", "remove", NAME, "--dry-run", "--json"))
                if process_events(dry):
                    break
                time.sleep(1)
            if not process_events(dry):
                problems.append("the dry run never saw %s running" % PROCESS)

            detail_before = ss.parse("detail", *runner.run("sorvane-cli.exe", "detail", NAME, "--json"))
            before = tree(args.prefix)
            dry = ss.parse("remove --dry-run",
                           *runner.run("sorvane-cli.exe", "remove", NAME, "--dry-run", "--json"))
            steps = dry["programs"][0]["steps"]
            wanted = {("service", SERVICE), ("folder", FOLDER)}
            seen = {(step.get("action"), step.get("target")) for step in steps
                    if "action" in step and not step["refused"]}
            for action, target_path in sorted(wanted - seen):
                problems.append("the dry run does not list %s %s" % (action, target_path))
            after = tree(args.prefix)
            if before != after:
                changed = sorted(set(before.items()) ^ set(after.items()))
                problems.append("the dry run changed files: %s" % changed[:5])
            detail_after = ss.parse("detail", *runner.run("sorvane-cli.exe", "detail", NAME, "--json"))
            if detail_after != detail_before:
                problems.append("the dry run changed what the detail view lists")
            if process.poll() is not None:
                problems.append("the dry run ended %s" % PROCESS)

            removal = ss.parse("remove", *runner.run("sorvane-cli.exe", "remove", NAME, "--json"))
            # The removal did exactly what the dry run planned, and listed the links as kept.
            planned = {(step["action"], step["target"]) for step in steps
                       if step.get("outcome") == "planned"}
            done = {(step["action"], step["target"]) for step in removal["programs"][0]["steps"]
                    if step.get("outcome") in ("done", "gone", "kept")}
            differ = sorted(item for item in planned ^ done if item[0] != "empty folder")
            if differ:
                problems.append("the dry run and the removal differ in %s" % differ[:5])
            if removal["programs"][0]["failed"]:
                problems.append("the removal failed for %s" % [
                    step["target"] for step in removal["programs"][0]["steps"]
                    if step.get("outcome") == "failed"])
            ended = [step["target"] for step in removal["programs"][0]["steps"]
                     if step.get("action") == "process" and not step["refused"]]
            if not ended:
                problems.append("the removal ended no process")
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                problems.append("%s still runs after the removal" % PROCESS)

            for path in [FOLDER, FOLDER + "\\kestrel.exe",
                         "C:\\users\\root\\Desktop\\Kestrel Browser.lnk",
                         "C:\\windows\\netsurf.ini"]:
                if os.path.lexists(se.linux_path(args.prefix, path)) and path != FOLDER:
                    problems.append("%s is still there" % path)
            # The folder itself may stay only because Wine cannot remove the links in it.
            left = sorted(os.listdir(se.linux_path(args.prefix, FOLDER))) \
                if os.path.isdir(se.linux_path(args.prefix, FOLDER)) else []
            if not set(left) <= {"profile-link", "settings-link.ini"}:
                problems.append("the program's folder still holds %s" % left)
            for path in PROTECTED:
                if not os.path.exists(se.linux_path(args.prefix, path)):
                    problems.append("protected %s is gone" % path)
            # The service manager no longer knows the service.
            code, text, errors = runner.run("sv-seed.exe", "--check")
            if "service %s is missing" % SERVICE not in text + errors:
                problems.append("the service manager still knows %s" % SERVICE)
            detail = ss.parse("detail", *runner.run("sorvane-cli.exe", "detail", NAME, "--json"))
            leftover = [row["path"] for row in detail["registry"] + detail["files"]]
            # Wine cannot remove the links, so the folder that holds them stays.
            if left:
                leftover = [path for path in leftover
                            if path != FOLDER and not path.lower().startswith(FOLDER.lower() + "\\")]
            if leftover:
                problems.append("the detail view still lists %s" % leftover[:5])
        except (RuntimeError, OSError, subprocess.TimeoutExpired) as error:
            problems.append(str(error))
        finally:
            if process is not None and process.poll() is None:
                process.kill()
            stop_and_flush(args.prefix)
        # The registry files are written when the wine server ends.
        try:
            if has_service_key(args.prefix):
                problems.append("the service %s is still registered" % SERVICE)
            registry = registry_text(args.prefix).lower()
            for key in ["uninstall\\\\kestrel browser]", "app paths\\\\kestrel.exe]",
                        "kestrel labs\\\\kestrel browser]"]:
                if key in registry:
                    problems.append("the registry still holds %s" % key)
            if '"displayname"="tunebox player 12.1"' not in registry:
                problems.append("another program's registry keys went too")
        except OSError as error:
            problems.append(str(error))

    for problem in problems:
        print("PROBLEM: " + problem)
    if problems:
        print("%d problems removing %s from the seeded demo machine" % (len(problems), NAME))
        return 1
    print("%s removed from the seeded demo machine; the dry run changed nothing" % NAME)
    return 0


if __name__ == "__main__":
    sys.exit(main())
