#!/usr/bin/env bash
# qvhost's command line: exit statuses, messages, text beyond ASCII, standard
# input and extensions. REGISTRATIONS is the test extension whose
# registrations qvhost must refuse.
set -u
qvhost=$1 registrations=$2
run="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine-run.sh"
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
# Wine turns the command line into UTF-16 with the locale's character set:
# arguments beyond ASCII need a UTF-8 locale. The caller's stays when it is
# one, since it chooses the ANSI code page under test.
case "${LC_ALL:-}" in *.UTF-8 | *.utf8) ;; *) export LC_ALL=C.UTF-8 ;; esac
passed=0 failed=0

# Whether FILE matches PATTERN; the pattern "-" asks for an empty file.
matches() { if [ "$2" = - ]; then [ ! -s "$1" ]; else grep -qE -- "$2" "$1"; fi; }

# expect NAME STATUS STDOUT-PATTERN STDERR-PATTERN -- ARGS...
# Standard output goes to $stdout when that is set (/dev/full, say).
expect() {
    local name=$1 status=$2 out=$3 err=$4
    shift 5
    : >"$work/out"
    "$run" "$qvhost" "$@" <"$work/stdin" >"${stdout:-$work/out}" 2>"$work/err"
    local got=$?
    if [ "$got" -ne "$status" ] || ! matches "$work/out" "$out" || ! matches "$work/err" "$err"; then
        echo "FAIL $name: status $got (expected $status)"
        sed 's/^/  stdout: /' "$work/out"
        sed 's/^/  stderr: /' "$work/err"
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}

: >"$work/stdin"
printf 'print("args", scriptArgs.join("|"));\n' >"$work/ok.js"
printf 'var a = 1;\n\nqvfile.exists();\n' >"$work/throws.js"
printf 'var a = 1;\nvar b = ;\n' >"$work/syntax.js"
printf 'throw "plain";\n' >"$work/plain.js"
printf '\xef\xbb\xbfprint("\xc3\xa9", "\xc3\xa9".length);\n' >"$work/utf8.js"
printf 'print("\xe9", "\xe9".length);\n' >"$work/ansi.js"
printf 'not a program' >"$work/notdll.dll"

expect "script completes"       0 '^args x\|y z$' -                           -- "$work/ok.js" x "y z"
expect "uncaught error"         1 -        'throws\.js:3: Error: qvfile\.exists failed' -- "$work/throws.js"
expect "syntax error"           1 -        'syntax\.js:2: SyntaxError'        -- "$work/syntax.js"
expect "thrown non-error"       1 -        '^[^ ]*plain\.js:1: plain$'          -- "$work/plain.js"
expect "thrown object"          1 -        '^-e:2: \[object Object\]$'         -- -e $'function f() {\n throw {code: 2}; }\nf()'
expect "rethrown non-error"     1 -        '^-e:1: a$'                        -- -e 'try { throw "a"; } catch (e) { throw e; }'
expect "never another's place"  1 -        '^(-e:1: )?a$'                     -- -e $'try { throw "a"; } finally {\n try { throw "b"; } catch (e) {} }'
expect "-e evaluates"           0 '^1$' -                                     -- -e 'print(qvfile.exists("C:/"))'
expect "-e error"               1 -        '-e:1: Error: qvfile\.read failed' -- -e 'qvfile.read()'
expect "missing script"         2 -        'cannot read .*nothere\.js: no such file$' -- "$work/nothere.js"
expect "a folder as script"     2 -        'cannot read .*: it is a folder$'  -- "$work"
expect "unknown option"         2 -        'unknown option --bogus'           -- --bogus
expect "--ext without a value"  2 -        '--ext needs a value'              -- --ext
expect "extension not found"    2 -        'cannot load .*nosuch\.dll'        -- --ext "$work/nosuch.dll" -e 1
expect "no entry point"         2 -        'kernel32\.dll: it has no QV_InitWrapper' -- --ext C:/windows/system32/kernel32.dll -e 1
expect "not a DLL"              2 -        '^qvhost: cannot load .*notdll\.dll: [^%]+$' -- --ext "$work/notdll.dll" -e 1
expect "--ext after -e"         2 -        '--ext must come before -e'       -- -e 1 --ext x.dll

# An extension's global is its base name as written, which scripts must be
# able to write and which may not replace a global; qvfile.dll in any letter
# case is the default library. What an extension must not register is refused.
cp "$(dirname "$qvhost")/qvfile.dll" "$work/QVFILE.DLL"
expect "not an identifier"      2 -        'my-ext 2\.dll: its name "my-ext 2" is not a script identifier' -- --ext "$work/my-ext 2.dll" -e 1
expect "a reserved word"        2 -        'if\.dll: its name "if" is not a script identifier' -- --ext "$work/if.dll" -e 1
expect "a global already"       2 -        'print\.dll: a global named "print" exists already' -- --ext "$work/print.dll" -e 1
expect "name as written"        0 '^object undefined$' -                     -- --ext "$work/QVFILE.DLL" -e 'print(typeof QVFILE, typeof qvfile)'
expect "registrations refused"  0 '^answers 0$' -                            -- --ext "$registrations" -e 'print(Object.keys(registrations).join(), registrations.answers())'
expect "-h"                     0 '^usage: qvhost' -                         -- -h
expect "--help"                 0 '^usage: qvhost' -                         -- --help

# A script chooses its status with exit; output that cannot be written is an
# error the script can catch.
expect "exit(status)"           4 '^1$'    -                                  -- -e 'print(1); exit(4); print(2)'
expect "exit of a non-status"   1 -        '^-e:1: RangeError: exit: '        -- -e 'exit(1.5)'
stdout=/dev/full expect "print to a full disk" 1 - '^-e:1: Error: print failed: cannot write to standard output: .+' -- -e 'print("result")'
stdout=/dev/full expect "print's error caught" 3 - -                           -- -e 'try { print("x"); } catch (e) { exit(3); }'
stdout=/dev/full expect "--help to a full disk" 1 - '^qvhost: cannot write to standard output' -- --help

# Text beyond ASCII: arguments arrive whole, print writes UTF-8 to a pipe.
expect "arguments"              0 '^args é\|日本$' -                        -- "$work/ok.js" é 日本
expect "-e"                     0 '^é 1$' -                                  -- -e 'print("é", "é".length)'
expect "UTF-8 script with BOM"  0 '^é 1$' -                                  -- "$work/utf8.js"
codePage=$("$run" "$qvhost" -e 'try { qvfile.read("\ud800"); } catch (e) { print(/code page (\d+)$/.exec(e.message)[1]); }' </dev/null)
if [ "$codePage" = 1252 ]; then
    expect "ANSI script"        0 '^é 1$' -                                  -- "$work/ansi.js"
else
    echo "note: the ANSI code page is '$codePage', not 1252: the ANSI script check is skipped"
fi

# Standard input that is not a console is one script, named by "-" or by
# giving no script.
printf 'var a = [\n1,\n2];\nprint(a.length, scriptArgs.join("|"));\nthrow new Error("boom");\n' >"$work/stdin"
expect "standard input"         1 '^2 $'   'stdin:5: Error: boom'             --
expect "- with arguments"       1 '^2 x\|y$' 'stdin:5: Error: boom'          -- - x y

# The version both binaries carry, as the build set it.
version=${QVFILE_VERSION:-}
version=${version//./[.]}
version=${version:-[0-9]+([.][0-9]+)+}
expect "--version"              0 "^qvfile\.dll $version\$" -           -- --version
grep -qE "^qvhost $version\$" "$work/out" || { echo "FAIL --version of qvhost"; failed=$((failed + 1)); }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
