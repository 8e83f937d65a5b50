# End-to-end sessions of the graphics window: title, first frame, search keys, completed search,
# playback picture, resizing and ESC. Each case runs cptoc on its own virtual X server.
"""Usage: python3 test_window.py <path-to-cptoc>"""

import math
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import BLACK, BLUE, NEAR_BLACK, RED, WHITE, YELLOW, END_OF_SEARCH  # noqa: E402

BINARY = None

TITLE = ("u:XY加速度，k:CP曲線 変更，W,w:画面拡大縮小，x,X,y,Y:左右上下移動，0:初期へ，s:継続, "
         "t:dt１つ戻る，r:切り替え，c:切り替え, f:最終軌道へ")


def phase_px(img, s, v):
    """Pixel of phase-plane point (s, ds/dt) for the default arc at zoom 1 (phscale 1)."""
    return img.col_of(-0.5 + 0.5 * s), img.row_of(-0.5 + 0.5 * v)


def figure_px(img, x, y):
    """Pixel of path point (x, y) [m] at zoom 1 without pan."""
    return img.col_of(-0.5 + x), img.row_of(-0.5 + y)


def grid_mask(img):
    """Rows and columns of the figure grid in a search frame, read at the right and
    bottom edges where nothing but the grid is drawn."""
    rows = {y for y in range(img.h) if img.at(img.w - 5, y) == BLACK}
    cols = {x for x in range(img.w) if img.at(x, img.h - 5) == BLACK}
    return rows, cols


def off_grid_black(img, box):
    """Black pixels inside box that are not on a grid line: thick black curves."""
    rows, cols = grid_mask(img)
    x0, y0, x1, y1 = box
    n = 0
    for y in range(y0, y1 + 1):
        if y in rows:
            continue
        for x in range(x0, x1 + 1):
            if x not in cols and img.at(x, y) == BLACK:
                n += 1
    return n


def black_runs(img, y):
    """[first, last] columns of each run of black pixels along row y."""
    runs = []
    for x in range(img.w):
        if img.at(x, y) != BLACK:
            continue
        if runs and runs[-1][1] == x - 1:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    return runs


def near(img, x, y, colour, r=3):
    return img.count(colour, (x - r, y - r, x + r, y + r)) > 0


class WindowSession(unittest.TestCase):
    def setUp(self):
        self.s = driver.Session(BINARY)
        self.s.start_with_defaults()

    def tearDown(self):
        self.s.close()

    def escape(self):
        """ESC ends the program with status 0 and leaves the console in its normal mode."""
        self.s.key("Escape", check=False)
        self.assertEqual(self.s.wait_exit(), 0)
        lflag = self.s.terminal_modes()
        self.assertTrue(lflag & driver.termios.ICANON and lflag & driver.termios.ECHO)

    def test_title_and_first_frame(self):
        self.assertEqual(self.s.title(), TITLE)
        # Older window managers read WM_NAME: compound text, not garbled Latin-1.
        self.assertEqual(self.s.window_property("WM_NAME"), ("COMPOUND_TEXT", TITLE))
        # Instance and class name the program: a dock matches StartupWMClass=cptoc.
        self.assertEqual(self.s.window_property("WM_CLASS"), ("STRING", 'cptoc", "cptoc'))
        img = self.s.settled()
        self.assertEqual((img.w, img.h), (800, 800))
        self.assertGreater(img.count(WHITE), 800 * 800 // 2)

        # Title and information lines near-black, nothing else in their band but white.
        band = (0, 5, 790, 120)
        text = img.count(NEAR_BLACK, band, tol=1)
        self.assertGreater(text, 2000)
        self.assertEqual(img.count(RED, band) + img.count(BLUE, band) + img.count(YELLOW, band), 0)

        # Blue boundary curves: the deceleration curve reaches the path end (π/2, 0)
        # and the acceleration curve leaves the start; both cross near s = π/4.
        gx, gy = phase_px(img, 1.5708, 0.0)
        self.assertTrue(img.count(BLUE, (gx - 4, gy - 40, gx + 2, gy - 5)) > 20)
        sx, sy = phase_px(img, 0.0, 0.0)
        self.assertTrue(img.count(BLUE, (sx - 2, sy - 80, sx + 6, sy - 40)) > 20)
        self.assertGreater(img.count(BLUE), 1500)

        # The black velocity limit curve: at s = 0 it lies at ds/dt = sqrt(amax/R) = 2,
        # at s = π/4 at sqrt(√2·amax/R) = 2.378 (both axes share the centripetal load).
        # Generally the limit is 2·sqrt(cos s + sin s) for this arc (R 0.5 m, 2 m/s² each axis).
        for s_val in (0.3, 0.7854, 1.27):
            v_val = 2.0 * math.sqrt(math.cos(s_val) + math.sin(s_val))
            x, y = phase_px(img, s_val, v_val)
            self.assertGreater(off_grid_black(img, (x - 4, y - 6, x + 4, y + 6)), 3, (s_val, v_val))
        # Well below the limit curve there are no thick black pixels.
        x, y = phase_px(img, 0.7854, 1.2)
        self.assertEqual(off_grid_black(img, (x - 20, y - 20, x + 20, y + 20)), 0)
        self.escape()

    def test_search_keys_show_trajectory_and_look_ahead(self):
        before = self.s.settled()
        self.s.key(*(["s"] * 35))
        img = self.s.settled()
        red, yellow = img.count(RED), img.count(YELLOW)
        self.assertGreater(red, before.count(RED) + 300)
        self.assertGreater(yellow, before.count(YELLOW) + 300)
        # The red trajectory leaves the start along the left axis of the phase plane.
        sx, sy = phase_px(img, 0.0, 0.0)
        self.assertGreater(img.count(RED, (sx - 2, sy - 100, sx + 30, sy - 2)), 50)
        # Nothing of the figure or the graphs while searching: no graph panel, the grid
        # still runs through x > 0.35.
        self.assertGreater(img.count(BLACK, (img.col_of(0.4), 300, 790, 790)), 2000)
        self.assertEqual(img.count(driver.GREEN), 0)
        self.escape()

    def test_completed_search_plays_back_with_graphs_and_carriage(self):
        start = len(self.s.console)
        # Without a junction 'f' acts as 's'; once the trajectory has crossed the
        # deceleration curve it joins: the look-ahead curves are gone from then on.
        joined = False
        for _ in range(30):
            self.s.key(*(["f"] * 5))
            if self.s.settled().count(YELLOW) == 0:
                joined = True
                break
        self.assertTrue(joined, "the trajectory never joined")
        self.assertNotIn(END_OF_SEARCH.encode(), self.s.console[start:])
        # Further presses play the join to its end, one frame per press; each press
        # is let through before the next so that none goes past the completing frame.
        self.s.press_until_console("f", END_OF_SEARCH, 200, start=start, pause=0.25)
        self.s.expect("最短時間制御位置決め時間 tf=", start=start)
        self.s.expect("関節トルク切り替え回数 NCT=", start=start)

        # The completing picture stays on screen: the message at (-0.5, 0.1).
        img = self.s.settled()
        box = (img.col_of(-0.5) - 2, img.row_of(0.1) - 25, img.col_of(-0.5) + 200, img.row_of(0.1) + 6)
        self.assertGreater(img.count(NEAR_BLACK, box, tol=1), 300)
        self.assertEqual(img.count(YELLOW), 0)

        # Playback: the same keys animate the motion to its end.
        self.s.key(*(["s"] * 160), delay_ms=5)
        img = self.s.settled()

        panel = (img.col_of(0.355), 2, 797, 797)
        # x(t) red and y(t) black fill the displacement graph between its goal lines.
        disp = (img.col_of(0.42), img.row_of(0.88), img.col_of(0.88), img.row_of(0.52))
        self.assertGreater(img.count(RED, disp), 100)
        self.assertGreater(img.count(BLACK, disp), 100)
        # Black only for curves in the panel (the grid is blanked, texts are near-black).
        self.assertGreater(img.count(BLACK, panel), 400)
        self.assertEqual(img.count(BLACK, (img.col_of(0.355), 2, img.col_of(0.39), 797)), 0)
        # Torque(2) in black around its origin (0.4, -0.6).
        t2 = (img.col_of(0.42), img.row_of(-0.35), img.col_of(0.88), img.row_of(-0.85))
        self.assertGreater(img.count(BLACK, t2), 150)
        # The switching times as green lines.
        self.assertGreater(img.count(driver.GREEN, panel), 300)

        # The carriage at the goal (0, 0.5) m: red outline 0.1 x 0.12, white body over the grid.
        qx, qy = figure_px(img, 0.0, 0.5)
        top, bottom = qy - 24, qy + 24
        left, right = qx - 20, qx + 20
        self.assertTrue(any(img.count(RED, (qx - 15, y - 1, qx + 15, y + 1)) > 20 for y in (top, top + 1)))
        self.assertTrue(any(img.count(RED, (qx - 15, y - 1, qx + 15, y + 1)) > 20 for y in (bottom, bottom - 1)))
        self.assertTrue(near(img, left, qy - 15, RED, 2) and near(img, right, qy - 15, RED, 2))
        # The grid's vertical axis (x = 0 m) is hidden inside the body, visible above it.
        self.assertEqual(img.count(BLACK, (qx - 2, qy - 20, qx + 2, qy - 10)), 0)
        self.assertGreater(img.count(BLACK, (qx - 2, top - 30, qx + 2, top - 28)), 0)
        # The red trace runs along the arc from the start (0.5, 0) m.
        for th in (0.3, 0.8, 1.2):
            x, y = figure_px(img, 0.5 * math.cos(th), 0.5 * math.sin(th))
            self.assertTrue(near(img, x, y, RED, 3), th)
        self.escape()

    def test_resized_window_squeezes_the_picture(self):
        first = self.s.settled()
        axis_cols = [x for x in range(first.w) if first.at(x, first.row_of(-0.95)) == BLACK]
        self.assertIn(first.col_of(-0.5), axis_cols)
        self.s.resize(400, 800)
        # The reshape and the frame it brings follow the resize asynchronously:
        # poll until the picture is redrawn (or give up after 20 s).
        deadline = time.time() + 20
        while True:
            img = self.s.screenshot()
            runs = black_runs(img, img.row_of(-0.95))  # a row crossed only by grid columns
            starts = [r[0] for r in runs]
            gaps = [b - a for a, b in zip(starts, starts[1:])]
            if img.w == 400 and gaps and all(abs(g - 20) <= 1 for g in gaps):
                break
            if time.time() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual((img.w, img.h), (400, 800))
        # Columns 20 px apart (0.1 window units of 400 px / 2), the axis at x = -0.5 at column 100.
        self.assertTrue(gaps and all(abs(g - 20) <= 1 for g in gaps), gaps)
        axis = [r for r in runs if abs(r[0] - 99) <= 1]
        self.assertEqual(len(axis), 1)
        self.assertEqual(axis[0][1] - axis[0][0] + 1, 2)
        # The rows keep their 40 px spacing.
        x = img.col_of(-0.95)
        rows = [yy for yy in range(img.h) if img.at(x, yy) == BLACK and img.at(x, yy - 1) != BLACK]
        row_gaps = [b - a for a, b in zip(rows, rows[1:])]
        self.assertTrue(all(abs(g - 40) <= 1 for g in row_gaps), row_gaps)
        self.escape()


class WithoutDisplay(unittest.TestCase):
    def test_no_display_gives_one_line_and_status_1(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        run = driver.subprocess.run([BINARY], env=env, stdin=driver.subprocess.DEVNULL,
                                    capture_output=True, timeout=30)
        self.assertEqual(run.returncode, 1)
        err = run.stderr.decode("utf-8").splitlines()
        self.assertEqual(len(err), 1)
        self.assertIn("DISPLAY", err[0])
        # No dialogue question was asked for a window that cannot open.
        self.assertNotIn("軌道曲線変更する？", run.stdout.decode("utf-8", errors="replace"))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    BINARY = os.path.abspath(sys.argv[1])
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
