#!/usr/bin/env bash
# Makes the release zip from the product build and checks it: it unpacks to
# one folder holding exactly the files SHA256SUMS lists (and SHA256SUMS), the
# sums match, the files a user needs are there, the reference's links lead
# somewhere, the programs are the ones built, the texts a user opens have
# CRLF line ends and nothing else changed, and a second packaging seconds
# later gives the same bytes.
#   check_package.sh SOURCE_DIR PRODUCT_DIR
set -u
root=${1:?usage: check_package.sh SOURCE_DIR PRODUCT_DIR} product=${2:?}
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

zip=$(bash "$root/scripts/package.sh" "$product" "$work/first") || { echo "FAIL: packaging failed"; exit 1; }
sleep 2 # zip times have a resolution of two seconds
again=$(bash "$root/scripts/package.sh" "$product" "$work/second") || { echo "FAIL: packaging failed"; exit 1; }
cmp -s "$zip" "$again" || fail "two packagings of the same build differ"
[ "$(basename "$zip")" = "qvfile-$(cat "$product/version.txt")-win32.zip" ] || fail "zip named $(basename "$zip")"

mkdir "$work/unpacked" && unzip -q "$zip" -d "$work/unpacked" || { echo "FAIL: cannot unpack $zip"; exit 1; }
top=$(ls "$work/unpacked")
[ "$top" = "$(basename "$zip" .zip)" ] || fail "the zip holds '$top', expected one folder named after it"
cd "$work/unpacked/$top" || exit 1

listed=$(sed 's/^[0-9a-f]\{64\}  //' SHA256SUMS | LC_ALL=C sort)
held=$(find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)
[ "$listed" = "$held" ] || fail "SHA256SUMS lists: $(echo $listed); the zip holds: $(echo $held)"
sha256sum --quiet -c SHA256SUMS || fail "sums do not match"
for file in qvfile.dll qvhost.exe README.txt reference.html LICENSE.txt THIRD-PARTY-NOTICES.txt CHANGELOG.md \
            jsconfig.json types/qvfile.d.ts types/qvhost.d.ts examples/tour.js; do
    grep -qxF "$file" <<<"$listed" || fail "$file is missing"
done
cmp -s qvfile.dll "$product/qvfile.dll" && cmp -s qvhost.exe "$product/qvhost.exe" ||
    fail "the programs in the zip are not the ones built"
# The reference's links within the page lead to headings of the page.
for target in $(grep -o 'href="#[^"]*"' reference.html | sed 's/^href="#//; s/"$//' | sort -u); do
    grep -qF "id=\"$target\"" reference.html || fail "reference.html links to #$target, which no heading has"
done
grep -q 'Duktape license' THIRD-PARTY-NOTICES.txt || fail "Duktape's licence is not among the notices"
# Every line ends in CR LF, the last one too; without the CRs each text is
# its source (README.txt with the version filled in).
version=$(cat "$product/version.txt")
for pair in README.txt:package/README.txt LICENSE.txt:LICENSE THIRD-PARTY-NOTICES.txt:package/THIRD-PARTY-NOTICES.txt \
            CHANGELOG.md:CHANGELOG.md; do
    file=${pair%%:*} source=$root/${pair#*:}
    if grep -qv $'\r$' "$file" || [ "$(tail -c 2 "$file" | od -An -tx1)" != " 0d 0a" ]; then
        fail "$file has lines that do not end in CR LF"
    fi
    tr -d '\r' <"$file" | cmp -s - <(sed "s/@VERSION@/$version/g" "$source") || fail "$file differs from $source"
done

[ "$failures" -eq 0 ] && { echo "package: $(basename "$zip")"; unzip -l "$zip" | sed 's/^/  /'; }
exit $((failures > 0))
