#!/usr/bin/env bash
# as_user.sh PROGRAM [ARGS...]: runs the Windows test PROGRAM under Wine as the
# ordinary user qvfile-tests (made when missing), in a Wine prefix of that
# user's own, with a 64 KiB disk mounted (small_disk.sh). Wine run as root
# writes read-only files and ignores Unix permissions, so rows about who may
# write or read a file show only here. A caller that is not root runs
# PROGRAM as itself.
#
# That user may be unable to enter the tree (in root's home, say), so what
# the run needs is laid out in a folder of its own under /tmp, removed at the
# end: PROGRAM and the DLLs and qvhost.exe beside it, wine-run.sh, the prefix
# and the disk's mount point. Prints "note:" lines, which the test command's summary
# repeats: the counts, or why the run could not start, with its log's tail.
set -u
program=${1:?usage: as_user.sh PROGRAM [ARGS...]}
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
user=qvfile-tests
run=()
# note MESSAGE [LOG]: a line for the summary, and the last lines of LOG.
note() {
    echo "note: the file-changing library tests as the ordinary user $user: $1"
    [ -z "${2:-}" ] || grep -v '^[[:space:]]*$' "$2" | tail -n 8 | sed 's/^/note:   /'
}
if [ "$(id -u)" -eq 0 ]; then
    # Another run may make the user at the same moment.
    id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" ||
        id -u "$user" >/dev/null 2>&1 || { note "NOT RUN: cannot make the user"; exit 1; }
    run=(runuser -u "$user" --)
else
    user=$(id -un)
fi

# clean_up FOLDER: ends the prefix's server, unmounts the disk, removes it.
clean_up() {
    "${run[@]}" env WINEPREFIX="$1/prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    local disk
    for disk in "$1"/small-disk*; do
        while mountpoint -q "$disk" 2>/dev/null; do umount -l "$disk" || break; done
    done
    rm -rf --one-file-system "$1"
}
# What a run stopped without its exit trap (a ctest time-out) left: the
# folders whose run has ended.
for left in /tmp/qvfile-as-user.*; do
    [ -O "$left" ] && [ -f "$left/run" ] || continue
    kill -0 "$(cat "$left/run")" 2>/dev/null || clean_up "$left"
done
place=$(mktemp -d /tmp/qvfile-as-user.XXXXXX) || { note "NOT RUN: cannot make a folder in /tmp"; exit 1; }
echo $$ >"$place/run"
trap 'clean_up "$place"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir -p "$place/prefix" "$place/home" "$place/bin"
cp "$root/scripts/wine-run.sh" "$place/bin/"
cp "$program" "$place/bin/"
for beside in "$(dirname "$program")"/{*.dll,qvhost.exe}; do [ ! -f "$beside" ] || cp "$beside" "$place/bin/"; done
# The code page's generated locale, where that user can read it.
if [ -n "${LOCPATH:-}" ]; then
    cp -r "$LOCPATH" "$place/locales"
    export LOCPATH=$place/locales
fi
chmod 755 "$place" "$place/bin" "$place/bin/wine-run.sh"
chmod -R a+rX "$place/bin" "$place/locales" 2>/dev/null
[ "$(id -u)" -ne 0 ] || chown -R "$user" "$place/prefix" "$place/home"

run+=(env -u DISPLAY HOME="$place/home" WINEPREFIX="$place/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=")
# Wine's own background processes start with their streams closed, not
# inside this test, whose output they would hold open.
"${run[@]}" /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
"${run[@]}" "$place/bin/wine-run.sh" wineboot --init </dev/null >"$place/wineboot.log" 2>&1 ||
    { note "NOT RUN: wineboot failed in the prefix $place/prefix" "$place/wineboot.log"; exit 1; }
output=$place/output
status=0
bash "$root/tests/small_disk.sh" "$place/small-disk" "${run[@]}" "$place/bin/wine-run.sh" \
    "$place/bin/$(basename "$program")" "$@" 2>&1 | tee "$output" || status=$?
[ "${PIPESTATUS[0]}" -eq 0 ] || status=${PIPESTATUS[0]}
counts=$(grep -E '^\[ +(PASSED|SKIPPED|FAILED) +\] [0-9]+ tests?' "$output" |
         sed -E 's/^\[ +([A-Z]+) +\] ([0-9]+) .*/\2 \L\1/' | paste -sd, - | sed 's/,/, /g')
if [ -n "$counts" ]; then
    note "$counts"
else
    note "FAILED before any test ran (status $status)" "$output"
fi
exit "$status"
