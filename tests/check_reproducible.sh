#!/usr/bin/env bash
# Builds the product a second time, from a copy of the sources in another
# folder, and checks that qvfile.dll and qvhost.exe come out byte for byte
# as in PRODUCT_DIR, and that no binary names a source or build folder.
#   check_reproducible.sh SOURCE_DIR PRODUCT_DIR
set -u
root=${1:?usage: check_reproducible.sh SOURCE_DIR PRODUCT_DIR} product=${2:?}
work=$(mktemp -d /tmp/qvfile-rebuild.XXXXXX) && trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The second build takes its settings from the first one's cache.
setting() { sed -n "s/^$1:[A-Z]*=//p" "$product/CMakeCache.txt"; }
build_type=$(setting CMAKE_BUILD_TYPE)
toolchain=$(setting CMAKE_TOOLCHAIN_FILE)

mkdir "$work/src"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$work/src" -xf -
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_TOOLCHAIN_FILE="$work/src/${toolchain#"$root"/}" >/dev/null &&
    cmake --build "$work/build" -j 2 --target qvfile qvhost >/dev/null ||
    { echo "FAIL: the second build failed"; exit 1; }

for name in qvfile.dll qvhost.exe; do
    first=$(sha256sum <"$product/$name" | cut -d' ' -f1)
    second=$(sha256sum <"$work/build/$name" | cut -d' ' -f1)
    echo "$first  $product/$name"
    echo "$second  $work/build/$name"
    [ "$first" = "$second" ] || fail "$name differs between the two builds"
    for folder in "$root" "$product" "$work"; do
        grep -qaF "$folder" "$product/$name" "$work/build/$name" && fail "$name names $folder"
    done
done
exit $((failures > 0))
