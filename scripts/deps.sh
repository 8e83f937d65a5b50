#!/bin/sh
# Makes sure the Debian packages that a make target needs are installed.
# Usage: scripts/deps.sh build|package|test|bench|web
# As root the missing packages are installed with apt-get; otherwise the exact
# install line is printed and the script stops with status 1.
set -eu

# dpkg-dev: dpkg-buildflags gives the hardening flags.
build_pkgs="g++ cmake make freeglut3-dev libgl-dev libx11-dev libgtest-dev pkg-config libcairo2-dev gettext dpkg-dev"
test_pkgs="xvfb xdotool x11-utils imagemagick python3 lintian desktop-file-utils man-db librsvg2-bin poppler-utils locales appstream git"
bench_pkgs="libbenchmark-dev"
# The browser edition: its compiler, and for its tests a browser, its driver, the
# test client and a Japanese font for the console pane in screenshots.
web_pkgs="emscripten gettext"
web_test_pkgs="$web_pkgs chromium chromium-driver python3-selenium fonts-noto-cjk"
# The Debian package: dpkg-shlibdeps finds its run-time dependencies, file tells it the programs.
package_pkgs="dpkg-dev file"

case "${1:-build}" in
  build) want="$build_pkgs" ;;
  package) want="$build_pkgs $package_pkgs" ;;
  test)  want="$build_pkgs $test_pkgs $package_pkgs $web_test_pkgs" ;;
  bench) want="$build_pkgs $test_pkgs $package_pkgs $bench_pkgs $web_test_pkgs" ;;
  web)   want="$web_pkgs" ;;
  *) echo "usage: $0 build|package|test|bench|web" >&2; exit 2 ;;
esac

missing=""
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "cptoc: installing missing Debian packages:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
else
  echo "cptoc: missing Debian packages:$missing" >&2
  echo "cptoc: install them with:" >&2
  echo "  sudo apt-get install -y$missing" >&2
  exit 1
fi
