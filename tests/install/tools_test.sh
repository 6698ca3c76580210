#!/bin/sh
# Everything the install step installs is there. Tests that run these programs fail when one is
# missing, each for a reason far from its own; this one names what to install.
# Usage: tools_test.sh scripts/deps.sh
set -u
deps=$1
packages=$(sed -n '/^PACKAGES="/,/"$/p' "$deps" | sed 's/^PACKAGES="//; s/"$//')
[ -n "$packages" ] || { echo "FAIL: no package list in $deps"; exit 1; }
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
# The programs the tests and benches start, where they look for them.
for c in rz sz rx sx rb sb vi less top lintian desktop-file-validate appstreamcli dpkg-deb; do
  command -v "$c" >/dev/null || missing="$missing $c"
done
[ -x /usr/sbin/ser2net ] || missing="$missing /usr/sbin/ser2net"
/usr/bin/python3 -c 'import serial.tools.miniterm' 2>/dev/null || missing="$missing pyserial"
/usr/bin/python3 -c 'import pymodbus.client' 2>/dev/null || missing="$missing pymodbus"
if [ -n "$missing" ]; then
  echo "FAIL: not installed (scripts/deps.sh installs them):$missing"
  exit 1
fi
