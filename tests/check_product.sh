#!/usr/bin/env bash
# Checks the shipped DLL as a binary: 32-bit Intel PE, QV_InitWrapper exported
# undecorated, and imports only from DLLs every Windows has.
set -u
dll=${1:?usage: check_product.sh qvfile.dll}
objdump=i686-w64-mingw32-objdump
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$($objdump -f "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 file for Intel 386"
grep -q 'architecture: i386' <<<"$headers" || fail "not built for i386"
file "$dll" | grep -q 'PE32 executable (DLL).*Intel 80386' || fail "file(1) does not see a 32-bit DLL"

private=$($objdump -p "$dll")
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$private" | grep -E '^\s+\[' | awk '{print $NF}')
[ "$exports" = "QV_InitWrapper" ] || fail "exports are '$exports', expected exactly QV_InitWrapper"

imports=$(grep -oE 'DLL Name: .*' <<<"$private" | cut -d' ' -f3 | tr 'a-z' 'A-Z' | sort -u)
for name in $imports; do
    case "$name" in
        KERNEL32.DLL|USER32.DLL|SHELL32.DLL|MSVCRT.DLL|API-MS-WIN-CRT-*.DLL) ;;
        *) fail "imports from $name, which users would have to ship" ;;
    esac
done
grep -qx 'KERNEL32.DLL' <<<"$imports" || fail "no KERNEL32 import found: is the import table readable?"

if [ "$failures" -eq 0 ]; then
    echo "product: $(basename "$dll") is PE32 i386, exports QV_InitWrapper, imports $(echo $imports)"
fi
exit $((failures > 0))
