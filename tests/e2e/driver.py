# Drives the real cptoc binary as a person would: its own virtual X server, the console on a
# pseudo-terminal, keys sent to the window, screenshots and the window title read back.
"""Session driver for end-to-end runs of cptoc (python standard library only).

A Session starts Xvfb with -displayfd, runs the program with its console on a
pseudo-terminal, answers the console, finds the graphics window, sends it keys
with xdotool, takes screenshots with ImageMagick's import and reads its title
with xprop. Everything it started is stopped when the session closes.
"""

import os
import pty
import select
import signal
import subprocess
import termios
import time

END_OF_SEARCH = "位相平面上の軌道探索終了"
WINDOW_NAME_PATTERN = "u:XY"  # start of the window title


class Image:
    """An RGB screenshot of a window; (x, y) in window pixels counted from its
    top left. Without a window manager the window may stick out of the screen
    (GLUT places it at -1, -1); the captured part starts at (ox, oy) then and
    pixels outside it read as white."""

    def __init__(self, width, height, data, ox=0, oy=0, cw=None, ch=None):
        self.w = width
        self.h = height
        self.data = data
        self.ox = ox
        self.oy = oy
        self.cw = width if cw is None else cw
        self.ch = height if ch is None else ch

    def at(self, x, y):
        cx, cy = x - self.ox, y - self.oy
        if cx < 0 or cy < 0 or cx >= self.cw or cy >= self.ch:
            return (255, 255, 255)
        i = (cy * self.cw + cx) * 3
        return (self.data[i], self.data[i + 1], self.data[i + 2])

    def col_of(self, wx):
        """Pixel column of window x (-1 ... +1)."""
        return int((wx + 1.0) / 2.0 * self.w)

    def row_of(self, wy):
        """Pixel row (from the top) of window y (-1 ... +1)."""
        return int((1.0 - wy) / 2.0 * self.h)

    def count(self, colour, box=None, tol=0):
        """Pixels of the colour inside box = (x0, y0, x1, y1) in pixels, inclusive."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w - 1, self.h - 1)
        n = 0
        for y in range(max(0, y0), min(self.h - 1, y1) + 1):
            for x in range(max(0, x0), min(self.w - 1, x1) + 1):
                p = self.at(x, y)
                if all(abs(p[c] - colour[c]) <= tol for c in range(3)):
                    n += 1
        return n


WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (255, 0, 0)
BLUE = (0, 0, 255)
YELLOW = (255, 255, 0)
GREEN = (0, 255, 0)
NEAR_BLACK = (10, 10, 10)  # the text colour 0.04


def parse_ppm(raw):
    """Decodes a binary PPM (P6) with maxval 255."""
    if raw[:2] != b"P6":
        raise ValueError("not a P6 image")
    fields = []
    i = 2
    while len(fields) < 3:
        while raw[i:i + 1].isspace():
            i += 1
        if raw[i:i + 1] == b"#":
            while raw[i:i + 1] not in (b"\n", b""):
                i += 1
            continue
        j = i
        while not raw[j:j + 1].isspace():
            j += 1
        fields.append(int(raw[i:j]))
        i = j
    i += 1  # the single whitespace byte after maxval
    width, height, maxval = fields
    if maxval != 255:
        raise ValueError("unexpected maxval %d" % maxval)
    data = raw[i:i + width * height * 3]
    if len(data) != width * height * 3:
        raise ValueError("short image data")
    return Image(width, height, data)


def start_xvfb(timeout=20):
    """Starts Xvfb on a free display; returns (process, ':N')."""
    r, w = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x1024x24", "-nolisten", "tcp"],
        pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    buf = b""
    deadline = time.time() + timeout
    try:
        while not buf.endswith(b"\n"):
            left = deadline - time.time()
            if left <= 0:
                raise RuntimeError("Xvfb gave no display number")
            ready, _, _ = select.select([r], [], [], left)
            if not ready:
                continue
            chunk = os.read(r, 64)
            if not chunk:
                raise RuntimeError("Xvfb ended before giving a display number")
            buf += chunk
    except BaseException:
        proc.kill()
        proc.wait()
        raise
    finally:
        os.close(r)
    return proc, ":" + buf.decode().strip()


class Session:
    """One run of cptoc on its own virtual display."""

    def __init__(self, binary, args=(), env=None):
        """env: variables added to or replacing those of the run (LC_ALL, LOCPATH)."""
        self.binary = binary
        self.xvfb, self.display = start_xvfb()
        self.env = dict(os.environ, DISPLAY=self.display, LC_ALL="C.UTF-8")
        if env:
            self.env.update(env)
        self.console = b""
        self.window = None
        self.status = None
        self.pid, self.fd = pty.fork()
        if self.pid == 0:  # the child: the program with the pty as its console
            try:
                os.execve(binary, [binary] + list(args), self.env)
            finally:
                os._exit(127)

    # ---- the console ----

    def pump(self, seconds=0.0):
        """Reads whatever the console has written, waiting up to `seconds`."""
        deadline = time.time() + seconds
        while True:
            left = max(0.0, deadline - time.time())
            ready, _, _ = select.select([self.fd], [], [], left)
            if not ready:
                return
            try:
                chunk = os.read(self.fd, 65536)
            except OSError:  # the program has closed its console
                return
            if not chunk:
                return
            self.console += chunk

    def text(self):
        return self.console.decode("utf-8", errors="replace")

    def expect(self, text, timeout=15.0, start=0):
        """Waits until the console output from byte `start` on contains text."""
        want = text.encode("utf-8")
        deadline = time.time() + timeout
        while want not in self.console[start:]:
            if time.time() > deadline:
                raise AssertionError("console never showed %r; it shows:\n%s" % (text, self.text()[-2000:]))
            self.pump(0.1)
        return True

    def expect_bytes(self, data, timeout=15.0, start=0):
        """Waits until the console output from byte `start` on contains the raw bytes
        (for a console in another encoding than UTF-8); returns where they end."""
        deadline = time.time() + timeout
        while data not in self.console[start:]:
            if time.time() > deadline:
                raise AssertionError("console never showed %r; it shows:\n%r" % (data, self.console[-2000:]))
            self.pump(0.1)
        return self.console.index(data, start) + len(data)

    def type(self, data):
        """Sends bytes to the console as key presses."""
        os.write(self.fd, data.encode("utf-8") if isinstance(data, str) else data)

    def start_with_defaults(self):
        """Answers the two start-up questions 'n', 'n' and waits for the window."""
        self.expect("軌道曲線変更する？")
        self.type("n")
        self.expect("最大加速度変更する？")
        self.type("n")
        self.expect("描画画面へ")
        return self.find_window()

    # ---- the window ----

    def _x(self, argv, timeout=30, check=True):
        return subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout, check=check)

    def find_window(self, timeout=30):
        out = self._x(["xdotool", "search", "--sync", "--onlyvisible", "--name", WINDOW_NAME_PATTERN],
                      timeout=timeout)
        ids = out.stdout.decode().split()
        if not ids:
            raise AssertionError("no window found")
        self.window = ids[-1]
        return self.window

    def window_property(self, name):
        """(type, text) of a text property of the window as xprop shows it, or (None, None)."""
        out = self._x(["xprop", "-id", self.window, name]).stdout.decode("utf-8").strip()
        # NAME(TYPE) = "..."
        if "=" not in out or "(" not in out.split("=", 1)[0]:
            return None, None
        head, value = out.split("=", 1)
        kind = head[head.index("(") + 1:head.index(")")]
        value = value.strip()
        if value.startswith('"') and value.endswith('"'):
            value = value[1:-1]
        return kind, value

    def title(self):
        """The window title as window managers of today read it (_NET_WM_NAME)."""
        kind, value = self.window_property("_NET_WM_NAME")
        return value if kind == "UTF8_STRING" else None

    def key(self, *keys, delay_ms=30, check=True):
        """Sends key presses to the window (xdotool key names: 's', 'W', 'Escape').
        check=False for a key that may end the program: the release then finds no window."""
        if keys:
            self._x(["xdotool", "key", "--window", self.window, "--delay", str(delay_ms)] + list(keys),
                    check=check)

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        info = self._x(["xwininfo", "-id", self.window]).stdout.decode("utf-8", errors="replace")
        vals = {}
        for line in info.splitlines():
            if ":" in line:
                k, v = line.split(":", 1)
                vals[k.strip()] = v.strip()
        return (int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"]),
                int(vals["Width"]), int(vals["Height"]))

    def screenshot(self, path=None):
        """The window's current picture; also written as PNG to path when given."""
        x, y, w, h = self.geometry()
        raw = self._x(["import", "-window", self.window, "-depth", "8", "ppm:-"]).stdout
        if path:
            self._x(["import", "-window", self.window, "png:" + path])
        part = parse_ppm(raw)
        return Image(w, h, part.data, ox=max(0, -x), oy=max(0, -y), cw=part.w, ch=part.h)

    def settled(self, tries=60, pause=0.2, stable=3):
        """A screenshot taken after the picture stopped changing (keys all handled):
        `stable` screenshots in a row, `pause` seconds apart, show the same picture."""
        last = self.screenshot()
        same = 1
        for _ in range(tries):
            time.sleep(pause)
            now = self.screenshot()
            if now.data == last.data and now.w == last.w and now.h == last.h:
                same += 1
                if same >= stable:
                    return now
            else:
                same = 1
            last = now
        return last

    def move(self, x, y):
        """Moves the window (uncovering a part of it makes the program draw a frame)."""
        self._x(["xdotool", "windowmove", self.window, str(x), str(y)])

    def resize(self, width, height):
        self._x(["xdotool", "windowsize", self.window, str(width), str(height)])

    def press_until_console(self, key, text, limit, start=0, pause=0.01):
        """Presses key one at a time until the console shows text; returns the presses made."""
        for n in range(1, limit + 1):
            self.key(key)
            time.sleep(pause)
            self.pump(0.0)
            if text.encode("utf-8") in self.console[start:]:
                return n
        raise AssertionError("%r did not appear after %d presses of %r" % (text, limit, key))

    # ---- the end ----

    def wait_exit(self, timeout=15.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.pump(0.05)
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status = os.waitstatus_to_exitcode(status)
                return self.status
        raise AssertionError("the program did not exit")

    def terminal_modes(self):
        """Local modes of the console (read through the pty master)."""
        return termios.tcgetattr(self.fd)[3]

    def close(self):
        if self.status is None:
            try:
                pid, status = os.waitpid(self.pid, os.WNOHANG)
                if pid == 0:
                    os.kill(self.pid, signal.SIGTERM)
                    os.waitpid(self.pid, 0)
            except ChildProcessError:
                pass
        try:
            os.close(self.fd)
        except OSError:
            pass
        self.xvfb.terminate()
        try:
            self.xvfb.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
            self.xvfb.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False
