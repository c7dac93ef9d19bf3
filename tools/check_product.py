#!/usr/bin/env python3
"""Checks a product folder before the installer is built from it.

Usage: check_product.py PRODUCT_DIR

Prints one line per finding and exits 1 when any is an error, 0 otherwise. Errors are what makes
the built installer fail or misbehave at run time: a configfile.json that is not strict JSON, an
unknown key (with the known key it most resembles), a required key that is missing or empty, a value
that the installer cannot read as its key's type, a picture that is no PNG. Warnings are what
probably is a mistake: a picture of another size than the layout draws, a file that the build
does not embed or that the installer never reads, a Boolean written as the string "false" (which
reads as true). docs/maker.md explains every key and picture.
"""
import difflib
import json
import math
import pathlib
import re
import struct
import sys

PICTURES = pathlib.Path(__file__).resolve().parents[1] / "resources" / "pictures.json"

TEXT, BOOLEAN = "text", "Boolean"

# Every key that the installer reads, with its type and whether the build insists on a non-empty
# value. Any other key is an error: a misspelt key would otherwise be ignored silently.
KEYS = {
    "SoftId": (TEXT, True),
    "Title": (TEXT, True),
    "Version": (TEXT, True),
    "FromSource": (TEXT, False),
    "BigTitle": (TEXT, False),
    "Description": (TEXT, False),
    "ProgramDirName": (TEXT, True),
    "MainProgPath": (TEXT, False),
    "MainProg": (TEXT, True),
    "ShortcutName": (TEXT, True),
    "OpenWebsiteAfterInstall": (TEXT, False),
    "OpenWebsiteAfterUninstall": (TEXT, False),
    "XPSupported": (BOOLEAN, False),
    "ConfigPathForUinstall": (TEXT, False),
    "AfterInstBat1": (TEXT, False),
    "AfterInstBat2": (TEXT, False),
    "ConfigFileDeletedBeforeInstall": (TEXT, False),
    "DotNetCheck": (BOOLEAN, False),
    "DotNetVerRequired": (TEXT, False),
    "RunAtStartup": (BOOLEAN, False),
    "StartupByService": (BOOLEAN, False),
    "ServiceExeFileName": (TEXT, False),
    "ServiceName": (TEXT, False),
    "ServiceDisplayName": (TEXT, False),
    "RunAsAdmin": (BOOLEAN, False),
    "ProductURL": (TEXT, False),
    "RegDllName": (TEXT, False),
    "RegDllName2": (TEXT, False),
    "RegDllName3": (TEXT, False),
    "ProtocalRootKeyName": (TEXT, False),
    "Protocalname": (TEXT, False),
    "AssociatedExts": (TEXT, False),
    "AutoStartInstall": (BOOLEAN, False),
    "PackageKey": (TEXT, False),
}

# File and folder names may not hold these (nor control characters).
NAME_FORBIDDEN = set('<>:"/\\|?*')

# What the build embeds from a product folder (cmake/ProductResources.cmake).
EMBEDDED_SUFFIXES = (".json", ".png", ".zip", ".lang")


class Findings:
    def __init__(self):
        self.errors, self.warnings = [], []

    def error(self, text):
        self.errors.append(text)

    def warning(self, text):
        self.warnings.append(text)


def suggestion(name, known):
    """' (did you mean "X"?)' for the known name closest to name, or nothing."""
    lower = {k.lower(): k for k in known}
    if name.lower() in lower:
        return f' (did you mean "{lower[name.lower()]}"?)'
    close = difflib.get_close_matches(name.lower(), list(lower), n=1, cutoff=0.6)
    return f' (did you mean "{lower[close[0]]}"?)' if close else ""


def load_pictures():
    """Every picture's (width, height) by name."""
    table = json.loads(PICTURES.read_text(encoding="utf-8"))["pictures"]
    return {p["name"]: (p["width"], p["height"]) for p in table}


class StrictJsonError(ValueError):
    pass


def pairs_without_duplicates(pairs):
    seen = {}
    for key, value in pairs:
        if key in seen:
            raise StrictJsonError(f'key "{key}" appears twice')
        seen[key] = value
    return seen


def refuse_constant(name):
    raise StrictJsonError(f"{name} is not JSON")


def finite_number(text):
    """Python reads 1e400 as infinity; the installer's parser refuses a number out of range."""
    value = float(text)
    if math.isinf(value):
        raise StrictJsonError(f"the number {text} is out of range")
    return value


def has_lone_surrogate(value):
    """Python's parser takes "\\ud800" alone; the installer's parser refuses it."""
    if isinstance(value, str):
        return any(0xD800 <= ord(c) <= 0xDFFF for c in value)
    if isinstance(value, dict):
        return any(has_lone_surrogate(k) or has_lone_surrogate(v) for k, v in value.items())
    if isinstance(value, list):
        return any(has_lone_surrogate(v) for v in value)
    return False


def parse_config(data, findings):
    """The document as a dict, or None after reporting why the installer could not read it."""
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]  # the installer skips a UTF-8 byte-order mark
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        findings.error(f"configfile.json: not UTF-8 (byte {e.start}); save it as UTF-8")
        return None
    if not text.strip():
        findings.error('configfile.json: empty; the installer would stop with "config data is empty"')
        return None
    try:
        document = json.loads(text, object_pairs_hook=pairs_without_duplicates, parse_constant=refuse_constant,
                              parse_float=finite_number)
    except json.JSONDecodeError as e:
        trailing = text[:e.pos].rstrip().endswith(",")
        findings.error(f"configfile.json: not strict JSON: {e.msg} at line {e.lineno}, column {e.colno}"
                       + (" (a comma after the last member?)" if trailing else ""))
        return None
    except StrictJsonError as e:
        findings.error(f"configfile.json: not strict JSON: {e}")
        return None
    if not isinstance(document, dict):
        findings.error("configfile.json: the document must be one JSON object { ... }")
        return None
    if has_lone_surrogate(document):
        findings.error("configfile.json: not strict JSON: a \\u escape of half a surrogate pair")
        return None
    return document


def json_kind(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "a Boolean"
    if isinstance(value, (int, float)):
        return "a number"
    if isinstance(value, str):
        return "text"
    return "an object" if isinstance(value, dict) else "an array"


def check_value(key, kind, value, findings):
    where = f'configfile.json: "{key}"'
    if kind == TEXT:
        if value is None or isinstance(value, (bool, dict, list)):
            findings.error(f"{where} is {json_kind(value)}; it is read as text, so write it in quotes")
        return
    if isinstance(value, (dict, list)):
        findings.error(f'{where} is {json_kind(value)}; it is read as a Boolean: true or false')
    elif isinstance(value, str) and value.strip().lower() in ("false", "0", "no", "off"):
        findings.warning(f'{where} is the text "{value}", which reads as true (only "" and false are false); '
                         "write false")


def text_of(value):
    """The text the installer reads for a text key."""
    if isinstance(value, str):
        return value
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"))


# Curve P-256 (FIPS 186-4): field prime and coefficient b of y^2 = x^3 - 3x + b.
P256_P = 2**256 - 2**224 + 2**192 + 2**96 - 1
P256_B = 0x5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B


def is_p256_key(value):
    """True for 128 hex digits, X then Y of a point of P-256: what the installer takes as PackageKey."""
    if not isinstance(value, str) or not re.fullmatch(r"[0-9A-Fa-f]{128}", value):
        return False
    x, y = int(value[:64], 16), int(value[64:], 16)
    return x < P256_P and y < P256_P and (y * y - (x ** 3 - 3 * x + P256_B)) % P256_P == 0


def is_plain_name(name):
    return (name not in ("", ".", "..") and not any(c in NAME_FORBIDDEN or ord(c) < 32 for c in name)
            and name == name.strip() and not name.endswith("."))


def check_config(folder, findings):
    path = folder / "configfile.json"
    if not path.is_file():
        findings.error("configfile.json is missing; every product folder needs one")
        return
    document = parse_config(path.read_bytes(), findings)
    if document is None:
        return

    for key, value in document.items():
        if key not in KEYS:
            findings.error(f'configfile.json: unknown key "{key}"{suggestion(key, KEYS)}')
            continue
        check_value(key, KEYS[key][0], value, findings)

    for key, (kind, required) in KEYS.items():
        if required and not text_of(document.get(key, "")).strip():
            state = "missing" if key not in document else "empty"
            findings.error(f'configfile.json: "{key}" is {state}; it is required')

    def text(key):
        value = document.get(key, "")
        return text_of(value) if not isinstance(value, (dict, list)) and value is not None else ""

    for key in ("SoftId", "ProgramDirName", "MainProg"):
        value = text(key)
        if value.strip() and not is_plain_name(value):
            findings.error(f'configfile.json: "{key}" is "{value}"; it must be one plain file or folder name, '
                           'without \\ / : * ? " < > | and not . or ..')
    path_part = text("MainProgPath")
    if not (path_part.startswith("\\") and path_part.endswith("\\")):
        findings.error(f'configfile.json: "MainProgPath" is "{path_part}"; it must start and end with \\ '
                       '("\\" for a main program directly in the install folder, "\\bin\\" for one in bin)')
    source = text("FromSource")
    if source and any(ord(c) < 45 or ord(c) > 128 for c in source):
        findings.warning(f'configfile.json: "FromSource" is "{source}"; characters outside - to DEL make it '
                         '"none", so the installer waits for a click')
    # The installer counts any PackageKey that is no key as a damaged configuration, an empty one too,
    # so that a slip cannot switch the signature check off (null, objects and arrays are reported above).
    key = document.get("PackageKey", ...)
    if key is not ... and key is not None and not isinstance(key, (dict, list)) and not is_p256_key(key):
        findings.error('configfile.json: "PackageKey" must be the 128 hex digits that package-tool keygen prints; '
                       'the installer stops with "config data is empty" on any other value, an empty one too')


def png_size(data):
    """(width, height) of a PNG, or None when data does not start like one."""
    if len(data) < 24 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def check_files(folder, findings):
    pictures = load_pictures()
    for path in sorted(folder.iterdir()):
        name = path.name
        if path.is_dir() or name.startswith("."):
            continue
        stem, suffix = path.stem, path.suffix
        if suffix not in EMBEDDED_SUFFIXES:
            lowered = suffix.lower() in EMBEDDED_SUFFIXES
            findings.warning(f"{name}: not embedded; the build takes *.png, *.json, *.zip and *.lang"
                             + (f" (rename it to {stem}{suffix.lower()})" if lowered else ""))
            continue
        if suffix == ".png":
            size = png_size(path.read_bytes())
            if size is None:
                findings.error(f"{name}: not a PNG picture")
            elif stem not in pictures:
                findings.warning(f"{name}: no picture of the installer has this name{suggestion(stem, pictures)}")
            elif size != pictures[stem]:
                findings.warning(f"{name}: {size[0]} x {size[1]}; the layout draws it at "
                                 f"{pictures[stem][0]} x {pictures[stem][1]}")
        elif suffix == ".zip" and stem != "zipfile":
            findings.warning(f"{name}: the installer reads an embedded package only as zipfile.zip")
        elif suffix == ".json" and stem != "configfile":
            findings.warning(f"{name}: the installer reads its configuration only from configfile.json")


def check_product(folder):
    findings = Findings()
    folder = pathlib.Path(folder)
    if not folder.is_dir():
        findings.error(f"{folder} is not a folder")
        return findings
    check_config(folder, findings)
    check_files(folder, findings)
    return findings


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_product.py PRODUCT_DIR")
    findings = check_product(sys.argv[1])
    for text in findings.errors:
        print(f"error: {text}")
    for text in findings.warnings:
        print(f"warning: {text}")
    if findings.errors:
        print(f"{sys.argv[1]}: {len(findings.errors)} error(s); see docs/maker.md", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
