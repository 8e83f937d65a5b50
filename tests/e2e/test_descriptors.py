# End-to-end runs of cptoc started with some of its standard descriptors closed
# (`cptoc >&-`, `cptoc <&-`): the window opens, is drawn and ends on ESC as always.
"""Usage: python3 test_descriptors.py <path-to-cptoc>"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402

BINARY = None


class ClosedDescriptors(unittest.TestCase):
    def run_closed(self, closed, answers):
        """Runs cptoc with the descriptors `closed` shut, the answers piped in when
        its input is open; ESC in the window must end it with status 0."""
        xvfb, display = driver.start_xvfb()
        env = dict(os.environ, DISPLAY=display, LC_ALL="C.UTF-8")

        def shut():
            for fd in closed:
                os.close(fd)

        proc = subprocess.Popen([BINARY], env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, preexec_fn=shut)
        try:
            if 0 not in closed:
                proc.stdin.write(answers)
            proc.stdin.close()
            x = lambda *argv: subprocess.run(argv, env=env, capture_output=True, timeout=30).stdout  # noqa: E731
            window = x("xdotool", "search", "--sync", "--onlyvisible", "--name", driver.WINDOW_NAME_PATTERN).split()[-1]
            time.sleep(0.5)
            # Drawn: the window shows more than one colour.
            data = driver.parse_ppm(x("import", "-window", window, "-depth", "8", "ppm:-")).data
            self.assertGreater(len({data[i:i + 3] for i in range(0, len(data), 3 * 97)}), 1, "never drawn")
            x("xdotool", "key", "--window", window, "Escape")
            self.assertEqual(proc.wait(timeout=20), 0)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            xvfb.terminate()
            xvfb.wait(timeout=10)

    def test_standard_output_or_all_three_closed(self):
        self.run_closed((1,), b"nn")
        self.run_closed((0, 1, 2), b"")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
