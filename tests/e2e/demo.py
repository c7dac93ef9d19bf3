#!/usr/bin/env python3
"""The main job: the shipped installer installs the demo product under Wine against the
development server as a user would: its window opens, "一键安装" is clicked, the download runs
slowly enough to be watched, and "安装完成" ends it. Screenshots are taken of the install page,
the progress page, the finish page and the started product; then this prints what the server
received, what was installed where, the registry entries and the screenshots taken.

usage: demo.py --build BUILD_DIR --source SOURCE_DIR"""

import argparse
import re
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import scenarios  # noqa: E402
from wine_env import wait_for  # noqa: E402


def api_port(build: Path) -> int:
    """The port of the API address the installer was built against."""
    cache = build / "CMakeCache.txt"
    m = re.search(r"^INSTALLER_API_BASE_URL:\w+=https?://[^/:]+:(\d+)", cache.read_text(), re.M) if cache.exists() else None
    return int(m.group(1)) if m else scenarios.PORT


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True)
    p.add_argument("--source", required=True)
    args = p.parse_args()
    args.scenario = "demo"
    scenarios.PORT = api_port(Path(args.build))
    run = scenarios.Run(args)
    try:
        # Slow enough that the bar can be watched moving (the package is about 0.5 MB).
        run.server.set(throttle=60000)
        exe = run.place_installer(scenarios.PLAIN_NAME)
        print(f"Installer:  {exe.name} (in the Wine user's Downloads), started by hand; \"一键安装\" clicked")
        proc = run.prefix.start(exe)
        wid = run.window()
        run.shot("install-page")
        run.prefix.click(wid, *scenarios.BTN_INSTALL)
        wait_for(lambda: any(line.startswith("/files/") for line in run.server.log()), 60, 0.1)
        time.sleep(2)
        run.shot("progress-page")
        wait_for(lambda: run.install_dir().joinpath("unin.exe").exists(), 120)
        time.sleep(2)
        run.shot("finish-page")
        run.prefix.click(wid, *scenarios.BTN_FINISH)
        code = proc.wait(timeout=60)
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
