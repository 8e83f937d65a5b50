#!/usr/bin/env python3
"""The programs in English where the locale asks for it, and in Japanese elsewhere.

A whole window session (the dialogue with refused entries, the search, the join,
the report, ESC) and an answer-key run with a graded key session, both under
en_US.UTF-8, are compared byte for byte with the expected English transcripts in
expected/. Which locale variables choose the language, and that the C and POSIX
locales stay Japanese whatever LANGUAGE says, is checked on the answer key's
output. An install into a scratch prefix finds its catalogue beside itself.
The en_US.UTF-8 locale is compiled with localedef into a scratch folder (LOCPATH).
Usage: test_english.py CPTOC CPTOC_ANSWER BUILD_DIR
"""
import difflib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import driver  # noqa: E402

CPTOC = ANSWER = BUILD = None
LOCPATH = None  # the folder holding the compiled en_US.UTF-8
ENGLISH = "en_US.UTF-8"
SESSION_KEYS = "s*63 c s*8 f s*80"  # the switch on the maximum-acceleration curve, the join, the end
ENGLISH_TITLE = ("u:XY limits, k:path change, W,w:zoom, x,X,y,Y:move, 0:initial state, s:continue, "
                 "t:back one dt, r:back and switch, c:switch, f:join final curve")


def compile_english_locale():
    where = tempfile.mkdtemp(prefix="cptoc-en-locale-")
    subprocess.run(["localedef", "-i", "en_US", "-f", "UTF-8", os.path.join(where, ENGLISH)],
                   capture_output=True, timeout=120, check=False)
    if not os.path.isdir(os.path.join(where, ENGLISH)):
        shutil.rmtree(where, ignore_errors=True)
        raise SystemExit("cannot compile the locale en_US.UTF-8 with localedef "
                         "(Debian's package locales; scripts/deps.sh test installs it)")
    return where


def environment(**variables):
    """The test's environment without any locale variable, LOCPATH set, then the given ones."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("LANGUAGE", "LANG") and not k.startswith("LC_")}
    env["LOCPATH"] = LOCPATH
    env.update(variables)
    return env


def expected(name):
    with open(os.path.join(HERE, "expected", name), encoding="utf-8") as f:
        return f.read()


def answer(args, **variables):
    r = subprocess.run([ANSWER] + args, capture_output=True, timeout=120, env=environment(**variables))
    return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")


class Transcripts(unittest.TestCase):
    def assertTranscript(self, got, name):
        want = expected(name)
        if got != want:
            diff = "".join(difflib.unified_diff(want.splitlines(True), got.splitlines(True), name, "got"))
            self.fail("the English transcript differs from expected/%s:\n%s" % (name, diff))

    def test_answer_key_with_a_graded_session(self):
        status, out, err = answer(["1", "0.5", "90", "2", "2", "--keys", SESSION_KEYS], LC_ALL=ENGLISH)
        self.assertEqual((status, err), (0, ""))
        self.assertTranscript(out, "answer_en.txt")

    def test_whole_window_session(self):
        with driver.Session(CPTOC, env=environment(LC_ALL=ENGLISH)) as s:
            steps = [("Change the path?", "y"),          # to the path menu
                     ("enter c=", "9\n"),                 # refused, asked again
                     ("enter c=", "1\n"),                 # the arc
                     ("enter R θf=", "0.5 abc\n"),        # the angle refused: the old one stays
                     ("enter xamax yamax=", "2 2\n")]
            at = 0
            for prompt, answer_text in steps:
                at = s.expect_bytes(prompt.encode("utf-8"), start=at)
                s.type(answer_text)
            s.expect("to the window", start=at)
            s.find_window()
            self.assertEqual(s.title(), ENGLISH_TITLE)
            for part in SESSION_KEYS.split():
                key, _, count = part.partition("*")
                s.key(*[key] * int(count or 1))
            s.expect("Switches of the axis forces", timeout=60)
            s.settled()  # every key handled, the report complete
            s.key("Escape", check=False)
            self.assertEqual(s.wait_exit(), 0)
            s.pump(0.2)
            self.assertTranscript(s.text().replace("\r\n", "\n"), "window_en.txt")


class LanguageChoice(unittest.TestCase):
    """The message language follows LANGUAGE, LC_ALL, LC_MESSAGES and LANG in the usual
    order; C and POSIX keep the Japanese bytes whatever LANGUAGE says."""

    ARGS = ["2", "1", "0.5", "2", "2", "--keys", "s*30 f"]

    def test_the_locale_variables_choose_the_language(self):
        _, japanese, _ = answer(self.ARGS, LC_ALL="C.UTF-8")
        _, english, _ = answer(self.ARGS, LC_ALL=ENGLISH)
        self.assertIn("t1= 0.5000 S[]=( 0.0833  0.3676) ACC[]=(-0.2450 -2.0000) 加速→減速\n", japanese)
        self.assertIn("t1= 0.5000 S[]=( 0.0833  0.3676) ACC[]=(-0.2450 -2.0000) acceleration to braking\n", english)
        cases = [
            ({"LC_ALL": "C", "LANGUAGE": "en"}, japanese),
            ({"LC_ALL": "POSIX", "LANGUAGE": "en"}, japanese),
            ({"LC_ALL": "C.UTF-8", "LANGUAGE": "en"}, japanese),
            ({"LANG": ENGLISH, "LC_MESSAGES": "C"}, japanese),
            ({"LC_ALL": ENGLISH, "LANGUAGE": "ja"}, japanese),      # no Japanese catalogue: the ids
            ({"LC_ALL": ENGLISH, "LANGUAGE": "ja_JP:en"}, japanese),  # Japanese preferred to English
            ({"LC_ALL": ENGLISH, "LANGUAGE": "de:en"}, english),    # the first language with a catalogue
            ({"LANG": "C.UTF-8", "LC_MESSAGES": ENGLISH}, english),
            ({"LANG": ENGLISH}, english),
        ]
        for variables, want in cases:
            with self.subTest(**variables):
                status, out, _ = answer(self.ARGS, **variables)
                self.assertEqual(status, 0)
                self.assertEqual(out, want)

    def test_an_installed_tree_finds_its_catalogue(self):
        with tempfile.TemporaryDirectory() as prefix:
            r = subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], capture_output=True, timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr.decode())
            for path in ("share/locale/en/LC_MESSAGES/cptoc.mo", "share/man/ja/man1/cptoc.1.gz",
                         "share/man/ja/man1/cptoc-answer.1.gz", "share/man/man1/cptoc.1.gz"):
                self.assertTrue(os.path.isfile(os.path.join(prefix, path)), path)
            r = subprocess.run([os.path.join(prefix, "bin", "cptoc-answer"), "--help"], capture_output=True,
                               timeout=60, env=environment(LC_ALL=ENGLISH))
            self.assertEqual(r.returncode, 0)
            self.assertIn("Usage: cptoc-answer TYPE D1 D2 XAMAX YAMAX", r.stdout.decode("utf-8"))


if __name__ == "__main__":
    if len(sys.argv) < 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        sys.exit(2)
    CPTOC, ANSWER, BUILD = (os.path.abspath(a) for a in sys.argv[1:4])
    del sys.argv[1:4]
    LOCPATH = compile_english_locale()
    try:
        unittest.main()
    finally:
        shutil.rmtree(LOCPATH, ignore_errors=True)
