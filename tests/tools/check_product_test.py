"""The build's check of a product folder, on a table of broken folders, and the key list against
what the installer's configuration reader reads."""

import json
import pathlib
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

ROOT = pathlib.Path(__file__).resolve().parents[2]
CHECKER = ROOT / "tools" / "check_product.py"
sys.path.insert(0, str(CHECKER.parent))
import check_product  # noqa: E402

GOOD = {
    "SoftId": "notes_win", "Title": "Notes 安装", "Version": "3.1", "ProgramDirName": "Notes",
    "MainProg": "Notes.exe", "MainProgPath": "\\", "ShortcutName": "Notes",
}


def png(width, height):
    """A valid 8-bit RGBA PNG of that size, all transparent."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = (b"\x00" + b"\x00" * 4 * width) * height
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def config(**changes):
    document = dict(GOOD)
    for key, value in changes.items():
        if value is ...:
            document.pop(key, None)
        else:
            document[key] = value
    return json.dumps(document, ensure_ascii=False, indent=2).encode()


def good_text_with(member):
    """The good configuration's text with one more member written as given (raw JSON)."""
    text = json.dumps(GOOD, ensure_ascii=False)
    return (text[:-1] + ", " + member + "}").encode()


# The P-256 public key of RFC 6979 A.2.5, X then Y: a real point of the curve.
RFC6979_KEY = ("60fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
               "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299")
PACKAGE_KEY_ERROR = ('error: configfile.json: "PackageKey" must be the 128 hex digits that package-tool keygen '
                     'prints; the installer stops with "config data is empty" on any other value, an empty one too')

# Each broken folder: its files (name -> bytes, None for a file left out; the good configfile.json
# unless given) and the exact lines the checker prints for it.
CASES = [
    ("misspelt key", {"configfile.json": config(ProgramDirname="Notes")},
     ['error: configfile.json: unknown key "ProgramDirname" (did you mean "ProgramDirName"?)']),
    ("key spelt in another letter case", {"configfile.json": config(softid="x")},
     ['error: configfile.json: unknown key "softid" (did you mean "SoftId"?)']),
    ("key that resembles none", {"configfile.json": config(Colour="blue")},
     ['error: configfile.json: unknown key "Colour"']),
    ("trailing comma", {"configfile.json": b'{"SoftId": "a", "Title": "b",\n}'},
     ["error: configfile.json: not strict JSON: Expecting property name enclosed in double quotes at "
      "line 2, column 1 (a comma after the last member?)"]),
    ("comment", {"configfile.json": b'{"SoftId": "a" // the id\n}'},
     ["error: configfile.json: not strict JSON: Expecting ',' delimiter at line 1, column 16"]),
    ("single quotes", {"configfile.json": b"{'SoftId': 'a'}"},
     ["error: configfile.json: not strict JSON: Expecting property name enclosed in double quotes at "
      "line 1, column 2"]),
    ("NaN", {"configfile.json": good_text_with('"DotNetCheck": NaN')},
     ["error: configfile.json: not strict JSON: NaN is not JSON"]),
    ("duplicate key", {"configfile.json": good_text_with('"SoftId": "other"')},
     ['error: configfile.json: not strict JSON: key "SoftId" appears twice']),
    ("half a surrogate pair", {"configfile.json": good_text_with('"Description": "\\ud800"')},
     ["error: configfile.json: not strict JSON: a \\u escape of half a surrogate pair"]),
    ("second document after the first", {"configfile.json": config() + b"\n{}"},
     ["error: configfile.json: not strict JSON: Extra data at line 10, column 1"]),
    ("trailing comma in a list", {"configfile.json": good_text_with('"AssociatedExts": ["*.txt",]')},
     ["error: configfile.json: not strict JSON: Expecting value at line 1, column 190 (a comma after the last member?)"]),
    ("array document", {"configfile.json": b"[]"},
     ["error: configfile.json: the document must be one JSON object { ... }"]),
    ("empty file", {"configfile.json": b" \n"},
     ['error: configfile.json: empty; the installer would stop with "config data is empty"']),
    ("not UTF-8", {"configfile.json": '{"Title": "安装"}'.encode("gbk")},
     ["error: configfile.json: not UTF-8 (byte 11); save it as UTF-8"]),
    ("no configuration", {"configfile.json": None},
     ["error: configfile.json is missing; every product folder needs one"]),
    ("required keys missing or empty",
     {"configfile.json": config(SoftId=..., MainProg="", ShortcutName="  ")},
     ['error: configfile.json: "SoftId" is missing; it is required',
      'error: configfile.json: "MainProg" is empty; it is required',
      'error: configfile.json: "ShortcutName" is empty; it is required']),
    ("object and array where text and a Boolean are read",
     {"configfile.json": config(Description={"zh": "笔记"}, RunAsAdmin=[True])},
     ['error: configfile.json: "Description" is an object; it is read as text, so write it in quotes',
      'error: configfile.json: "RunAsAdmin" is an array; it is read as a Boolean: true or false']),
    ("Boolean and null where text is read",
     {"configfile.json": config(AssociatedExts=True, OpenWebsiteAfterInstall=None)},
     ['error: configfile.json: "AssociatedExts" is a Boolean; it is read as text, so write it in quotes',
      'error: configfile.json: "OpenWebsiteAfterInstall" is null; it is read as text, so write it in quotes']),
    ("the text false for a Boolean", {"configfile.json": config(RunAtStartup="false")},
     ['warning: configfile.json: "RunAtStartup" is the text "false", which reads as true (only "" and false '
      'are false); write false']),
    ("install folder name with a path in it", {"configfile.json": config(ProgramDirName="..\\Windows")},
     ['error: configfile.json: "ProgramDirName" is "..\\Windows"; it must be one plain file or folder name, '
      'without \\ / : * ? " < > | and not . or ..']),
    ("main program path without its backslashes", {"configfile.json": config(MainProgPath="bin")},
     ['error: configfile.json: "MainProgPath" is "bin"; it must start and end with \\ ("\\" for a main program '
      'directly in the install folder, "\\bin\\" for one in bin)']),
    ("main program path left out", {"configfile.json": config(MainProgPath=...)},
     ['error: configfile.json: "MainProgPath" is ""; it must start and end with \\ ("\\" for a main program '
      'directly in the install folder, "\\bin\\" for one in bin)']),
    ("channel fixed to a text that cannot be one", {"configfile.json": config(FromSource="网站")},
     ['warning: configfile.json: "FromSource" is "网站"; characters outside - to DEL make it "none", so the '
      "installer waits for a click"]),
    *[(f"package key: {what}", {"configfile.json": config(PackageKey=value)}, [PACKAGE_KEY_ERROR])
      for what, value in [("wrong length", "ab" * 32), ("empty", ""), ("a number", 12),
                          ("with the 04 prefix", "04" + RFC6979_KEY), ("off the curve", RFC6979_KEY[:-1] + "8"),
                          ("hex of no point", "0A" * 64), ("X only", RFC6979_KEY[:64])]],
    ("picture of the wrong size", {"btn_msg_over.png": png(100, 30), "logo.png": png(96, 96)},
     ["warning: btn_msg_over.png: 100 x 30; the layout draws it at 200 x 48"]),
    ("picture that is no PNG", {"bgpic.png": b"GIF89a" + bytes(40)},
     ["error: bgpic.png: not a PNG picture"]),
    ("picture under a name the installer never reads", {"btninst1.png": png(200, 48)},
     ['warning: btninst1.png: no picture of the installer has this name (did you mean "btninst01"?)']),
    ("file the build does not embed", {"logo.PNG": png(96, 96), "notes.txt": b"x"},
     ["warning: logo.PNG: not embedded; the build takes *.png, *.json, *.zip and *.lang (rename it to logo.png)",
      "warning: notes.txt: not embedded; the build takes *.png, *.json, *.zip and *.lang"]),
    ("package under another name", {"package.zip": b"PK\x05\x06" + bytes(18)},
     ["warning: package.zip: the installer reads an embedded package only as zipfile.zip"]),
]


class BrokenProductFolders(unittest.TestCase):
    def run_checker(self, files):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            files = {"configfile.json": config(), **files}
            for name, data in files.items():
                if data is not None:
                    (root / name).write_bytes(data)
            result = subprocess.run([sys.executable, str(CHECKER), folder], capture_output=True, text=True)
            return result.returncode, result.stdout.splitlines(), result.stderr

    def test_each_broken_folder_gets_its_exact_findings(self):
        for name, files, expected in CASES:
            with self.subTest(name):
                code, lines, stderr = self.run_checker(files)
                self.assertEqual(lines, expected)
                errors = any(line.startswith("error:") for line in expected)
                self.assertEqual(code, 1 if errors else 0)
                self.assertEqual("see docs/maker.md" in stderr, errors)

    def test_good_folders_pass_without_a_word(self):
        for name, files in [
            ("minimal: no pictures, the program's own stand in", {}),
            ("Booleans as the shipped product writes them",
             {"configfile.json": config(RunAtStartup="", DotNetCheck=0, XPSupported=False, RunAsAdmin="1",
                                        AutoStartInstall=None)}),
            ("version as a number, byte-order mark, nested main program",
             {"configfile.json": b"\xef\xbb\xbf" + config(Version=3, MainProgPath="\\bin\\")}),
            ("signed product", {"configfile.json": config(PackageKey=RFC6979_KEY)}),
            ("signed product, key in upper case", {"configfile.json": config(PackageKey=RFC6979_KEY.upper())}),
            ("every picture at its size",
             {f"{n}.png": png(w, h) for n, (w, h) in check_product.load_pictures().items()}),
        ]:
            with self.subTest(name):
                self.assertEqual(self.run_checker(files)[:2], (0, []))

    def test_shipped_and_fixture_folders_are_clean(self):
        for folder in [ROOT / "resources" / "product", ROOT / "tests" / "system" / "other_product"]:
            with self.subTest(folder.name):
                findings = check_product.check_product(folder)
                self.assertEqual((findings.errors, findings.warnings), ([], []))

    def test_json_cases_get_the_installers_verdict(self):
        # tests/installer/config_json_cases_test.cpp holds the installer's own parser (and its reading
        # of PackageKey) to the same verdicts: the installer can read a file exactly when its name
        # ends in _ok.
        cases = sorted((ROOT / "tests" / "tools" / "json_cases").glob("*.json"))
        self.assertGreaterEqual(len(cases), 10)
        for case in cases:
            with self.subTest(case.name):
                findings = check_product.Findings()
                document = check_product.parse_config(case.read_bytes(), findings)
                readable = document is not None and ("PackageKey" not in document or
                                                     check_product.is_p256_key(document["PackageKey"]))
                self.assertEqual(readable, case.stem.endswith("_ok"), findings.errors)

    def test_known_keys_are_those_the_installer_reads(self):
        # A key the installer reads but the check refuses would fail good products at build time; a
        # key the check knows but nothing reads would let a maker's setting do nothing silently.
        read = set()
        for source in (ROOT / "src" / "installer").glob("*.cpp"):
            read |= set(re.findall(r'Read\w*\(document, "(\w+)"\)', source.read_text(encoding="utf-8")))
        self.assertIn("SoftId", read, "the reader's calls were not found; update this pattern")
        self.assertEqual(read - set(check_product.KEYS), set())
        self.assertEqual(set(check_product.KEYS) - read, set())

    def test_picture_table_matches_the_shipped_pictures(self):
        # The program's own pictures are the whole table; the shipped product brings some of them.
        def sizes(folder):
            return {p.stem: check_product.png_size(p.read_bytes()) for p in (ROOT / "resources" / folder).glob("*.png")}
        table = check_product.load_pictures()
        self.assertEqual(sizes("pictures"), table)
        shipped = sizes("product")
        self.assertTrue(shipped)
        self.assertEqual(shipped, {name: table[name] for name in shipped})


if __name__ == "__main__":
    unittest.main()
