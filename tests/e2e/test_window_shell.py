# End-to-end checks of the window shell and the console around it: the icon name, the end of
# the program when its window is taken away from outside, the no-display line (also when the
# display goes away during the first dialogue), window keys pressed during a dialogue and
# whole key presses in a Japanese locale encoding. Each case runs cptoc on its own virtual
# X server.
"""Usage: python3 test_window_shell.py <path-to-cptoc>"""

import os
import shutil
import subprocess
import sys
import tempfile
import termios
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402

BINARY = None

TITLE = ("u:XY加速度，k:CP曲線 変更，W,w:画面拡大縮小，x,X,y,Y:左右上下移動，0:初期へ，s:継続, "
         "t:dt１つ戻る，r:切り替え，c:切り替え, f:最終軌道へ")
NO_DISPLAY = "cptoc: 画面(X display)に接続できません。DISPLAY を確認してください。\n"
Q1 = "\n   軌道曲線変更する？　yes : y   no : n    "
Q2 = "\n   最大加速度変更する？　yes : y   no : n    "
TYPE_PROMPT = "\n旧運動＝1  入力 c="
NOT_A_NUMBER = "は数値として読めません"
TO_WINDOW = "\n\n............描画画面へ..........\n"

LOCALES = {}  # name -> LOCPATH directory holding it, made once


def japanese_locale(codeset):
    """(LC_ALL, LOCPATH) of ja_JP in the codeset, compiled into a scratch directory with
    localedef (Debian's locales package); None when it cannot be made."""
    name = "ja_JP." + codeset
    if name not in LOCALES:
        where = tempfile.mkdtemp(prefix="cptoc-locale-")
        try:
            subprocess.run(["localedef", "-i", "ja_JP", "-f", codeset, os.path.join(where, name)],
                           capture_output=True, timeout=120, check=False)
        except (OSError, subprocess.TimeoutExpired):
            pass
        LOCALES[name] = where if os.path.isdir(os.path.join(where, name)) else None
    return (name, LOCALES[name]) if LOCALES[name] else None


def console_line_break(text):
    """The text as the terminal shows it: every line break as CR LF."""
    return text.replace("\n", "\r\n")


class WindowTakenAway(unittest.TestCase):
    """However the window goes away, the program ends as on ESC: status 0, the console's
    terminal in its normal mode, no error report."""

    def setUp(self):
        self.s = driver.Session(BINARY)
        self.s.start_with_defaults()
        self.s.key("s")

    def tearDown(self):
        self.s.close()

    def ends_cleanly(self, how):
        status = self.s.wait_exit(20)
        self.assertEqual(status, 0, how)
        lflag = self.s.terminal_modes()
        self.assertTrue(lflag & termios.ICANON, how)
        self.assertTrue(lflag & termios.ECHO, how)
        self.assertNotIn("X Error", self.s.text(), how)
        self.assertNotIn("XIO", self.s.text(), how)

    def test_destroyed_by_another_client(self):
        self.s._x(["xdotool", "windowclose", self.s.window])
        self.ends_cleanly("windowclose")

    def test_destroyed_while_unmapped(self):
        self.s._x(["xdotool", "windowunmap", self.s.window])
        time.sleep(0.3)
        self.s.pump(0.0)
        self.assertIsNone(self.s.status)  # hidden is not gone
        pid, _ = os.waitpid(self.s.pid, os.WNOHANG)
        self.assertEqual(pid, 0, "the program ended when its window was merely unmapped")
        self.s._x(["xdotool", "windowclose", self.s.window])
        self.ends_cleanly("windowunmap, windowclose")

    def test_connection_killed(self):
        self.s._x(["xdotool", "windowkill", self.s.window])
        self.ends_cleanly("windowkill")


class WindowNames(unittest.TestCase):
    def test_icon_name_is_the_title_in_utf8_and_compound_text(self):
        with driver.Session(BINARY) as s:
            s.start_with_defaults()
            self.assertEqual(s.window_property("_NET_WM_ICON_NAME"), ("UTF8_STRING", TITLE))
            # The old property: compound text, which xprop decodes back to the title.
            self.assertEqual(s.window_property("WM_ICON_NAME"), ("COMPOUND_TEXT", TITLE))
            self.assertEqual(s.title(), TITLE)
            self.assertEqual(s.window_property("WM_NAME"), ("COMPOUND_TEXT", TITLE))
            s.key("Escape", check=False)
            self.assertEqual(s.wait_exit(), 0)


class NoDisplay(unittest.TestCase):
    def run_without_display(self, env):
        env = dict(os.environ, **env)
        env.pop("DISPLAY", None)
        return subprocess.run([BINARY], env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)

    def test_the_line_in_utf8(self):
        r = self.run_without_display({"LC_ALL": "C.UTF-8"})
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr, NO_DISPLAY.encode("utf-8"))

    def test_the_line_in_the_locale_encoding(self):
        for codeset, python_name in (("EUC-JP", "euc_jp"), ("SHIFT_JIS", "shift_jis")):
            loc = japanese_locale(codeset)
            if loc is None:
                self.skipTest("localedef cannot make ja_JP." + codeset)
            r = self.run_without_display({"LC_ALL": loc[0], "LOCPATH": loc[1]})
            self.assertEqual(r.returncode, 1, codeset)
            self.assertEqual(r.stderr, NO_DISPLAY.encode(python_name), codeset)
            # The report before it is in the same encoding.
            self.assertIn("設定した最短時間制御の条件".encode(python_name), r.stdout, codeset)


class DisplayGoneDuringTheDialogue(unittest.TestCase):
    def test_the_same_line_as_at_start(self):
        with driver.Session(BINARY) as s:
            s.expect(Q1)
            s.xvfb.terminate()
            s.xvfb.wait(timeout=10)
            s.type("n")
            s.expect(Q2)
            s.type("n")
            self.assertEqual(s.wait_exit(20), 1)
            self.assertIn(console_line_break(NO_DISPLAY), s.text())
            self.assertNotIn("freeglut", s.text())


class KeysDuringADialogue(unittest.TestCase):
    def test_window_keys_pressed_while_it_waits_are_dropped(self):
        to_window = console_line_break(TO_WINDOW).encode("utf-8")
        with driver.Session(BINARY) as s:
            s.start_with_defaults()
            at = len(s.console)
            s.key("k")
            s.expect("入力 c=", start=at)
            s.key("k", "k", "k", "s", "u")  # into the window while the console waits
            s.type("2\n")
            s.expect(" L A=", start=at)
            s.type("2 0.3\n")
            s.expect("xamax yamax=", start=at)
            s.type("1.5 2.5\n")
            done = s.expect_bytes(to_window, start=at)
            # Keys pressed after it are commands again.
            time.sleep(0.5)
            s.key("u")
            s.expect("xamax yamax=", start=done)
            s.type("2 2\n")
            s.expect_bytes(to_window, start=done)
            time.sleep(0.5)
            s.pump(0.2)
            text = s.console[at:].decode("utf-8", errors="replace")
            self.assertEqual(text.count("(1) CP運動種類の変更"), 1, text)
            self.assertEqual(text.count("入力　xamax yamax="), 2, text)
            s.key("Escape", check=False)
            self.assertEqual(s.wait_exit(), 0)


class WholeKeys(unittest.TestCase):
    """One key press answers one question, whatever bytes the key sends."""

    def full_entry_after(self, env, encoding, keys):
        with driver.Session(BINARY, env=env) as s:
            at = s.expect_bytes(console_line_break(Q1).encode(encoding))
            s.type(keys[0])
            at = s.expect_bytes(console_line_break(Q2).encode(encoding), start=at)
            s.type(keys[1])
            # Neither was 'y' or 'n': the full path entry, and the "1" typed next is read.
            at = s.expect_bytes(console_line_break(TYPE_PROMPT).encode(encoding), start=at)
            s.type("1\n")
            at = s.expect_bytes("R θf=".encode(encoding), start=at)
            s.type("0.5 45\n")
            at = s.expect_bytes("xamax yamax=".encode(encoding), start=at)
            s.type("2 2\n")
            s.expect_bytes(console_line_break(TO_WINDOW).encode(encoding), start=at)
            s.find_window()
            text = s.console.decode(encoding, errors="replace")
            self.assertNotIn(NOT_A_NUMBER, text)
            self.assertEqual(text.count(console_line_break(Q1)), 1)
            self.assertEqual(text.count(console_line_break(Q2)), 1)
            self.assertIn("円弧角= 45.00[deg]", text)
            s.key("Escape", check=False)
            self.assertEqual(s.wait_exit(), 0)

    def test_arrow_then_full_width_key_in_utf8(self):
        self.full_entry_after(None, "utf-8", [b"\x1b[A", "ｎ".encode("utf-8")])

    def test_full_width_key_then_function_key_in_utf8(self):
        self.full_entry_after(None, "utf-8", ["ｙ".encode("utf-8"), b"\x1bOP"])

    def test_full_width_key_then_arrow_in_euc_jp(self):
        loc = japanese_locale("EUC-JP")
        if loc is None:
            self.skipTest("localedef cannot make ja_JP.EUC-JP")
        self.full_entry_after({"LC_ALL": loc[0], "LOCPATH": loc[1]}, "euc_jp",
                              ["ｎ".encode("euc_jp"), b"\x1b[B"])


def tearDownModule():
    for where in LOCALES.values():
        if where:
            shutil.rmtree(where, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
