# Runs one session in the page (headless Chromium through selenium) and in the window program
# (its own virtual X server, answers on a pipe, keys through xdotool), for the browser suite.
"""The page is served from its build folder on 127.0.0.1; the browser is Debian's
chromium with chromedriver. The window program's console output is read from a
pipe, so that it holds exactly what the program wrote (a terminal would add its
echo and line-end conversions)."""

import base64
import functools
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import driver  # noqa: E402

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

SIZE = 800
DIALOGUE_KEY, DIALOGUE_LINE, WINDOW, ENDED = 0, 1, 2, 3


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Server:
    """The page's folder on a free port of 127.0.0.1, served from a thread."""

    def __init__(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.url = "http://127.0.0.1:%d/" % self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def start_browser(languages="ja"):
    """Headless Chromium as root: no sandbox, no GPU, nothing fetched from outside. Its
    preferred languages (which choose the page's language) are Japanese unless given."""
    opts = webdriver.ChromeOptions()
    opts.binary_location = "/usr/bin/chromium"
    opts.add_argument("--lang=" + languages.split(",")[0])
    opts.add_experimental_option("prefs", {"intl.accept_languages": languages})
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run",
                "--user-data-dir=" + tempfile.mkdtemp(prefix="cptoc-chromium-"), "--window-size=1700,1000"):
        opts.add_argument(arg)
    return webdriver.Chrome(service=Service(executable_path="/usr/bin/chromedriver"), options=opts)


class Page:
    """The page in a browser: console keys into the entry line, window keys into the canvas."""

    def __init__(self, browser, url):
        self.b = browser
        self.b.get(url)
        self.wait(lambda: self.js("return cptocPage.mode") == DIALOGUE_KEY and self.idle(), "the first question")

    def js(self, script, *args):
        return self.b.execute_script(script, *args)

    def idle(self):
        return self.js("return cptocPage.idle()")

    def wait(self, ready, what, timeout=30.0):
        deadline = time.time() + timeout
        while not ready():
            if time.time() > deadline:
                raise AssertionError("the page never reached: %s (mode %r, output tail %r)" %
                                     (what, self.js("return cptocPage.mode"), self.output()[-300:]))
            time.sleep(0.02)

    def settle(self):
        """Waits until every key given has been handled."""
        self.wait(self.idle, "all keys handled")

    def console(self, text):
        """Types text into the console entry line, key by key (newline: Enter)."""
        entry = self.b.find_element(By.ID, "entry")
        for ch in text:
            entry.send_keys("\n" if ch == "\n" else ch)
            self.settle()

    def window(self, keys):
        """Presses the keys in the canvas, all at once (the page queues them)."""
        self.b.find_element(By.ID, "window").send_keys(keys)
        self.settle()

    def mode(self):
        return self.js("return cptocPage.mode")

    def output(self):
        """The console pane's text without the echo of entered lines."""
        return self.js("return cptocPage.paneOutput()")

    def pixels(self):
        """The canvas as RGBA bytes, top row first."""
        data = self.js("""
            const d = document.getElementById('window').getContext('2d').getImageData(0, 0, 800, 800).data;
            let s = '';
            for (let i = 0; i < d.length; i += 32768) s += String.fromCharCode.apply(null, d.subarray(i, i + 32768));
            return btoa(s);""")
        return base64.b64decode(data)


class Native:
    """The window program on its own virtual X server; answers are written to its
    console input (a pipe), keys are sent to its window."""

    def __init__(self, binary, answers=b""):
        self.xvfb, display = driver.start_xvfb()
        self.env = dict(os.environ, DISPLAY=display, LC_ALL="C.UTF-8")
        self.proc = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=self.env)
        self.out = b""
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.answer(answers)
        found = self._x(["xdotool", "search", "--sync", "--onlyvisible", "--name", "u:XY"]).stdout.split()
        if not found:
            raise AssertionError("no window found")
        self.win = found[-1].decode()
        self.settle()

    def _read(self):
        while True:
            chunk = self.proc.stdout.read1(65536)
            if not chunk:
                return
            with self.lock:
                self.out += chunk

    def _x(self, argv, check=True):
        return subprocess.run(argv, env=self.env, capture_output=True, timeout=120, check=check)

    def answer(self, data):
        if data:
            self.proc.stdin.write(data.encode("utf-8") if isinstance(data, str) else data)
            self.proc.stdin.flush()

    def output(self):
        with self.lock:
            return self.out.decode("utf-8", errors="replace")

    def keys(self, keys, delay_ms=2):
        """Presses keys (xdotool names) in the window, then waits until they are handled."""
        if keys:
            self._x(["xdotool", "key", "--window", self.win, "--delay", str(delay_ms)] + list(keys))
        self.settle()

    def screenshot(self):
        """The window's picture as a driver.Image (parts off the screen read white)."""
        info = self._x(["xwininfo", "-id", self.win]).stdout.decode()
        vals = dict(line.strip().split(":", 1) for line in info.splitlines() if ":" in line)
        x, y = int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"])
        raw = self._x(["import", "-window", self.win, "-depth", "8", "ppm:-"]).stdout
        part = driver.parse_ppm(raw)
        return driver.Image(SIZE, SIZE, part.data, ox=max(0, -x), oy=max(0, -y), cw=part.w, ch=part.h)

    def settle(self, pause=0.15, stable=3, tries=200):
        """Waits until the console output and the picture stop changing."""
        last = (self.output(), self.screenshot().data)
        same = 1
        for _ in range(tries):
            time.sleep(pause)
            now = (self.output(), self.screenshot().data)
            same = same + 1 if now == last else 1
            if same >= stable:
                return
            last = now

    def escape(self):
        self._x(["xdotool", "key", "--window", self.win, "Escape"], check=False)
        self.proc.wait(timeout=30)
        self.reader.join(timeout=10)
        return self.proc.returncode

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdin.close()
        self.reader.join(timeout=10)
        self.proc.stdout.close()
        self.xvfb.terminate()
        try:
            self.xvfb.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
            self.xvfb.wait()


def differing_pixels(rgba, image):
    """Pixels where the page's canvas and the window's picture differ in any channel,
    over the part of the window on the screen; (count, pixels compared)."""
    n = total = 0
    for y in range(image.oy, image.oy + image.ch):
        for x in range(image.ox, image.ox + image.cw):
            i = (y * SIZE + x) * 4
            total += 1
            if tuple(rgba[i:i + 3]) != image.at(x, y):
                n += 1
    return n, total


def xdotool_keys(text):
    """xdotool key names of the characters of text."""
    names = {" ": "space", "\n": "Return", "0": "0"}
    return [names.get(c, c) for c in text]
