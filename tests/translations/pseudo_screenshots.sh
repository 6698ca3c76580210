#!/bin/sh
# Takes a picture of the main window and of every dialog with each text stretched by the pseudo
# language (about 40 % longer, accented, in brackets), so a caption cut off by a window too narrow
# for a translation shows up: look for a missing "]". Usage: pseudo_screenshots.sh KESTRUM OUTDIR
set -e
KESTRUM="$1"
OUT="$2"
mkdir -p "$OUT"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export KESTRUM_HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=offscreen KESTRUM_LANGUAGE=pseudo
mkdir -p "$KESTRUM_HOME" "$XDG_CONFIG_HOME"
for window in main portsetting openport senddatalist dataedit recdatalist asctable editsymbol \
  autosendsetting singlerecord grouprecord eventedit monitorsetting about; do
  "$KESTRUM" --screenshot "$OUT/$window.png" "$window"
  [ -s "$OUT/$window.png" ] || { echo "no picture of $window"; exit 1; }
done
echo "pictures in $OUT"
