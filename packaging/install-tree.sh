#!/bin/sh
# make install and make uninstall.
#
#   install-tree.sh install BUILD PREFIX DESTDIR JOBS [CMAKE_ARGS...]
#       configures BUILD (a new build folder without the tests), builds what
#       gets installed, and installs it (copy).
#   install-tree.sh copy BUILD PREFIX DESTDIR
#       installs from an already built BUILD and records what it installed:
#       every file, and every folder that did not exist before.
#   install-tree.sh uninstall BUILD
#       removes the recorded files, then the recorded folders that are empty.
#
# The record is kept in BUILD/installed/ (CPTOC_INSTALL_RECORD overrides it),
# apart from cmake's own install_manifest.txt, which any later cmake --install
# from the same build folder (into a staging folder, say) overwrites.
# Installing twice adds to the record.
# Run as root (sudo make install) in a folder owned by someone else, the build
# folder is handed back to the owner of the sources afterwards, so that the
# user can still build in it.
set -eu

mode=$1
build=$2
src=$(cd "$(dirname "$0")/.." && pwd)
record=${CPTOC_INSTALL_RECORD:-$build/installed}

give_back() {
  if [ "$(id -u)" -eq 0 ] && [ -d "$build" ]; then
    chown -R --reference="$src" "$build" 2>/dev/null || true
  fi
}

copy() {
  prefix=$1
  destdir=$2
  stage=$(mktemp -d "${TMPDIR:-/tmp}/cptoc-install.XXXXXX")
  # What gets installed, staged first: its files are the record (cmake's own
  # install_manifest.txt is shared by every install from this build folder),
  # and the folders among their paths that do not exist yet are the ones this
  # install creates.
  DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null
  mkdir -p "$record"
  (cd "$stage" && find . -type f -o -type l) | sed "s|^\.||" >"$record/staged"
  rm -rf "$stage"
  while IFS= read -r path; do
    echo "$destdir$path" >>"$record/files"
    dir=$(dirname "$destdir$path")
    while [ ! -d "$dir" ] && [ "$dir" != / ] && [ "$dir" != . ]; do
      echo "$dir"
      dir=$(dirname "$dir")
    done
  done <"$record/staged" >>"$record/folders"
  rm -f "$record/staged"
  DESTDIR="$destdir" cmake --install "$build" --prefix "$prefix"
  for list in files folders; do
    sort -u "$record/$list" | grep -v '^$' >"$record/$list.new" || true
    mv "$record/$list.new" "$record/$list"
  done
}

case "$mode" in
  install)
    trap give_back EXIT
    tests=""
    [ -f "$build/CMakeCache.txt" ] || tests=-DCPTOC_TESTS=OFF
    prefix=$3 destdir=$4 jobs=$5
    shift 5
    cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo $tests "$@"
    cmake --build "$build" -j "$jobs" --target installables
    copy "$prefix" "$destdir"
    ;;
  copy)
    copy "$3" "$4"
    ;;
  uninstall)
    if [ ! -f "$record/files" ]; then
      echo "cptoc: nothing to uninstall: $record/files does not exist (make install was not run from $build)" >&2
      exit 1
    fi
    while IFS= read -r path; do
      [ -n "$path" ] || continue
      if [ -f "$path" ] || [ -L "$path" ]; then
        rm -f "$path"
        echo "-- Removed: $path"
      fi
    done <"$record/files"
    # Deepest first, so that a folder is empty when its turn comes; a folder that
    # holds files of something else stays.
    if [ -f "$record/folders" ]; then
      sort -r "$record/folders" | while IFS= read -r dir; do
        if [ -d "$dir" ] && rmdir "$dir" 2>/dev/null; then echo "-- Removed: $dir/"; fi
      done
    fi
    rm -rf "$record"
    ;;
  *)
    echo "usage: $0 install|copy|uninstall BUILD [PREFIX DESTDIR [JOBS]]" >&2
    exit 2
    ;;
esac
