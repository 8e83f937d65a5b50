#!/bin/sh
# The Debian package and the installed tree, checked from the outside:
#   the package builds with cpack; its control fields (version, architecture,
#   maintainer, description, run-time dependencies found by dpkg-shlibdeps,
#   recommendations); the files it lists; the licence and the copyright file;
#   the changelog; the programs run from the unpacked package (--help and
#   --version too); lintian -I
#   --pedantic reports nothing but the accepted tags below; the desktop entry
#   and the AppStream metainfo validate; both manual pages render without
#   warnings; the version rule over a history of commits and tags; a second
#   build in another folder gives the same .deb byte for byte, and a maintainer
#   given at package time; the stack protector; make install's copy
#   under another prefix and DESTDIR, the launcher on a pseudo-terminal, and
#   make uninstall leaving nothing.
#
# Usage: test_package.sh BUILD_DIR SOURCE_DIR VERSION ANSWER_PROGRAM|none
# VERSION is the package version of the build (CPTOC_VERSION). ANSWER_PROGRAM
# is the answer key built in the tree (its output is the one the packaged copy
# must print); "none" when the tree has no answer key, and then the package
# must not have one either.
set -u

build=$1
src=$2
version=$3
answer_built=$4
release=${version%%[~+]*}

# lintian tags accepted in the package, each with its reason:
#   binary-has-unneeded-section  the .comment section names the compiler that
#       built the C library's start files and the programs; cpack strips with
#       plain `strip`, which keeps it. It costs a few hundred bytes.
lintian_accepted="binary-has-unneeded-section"
# appstreamcli's notes accepted in the metainfo, each with its reason:
#   cid-maybe-not-rdns  the component id is the reverse of the project's own
#       mail domain (a .example name), which the validator does not know.
appstream_accepted="cid-maybe-not-rdns"

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
[ "$answer_built" = none ] || echo "$depends" | grep -q 'libcairo2 (>= [0-9]' || fail "Depends lacks cairo: '$depends'"
recommends=$(field Recommends)
[ "$recommends" = "x-terminal-emulator, fonts-noto-cjk | fonts-ipafont-gothic" ] ||
  fail "Recommends is '$recommends', not a terminal and a Japanese font"
field Description >"$tmp/description"
summary=$(head -n 1 "$tmp/description")
long_lines=$(tail -n +2 "$tmp/description" | grep -c '[a-z]')
[ -n "$summary" ] || fail "no short description"
[ "$long_lines" -ge 3 ] || fail "the long description has $long_lines lines"
pass "control: $(field Package) $(field Version) $(field Architecture); Depends: $depends; Recommends: $recommends"

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
expect_file /usr/libexec/cptoc/cptoc-terminal
expect_file /usr/share/metainfo/example.c_seed_a846978e.cptoc.metainfo.xml
# The notes for developers stay in the sources.
expect_no_file /usr/share/doc/cptoc/BENCHMARKS.md
expect_no_file /usr/share/doc/cptoc/docs/development.md
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
awk '$6 ~ /^\.\/usr\/(bin|libexec\/cptoc)\/./ && $1 != "-rwxr-xr-x" {print}' "$tmp/contents" >"$tmp/badmode"
[ ! -s "$tmp/badmode" ] || fail "programs not 0755: $(cat "$tmp/badmode")"
pass "dpkg-deb -c lists $(wc -l <"$tmp/paths") entries"

# 4. The unpacked package runs.
root="$tmp/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"

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

# --help and --version print and end with status 0, without a display and
# without starting the dialogue; --version names the package's version.
for run in "cptoc --help" "cptoc --version" "cptoc-answer --version"; do
  set -- $run
  [ "$answer_built" != none ] || [ "$1" = cptoc ] || continue
  env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$1" "$2" </dev/null >"$tmp/option.out" 2>"$tmp/option.err"
  status=$?
  [ "$status" -eq 0 ] || fail "$run without a display exited with $status: $(cat "$tmp/option.err")"
  [ -s "$tmp/option.out" ] || fail "$run printed nothing"
  if grep -q '変更する\|設定した最短時間制御の条件' "$tmp/option.out"; then fail "$run started the dialogue"; fi
  if [ "$2" = --version ]; then
    [ "$(head -n 1 "$tmp/option.out")" = "$1 $version" ] || fail "$run prints '$(head -n 1 "$tmp/option.out")', not '$1 $version'"
  fi
done
pass "--help and --version without a display: $(cat "$tmp/option.out")"

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

# 5. Licence, copyright file, changelog and README.
doc="$root/usr/share/doc/cptoc"
head -n 1 "$src/LICENSE" | grep -qx 'MIT License' || fail "LICENSE is not the MIT licence"
grep -qx 'Copyright (c) [0-9]* the cptoc developers' "$src/LICENSE" || fail "LICENSE names no copyright of the cptoc developers"
head -n 1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -qx 'Files: \*' "$doc/copyright" || fail "the copyright file has no Files: * paragraph"
[ "$(grep -c '^License: Expat$' "$doc/copyright")" -eq 2 ] ||
  fail "the copyright file does not license Files: * as Expat with the licence's text"
# The text in the copyright file is LICENSE's, word for word, from its grant to its end.
sed -n '/^Permission is hereby granted/,$p' "$src/LICENSE" | tr -s ' \n' '\n\n' | grep . >"$tmp/license.words"
sed -n '/^ Permission is hereby granted/,/^[^ ]/p' "$doc/copyright" | grep '^ ' | grep -v '^ \.$' |
  tr -s ' \n' '\n\n' | grep . >"$tmp/copyright.words"
cmp -s "$tmp/license.words" "$tmp/copyright.words" || fail "the Expat text of the copyright file is not LICENSE's"
grep -q 'MIT licence' "$doc/README.md" || fail "README does not name the licence"

gzip -dc "$doc/changelog.gz" >"$tmp/changelog" || fail "changelog.gz does not decompress"
head -n 1 "$tmp/changelog" | grep -q "^cptoc ($version) " || fail "the changelog does not start with version $version"
dpkg-parsechangelog -l "$tmp/changelog" --format rfc822 --all >"$tmp/changelog.entries" ||
  fail "dpkg-parsechangelog cannot read the changelog"
sed -n 's/^Version: //p' "$tmp/changelog.entries" | tr '\n' ' ' >"$tmp/changelog.versions"
sed -n 's/^Timestamp: //p' "$tmp/changelog.entries" >"$tmp/changelog.times"
# One entry per release, newest first, each with what changed.
set -- $(cat "$tmp/changelog.versions")
[ "$#" -ge 2 ] || fail "the changelog has $# entries"
newer=""
for v in "$@"; do
  [ -z "$newer" ] || dpkg --compare-versions "$newer" gt "$v" || fail "changelog entry $v does not follow a newer one ($newer)"
  newer=$v
done
sort -rn "$tmp/changelog.times" | cmp -s - "$tmp/changelog.times" || fail "the changelog's dates are not newest first"
[ "$(grep -c '^  \* ' "$tmp/changelog")" -ge 4 ] || fail "the changelog says little of what changed"
if git -C "$src" rev-parse HEAD >/dev/null 2>&1; then
  [ "$(head -n 1 "$tmp/changelog.times")" = "$(git -C "$src" log -1 --format=%ct)" ] ||
    fail "the newest changelog entry is not dated by the last commit"
fi

# Installed without what only the sources need.
for phrase in 'make run' 'build/cptoc-answer' 'source-only' 'development.md' 'BENCHMARKS'; do
  if grep -q "$phrase" "$doc/README.md"; then fail "the installed README still says '$phrase'"; fi
done
# What README links to is installed beside it.
grep -o '](docs/[^)]*)' "$doc/README.md" | sed 's/^](//; s/)$//' | sort -u | while read -r target; do
  [ -f "$doc/$target" ] || echo "$target"
done >"$tmp/dangling"
[ ! -s "$tmp/dangling" ] || fail "the installed README links to files not installed: $(cat "$tmp/dangling")"
pass "MIT licence, Expat copyright file, changelog of $# releases ($(cat "$tmp/changelog.versions")), README"

# 6. lintian -I --pedantic: nothing but the accepted tags.
lintian -I --pedantic "$deb" >"$tmp/lintian.out" 2>&1
grep -v 'running with root privileges' "$tmp/lintian.out"
sed -n 's/^[EWIPXOC]: cptoc[^:]*: \([^ ]*\).*/\1/p' "$tmp/lintian.out" | sort -u >"$tmp/lintian.tags"
tags=$(grep -c '' "$tmp/lintian.tags")
for tag in $(cat "$tmp/lintian.tags"); do
  case " $lintian_accepted " in
    *" $tag "*) ;;
    *) fail "lintian: $tag" ;;
  esac
done
if grep -q '^E: ' "$tmp/lintian.out"; then fail "lintian reports errors"; fi
pass "lintian -I --pedantic: $tags tag(s), all accepted"

# 7. The desktop entry and the AppStream metainfo.
desktop="$root/usr/share/applications/cptoc.desktop"
desktop-file-validate "$desktop" >"$tmp/desktop.out" 2>&1 || fail "desktop-file-validate exited with $?"
[ ! -s "$tmp/desktop.out" ] || fail "desktop-file-validate: $(cat "$tmp/desktop.out")"
for line in Terminal=true StartupWMClass=cptoc 'Name\[ja\]=.*' 'Comment\[ja\]=.*' 'Keywords=.*;'; do
  grep -qx "$line" "$desktop" || fail "the desktop entry has no line $line"
done
# The menu starts the launcher (which keeps the terminal open) by its path in the package.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = /usr/libexec/cptoc/cptoc-terminal ] || fail "the desktop entry starts '$exec_line', not the launcher"
grep -qx "cptoc='/usr/bin/cptoc'" "$root$exec_line" || fail "the packaged launcher does not start /usr/bin/cptoc"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon '$icon' is not in the package"
pass "desktop entry valid, Exec=$exec_line, Icon=$icon, Terminal=true, StartupWMClass=cptoc"

metainfo="$root/usr/share/metainfo/example.c_seed_a846978e.cptoc.metainfo.xml"
appstreamcli validate --no-net --pedantic "$metainfo" >"$tmp/appstream.out" 2>&1 || fail "appstreamcli validate exited with $?"
sed -n 's/^[EWIP]: [^:]*:[0-9]*: \([^ ]*\).*/\1/p' "$tmp/appstream.out" | sort -u >"$tmp/appstream.tags"
for tag in $(cat "$tmp/appstream.tags"); do
  case " $appstream_accepted " in
    *" $tag "*) ;;
    *) fail "appstreamcli: $(grep "$tag" "$tmp/appstream.out")" ;;
  esac
done
grep -q '<launchable type="desktop-id">cptoc.desktop</launchable>' "$metainfo" || fail "the metainfo does not launch cptoc.desktop"
grep -q "<release version=\"$release\"" "$metainfo" || fail "the metainfo does not list release $release"
pass "metainfo: $(tail -n 1 "$tmp/appstream.out")"

# 8. The manual pages render without warnings.
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
for section in NAME SYNOPSIS DESCRIPTION KEYS "EXIT STATUS" "SEE ALSO" COPYRIGHT; do
  grep -q "^$section" "$tmp/cptoc.man" || fail "cptoc(1) has no $section section"
done
grep -q "^cptoc $release " "$tmp/cptoc.man" || fail "cptoc(1) does not name release $release in its footer"
# Every window key of README's key table is described.
for key in s t r c f 0 w W x X y Y k u ESC; do
  grep -Eq "^ +$key( |$)|^ +[a-z]+ / $key|^ +x X / y $key|^ +x X / $key|^ +x $key" "$tmp/cptoc.man" ||
    fail "cptoc(1) does not describe the key $key"
done
if [ "$answer_built" != none ]; then
  render "$man1/cptoc-answer.1.gz" "$tmp/answer.man"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" COPYRIGHT; do
    grep -q "^$section" "$tmp/answer.man" || fail "cptoc-answer(1) has no $section section"
  done
  # Every option that the program's --help names is in its manual page.
  for option in $(grep -o -- '--[a-z][a-z-]*' "$tmp/answer.help" | sort -u); do
    grep -q -- "$option" "$tmp/answer.man" || fail "cptoc-answer(1) does not describe $option"
  done
fi
for page in "$tmp/cptoc.man" "$tmp/answer.man"; do
  [ -f "$page" ] || continue
  sed -n '/^COPYRIGHT/,/^[A-Z]/p' "$page" | tr -s ' \n' '  ' | grep -q 'MIT licence' ||
    fail "$(basename "$page" .man)(1) does not name the MIT licence in COPYRIGHT"
done
pass "manual pages render without warnings"

# 9. The version rule: over a history of commits and release tags, every later
# build has a higher version (dpkg --compare-versions), and this build's is the
# one its commit gives.
version_at() {
  cmake -DRELEASE="$1" -DSOURCE_DIR="$tmp/history" -P "$src/packaging/version.cmake" 2>&1 | cut -d ' ' -f 1
}
commit() {
  git -C "$tmp/history" -c user.name=test -c user.email=test@example.invalid commit -q --allow-empty -m "$1"
}
if git -C "$src" rev-parse HEAD >/dev/null 2>&1 && git clone -q --shared "$src" "$tmp/history" 2>/dev/null; then
  git -C "$tmp/history" checkout -q "$(git -C "$src" rev-parse HEAD)"
  git -C "$tmp/history" tag -l | xargs -r git -C "$tmp/history" tag -d >/dev/null
  v0=$(version_at "$release")
  [ "$v0" = "$version" ] || fail "the commit of this build gives version $v0, the package has $version"
  count=$(git -C "$tmp/history" rev-list --count HEAD)
  hash=$(git -C "$tmp/history" rev-parse --short=7 HEAD)
  [ "$v0" = "$release~git$count.$hash" ] || fail "version $v0 is not $release~git$count.$hash"
  commit one; v1=$(version_at "$release")
  git -C "$tmp/history" tag "v$release"; v2=$(version_at "$release")
  [ "$v2" = "$release" ] || fail "the commit tagged v$release has version $v2"
  commit two; v3=$(version_at "$release")
  next="${release%.*}.$((${release##*.} + 1))"
  commit three; v4=$(version_at "$next")
  git -C "$tmp/history" tag "v$next"; v5=$(version_at "$next")
  order="$v0 < $v1 < $v2 < $v3 < $v4 < $v5"
  set -- "$v0" "$v1" "$v2" "$v3" "$v4" "$v5"
  earlier=$1
  shift
  for later in "$@"; do
    dpkg --compare-versions "$later" gt "$earlier" || fail "version $later does not upgrade $earlier ($order)"
    earlier=$later
  done
  pass "version rule: $order"
else
  echo "note: $src is no git work tree; the version rule is not checked"
fi

# 10. A second build from scratch, as make install makes it (a new folder, no
# tests), gives the same package byte for byte; the folder does not show in the
# programs; the maintainer is the one given at package time.
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
second="$tmp/another-build-folder"
sh "$src/packaging/install-tree.sh" install "$second" "$tmp/inst" "" 2 \
  -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" -DCPTOC_MAINTAINER="$(cache CPTOC_MAINTAINER)" \
  -DCPTOC_HARDENING="$(cache CPTOC_HARDENING)" -DCPTOC_SANITIZE="$(cache CPTOC_SANITIZE)" >"$tmp/second.log" 2>&1 ||
  { tail -n 30 "$tmp/second.log"; fail "make install's build in a new folder"; }
[ "$(sed -n 's/^CPTOC_TESTS:BOOL=//p' "$second/CMakeCache.txt")" = OFF ] || fail "make install configured a new folder with the tests"
[ ! -d "$second/tests" ] || fail "make install's build has a tests folder"
cpack -G DEB --config "$second/CPackConfig.cmake" -B "$tmp/out2" >"$tmp/cpack2.log" 2>&1 || fail "cpack in the second folder"
if cmp -s "$deb" "$tmp/out2/$deb_name"; then
  pass "two builds in two folders give the same $deb_name ($(wc -c <"$deb") bytes)"
else
  fail "the package of a second build differs from the first"
  diff "$tmp/contents" "$(dpkg-deb -c "$tmp/out2/$deb_name" >"$tmp/contents2"; echo "$tmp/contents2")" | head
fi
for program in "$second/cptoc" "$second/cptoc-answer"; do
  [ -f "$program" ] || continue
  if grep -q -a -F -e "$second" -e "$build" -e "$src" "$program"; then fail "$(basename "$program") names a build or source folder"; fi
done
MAINTAINER_GIVEN="Lab Admin <admin@lab.example.invalid>"
cmake -S "$src" -B "$second" -DCPTOC_MAINTAINER="$MAINTAINER_GIVEN" >/dev/null 2>&1 &&
  cmake --build "$second" --target installables >/dev/null 2>&1 &&
  cpack -G DEB --config "$second/CPackConfig.cmake" -B "$tmp/out3" >/dev/null 2>&1 || fail "cpack with a given maintainer"
[ "$(dpkg-deb -f "$tmp/out3/$deb_name" Maintainer)" = "$MAINTAINER_GIVEN" ] || fail "the given maintainer is not the package's"
dpkg-deb --fsys-tarfile "$tmp/out3/$deb_name" | tar -xOf - ./usr/share/doc/cptoc/changelog.gz | gzip -dc |
  sed -n '1,/^ -- /p' | grep -q "^ -- $MAINTAINER_GIVEN  " || fail "the newest changelog entry is not signed by the given maintainer"
if cmake -S "$src" -B "$second" -DCPTOC_MAINTAINER="no address" >/dev/null 2>&1; then
  fail "a maintainer without an address was taken"
fi
pass "MAINTAINER=\"$MAINTAINER_GIVEN\" in the control file and the changelog; one without an address refused"

# 11. Hardening: lintian's tags above cover relro, bindnow, PIE and fortified
# calls; the stack protector, which it does not check, is checked here.
for program in "$root/usr/bin/cptoc" "$root/usr/bin/cptoc-answer"; do
  [ -f "$program" ] || continue
  readelf --dyn-syms -W "$program" | grep -q '__stack_chk_fail' || fail "$(basename "$program") has no stack protector"
done
pass "hardening: stack protector"

# 12. make install's copy under a prefix and DESTDIR beside a file of something
# else, the launcher of such an install, and make uninstall leaving nothing of it.
stage="$tmp/stage"
mkdir -p "$stage/opt/share/applications"
echo other >"$stage/opt/share/applications/other.desktop"
(cd "$stage" && find . | sort) >"$tmp/before"
CPTOC_INSTALL_RECORD="$tmp/record" sh "$src/packaging/install-tree.sh" copy "$build" /opt "$stage" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; fail "make install's copy"; }
for f in bin/cptoc libexec/cptoc/cptoc-terminal share/man/man1/cptoc.1.gz share/applications/cptoc.desktop share/doc/cptoc/README.md; do
  [ -f "$stage/opt/$f" ] || fail "DESTDIR install lacks /opt/$f"
done
grep -qx 'Exec=/opt/libexec/cptoc/cptoc-terminal' "$stage/opt/share/applications/cptoc.desktop" ||
  fail "the installed desktop entry does not start the launcher under the prefix"
strays=$(cd "$stage" && find . -type f ! -path './opt/*')
[ -z "$strays" ] || fail "DESTDIR install wrote outside the prefix: $strays"
CPTOC_INSTALL_RECORD="$tmp/record" sh "$src/packaging/install-tree.sh" uninstall "$build" >"$tmp/uninstall.log" 2>&1 ||
  { cat "$tmp/uninstall.log"; fail "make uninstall"; }
(cd "$stage" && find . | sort) >"$tmp/after"
if cmp -s "$tmp/before" "$tmp/after"; then
  pass "install under DESTDIR and /opt, uninstall: $(grep -c Removed "$tmp/uninstall.log") files and folders removed, the other file kept"
else
  fail "make uninstall leaves what was not there before:"
  diff "$tmp/before" "$tmp/after"
fi
[ ! -e "$tmp/record" ] || fail "make uninstall kept its record"

# The launcher of make install's build, with a cptoc it can start (no DESTDIR).
launcher="$tmp/inst/libexec/cptoc/cptoc-terminal"
if python3 "$src/tests/package/test_launcher.py" "$launcher" >"$tmp/launcher.log" 2>&1; then
  pass "launcher on a pseudo-terminal: $(tail -n 1 "$tmp/launcher.log")"
else
  cat "$tmp/launcher.log"
  fail "the launcher"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
