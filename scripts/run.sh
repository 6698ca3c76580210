#!/bin/sh
# Installs what is missing, builds Kestrum and starts it.
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake --preset release
cmake --build --preset release
exec ./build/release/src/kestrum "$@"
