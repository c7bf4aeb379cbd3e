"""Tests of the seeded scan's comparison: it passes the right output and catches every kind
of wrong output (a missing row, a wrong state, a wrong order, wrong numbers or counts)."""

import copy
import json
import os
import unittest

import seed_expectations as se

EXPECTED_SCAN = {
    "supported": [
        {"name": "Kestrel Browser 4.2.1", "publisher": "Kestrel Labs", "installDate": "Mar 14,2025"},
        {"name": "Tunebox Player 12.1", "publisher": "Tunebox Audio", "installDate": "Sep 22,2024"},
    ],
    "unsupported": [
        {"name": "Pebblenote 3.4.2", "publisher": "Pebble Lane Software", "installDate": "2024-11-08"},
    ],
    "notListed": ["Orchard Runtime Components 2.0", "Sorvane"],
    "residues": [
        {"name": "Maildove Mail Client", "description": "Networking Software"},
        {"name": "Mine Maze Deluxe", "description": "Games"},
    ],
    "notResidues": ["PixPainter"],
    "count": 4,
    "label": "4  Software",
    "page": "pgResults",
}


def row(no, name, state, date, publisher):
    return {"no": no, "name": name, "state": state, "installDate": date, "publisher": publisher, "icon": 0}


GOOD_SCAN = {
    "installed": [
        row("1", "Kestrel Browser 4.2.1", "Supported", "Mar 14,2025", "Kestrel Labs"),
        row("3", "Tunebox Player 12.1", "Supported", "Sep 22,2024", "Tunebox Audio"),
        row("2", "Pebblenote 3.4.2", "Unsupported", "2024-11-08", "Pebble Lane Software"),
        # The prefix's own programs may appear as unsupported.
        row("4", "Wine Helper", "Unsupported", "", "The Wine Project"),
    ],
    "residues": [
        {"no": "1", "name": "Maildove Mail Client", "description": "Networking Software", "icon": 0},
        {"no": "2", "name": "Mine Maze Deluxe", "description": "Games", "icon": 0},
    ],
    "supported": 2,
    "residueCount": 2,
    "label": "4  Software",
    "page": "pgResults",
}

EXPECTED_DETAIL = {
    "name": "Kestrel Browser",
    "files": [
        {"path": "C:\\Program Files\\Kestrel Labs\\Kestrel Browser", "type": "Directory"},
        {"path": "C:\\users\\root\\Desktop\\Kestrel Browser.lnk", "type": "Shortcut"},
        {"path": "c:\\program files\\kestrel labs\\kestrel browser\\kestrel.exe", "type": "File"},
    ],
    "registry": [
        {"path": "HKEY_LOCAL_MACHINE\\Software\\Kestrel Labs\\Kestrel Browser", "type": "Key"},
        {"path": "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Kestrel Browser",
         "type": "Value"},
    ],
}


def numbered(rows):
    return [dict(no=str(i + 1), **r) for i, r in enumerate(rows)]


GOOD_DETAIL = {
    "name": "Kestrel Browser",
    "files": numbered(EXPECTED_DETAIL["files"]),
    "registry": numbered(EXPECTED_DETAIL["registry"]),
    "page": "pgDetail",
}


def scan_with(change):
    scan = copy.deepcopy(GOOD_SCAN)
    change(scan)
    return scan


def detail_with(change):
    detail = copy.deepcopy(GOOD_DETAIL)
    change(detail)
    return detail


class CompareScanTest(unittest.TestCase):
    def assertCaught(self, scan, fragment, hide=False):
        problems = se.compare_scan(EXPECTED_SCAN, scan, hide)
        self.assertTrue(any(fragment in p for p in problems), "%r not in %r" % (fragment, problems))

    def test_right_output_passes(self):
        self.assertEqual(se.compare_scan(EXPECTED_SCAN, GOOD_SCAN), [])

    def test_hidden_unsupported_output_passes(self):
        scan = scan_with(lambda s: s.update(installed=[r for r in s["installed"] if r["state"] == "Supported"]))
        scan["installed"][1]["no"] = "2"
        self.assertEqual(se.compare_scan(EXPECTED_SCAN, scan, hide_unsupported=True), [])

    def test_missing_supported_row_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["installed"].pop(1)), "'Tunebox Player 12.1' is listed 0 times")

    def test_missing_unsupported_row_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["installed"].pop(2)), "'Pebblenote 3.4.2' is listed 0 times")

    def test_wrong_state_is_caught(self):
        def change(s):
            s["installed"][1]["state"] = "Unsupported"
        self.assertCaught(scan_with(change), "'Tunebox Player 12.1' is 'Unsupported'")

    def test_unknown_state_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["installed"][0].update(state="supported")), "has the state")

    def test_supported_after_unsupported_is_caught(self):
        def change(s):
            s["installed"][1], s["installed"][2] = s["installed"][2], s["installed"][1]
        self.assertCaught(scan_with(change), "comes after an unsupported row")

    def test_duplicate_row_is_caught(self):
        def change(s):
            s["installed"].insert(1, dict(s["installed"][0], no="5"))
        self.assertCaught(scan_with(change), "'Kestrel Browser 4.2.1' is listed 2 times")

    def test_unexpected_supported_row_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["installed"][2].update(state="Supported")), "unexpected supported rows")

    def test_wrong_publisher_and_date_are_caught(self):
        self.assertCaught(scan_with(lambda s: s["installed"][0].update(publisher="Kestrel")), "has publisher")
        self.assertCaught(scan_with(lambda s: s["installed"][0].update(installDate="20250314")), "has installDate")

    def test_entry_that_must_not_be_listed_is_caught(self):
        def change(s):
            s["installed"].append(row("5", "Sorvane", "Unsupported", "", ""))
        self.assertCaught(scan_with(change), "'Sorvane' is listed although")

    def test_unsupported_rows_while_hidden_are_caught(self):
        self.assertCaught(GOOD_SCAN, "listed although they are hidden", hide=True)

    def test_installed_numbering_gap_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["installed"][3].update(no="7")), "numbered")

    def test_missing_residue_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["residues"].pop(0)), "residues are")

    def test_residue_order_is_caught(self):
        def change(s):
            s["residues"].reverse()
            s["residues"][0]["no"], s["residues"][1]["no"] = "1", "2"
        self.assertCaught(scan_with(change), "residues are")

    def test_wrong_residue_description_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["residues"][1].update(description="Other Tools")), "residues are")

    def test_value_only_program_as_residue_is_caught(self):
        def change(s):
            s["residues"].append({"no": "3", "name": "PixPainter", "description": "Graphic Tools"})
        self.assertCaught(scan_with(change), "'PixPainter' is listed as a residue")

    def test_residue_numbering_is_caught(self):
        self.assertCaught(scan_with(lambda s: s["residues"][1].update(no="3")), "residue rows are numbered")

    def test_counts_label_and_page_are_caught(self):
        self.assertCaught(scan_with(lambda s: s.update(supported=3)), "supported count 3")
        self.assertCaught(scan_with(lambda s: s.update(residueCount=1)), "residue count 1")
        self.assertCaught(scan_with(lambda s: s.update(label="5  Software")), "label '5  Software'")
        self.assertCaught(scan_with(lambda s: s.update(page=None)), "page None")

    def test_output_without_lists_is_caught(self):
        self.assertCaught({"installed": []}, "lacks")
        self.assertCaught([], "not a JSON object")


class CompareDetailTest(unittest.TestCase):
    def assertCaught(self, detail, fragment):
        problems = se.compare_detail(EXPECTED_DETAIL, detail)
        self.assertTrue(any(fragment in p for p in problems), "%r not in %r" % (fragment, problems))

    def test_right_output_passes(self):
        self.assertEqual(se.compare_detail(EXPECTED_DETAIL, GOOD_DETAIL), [])

    def test_missing_row_is_caught(self):
        self.assertCaught(detail_with(lambda d: d["files"].pop()), "file row 3 is missing")

    def test_extra_row_is_caught(self):
        def change(d):
            d["registry"].append({"no": "3", "path": "HKEY_CLASSES_ROOT\\KestrelHTML", "type": "Key"})
        self.assertCaught(detail_with(change), "registry row 3 is unexpected")

    def test_wrong_order_is_caught(self):
        def change(d):
            d["files"][0]["path"], d["files"][1]["path"] = d["files"][1]["path"], d["files"][0]["path"]
        self.assertCaught(detail_with(change), "file row 1 is Directory")

    def test_wrong_type_is_caught(self):
        self.assertCaught(detail_with(lambda d: d["files"][1].update(type="File")), "file row 2 is File")

    def test_path_in_other_letter_case_is_caught(self):
        self.assertCaught(detail_with(lambda d: d["files"][2].update(path=d["files"][2]["path"].upper())),
                          "file row 3 is File")

    def test_numbering_is_caught(self):
        self.assertCaught(detail_with(lambda d: d["registry"][1].update(no="1")), "registry row 2 is numbered '1'")

    def test_page_and_name_are_caught(self):
        self.assertCaught(detail_with(lambda d: d.update(page=None)), "shows page None")
        self.assertCaught(detail_with(lambda d: d.update(name="Kestrel")), "names 'Kestrel'")

    def test_missing_list_is_caught(self):
        self.assertCaught(detail_with(lambda d: d.pop("registry")), "registry list is missing")


class DemoMachineExpectationsTest(unittest.TestCase):
    """The demo machine's own expectations are whole: the output they describe passes."""

    def setUp(self):
        path = os.path.join(os.path.dirname(__file__), "..", "..", "data", "demo-machine.json")
        with open(path, encoding="utf-8") as source:
            self.expected = json.load(source)["expected"]

    def test_scan_described_by_the_expectations_passes(self):
        scan = self.expected["scan"]
        rows = [dict(want, state="Supported") for want in scan["supported"]]
        rows += [dict(want, state="Unsupported") for want in scan["unsupported"]]
        output = {
            "installed": [dict(r, no=str(i + 1)) for i, r in enumerate(rows)],
            "residues": [dict(r, no=str(i + 1)) for i, r in enumerate(scan["residues"])],
            "supported": len(scan["supported"]),
            "residueCount": len(scan["residues"]),
            "label": "%d  Software" % scan["count"],
            "page": "pgResults",
        }
        self.assertEqual(se.compare_scan(scan, output), [])
        self.assertGreaterEqual(len(scan["supported"]), 5)
        self.assertGreaterEqual(len(scan["unsupported"]), 3)

    def test_details_name_programs_the_scan_lists(self):
        listed = {r["name"] for r in self.expected["scan"]["residues"]}
        listed |= {r["name"] for r in self.expected["scan"]["supported"]}
        for detail in self.expected["details"]:
            self.assertTrue(any(name.startswith(detail["name"]) for name in listed), detail["name"])


class HelpersTest(unittest.TestCase):
    def test_shell_link_header(self):
        header = bytes.fromhex("4c0000000114020000000000c000000000000046") + b"\x9b\x00"
        self.assertTrue(se.is_shell_link(header))
        self.assertFalse(se.is_shell_link(b"MZ" + header))
        self.assertFalse(se.is_shell_link(b""))

    def test_linux_path(self):
        self.assertEqual(se.linux_path("/p/", "C:\\users\\root\\Desktop\\A.lnk"), "/p/drive_c/users/root/Desktop/A.lnk")
        self.assertEqual(se.linux_path("/p", "c:\\ProgramData"), "/p/drive_c/ProgramData")
        with self.assertRaises(ValueError):
            se.linux_path("/p", "B:\\bin")


if __name__ == "__main__":
    unittest.main()
