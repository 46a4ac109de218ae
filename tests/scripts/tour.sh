#!/usr/bin/env bash
# The tour as a user runs it: qvhost tour.js SCRATCH. In a folder it creates,
# it completes with its answers in one column (a label too long for it on a
# line of its own) and leaves only its two empty folders; in a folder that
# exists, holding files, it stops with status 1 and changes nothing.
set -u
qvhost=$1 tour=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# A long name, so that the first label does not fit the column.
name="qvfile-tour, a scratch folder with a name too long for the column"
scratch=${WINEPREFIX:-$HOME/.wine}/drive_c/$name
work=$(mktemp -d)
rm -rf "$scratch"
trap 'rm -rf "$scratch" "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; sed 's/^/  /' "$work/out"; failures=$((failures + 1)); }

"$root/scripts/wine-run.sh" "$qvhost" "$tour" "C:/$name" </dev/null >"$work/out" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the tour in a new folder exits $status"
columns=$(grep -F -- '-> ' "$work/out" | awk '{ print index($0, "-> ") }' | sort -u)
[ "$(wc -l <<<"$columns")" -eq 1 ] || fail "the answers stand in columns $(echo $columns)"
grep -qxF "    mkdir(file:///C|/$name)" "$work/out" || fail "the long label is not on a line of its own"
left=$(cd "$scratch" && find . | LC_ALL=C sort | tr '\n' ' ')
[ "$left" = ". ./img " ] || fail "the tour left $left"

printf '<p>my page</p>\r\n' >"$scratch/index.htm"
printf 'my notes' >"$scratch/notes.txt"
before=$(cd "$scratch" && find . -type f -exec sha256sum {} + | LC_ALL=C sort; find . | LC_ALL=C sort)
"$root/scripts/wine-run.sh" "$qvhost" "$tour" "C:/$name" </dev/null >"$work/out" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "the tour in a folder that exists exits $status"
grep -qF "C:/$name exists already" "$work/out" || fail "the tour does not say why it stops"
after=$(cd "$scratch" && find . -type f -exec sha256sum {} + | LC_ALL=C sort; find . | LC_ALL=C sort)
[ "$before" = "$after" ] || fail "the tour changed a folder it did not create"
[ "$failures" -eq 0 ] && echo "tour: one column, stops in a folder that exists"
exit $((failures > 0))
