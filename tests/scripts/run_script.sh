#!/usr/bin/env bash
# Runs one end-to-end script under Wine: qvhost SCRIPT C:/qvfile-e2e.
# The scratch folder is made fresh inside the Wine prefix, seeded with a file
# holding every byte value, and removed afterwards; a copy the script made of
# that file must be identical to it.
set -u
qvhost=$1 script=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scratch=${WINEPREFIX:-$HOME/.wine}/drive_c/qvfile-e2e
rm -rf "$scratch" && mkdir -p "$scratch"
for i in $(seq 0 255); do printf "\\x$(printf %02x "$i")"; done > "$scratch/bytes.in"
trap 'rm -rf "$scratch"' EXIT

"$root/scripts/wine-run.sh" "$qvhost" "$script" "C:/qvfile-e2e"
status=$?
if [ "$status" -eq 0 ] && [ -f "$scratch/bytes.out" ] && ! cmp "$scratch/bytes.in" "$scratch/bytes.out"; then
    echo "FAIL: the bytes written back differ from the bytes read"
    status=1
fi
exit "$status"
