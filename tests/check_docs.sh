#!/usr/bin/env bash
# The script functions the library registers (the list in
# host/script_functions.h), the script reference (docs/reference.md, a "### `NAME`"
# section each) and the declarations (types/qvfile.d.ts, "function NAME(")
# name the same functions: none missing from the reference or the
# declarations, none there that the library does not register. Given QVHOST
# (under Wine, with WINEPREFIX set), each ```js block of the reference's
# Recipes section also runs as a script of its own through it, in a fresh
# C:/qvfile-recipes that is removed afterwards, and must complete; a recipe
# whose heading names code page 1252 runs only there.
#   check_docs.sh SOURCE_DIR [QVHOST]
set -u
root=${1:?usage: check_docs.sh SOURCE_DIR [QVHOST]}
qvhost=${2:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

registered=$(sed -n 's/^ *ROW("\([A-Za-z]*\)", .*/\1/p' "$root/host/script_functions.h" | LC_ALL=C sort)
[ "$(wc -w <<<"$registered")" -eq "$(grep -c 'ROW("' "$root/host/script_functions.h")" ] ||
    fail "found only $(echo $registered) in host/script_functions.h"
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

if [ -n "$qvhost" ]; then
    run="$root/scripts/wine-run.sh"
    scratch=${WINEPREFIX:-$HOME/.wine}/drive_c/qvfile-recipes
    work=$(mktemp -d) && trap 'rm -rf "$work" "$scratch"' EXIT
    mkdir "$work/recipes"
    # recipe-N.js, or recipe-N-1252.js under a heading that names code page 1252.
    awk -v dir="$work/recipes" '
        /^## / { inside = $0 == "## Recipes" }
        inside && /^### / { needs = index($0, "code page 1252") ? "-1252" : "" }
        inside && /^```js$/ { file = sprintf("%s/recipe-%d%s.js", dir, ++count, needs); next }
        file != "" && /^```$/ { close(file); file = ""; next }
        file != "" { print > file }' "$root/docs/reference.md"
    codePage=$("$run" "$qvhost" -e 'try { qvfile.read("\ud800"); } catch (e) { print(/code page (\d+)$/.exec(e.message)[1]); }' </dev/null)
    ran=0
    recipes=$(ls "$work/recipes" | sort -t- -k2 -n)
    [ -n "$recipes" ] || fail "no recipes (\`\`\`js blocks under ## Recipes) in docs/reference.md"
    for recipe in $recipes; do
        if [[ $recipe = *-1252.js && $codePage != 1252 ]]; then
            echo "note: the ANSI code page is $codePage, not 1252: $recipe of the recipes was not run"
            continue
        fi
        rm -rf "$scratch"
        if ! "$run" "$qvhost" "$work/recipes/$recipe" </dev/null >"$work/out" 2>&1; then
            fail "$recipe of the reference's recipes did not complete:"
            sed 's/^/  /' "$work/out"
        fi
        ran=$((ran + 1))
    done
    rm -rf "$scratch"
    [ "$failures" -eq 0 ] && echo "recipes: $ran of the reference's recipes ran through qvhost and completed"
fi
exit $((failures > 0))
