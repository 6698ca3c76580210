#!/bin/sh
# Installs what building and testing Kestrum needs on Debian 12; does nothing when all is there.
set -e
# ser2net serves a pseudo-terminal over the network to the tests of network ports; it comes with a
# system service on ports 2000-2001, which the tests leave alone (they start their own). pyserial
# (python3-serial) reaches the same server in a bench, for comparison. The console's tests run
# programs behind a pseudo-terminal: vi (vim-tiny), less and top (procps). The translations are
# built with lrelease and checked with lupdate (qt6-l10n-tools, with the CMake package in
# qt6-tools-dev); Qt's own translations come from qt6-translations-l10n, and a Chinese font shows
# the Chinese texts in the screenshots. The demo Modbus server is tested with the client of
# python3-pymodbus (its serial client needs python3-serial-asyncio, only a recommendation of the
# package, which the install leaves out); captures for the protocol analyser are read back by its tshark.
PACKAGES="cmake ninja-build g++ clang lld libclang-rt-14-dev ccache pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev fonts-dejavu-core
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n fonts-wqy-microhei python3
  libgtest-dev libbenchmark-dev libvterm-dev liblua5.4-dev zlib1g-dev
  dpkg-dev desktop-file-utils appstream lintian
  lrzsz ser2net python3-serial python3-pymodbus python3-serial-asyncio tshark vim-tiny less procps"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
