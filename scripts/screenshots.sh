#!/bin/sh
# Regenerates every picture of the manual (docs/manual/images/) and the README's
# (docs/screenshot.png) from the real program, offscreen, with sample working files so the lists
# show something. Builds what it needs first; BUILD names another build folder to use.
set -e
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build/release}"
if [ "$BUILD" = build/release ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target kestrum kestrum-vport
fi
KESTRUM="$BUILD/src/kestrum"
OUT=docs/manual/images
mkdir -p "$OUT"

WORK="$(mktemp -d)"
VPORT_PID=""
trap '[ -z "$VPORT_PID" ] || kill "$VPORT_PID"; rm -rf "$WORK"' EXIT
export KESTRUM_HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$KESTRUM_HOME" "$XDG_CONFIG_HOME/Vantrell"

printf '%s\r\n' \
  '"Bench supply","/dev/ttyUSB0", 9600, 8, 0, 0, 0, 1024, 1024' \
  '"Sensor board","/dev/ttyACM0", 115200, 8, 0, 0, 1, 4096, 1024' \
  '"vport1","/dev/pts/3", 19200, 8, 2, 0, 0, 1024, 1024' >"$KESTRUM_HOME/Default.cps"
printf '%s\r\n' \
  '"Ping","String","50 49 4E 47 "' \
  '"Status","String","41 54 2B 53 54 41 54 55 53 3F "' \
  '"Reset","Hex","1B 52 0D 0A "' \
  '"Read register 7","Dec","02 52 55 03 "' >"$KESTRUM_HOME/Default.sds"
printf '%s\r\n' \
  '<CSingleRule>' 'Answer PING' 'CReceiveSpecDataEvent' '"Prefix","String","50 49 4E 47 "' \
  '"Pong","String","50 4F 4E 47 0D 0A "' 'Delay=20' 'Always=1' '</CSingleRule>' \
  '<CGroupRule>' 'Poll the sensors' 'CActionEvent' 'ActionType=0' 'StartDelay=0' 'HasStopEvent=1' \
  'CActionEvent' 'ActionType=3' 'StopDelay=0' 'CTimeEvent' 'Time=00:00:01.000,TimeType=1' 'StepDelay=0' \
  'Loop=1' 'CommDataCount=2' '"Temperature","String","54 3F "' '"Humidity","String","48 3F "' '</CGroupRule>' \
  >"$KESTRUM_HOME/Default.ass"
printf '%s\r\n' \
  '"09:14:02.118","String","50 4F 4E 47 0D 0A "' \
  '"09:14:03.120","Hex","54 3D 32 31 2E 35 0D 0A "' \
  '"09:14:04.121","String","48 3D 34 38 25 "' >"$KESTRUM_HOME/TempRec.tmp"
cat >"$XDG_CONFIG_HOME/Vantrell/Kestrum.conf" <<'CONF'
[General]
CurrentType=0
CurDisplayType=3
ShowSendData=1
ShowTime=1
InstanceSendData="\"Input Instance\",\"String\",\"50 49 4E 47 \""
CONF

# A played device answers the send list, so the main window shows a real exchange.
cat >"$WORK/answers.txt" <<'TABLE'
"PING","PONG\r\n"
"AT+STATUS?","OK V=12.01 I=0.250\r\n"
"\x1bR","READY\r\n"
"\x02RU\x03","\x06R=1A3F\r\n"
TABLE
"$BUILD/src/tools/vport/kestrum-vport" --table "$WORK/answers.txt" --no-link >"$WORK/vport.out" &
VPORT_PID=$!
tries=0
while [ ! -s "$WORK/vport.out" ] && [ "$tries" -lt 100 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
DEVICE="$(head -n 1 "$WORK/vport.out" | sed 's/^Port: //')"
printf 'PortSetting="\\"vport\\",\\"%s\\", 19200, 8, 0, 0, 0, 1024, 1024"\n' "$DEVICE" \
  >>"$XDG_CONFIG_HOME/Vantrell/Kestrum.conf"

for window in main portsetting openport senddatalist dataedit recdatalist asctable editsymbol \
  autosendsetting singlerecord grouprecord eventedit monitorsetting; do
  "$KESTRUM" --screenshot "$OUT/$window.png" "$window"
done
# The tour's pictures, on the demo board, each in a fresh app folder as a first start has it (a
# window keeps its console shown for the next start).
for shot in tourboot tourtop tourplot; do
  mkdir -p "$WORK/$shot/home" "$WORK/$shot/config"
  KESTRUM_HOME="$WORK/$shot/home" XDG_CONFIG_HOME="$WORK/$shot/config" \
    "$KESTRUM" --screenshot "$OUT/$shot.png" "$shot"
done
cp "$OUT/main.png" docs/screenshot.png
echo "pictures written to $OUT and docs/screenshot.png"
