#!/usr/bin/env bash
# The script authors' declarations checked with tsc: the examples laid out as
# in the release, beside types/ and under its jsconfig.json (strict), and the
# end-to-end scripts and qvhost's own scripts (shell/*.js, embedded in it)
# with // @ts-check alone. An @ts-expect-error line fails
# the check if its call stops being caught.
#   check_types.sh SOURCE_DIR
set -u
root=${1:?usage: check_types.sh SOURCE_DIR}
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
status=0
cp -R "$root/package/jsconfig.json" "$root/examples" "$root/types" "$work/"
(cd "$work" && tsc -p jsconfig.json) || { echo "FAIL: the examples under the release's jsconfig.json"; status=1; }
(cd "$root" && tsc --noEmit --allowJs --checkJs --target es5 --lib es5,es2015.symbol types/*.d.ts tests/scripts/*.js shell/*.js) ||
    { echo "FAIL: the end-to-end scripts and qvhost's scripts with @ts-check"; status=1; }
[ "$status" -eq 0 ] && echo "types: $(cd "$work" && ls examples/*.js | tr '\n' ' ')strict; $(cd "$root" && ls tests/scripts/*.js shell/*.js | tr '\n' ' ')@ts-check"
exit "$status"
