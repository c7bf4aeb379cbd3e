#!/usr/bin/env python3
"""Hostile databases and machines under Wine: a removal loses nothing it may not touch.

Seeds a fresh prefix with programs whose signatures (and registry values) point at places no
program owns: links (a trailing backslash on a folder link, a file link to a system file, a
link out of the prefix), folders of the Windows folder no list names, Windows' own folders in
Program Files, the profile's Temp, system files, "..", shares of the local drive, streams,
keys and values of the system, file associations, Windows' services, another installed
program's folder and keys, names that begin other names, Installer products of installed
programs and components other products share. Then removes every target with sorvane-cli and
checks that every protected file, folder, key and value is still there, and that each target's
own folder, files and Uninstall entry are gone.

    hostile_removal.py --bin BUILD/bin --prefix BUILD/hostile-prefix --wine-run scripts/wine-run
                       --svdb SVDB
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import seed_expectations as se  # noqa: E402
import seeded_removal as sr  # noqa: E402
import seeded_scan as ss  # noqa: E402

DB_FOLDER = "C:\\svhostile"
GUID_OTHER = "{6A0F3B21-5C44-4E8B-9D11-0E7F2A3C4B5D}"
GUID_TARGET = "{1D2E3F40-8A9B-4C0D-9E1F-2A3B4C5D6E7F}"


def packed(guid):
    """The Installer's packed form of a product code."""
    hex_digits = guid.strip("{}").replace("-", "").upper()
    swapped = "".join(hex_digits[i + 1] + hex_digits[i] for i in range(16, 32, 2))
    return hex_digits[0:8][::-1] + hex_digits[8:12][::-1] + hex_digits[12:16][::-1] + swapped


# Places no removal may touch: files and folders (as Windows paths), and registry keys and
# values as (hive file, key below the hive, value name or None).
PROTECTED_PATHS = [
    "C:\\windows\\win.ini",
    "C:\\windows\\system.ini",
    "C:\\windows\\system32\\kernel32.dll",
    "C:\\windows\\system32\\catroot\\{F750E6C3}\\bait.cat",
    "C:\\windows\\performance\\winsat\\bait.xml",
    "C:\\windows\\Fonts",
    "C:\\Program Files\\Internet Explorer",
    "C:\\Program Files\\Windows NT",
    "C:\\Program Files\\Common Files\\Microsoft Shared",
    "C:\\Program Files\\Other App\\other.exe",
    "C:\\Program Files\\Hostile Acme\\acme.exe",
    "C:\\ProgramData\\Other\\data.bin",
    "C:\\users\\root\\Documents\\precious.txt",
    "C:\\users\\root\\AppData\\Local\\Temp\\bait.tmp",
    "C:\\users\\root\\Desktop",
]
PROTECTED_KEYS = [
    ("system.reg", "System\\CurrentControlSet\\Control\\Session Manager\\Environment", "ComSpec"),
    ("system.reg", "System\\CurrentControlSet\\Services\\RpcSs", None),
    ("system.reg", "System\\CurrentControlSet\\Services\\PlugPlay", None),
    ("system.reg", "System\\CurrentControlSet\\Services\\Eventlog", None),
    ("system.reg", "Software\\Microsoft\\Cryptography", "SvBait"),
    ("system.reg", "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-77", "ProfileImagePath"),
    ("system.reg", "Software\\Microsoft\\Internet Explorer\\Main", "SvBait"),
    ("system.reg", "Software\\Classes\\.ini", "SvBait"),
    ("system.reg", "Software\\Classes\\txtfile", "SvBait"),
    ("system.reg", "Software\\Classes\\http", "SvBait"),
    ("system.reg", "Software\\Classes\\CLSID\\{5B5B5B5B-0000-4000-8000-000000000005}\\InprocServer32", None),
    ("system.reg", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherApp", "DisplayName"),
    ("system.reg", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + GUID_OTHER, "DisplayName"),
    ("system.reg", "Software\\Other Vendor\\Other App", "InstallDir"),
    ("system.reg", "Software\\Hostile Vendor\\Hostile Acme", "InstallDir"),
    ("system.reg", "Software\\Classes\\Installer\\Products\\" + packed(GUID_OTHER), "ProductName"),
    ("system.reg", "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
     "Components\\SHAREDC0MP0NENT0000000000000000", packed(GUID_OTHER)),
    ("user.reg", "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "OtherTray"),
]


def target(number, label, items=(), **record):
    """A hostile target: an installed program with its own folder and file, and the hostile
    entries of its signature."""
    name = "Hostile %02d %s" % (number, label)
    folder = "{programfiles}\\Hostile %02d" % number
    program = {
        "id": "H%02d" % number,
        "name": name,
        "category": 10,
        "items": [{"kind": "file", "path": "{pf}\\Hostile %02d\\app.exe" % number},
                  {"kind": "directory", "path": "{pf}\\Hostile %02d" % number}] + list(items),
    }
    program.update(record)
    group = {
        "about": name,
        "files": [{"path": folder + "\\app.exe", "text": "MZ hostile %d\r\n" % number}],
        "registry": [{"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\H%02d" % number,
                      "values": {"DisplayName": name + " 1.0", "UninstallString": "C:\\x\\u.exe",
                                 "Publisher": "Hostile Labs"}}],
    }
    return {"program": program, "group": group, "display": name + " 1.0", "folder": folder,
            "own": [folder + "\\app.exe"], "entry": "H%02d" % number}


def directory(path):
    return {"kind": "directory", "path": path}


def file_item(path):
    return {"kind": "file", "path": path}


def key(path):
    return {"kind": "key", "path": path}


def value(path):
    return {"kind": "value", "path": path}


def location(number, text):
    """A location value of target `number` that names `text`."""
    return {"key": "HKLM{sw}\\Hostile Vendor\\Hostile %02d" % number, "value": "Path"}, \
        {"key": "HKLM\\Software\\Hostile Vendor\\Hostile %02d" % number, "values": {"Path": text}}


def targets():
    found = []
    # Links, which the system follows where a text does not show them.
    found.append(target(1, "Trailing", [directory("{pf}\\Hostile 01\\docs\\"),
                                        file_item("{pf}\\Hostile 01\\docs\\precious.txt")]))
    found.append(target(2, "FileLink", [file_item("{pf}\\Hostile 02\\cfg.ini"),
                                        file_item("{pf}\\Hostile 02\\k32.dll")]))
    found.append(target(3, "OutLink"))
    entry, machine = location(4, "C:\\Program Files\\Hostile 04\\data\\")
    four = target(4, "LocationLink", locations=[entry])
    four["group"]["registry"].append(machine)
    found.append(four)
    # Places a list of names to refuse forgets.
    found.append(target(5, "Catroot", [directory("{w}{s32}\\catroot")]))
    found.append(target(6, "Performance", [directory("{w}\\performance")]))
    found.append(target(7, "CodeCatroot", installFolder="3catroot"))
    found.append(target(8, "Components", [directory("{pf}\\Internet Explorer"),
                                          directory("{pf}\\Windows NT"),
                                          directory("{pf}{cf}\\Microsoft Shared")]))
    found.append(target(9, "Temp", [directory("C:\\users\\root\\AppData\\Local\\Temp")]))
    found.append(target(10, "SystemFiles", [file_item("{w}{s32}\\kernel32.dll"),
                                            file_item("{w}\\win.ini"),
                                            file_item("{w}\\system.ini")]))
    entry, machine = location(11, "C:\\windows\\system32\\catroot\\cat.dll")
    eleven = target(11, "ComInSystem", locations=[entry])
    eleven["group"]["registry"].append(machine)
    found.append(eleven)
    # Climbing, shares of the local drive, streams and short names.
    found.append(target(12, "Climbing", [directory("{pf}\\Hostile 12\\..\\Other App"),
                                         file_item("{pf}\\Hostile 12\\..\\Other App\\other.exe")]))
    entry, machine = location(13, "C:\\Program Files\\Hostile 13\\..\\Other App\\other.exe")
    thirteen = target(13, "LocationClimbing", locations=[entry])
    thirteen["group"]["registry"].append(machine)
    found.append(thirteen)
    found.append(target(14, "Shares", [directory("\\\\localhost\\C$\\Program Files"),
                                       directory("\\\\127.0.0.1\\c$\\windows\\system32"),
                                       directory("\\\\?\\UNC\\localhost\\c$\\users\\root")]))
    found.append(target(15, "Streams", [directory("{pf}::$INDEX_ALLOCATION"),
                                        directory("{pf}\\."), directory("C:\\PROG~FBU")]))
    found.append(target(16, "OtherProgram", [directory("{pf}\\Other App"),
                                             key("HKLM{sw}\\Other Vendor\\Other App"),
                                             key("HKLM{sw}{ms}{win}{cv}\\Uninstall\\OtherApp"),
                                             value("HKCU{sw}{ms}{win}{cv}\\Run\\OtherTray")]))
    # Keys and values below the first level of the hives.
    found.append(target(17, "SystemKeys", [
        key("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"),
        value("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\ComSpec"),
        key("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Eventlog"),
        value("HKLM{sw}{ms}\\Cryptography\\SvBait"),
        key("HKLM{sw}{ms}\\Windows NT{cv}\\ProfileList\\S-1-5-21-77")]))
    found.append(target(18, "Associations", [key("HKCR\\.ini"), key("HKCR\\txtfile"),
                                             key("HKCR\\http"),
                                             key("HKCR\\CLSID\\{5B5B5B5B-0000-4000-8000-000000000005}")]))
    found.append(target(19, "Services", services="RpcSs,PlugPlay,Eventlog,Schedule,MSIServer"))
    return found


def machine_description(cases, outside):
    groups = [{
        "about": "What no removal may touch, and another installed program.",
        "files": [
            {"path": "{windows}\\system32\\catroot\\{F750E6C3}\\bait.cat", "text": "cat"},
            {"path": "{windows}\\performance\\winsat\\bait.xml", "text": "<x/>"},
            {"path": "{programfiles}\\Other App\\other.exe", "text": "MZ other"},
            {"path": "{programfiles}\\Hostile Acme\\acme.exe", "text": "MZ acme"},
            {"path": "{programfiles}\\Hostile Acme Suite\\suite.exe", "text": "MZ suite"},
            {"path": "{programdata}\\Other\\data.bin", "text": "data"},
            {"path": "{localappdata}\\Temp\\bait.tmp", "text": "temp"},
        ],
        "registry": [
            {"key": "HKLM\\Software\\Microsoft\\Cryptography", "values": {"SvBait": "keep"}},
            {"key": "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-77",
             "values": {"ProfileImagePath": "C:\\users\\ghost"}},
            {"key": "HKLM\\Software\\Microsoft\\Internet Explorer\\Main", "values": {"SvBait": "keep"}},
            {"key": "HKCR\\.ini", "values": {"SvBait": "keep"}},
            {"key": "HKCR\\txtfile", "values": {"SvBait": "keep"}},
            {"key": "HKCR\\http", "values": {"SvBait": "keep"}},
            {"key": "HKLM\\Software\\Classes\\CLSID\\{5B5B5B5B-0000-4000-8000-000000000005}\\InprocServer32",
             "values": {"": "C:\\windows\\system32\\catroot\\cat.dll"}},
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherApp",
             "values": {"DisplayName": "Other App", "InstallLocation": "{programfiles}\\Other App",
                        "UninstallString": "\"{programfiles}\\Other App\\u.exe\""}},
            {"key": "HKLM\\Software\\Other Vendor\\Other App",
             "values": {"InstallDir": "{programfiles}\\Other App"}},
            {"key": "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
             "values": {"OtherTray": "\"{programfiles}\\Other App\\other.exe\" /tray"}},
            # Two programs whose names begin alike; only the second is removed.
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HostileAcme",
             "values": {"DisplayName": "Hostile Acme 1.0", "UninstallString": "C:\\x\\u.exe"}},
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HostileAcmeSuite",
             "values": {"DisplayName": "Hostile Acme Suite 2.0", "UninstallString": "C:\\x\\u.exe"}},
            {"key": "HKLM\\Software\\Hostile Vendor\\Hostile Acme",
             "values": {"InstallDir": "{programfiles}\\Hostile Acme"}},
            {"key": "HKLM\\Software\\Hostile Vendor\\Hostile Acme Suite",
             "values": {"InstallDir": "{programfiles}\\Hostile Acme Suite"}},
            # An installed Installer product, and one of a target; a component both list.
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + GUID_OTHER,
             "values": {"DisplayName": "Other Runtime 9", "UninstallString": "MsiExec.exe /X" + GUID_OTHER}},
            {"key": "HKLM\\Software\\Classes\\Installer\\Products\\" + packed(GUID_OTHER),
             "values": {"ProductName": "Hostile Product Runtime 9"}},
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + GUID_TARGET,
             "values": {"DisplayName": "Hostile Msi 3.0", "UninstallString": "MsiExec.exe /I" + GUID_TARGET}},
            {"key": "HKLM\\Software\\Classes\\Installer\\Products\\" + packed(GUID_TARGET),
             "values": {"ProductName": "Hostile Msi 3.0"}},
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
                     "Components\\SHAREDC0MP0NENT0000000000000000",
             "values": {packed(GUID_OTHER): "C:\\shared.dll", packed(GUID_TARGET): "C:\\shared.dll"}},
            {"key": "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
                     "Components\\OWNC0MP0NENT00000000000000000000",
             "values": {packed(GUID_TARGET): "C:\\own.dll"}},
        ],
    }]
    for case in cases:
        groups.append(case["group"])
    return {"about": "Hostile machines for the removal.", "machine": groups}


def database_source(cases):
    software = [case["program"] for case in cases]
    software.append({"id": "HACME", "name": "Hostile Acme", "category": 10,
                     "items": [directory("{pf}\\Hostile Acme"), key("HKLM{sw}\\Hostile Vendor\\Hostile Acme")]})
    software.append({"id": "HSUITE", "name": "Hostile Acme Suite", "category": 10,
                     "items": [directory("{pf}\\Hostile Acme Suite"),
                               key("HKLM{sw}\\Hostile Vendor\\Hostile Acme Suite")]})
    software.append({"id": "HPROD", "name": "Hostile Product", "category": 10})
    software.append({"id": "HMSI", "name": "Hostile Msi", "category": 10})
    return {"software": software}


def make_links(prefix, outside):
    """Unix symbolic links, which Wine shows as links (folders) or plain files (files)."""
    def link(windows_path, target_path):
        path = se.linux_path(prefix, windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        os.symlink(target_path, path)
    link("C:\\Program Files\\Hostile 01\\docs", se.linux_path(prefix, "C:\\users\\root\\Documents"))
    link("C:\\Program Files\\Hostile 02\\cfg.ini", se.linux_path(prefix, "C:\\windows\\win.ini"))
    link("C:\\Program Files\\Hostile 02\\k32.dll",
         se.linux_path(prefix, "C:\\windows\\system32\\kernel32.dll"))
    link("C:\\Program Files\\Hostile 03\\out", outside)
    link("C:\\Program Files\\Hostile 04\\data", se.linux_path(prefix, "C:\\ProgramData\\Other"))
    with open(se.linux_path(prefix, "C:\\users\\root\\Documents\\precious.txt"), "w") as keep:
        keep.write("the user's\n")


def registry_has(prefix, hive_file, key_path, value_name):
    with open(os.path.join(prefix, hive_file), encoding="utf-8", errors="replace") as source:
        text = source.read().lower()
    header = "[" + key_path.replace("\\", "\\\\").lower() + "]"
    start = text.find(header)
    if start < 0:
        return False
    if value_name is None:
        return True
    end = text.find("\n[", start + len(header))
    section = text[start:end if end >= 0 else len(text)]
    return ('"%s"=' % value_name.lower()) in section


def main():
    parser_args = sys.argv[1:]
    svdb = None
    if "--svdb" in parser_args:
        at = parser_args.index("--svdb")
        svdb = os.path.abspath(parser_args[at + 1])
        del sys.argv[at + 1:at + 3]
    args = ss.parse_arguments(__doc__.splitlines()[0])
    if svdb is None:
        print("usage: ... --svdb SVDB")
        return 2

    ss.stop_wine(args.prefix)
    shutil.rmtree(args.prefix, ignore_errors=True)
    problems = []
    cases = targets()
    with tempfile.TemporaryDirectory(prefix="sv-hostile-") as scratch:
        outside = os.path.join(scratch, "outside")
        os.makedirs(outside)
        with open(os.path.join(outside, "outside.txt"), "w") as keep:
            keep.write("not in the prefix\n")
        runner = ss.Runner(args, scratch)
        try:
            description = os.path.join(args.bin, "hostile-machine.json")
            with open(description, "w", encoding="utf-8") as out:
                json.dump(machine_description(cases, outside), out, indent=1)
            code, text, errors = runner.run("sv-seed.exe", "B:\\hostile-machine.json")
            if code != 0:
                print("sv-seed.exe failed (%d):\n%s%s" % (code, text, errors))
                return 1
            source = os.path.join(scratch, "hostile-database.json")
            with open(source, "w", encoding="utf-8") as out:
                json.dump(database_source(cases), out, indent=1)
            db_folder = se.linux_path(args.prefix, DB_FOLDER)
            os.makedirs(db_folder, exist_ok=True)
            built = subprocess.run([svdb, "build", source, db_folder], capture_output=True,
                                   text=True, timeout=60, check=False)
            if built.returncode != 0:
                print("svdb build failed: %s%s" % (built.stdout, built.stderr))
                return 1
            make_links(args.prefix, outside)

            names = [case["display"] for case in cases] + ["Hostile Acme Suite 2.0", "Hostile Msi 3.0"]
            dry = ss.parse("remove --dry-run", *runner.run("sorvane-cli.exe", "remove", *names,
                                                           "--dry-run", "--json", "--db", DB_FOLDER))
            code, text, errors = runner.run("sorvane-cli.exe", "remove", *names, "--json", "--db", DB_FOLDER)
            removal = json.loads(text) if text.strip().startswith("{") else None
            if removal is None:
                problems.append("remove gave no JSON (%d): %s" % (code, errors.strip()))
            else:
                for program in removal["programs"]:
                    if program["failed"]:
                        failed = [step for step in program["steps"] if step.get("outcome") == "failed"]
                        problems.append("%s: %s" % (program["name"], failed[:3]))
                # Exactly what the dry run planned was done (or had gone meanwhile); only a
                # parent is left alone when the folder it held was kept.
                for planned, done in zip(dry["programs"], removal["programs"]):
                    wanted = {(s["action"], s["target"]) for s in planned["steps"]
                              if s.get("outcome") == "planned"}
                    took = {(s["action"], s["target"]) for s in done["steps"]
                            if s.get("outcome") in ("done", "gone", "kept")}
                    differ = sorted(item for item in wanted ^ took if item[0] != "empty folder")
                    if differ or not took <= wanted:
                        problems.append("%s: the dry run and the removal differ in %s"
                                        % (planned["name"], differ[:4]))
            code, text, errors = runner.run("sorvane-cli.exe", "remove", "--residual", "Hostile Product",
                                            "--db", DB_FOLDER)
            if code not in (0, 1):
                problems.append("remove --residual failed: %s" % errors.strip())
        except (RuntimeError, OSError, subprocess.TimeoutExpired, ValueError) as error:
            problems.append(str(error))
        finally:
            sr.stop_and_flush(args.prefix)

        for path in PROTECTED_PATHS:
            if not os.path.lexists(se.linux_path(args.prefix, path)):
                problems.append("protected %s is gone" % path)
        if not os.path.exists(os.path.join(outside, "outside.txt")):
            problems.append("a file outside the prefix is gone")
        for hive_file, key_path, value_name in PROTECTED_KEYS:
            if not registry_has(args.prefix, hive_file, key_path, value_name):
                problems.append("protected %s [%s] is gone" % (key_path, value_name))
        # Each target's own things went.
        for case in cases:
            for path in case["own"]:
                windows_path = path.replace("{programfiles}", "C:\\Program Files")
                if os.path.lexists(se.linux_path(args.prefix, windows_path)):
                    problems.append("%s: its own %s is still there" % (case["display"], windows_path))
            if registry_has(args.prefix, "system.reg",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + case["entry"], None):
                problems.append("%s: its Uninstall entry is still there" % case["display"])
        for path in ["C:\\Program Files\\Hostile Acme Suite"]:
            if os.path.lexists(se.linux_path(args.prefix, path)):
                problems.append("%s is still there" % path)
        if registry_has(args.prefix, "system.reg", "Software\\Classes\\Installer\\Products\\"
                        + packed(GUID_TARGET), None):
            problems.append("the target's Installer product is still registered")
        if registry_has(args.prefix, "system.reg",
                        "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
                        "Components\\SHAREDC0MP0NENT0000000000000000", packed(GUID_TARGET)):
            problems.append("the target's entry in the shared component is still there")

    for problem in problems:
        print("PROBLEM: " + problem)
    if problems:
        print("%d problems with %d hostile targets" % (len(problems), len(cases)))
        return 1
    print("%d hostile targets removed; nothing protected was lost" % len(cases))
    return 0


if __name__ == "__main__":
    sys.exit(main())
