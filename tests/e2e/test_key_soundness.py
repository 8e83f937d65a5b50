# End-to-end sessions of the window whose keys go off the easy road: on the default arc a switch
# made late, keys pressed while the joined trajectory plays and after the end, 'r' at the start;
# on the cam a session of 'f' only.
# The console report printed at the end of each search must stay sound.
"""Usage: python3 test_key_soundness.py <path-to-cptoc>"""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import END_OF_SEARCH  # noqa: E402

BINARY = None

MARK = "\n\n" + END_OF_SEARCH
NCHN_HEAD = "軌道に沿う加減速の切り替え回数 NCHN="
NCT_HEAD = "関節トルク切り替え回数 NCT="
# The optimum of the default arc (90°, R 0.5 m, 2 m/s² on each axis) is 1.27464 s.
OPTIMUM = "1.2746"
S_END = 1.5708  # the arc's end: π/2 [rad]
RECORD = re.compile(r"^(t\d+|tf)=\s*(\S+) S\[\]=\(\s*(\S+)\s+(\S+)\) ACC\[\]=\(\s*(\S+)\s+(\S+)\)$")
# The start of the motion at rest, accelerating: on this arc only the Y axis is needed, at +2.0.
START_AT_REST = "t0= 0.0000 S[]=( 0.0000  0.0000) ACC[]=( 0.0000  2.0000)"


class Player:
    """Sends keys to the window in batches; each batch is handled before the next."""

    def __init__(self, binary, session=None):
        """binary: a new run on the default arc; session: a run already in its window."""
        if session is not None:
            self.s = session
            return
        self.s = driver.Session(binary)
        try:
            self.s.start_with_defaults()
            self.s.settled()  # the first showing: one search step
        except BaseException:
            self.s.close()
            raise

    def keys(self, *keys):
        self.s.key(*keys)
        self.s.settled()

    def until_end(self, key="s", limit=300):
        """Presses key one at a time until the end of the search is printed. A press
        arriving after the end only steps the playback."""
        start = len(self.s.console)
        self.s.press_until_console(key, END_OF_SEARCH, limit, start=start, pause=0.1)
        self.s.settled()
        self.s.expect(NCT_HEAD, start=start)
        self.s.pump(1.0)

    def text(self):
        """The whole console with the line breaks the program wrote (the terminal
        turns each into CR LF)."""
        return self.s.console.decode("utf-8", errors="replace").replace("\r\n", "\n")

    def report(self):
        text = self.text()
        i = text.rfind(MARK)
        assert i >= 0, "no end of search on the console"
        return text[i:]

    def close(self):
        self.s.close()


def records(block):
    """[(label, time, s, ds/dt, accx, accy)] of the record lines of one list."""
    out = []
    for line in block.split("\n"):
        m = RECORD.match(line)
        if m:
            out.append((m.group(1),) + tuple(float(v) for v in m.groups()[1:]))
    return out


def parse(report):
    """The numbers of one report (the console text from the end of the search on)."""
    lines = report.split("\n")
    tf_min = [ln for ln in lines if ln.startswith("最短時間制御位置決め時間 tf=")]
    assert len(tf_min) == 1, report
    i = report.index(NCHN_HEAD)
    j = report.index(NCT_HEAD)
    assert i < j, report
    chn_block, nct_block = report[i:j], report[j:]
    nchn = int(re.match(r"\d+", chn_block[len(NCHN_HEAD):]).group(0))
    nct = int(re.match(r"\d+", nct_block[len(NCT_HEAD):]).group(0))
    return {
        "tf": tf_min[0].split("tf=")[1].split("[")[0].strip(),
        "nchn": nchn,
        "chn": records(chn_block),
        "nct": nct,
        "nct_lines": [ln for ln in nct_block.split("\n") if RECORD.match(ln)],
        "nct_recs": records(nct_block),
    }


class KeySoundness(unittest.TestCase):
    def no_nan(self, player):
        text = player.text()
        bad = [ln for ln in text.split("\n") if "nan" in ln.lower()]
        self.assertEqual(bad, [], "NaN on the console")

    def list_shape(self, rep, report):
        """Each list holds its count of lines t0 ... plus the end line tf."""
        labels = [r[0] for r in rep["chn"]]
        self.assertEqual(labels, ["t%d" % k for k in range(rep["nchn"])] + ["tf"], report)
        labels = [r[0] for r in rep["nct_recs"]]
        self.assertEqual(labels, ["t%d" % k for k in range(rep["nct"])] + ["tf"], report)

    def test_f_only_on_the_cam_ends_at_the_goal(self):
        # The laziest session: 'f' only, on the constant-acceleration cam 0.5/0.5
        # (both limits 2). The join brakes along the deceleration curve to the goal:
        # both lists end at s = 0.5 at rest, and tf is the optimum, 1.267525 s (the
        # cam's closed form), never less.
        s = driver.Session(BINARY)
        try:
            s.expect("軌道曲線変更する？")
            s.type("y")
            s.expect("入力 c=")
            s.type("5\n")
            s.expect("入力　L H=")
            s.type("0.5 0.5\n")
            s.expect("入力　xamax yamax=")
            s.type("2 2\n")
            s.expect("描画画面へ")
            s.find_window()
            s.settled()
            p = Player(None, session=s)
            p.until_end("f", 300)
            self.no_nan(p)
            report = p.report()
            rep = parse(report)
            self.list_shape(rep, report)
            self.assertEqual(rep["tf"], "1.2675", report)
            for recs in (rep["chn"], rep["nct_recs"]):
                end = recs[-1]
                self.assertEqual(end[0], "tf", report)
                self.assertEqual((end[2], end[3]), (0.5, 0.0), report)  # the goal, at rest
                for r in recs:
                    self.assertTrue(0.0 <= r[2] <= 0.5, (r, report))
                    self.assertGreaterEqual(r[3], 0.0, (r, report))
        finally:
            s.close()

    def test_late_switch_then_join(self):
        p = Player(BINARY)
        try:
            p.keys(*(["s"] * 63))
            p.keys("c")
            p.keys(*(["s"] * 8))
            p.keys("f")
            p.until_end("s", 300)
            self.no_nan(p)
            report = p.report()
            rep = parse(report)
            self.list_shape(rep, report)
            self.assertEqual(rep["tf"], OPTIMUM, report)
            times = [r[1] for r in rep["chn"]]
            self.assertTrue(all(a < b for a, b in zip(times, times[1:])), report)
            for r in rep["chn"] + rep["nct_recs"]:
                self.assertTrue(0.0 <= r[2] <= S_END + 1e-4, (r, report))
                self.assertGreaterEqual(r[3], 0.0, (r, report))
            # Start, junction, end: the switch made after the crossing is gone.
            self.assertEqual(rep["nchn"], 2, report)
        finally:
            p.close()

    def test_keys_during_joined_playback_and_after_the_end(self):
        p = Player(BINARY)
        try:
            p.keys(*(["s"] * 70))  # past the deceleration curve
            p.keys("f")
            p.keys(*(["s"] * 5))
            p.keys("c", "c", "t", "c", "0")
            p.until_end("s", 300)
            self.no_nan(p)
            report = p.report()
            rep = parse(report)
            self.list_shape(rep, report)
            self.assertEqual(rep["tf"], OPTIMUM, report)
            self.assertEqual(rep["nchn"], 2, report)

            # After the end the keys only play the motion back: nothing is printed.
            before = p.text()
            p.keys("c", "r", "c", "r")
            p.keys("0")
            p.keys(*(["s"] * 20))
            p.s.pump(1.0)
            after = p.text()
            end = before.rfind(END_OF_SEARCH)
            self.assertNotIn(END_OF_SEARCH, after[end + len(END_OF_SEARCH):], after[end:])
            self.assertEqual(after, before, after[len(before) - 200:])
            self.no_nan(p)
        finally:
            p.close()

    def plain_report(self):
        """The session without any odd key: 70 's', 'f', 's' to the end."""
        p = Player(BINARY)
        try:
            p.keys(*(["s"] * 70))
            p.keys("f")
            p.until_end("s", 300)
            self.no_nan(p)
            return p.report()
        finally:
            p.close()

    def test_r_at_the_start_then_fresh_search(self):
        reference = self.plain_report()
        p = Player(BINARY)
        try:
            p.keys("r")  # back to the first point, switching there
            p.keys("s")
            p.keys("r")
            p.keys("r")
            p.keys("0")  # a fresh search from the start at rest
            p.keys(*(["s"] * 70))
            p.keys("f")
            p.until_end("s", 300)
            self.no_nan(p)
            report = p.report()
        finally:
            p.close()
        rep = parse(report)
        self.list_shape(rep, report)
        self.assertTrue(rep["nct_lines"], report)
        self.assertEqual(rep["nct_lines"][0], START_AT_REST, report)
        self.assertEqual(rep["nct"], parse(reference)["nct"], (report, reference))
        self.assertEqual(report, reference)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    BINARY = os.path.abspath(sys.argv[1])
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
