"""Compares what sorvane-cli reports on the seeded demo machine with what the seed made.

The expectations come from `sv-seed.exe --expected FILE` (data/demo-machine.json with the
folders of the prefix filled in). Each function returns a list of problems, one readable line
each; an empty list means the output is right.
"""

SUPPORTED = "Supported"
UNSUPPORTED = "Unsupported"


def _numbers(count):
    return [str(n) for n in range(1, count + 1)]


def _field(row, name):
    return row.get(name) if isinstance(row, dict) else None


def compare_scan(expected, actual, hide_unsupported=False):
    """`expected` is the "scan" part of the expectations, `actual` the parsed output of
    `sorvane-cli scan --json` (with `--hide-unsupported` when `hide_unsupported`)."""
    problems = []
    if not isinstance(actual, dict):
        return ["the scan output is not a JSON object"]
    installed = actual.get("installed")
    residues = actual.get("residues")
    if not isinstance(installed, list) or not isinstance(residues, list):
        return ["the scan output lacks the 'installed' or the 'residues' list"]

    # Installed rows: states, order (supported first), numbering (positions at insertion,
    # which the sort by state may reorder but never loses or repeats).
    seen_unsupported = False
    for index, row in enumerate(installed):
        state = _field(row, "state")
        if state not in (SUPPORTED, UNSUPPORTED):
            problems.append("installed row %d (%r) has the state %r" % (index + 1, _field(row, "name"), state))
        elif state == UNSUPPORTED:
            seen_unsupported = True
        elif seen_unsupported:
            problems.append("installed row %d (%r) is supported but comes after an unsupported row"
                            % (index + 1, _field(row, "name")))
    numbers = sorted((_field(row, "no") for row in installed), key=lambda n: (len(str(n)), str(n)))
    if numbers != _numbers(len(installed)):
        problems.append("the installed rows are numbered %s, not 1 to %d" % (numbers, len(installed)))

    by_name = {}
    for row in installed:
        by_name.setdefault(_field(row, "name"), []).append(row)

    def check_rows(wanted, state):
        for want in wanted:
            rows = by_name.get(want["name"], [])
            if len(rows) != 1:
                problems.append("%r is listed %d times, expected once as %s" % (want["name"], len(rows), state))
                continue
            row = rows[0]
            if row.get("state") != state:
                problems.append("%r is %r, expected %s" % (want["name"], row.get("state"), state))
            for field in ("publisher", "installDate"):
                if field in want and row.get(field) != want[field]:
                    problems.append("%r has %s %r, expected %r" % (want["name"], field, row.get(field), want[field]))

    check_rows(expected["supported"], SUPPORTED)
    supported_names = {want["name"] for want in expected["supported"]}
    extra_supported = [row.get("name") for row in installed
                       if row.get("state") == SUPPORTED and row.get("name") not in supported_names]
    if extra_supported:
        problems.append("unexpected supported rows: %s" % extra_supported)

    unsupported_rows = [row for row in installed if _field(row, "state") == UNSUPPORTED]
    if hide_unsupported:
        if unsupported_rows:
            problems.append("unsupported rows are listed although they are hidden: %s"
                            % [row.get("name") for row in unsupported_rows])
    else:
        check_rows(expected["unsupported"], UNSUPPORTED)
    # Entries the scan must pass over; other unknown programs (the prefix's own) may appear.
    for name in expected.get("notListed", []):
        if name in by_name:
            problems.append("%r is listed although it must not be" % name)

    # Residues: exactly the expected ones, in database order, numbered 1, 2, 3 ...
    wanted = [(want["name"], want["description"]) for want in expected["residues"]]
    got = [(_field(row, "name"), _field(row, "description")) for row in residues]
    if got != wanted:
        problems.append("residues are %s, expected %s" % (got, wanted))
    residue_numbers = [_field(row, "no") for row in residues]
    if residue_numbers != _numbers(len(residues)):
        problems.append("the residue rows are numbered %s, not 1 to %d" % (residue_numbers, len(residues)))
    for name in expected.get("notResidues", []):
        if name in (row_name for row_name, _ in got):
            problems.append("%r is listed as a residue although it must not be" % name)

    # Counters, label and page.
    if actual.get("supported") != len(expected["supported"]):
        problems.append("supported count %r, expected %d" % (actual.get("supported"), len(expected["supported"])))
    if actual.get("residueCount") != len(expected["residues"]):
        problems.append("residue count %r, expected %d" % (actual.get("residueCount"), len(expected["residues"])))
    if len(expected["supported"]) + len(expected["residues"]) != expected["count"]:
        problems.append("the expectations' own count %r does not add up" % expected["count"])
    if actual.get("label") != expected["label"]:
        problems.append("label %r, expected %r" % (actual.get("label"), expected["label"]))
    if actual.get("page") != expected["page"]:
        problems.append("page %r, expected %r" % (actual.get("page"), expected["page"]))
    return problems


def _compare_rows(what, expected_rows, actual_rows):
    problems = []
    if not isinstance(actual_rows, list):
        return ["the %s list is missing" % what]
    for index in range(max(len(expected_rows), len(actual_rows))):
        want = expected_rows[index] if index < len(expected_rows) else None
        got = actual_rows[index] if index < len(actual_rows) else None
        if got is None:
            problems.append("%s row %d is missing: %s %r" % (what, index + 1, want["type"], want["path"]))
            continue
        if want is None:
            problems.append("%s row %d is unexpected: %s %r" % (what, index + 1, _field(got, "type"), _field(got, "path")))
            continue
        if _field(got, "no") != str(index + 1):
            problems.append("%s row %d is numbered %r" % (what, index + 1, _field(got, "no")))
        if (_field(got, "path"), _field(got, "type")) != (want["path"], want["type"]):
            problems.append("%s row %d is %s %r, expected %s %r"
                            % (what, index + 1, _field(got, "type"), _field(got, "path"), want["type"], want["path"]))
    return problems


def shown(rows):
    """The rows the detail view lists: those the removal policy keeps ("kept") are not."""
    return [row for row in rows if "kept" not in row]


def compare_detail(expected, actual):
    """`expected` is one entry of the "details" part, `actual` the parsed output of
    `sorvane-cli detail NAME --json`."""
    if not isinstance(actual, dict):
        return ["the detail output for %r is not a JSON object" % expected["name"]]
    problems = []
    if actual.get("name") != expected["name"]:
        problems.append("detail of %r names %r" % (expected["name"], actual.get("name")))
    problems += _compare_rows("%s file" % expected["name"], shown(expected["files"]), actual.get("files"))
    problems += _compare_rows("%s registry" % expected["name"], shown(expected["registry"]),
                              actual.get("registry"))
    if actual.get("page") != "pgDetail":
        problems.append("detail of %r shows page %r, expected 'pgDetail'" % (expected["name"], actual.get("page")))
    return problems


SHELL_LINK_HEADER = bytes.fromhex("4c000000" "0114020000000000c000000000000046")


def is_shell_link(data):
    """A shell link file starts with its header size (76) and the shell link class id."""
    return data[:20] == SHELL_LINK_HEADER


def linux_path(prefix, windows_path):
    """C:\\a\\b in a Wine prefix -> PREFIX/drive_c/a/b (drive C only)."""
    if not windows_path[:3].upper() == "C:\\":
        raise ValueError("not on drive C: %r" % windows_path)
    return "/".join([prefix.rstrip("/"), "drive_c"] + windows_path[3:].split("\\"))
