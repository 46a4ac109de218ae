# Shared by build.sh, test.sh and bench.sh: configure and build, and run
# Windows programs under Wine with an X display and persistent servers.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
product_dir=$root/build/i686
test_dir=$root/build/x86_64
test32_dir=$root/build/i686-tests
native_dir=$root/build/native
jobs=$(nproc)
# One Wine prefix per architecture: 32-bit Wine needs a prefix of its own.
prefix64=$test_dir/wineprefix
prefix32=$test32_dir/wineprefix
cannot_run_32="this kernel cannot execute 32-bit programs"

build_all() {
    bash "$root/scripts/bootstrap.sh"
    cmake -S "$root" -B "$product_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$product_dir" -j "$jobs"
    cmake -S "$root" -B "$test_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQVFILE_TESTS=ON \
        -DQVFILE_PRODUCT_DLL="$product_dir/qvfile.dll" \
        -DQVFILE_SANITIZED_TESTS="$native_dir/qvfile_sanitized" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
    cmake --build "$test_dir" -j "$jobs"
}

# The tests and the benchmark for i686, built with the -posix compilers and
# pointed at the shipped build/i686 (qvfile.dll and qvhost.exe), which they
# load as a host does; this build makes no library of its own.
build_i686_tests() {
    cmake -S "$root" -B "$test32_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQVFILE_TESTS=ON \
        -DQVFILE_TESTED_DIR="$product_dir" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686-posix.cmake" >/dev/null
    cmake --build "$test32_dir" -j "$jobs" --target qvfile_tests qvfile_benchmark
}

# The platform-free parts built natively with the sanitizers.
build_native() {
    cmake -S "$root" -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$native_dir" -j "$jobs"
}

# Starts Xvfb and makes the 64-bit prefix current (start_prefix); stop_wine
# ends the servers and Xvfb.
start_wine() {
    # One locale for every run, whatever the caller's: it sets Wine's ANSI
    # code page (1252) and lets command lines carry any character.
    export LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The tests pick the DLL under test themselves.
    unset QVFILE_DLL
    trap stop_wine EXIT
    local displayfd
    exec {displayfd}<> <(:)
    Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    local display
    read -r -t 30 display <&"$displayfd" || { echo "Xvfb did not start" >&2; return 1; }
    exec {displayfd}<&-
    export DISPLAY=:$display
    start_prefix "$prefix64"
}

# start_prefix PREFIX [win32]: makes PREFIX the current one; the first time in
# a run it also starts a persistent wineserver for it and boots it, creating
# it if need be. Call it after DISPLAY is set: a prefix made without a display
# can never create windows. Fails (126, "Exec format error") for a 32-bit
# prefix where the kernel cannot execute 32-bit programs.
started_prefixes=()
start_prefix() {
    export WINEPREFIX=$1
    if [ "${2:-}" = win32 ]; then export WINEARCH=win32; else unset WINEARCH; fi
    local started
    for started in "${started_prefixes[@]}"; do [ "$started" != "$WINEPREFIX" ] || return 0; done
    mkdir -p "$WINEPREFIX"
    started_prefixes+=("$WINEPREFIX")
    # A server that is already running for this prefix is as good as a new one.
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true
    [ -f "$WINEPREFIX/system.reg" ] || echo "Creating the Wine prefix in $WINEPREFIX (first run only)..." >&2
    # Wine's own background processes start here, with their streams closed,
    # not inside a test whose output pipe they would hold open.
    "$root/scripts/wine-run.sh" wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1 || {
        local status=$?
        echo "wineboot failed in $WINEPREFIX (status $status):" >&2
        cat "$WINEPREFIX/wineboot.log" >&2
        return "$status"
    }
    hold_desktop "${2:-win64}"
}

# hold_desktop win64|win32: keeps a hidden window open in the current prefix
# until its server ends, started with its streams closed, so that the
# prefix's desktop process runs for the whole run. Otherwise the first test
# that makes a window starts the desktop with that test's output streams,
# which it keeps open when the test ends (and under qemu-i386 it does not
# end), so the test never finishes.
hold_desktop() {
    local compiler=x86_64-w64-mingw32-gcc exe=$WINEPREFIX/desktop-holder.exe
    [ "$1" != win32 ] || compiler=i686-w64-mingw32-gcc
    [ -f "$exe" ] || printf '%s\n' '#include <windows.h>' \
        'int main(void) { CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);' \
        '    for (;;) Sleep(INFINITE); }' | $compiler -x c - -o "$exe"
    setsid "$root/scripts/wine-run.sh" "$exe" </dev/null >/dev/null 2>&1 &
}

# Wine takes its ANSI code page from the locale. use_code_page N sets
# code_page_env to the environment for code page N (1252, 932, 936, 949, 950
# or 65001), arguments for env(1) to start a program with, and code_page_now
# to N; Wine maps Unix file names right only where the locale exists, so the
# others are generated into the build folder. The locale is not made this
# shell's own: bash would warn that it cannot take it (LOCPATH was not in its
# environment when it started).
locales_dir=$root/build/locales
use_code_page() {
    local locale
    case "$1" in
        1252) code_page_env=(-u LOCPATH LC_ALL=C.UTF-8) code_page_now=1252; return 0 ;;
        932) locale=ja_JP ;; 936) locale=zh_CN ;; 949) locale=ko_KR ;; 950) locale=zh_TW ;;
        65001) locale=hi_IN ;;
        *) echo "no locale for code page '$1' (1252, 932, 936, 949, 950, 65001)" >&2; return 2 ;;
    esac
    [ -d "$locales_dir/$locale.UTF-8" ] || {
        mkdir -p "$locales_dir"
        localedef -i "$locale" -f UTF-8 "$locales_dir/$locale.UTF-8" >/dev/null 2>&1 ||
            [ -f "$locales_dir/$locale.UTF-8/LC_CTYPE" ] || { echo "cannot make the locale $locale.UTF-8" >&2; return 1; }
    }
    code_page_env=(LOCPATH="$locales_dir" LC_ALL="$locale.UTF-8") code_page_now=$1
}

stop_wine() {
    local prefix
    for prefix in "${started_prefixes[@]}"; do
        WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    done
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
}

# The path Wine gives a Unix path: the Unix root is drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Whether this machine runs 32-bit programs, found by running one: a tiny
# i686 program under 32-bit Wine, in the 32-bit prefix (made current).
# Natively where the kernel executes 32-bit programs; where it refuses them
# (or QVFILE_EMULATE_I686=1 asks), under qemu-i386 (see wine-run.sh), if
# qemu-i386 8 or later is installed and a user namespace can have its own
# binfmt_misc. Sets i686_runs to yes or no (no, with the reason in
# cannot_run_32, also where 32-bit Wine could not be installed), exports
# QVFILE_I686_RUN (native or emulated) for wine-run.sh and sets i686_how to
# ", emulated by qemu-i386 X.Y" or nothing. Any other failure of the probe is
# an error, reported with Wine's output.
probe_i686() {
    local exe=$test32_dir/probe.exe log=$test32_dir/probe.log status=0 refusal qemu
    mkdir -p "$test32_dir"
    i686_how=
    # Bootstrap leaves the reason here when it could not install 32-bit Wine.
    if [ -f "$root/build/wine32-not-installed" ] || [ ! -x /usr/lib/wine/wine ]; then
        i686_runs=no
        cannot_run_32="32-bit Wine could not be installed ($(cat "$root/build/wine32-not-installed" 2>/dev/null ||
                        echo "/usr/lib/wine/wine is missing"))"
        return 0
    fi
    export QVFILE_I686_RUN=native
    if [ "${QVFILE_EMULATE_I686:-}" = 1 ]; then
        QVFILE_I686_RUN=emulated cannot_run_32="QVFILE_EMULATE_I686=1 asks for qemu-i386"
    elif ! refusal=$(/usr/lib/wine/wine --version 2>&1) && [[ $refusal = *'Exec format error'* ]]; then
        QVFILE_I686_RUN=emulated
    fi
    if [ "$QVFILE_I686_RUN" = emulated ]; then
        i686_runs=no
        qemu=$(qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\.[0-9]*\).*/\1/p')
        if [ -f "$root/build/qemu-not-installed" ]; then
            cannot_run_32+=", and qemu-user could not be installed ($(cat "$root/build/qemu-not-installed"))"
            return 0
        elif [ -z "$qemu" ] || [ "${qemu%%.*}" -lt 8 ]; then
            cannot_run_32+=", and there is no qemu-i386 8 or later${qemu:+ (only $qemu)}"
            return 0
        elif ! refusal=$(unshare --user --map-root-user --mount \
                         mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>&1); then
            cannot_run_32+=", and a user namespace cannot have its own binfmt_misc here (Linux 6.7 or later): $refusal"
            return 0
        fi
        i686_how=", emulated by qemu-i386 $qemu"
    fi
    printf 'int main(void) { return 42; }\n' | i686-w64-mingw32-gcc -x c - -o "$exe"
    start_prefix "$prefix32" win32 >"$log" 2>&1 || true
    LC_ALL=C "$root/scripts/wine-run.sh" "$exe" </dev/null >>"$log" 2>&1 || status=$?
    if [ "$status" -eq 42 ]; then
        i686_runs=yes
    elif [ "$status" -eq 126 ] && grep -q 'Exec format error' "$log"; then
        i686_runs=no
        [ -z "$i686_how" ] || cannot_run_32+=", and the probe was refused under qemu-i386 $qemu too"
    elif [ "$status" -eq 125 ] && grep -q 'cannot register qemu-i386' "$log"; then
        i686_runs=no
        cannot_run_32+=", and qemu-i386 could not be registered in a namespace's binfmt_misc (see $log)"
    else
        echo "The i686 probe failed (status $status${i686_how}):" >&2
        sed 's/^/  /' "$log" >&2
        return 1
    fi
}
