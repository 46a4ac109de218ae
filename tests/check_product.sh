#!/usr/bin/env bash
# Checks the shipped DLL as a binary: 32-bit Intel PE, QV_InitWrapper exported
# undecorated, and imports only from DLLs every Windows has, only functions
# that Windows 2000 has (README.txt promises it), with headers that ask for
# no later Windows.
set -u
# objdump's and file's messages are read as English, whatever the caller's
# locale.
export LC_ALL=C
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

# Every function imported, checked to be in Windows 2000 (the newest are
# msvcrt's _stat64, ReplaceFileA and SetFilePointerEx). One that is not
# listed here must be checked against README.txt's promise before it joins
# the list.
windows2000="KERNEL32.DLL: CloseHandle CreateFileA CreateFileW DeleteCriticalSection DeleteFileA EnterCriticalSection FindClose
  FindFirstFileA FindFirstFileW FindNextFileA FindNextFileW FlushFileBuffers FreeLibrary GetACP GetFileAttributesA
  GetFileAttributesExA GetFileAttributesExW GetFileAttributesW
  GetFileInformationByHandle GetFullPathNameA GetFullPathNameW
  GetFileType GetLastError GetModuleHandleA GetProcAddress GetTickCount GetVolumeInformationA InitializeCriticalSection IsDBCSLeadByte
  LeaveCriticalSection LoadLibraryA LockFileEx MoveFileA MultiByteToWideChar ReadFile ReplaceFileA SetEndOfFile
  SetFilePointerEx SetLastError Sleep TlsGetValue UnlockFileEx VirtualProtect VirtualQuery WideCharToMultiByte WriteFile
MSVCRT.DLL: _access _amsg_exit _errno _filelengthi64 _fileno _initterm _iob _lock _mkdir _stat64 _unlock abort
  calloc fclose fflush fgetpos fopen fread free fsetpos fwrite malloc memcpy realloc remove rename strcmp
  strchr strcspn strlen strncmp strrchr strstr vfprintf wcschr wcscmp wcslen wcsncmp wcsrchr
SHELL32.DLL: SHFileOperationA
USER32.DLL: CharUpperW EnumChildWindows EnumWindows GetClassNameA GetWindowRect GetWindowTextA LoadCursorA SendMessageA
  SetCursor SetWindowPos"
known=$(awk '/^[A-Z0-9]+\.DLL:/ { dll = $1; $1 = "" } { for (i = 1; i <= NF; i++) print dll $i }' <<<"$windows2000")
functions=$(awk '/DLL Name:/ { dll = toupper($3) ":" } dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll $3 }' <<<"$private")
[ -n "$functions" ] || fail "no imported function found: is the import table readable?"
for function in $functions; do
    grep -qxF "$function" <<<"$known" || fail "imports $function: is it in Windows 2000, as README.txt says?"
done
for field in OSystemVersion SubsystemVersion; do
    version=$(awk -v field="$field" '$1 == "Major" field { major = $2 } $1 == "Minor" field { minor = $2 }
                                     END { print major "." minor }' <<<"$private")
    awk -v v="$version" 'BEGIN { split(v, p, "."); exit !(p[1] != "" && p[1] * 100 + p[2] <= 500) }' ||
        fail "$field is $version: the headers ask for a Windows after 2000 (5.0)"
done

if [ "$failures" -eq 0 ]; then
    echo "product: $(basename "$dll") is PE32 i386, exports QV_InitWrapper, imports $(echo $imports)," \
         "$(wc -w <<<"$functions") functions, all in Windows 2000"
fi
exit $((failures > 0))
