#!/usr/bin/env bash
# Checks the shipped DLL as a binary: 32-bit Intel PE, QV_InitWrapper exported
# undecorated, and imports only from DLLs every Windows has, only functions
# that Windows 2000 has (README.txt promises it), with headers that ask for
# no later Windows. The PE file's own fields are read (perl-base is in every
# Debian), not a tool's report of them, whose wording changes with releases.
set -u
dll=${1:?usage: check_product.sh qvfile.dll}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Prints the fields checked below, one per line: "machine 14c",
# "characteristics 2102", "magic 10b", "OSystemVersion 4.0",
# "SubsystemVersion 4.0", "exported N" (functions, by name or number),
# "export NAME", "import DLL FUNCTION" (FUNCTION is
# #N for an import by ordinal). Fails with a message on a malformed file.
read_pe() {
    perl -e '
        use strict;
        $| = 1;
        my $path = shift;
        open(my $in, "<:raw", $path) or die "cannot read $path: $!\n";
        local $/;
        my $pe = <$in>;
        sub at { my ($offset, $format, $size) = @_;
                 die "truncated at $offset\n" if $offset < 0 || $offset + $size > length $pe;
                 unpack($format, substr($pe, $offset, $size)) }
        die "no MZ header\n" unless at(0, "a2", 2) eq "MZ";
        my $header = at(60, "V", 4);
        die "no PE signature\n" unless at($header, "a4", 4) eq "PE\0\0";
        my ($machine, $sections, $optionalSize, $characteristics) =
            (at($header + 4, "v", 2), at($header + 6, "v", 2), at($header + 20, "v", 2), at($header + 22, "v", 2));
        my $optional = $header + 24;
        my $magic = at($optional, "v", 2);
        printf "machine %x\ncharacteristics %x\nmagic %x\n", $machine, $characteristics, $magic;
        die "not a PE32 optional header\n" unless $magic == 0x10b;
        printf "OSystemVersion %d.%d\n", at($optional + 40, "v", 2), at($optional + 42, "v", 2);
        printf "SubsystemVersion %d.%d\n", at($optional + 48, "v", 2), at($optional + 50, "v", 2);
        my $directories = at($optional + 92, "V", 4);
        my @sections = map { my $s = $optional + $optionalSize + 40 * $_;
                             [at($s + 12, "V", 4), at($s + 8, "V", 4), at($s + 20, "V", 4), at($s + 16, "V", 4)] }
                       0 .. $sections - 1;
        # A relative virtual address as an offset in the file, within the
        # bytes a section has in the file (the tables checked here are there).
        sub offset { my $rva = shift;
                     for my $s (@sections) {
                         my ($address, $virtualSize, $raw, $rawSize) = @$s;
                         return $raw + $rva - $address if $rva >= $address && $rva - $address < $rawSize;
                     }
                     die sprintf("address %x is in no section bytes in the file\n", $rva) }
        sub text { my $start = offset(shift); my $end = index($pe, "\0", $start);
                   die "unterminated name\n" if $end < 0; substr($pe, $start, $end - $start) }
        my ($exports, $imports) = $directories >= 2 ? (at($optional + 96, "V", 4), at($optional + 104, "V", 4)) : (0, 0);
        if ($exports) {
            my $directory = offset($exports);
            my ($count, $names) = (at($directory + 24, "V", 4), at($directory + 32, "V", 4));
            print "exported ", at($directory + 20, "V", 4), "\n";
            print "export ", text(at(offset($names) + 4 * $_, "V", 4)), "\n" for 0 .. $count - 1;
        }
        for (my $descriptor = $imports ? offset($imports) : 0; $imports; $descriptor += 20) {
            my ($lookup, $name, $thunks) = (at($descriptor, "V", 4), at($descriptor + 12, "V", 4), at($descriptor + 16, "V", 4));
            last if !$lookup && !$name && !$thunks;
            my $library = uc text($name);
            for (my $entry = offset($lookup || $thunks); my $value = at($entry, "V", 4); $entry += 4) {
                print "import $library ", ($value & 0x80000000 ? "#" . ($value & 0xffff) : text($value + 2)), "\n";
            }
        }' "$1"
}

fields=$(read_pe "$dll" 2>&1) || { echo "FAIL: cannot read $dll as a PE file: $(tail -1 <<<"$fields")"; exit 1; }
field() { awk -v name="$1" '$1 == name { $1 = ""; sub(/^ /, ""); print }' <<<"$fields"; }

[ "$(field machine)" = 14c ] || fail "machine is $(field machine), not Intel 386 (14c)"
[ "$(field magic)" = 10b ] || fail "not a PE32 file (optional header magic $(field magic))"
characteristics=0x$(field characteristics)
[ $((characteristics & 0x2000)) -ne 0 ] || fail "not a DLL (characteristics $characteristics)"
[ $((characteristics & 0x0100)) -ne 0 ] || fail "not marked for 32-bit machines (characteristics $characteristics)"

exports=$(field export)
[ "$exports" = "QV_InitWrapper" ] && [ "$(field exported)" = 1 ] ||
    fail "exports are '$exports' ($(field exported) in all), expected exactly QV_InitWrapper"

imports=$(field import | awk '{ print $1 }' | sort -u)
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
functions=$(field import | awk '{ print $1 ":" $2 }')
[ -n "$functions" ] || fail "no imported function found: is the import table readable?"
for function in $functions; do
    grep -qxF "$function" <<<"$known" || fail "imports $function: is it in Windows 2000, as README.txt says?"
done
for name in OSystemVersion SubsystemVersion; do
    version=$(field "$name")
    awk -v v="$version" 'BEGIN { split(v, p, "."); exit !(p[1] != "" && p[1] * 100 + p[2] <= 500) }' ||
        fail "$name is $version: the headers ask for a Windows after 2000 (5.0)"
done

if [ "$failures" -eq 0 ]; then
    echo "product: $(basename "$dll") is PE32 i386, exports QV_InitWrapper, imports $(echo $imports)," \
         "$(wc -w <<<"$functions") functions, all in Windows 2000"
fi
exit $((failures > 0))
