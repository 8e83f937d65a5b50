# The browser edition in headless Chromium against the window program: the same sessions give
# the same console text byte for byte and the same pictures but for the glyphs of the texts;
# the dialogue's keys, the window's keys, ESC and a new session behave as a student expects.
"""Usage: test_page.py <page folder> <path-to-cptoc> <path-to-cptoc-answer>"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sessions as S  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

FOLDER = None
BINARY = None
ANSWER = None
MAX_DIFFERING = S.SIZE * S.SIZE // 100  # under 1 % of the picture
END_OF_SEARCH = "位相平面上の軌道探索終了"


class Browser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = S.Server(FOLDER)
        cls.browser = S.start_browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.close()

    def open(self):
        return S.Page(self.browser, self.server.url)

    def native(self, answers=""):
        n = S.Native(BINARY, answers)
        self.addCleanup(n.close)
        return n

    def assertSamePicture(self, page, native, what):
        n, total = S.differing_pixels(page.pixels(), native.screenshot())
        print("%s: %d of %d pixels differ (%.2f %%)" % (what, n, total, 100.0 * n / total))
        self.assertLess(n, MAX_DIFFERING, what)

    def run_both(self, page, native, window_keys):
        """The same window keys in both; the page gets them as one burst."""
        native.keys(S.xdotool_keys(window_keys))
        page.window(window_keys)


class Language(unittest.TestCase):
    """The page speaks the first of the browser's languages that is Japanese or has a
    catalogue: English here, its console and its own hints alike."""

    def test_english_before_japanese_among_the_browsers_languages(self):
        server = S.Server(FOLDER)
        self.addCleanup(server.close)
        browser = S.start_browser("de-DE,en-GB,ja")
        self.addCleanup(browser.quit)
        page = S.Page(browser, server.url)
        self.assertTrue(page.output().endswith("\n   Change the path?  yes : y   no : n    "), page.output()[-200:])
        self.assertEqual(page.js("return document.getElementById('entry').placeholder"),
                         "Console entry (y/n: one key, numbers: confirm with Enter)")
        page.console("nn")
        self.assertIn("\n\n............to the window..........\n", page.output())
        self.assertEqual(page.js("return document.getElementById('status').textContent"),
                         "Window: keys go to the picture (ESC ends)")


class SameSessions(Browser):
    def test_default_arc_searched_and_played_back(self):
        native = self.native("nn")
        page = self.open()
        page.console("nn")
        self.assertEqual(page.mode(), S.WINDOW)
        # Searching with both look-ahead curves.
        self.run_both(page, native, "s" * 45)
        self.assertSamePicture(page, native, "search")
        # A burst of 'f' joins and completes the search; the playback goes half way.
        self.run_both(page, native, "f" * 160 + "s" * 60)
        self.assertSamePicture(page, native, "playback")
        self.assertIn(END_OF_SEARCH, page.output())
        self.assertIn("最短時間制御位置決め時間 tf= 1.2746[s]", page.output())
        self.assertEqual(page.output(), native.output())

    def test_k_dialogue_with_a_new_path(self):
        native = self.native("nn")
        page = self.open()
        page.console("nn")
        native.keys(["k"])
        page.window("k")
        self.assertEqual(page.mode(), S.DIALOGUE_LINE)
        answers = "2\n0.8 0.1\n1.5 2.5\n"
        native.answer(answers)
        native.settle()
        page.console(answers)
        self.assertEqual(page.mode(), S.WINDOW)
        # 'f' alone runs over the velocity limit of this path: the notice line comes in both.
        self.run_both(page, native, "f" * 60)
        self.assertIn("※", page.output())
        self.assertSamePicture(page, native, "sine wave search")
        self.assertEqual(page.output(), native.output())

    def test_u_dialogue_with_composed_text_and_backspace(self):
        native = self.native("nn")
        page = self.open()
        page.console("nn")
        # Full-width digits from an input method are refused as at the terminal.
        native.keys(["u"])
        page.window("u")
        native.answer("３ １\n")
        native.settle()
        page.js("""const e = document.getElementById('entry');
                   e.dispatchEvent(new CompositionEvent('compositionstart', {data: ''}));
                   e.dispatchEvent(new CompositionEvent('compositionend', {data: '３ １'}));""")
        page.console("\n")
        # A second 'u': a digit taken back with Backspace is no part of the entry.
        self.run_both(page, native, "u")
        native.answer("3 1\n")
        native.settle()
        entry = self.browser.find_element(By.ID, "entry")
        entry.send_keys("3 12", Keys.BACKSPACE, Keys.ENTER)
        page.settle()
        self.assertEqual(page.mode(), S.WINDOW)
        self.assertIn("(  3.00   1.00)", page.output())
        self.run_both(page, native, "f" * 200)
        self.assertEqual(page.output(), native.output())


class PageKeys(Browser):
    def test_window_keys_during_a_dialogue_do_nothing(self):
        page = self.open()
        before = page.output()
        self.browser.find_element(By.ID, "window").send_keys("s0f")
        page.settle()
        self.assertEqual((page.mode(), page.output(), page.js("return cptocPage.frames")),
                         (S.DIALOGUE_KEY, before, 0))
        # The answering keys reach the program, never the entry field.
        entry = self.browser.find_element(By.ID, "entry")
        entry.send_keys("n")
        page.settle()
        self.assertEqual((page.mode(), entry.get_attribute("value")), (S.DIALOGUE_KEY, ""))
        entry.send_keys("n")
        page.settle()
        self.assertEqual((page.mode(), page.js("return cptocPage.frames")), (S.WINDOW, 1))

    def test_escape_ends_the_session_and_a_new_one_starts(self):
        page = self.open()
        first = page.output()
        page.console("nn")
        page.window("s" * 20 + Keys.ESCAPE + "s")
        self.assertEqual(page.mode(), S.ENDED)
        frames = page.js("return cptocPage.frames")
        self.assertEqual(frames, 21)  # the key after ESC is not taken
        self.assertIn("ESC", self.browser.find_element(By.ID, "status").text)
        self.browser.find_element(By.ID, "restart").click()
        page.wait(lambda: page.mode() == S.DIALOGUE_KEY and page.idle(), "the new session's first question")
        # The new session starts from the program's own start: the same text.
        self.assertEqual(page.output(), first)

    def test_nothing_is_fetched_from_another_host(self):
        page = self.open()
        urls = page.js("return performance.getEntriesByType('resource').map(e => e.name)")
        self.assertTrue(urls)
        self.assertEqual([u for u in urls if not u.startswith(self.server.url)], [])


class TeachingLoop(Browser):
    """The page's session record graded by the answer key, and ?answer=1."""

    LATE_SWITCH = "s" * 63 + "c" + "s" * 8 + "f" * 200
    COMPARISON = "/*************** 最適解との比較"

    def saved_records(self, page, count):
        """The texts of the files the page has let the browser download, once there are count."""
        page.wait(lambda: page.js("return window.savedBlobs.length") == count, "%d saved files" % count)
        return self.browser.execute_async_script(
            "const done = arguments[0]; Promise.all(window.savedBlobs.map(b => b.text())).then(done);")

    def magenta_pixels(self, page):
        rgba = page.pixels()
        return sum(1 for i in range(0, len(rgba), 4) if rgba[i:i + 3] == b"\xff\x00\xff")

    def grade(self, text):
        with tempfile.NamedTemporaryFile("w", suffix=".txt", encoding="utf-8", delete=False) as f:
            f.write(text)
        self.addCleanup(os.remove, f.name)
        env = dict(os.environ, LANGUAGE="", LC_ALL="C.UTF-8")
        return subprocess.run([ANSWER, "--session", f.name], capture_output=True, text=True, env=env)

    def test_saved_record_grades_to_the_tf_the_page_printed(self):
        page = self.open()
        page.js("""window.savedBlobs = [];
                   const create = URL.createObjectURL;
                   URL.createObjectURL = function (b) { window.savedBlobs.push(b); return create.call(URL, b); };""")
        self.assertEqual(page.js("return document.getElementById('save').textContent"), "記録を保存")
        page.console("nn")
        page.window(self.LATE_SWITCH)
        tf = re.findall(r"最短時間制御位置決め時間 tf=\s*([0-9.]+)\[s\]", page.output())
        self.assertEqual(len(tf), 1, page.output()[-400:])
        # Same limits again: a second search, saved while it runs, then left with ESC and saved again.
        page.window("u")
        page.console("2 2\n")
        page.window("s" * 20)
        self.browser.find_element(By.ID, "save").click()
        page.settle()
        self.assertEqual(page.mode(), S.WINDOW)  # saving leaves the search running
        page.window("s" * 5 + Keys.ESCAPE)
        self.browser.find_element(By.ID, "save").click()
        during, after = self.saved_records(page, 2)
        self.assertNotIn(self.COMPARISON, page.output())  # without ?answer=1 nothing of the optimum
        self.assertEqual(self.magenta_pixels(page), 0)
        steps = []
        for text in (during, after):
            self.assertTrue(text.startswith("cptoc-session 1\n"), text[:80])
            self.assertEqual(re.findall(r"^search (\d+)$", text, re.M), ["1", "2"], text)
            steps.append(int(re.search(r"^left ESC (\d+) ", text, re.M).group(1)))
            self.assertAlmostEqual(float(re.search(r"^ended (\S+)$", text, re.M).group(1)), float(tf[0]), places=4)
            graded = self.grade(text)
            self.assertEqual(graded.returncode, 0, graded.stdout[-400:] + graded.stderr)
            self.assertEqual(graded.stdout.count("記録との照合: 再生の結果は記録と同じです"), 2, graded.stdout[-800:])
            self.assertIn("tf=%7.4f[s]" % float(tf[0]), graded.stdout)
        self.assertGreater(steps[1], steps[0])  # the five steps after the first save

    def test_answer_option_compares_with_the_optimum(self):
        page = S.Page(self.browser, self.server.url + "index.html?answer=1")
        page.console("nn")
        page.window(self.LATE_SWITCH)
        out = page.output()
        self.assertIn(self.COMPARISON, out)
        self.assertRegex(out, r"探索の位置決め時間 tf=\s*[0-9.]+\[s\]  最適解 tf=\s*[0-9.]+\[s\]")
        self.assertGreater(self.magenta_pixels(page), 100)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        print(__doc__)
        sys.exit(2)
    FOLDER = os.path.abspath(sys.argv[1])
    BINARY = os.path.abspath(sys.argv[2])
    ANSWER = os.path.abspath(sys.argv[3])
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
