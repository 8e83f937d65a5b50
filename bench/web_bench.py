# Figures of the browser edition in headless Chromium (not a test): the playback frames of the
# longest motion timed inside the page, the time from loading the page on 127.0.0.1 until it
# awaits the first key, and the size of what a student's browser fetches.
"""Usage: web_bench.py <page folder holding index.html and bench.html>"""

import gzip
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import sessions as S  # noqa: E402

LOADS = 7


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    folder = os.path.abspath(sys.argv[1])
    server = S.Server(folder)
    browser = S.start_browser()
    try:
        browser.get(server.url + "bench.html")
        deadline = time.time() + 600
        result = None
        while result is None and time.time() < deadline:
            time.sleep(0.5)
            result = browser.execute_script("return window.cptocBench || null")
        if result is None or "error" in result:
            print("web playback: %s" % (result or "no result"))
            return 1
        present = browser.execute_script("return cptocPage.presentMs / cptocPage.frames")
        print("web_playback_longest frames=%d mf=%d median_ms=%.3f mean_ms=%.3f worst_ms=%.3f at_mf_ms=%.3f "
              "present_mean_ms=%.3f" % (result["frames"], result["mf"], result["median_ms"], result["mean_ms"],
                                        result["worst_ms"], result["at_mf_ms"], present))

        # Each load a fresh navigation; the browser's cache is bypassed by a query string.
        ready = []
        for i in range(LOADS):
            browser.get(server.url + "index.html?load=%d" % i)
            while browser.execute_script("return typeof cptocPage === 'undefined' || cptocPage.readyAt === null"):
                time.sleep(0.02)
            ready.append(browser.execute_script(
                "return cptocPage.readyAt - (performance.getEntriesByType('navigation')[0] || {startTime: 0}).startTime"))
        print("web_load_to_first_key loads=%d median_ms=%.1f worst_ms=%.1f" %
              (LOADS, statistics.median(ready), max(ready)))
    finally:
        browser.quit()
        server.close()

    sizes = {}
    for name in ("index.html", "cptoc.js", "cptoc.wasm"):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        sizes[name] = (len(data), len(gzip.compress(data, 9)))
    print("web_size " + " ".join("%s=%d(gzip %d)" % (k, v[0], v[1]) for k, v in sizes.items()) +
          " script+module_gzip=%d" % (sizes["cptoc.js"][1] + sizes["cptoc.wasm"][1]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
