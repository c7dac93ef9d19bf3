"""The outside view of a Windows program under Wine, for end-to-end scenarios: a private copy of
the prepared prefix, a private Xvfb display, the program started and watched, windows found and
clicked with xdotool, screenshots, and the registry and files read back from the prefix."""

import os
import re
import shutil
import signal
import subprocess
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]


def wine_loader() -> str:
    """Wine's loader for the build under test: WINELOADER (ctest gives each windows build's tests
    the loader of its bitness), otherwise the one scripts/wine-bits names for this machine."""
    return os.environ.get("WINELOADER") or subprocess.run(
        [str(SOURCE / "scripts/wine-bits"), "--loader"], capture_output=True, text=True, check=True).stdout.strip()


def windows_build() -> Path:
    """The windows build this machine tests (scripts/wine-bits): build/windows where 32-bit
    programs run, build/windows-x64 where they do not."""
    bits = subprocess.run([str(SOURCE / "scripts/wine-bits")], capture_output=True, text=True, check=True).stdout.strip()
    return SOURCE / ("build/windows" if bits == "32" else "build/windows-x64")


class Display:
    """A private Xvfb display, 1024x768x24."""

    def __init__(self):
        self.proc = None
        self.name = None
        for n in range(150, 250):
            if Path(f"/tmp/.X{n}-lock").exists() or Path(f"/tmp/.X11-unix/X{n}").exists():
                continue
            proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(50):
                if Path(f"/tmp/.X11-unix/X{n}").exists():
                    break
                time.sleep(0.1)
            if proc.poll() is None:
                self.proc, self.name = proc, f":{n}"
                return
        raise RuntimeError("no Xvfb display could be started")

    def close(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)


class WinePrefix:
    """A throw-away copy of a prepared prefix. The big, never-written system folders are hard
    links to the template; the registry files and the user folders are real copies."""

    def __init__(self, template: Path, path: Path, display: Display):
        self.path = path
        self.display = display
        if path.exists():
            shutil.rmtree(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cp", "-al", str(template), str(path)], check=True)
        for name in ("system.reg", "user.reg", "userdef.reg"):
            f = path / name
            data = f.read_bytes()
            f.unlink()
            f.write_bytes(data)
        for sub in ("drive_c/users", "drive_c/ProgramData"):
            d = path / sub
            if d.exists():
                tmp = path / (sub + ".copy")
                subprocess.run(["cp", "-a", "--no-preserve=links", str(d), str(tmp)], check=True)
                shutil.rmtree(d)
                tmp.rename(d)
        self.loader = wine_loader()
        self.env = dict(os.environ, WINEPREFIX=str(path), WINEDEBUG="-all", DISPLAY=display.name,
                        WINEDLLOVERRIDES="winemenubuilder.exe=d", WINELOADER=self.loader)
        users = [p for p in (path / "drive_c/users").iterdir() if p.name != "Public"]
        self.user_home = users[0]

    # --- paths -----------------------------------------------------------------------------
    def unix(self, windows_path: str) -> Path:
        """The Linux path of a C:\\ path in this prefix."""
        p = windows_path.replace("\\", "/")
        if p[:2].lower() == "c:":
            p = p[2:]
        return self.path / "drive_c" / p.lstrip("/")

    @property
    def local_appdata(self) -> Path:
        return self.user_home / "AppData/Local"

    @property
    def roaming_appdata(self) -> Path:
        return self.user_home / "AppData/Roaming"

    @property
    def temp(self) -> Path:
        """The user's temporary folder (%TEMP%: the profile's Temp under Wine)."""
        return self.user_home / "Temp"

    @property
    def desktop(self) -> Path:
        return self.user_home / "Desktop"

    @property
    def start_menu_programs(self) -> Path:
        return self.user_home / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"

    # --- processes ---------------------------------------------------------------------------
    def start(self, exe: Path, *args: str, cwd: Path | None = None) -> subprocess.Popen:
        return subprocess.Popen([self.loader, str(exe), *args], env=self.env, cwd=str(cwd or exe.parent),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)

    def kill_all(self):
        """Ends every process of the prefix and its server, which writes the registry files."""
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)

    def remove(self):
        self.kill_all()
        shutil.rmtree(self.path, ignore_errors=True)

    # --- windows, input and pictures ---------------------------------------------------------
    def xdotool(self, *args: str, check=True) -> str:
        r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True)
        if check and r.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(args)}: {r.stderr.strip()}")
        return r.stdout.strip()

    def find_window(self, title: str, timeout: float = 30) -> str | None:
        """The X window id of the first visible window whose name matches the regex."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            out = self.xdotool("search", "--onlyvisible", "--name", title, check=False)
            if out:
                return out.splitlines()[0]
            time.sleep(0.3)
        return None

    def window_geometry(self, wid: str) -> tuple[int, int, int, int]:
        out = self.xdotool("getwindowgeometry", "--shell", wid)
        v = dict(line.split("=", 1) for line in out.splitlines())
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def click(self, wid: str, x: int, y: int):
        """A left click at (x, y) of the window's client area."""
        wx, wy, _, _ = self.window_geometry(wid)
        self.click_screen(wx + x, wy + y)

    def click_screen(self, x, y):
        """A left click at (x, y) of the screen, after the pointer has rested there."""
        self.xdotool("mousemove", str(x), str(y))
        time.sleep(0.5)
        self.xdotool("click", "1")

    def key(self, *keys: str):
        """Keys go to the window under the pointer (there is no window manager): dialogs and
        message boxes open in the middle of the screen, so the pointer rests there."""
        self.xdotool("mousemove", "512", "384")
        time.sleep(0.3)
        self.xdotool("key", *keys)

    def screenshot(self, out: Path) -> Path:
        out.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-display", self.display.name, "-window", "root", str(out)], check=True,
                       env=self.env, stderr=subprocess.DEVNULL)
        return out

    def pixel(self, png: Path, x: int, y: int) -> tuple[int, int, int]:
        out = subprocess.run(["convert", str(png), "-format", f"%[fx:int(255*p{{{x},{y}}}.r)],%[fx:int(255*p{{{x},{y}}}.g)],%[fx:int(255*p{{{x},{y}}}.b)]", "info:"],
                             capture_output=True, text=True, check=True).stdout
        r, g, b = (int(v) for v in out.split(","))
        return r, g, b

    def region(self, png: Path, x: int, y: int, w: int, h: int) -> list[tuple[int, int, int]]:
        """The pixels of a rectangle of a screenshot, row by row."""
        raw = subprocess.run(["convert", str(png), "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
                             capture_output=True, check=True).stdout
        return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]

    # --- the registry, read from the prefix's files ----------------------------------------
    def registry(self, hive: str) -> "RegistryFile":
        """hive: 'HKLM' or 'HKCU'. Call after kill_all() so that Wine has written it out."""
        return RegistryFile(self.path / ("system.reg" if hive == "HKLM" else "user.reg"))


class RegistryFile:
    """A parsed Wine registry file: {lower-case key path: {lower-case value name: (type, data)}}.
    Types are 'REG_SZ', 'REG_EXPAND_SZ', 'REG_MULTI_SZ', 'REG_DWORD', 'REG_BINARY' or 'hex(N)';
    the default value has the name '@'."""

    _key = re.compile(r'^\[(.*)\]')
    _value = re.compile(r'^("(?:[^"\\]|\\.)*"|@)=(.*)$')

    def __init__(self, path: Path):
        self.keys: dict[str, dict[str, tuple[str, object]]] = {}
        self.names: dict[str, str] = {}
        current = None
        pending = ""
        for raw in path.read_text(encoding="utf-8", errors="replace").splitlines():
            line = pending + raw
            if line.endswith("\\") and not line.endswith("\\\\"):
                pending = line[:-1].strip() if current else ""
                continue
            pending = ""
            m = self._key.match(line)
            if m:
                name = self._unescape(m.group(1))
                current = name.lower()
                self.names[current] = name
                self.keys.setdefault(current, {})
                continue
            m = self._value.match(line)
            if m and current is not None:
                name = "@" if m.group(1) == "@" else self._unescape(m.group(1)[1:-1])
                self.keys[current][name.lower()] = self._parse(m.group(2))

    @staticmethod
    def _unescape(s: str) -> str:
        out, i = [], 0
        while i < len(s):
            c = s[i]
            if c == "\\" and i + 1 < len(s):
                n = s[i + 1]
                if n == "x":
                    m = re.match(r"[0-9a-fA-F]{1,4}", s[i + 2:])
                    out.append(chr(int(m.group(0), 16)))
                    i += 2 + len(m.group(0))
                    continue
                out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(n, n))
                i += 2
                continue
            out.append(c)
            i += 1
        return "".join(out)

    def _parse(self, data: str):
        if data.startswith('"'):
            return "REG_SZ", self._unescape(data[1:-1])
        if data.startswith('str(2):"'):
            return "REG_EXPAND_SZ", self._unescape(data[8:-1])
        if data.startswith('str(7):"'):
            return "REG_MULTI_SZ", self._unescape(data[8:-1])
        if data.startswith("dword:"):
            return "REG_DWORD", int(data[6:], 16)
        m = re.match(r"hex(?:\((\w+)\))?:(.*)$", data)
        if m:
            raw = bytes(int(h, 16) for h in m.group(2).replace(" ", "").split(",") if h)
            return ("REG_BINARY" if m.group(1) is None else f"hex({m.group(1)})"), raw
        return "unknown", data

    def key(self, path: str) -> dict[str, tuple[str, object]] | None:
        return self.keys.get(path.replace("\\\\", "\\").lower())

    def value(self, path: str, name: str):
        k = self.key(path)
        return None if k is None else k.get(name.lower())

    def subkeys(self, path: str) -> list[str]:
        prefix = path.lower() + "\\"
        return sorted({k[len(prefix):].split("\\")[0] for k in self.keys if k.startswith(prefix)})


def wait_for(predicate, timeout: float, interval: float = 0.3):
    deadline = time.time() + timeout
    while time.time() < deadline:
        v = predicate()
        if v:
            return v
        time.sleep(interval)
    return predicate()
