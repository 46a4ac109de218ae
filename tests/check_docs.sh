#!/usr/bin/env bash
# The script functions the library registers (the registration list in
# host/entry.cpp), the script reference (docs/reference.md, a "### `NAME`"
# section each) and the declarations (types/qvfile.d.ts, "function NAME(")
# name the same functions: none missing from the reference or the
# declarations, none there that the library does not register.
#   check_docs.sh SOURCE_DIR
set -u
root=${1:?usage: check_docs.sh SOURCE_DIR}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

registered=$(sed -n 's/^ *{"\([A-Za-z]*\)", .*/\1/p' "$root/host/entry.cpp" | LC_ALL=C sort)
[ "$(wc -w <<<"$registered")" -ge 16 ] || fail "found only $(echo $registered) in the registration list"
sections=$(sed -n 's/^### `\([A-Za-z]*\)`$/\1/p' "$root/docs/reference.md" | LC_ALL=C sort)
declared=$(sed -n 's/^ *function \([A-Za-z]*\)(.*/\1/p' "$root/types/qvfile.d.ts" | LC_ALL=C sort -u)

for name in $registered; do
    case $(grep -cxF "$name" <<<"$sections") in
        0) fail "$name has no section (### \`$name\`) in docs/reference.md" ;;
        1) ;;
        *) fail "$name has more than one section in docs/reference.md" ;;
    esac
    grep -qxF "$name" <<<"$declared" || fail "$name is not declared in types/qvfile.d.ts"
done
for name in $sections; do
    grep -qxF "$name" <<<"$registered" || fail "docs/reference.md has a section for $name, which the library does not register"
done
for name in $declared; do
    grep -qxF "$name" <<<"$registered" || fail "types/qvfile.d.ts declares $name, which the library does not register"
done
[ "$failures" -eq 0 ] && echo "docs: $(wc -w <<<"$registered") registered functions, each in docs/reference.md and types/qvfile.d.ts"
exit $((failures > 0))
