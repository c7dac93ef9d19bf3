#!/usr/bin/env python3
"""How long the installer's window keeps a message waiting during an install, under Wine: the
demo product plus 200 MB that do not compress (a package of the size that made the window stop
answering), with its SHA-256 announced by the lookup so that it is hashed too. A probe program
sends WM_NULL with SendMessageTimeout to the main window every 20 ms from the click on "一键安装"
until the window closes, and prints the number of samples, the median, the 99th percentile and
the longest wait in milliseconds. Not a test: the figures depend on the machine.

usage: bench/window_latency.py [--build build/windows] [--runs N]"""

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
from wine_env import wait_for  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", default=str(root / "build/windows"))
    p.add_argument("--runs", type=int, default=3)
    args = p.parse_args()
    build = Path(args.build).resolve()
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
            probe = subprocess.Popen(["wine", str(build / "tests/e2e/window_probe.exe"), "latency", "Brisklens", "600"],
                                     env=run.prefix.env, stdout=subprocess.PIPE, text=True)
            time.sleep(1.5)
            started = time.time()
            run.prefix.click(wid, *scenarios.BTN_INSTALL)
            done = wait_for(lambda: run.install_dir().joinpath("unin.exe").exists(), 600, 0.2)
            took = time.time() - started
            time.sleep(1)
            run.prefix.click(wid, *scenarios.BTN_FINISH)
            proc.wait(timeout=120)
            out, _ = probe.communicate(timeout=120)
            print(f"run {n}: install {'finished' if done else 'DID NOT FINISH'} in {took:.1f} s; {out.strip()}")
        finally:
            run.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
