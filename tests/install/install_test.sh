#!/bin/sh
# Installs the build into a scratch prefix (or packs it as a .deb) and checks what a desktop gets.
# Usage: install_test.sh tree|package BUILD_DIR
set -eu
mode=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
need() {
  [ -e "$1" ] || fail "missing $1"
}
# The checkers come with the install step (scripts/deps.sh): one that is missing is a failure, not
# a check left out.
tool() {
  command -v "$1" >/dev/null && return 0
  fail "$1 is not installed"
  return 1
}
# Width and height from a PNG header, as "WxH".
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

check_tree() {
  root=$1
  need "$root/bin/kestrum"
  need "$root/bin/kestrum-vport"
  # Where the protocol analyser looks for capture programs under the same prefix.
  need "$root/lib/x86_64-linux-gnu/wireshark/extcap/kestrum-extcap"
  desktop="$root/share/applications/org.vantrell.Kestrum.desktop"
  need "$desktop"
  need "$root/share/metainfo/org.vantrell.Kestrum.metainfo.xml"
  need "$root/share/man/man1/kestrum.1.gz"
  need "$root/share/man/man1/kestrum-vport.1.gz"
  need "$root/share/doc/kestrum/index.html"
  need "$root/share/doc/kestrum/copyright"
  need "$root/share/doc/kestrum/changelog.gz"
  need "$root/share/icons/hicolor/scalable/apps/org.vantrell.Kestrum.svg"
  for size in 16 22 24 32 48 64 128 256; do
    png="$root/share/icons/hicolor/${size}x${size}/apps/org.vantrell.Kestrum.png"
    need "$png"
    [ -e "$png" ] && [ "$(png_size "$png")" != "${size}x${size}" ] && fail "$png is $(png_size "$png")"
  done
  # The entry starts the installed program and names the installed icon.
  grep -qx "Exec=kestrum" "$desktop" || fail "desktop entry does not start kestrum"
  grep -qx "Icon=org.vantrell.Kestrum" "$desktop" || fail "desktop entry names another icon"
  # A screenshot software centres would fetch from a reserved example address shows nothing.
  grep -o '<image>[^<]*' "$root/share/metainfo/org.vantrell.Kestrum.metainfo.xml" 2>/dev/null |
    grep -q '\.example/' && fail "metainfo screenshot points at a placeholder address"
  # Nothing of the build (tests, benches, static libraries) comes along.
  extra=$(cd "$root" && find . -type f | grep -v -e '^./bin/kestrum$' -e '^./bin/kestrum-vport$' \
    -e '^./lib/x86_64-linux-gnu/wireshark/extcap/kestrum-extcap$' \
    -e '^./share/applications/' -e '^./share/metainfo/' -e '^./share/man/man1/' -e '^./share/doc/kestrum/' \
    -e '^./share/icons/hicolor/' || true)
  [ -z "$extra" ] || fail "unexpected files: $extra"
}

if [ "$mode" = tree ]; then
  cmake --install "$build" --prefix "$scratch/usr" >/dev/null
  check_tree "$scratch/usr"
  tool desktop-file-validate && {
    desktop-file-validate "$scratch/usr/share/applications/org.vantrell.Kestrum.desktop" || fail "desktop entry"
  }
  tool appstreamcli && {
    appstreamcli validate --no-net "$scratch/usr/share/metainfo/org.vantrell.Kestrum.metainfo.xml" >/dev/null ||
      fail "metainfo"
  }
  # The installed program answers without a display, from any prefix.
  version=$("$scratch/usr/bin/kestrum" --version)
  echo "$version" | grep -Eq '^kestrum [0-9]+(\.[0-9]+)+$' || fail "--version said: $version"
  "$scratch/usr/bin/kestrum" --help | grep -q -- "--screenshot" || fail "--help lacks --screenshot"
  if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$scratch/usr/share/man/man1/kestrum.1.gz" 2>&1 | grep -q "XDG_DATA_HOME" ||
      fail "man page does not render"
  fi
else
  (cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
  deb=$(ls "$scratch"/out/kestrum_*_*.deb 2>/dev/null | head -n 1)
  if [ -z "$deb" ]; then
    fail "no package was made"
  else
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libqt6widgets6 libqt6gui6 libqt6core6 libqt6svg6 libc6 qt6-qpa-plugins; do
      echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Package)" = kestrum ] || fail "package name"
    dpkg-deb -x "$deb" "$scratch/root"
    check_tree "$scratch/root/usr"
    # The package carries the program's whole version, not a shortened one.
    shown=$("$scratch/root/usr/bin/kestrum" --version)
    [ "kestrum $(dpkg-deb -f "$deb" Version)" = "$shown" ] || fail "package version differs from: $shown"
    gzip -dc "$scratch/root/usr/share/doc/kestrum/changelog.gz" | head -n 1 |
      grep -qF "kestrum ($(dpkg-deb -f "$deb" Version))" || fail "the changelog's last entry is not this version"
    tool lintian && { lintian --fail-on error,warning "$deb" || fail "lintian"; }
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures problems"
  exit 1
fi
echo "install $mode: all checks passed"
