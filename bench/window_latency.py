#!/usr/bin/env python3
"""How long the installer's window keeps a message waiting during an install, under Wine: the
demo product plus 200 MB that do not compress (a package of the size that made the window stop
answering), with its SHA-256 announced by the lookup so that it is hashed too. A probe program
sends WM_NULL with SendMessageTimeout to the main window every 20 ms from the click on "一键安装"
until the window closes, and prints the number of samples, the median, the 99th percentile and
the longest wait in milliseconds. Not a test: the figures depend on the machine.

usage: bench/window_latency.py [--build BUILD] [--runs N]

BUILD is by default the windows build this machine tests (scripts/wine-bits): build/windows, or
build/windows-x64 where 32-bit programs cannot run."""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(root / "tests/e2e"))
import scenarios  # noqa: E402
from wine_env import wait_for, windows_build  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", default=str(windows_build()))
    p.add_argument("--runs", type=int, default=3)
    args = p.parse_args()
    build = Path(args.build).resolve()
    print(f"build: {build}")
    cache = (build / "CMakeCache.txt").read_text()
    m = re.search(r"^INSTALLER_API_BASE_URL:\w+=https?://[^/:]+:(\d+)", cache, re.M)
    scenarios.PORT = int(m.group(1)) if m else scenarios.PORT

    files = build / "bench-latency"
    package = files / "package.zip"
    if not package.exists():
        tree = files / "tree"
        shutil.rmtree(tree, ignore_errors=True)
        shutil.copytree(build / "demo/tree", tree)
        for i in range(4):
            (tree / f"data/large-{i}.bin").write_bytes(os.urandom(50 << 20))
        scenarios.pack(tree, package, build)
        shutil.rmtree(tree)
    digest = hashlib.sha256(package.read_bytes()).hexdigest()
    print(f"package {package.stat().st_size / 1e6:.0f} MB, sha256 announced")

    for n in range(1, args.runs + 1):
        run = scenarios.Run(argparse.Namespace(build=str(build), source=str(root), scenario="bench-latency"))
        try:
            run.serve_files(files)
            run.server.set(sha256=digest)
            exe = run.place_installer(scenarios.PLAIN_NAME)
            proc = run.prefix.start(exe)
            wid = run.window()
            probe = subprocess.Popen([run.prefix.loader, str(build / "tests/e2e/window_probe.exe"), "latency", "Brisklens", "600"],
                                     env=run.prefix.env, stdout=subprocess.PIPE, text=True)
            probe_started = time.time()
            time.sleep(1.5)
            started = time.time()
            run.prefix.click(wid, *scenarios.BTN_INSTALL)
            # When each stage began, seen from outside, to place the slow answers.
            stages = {"click": started}
            for name, seen in (("download", lambda: any(line.startswith("/files/") for line in run.server.log())),
                               ("extraction", lambda: run.install_dir().joinpath("data").exists()),
                               ("registration", lambda: (run.prefix.desktop / "Brisklens.lnk").exists()),
                               ("finish", lambda: run.install_dir().joinpath("unin.exe").exists())):
                wait_for(seen, 600, 0.05)
                stages[name] = time.time()
            took = stages["finish"] - started
            time.sleep(1)
            stages["close"] = time.time()
            run.prefix.click(wid, *scenarios.BTN_FINISH)
            proc.wait(timeout=120)
            out, _ = probe.communicate(timeout=120)
            lines = out.strip().splitlines()
            print(f"run {n}: install finished in {took:.1f} s; {lines[0] if lines else 'no probe output'}")
            print("    stages (s after the probe began): " +
                  ", ".join(f"{k} {v - probe_started:.1f}" for k, v in stages.items()))
            for line in lines[1:]:
                _, at, wait = line.split()
                print(f"    slow answer at {float(at) / 1000:.1f} s: {float(wait):.0f} ms")
        finally:
            run.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
