"""The menu's launcher, installed, on a pseudo-terminal and without one.

Usage: test_launcher.py LAUNCHER
LAUNCHER is an installed cptoc-terminal whose cptoc exists (an install under a
temporary prefix). Without a display cptoc prints the conditions and one line
and ends with status 1: the launcher must then keep the terminal open, with its
one-line prompt, until Enter, and end with cptoc's status. Without a terminal
it must hand itself to x-terminal-emulator.
"""
import os
import pty
import select
import subprocess
import sys
import tempfile
import time
import unittest

LAUNCHER = sys.argv.pop(1)
PROMPT = "終了しました。Enter キーを押すとこの画面を閉じます。"
NO_DISPLAY = "cptoc: 画面(X display)に接続できません。DISPLAY を確認してください。"


def environment(**extra):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(extra)
    return env


def read_until(fd, want, timeout):
    """Everything the terminal shows until `want` has appeared (bytes), or the timeout."""
    seen = b""
    end = time.monotonic() + timeout
    while want not in seen and time.monotonic() < end:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
    return seen


class OnTerminal(unittest.TestCase):
    def run_on_pty(self, encoding, **env):
        pid, fd = pty.fork()
        if pid == 0:
            os.execve(LAUNCHER, [LAUNCHER], environment(**env))
        try:
            prompt = PROMPT.encode(encoding)
            shown = read_until(fd, prompt, 20)
            self.assertIn(prompt, shown, shown.decode(encoding, "replace"))
            text = shown.decode(encoding)
            # cptoc's report came first, and the prompt is one line of its own at the end.
            self.assertIn("設定した最短時間制御の条件", text)
            self.assertIn(NO_DISPLAY, text)
            self.assertTrue(text.endswith("\n" + PROMPT), repr(text[-120:]))
            # It waits: still running a while after the prompt.
            time.sleep(0.5)
            self.assertEqual(os.waitpid(pid, os.WNOHANG), (0, 0))
            os.write(fd, b"\r")
            read_until(fd, b"\0", 5)  # drain the echo until the terminal closes
            for _ in range(100):
                done, status = os.waitpid(pid, os.WNOHANG)
                if done:
                    break
                time.sleep(0.05)
            self.assertEqual(done, pid, "Enter did not end the launcher")
            self.assertEqual(os.waitstatus_to_exitcode(status), 1, "cptoc's status is not passed on")
        finally:
            os.close(fd)
            try:
                os.kill(pid, 9)
                os.waitpid(pid, 0)
            except (ProcessLookupError, ChildProcessError):
                pass

    def test_waits_for_enter_utf8(self):
        self.run_on_pty("utf-8", LC_ALL="C.UTF-8")

    def test_prompt_in_euc_jp(self):
        """In an EUC-JP console the prompt is converted like cptoc's own lines."""
        with tempfile.TemporaryDirectory() as where:
            name = "ja_JP.EUC-JP"
            subprocess.run(["localedef", "-i", "ja_JP", "-f", "EUC-JP", os.path.join(where, name)],
                           capture_output=True, timeout=120, check=False)
            if not os.path.isdir(os.path.join(where, name)):
                self.skipTest("localedef could not make ja_JP.EUC-JP")
            self.run_on_pty("euc_jp", LC_ALL=name, LOCPATH=where)


class WithoutTerminal(unittest.TestCase):
    def test_opens_a_terminal(self):
        with tempfile.TemporaryDirectory() as bin_dir:
            log = os.path.join(bin_dir, "args")
            fake = os.path.join(bin_dir, "x-terminal-emulator")
            with open(fake, "w") as f:
                f.write('#!/bin/sh\nfor a in "$@"; do printf "%s\\n" "$a"; done > "$ARGS_LOG"\n')
            os.chmod(fake, 0o755)
            env = environment(PATH=bin_dir + ":" + os.environ["PATH"], ARGS_LOG=log)
            done = subprocess.run([LAUNCHER, "-display", ":9"], stdin=subprocess.DEVNULL,
                                  capture_output=True, env=env, timeout=20)
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(log) as f:
                self.assertEqual(f.read().splitlines(), ["-e", LAUNCHER, "-display", ":9"])
            # Nothing of cptoc ran here: no report, no prompt.
            self.assertEqual(done.stdout, b"")


if __name__ == "__main__":
    unittest.main()
