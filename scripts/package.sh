#!/usr/bin/env bash
# Makes the release zip dist/qvfile-VERSION-win32.zip from a Release build of
# the product (build/i686), VERSION being the one the CMake project sets:
#   bash scripts/package.sh
# Given a product build folder and an output folder, it packages that build
# as it stands, without building (the tests do this):
#   bash scripts/package.sh BUILD_DIR OUT_DIR
# The zip's bytes depend only on its contents: every entry has the time of
# the last commit (or SOURCE_DATE_EPOCH), the same mode, and sorted names.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -eq 0 ]; then
    build=$root/build/i686 out=$root/dist
    bash "$root/scripts/bootstrap.sh"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$build" -j 2 --target qvfile qvhost
else
    build=${1:?usage: package.sh [BUILD_DIR OUT_DIR]} out=${2:?usage: package.sh [BUILD_DIR OUT_DIR]}
fi
version=$(cat "$build/version.txt")
name=qvfile-$version-win32
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}

stage=$(mktemp -d) && trap 'rm -rf "$stage"' EXIT
dir=$stage/$name
mkdir -p "$dir/examples" "$dir/types" "$out"
cp "$build/qvfile.dll" "$build/qvhost.exe" "$root/package/jsconfig.json" "$dir/"
# The texts a user opens in Notepad get CRLF line ends, which every version
# of it shows as lines.
crlf() { sed -e 's/\r*$/\r/' "$@"; }
crlf "$root/CHANGELOG.md" >"$dir/CHANGELOG.md"
crlf "$root/package/THIRD-PARTY-NOTICES.txt" >"$dir/THIRD-PARTY-NOTICES.txt"
crlf "$root/LICENSE" >"$dir/LICENSE.txt"
crlf -e "s/@VERSION@/$version/g" "$root/package/README.txt" >"$dir/README.txt"
# The script reference as a page a double click opens in the browser, its
# headings given the ids that the links inside it (written for the Markdown
# view) point to: the text in lower case, without marks, spaces as hyphens.
{
    printf '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
    printf '<title>qvfile %s script reference</title>\n' "$version"
    printf '<style>%s</style>\n' "body { font-family: sans-serif; max-width: 50em; margin: 1em auto; padding: 0 1em; line-height: 1.4 }
pre, code { font-family: Consolas, monospace } pre { background: #f4f4f4; padding: .5em; overflow-x: auto }
h3 { border-top: 1px solid #ccc; padding-top: .5em } table { border-collapse: collapse } td, th { border: 1px solid #ccc; padding: .2em .5em }"
    printf '</head>\n<body>\n'
    cmark-gfm -e table "$root/docs/reference.md" | LC_ALL=C awk '
        /^<h[1-6]>.*<\/h[1-6]>$/ {
            id = $0; gsub(/<[^>]*>/, "", id); gsub(/&[a-z]+;/, "", id); id = tolower(id)
            gsub(/[^a-z0-9 _-]/, "", id); gsub(/ /, "-", id)
            sub(/^<h[1-6]/, "& id=\"" id "\"")
        }
        { print }'
    printf '</body>\n</html>\n'
} >"$dir/reference.html"
cp "$root"/examples/*.js "$dir/examples/"
cp "$root"/types/*.d.ts "$dir/types/"
sums=$(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum)
echo "$sums" >"$dir/SHA256SUMS"

chmod -R u=rwX,go=rX "$dir"
find "$dir" -exec touch -h -d "@$epoch" {} +
rm -f "$out/$name.zip"
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -@ "$out/$name.zip")
echo "$out/$name.zip"
