#!/usr/bin/env bash
# qvhost at a console: the prompt driven through a pseudo-terminal (Wine
# gives a console program started on a terminal a console of its own there).
# Keys go in by script(1); each step waits for what the screen must show.
set -u
qvhost=$1
run="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine-run.sh"
work=$(mktemp -d)
session=
trap '[ -z "$session" ] || kill "$session" 2>/dev/null; rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
passed=0 failed=0

# start PATTERN ARGS...: runs qvhost ARGS on a new terminal and waits for
# PATTERN (the prompt, say).
start() {
    local first=$1
    shift
    rm -f "$work/keys" && mkfifo "$work/keys"
    script -qfec "$(printf '%q ' "$run" "$qvhost" "$@")" /dev/null <"$work/keys" >"$work/screen" 2>&1 &
    session=$!
    exec {keys}>"$work/keys"
    mark=0
    await "$first" "qvhost's start"
}

# The screen since the last step as text: a cursor moved right by one is a
# space, other control sequences and carriage returns are dropped.
text() { sed -e 's/\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g'; }
shown() { tail -c +$((mark + 1)) "$work/screen" | text; }

# await PATTERN WHAT: waits until the screen since the last step has a line
# matching PATTERN (grep -E); counts a failure after 30 s.
await() {
    local tries=300
    until shown | grep -qE -- "$1"; do
        tries=$((tries - 1))
        if [ "$tries" -eq 0 ]; then
            echo "FAIL $2: no line matching '$1' on the screen:"
            shown | sed 's/^/  | /'
            failed=$((failed + 1))
            return 1
        fi
        sleep 0.1
    done
    passed=$((passed + 1))
}

# press KEYS: types KEYS (a printf format).
press() {
    mark=$(stat -c %s "$work/screen")
    printf -- "$1" >&"$keys"
}

# step KEYS PATTERN: types KEYS and waits for PATTERN.
step() {
    press "$1"
    await "$2" "after typing '$1'"
}

# finish STATUS WHAT: waits for qvhost to end with STATUS, its last line ended.
finish() {
    local tries=300
    while kill -0 "$session" 2>/dev/null && [ "$tries" -gt 0 ]; do
        tries=$((tries - 1))
        sleep 0.1
    done
    exec {keys}>&-
    kill "$session" 2>/dev/null
    wait "$session"
    local status=$?
    session=
    if [ "$status" -ne "$1" ] || [ "$(text <"$work/screen" | tail -c 1 | od -An -c | tr -d ' ')" != '\n' ]; then
        echo "FAIL $2: status $status (expected $1), screen ending:"
        tail -c 200 "$work/screen" | text | sed 's/^/  | /'
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}

# The first line names the version and how to leave; results show as values.
start '^> $'
await "^qvhost [0-9.]+; exit\(\) or Ctrl\+Z then Enter leaves" "the first line"
step '1 + 1\r'                                     '^2$'
step '"text"\r'                                    "^'text'$"
step 'qvfile.list("C:/no such folder/*.*")\r'      "^''$"
step 'qvfile.read("C:/no such file")\r'            '^null$'
step 'void 0\r'                                    '^undefined$'
step '({a: 1, b: "x", c: [1, -0, {d: null}], e: print})\r' "^\{ a: 1, b: 'x', c: \[ 1, -0, \{ d: null \} \], e: \[Function: print\] \}$"
step 'var o = {n: {m: {l: {k: 1}}}}; o.o = o; o\r' '^\{ n: \{ m: \{ l: \[Object\] \} \}, o: \[Circular\] \}$'
step '[1,,3].concat(new Array(200).join("a").split(""))\r' "^  \.\.\. 102 more items$"
step "'it\\\\'s'\r"                                 "^\"it's\"$"
step 'print([1, 2], "x")\r'                         '^1,2 x$'
# Input that ends inside a construct continues; a real error is reported at once.
step 'function twice(a) {\r'                       '^\.\.\. $'
step '  return "[" +\r'                            '^\.\.\. $'
step '    a * 2 + "]"; }\r'                        '^> $'
step 'twice(21)\r'                                 "^'\[42\]'$"
step 'var i = 4; Math.max(i++ / 2,\r'             '^\.\.\. $'
step '1)\r'                                          '^2$'
step '"one \\\r'                                    '^\.\.\. $'
step 'two"\r'                                      "^'one two'$"
step '/* a\r'                                      '^\.\.\. $'
step '*/ 7\r'                                      '^7$'
step '}\r'                                         '^stdin:1: SyntaxError'
step 'var x = ; {\r'                               '^stdin:1: SyntaxError'
step '"open\r'                                     '^stdin:1: SyntaxError'
press 'exit(3)\r'
finish 3 "exit(3) at the prompt"

# A line holding only Ctrl+D ends, in the middle of a piece too.
start '^> $'
step 'if (true) {\r'                               '^\.\.\. $'
step '\004\r'                                      '^\^D$'
finish 0 "Ctrl+D"

# Ctrl+C ends qvhost at the prompt and while a script runs, never with 0.
start '^> $'
step 'var a = 1\r'                                 '^undefined$'
press '\003'
finish 130 "Ctrl+C at the prompt"
start '^running$' -e 'print("running"); for (;;) {}'
press '\003'
finish 130 "Ctrl+C while a script runs"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
