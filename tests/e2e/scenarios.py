#!/usr/bin/env python3
"""End-to-end scenarios: the real installer under Wine on a private Xvfb, in a private copy of
the prepared prefix, against the development server; checked from the outside (the server's
request log, the prefix's registry and files, the process's exit code, screenshots).

usage: scenarios.py --build BUILD_DIR --source SOURCE_DIR SCENARIO
Screenshots go to BUILD_DIR/e2e/<scenario>/shots/<step>.png."""

import argparse
import hashlib
import json
import os
import re
import shutil
import ssl
import signal
import subprocess
import sys
import time
import urllib.request
from pathlib import Path

from test_ca import TestCa
from wine_env import Display, WinePrefix, wait_for, wine_loader

PORT = 18765  # the port of the address the installer under test is built against (--port)
TLS_PORT = 18865  # the https API port that installer-tls.exe is built against (--tls-port)
SOFT_ID = "brisklens_win"
UNINSTALL_KEY = r"Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + SOFT_ID
INSTALLER_NAME = "Brisklens-k123_web(1).exe"
# A name without a channel: no valid source, so the installer waits for "一键安装" instead of
# starting by itself.
PLAIN_NAME = "Brisklens.exe"
# The installer built from tests/e2e/minimal_product: a configuration and a language text, no
# pictures.
MINIMAL_NAME = "Minimal.exe"

# Exit codes of the installer (src/installer/exit_codes.h).
EXIT = {"installed": 0, "cancelled": 1, "config_empty": 2, "opened_installed": 4, "create_res_file": 6,
        "get_soft_download_info": 7, "url_empty": 8, "download_zip_fail": 9, "unzip_failed": 11, "uninstalled": 12,
        "install_dir_refused": 14, "nothing_installed_here": 15, "already_running": 16}

# Centres of controls in the 620-pixel-wide main window.
BTN_INSTALL = (313, 330)
BTN_FINISH = (288, 330)
BTN_UNINSTALL = (303, 326)
BTN_UNIN_EXIT = (288, 324)
CLOSE = (600, 14)
TOGGLE = (540, 385)
EDIT_PATH = (266, 453)  # the folder field, once the custom-install row is open
# The skinned message dialog's "确定", the dialog centred on the 1024 x 768 screen.
MSG_OK = ("519", "451")
MSG_TITLE = (600, 300)  # a point of its title bar, over the main window's header
CONFIRM_NO = ("655", "450")  # "否" of the skinned confirmation
OPEN_INSTALLED = ("523", "450")  # "打开软件" of the already-installed question
REINSTALL = ("654", "451")  # "重新安装软件" of the already-installed question


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)
    print(f"  ok  {what}")


class Server:
    """A development server of this run: plain http on port, or https with a PEM (certificate and
    key) when tls is given; port 0 lets the system choose (see .port). With sign_key its lookups
    carry the maker's signature "sig"."""

    def __init__(self, source: Path, files: Path, log: Path, port: int | None = None, tls: Path | None = None,
                 sign_key: Path | None = None):
        port_file = log.with_suffix(".port")
        port_file.unlink(missing_ok=True)
        args = [sys.executable, str(source / "tools/devserver/devserver.py"), "--port", str(PORT if port is None else port),
                "--port-file", str(port_file), "--files", str(files), "--log", str(log)]
        if tls:
            args += ["--tls", str(tls)]
        if sign_key:
            args += ["--sign-key", str(sign_key)]
        self.scheme = "https" if tls else "http"
        self.proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: port_file.exists() or self.proc.poll() is not None, 15) or self.proc.poll() is not None:
            raise Failure(f"development server did not start (is port {port} taken?)")
        self.port = int(port_file.read_text())
        if not wait_for(lambda: self._ping(), 15):
            raise Failure("development server does not answer")

    def _ping(self):
        try:
            self.control("reset")
            return True
        except OSError:
            return False

    def control(self, what: str) -> str:
        # The control channel is the test's own: it does not judge the certificate under test.
        context = ssl._create_unverified_context() if self.scheme == "https" else None
        with urllib.request.urlopen(f"{self.scheme}://127.0.0.1:{self.port}/_control/{what}", timeout=5,
                                    context=context) as r:
            return r.read().decode()

    def set(self, **settings):
        self.control("set?" + "&".join(f"{k}={v}" for k, v in settings.items()))

    def log(self) -> list[str]:
        return [line for line in self.control("log").splitlines() if line]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)


class Run:
    def __init__(self, args):
        self.build = Path(args.build).resolve()
        self.source = Path(args.source).resolve()
        self.name = args.scenario
        self.work = self.build / "e2e" / self.name
        shutil.rmtree(self.work, ignore_errors=True)
        self.shots = self.work / "shots"
        self.display = Display()
        # A pristine prefix of its own: the Wine unit tests leave registry keys in theirs.
        template = self.build / "e2e-prefix"
        subprocess.run([str(self.source / "scripts/wine-prefix"), str(template)], check=True,
                       env=dict(os.environ, DISPLAY=self.display.name, WINELOADER=wine_loader()))
        self.prefix = WinePrefix(template, self.work / "prefix", self.display)
        # Every lookup carries "sig", made with the key of installer-signed-package.exe; the other
        # installers carry no key and must not look at it.
        self.sign_key = self.build / "signing" / "package-key.pem"
        self.server = Server(self.source, self.build / "demo", self.work / "requests.log", sign_key=self.sign_key)
        self.servers = [self.server]
        self.downloads = self.prefix.user_home / "Downloads"
        self.shot_no = 0
        self.rounds = getattr(args, "rounds", 1)

    def close(self):
        for server in self.servers:
            server.stop()
        self.prefix.remove()
        self.display.close()

    def shot(self, step: str) -> Path:
        self.shot_no += 1
        path = self.prefix.screenshot(self.shots / f"{self.shot_no:02d}-{step}.png")
        print(f"  shot {path}")
        return path

    def serve_files(self, folder: Path):
        """The development server serves packages from folder from now on."""
        self.server.stop()
        self.servers.remove(self.server)
        self.server = Server(self.source, folder, self.work / "requests.log")
        self.servers.append(self.server)

    def place_installer(self, name=INSTALLER_NAME, exe="installer.exe") -> Path:
        target = self.downloads / name
        shutil.copy(self.build / exe, target)
        return target

    def run_to_end(self, exe: Path, *args, timeout=180) -> int:
        proc = self.prefix.start(exe, *args)
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.shot("timeout")
            raise Failure(f"{exe.name} did not end within {timeout} s")

    def window(self, timeout=40, title="Brisklens") -> str:
        wid = self.prefix.find_window(title, timeout)
        if not wid:
            self.shot("no-window")
            raise Failure("installer window not shown")
        time.sleep(2.5)  # Wine takes input about two seconds after a first window appears
        return wid

    # --- what the outside world sees ---------------------------------------------------------
    def reports(self) -> list[str]:
        return [line for line in self.server.log() if line.startswith("/api/")]

    def install_dir(self) -> Path:
        return self.prefix.local_appdata / "Brisklens"

    # Wine writes its registry files when its server ends: reading them ends every process of
    # the prefix (the started product among them).
    def hklm(self):
        self.prefix.kill_all()
        return self.prefix.registry("HKLM")

    def hkcu(self):
        self.prefix.kill_all()
        return self.prefix.registry("HKCU")

    def probe(self, *args: str) -> str:
        """What another program or the system does to the installer's window (window_probe.exe)."""
        exe = self.build / "tests/e2e/window_probe.exe"
        r = subprocess.run([self.prefix.loader, str(exe), *args], env=self.prefix.env, capture_output=True, text=True, timeout=180)
        return r.stdout.strip()

    def run_folders(self) -> list[Path]:
        """The package folders of this product's runs in the user's temporary folder."""
        return sorted((self.prefix.user_home / "Temp").glob("inst-brisklens_win-*"))

    def marker_lines(self) -> list[str]:
        f = self.prefix.path / "drive_c/orvatte-started.txt"
        return f.read_text(encoding="utf-8").splitlines() if f.exists() else []


def param(query_line: str, name: str) -> str | None:
    m = re.search(r"[?&]" + re.escape(name) + r"=([^&]*)", query_line)
    return m.group(1) if m else None


def check_installed(run: Run):
    started = wait_for(run.marker_lines, 20)
    check(bool(started) and "Orvatte.exe" in started[-1], f"product started: {started[-1:]}")
    d = run.install_dir()
    for rel in ("Orvatte.exe", "default.ico", "unin.exe", "data/readme.txt", "data/skins/classic/skin.txt",
                ".orvatte-profile", "data/笔记示例.txt"):
        check((d / rel).is_file(), f"installed file {rel}")
    check((run.prefix.desktop / "Brisklens.lnk").is_file(), "desktop link")
    menu = run.prefix.start_menu_programs / "Brisklens"
    check((menu / "Brisklens.lnk").is_file(), "start-menu link to the program")
    check((menu / "卸载软件.lnk").is_file(), "start-menu link 卸载软件")
    reg = run.hklm()
    entry = reg.key(UNINSTALL_KEY)
    check(entry is not None, "uninstall entry in the 32-bit view")
    win_dir = "C:\\users\\" + run.prefix.user_home.name + "\\AppData\\Local\\Brisklens"
    check(entry.get("displayname") == ("REG_SZ", "Brisklens"), "DisplayName")
    check(entry.get("displayicon") == ("REG_SZ", f'"{win_dir}\\Orvatte.exe"'), f"DisplayIcon {entry.get('displayicon')}")
    check(entry.get("exepath") == ("REG_SZ", f'"{win_dir}\\Orvatte.exe"'), "ExePath")
    check(entry.get("uninstallstring") == ("REG_SZ", f'"{win_dir}\\unin.exe"'), "UninstallString, quoted")
    check(entry.get("displayversion") == ("REG_SZ", "1.0.0"), "DisplayVersion is the server's version")
    check(entry.get("publisher") == ("REG_SZ", " "), "Publisher is one blank")


# --- scenarios -------------------------------------------------------------------------------

def unattended_install(run: Run):
    # What a killed run left: its package folder, nobody holding it. The next run removes it.
    left = run.prefix.user_home / "Temp" / "inst-brisklens_win-00112233aabbccdd"
    left.mkdir(parents=True)
    (left / "8899aabbccddeeff.zip").write_bytes(b"half a package")
    exe = run.place_installer()
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    check(run.run_folders() == [], f"no package folder left, the killed run's neither: {run.run_folders()}")
    reports = run.reports()
    for r in reports:
        print("     ", r)
    names = [r.split("?")[0] for r in reports]
    check(names[-1] == "/api/report/event" and param(reports[-1], "event_id") == "install_end", "install_end last")
    # "preinstall" and "install" go out on workers, so they may reach the server in any order,
    # even after the lookup that the installer sends once both were started.
    check(sorted(names[:-1]) == ["/api/config/soft_down", "/api/report/install", "/api/report/preinstall"],
          "preinstall, install and the lookup, then nothing else before install_end")
    check(param(reports[names.index("/api/report/install")], "curr_ver") == "1.0.1",
          "install carries the configured version")
    for r in reports:
        if r.startswith("/api/report"):
            check(param(r, "source") == "web" and param(r, "kid") == "123" and param(r, "soft_id") == SOFT_ID,
                  f"source web, kid 123 in {r.split('?')[0]}")
    end = reports[-1]
    check(param(end, "curr_ver") == "1.0.0", "server's version as curr_ver after the lookup")
    check_installed(run)
    hkcu = run.hkcu()
    guid = hkcu.value(r"Software\vornhalt", "guid")
    check(guid is not None and re.fullmatch(r"[0-9A-F]{32}[0-9a-f]{2}", guid[1]), f"device code stored {guid}")
    check(all(param(r, "device_code") == guid[1] for r in reports if "device_code=" in r), "device code in reports")
    check(hkcu.value(r"Software\brisklens_win", "source") == ("REG_SZ", "web"), "source recorded")
    check(hkcu.value(r"Software\brisklens_win", "kid") == ("REG_SZ", "123"), "kid recorded")


def interactive_install(run: Run):
    run.server.set(throttle=150000)
    exe = run.place_installer(PLAIN_NAME)
    proc = run.prefix.start(exe)
    wid = run.window()
    run.shot("install-page")
    run.prefix.click(wid, *TOGGLE)
    time.sleep(1.5)
    run.shot("custom-install")
    check(run.prefix.window_geometry(wid)[3] == 484, "custom install opens the folder row (484 high)")
    run.prefix.click(wid, *BTN_INSTALL)
    a = None
    for _ in range(40):
        time.sleep(0.7)
        a = run.shot("progress")
        log = run.reports()
        if any(line.startswith("/api/config/soft_down") for line in log):
            break
    time.sleep(1.5)
    b = run.shot("progress-later")
    check(a.read_bytes() != b.read_bytes(), "progress moves between screenshots")
    wait_for(lambda: run.install_dir().joinpath("unin.exe").exists(), 120)
    time.sleep(2)
    run.shot("finish-page")
    run.prefix.click(wid, *BTN_FINISH)
    code = proc.wait(timeout=60)
    check(code == EXIT["installed"], f"exit code {code} = installed")
    reports = run.reports()
    ends = [i for i, r in enumerate(reports) if param(r, "event_id") == "install_end"]
    lookup = [i for i, r in enumerate(reports) if r.startswith("/api/config/soft_down")]
    check(len(ends) == 1 and lookup and ends[0] > lookup[0], f"install_end sent after the install: {reports}")
    check_installed(run)


def press_until_exit(proc, press) -> int:
    """Presses a button until the installer ends (on a busy machine the page or dialog that has
    it may come later than the first press); the button lies on nothing else that reacts before."""
    deadline = time.time() + 90
    while proc.poll() is None and time.time() < deadline:
        try:
            press()
        except RuntimeError:
            pass  # the window went away with the previous press while the process is still ending
        time.sleep(2)
    return proc.wait(timeout=30)


def confirm_message_until_exit(run: Run, proc, point=MSG_OK) -> int:
    return press_until_exit(proc, lambda: run.prefix.click_screen(*point))


def close_question(run: Run):
    """Closing before installing asks; No keeps the window, reports nothing, and the very next
    click on "一键安装" starts the install. --rounds N repeats it in N fresh runs."""
    run.server.set(throttle=20000)  # the install is ended long before anything is written
    exe = run.place_installer(PLAIN_NAME)
    for n in range(1, run.rounds + 1):
        proc = run.prefix.start(exe)
        wid = run.window()
        run.prefix.click(wid, *CLOSE)
        time.sleep(2)
        run.shot(f"close-question-{n}")
        run.prefix.click_screen(*CONFIRM_NO)
        time.sleep(1.5)
        check(proc.poll() is None, f"round {n}: No keeps the installer open")
        run.shot(f"after-no-{n}")
        check(not any("install_end" in r for r in run.reports()), f"round {n}: nothing reported on No")
        run.prefix.click(wid, *BTN_INSTALL)
        started = wait_for(lambda: any(r.startswith("/api/report/install?") for r in run.reports()), 20)
        if not started:
            run.shot(f"click-ignored-{n}")
        check(started, f"round {n}: the first click on 一键安装 after No starts the install")
        run.prefix.kill_all()
        run.server.control("clear-log")


def close_during_install(run: Run):
    """During the install, a shutdown is refused and a close from another program, from the
    taskbar or from Alt+F4 is ignored; install_end goes out once, when the window really closes."""
    run.server.set(throttle=40000)
    exe = run.place_installer(PLAIN_NAME)
    proc = run.prefix.start(exe)
    wid = run.window()
    run.prefix.click(wid, *BTN_INSTALL)
    check(wait_for(lambda: any(line.startswith("/files/") for line in run.server.log()), 60), "the download has begun")
    answer = run.probe("query-end-session", "Brisklens")
    check(answer == "answer 0", f"a shutdown is refused during the install ({answer})")
    check(run.probe("close", "Brisklens") == "", "another program posts WM_CLOSE")
    check(run.probe("syscommand-close", "Brisklens") == "", "the taskbar's close posts SC_CLOSE")
    x, y, _, _ = run.prefix.window_geometry(wid)
    run.prefix.xdotool("mousemove", str(x + 300), str(y + 200))
    time.sleep(0.3)
    run.prefix.xdotool("key", "alt+F4")
    # The three requests reached the window while the install ran: nothing is installed yet.
    still_running = not (run.install_dir() / "unin.exe").exists()
    run.shot("after-close-requests")
    check(still_running, "the requests came while the install was still running")
    check(proc.poll() is None and run.prefix.find_window("Brisklens", 5), "the window stays")
    check(not any("install_end" in r for r in run.reports()), "no install_end during the install")
    check(wait_for(lambda: run.install_dir().joinpath("unin.exe").exists(), 120), "the install went on")
    time.sleep(2)
    run.shot("finish-page")
    answer = run.probe("query-end-session", "Brisklens")
    check(answer == "answer 1", f"after the install a shutdown may go ahead ({answer})")
    check(not any("install_end" in r for r in run.reports()), "still no install_end before the window closes")
    run.prefix.click(wid, *BTN_FINISH)
    code = proc.wait(timeout=60)
    check(code == EXIT["installed"], f"exit code {code} = installed")
    ends = [r for r in run.reports() if param(r, "event_id") == "install_end"]
    check(len(ends) == 1, f"one install_end when the window closed: {ends}")
    check_installed(run)


def second_instance(run: Run):
    """A second run of the product while the first shows its window: the first comes to the
    front, the second ends with its own exit code and sends nothing."""
    exe = run.place_installer(PLAIN_NAME)
    first = run.prefix.start(exe)
    run.window()
    first_pid = run.probe("foreground")
    check("Brisklens" in first_pid, f"the first run's window is in front: {first_pid}")
    other = run.prefix.start(Path("notepad.exe"), cwd=run.work)
    check(bool(run.prefix.find_window("Notepad", 40)), "another program's window opened")
    time.sleep(2)
    check("Notepad" in run.probe("foreground"), "and it is in front now")
    preinstalls = sum("/api/report/preinstall" in r for r in run.reports())
    for name in (PLAIN_NAME, INSTALLER_NAME):
        # The first run's own file is started again as it is: copying over a running program's
        # file would change the pages it has yet to read.
        second = exe if name == PLAIN_NAME else run.place_installer(name)
        code = run.run_to_end(second, timeout=60)
        check(code == EXIT["already_running"], f"{name}: exit code {code} = already running")
        check(run.probe("foreground") == first_pid, f"{name}: the first run's window is in front again")
    # Where the other program's window covered it, the installer's blue header shows again.
    r, g, b = run.prefix.pixel(run.shot("first-run-in-front"), 400, 250)
    check(b > r + 60, f"the first run's window is on top on the screen ({r}, {g}, {b})")
    check(sum("/api/report/preinstall" in r for r in run.reports()) == preinstalls, "the second runs reported nothing")
    check(first.poll() is None, "the first run goes on")
    other.kill()


def failure(settings: dict, reason: str, exit_name: str, answer_retry_no=False, server_down=False):
    """An attended install that fails: its install_fail report, the message, and the end without
    install_end (a fatal failure quits without closing the window)."""
    def scenario(run: Run):
        run.server.set(**settings)
        exe = run.place_installer(PLAIN_NAME)
        proc = run.prefix.start(exe)
        wid = run.window()
        if server_down:
            run.server.stop()
        run.prefix.click(wid, *BTN_INSTALL)
        if answer_retry_no:
            time.sleep(5)
            run.shot("retry-question")
            run.prefix.key("n")
        time.sleep(6)
        run.shot("message")
        code = confirm_message_until_exit(run, proc)
        for line in run.server.log() if not server_down else []:
            print("     ", line)
        check(code == EXIT[exit_name], f"exit code {code} = {exit_name}")
        check(run.run_folders() == [], f"the package folder goes after a failure too: {run.run_folders()}")
        if server_down:
            return
        reports = run.reports()
        fails = [r for r in reports if r.startswith("/api/report/install_fail")]
        check(len(fails) == 1 and param(fails[0], "reason") == reason and param(fails[0], "err") == "0",
              f"install_fail reason={reason} err=0: {fails}")
        check("&proc=&" in fails[0], "empty proc parameter")
        check(not any("install_end" in r for r in reports), "no install_end after a fatal failure")
    return scenario


def unattended_failure(run: Run):
    """Unattended, the window is closed after a failure too: install_end follows install_fail."""
    run.server.set(pkg_status="404")
    exe = run.place_installer()
    proc = run.prefix.start(exe, "astart")
    time.sleep(8)
    run.shot("message")
    code = confirm_message_until_exit(run, proc)
    check(code == EXIT["download_zip_fail"], f"exit code {code} = download_zip_fail")
    names = [r.split("?")[0] + ("#" + (param(r, "event_id") or "")) for r in run.reports()]
    check(names[-2:] == ["/api/report/install_fail#", "/api/report/event#install_end"],
          f"install_end after install_fail: {names}")


def download_resumed(run: Run):
    """A download dropped half way is resumed with a range request and the install succeeds."""
    run.server.set(drop_at=150000)
    exe = run.place_installer()
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    downloads = [line for line in run.server.log() if line.startswith("/files/")]
    check(len(downloads) >= 2, f"the package was asked for again after the drop: {downloads}")
    check((run.install_dir() / "data/blob.bin").stat().st_size == 300000, "the large file arrived whole")


def installed_version(run: Run) -> str | None:
    """Which version of the demo package the install folder holds: "v1", "v2", or None when its
    data files match neither (or are missing)."""
    d = run.install_dir()
    for version, tree in (("v1", "tree"), ("v2", "tree-v2")):
        source = run.build / "demo" / tree
        if all((d / rel).is_file() and (d / rel).read_bytes() == (source / rel).read_bytes()
               for rel in ("data/blob.bin", "data/readme.txt", "Orvatte.exe")):
            return version
    return None


def resume(settings: dict, version: str | None, requests: int):
    """A download dropped at 150000 bytes whose resume meets a server that changed the package or
    breaks HTTP's range rules: the installed files are exactly one version of the package, or the
    install fails with download_zip_fail and nothing is installed."""
    def scenario(run: Run):
        run.server.set(**{"drop_at": 150000, **settings})
        exe = run.place_installer()
        if version is None:
            proc = run.prefix.start(exe, "astart")
            wait_for(lambda: any(r.startswith("/api/report/install_fail") for r in run.reports()), 120)
            time.sleep(2)
            run.shot("message")
            code = confirm_message_until_exit(run, proc)
        else:
            code = run.run_to_end(exe, "astart")
        downloads = [line for line in run.server.log() if line.startswith("/files/")]
        check(len(downloads) == requests, f"{requests} package requests: {downloads}")
        if version is None:
            check(code == EXIT["download_zip_fail"], f"exit code {code} = download_zip_fail")
            fails = [r for r in run.reports() if r.startswith("/api/report/install_fail")]
            check(len(fails) == 1 and param(fails[0], "reason") == "download_zip_fail",
                  f"install_fail reason=download_zip_fail: {fails}")
            check(not (run.install_dir() / "Orvatte.exe").exists(), "nothing installed")
        else:
            check(code == EXIT["installed"], f"exit code {code} = installed")
            check(installed_version(run) == version, f"installed files are exactly package {version}")
    return scenario


# --- https -----------------------------------------------------------------------------------

def trust_test_ca(run: Run) -> TestCa:
    """A CA made now, trusted in this run's prefix only (its LocalMachine Root store)."""
    ca = TestCa(run.work / "tls")
    helper = run.build / "tests/e2e/trust_ca.exe"
    code = run.prefix.start(helper, "Z:" + str(ca.der).replace("/", "\\")).wait(timeout=120)
    check(code == 0, f"test CA trusted in the prefix (trust_ca exit {code})")
    return ca


def certificate(ca: TestCa, kind: str) -> Path:
    if kind == "good":
        return ca.server("good")
    if kind == "untrusted":
        return ca.self_signed("untrusted")
    if kind == "wrong_host":
        return ca.server("wrong_host", dns="wrong.example")
    if kind == "expired":
        return ca.server("expired", start="20200101000000Z", end="20200102000000Z")
    raise ValueError(kind)


def https_api(run: Run, pem: Path) -> Server:
    """The API server over https on the port installer-tls.exe is built against; the plain one
    stays up to see whether anything falls back to it."""
    api = Server(run.source, run.build / "demo", run.work / "api.log", port=TLS_PORT, tls=pem)
    run.servers.append(api)
    return api


def run_failing_install(run: Run, exe: Path) -> int:
    proc = run.prefix.start(exe, "astart")
    time.sleep(6)
    run.shot("message")
    return confirm_message_until_exit(run, proc)


def https_install(run: Run):
    ca = trust_test_ca(run)
    plain = run.server
    run.server = https_api(run, certificate(ca, "good"))
    exe = run.place_installer(exe="installer-tls.exe")
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    log = run.server.log()
    check(any(line.startswith("/files/package.zip") for line in log), "package downloaded over https")
    check(any("install_end" in line for line in log), "reports over https")
    check(plain.log() == [], "nothing went to a plain-http server")
    check_installed(run)


def https_package_refused(kind: str, plain_url=False):
    """The API server is sound; the package address it gives is not: a certificate that must be
    refused, or (plain_url) an http address. The install fails with download_zip_fail, reported to
    the API server, and no package request reaches the package server."""
    def scenario(run: Run):
        ca = trust_test_ca(run)
        plain = run.server
        run.server = https_api(run, certificate(ca, "good"))
        if plain_url:
            package = plain
            run.server.set(url=f"http://127.0.0.1:{plain.port}/files/package.zip")
        else:
            package = Server(run.source, run.build / "demo", run.work / "package.log", port=0,
                             tls=certificate(ca, kind))
            run.servers.append(package)
            run.server.set(url=f"https://localhost:{package.port}/files/package.zip")
        code = run_failing_install(run, run.place_installer(exe="installer-tls.exe"))
        check(code == EXIT["download_zip_fail"], f"exit code {code} = download_zip_fail")
        fails = [r for r in run.reports() if r.startswith("/api/report/install_fail")]
        check(len(fails) == 1 and param(fails[0], "reason") == "download_zip_fail",
              f"install_fail reason=download_zip_fail: {fails}")
        check(not any(line.startswith("/files/") for line in package.log()), "no package request was made")
        check(not (run.install_dir() / "Orvatte.exe").exists(), "nothing installed")
    return scenario


def https_api_refused(kind: str):
    """The API server's certificate must be refused: the lookup fails (url_empty, with its message
    and exit code), and no request, report or otherwise, reaches any server."""
    def scenario(run: Run):
        ca = trust_test_ca(run)
        plain = run.server
        api = https_api(run, certificate(ca, kind))
        code = run_failing_install(run, run.place_installer(exe="installer-tls.exe"))
        check(code == EXIT["url_empty"], f"exit code {code} = url_empty")
        check(api.log() == [] and plain.log() == [], f"no request reached a server: {api.log() + plain.log()}")
        check(not (run.install_dir() / "Orvatte.exe").exists(), "nothing installed")
    return scenario


def embedded_package(run: Run):
    exe = run.place_installer(exe="installer-embedded.exe")
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    log = run.server.log()
    check(not any(line.startswith("/api/config/soft_down") or line.startswith("/files/") for line in log),
          "no lookup and no download")
    check((run.install_dir() / "Orvatte.exe").is_file(), "installed from the embedded package")
    # The uninstaller is the installer without its package, and it still uninstalls. Sizes alone
    # cannot show it: the section padding of either file may take up some of the package's bytes.
    unin = run.install_dir() / "unin.exe"
    package = (run.build / "demo" / "package.zip").read_bytes()
    sizes = {"installer": exe.stat().st_size, "unin.exe": unin.stat().st_size, "package": len(package)}
    print(f"  sizes in bytes: {sizes}")
    check(package in exe.read_bytes(), "the installer carries the package")
    check(package[:4096] not in unin.read_bytes() and sizes["unin.exe"] < sizes["installer"],
          "unin.exe does not carry the package")
    run.prefix.kill_all()
    code = run_uninstaller(run, unin)
    check(code == EXIT["uninstalled"], f"exit code {code} = uninstalled by the smaller unin.exe")
    check(not (run.install_dir() / "Orvatte.exe").exists(), "installed files removed")


def install_then(run: Run):
    exe = run.place_installer()
    check(run.run_to_end(exe, "astart") == EXIT["installed"], "installed first")
    run.prefix.kill_all()
    run.server.control("clear-log")
    return exe


def already_installed(run: Run):
    exe = install_then(run)
    before = len(run.marker_lines())
    proc = run.prefix.start(exe)
    time.sleep(6)
    run.shot("already-installed-question")
    code = confirm_message_until_exit(run, proc, OPEN_INSTALLED)
    check(code == EXIT["opened_installed"], f"exit code {code} = opened the installed program")
    check(wait_for(lambda: len(run.marker_lines()) > before, 20), "installed program started")
    check(run.reports() == [], f"no reports: {run.reports()}")


def run_uninstaller(run: Run, unin: Path, close_instead=False, main_program="Orvatte.exe", title="Brisklens") -> int:
    """Starts unin.exe, presses "卸载软件", and leaves the finish page with "退出" (or the close
    button); the uninstaller's exit code."""
    proc = run.prefix.start(unin)
    wid = run.window(title=title)
    run.shot("uninstall-page")
    run.prefix.click(wid, *BTN_UNINSTALL)
    # The finish page follows the deletion of the installed files.
    wait_for(lambda: not (unin.parent / main_program).exists(), 60)
    time.sleep(1)
    run.shot("uninstall-finish")
    return press_until_exit(proc, lambda: run.prefix.click(wid, *(CLOSE if close_instead else BTN_UNIN_EXIT)))


def uninstall(run: Run, close_instead=False):
    install_then(run)
    unin = run.install_dir() / "unin.exe"
    code = run_uninstaller(run, unin, close_instead)
    check(code == EXIT["uninstalled"], f"exit code {code} = uninstalled")
    # Before anything ends the prefix's processes: the self-deleting script runs after the exit.
    gone = wait_for(lambda: not unin.exists(), 45)
    if close_instead:
        check(unin.exists(), "with the close button unin.exe stays")
    else:
        check(gone, "unin.exe deleted itself after exit")
    reports = run.reports()
    un = [r for r in reports if r.startswith("/api/report/uninstall")]
    check(len(un) == 1 and param(un[0], "curr_ver") == "1.0.0" and param(un[0], "source") == "web",
          f"uninstall report with the installed version: {un}")
    check(run.hklm().key(UNINSTALL_KEY) is None, "uninstall entry removed")
    check(not (run.prefix.desktop / "Brisklens.lnk").exists(), "desktop link removed")
    check(not (run.prefix.start_menu_programs / "Brisklens").exists(), "start-menu folder removed")
    check((run.install_dir() / ".orvatte-profile").is_file(), "dot entry kept")
    check(not (run.install_dir() / "Orvatte.exe").exists(), "installed files removed")
    check(not (run.install_dir() / "install.marker").exists(), "marker deleted last")


def maker_second_product(run: Run):
    """A second product made by following docs/maker.md alone: the manual's example configuration,
    pictures of its own, a package made with the manual's 7z command and a password of its own, an
    installer built in its own build folder with the manual's commands and named for a channel.
    It installs by itself, keeps its Chinese file name, starts in its own folder, and uninstalls."""
    manual = (run.source / "docs/maker.md").read_text(encoding="utf-8")
    maker = run.work / "maker"
    product = maker / "notes-product"
    product.mkdir(parents=True)
    config = json.loads(re.search(r"A complete example:\n\n```json\n(.*?)```", manual, re.S).group(1))
    (product / "configfile.json").write_text(json.dumps(config, ensure_ascii=False, indent=2), encoding="utf-8")
    # Pictures: a green background, logo and buttons of its own; the program has the others.
    for name, size, colour in (("bgpic", "620x420", "#1E9E5A"), ("logo", "96x96", "#F2C12E"),
                               ("minilogo", "20x20", "#F2C12E"), ("btninst01", "200x48", "#27AE60"),
                               ("btninst02", "200x48", "#2ECC71"), ("btninst03", "200x48", "#1E8449")):
        subprocess.run(["convert", "-size", size, f"xc:{colour}", f"PNG32:{product / (name + '.png')}"], check=True)

    # The package: the main program where MainProgPath + MainProg say, and a file with a Chinese name.
    files = maker / "notes-files"
    (files / "bin").mkdir(parents=True)
    shutil.copy(run.build / "demo/tree/Orvatte.exe", files / "bin" / config["MainProg"])
    (files / "笔记示例.txt").write_text("示例笔记\r\n", encoding="utf-8")
    password = "notes pass 3"
    served = maker / "served"
    served.mkdir()
    package = served / "notes-3.1.0.zip"
    subprocess.run(["7z", "a", "-tzip", "-mem=AES256", "-mcu=on", f"-p{password}", str(package), "."], cwd=files,
                   check=True, stdout=subprocess.DEVNULL)

    # The build, in a folder of its own beside this build tree (build/<product>, as the manual says),
    # from the preset of the build under test: the 64-bit one where Wine runs only 64-bit programs.
    preset = "windows-x64" if run.prefix.loader.endswith("64") else "windows"
    build = run.build.parent / ("e2e-notes" if preset == "windows" else "e2e-notes-x64")
    started = time.time()
    for command in (["cmake", "--preset", preset, "-B", str(build), f"-DINSTALLER_PRODUCT_DIR={product}",
                     f"-DINSTALLER_API_BASE_URL=http://127.0.0.1:{PORT}", "-DINSTALLER_ALLOW_HTTP=ON",
                     f"-DINSTALLER_PACKAGE_PASSWORD={password}"],
                    ["cmake", "--build", str(build), "--target", "installer", "-j", str(os.cpu_count() or 2)]):
        r = subprocess.run(command, cwd=run.source, capture_output=True, text=True)
        check(r.returncode == 0, f"{' '.join(command[:3])} ... ended with {r.returncode}\n{r.stdout[-3000:]}{r.stderr[-3000:]}")
    print(f"  built in {time.time() - started:.0f} s")

    # Its own server, serving its package with the digest that package-tool would print.
    run.server.stop()
    run.server = Server(run.source, served, run.work / "notes-requests.log")
    run.servers.append(run.server)
    run.server.set(package=package.name, ver="3.1.0", sha256=hashlib.sha256(package.read_bytes()).hexdigest())

    exe = run.downloads / "Notes-k42_web.exe"
    shutil.copy(build / "installer.exe", exe)
    proc = run.prefix.start(exe)
    run.window(title="Notes")
    run.shot("notes-installing")
    code = proc.wait(timeout=180)
    check(code == EXIT["installed"], f"exit code {code} = installed, with no click")
    d = run.prefix.local_appdata / config["ProgramDirName"]
    check((d / "bin/Notes.exe").is_file() and (d / "unin.exe").is_file(), "main program in bin, unin.exe")
    check((d / "笔记示例.txt").read_bytes() == "示例笔记\r\n".encode(), "the Chinese file name came out right")
    started = wait_for(run.marker_lines, 20)
    win_bin = "C:\\users\\" + run.prefix.user_home.name + "\\AppData\\Local\\Notes\\bin"
    check(bool(started) and started[-1].split("\t")[1] == win_bin, f"started in its own folder: {started[-1:]}")
    reports = run.reports()
    lookup = [r for r in reports if r.startswith("/api/config/soft_down")]
    check(lookup == ["/api/config/soft_down?soft_id=notes_win&source=web"], f"lookup for the channel: {lookup}")
    install = [r for r in reports if r.startswith("/api/report/install?")]
    check(len(install) == 1 and param(install[0], "kid") == "42", f"install report with kid 42: {install}")
    entry = run.hklm().key(r"Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\notes_win")
    check(entry is not None and entry.get("displayname") == ("REG_SZ", "Notes") and
          entry.get("displayversion") == ("REG_SZ", "3.1.0"), f"uninstall entry: {entry}")

    code = run_uninstaller(run, d / "unin.exe", main_program="bin/Notes.exe", title="Notes")
    check(code == EXIT["uninstalled"], f"exit code {code} = uninstalled")
    check(not (d / "bin/Notes.exe").exists() and not (d / "笔记示例.txt").exists(), "installed files removed")
    un = [r for r in run.reports() if r.startswith("/api/report/uninstall")]
    check(len(un) == 1 and param(un[0], "soft_id") == "notes_win", f"uninstall report: {un}")


def uninstall_close(run: Run):
    uninstall(run, close_instead=True)


def tree(folder: Path) -> dict[str, bytes]:
    """Every entry below folder with the content of each file."""
    return {str(p.relative_to(folder)): (b"<folder>" if p.is_dir() else p.read_bytes()) for p in sorted(folder.rglob("*"))}


def users_folder(folder: Path) -> dict[str, bytes]:
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "letter.txt").write_text("mine", encoding="utf-8")
    (folder / "notes").mkdir(exist_ok=True)
    (folder / "notes/a.txt").write_text("mine too", encoding="utf-8")
    return tree(folder)


def safety(run: Run):
    """unin.exe copied into folders of the user's, where the product was never installed: it
    says so and ends, every file survives, and the install elsewhere keeps everything."""
    install_then(run)
    for folder in (run.prefix.desktop, run.prefix.user_home / "Documents/Work", run.prefix.unix("C:\\Data")):
        users_folder(folder)
        unin = folder / "unin.exe"
        shutil.copy(run.install_dir() / "unin.exe", unin)
        before = tree(folder)
        proc = run.prefix.start(unin)
        time.sleep(5)
        run.shot("nothing-installed-" + folder.name)
        code = confirm_message_until_exit(run, proc)
        check(code == EXIT["nothing_installed_here"], f"exit code {code} = nothing installed in {folder.name}")
        check(tree(folder) == before, f"every file in {folder.name} survives")
    check((run.install_dir() / "Orvatte.exe").is_file(), "the registered install keeps its files")
    check((run.install_dir() / "install.marker").is_file(), "and its marker")
    check((run.prefix.desktop / "Brisklens.lnk").is_file(), "and its desktop link")
    check(run.hklm().key(UNINSTALL_KEY) is not None, "and its uninstall entry")
    check(not any(r.startswith("/api/report/uninstall") for r in run.reports()), "no uninstall report")


def type_folder(run: Run, wid: str, folder: str):
    """Replaces the text of the folder field (the custom-install row is open)."""
    run.prefix.click(wid, *EDIT_PATH)
    run.prefix.xdotool("key", "End")
    run.prefix.xdotool("key", "--repeat", "120", "--delay", "5", "BackSpace")
    run.prefix.xdotool("type", "--delay", "60", folder)
    time.sleep(0.5)


def typed_folder_refused(run: Run, proc, wid: str, folder: str):
    """Types folder (the custom-install row is open) and presses "一键安装": a message dialog says
    why, it is confirmed, and the installer stays on its install page."""
    type_folder(run, wid, folder)
    run.shot("typed-folder")
    # The message dialog's grey title bar covers a point of the blue header: seen there, the
    # dialog came; gone, it closed.
    page = run.prefix.pixel(run.shot("before-install"), *MSG_TITLE)
    run.prefix.click(wid, *BTN_INSTALL)
    check(wait_for(lambda: run.prefix.pixel(run.shot("refused"), *MSG_TITLE) != page, 60), "a message dialog tells why")

    def confirm():  # Wine may take a moment before the dialog takes input
        run.prefix.click_screen(*MSG_OK)
        time.sleep(2)
        return run.prefix.pixel(run.shot("confirmed"), *MSG_TITLE) == page
    check(wait_for(confirm, 60), "the message is confirmed")
    check(proc.poll() is None, "the installer stays open")
    run.shot("install-page-again")
    check(not any(r.startswith("/api/report/install") or r.startswith("/api/config/soft_down") for r in run.reports()),
          f"no install begun: {run.reports()}")


def typed_folder_installs(run: Run, proc, wid: str, folder: str):
    """Types folder, presses "一键安装" and leaves the finish page: installed there, exit 0."""
    type_folder(run, wid, folder)
    run.prefix.click(wid, *BTN_INSTALL)
    check(wait_for(lambda: (run.prefix.unix(folder) / "unin.exe").exists(), 120), f"installed into {folder}")
    time.sleep(2)
    run.shot("finish-page")
    code = press_until_exit(proc, lambda: run.prefix.click(wid, *BTN_FINISH))
    check(code == EXIT["installed"], f"exit code {code} = installed")
    installed = run.prefix.unix(folder)
    check((installed / "Orvatte.exe").is_file() and (installed / "install.marker").read_text() == SOFT_ID,
          "program and marker in the accepted folder")


def open_custom_install(run: Run, exe: Path):
    """Starts exe and opens its custom-install row; the process and its window."""
    proc = run.prefix.start(exe)
    wid = run.window()
    run.prefix.click(wid, *TOGGLE)
    time.sleep(1.5)
    return proc, wid


def install_dir_refused(run: Run):
    """A typed folder that holds the user's files is refused with the message and nothing is
    written; an empty one is then accepted."""
    data = run.prefix.unix("C:\\Data")
    before = users_folder(data)
    run.prefix.unix("C:\\Empty").mkdir()
    proc, wid = open_custom_install(run, run.place_installer(PLAIN_NAME))
    typed_folder_refused(run, proc, wid, "C:\\Data")
    check(tree(data) == before, "nothing written into the user's folder")
    typed_folder_installs(run, proc, wid, "C:\\Empty")


def install_dir_refused_unattended(run: Run):
    """The default folder already holds someone's files: the unattended install is refused with
    its reason and exit code, and writes nothing."""
    before = users_folder(run.install_dir())
    exe = run.place_installer()
    proc = run.prefix.start(exe, "astart")
    time.sleep(6)
    run.shot("refused")
    code = confirm_message_until_exit(run, proc)
    check(code == EXIT["install_dir_refused"], f"exit code {code} = install_dir_refused")
    reports = run.reports()
    fails = [r for r in reports if r.startswith("/api/report/install_fail")]
    check(len(fails) == 1 and param(fails[0], "reason") == "install_dir_refused", f"install_fail reason: {fails}")
    check(param(reports[-1], "event_id") == "install_end", "install_end follows")
    check(not any(r.startswith("/api/config/soft_down") for r in reports), "nothing looked up or downloaded")
    check(tree(run.install_dir()) == before, "nothing written")


SERVICE_DIR = "C:\\Program Files (x86)\\Brisklens"
SERVICE_KEY = r"System\CurrentControlSet\Services\BrisklensSvc"


def service_product_installs(run: Run):
    """A product whose program runs as a Windows service (as SYSTEM) installs by itself into Program
    Files, nothing into the user's folders; the service names the program there; the uninstaller
    removes program, service and entry."""
    exe = run.place_installer(exe="installer-service.exe")
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    d = run.prefix.unix(SERVICE_DIR)
    for rel in ("Orvatte.exe", "unin.exe", "install.marker", "data/readme.txt"):
        check((d / rel).is_file(), f"installed file {rel} in Program Files")
    check(not run.install_dir().exists(), "nothing in the user's local application data")
    reg = run.hklm()
    entry = reg.key(UNINSTALL_KEY)
    check(entry is not None and entry.get("uninstallstring") == ("REG_SZ", f'"{SERVICE_DIR}\\unin.exe"'),
          f"uninstall entry names Program Files: {entry and entry.get('uninstallstring')}")
    service = reg.key(SERVICE_KEY)
    image = service.get("imagepath") if service else None
    check(image is not None and f"{SERVICE_DIR}\\Orvatte.exe" in image[1], f"the service runs the program there: {image}")
    code = run_uninstaller(run, d / "unin.exe")
    check(code == EXIT["uninstalled"], f"exit code {code} = uninstalled")
    check(not (d / "Orvatte.exe").exists(), "installed files removed")
    reg = run.hklm()
    check(reg.key(SERVICE_KEY) is None, "service removed")
    check(reg.key(UNINSTALL_KEY) is None, "uninstall entry removed")


def service_folder_refused(run: Run):
    """A service product and a typed folder outside Program Files, below a folder that users may
    change: refused with its message, nothing made or written; a new folder below Program Files is
    then accepted."""
    proc, wid = open_custom_install(run, run.place_installer(PLAIN_NAME, exe="installer-service.exe"))
    check(run.prefix.unix(SERVICE_DIR).is_dir(), "the default folder is in Program Files")
    typed_folder_refused(run, proc, wid, "C:\\Tools\\Brisklens")
    check(not run.prefix.unix("C:\\Tools").exists(), "nothing made")
    typed_folder_installs(run, proc, wid, "C:\\Program Files (x86)\\Maker\\Brisklens")


def special_characters(run: Run):
    """An install and uninstall in a folder whose path holds what batch files mangle and Chinese,
    under a Western code page: the uninstaller is gone afterwards and no temporary folder stays."""
    local = "C:\\100% & ^ (x)! 安装"
    subprocess.run([run.prefix.loader, "reg", "add", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders",
                    "/v", "Local AppData", "/t", "REG_EXPAND_SZ", "/d", local, "/f"],
                   env=run.prefix.env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run.prefix.kill_all()
    folder = run.prefix.unix(local + "\\Brisklens")
    temp = run.prefix.user_home / "Temp"
    scripts_before = {p.name for p in temp.glob("unin*")} if temp.exists() else set()
    exe = run.place_installer()
    check(run.run_to_end(exe, "astart") == EXIT["installed"], "installed")
    check((folder / "Orvatte.exe").is_file() and (folder / "unin.exe").is_file(), f"installed into {folder}")
    run.prefix.kill_all()
    unin = folder / "unin.exe"
    code = run_uninstaller(run, unin)
    check(code == EXIT["uninstalled"], f"exit code {code} = uninstalled")
    check(wait_for(lambda: not unin.exists(), 45), "unin.exe deleted itself")
    check(wait_for(lambda: ({p.name for p in temp.glob("unin*")} if temp.exists() else set()) == scripts_before, 30),
          "the script's temporary folder went with it")
    check((folder / ".orvatte-profile").is_file(), "dot entry kept")
    check(not (folder / "install.marker").exists(), "marker deleted last")
    acp = run.hklm().value(r"System\CurrentControlSet\Control\Nls\CodePage", "ACP")
    check(acp is not None and acp[1] == "1252", f"ran under the Western code page: {acp}")

# --- a killed run recovers ---------------------------------------------------------------------

def package_password(build: Path) -> str:
    cache = (build / "CMakeCache.txt").read_text(encoding="utf-8")
    return re.search(r"^INSTALLER_PACKAGE_PASSWORD:\w+=(.*)$", cache, re.M).group(1)


def pack(folder: Path, archive: Path, build: Path):
    """Packs folder as the maker does (docs/maker.md) with the build's package password."""
    subprocess.run(["7z", "a", "-tzip", "-mem=AES256", "-mcu=on", f"-p{package_password(build)}", str(archive), "."],
                   cwd=folder, check=True, stdout=subprocess.DEVNULL)


def large_package(run: Run) -> Path:
    """The demo product with 1500 small files and 16 MB that do not compress, packed with the
    package password and served from now on: extraction and deletion take long enough to be
    interrupted half-way. Made once per build tree (again when the demo package or the password
    changes)."""
    files = run.build / "e2e-large-package"
    package = files / "package.zip"
    demo = run.build / "demo/package.zip"
    made_from = f"{demo.stat().st_mtime_ns} {package_password(run.build)}"
    stamp = files / "made-from"
    if not (package.exists() and stamp.exists() and stamp.read_text() == made_from):
        shutil.rmtree(files, ignore_errors=True)
        tree = files / "tree"
        shutil.copytree(run.build / "demo/tree", tree)
        bulk = tree / "data/bulk"
        bulk.mkdir(parents=True)
        for i in range(1500):
            (bulk / f"{i:04}.txt").write_bytes(os.urandom(700))
        for i in range(2):
            (tree / f"data/large-{i}.bin").write_bytes(os.urandom(8 << 20))
        pack(tree, package, run.build)
        shutil.rmtree(tree)
        stamp.write_text(made_from)
    run.serve_files(files)
    return package


def kill_when(run: Run, proc, condition, what: str, timeout=180):
    """Ends the Windows process at once (as a crash or a power cut would, nothing runs after) the
    moment condition holds, looked at every few milliseconds."""
    deadline = time.time() + timeout
    while time.time() < deadline and proc.poll() is None:
        if condition():
            os.kill(proc.pid, signal.SIGKILL)
            proc.wait(timeout=30)
            run.prefix.kill_all()
            print(f"  killed {what}")
            return
        time.sleep(0.003)
    raise Failure(f"never saw the moment to kill: {what} (exit code {proc.poll()})")


def installed_state(prefix: WinePrefix) -> dict:
    """What an install leaves behind, minus the device code: files and their contents, links,
    the product's registry values, the temporary folder."""
    folder = prefix.local_appdata / "Brisklens"
    files = {str(f.relative_to(folder)): hashlib.sha256(f.read_bytes()).hexdigest()
             for f in sorted(folder.rglob("*")) if f.is_file()} if folder.exists() else {}
    menu = prefix.start_menu_programs / "Brisklens"
    links = sorted(str(f.relative_to(prefix.path)) for f in [*prefix.desktop.glob("*.lnk"), *menu.rglob("*")])
    leftovers = sorted(str(f.relative_to(prefix.temp)) for f in prefix.temp.rglob("*")) if prefix.temp.exists() else []
    prefix.kill_all()
    product = prefix.registry("HKCU").key(r"Software\brisklens_win") or {}
    return {"files": files, "links": links, "temp": leftovers,
            "uninstall entry": prefix.registry("HKLM").key(UNINSTALL_KEY),
            "product key": {k: v for k, v in product.items() if k != "guid"}}


def reference_install(run: Run) -> dict:
    """The state an uninterrupted unattended install leaves, in a prefix of its own."""
    prefix = WinePrefix(run.build / "e2e-prefix", run.work / "reference-prefix", run.display)
    exe = prefix.user_home / "Downloads" / INSTALLER_NAME
    shutil.copy(run.build / "installer.exe", exe)
    code = prefix.start(exe, "astart").wait(timeout=300)
    check(code == EXIT["installed"], f"reference install: exit code {code}")
    wait_for(lambda: (prefix.path / "drive_c/orvatte-started.txt").exists(), 20)
    state = installed_state(prefix)
    prefix.remove()
    run.server.control("clear-log")
    return state


def compare_states(got: dict, want: dict):
    for part in want:
        if got[part] != want[part]:
            if isinstance(want[part], dict):
                diff = {k: (got[part].get(k), want[part].get(k)) for k in set(got[part]) | set(want[part])
                        if got[part].get(k) != want[part].get(k)}
                print(f"      differs: {sorted(diff.items())[:10]}")
            else:
                print(f"      got  {got[part]}\n      want {want[part]}")
        check(got[part] == want[part], f"{part} as after an uninterrupted install ({len(want[part] or [])} items)")


def killed_install(moment: str):
    """An unattended install killed at moment ("download", "extraction" or "registration"), then
    started again, ends exactly as an uninterrupted install does."""
    def scenario(run: Run):
        large_package(run)
        want = reference_install(run)
        folder = run.install_dir()
        exe = run.place_installer()
        if moment == "download":
            run.server.set(throttle=2000000)
        proc = run.prefix.start(exe, "astart")
        if moment == "download":
            temp = run.prefix.temp
            kill_when(run, proc, lambda: any(f.is_file() and f.stat().st_size > 4 << 20 for f in temp.rglob("*")),
                      "with 4 MB of the package downloaded")
            run.server.set(throttle=0)
        elif moment == "extraction":
            kill_when(run, proc, lambda: (folder / "data/bulk").is_dir(), "half-way through the extraction")
        else:
            kill_when(run, proc, lambda: (run.prefix.desktop / "Brisklens.lnk").exists(),
                      "at the first registration step")
        check(not (run.prefix.path / "drive_c/orvatte-started.txt").exists(), "the killed run never got to start the product")
        if moment != "registration":
            check(not (folder / "unin.exe").exists(), "the killed run never got to the registration")
        print(f"      left behind: {len(list(folder.rglob('*'))) if folder.exists() else 0} entries in the install folder")
        # Started again as the user or the script would: unattended. An uninstall entry written
        # before the kill brings up the already-installed question; the answer is to reinstall
        # (the window is hidden, so the point lies on nothing else).
        proc = run.prefix.start(exe, "astart")
        code = confirm_message_until_exit(run, proc, REINSTALL)
        check(code == EXIT["installed"], f"exit code {code} = installed")
        wait_for(run.marker_lines, 20)
        compare_states(installed_state(run.prefix), want)
    return scenario


def killed_uninstall(run: Run):
    """An uninstall killed half-way and started again finishes the job."""
    large_package(run)
    exe = run.place_installer()
    check(run.run_to_end(exe, "astart", timeout=300) == EXIT["installed"], "installed first")
    run.prefix.kill_all()
    unin = run.install_dir() / "unin.exe"
    proc = run.prefix.start(unin)
    wid = run.window()
    run.prefix.click(wid, *BTN_UNINSTALL)
    bulk = run.install_dir() / "data/bulk"
    kill_when(run, proc, lambda: not (run.prefix.desktop / "Brisklens.lnk").exists() or len(list(bulk.glob("*"))) < 1500,
              "once the links were removed")
    left = [f for f in run.install_dir().rglob("*") if f.is_file()]
    print(f"      left behind: {len(left)} files")
    check(unin.exists(), "the uninstaller is still there to be started again")
    proc = run.prefix.start(unin)
    wid = run.window()
    run.prefix.click(wid, *BTN_UNINSTALL)
    code = press_until_exit(proc, lambda: run.prefix.click(wid, *BTN_UNIN_EXIT))
    check(code == EXIT["uninstalled"], f"exit code {code} = uninstalled")
    check(wait_for(lambda: not unin.exists(), 45), "unin.exe deleted itself")
    remaining = sorted(str(f.relative_to(run.install_dir())) for f in run.install_dir().rglob("*")) if run.install_dir().exists() else []
    check(remaining in ([], [".orvatte-profile"]), f"only dot entries remain: {remaining[:5]}")
    check(not (run.prefix.desktop / "Brisklens.lnk").exists(), "desktop link removed")
    check(not (run.prefix.start_menu_programs / "Brisklens").exists(), "start-menu folder removed")
    check(run.hklm().key(UNINSTALL_KEY) is None, "uninstall entry removed")



SIGNED_EXE = "installer-signed-package.exe"  # the product carries the maker's key


def signed_install(run: Run):
    """A product with the maker's key installs a package with the maker's signature."""
    exe = run.place_installer(exe=SIGNED_EXE)
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    lookups = [line for line in run.server.log() if line.startswith("/api/config/soft_down")]
    check(len(lookups) == 1, "one lookup")
    check_installed(run)


def signed_refuses(run: Run):
    """A product with the maker's key refuses a package without the maker's signature of exactly
    that package (a swapped package, no "sig", a malformed "sig"): download_zip_fail with its
    message, and nothing installed. One prefix, one installer run per case."""
    exe = run.place_installer(exe=SIGNED_EXE)
    for sig_mode in ("other", "missing", "malformed"):
        print(f"  case sig={sig_mode}")
        run.server.control("clear-log")
        run.server.set(sig=sig_mode)
        proc = run.prefix.start(exe, "astart")
        time.sleep(8)
        run.shot(f"message-{sig_mode}")
        code = confirm_message_until_exit(run, proc)
        check(code == EXIT["download_zip_fail"], f"exit code {code} = download_zip_fail")
        check(any(line.startswith("/files/package.zip") for line in run.server.log()), "the package was downloaded")
        fails = [r for r in run.reports() if r.startswith("/api/report/install_fail")]
        check(len(fails) == 1 and param(fails[0], "reason") == "download_zip_fail" and param(fails[0], "err") == "0",
              f"install_fail reason=download_zip_fail: {fails}")
        # The install marker goes in before the download, so that a run started again is admitted.
        d = run.install_dir()
        installed = [p.relative_to(d) for p in d.rglob("*") if p.name != "install.marker"] if d.exists() else []
        check(installed == [], f"nothing but the install marker in the install folder: {installed[:5]}")
        check(not (run.prefix.desktop / "Brisklens.lnk").exists(), "no desktop link")
        # Start-up's already-installed question leaves the key itself, empty.
        check(not run.hklm().key(UNINSTALL_KEY), "no uninstall registration")
        check(run.marker_lines() == [], "the product never ran")


def keyless_product_ignores_sig(run: Run):
    """A product without a key installs as before, whatever "sig" the server sends."""
    run.server.set(sig="malformed")
    exe = run.place_installer()
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    check_installed(run)


def authenticode_signed_installer(run: Run):
    """An installer signed at test time (the build's own signing step, a test CA) runs, and its
    uninstaller is the whole signed file, so that signature stays valid on disk."""
    certs = run.work / "certs"
    subprocess.run([str(run.source / "tests/support/make-code-signing-cert"), str(certs)], check=True)
    signed = run.work / "signed.exe"
    shutil.copy(run.build / "installer.exe", signed)
    osslsigncode = shutil.which("osslsigncode")
    subprocess.run(["cmake", f"-DEXE={signed}", f"-DCERT={certs / 'signer.pem'}", f"-DKEY={certs / 'signer.key'}",
                    f"-DOSSLSIGNCODE={osslsigncode}", "-P", str(run.source / "cmake/SignInstaller.cmake")], check=True)

    def verifies(exe: Path) -> bool:
        out = subprocess.run([osslsigncode, "verify", "-CAfile", str(certs / "ca.pem"), "-in", str(exe)],
                             capture_output=True, text=True)
        return out.returncode == 0 and "Signature verification: ok" in out.stdout

    check(verifies(signed), "the signed installer verifies")
    exe = run.downloads / INSTALLER_NAME
    shutil.copy(signed, exe)
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    check_installed(run)
    unin = run.install_dir() / "unin.exe"
    check(unin.read_bytes() == signed.read_bytes(), "unin.exe is the whole signed installer")
    check(verifies(unin), "unin.exe's signature verifies")


# --- a maker's product folder and damaged configurations ---------------------------------------

def is_light(c):
    return min(c) > 225


def is_dark(c, threshold=170):
    return max(c) < threshold


def minimal_product_looks_complete(run: Run):
    """An installer from a product folder without pictures shows the program's own: the close
    cross, the custom-install arrow, the edge lines; its long description ends after two lines;
    its EN.lang translates the close question's title."""
    exe = run.place_installer(MINIMAL_NAME, exe="installer-minimal.exe")
    proc = run.prefix.start(exe)
    wid = run.window(title="^Minimal")
    x0, y0, w, h = run.prefix.window_geometry(wid)
    shot = run.shot("install-page")
    def area(x, y, width, height):
        return run.prefix.region(shot, x0 + x, y0 + y, width, height)
    check((w, h) == (620, 408), f"window 620 x 408: {w} x {h}")
    check(sum(is_dark(c) for c in area(584, 6, 14, 16)) > 5, "grey close cross on the header")
    check(sum(is_dark(c, 140) for c in area(504, 378, 18, 18)) > 5, "custom-install arrow")
    check(not is_light(area(0, 300, 1, 1)[0]) and not is_light(area(619, 300, 1, 1)[0]), "left and right edge lines")
    check(not is_light(area(300, 407, 1, 1)[0]), "bottom edge line")
    check(all(c[2] > 150 and c[0] < 120 for c in area(200, 100, 1, 150)), "blue header background")
    # The description: white text in two lines of the 324-pixel column beside the logo, nothing
    # below them and nothing right of the column.
    lines = [sum(is_light(c) for c in area(228, top, 324, 22)) for top in (147, 172)]
    check(all(n > 30 for n in lines), f"description in two lines: {lines}")
    check(not any(is_light(c) for c in area(228, 205, 340, 40)), "no third line of the description")
    check(not any(is_light(c) for c in area(556, 140, 20, 70)), "the description stays in its column")

    run.prefix.click(wid, *CLOSE)
    question = run.prefix.find_window("^Minimal question$", 20)
    run.shot("close-question")
    check(question is not None, "the close question's title comes from the product's EN.lang")
    run.prefix.click_screen(*CONFIRM_NO)
    time.sleep(1.5)
    check(proc.poll() is None, "No keeps the installer open")
    run.shot("after-no")


def classes_key(reg, key: str):
    """A key below the classes root as a 32-bit program writes it: shared, or in the 32-bit view. On
    Windows a file type's key is shared, whatever view is asked for; Wine stores one opened with
    KEY_WOW64_32KEY (as the 64-bit test build names the 32-bit program's view) below
    Software\Classes\Wow6432Node, to which Software\Wow6432Node\Classes links."""
    for root in (r"Software\Classes", r"Software\Wow6432Node\Classes", r"Software\Classes\Wow6432Node"):
        found = reg.key(root + "\\" + key if key else root)
        if found is not None:
            return found
    return None


def minimal_product_installs(run: Run):
    """The minimal product installs; of its AssociatedExts "*.mnl|*|*.*||." only .mnl is
    associated: the classes root's own default value and the class "File" are left alone."""
    exe = run.place_installer(MINIMAL_NAME, exe="installer-minimal.exe")
    code = run.run_to_end(exe, "astart")
    check(code == EXIT["installed"], f"exit code {code} = installed")
    check((run.prefix.local_appdata / "Minimal/Orvatte.exe").is_file(), "installed from the download")
    reg = run.hklm()
    ext = classes_key(reg, ".mnl")
    check(ext is not None and ext.get("@") == ("REG_SZ", "mnlFile"), f".mnl associated: {ext}")
    # Wine's own class "file" (a COM moniker) must keep its value; "*.*" would have made it "File".
    file_class = classes_key(reg, "File")
    check(file_class is not None and file_class.get("@") == ("REG_SZ", "FileMoniker"), f"class file untouched: {file_class}")
    check(classes_key(reg, ".") is None, "no key .")
    root = classes_key(reg, "")
    check(root is None or "@" not in root, f"the classes root's default value untouched: {root and root.get('@')}")


def confirm_box_until_exit(run: Run, proc) -> int:
    """Presses Enter on the standard message box (in the middle of the screen) until the
    installer ends."""
    deadline = time.time() + 90
    while proc.poll() is None and time.time() < deadline:
        run.prefix.key("Return")
        time.sleep(2)
    return proc.wait(timeout=30)


def embedded_package_unwritable(run: Run):
    """The embedded package cannot be written out (a file stands where the temporary folder
    should be, so no folder for the package can be made in it): the install reports
    CreateResFile, says the package is damaged and ends with its exit code."""
    temp = run.prefix.user_home / "Temp"  # the prefix's TEMP
    shutil.rmtree(temp, ignore_errors=True)
    temp.write_text("kept")
    exe = run.place_installer(PLAIN_NAME, exe="installer-embedded.exe")
    proc = run.prefix.start(exe)
    wid = run.window()
    run.prefix.click(wid, *BTN_INSTALL)
    time.sleep(4)
    run.shot("message")
    code = confirm_box_until_exit(run, proc)
    check(code == EXIT["create_res_file"], f"exit code {code} = create_res_file")
    reports = run.reports()
    fails = [r for r in reports if r.startswith("/api/report/install_fail")]
    check(len(fails) == 1 and param(fails[0], "reason") == "CreateResFile" and param(fails[0], "err") == "0",
          f"install_fail reason=CreateResFile: {fails}")
    check(not any("install_end" in r for r in reports), "no install_end after a fatal failure")
    check(temp.read_text() == "kept", "the file in the way is left alone")
    check(not (run.install_dir() / "Orvatte.exe").exists(), "nothing installed")


def empty_soft_id(run: Run):
    """A configuration whose SoftId is empty is damaged: "config data is empty", exit 2, nothing
    reported and nothing written into HKCU\\Software itself."""
    image = (run.build / "installer.exe").read_bytes()
    shipped = b'"SoftId": "brisklens_win"'
    check(image.count(shipped) == 1, "the embedded configuration found in the executable")
    damaged = run.downloads / PLAIN_NAME
    damaged.write_bytes(image.replace(shipped, b'"SoftId": ""' + b" " * (len(shipped) - 12)))
    proc = run.prefix.start(damaged)
    time.sleep(6)
    run.shot("message")
    code = confirm_message_until_exit(run, proc)
    check(code == EXIT["config_empty"], f"exit code {code} = config_empty")
    check(run.reports() == [], f"no reports: {run.reports()}")
    hkcu = run.hkcu()
    check(hkcu.value("Software", "source") is None, "no source value in HKCU\\Software itself")


SCENARIOS = {
    "unattended_install": unattended_install,
    "interactive_install": interactive_install,
    "close_question": close_question,
    "close_during_install": close_during_install,
    "killed_during_download": killed_install("download"),
    "killed_during_extraction": killed_install("extraction"),
    "killed_during_registration": killed_install("registration"),
    "killed_uninstall": killed_uninstall,
    "second_instance": second_instance,
    "fail_lookup_code1": failure({"lookup": "code1"}, "url_empty", "url_empty"),
    "fail_empty_url_retry_no": failure({"lookup": "empty_url"}, "GetSoftDownloadInfo", "get_soft_download_info",
                                       answer_retry_no=True),
    "fail_package_404": failure({"pkg_status": "404"}, "download_zip_fail", "download_zip_fail"),
    "fail_package_301": failure({"pkg_status": "301"}, "download_zip_fail", "download_zip_fail"),
    # A 300 is not followed by WinHTTP; its body is not the package, so it fails too.
    "fail_package_300": failure({"pkg_status": "300"}, "download_zip_fail", "download_zip_fail"),
    "download_resumed": download_resumed,
    # The package changed between the two requests: the server honours If-Range with the new
    # whole file, or ignores it and its 206 carries the new ETag.
    "resume_package_changed": resume({"next_package": "package-v2.zip"}, "v2", 2),
    "resume_if_range_ignored": resume({"next_package": "package-v2.zip", "ignore_if_range": 1}, "v2", 3),
    "resume_etag_changes": resume({"etag_changes": 1, "ignore_if_range": 1}, "v1", 3),
    "resume_206_from_zero": resume({"range_from_zero": 1}, "v1", 3),
    "resume_wrong_total": resume({"wrong_total": 1}, "v1", 3),
    "resume_longer_body": resume({"extra_bytes": 4096, "drop_at": -1}, "v1", 1),
    "resume_refused_every_time": resume({"range_from_zero": 1, "drop_times": 10}, None, 4),
    "fail_damaged_package": failure({"package": "damaged.zip"}, "unzip_failed", "unzip_failed"),
    "fail_server_down": failure({}, "url_empty", "url_empty", server_down=True),
    "fail_unattended_install_end": unattended_failure,
    "embedded_package": embedded_package,
    "https_install": https_install,
    "https_package_untrusted": https_package_refused("untrusted"),
    "https_package_wrong_host": https_package_refused("wrong_host"),
    "https_package_expired": https_package_refused("expired"),
    "https_package_plain_http": https_package_refused("", plain_url=True),
    "https_api_untrusted": https_api_refused("untrusted"),
    "https_api_wrong_host": https_api_refused("wrong_host"),
    "https_api_expired": https_api_refused("expired"),
    "already_installed": already_installed,
    "uninstall": uninstall,
    "uninstall_close_button": uninstall_close,
    "maker_second_product": maker_second_product,
    "safety_uninstaller_copied_elsewhere": safety,
    "install_dir_refused": install_dir_refused,
    "install_dir_refused_unattended": install_dir_refused_unattended,
    "special_characters": special_characters,
    "service_product_installs": service_product_installs,
    "service_folder_refused": service_folder_refused,
    "signed_install": signed_install,
    "signed_refuses_swapped_missing_malformed": signed_refuses,
    "signed_keyless_product_ignores_sig": keyless_product_ignores_sig,
    "authenticode_signed_installer": authenticode_signed_installer,
    "minimal_product_looks_complete": minimal_product_looks_complete,
    "minimal_product_installs": minimal_product_installs,
    "embedded_package_unwritable": embedded_package_unwritable,
    "empty_soft_id": empty_soft_id,
}


def main():
    global PORT, TLS_PORT
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True)
    p.add_argument("--source", required=True)
    p.add_argument("--port", type=int, default=PORT)
    p.add_argument("--tls-port", type=int, default=TLS_PORT)
    p.add_argument("--rounds", type=int, default=1, help="repetitions, for scenarios that repeat (close_question)")
    p.add_argument("scenario", choices=sorted(SCENARIOS))
    args = p.parse_args()
    PORT = args.port
    TLS_PORT = args.tls_port
    run = Run(args)
    try:
        print(f"scenario {args.scenario}")
        SCENARIOS[args.scenario](run)
        print("PASS")
        return 0
    except Failure as e:
        print(f"FAIL: {e}")
        return 1
    finally:
        run.close()


if __name__ == "__main__":
    sys.exit(main())
