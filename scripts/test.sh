#!/usr/bin/env bash
# Builds both architectures and runs every test: the x86_64 build under
# 64-bit Wine, the same tests built for i686 under 32-bit Wine against the
# shipped build/i686 (natively, or under qemu-i386 where the kernel refuses
# 32-bit programs or QVFILE_EMULATE_I686=1 asks for it), the
# checks of the shipped DLL as a binary, and the platform-free parts natively
# under the sanitizers, all on a private X display; then the library tests
# and the end-to-end scripts of the x86_64 build again on code page 932,
# where a character's second byte can be "|" or "\".
#
#   test.sh [--code-page N] [CTEST-ARGS...]
#
# --code-page N runs everything on both architectures on ANSI code page N
# alone (1252, 932, 936, 949, 950 or 65001). Other arguments go to ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
code_page=
if [ "${1:-}" = --code-page ]; then
    code_page=${2:?usage: test.sh [--code-page N] [CTEST-ARGS...]}
    shift 2
    (use_code_page "$code_page") || exit 2
fi
build_start=$SECONDS
build_all
build_i686_tests
build_native
echo "Built in $((SECONDS - build_start)) s"
start_wine
probe_i686
if [ "$i686_runs" != yes ]; then
    echo "i686 suite NOT RUN: $cannot_run_32"
elif [ -n "$i686_how" ]; then
    echo "i686 suite: ${i686_how#, } ($cannot_run_32)"
fi

summary=()
failed=0
# run_suite NAME DIR PREFIX win64|win32 [CTEST-ARGS...]: ctest in DIR with
# PREFIX current; adds a summary line with the outcome, the tests that
# failed, the library program's own counts, the reasons of the tests that
# skipped themselves and the notes of left-out or separate runs.
# The code page is the one use_code_page last made current.
run_suite() {
    local name=$1 dir=$2 start=$SECONDS status=0 log=$2/Testing/Temporary/LastTest.log
    start_prefix "$3" "$4"
    name="$name, code page $code_page_now"
    echo
    echo "== $name =="
    rm -f "$log" "$dir/Testing/Temporary/LastTestsFailed.log"
    (cd "$dir" && env "${code_page_env[@]}" ctest --output-on-failure --timeout 300 "${@:5}") || status=$?
    [ "$status" -eq 0 ] || failed=1
    # The library tests' own counts and skip reasons, from ctest's log.
    local section counts outcome=passed
    section=$(awk '/^[0-9]+\/[0-9]+ Testing: library-/ { on = 1 } on { print } on && / end time:/ { exit }' \
              "$log" 2>/dev/null) || true
    counts=$(awk -f "$root/tests/gtest_counts.awk" <<<"$section") || true
    if [ "$status" -ne 0 ]; then
        outcome="FAILED ($(cut -d: -f2- "$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null |
                           paste -sd, - | sed 's/,/, /g'))"
        [ "$outcome" != "FAILED ()" ] || outcome="FAILED (ctest status $status)"
    fi
    summary+=("$name: $outcome in $((SECONDS - start)) s; the library program's tests: ${counts:-none ran}")
    while read -r reason; do summary+=("  skipped: $reason"); done \
        < <(grep -A1 ': Skipped$' <<<"$section" | grep -vE ': Skipped$|^--$')
    # Checks any test left out for its own reason, and runs apart from the
    # library program, say so in "note:" lines.
    while read -r note; do summary+=("  $note"); done \
        < <(grep -ho '^note: .*' "$log" 2>/dev/null | awk '!seen[$0]++')
}

use_code_page "${code_page:-1252}"
run_suite "x86_64 (64-bit Wine)" "$test_dir" "$prefix64" win64 "$@"
if [ "$i686_runs" = yes ]; then
    run_suite "i686 (32-bit Wine, shipped build/i686$i686_how)" "$test32_dir" "$prefix32" win32 "$@"
else
    summary+=("i686 suite NOT RUN: $cannot_run_32")
fi
arches="x86_64 and i686"
[ "$i686_runs" = yes ] || arches="x86_64 only"
if [ -z "$code_page" ]; then
    if use_code_page 932; then
        run_suite "x86_64 (64-bit Wine), library and scripts" "$test_dir" "$prefix64" win64 \
            -R '^(library|scripts)-' "$@"
        summary+=("code pages run: 1252 ($arches), 932 (x86_64 library and scripts)")
    else
        summary+=("code page 932 NOT RUN: its locale could not be made" "code pages run: 1252 ($arches)")
        failed=1
    fi
else
    summary+=("code page run: $code_page ($arches)")
fi

echo
echo "== Summary =="
printf '%s\n' "${summary[@]}"
exit "$failed"
