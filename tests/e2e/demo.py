#!/usr/bin/env python3
"""The main job: the shipped installer, named like a download from the "web" channel, installs the
demo product unattended under Wine against the development server; then this prints what the
server received, what was installed where, the registry entries and the screenshots taken.

usage: demo.py --build BUILD_DIR --source SOURCE_DIR [--keep]"""

import argparse
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import scenarios  # noqa: E402
from wine_env import wait_for  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True)
    p.add_argument("--source", required=True)
    args = p.parse_args()
    args.scenario = "demo"
    run = scenarios.Run(args)
    try:
        exe = run.place_installer()
        print(f"Installer:  {exe.name} (in the Wine user's Downloads), started with \"astart\" (unattended)")
        proc = run.prefix.start(exe, "astart")
        for i in range(3):
            time.sleep(4)
            run.shot(f"during-install-{i}")
        code = proc.wait(timeout=180)
        wait_for(run.marker_lines, 15)
        time.sleep(2)
        run.shot("product-started")
        print(f"Exit code:  {code} ({'installed' if code == 0 else 'see README, exit codes'})")
        print("\nRequests the API server received, in order:")
        for line in run.server.log():
            print("   ", line)
        d = run.install_dir()
        print(f"\nInstalled into {d} :")
        for f in sorted(d.rglob("*")):
            if f.is_file():
                print(f"    {f.relative_to(d)}  ({f.stat().st_size} bytes)")
        print("\nShortcuts:")
        for f in [run.prefix.desktop / "Brisklens.lnk", *sorted((run.prefix.start_menu_programs / "Brisklens").glob("*"))]:
            print(f"    {'present' if f.exists() else 'MISSING'}  {f.relative_to(run.prefix.path)}")
        print("\nRegistry:")
        hklm, hkcu = run.hklm(), run.hkcu()
        for hive, reg, key in (("HKLM", hklm, scenarios.UNINSTALL_KEY), ("HKCU", hkcu, r"Software\brisklens_win"),
                               ("HKCU", hkcu, r"Software\vornhalt")):
            print(f"    {hive}\\{key}")
            for name, (typ, val) in sorted((reg.key(key) or {}).items()):
                print(f"        {name:16} {typ:10} {val!r}")
        print("\nThe product's own record of its start (C:\\orvatte-started.txt):")
        for line in run.marker_lines():
            print("   ", line.replace("\t", "  |  "))
        print(f"\nScreenshots: {run.shots}/")
        for f in sorted(run.shots.glob("*.png")):
            print(f"    {f.name}")
        print(f"\nThe Wine prefix stays for a look: WINEPREFIX={run.prefix.path}")
        return 0 if code == 0 else 1
    finally:
        # Keep the prefix (a cheap hard-linked copy) so the installation can be looked at.
        run.server.stop()
        run.prefix.kill_all()
        run.display.close()


if __name__ == "__main__":
    sys.exit(main())
