# Takes the README pictures with the session driver: the search with both look-ahead curves,
# the completing frame, and the playback with carriage and graphs. Not a test.
"""Usage: python3 screenshots.py <path-to-cptoc> [output-directory]

Writes searching.png, trajectory_obtained.png and playback.png (800 x 800, the
default 90° arc) into the output directory, docs/ of the source tree by default.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    binary = os.path.abspath(sys.argv[1])
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else os.path.normpath(os.path.join(here, "..", "..", "docs"))
    os.makedirs(out, exist_ok=True)
    names = ("searching.png", "trajectory_obtained.png", "playback.png")
    paths = [os.path.join(out, n) for n in names]

    with driver.Session(binary) as s:
        s.start_with_defaults()
        s.move(0, 0)  # the whole window on the screen, so that the pictures are 800 x 800
        # Searching: the red trajectory on the acceleration curve, the blue (same sign)
        # and yellow (switched sign) look-ahead curves from its tip.
        s.key(*(["s"] * 45))
        s.settled()
        s.screenshot(paths[0])

        # 'f' acts as 's' until the trajectory can be joined; after the join the
        # look-ahead curves are gone and each press plays one point of the join.
        for _ in range(40):
            s.key(*(["f"] * 4))
            if s.settled().count(driver.YELLOW) == 0:
                break
        start = len(s.console)
        s.press_until_console("f", driver.END_OF_SEARCH, 200, start=start, pause=0.25)
        s.settled()
        s.screenshot(paths[1])

        # Playback half way: carriage with its force arrows, traces and the graphs.
        s.key(*(["s"] * 70), delay_ms=5)
        s.settled()
        s.screenshot(paths[2])

        s.key("Escape", check=False)
        s.wait_exit()

    for p in paths:
        print(p)
    return 0


if __name__ == "__main__":
    sys.exit(main())
