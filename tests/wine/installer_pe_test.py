#!/usr/bin/env python3
"""What Windows sees of an installer before it runs a line of it, read with binutils' objdump and
Python's XML parser, not with the project's own code: the machine type of its bitness, a GUI
program, a manifest that asks for administrator rights and names that processor, static imports
of KnownDLLs only (a DLL that is not one would be looked for beside the installer, in a Downloads
folder, with administrator rights), none of the delay-loaded system DLLs among them, and a size
within its budget. Runs no Windows code, so it checks the shipped 32-bit installer on machines
that cannot run it.

usage: installer_pe_test.py OBJDUMP EXE BITS MAX_BYTES DELAYLOADED_DLL...
exit 0 when every check holds, 1 with one FAIL line for each that does not."""

import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

# The DLLs that Windows 7 to 11 load only from System32 (KnownDLLs), and ntdll, which every
# process has before its first line runs.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll",
    "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "wldap32.dll", "ws2_32.dll",
}
FORMATS = {"32": "pei-i386", "64": "pei-x86-64"}
MANIFEST_PROCESSORS = {"32": "x86", "64": "amd64"}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"


def manifest_problems(data: bytes, bits: str) -> list[str]:
    start = data.find(b"<assembly")
    end = data.find(b"</assembly>", start)
    if start < 0 or end < 0:
        return ["no application manifest in the file"]
    try:
        root = ET.fromstring(data[start:end + len(b"</assembly>")].decode("utf-8"))
    except (ET.ParseError, UnicodeDecodeError) as e:
        return [f"the manifest is not well-formed XML: {e}"]
    levels = [e.get("level") for e in root.iter() if e.tag in (ASM_V1 + "requestedExecutionLevel",
                                                                   ASM_V3 + "requestedExecutionLevel")]
    problems = []
    if levels != ["requireAdministrator"]:
        problems.append(f"the manifest's requested execution level is {levels}, not ['requireAdministrator']")
    # Windows refuses to start a program whose manifest names another processor.
    processors = {e.get("processorArchitecture") for e in root.iter() if e.tag.endswith("assemblyIdentity")}
    if processors - {MANIFEST_PROCESSORS[bits], "*"}:
        problems.append(f"the manifest names the processors {sorted(processors)}, not {MANIFEST_PROCESSORS[bits]}")
    return problems


def main() -> int:
    objdump, exe, bits, max_bytes, delayloaded = sys.argv[1], Path(sys.argv[2]), sys.argv[3], int(sys.argv[4]), sys.argv[5:]
    data = exe.read_bytes()
    dump = subprocess.run([objdump, "-p", str(exe)], capture_output=True, text=True, check=True).stdout
    problems = []

    fmt = re.search(r"file format (\S+)", dump)
    if not fmt or fmt.group(1) != FORMATS[bits]:
        problems.append(f"file format {fmt and fmt.group(1)}, not {FORMATS[bits]} for a {bits}-bit build")
    subsystem = re.search(r"^Subsystem\s+([0-9a-f]+)", dump, re.M)
    if not subsystem or int(subsystem.group(1), 16) != 2:
        problems.append(f"subsystem {subsystem and subsystem.group(1)}, not 2 (Windows GUI)")

    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)}
    for dll in sorted(imports - KNOWN_DLLS):
        problems.append(f"imports {dll} statically, which is not a KnownDLL")
    for dll in delayloaded:
        if f"{dll}.dll" in imports:
            problems.append(f"imports {dll}.dll statically instead of on first use")

    problems += manifest_problems(data, bits)
    if len(data) > max_bytes:
        problems.append(f"{len(data)} bytes, over its budget of {max_bytes}")

    print(f"{exe.name}: {FORMATS[bits]}, {len(data)} bytes (budget {max_bytes}), static imports: "
          f"{', '.join(sorted(imports))}")
    for p in problems:
        print(f"FAIL: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
