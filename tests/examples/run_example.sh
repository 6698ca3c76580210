#!/bin/sh
# An example of the manual run as a user runs it: kestrum --run EXAMPLE --port demo://..., from a
# folder of its own that holds what the example sends.
set -eu
kestrum=$1
example=$2
shift 2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
head -c 5000 /dev/urandom >"$dir/u-boot-env.bin"
cd "$dir"
status=0
KESTRUM_HOME="$dir" "$kestrum" --run "$example" "$@" --log "$dir/run.log" --junit "$dir/junit.xml" || status=$?
if [ "$status" -ne 0 ]; then
    cat "$dir/junit.xml" 2>/dev/null || true
    tail -c 2000 "$dir/run.log" 2>/dev/null || true
fi
exit "$status"
