#!/usr/bin/env bash
# Builds everything and runs the benchmarks under Wine, one table for the
# x86_64 build and one for the shipped i686 DLL (under qemu-i386 where the
# kernel refuses 32-bit programs: there the ratios of library to bare call
# hold, the absolute times do not). Beside the library's read, the same read by a
# native Linux program shows what Wine itself costs. The qvhost rows run a
# script in qvhost (the x86_64 Release one, then the shipped one) against the
# same calls from the minimal host. A few minutes: each
# folder of 20,000 entries takes Wine about a minute to make.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_all
build_i686_tests
build_native
# The x86_64 library timed as it would ship: a Release build of its own.
release64_dir=$root/build/x86_64-release
cmake -S "$root" -B "$release64_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$release64_dir" -j "$jobs" --target qvfile qvhost
export QVFILE_NATIVE_READ=$(windows_path "$native_dir/qvfile_native_read")
start_wine
probe_i686
echo "== x86_64 build (Release), 64-bit Wine =="
start_prefix "$prefix64"
QVFILE_DLL=$(windows_path "$release64_dir/qvfile.dll") QVFILE_QVHOST=$(windows_path "$release64_dir/qvhost.exe") \
    "$root/scripts/wine-run.sh" "$test_dir/qvfile_benchmark.exe"
echo
if [ "$i686_runs" = yes ]; then
    echo "== i686 product (build/i686/qvfile.dll), 32-bit Wine$i686_how =="
    [ -z "$i686_how" ] || echo "(emulated: compare ratios to the bare calls, not absolute times)"
    start_prefix "$prefix32" win32
    QVFILE_DLL=$(windows_path "$product_dir/qvfile.dll") QVFILE_QVHOST=$(windows_path "$product_dir/qvhost.exe") \
        "$root/scripts/wine-run.sh" "$test32_dir/qvfile_benchmark.exe"
else
    echo "i686 benchmark NOT RUN: $cannot_run_32"
fi
