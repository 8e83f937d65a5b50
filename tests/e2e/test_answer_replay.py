# The answer key's replay against the real window: the same key sessions played in
# cptoc on a virtual display and by cptoc-answer --keys give the same console report.
"""Usage: python3 test_answer_replay.py <path-to-cptoc>   (cptoc-answer lies beside it)"""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import END_OF_SEARCH  # noqa: E402

BINARY = None
ANSWER = None
GRADE_HEAD = "\n\n/*************** キー操作の採点"
MARK = "\n\n" + END_OF_SEARCH


def notation(keys):
    """Compact key notation of a list of single-character keys: runs as key*count."""
    out = []
    for k in keys:
        if out and out[-1][0] == k:
            out[-1][1] += 1
        else:
            out.append([k, 1])
    return " ".join(k if n == 1 else "%s*%d" % (k, n) for k, n in out)


class WindowPlayer:
    """Plays keys into the real window and remembers every key it sent, in order."""

    def __init__(self, session):
        self.s = session
        self.sent = []

    def keys(self, *keys):
        self.s.key(*keys)
        self.sent.extend(keys)
        self.s.settled()

    def until_end(self, key, limit):
        """Presses key one at a time until the end-of-search lines appear. A press
        that arrives after the end only steps the playback, which prints nothing."""
        start = len(self.s.console)
        n = self.s.press_until_console(key, END_OF_SEARCH, limit, start=start, pause=0.1)
        self.sent.extend([key] * n)
        self.s.settled()
        self.s.expect("関節トルク切り替え回数 NCT=")
        self.s.pump(1.0)

    def report(self):
        """The console from the end-of-search lines to the end, with the line breaks
        the program wrote (the terminal turns each into CR LF)."""
        text = self.s.console.decode("utf-8").replace("\r\n", "\n")
        i = text.rfind(MARK)
        assert i >= 0, "no end of search on the console"
        return text[i:]


def answer(args, keys):
    run = subprocess.run([ANSWER] + args + ["--keys", notation(keys)], capture_output=True, timeout=120,
                         env=dict(os.environ, LC_ALL="C.UTF-8"))
    out = run.stdout.decode("utf-8")
    return run.returncode, out


def replayed_report(out):
    i = out.find(MARK)
    j = out.find(GRADE_HEAD)
    assert 0 <= i < j, out[-2000:]
    return out[i:j]


class ReplayMatchesWindow(unittest.TestCase):
    def check(self, player, args):
        status, out = answer(args, player.sent)
        self.assertEqual(status, 0, out)
        window = player.report()
        self.assertEqual(replayed_report(out), window)
        # The grade of an ended session quotes the window's goal time.
        tf_line = [ln for ln in window.split("\n") if ln.startswith("最短時間制御位置決め時間 tf=")][0]
        tf = tf_line.split("tf=")[1].split("[")[0].strip()
        self.assertIn("キー操作の位置決め時間 tf=%7s[s]" % tf, out)
        self.assertNotIn("キー操作は軌道探索の終わりまで届いていません", out)

    def test_late_switch_on_the_default_arc(self):
        # The switch comes 8 steps after the look-ahead suggests it; the join follows.
        with driver.Session(BINARY) as s:
            s.start_with_defaults()
            s.settled()  # the first showing: one frame
            p = WindowPlayer(s)
            p.keys(*(["s"] * 63))
            p.keys("c")
            p.keys(*(["s"] * 8))
            p.keys("f")
            p.until_end("s", 300)
            self.check(p, ["1", "0.5", "90", "2", "2"])

    def test_view_keys_unassigned_key_and_small_steps(self):
        # View keys step the search too, 'a' gives no frame, 't' shortens the step
        # until the switch; 'f' acts as 's' until the trajectory can be joined.
        # The first two switches come before the optimal one, so the join keeps
        # them and the report depends on every frame before them.
        with driver.Session(BINARY) as s:
            s.start_with_defaults()
            s.settled()
            p = WindowPlayer(s)
            p.keys(*(["s"] * 30))
            p.keys("w", "a", "X", "y")
            p.keys(*(["s"] * 17))
            p.keys("t", "s", "s", "s")
            p.keys("c")
            p.keys(*(["s"] * 5))
            p.keys("c")
            p.keys(*(["s"] * 16))
            p.keys("c")
            p.until_end("f", 300)
            self.check(p, ["arc", "0.5", "90", "2", "2"])

    def test_cam_entered_in_the_dialogue(self):
        with driver.Session(BINARY) as s:
            s.expect("軌道曲線変更する？")
            s.type("y")
            s.expect("入力 c=")
            s.type("5\n")
            s.expect("入力　L H=")
            s.type("0.4 0.3\n")
            s.expect("入力　xamax yamax=")
            s.type("1.5 2.5\n")
            s.expect("描画画面へ")
            s.find_window()
            s.settled()
            p = WindowPlayer(s)
            p.keys(*(["s"] * 48))  # an early switch, a second one and back to acceleration
            p.keys("c")
            p.keys(*(["s"] * 4))
            p.keys("c")
            p.keys(*(["s"] * 8))
            p.keys("c")
            p.until_end("f", 300)
            self.check(p, ["cam", "0.4", "0.3", "1.5", "2.5"])


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    BINARY = os.path.abspath(sys.argv[1])
    ANSWER = os.path.join(os.path.dirname(BINARY), "cptoc-answer")
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
