# The teaching loop against the real window: a session recorded with --record is
# graded by cptoc-answer --session with the window's own tf, and --answer shows the
# optimum on the console and in the phase plane.
"""Usage: python3 test_teaching.py <path-to-cptoc>   (cptoc-answer lies beside it)"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import END_OF_SEARCH  # noqa: E402

BINARY = None
ANSWER = None
MAGENTA = (255, 0, 255)


def window_tf(text):
    """The goal time the window printed at the end of its last search."""
    line = [ln for ln in text.replace("\r\n", "\n").split("\n") if ln.startswith("最短時間制御位置決め時間 tf=")][-1]
    return line.split("tf=")[1].split("[")[0].strip()


def late_switch(s):
    """The late-switch session on the default arc, played to the end of its search."""
    s.key(*(["s"] * 63))
    s.key("c")
    s.key(*(["s"] * 8))
    s.key("f")
    s.settled()
    s.press_until_console("s", END_OF_SEARCH, 300, start=len(s.console), pause=0.1)
    s.expect("関節トルク切り替え回数 NCT=")
    s.settled()


def choose_cam(s):
    """Answers the dialogue of 'k': the cam 0.4 x 0.3 under 1.5 and 2.5 m/s^2."""
    start = len(s.console)
    s.expect("入力 c=", start=start)
    s.type("5\n")
    s.expect("入力　L H=", start=start)
    s.type("0.4 0.3\n")
    s.expect("入力　xamax yamax=", start=start)
    s.type("1.5 2.5\n")
    s.expect("描画画面へ", start=start)


class CommandLine(unittest.TestCase):
    """The window program's own options, read before any display is looked for."""

    def run_window(self, *args):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        env["LC_ALL"] = "C.UTF-8"
        r = subprocess.run([BINARY] + list(args), capture_output=True, timeout=30, env=env, stdin=subprocess.DEVNULL)
        return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")

    def test_help_and_version_need_no_display(self):
        status, out, err = self.run_window("--help")
        self.assertEqual((status, err), (0, ""))
        self.assertTrue(out.startswith("使い方: cptoc [--record FILE] [--answer]"), out)
        for word in ("--record FILE", "--answer", "--version", "-display"):
            self.assertIn(word, out)
        self.assertNotIn("軌道曲線変更する", out)  # no dialogue
        status, out, err = self.run_window("-geometry", "400x400", "--version")
        self.assertEqual((status, err), (0, ""))
        self.assertRegex(out, r"^cptoc \d+\.\d+\.\d+\S*\n$")

    def test_unknown_repeated_or_missing_options_are_refused_with_status_2(self):
        for args, says in [(["--bogus"], "cptoc: 不明なオプションです: --bogus"),
                           (["--answer", "--answer"], "cptoc: オプション --answer が2回以上あります(1回にしてください)"),
                           (["--record"], "cptoc: オプション --record の後に値がありません"),
                           (["--record="], "cptoc: オプション --record の値が空です"),
                           (["--", "--answer"], "cptoc: 余分な引数です: --answer")]:
            status, out, err = self.run_window(*args)
            self.assertEqual((status, out), (2, ""), args)
            self.assertTrue(err.startswith(says + "\n使い方: cptoc "), err)


class Teaching(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_a_recorded_session_is_graded_with_the_windows_tf(self):
        record = os.path.join(self.dir, "student.txt")
        with driver.Session(BINARY, ["--record", record]) as s:
            s.start_with_defaults()
            s.settled()
            late_switch(s)
            tf = window_tf(s.text())
            self.assertEqual(s.settled().count(MAGENTA), 0)  # no optimum without --answer
            s.key("k")
            choose_cam(s)
            s.key(*(["s"] * 20))
            s.settled()
            s.key("k")  # left: recorded as not ended
            choose_cam(s)
            s.key("Escape", check=False)
            self.assertEqual(s.wait_exit(), 0)
        with open(record, encoding="utf-8") as f:
            text = f.read()
        self.assertTrue(text.startswith("cptoc-session 1\n"), text)
        left = [ln for ln in text.split("\n") if ln.startswith("left k ")]
        self.assertEqual(len(left), 1, text)
        m = left[0].split()[2]  # 20, or 21 when the window drew a frame of its own after the dialogue
        run = subprocess.run([ANSWER, "--session", record], capture_output=True, timeout=120,
                             env=dict(os.environ, LC_ALL="C.UTF-8"))
        out = run.stdout.decode("utf-8")
        self.assertEqual(run.returncode, 0, run.stderr.decode("utf-8"))
        self.assertIn("キー操作の位置決め時間 tf=%7s[s]" % tf, out)
        self.assertIn("止まった所 m=%s " % m, out)
        self.assertEqual(out.count("記録との照合: 再生の結果は記録と同じです"), 2, out)
        self.assertIn("採点した記録 2、飛ばした記録 0、記録と違う再生 0", out)

    def test_answer_prints_the_comparison_and_draws_the_optimum(self):
        with driver.Session(BINARY, ["--answer"]) as s:
            s.start_with_defaults()
            s.settled()
            s.key(*(["s"] * 30))
            self.assertEqual(s.settled().count(MAGENTA), 0)  # nothing of the optimum while searching
            s.key(*(["s"] * 33))
            s.key("c")
            s.key(*(["s"] * 8))
            s.key("f")
            s.settled()
            s.press_until_console("s", END_OF_SEARCH, 300, pause=0.1)
            s.expect("/**************** 比較終わり")
            tf = window_tf(s.text())
            s.key("s", "s", "s")
            shot = s.settled()
            s.key("Escape", check=False)
            s.wait_exit()
        optimum = subprocess.run([ANSWER, "arc", "0.5", "90", "2", "2"], capture_output=True, timeout=60,
                                 env=dict(os.environ, LC_ALL="C.UTF-8")).stdout.decode("utf-8")
        best = optimum.split("最適解の位置決め時間 tf=")[1].split("[")[0].strip()
        console = s.text().replace("\r\n", "\n")
        self.assertIn("\n探索の位置決め時間 tf=%7s[s]  最適解 tf=%7s[s]\n" % (tf, best), console)
        self.assertIn("\n最適解との差 +", console)
        # The optimal curve in the phase plane (left of the graph panel), over the student's start.
        left = (0, 100, shot.col_of(0.35) - 1, shot.h - 1)
        self.assertGreater(shot.count(MAGENTA, left), 500)
        self.assertEqual(shot.count(MAGENTA, (shot.col_of(0.35) + 1, 0, shot.w - 1, shot.h - 1)), 0)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    BINARY = os.path.abspath(sys.argv[1])
    ANSWER = os.path.join(os.path.dirname(BINARY), "cptoc-answer")
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
