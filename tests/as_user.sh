#!/usr/bin/env bash
# as_user.sh PREFIX PROGRAM [ARGS...]: runs the Windows test PROGRAM under
# Wine as the ordinary user qvfile-tests (made when missing), in a Wine prefix
# of that user's own at PREFIX. Wine run as root writes read-only files and
# ignores Unix permissions, so rows about who may write or read a file show
# only here. A caller that is not root runs PROGRAM as itself. Prints a
# "note:" line, which the test command's summary repeats.
set -u
prefix=${1:?usage: as_user.sh PREFIX PROGRAM [ARGS...]}
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
user=qvfile-tests
run=()
if [ "$(id -u)" -eq 0 ]; then
    id -u "$user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --shell /usr/sbin/nologin "$user" ||
        { echo "cannot make the user $user"; exit 1; }
    mkdir -p "$prefix" "$prefix-home"
    # Wine takes only a prefix its user owns.
    [ "$(stat -c %U "$prefix")" = "$user" ] || chown -R "$user" "$prefix" "$prefix-home"
    run=(runuser -u "$user" --)
else
    user=$(id -un)
fi
run+=(env -u DISPLAY HOME="$prefix-home" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=")
stop() { "${run[@]}" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; }
trap stop EXIT
# Wine's own background processes start with their streams closed, not
# inside this test, whose output they would hold open.
"${run[@]}" /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
"${run[@]}" "$root/scripts/wine-run.sh" wineboot --init </dev/null >"$prefix-home/wineboot.log" 2>&1 ||
    { echo "wineboot failed for $user in $prefix"; exit 1; }
output=$(mktemp)
status=0
"${run[@]}" "$root/scripts/wine-run.sh" "$@" 2>&1 | tee "$output" || status=$?
[ "${PIPESTATUS[0]}" -eq 0 ] || status=${PIPESTATUS[0]}
counts=$(grep -E '^\[ +(PASSED|SKIPPED|FAILED) +\] [0-9]+ tests?' "$output" |
         sed -E 's/^\[ +([A-Z]+) +\] ([0-9]+) .*/\2 \L\1/' | paste -sd, - | sed 's/,/, /g')
rm -f "$output"
echo "note: the file-changing library tests ran again as the ordinary user $user: ${counts:-none ran}"
exit "$status"
