# The answer key as a user runs it: exit statuses, what goes to which stream, bad
# arguments that write nothing, and pictures and the table read back by other tools.
"""Usage: python3 test_answer_cli.py <path-to-cptoc-answer>"""

import csv
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

ANSWER = None
ENV = dict(os.environ, LC_ALL="C.UTF-8")
LATE_SWITCH = "s*63 c s*8 f s*80"


def run(*args, stdin=None):
    r = subprocess.run([ANSWER] + list(args), capture_output=True, timeout=120, env=ENV,
                       input=stdin if stdin is not None else b"")
    return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")


def japanese_locale(codeset):
    """Environment for ja_JP in the codeset, compiled into a scratch directory with
    localedef (Debian's locales package); None when it cannot be made."""
    where = tempfile.mkdtemp(prefix="cptoc-answer-locale-")
    name = "ja_JP." + codeset
    try:
        subprocess.run(["localedef", "-i", "ja_JP", "-f", codeset, os.path.join(where, name)],
                       capture_output=True, timeout=120, check=False)
    except (OSError, subprocess.TimeoutExpired):
        pass
    if not os.path.isdir(os.path.join(where, name)):
        shutil.rmtree(where, ignore_errors=True)
        return None, None
    return dict(os.environ, LC_ALL=name, LOCPATH=where), where


def tool(*argv):
    return subprocess.run(list(argv), capture_output=True, timeout=60, check=True).stdout.decode()


class Usage(unittest.TestCase):
    def test_help_goes_to_standard_output_with_status_0(self):
        status, out, err = run("--help")
        self.assertEqual(status, 0)
        self.assertEqual(err, "")
        self.assertIn("使い方: cptoc-answer TYPE D1 D2 XAMAX YAMAX", out)
        for name in ("arc", "sine", "u", "slalom", "cam", "cycloid", "--keys-file", "--csv"):
            self.assertIn(name, out)

    def test_no_arguments_is_a_usage_error(self):
        status, out, err = run()
        self.assertEqual(status, 2)
        self.assertEqual(out, "")
        self.assertIn("使い方:", err)


class BadArguments(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def outputs(self):
        return ["--svg", os.path.join(self.dir, "a.svg"), "--png", os.path.join(self.dir, "a.png"),
                "--pdf", os.path.join(self.dir, "a.pdf"), "--csv", os.path.join(self.dir, "a.csv")]

    def test_each_refusal_names_its_fault_writes_nothing_and_exits_2(self):
        cases = [
            (["1", "0.5", "90", "2"], "5 個が必要です"),
            (["9", "0.5", "90", "2", "2"], "c=9 は 1 から 6"),
            (["helix", "0.5", "90", "2", "2"], "TYPE の helix は arc sine u slalom cam cycloid の名前か 1 から 6"),
            (["arc", "0", "90", "2", "2"], "半径R=0 は 0 より大きい有限の値"),
            (["arc", "0.5", "ninety", "2", "2"], "円弧角θf は数値として読めません"),
            (["slalom", "0.2", "3.5", "2", "2"], "円個数N"),
            (["sine", "1", "0.5", "-2", "2"], "xamax=-2"),
            (["cam", "0.5", "0.5", "2", "2", "--keys", "s*63 k"], "k と u は使えません"),
            (["cam", "0.5", "0.5", "2", "2", "--keys", "s*100001"], "の回数は 1 から 100000"),
            (["cam", "0.5", "0.5", "2", "2", "--keys", "Escape"], "ESC は使えません"),
            (["cam", "0.5", "0.5", "2", "2", "--keys-file", "/nonexistent/keys"], "/nonexistent/keys を読めません"),
            (["cam", "0.5", "0.5", "2", "2", "--gif", "a.gif"], "不明なオプションです: --gif"),
        ]
        for args, says in cases:
            status, out, err = run(*(args + self.outputs()))
            self.assertEqual(status, 2, args)
            self.assertEqual(out, "", args)
            self.assertIn(says, err, args)
            self.assertIn("使い方: cptoc-answer", err, args)
            self.assertEqual(os.listdir(self.dir), [], args)

    def test_a_file_that_cannot_be_written_is_reported_and_left_out(self):
        blocked = os.path.join(self.dir, "sub")
        os.mkdir(blocked)  # a directory where the picture should go
        good = os.path.join(self.dir, "ok.csv")
        status, out, err = run("1", "0.5", "90", "2", "2", "--png", os.path.join(self.dir, "no", "a.png"),
                               "--svg", blocked, "--csv", good)
        self.assertEqual(status, 1)
        self.assertIn("最適解の位置決め時間 tf=", out)  # the report itself is complete
        self.assertIn("no/a.png を書けません", err)
        self.assertIn("sub を書けません", err)
        self.assertEqual(sorted(os.listdir(self.dir)), ["ok.csv", "sub"])
        self.assertEqual(os.listdir(blocked), [])


class Report(unittest.TestCase):
    def test_default_arc_report(self):
        status, out, err = run("arc", "0.5", "90", "2", "2")
        self.assertEqual((status, err), (0, ""))
        self.assertTrue(out.startswith("\n\n/*************** 設定した最短時間制御の条件"))
        self.assertIn("CP軌道：1 円弧", out)
        self.assertIn("最適解の位置決め時間 tf= 1.2746[s]", out)
        self.assertIn("通常のCP制御位置決め時間 tf= 1.4643[s]", out)
        self.assertIn("通常のCP制御 / 最短時間制御 = 1.1488", out)
        self.assertNotIn("キー操作", out)  # no session, no replay and no grade
        self.assertNotIn("描画画面へ", out)
        self.assertTrue(out.endswith("\n"))

    def test_keys_from_a_file_and_from_standard_input_equal_keys_on_the_line(self):
        status, direct, _ = run("1", "0.5", "90", "2", "2", "--keys", LATE_SWITCH)
        self.assertEqual(status, 0)
        self.assertIn("\n\n位相平面上の軌道探索終了\n", direct)
        self.assertIn("キー操作 153 回、描画 154 回", direct)
        with tempfile.NamedTemporaryFile("w", suffix=".keys", delete=False) as f:
            f.write("s*63\nc\n  s*8\tf\n\ns*80\n")
        try:
            self.assertEqual(run("1", "0.5", "90", "2", "2", "--keys-file", f.name), (0, direct, ""))
        finally:
            os.unlink(f.name)
        self.assertEqual(run("1", "0.5", "90", "2", "2", "--keys-file", "-", stdin=LATE_SWITCH.encode()),
                         (0, direct, ""))

    def test_unfinished_session_says_where_it_stopped(self):
        status, out, _ = run("u", "0.4", "0.4", "2", "2", "--keys", "s*20")
        self.assertEqual(status, 0)
        self.assertIn("キー操作は軌道探索の終わりまで届いていません", out)
        self.assertIn("止まった所 m=21 t= 0.2100[s]", out)
        self.assertNotIn("位相平面上の軌道探索終了", out)


class Encodings(unittest.TestCase):
    def test_report_and_refusals_in_the_locales_japanese_encoding(self):
        _, utf8, _ = run("slalom", "0.2", "3", "2", "2", "--keys", "s*40 c f*100")
        _, _, utf8_err = run("slalom", "0.2", "x", "2", "2")
        for codeset, python_name in (("EUC-JP", "euc_jp"), ("SHIFT_JIS", "shift_jis")):
            env, where = japanese_locale(codeset)
            if env is None:
                self.skipTest("localedef cannot make ja_JP." + codeset)
            try:
                ok = subprocess.run([ANSWER, "slalom", "0.2", "3", "2", "2", "--keys", "s*40 c f*100"],
                                    capture_output=True, timeout=120, env=env)
                bad = subprocess.run([ANSWER, "slalom", "0.2", "x", "2", "2"], capture_output=True, timeout=120,
                                     env=env)
            finally:
                shutil.rmtree(where, ignore_errors=True)
            self.assertEqual(ok.returncode, 0)
            self.assertNotEqual(ok.stdout, utf8.encode("utf-8"))  # converted, not passed through
            self.assertEqual(ok.stdout.decode(python_name), utf8, codeset)
            self.assertEqual(bad.returncode, 2)
            self.assertEqual(bad.stderr.decode(python_name), utf8_err, codeset)


class Files(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_pictures_are_valid_files_of_their_format_and_size(self):
        status, out, err = run("cycloid", "0.5", "0.5", "2", "2", "--keys", "s*60 c f*200",
                               "--png", self.path("a.png"), "--svg", self.path("a.svg"), "--pdf", self.path("a.pdf"))
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(tool("identify", "-format", "%m %w %h", self.path("a.png")), "PNG 1200 600")
        # SVG: well-formed XML of the asked size, and rendered by librsvg at that size.
        root = ET.parse(self.path("a.svg")).getroot()
        self.assertTrue(root.tag.endswith("svg"))
        self.assertEqual((root.get("width"), root.get("height")), ("1200pt", "600pt"))
        # 1200 x 600 pt is 1200 x 600 px at 72 dots per inch.
        tool("rsvg-convert", "--dpi-x", "72", "--dpi-y", "72", "-o", self.path("svg.png"), self.path("a.svg"))
        self.assertEqual(tool("identify", "-format", "%m %w %h", self.path("svg.png")), "PNG 1200 600")
        info = tool("pdfinfo", self.path("a.pdf"))
        self.assertRegex(info, r"Pages:\s+1\n")
        self.assertRegex(info, r"Page size:\s+1200 x 600 pts")
        self.assertEqual(sorted(os.listdir(self.dir)), ["a.pdf", "a.png", "a.svg", "svg.png"])

    def test_table_of_the_optimal_motion(self):
        status, out, _ = run("arc", "0.5", "90", "2", "2", "--csv", self.path("t.csv"))
        self.assertEqual(status, 0)
        tf = float(out.split("最適解の位置決め時間 tf=")[1].split("[")[0])
        with open(self.path("t.csv")) as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ["t", "s", "ds/dt", "x", "y", "ax", "ay"])
        data = [[float(v) for v in r] for r in rows[1:]]
        times = [r[0] for r in data]
        for a, b in zip(times, times[1:-1]):
            self.assertAlmostEqual(b - a, 0.01, places=6)
        self.assertLessEqual(times[-1] - times[-2], 0.01 + 1e-9)
        self.assertAlmostEqual(times[-1], tf, places=4)
        first, last = data[0], data[-1]
        self.assertEqual(first[1:3], [0.0, 0.0])  # at rest at s = 0
        self.assertAlmostEqual(last[1], math.pi / 2, places=5)
        self.assertAlmostEqual(last[2], 0.0, places=5)
        self.assertAlmostEqual(first[3], 0.5, places=6)  # the arc from (0.5, 0) to (0, 0.5)
        self.assertAlmostEqual(last[4], 0.5, places=5)
        for r in data:
            self.assertAlmostEqual(math.hypot(r[3], r[4]), 0.5, places=5)
            self.assertLessEqual(abs(r[5]), 2.0 + 1e-5)
            self.assertLessEqual(abs(r[6]), 2.0 + 1e-5)
            self.assertGreaterEqual(r[2], -1e-9)
        # s grows as the integral of ds/dt (trapezoids over 0.01 s).
        for a, b in zip(data, data[1:]):
            self.assertAlmostEqual(b[1] - a[1], (a[2] + b[2]) / 2 * (b[0] - a[0]), delta=2e-4)


GOOD = "search 1\npath cam 0.5 0.5\nlimits 2 2\nkeys s*20\nleft k 21 0.21\n\n"


class SessionFiles(unittest.TestCase):
    """Broken session files: each fault named with its file and line, that record
    skipped, the others graded, status 1."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_a_sound_file_grades_with_status_0(self):
        good = self.write("good.txt", "cptoc-session 1\n\n# a comment\n" + GOOD)
        status, out, err = run("--session", good)
        self.assertEqual((status, err), (0, ""))
        self.assertIn("止まった所 m=21 ", out)
        self.assertIn("採点した記録 1、飛ばした記録 0", out)
        self.assertEqual(run("--session", good, "--png", os.path.join(self.dir, "a.png"))[0], 0)
        self.assertTrue(os.path.getsize(os.path.join(self.dir, "a.png")) > 0)

    def test_each_fault_names_file_and_line_and_the_rest_is_graded(self):
        head = "cptoc-session 1\n\n"
        cases = [
            ("hello\n" + GOOD, ":1: 記録ファイルではありません(1行目が cptoc-session 1 ではありません)", 0),
            (head + GOOD + "search 2\npath cam 0.5 0.5\nlimits 2 2\nkeys s*3\n",
             ":9: 記録 2 が途中で切れています", 1),
            (head + "search 1\npath cam 0.5 0.5\nlimits 2 2\nkeys s*3 k\nleft k 3 0.03\n\n" + GOOD,
             ":3: 記録 1 の条件かキー操作を使えません", 1),
            (head + "search 1\npath cam 0.5 0.5\nlimits 0 2\nkeys s*3\nleft k 3 0.03\n\n" + GOOD,
             "xamax=0 は 0 より大きい有限の値にしてください", 1),
            (head + "search 1\npath helix 0.5 0.5\nlimits 2 2\nkeys s*3\nleft k 3 0.03\n\n" + GOOD,
             "TYPE の helix は", 1),
            (head + "search 1\npath cam 0.5 0.5\nspeed 9\nlimits 2 2\nkeys s\nleft k 1 0.01\n\n" + GOOD,
             ":5: 読めない行です: speed (記録 1 を飛ばします)", 1),
        ]
        for text, says, graded in cases:
            path = self.write("s.txt", text)
            status, out, err = run("--session", path)
            self.assertEqual(status, 1, text)
            self.assertIn(path, err, text)
            self.assertIn(says, err, text)
            self.assertNotIn("旧値", err)
            self.assertIn("採点した記録 %d、飛ばした記録 1" % graded, out, err)

    def test_a_picture_needs_exactly_one_record(self):
        two = self.write("two.txt", "cptoc-session 1\n\n" + GOOD + GOOD.replace("search 1", "search 2"))
        status, out, err = run("--session", two, "--svg", os.path.join(self.dir, "a.svg"))
        self.assertEqual(status, 1)
        self.assertIn("図(--svg --png --pdf)は記録が1つのときだけ書けます(記録は 2 個あります)", err)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "a.svg")))


class Version(unittest.TestCase):
    def test_version_prints_one_line_with_status_0(self):
        status, out, err = run("--version")
        self.assertEqual((status, err), (0, ""))
        self.assertRegex(out, r"^cptoc-answer \d+\.\d+\.\d+\S*\n$")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    ANSWER = os.path.abspath(sys.argv[1])
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
