#!/bin/sh
# The Debian package and the installed tree, checked from the outside:
#   the package builds with cpack; its control fields (version, architecture,
#   maintainer, description, run-time dependencies found by dpkg-shlibdeps);
#   the files it lists; the programs run from the unpacked package; lintian
#   reports no error; the desktop entry validates; both manual pages render
#   without warnings; `cmake --install` honours --prefix and DESTDIR.
#
# Usage: test_package.sh BUILD_DIR SOURCE_DIR VERSION ANSWER_PROGRAM|none
# ANSWER_PROGRAM is the answer key built in the tree (its output is the one the
# packaged copy must print); "none" when the tree has no answer key, and then
# the package must not have one either.
set -u

build=$1
src=$2
version=$3
answer_built=$4

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() {
  echo "ok: $*"
}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/cptoc-package.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT INT TERM

export LC_ALL=C.UTF-8

arch=$(dpkg --print-architecture)
deb_name="cptoc_${version}_${arch}.deb"

# 1. The package builds.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
deb="$tmp/out/$deb_name"
if [ ! -f "$deb" ]; then
  ls -l "$tmp/out"
  echo "FAIL: cpack did not write $deb_name"
  exit 1
fi
pass "cpack wrote $deb_name"

# 2. Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = cptoc ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', not $arch"
case "$(field Maintainer)" in
  *?' <'?*@?*'>') ;;
  *) fail "Maintainer '$(field Maintainer)' is not 'name <address>'" ;;
esac
depends=$(field Depends)
# The programs link the C library and freeglut; dpkg-shlibdeps names their packages with versions.
echo "$depends" | grep -q 'libc6 (>= [0-9]' || fail "Depends lacks a versioned libc6: '$depends'"
echo "$depends" | grep -q 'libglut[0-9.]* (>= [0-9]' || fail "Depends lacks a versioned freeglut: '$depends'"
field Description >"$tmp/description"
summary=$(head -n 1 "$tmp/description")
long_lines=$(tail -n +2 "$tmp/description" | grep -c '[a-z]')
[ -n "$summary" ] || fail "no short description"
[ "$long_lines" -ge 3 ] || fail "the long description has $long_lines lines"
pass "control: $(field Package) $(field Version) $(field Architecture); Depends: $depends"

# 3. The files.
dpkg-deb -c "$deb" >"$tmp/contents" || fail "dpkg-deb -c"
awk '{print $6}' "$tmp/contents" | sed 's|^\./|/|' >"$tmp/paths"
expect_file() {
  grep -qx "$1" "$tmp/paths" || fail "the package lacks $1"
}
expect_no_file() {
  if grep -qx "$1" "$tmp/paths"; then fail "the package has $1"; fi
}
expect_file /usr/bin/cptoc
expect_file /usr/share/man/man1/cptoc.1.gz
expect_file /usr/share/applications/cptoc.desktop
expect_file /usr/share/icons/hicolor/scalable/apps/cptoc.svg
expect_file /usr/share/doc/cptoc/README.md
expect_file /usr/share/doc/cptoc/copyright
expect_file /usr/share/doc/cptoc/changelog.gz
pictures=0
for png in "$src"/docs/*.png; do
  [ -e "$png" ] || continue
  expect_file "/usr/share/doc/cptoc/docs/$(basename "$png")"
  pictures=$((pictures + 1))
done
[ "$pictures" -ge 1 ] || fail "no pictures in $src/docs"
if [ "$answer_built" = none ]; then
  expect_no_file /usr/bin/cptoc-answer
  expect_no_file /usr/share/man/man1/cptoc-answer.1.gz
  echo "note: this tree has no answer key program; checked that the package has none either"
else
  expect_file /usr/bin/cptoc-answer
  expect_file /usr/share/man/man1/cptoc-answer.1.gz
fi
outside=$(grep -v '^/usr/' "$tmp/paths" | grep -vx '/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
not_root=$(awk '$2 != "root/root"' "$tmp/contents")
[ -z "$not_root" ] || fail "entries not owned by root: $not_root"
awk '$6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" {print}' "$tmp/contents" >"$tmp/badmode"
[ ! -s "$tmp/badmode" ] || fail "programs not 0755: $(cat "$tmp/badmode")"
pass "dpkg-deb -c lists $(wc -l <"$tmp/paths") entries"

# 4. The unpacked package runs.
root="$tmp/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
gzip -dc "$root/usr/share/doc/cptoc/changelog.gz" 2>/dev/null | head -n 1 | grep -q "^cptoc ($version) " ||
  fail "the changelog does not start with version $version"

env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/cptoc" </dev/null >"$tmp/cptoc.out" 2>"$tmp/cptoc.err"
status=$?
printf '%s\n' 'cptoc: 画面(X display)に接続できません。DISPLAY を確認してください。' >"$tmp/cptoc.want"
[ "$status" -eq 1 ] || fail "cptoc without a display exited with $status, not 1"
# It stops before the dialogue: no question on standard output.
if grep -q '変更する' "$tmp/cptoc.out"; then fail "cptoc without a display asked a question"; fi
if ! cmp -s "$tmp/cptoc.err" "$tmp/cptoc.want"; then
  fail "cptoc without a display: standard error differs from the one line"
  diff "$tmp/cptoc.want" "$tmp/cptoc.err"
fi
pass "unpacked cptoc without DISPLAY: status $status, $(cat "$tmp/cptoc.err")"

if [ "$answer_built" != none ]; then
  "$root/usr/bin/cptoc-answer" 1 0.5 90 2 2 >"$tmp/answer.out" 2>"$tmp/answer.err"
  status=$?
  [ "$status" -eq 0 ] || fail "unpacked cptoc-answer 1 0.5 90 2 2 exited with $status: $(cat "$tmp/answer.err")"
  "$answer_built" 1 0.5 90 2 2 >"$tmp/answer.tree" 2>/dev/null
  cmp -s "$tmp/answer.out" "$tmp/answer.tree" ||
    fail "the packaged cptoc-answer prints other lines than the one in the build tree"
  # The quarter circle's minimum time: 2.549288 s at R = 1 m and 1 m/s^2,
  # scaled by sqrt(R/a) = sqrt(0.5/2) = 0.5.
  if awk -v want=1.274644 '
      /tf/ {
        n = split($0, w, /[^0-9.]+/)
        for (i = 1; i <= n; i++)
          if (w[i] ~ /^[0-9]+\.[0-9]+$/ && (w[i] - want < 5e-5 && want - w[i] < 5e-5)) found = 1
      }
      END { exit !found }' "$tmp/answer.out"; then
    pass "unpacked cptoc-answer prints the default arc's optimum: $(grep -m 1 '1\.2746' "$tmp/answer.out")"
  else
    fail "unpacked cptoc-answer 1 0.5 90 2 2 prints no tf of 1.2746 s"
    cat "$tmp/answer.out"
  fi
  "$root/usr/bin/cptoc-answer" --help >"$tmp/answer.help" 2>&1 || fail "cptoc-answer --help exited with $?"
fi

# 5. lintian: no error.
lintian --fail-on error "$deb" >"$tmp/lintian.out" 2>&1
status=$?
grep -v 'running with root privileges' "$tmp/lintian.out"
[ "$status" -eq 0 ] || fail "lintian reports errors (status $status)"
pass "lintian: $(grep -c '^E:' "$tmp/lintian.out") errors, $(grep -c '^W:' "$tmp/lintian.out") warnings"

# 6. The desktop entry.
desktop="$root/usr/share/applications/cptoc.desktop"
desktop-file-validate "$desktop" >"$tmp/desktop.out" 2>&1 || fail "desktop-file-validate exited with $?"
[ ! -s "$tmp/desktop.out" ] || fail "desktop-file-validate: $(cat "$tmp/desktop.out")"
grep -qx 'Terminal=true' "$desktop" || fail "the desktop entry does not start a terminal"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "the desktop entry starts '$exec_line', not a program of the package"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon '$icon' is not in the package"
pass "desktop entry valid, Exec=$exec_line, Icon=$icon, Terminal=true"

# 7. The manual pages render without warnings.
render() {
  MANWIDTH=80 man --warnings -E UTF-8 -l "$1" >"$2" 2>"$tmp/man.err"
  status=$?
  [ "$status" -eq 0 ] || fail "man -l $(basename "$1") exited with $status"
  if [ -s "$tmp/man.err" ]; then
    fail "man -l $(basename "$1") warns:"
    cat "$tmp/man.err"
  fi
}
man1="$root/usr/share/man/man1"
render "$man1/cptoc.1.gz" "$tmp/cptoc.man"
for section in NAME SYNOPSIS DESCRIPTION KEYS "EXIT STATUS" "SEE ALSO"; do
  grep -q "^$section" "$tmp/cptoc.man" || fail "cptoc(1) has no $section section"
done
grep -q "^cptoc $version " "$tmp/cptoc.man" || fail "cptoc(1) does not name version $version in its footer"
# Every window key of README's key table is described.
for key in s t r c f 0 w W x X y Y k u ESC; do
  grep -Eq "^ +$key( |$)|^ +[a-z]+ / $key|^ +x X / y $key|^ +x X / $key|^ +x $key" "$tmp/cptoc.man" ||
    fail "cptoc(1) does not describe the key $key"
done
if [ "$answer_built" != none ]; then
  render "$man1/cptoc-answer.1.gz" "$tmp/answer.man"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS"; do
    grep -q "^$section" "$tmp/answer.man" || fail "cptoc-answer(1) has no $section section"
  done
  # Every option that the program's --help names is in its manual page.
  for option in $(grep -o -- '--[a-z][a-z-]*' "$tmp/answer.help" | sort -u); do
    grep -q -- "$option" "$tmp/answer.man" || fail "cptoc-answer(1) does not describe $option"
  done
fi
pass "manual pages render without warnings"

# 8. cmake --install with another prefix, staged under DESTDIR.
stage="$tmp/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /opt/cptoc >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; fail "cmake --install"; }
for f in bin/cptoc share/man/man1/cptoc.1.gz share/applications/cptoc.desktop share/doc/cptoc/README.md; do
  [ -f "$stage/opt/cptoc/$f" ] || fail "DESTDIR install lacks /opt/cptoc/$f"
done
strays=$(cd "$stage" && find . -type f ! -path './opt/cptoc/*')
[ -z "$strays" ] || fail "DESTDIR install wrote outside the prefix: $strays"
pass "DESTDIR=... cmake --install --prefix /opt/cptoc"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
