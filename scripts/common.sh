# Shared by build.sh and test.sh: configure and build both architectures, and
# run Windows programs under Wine with an X display and a persistent server.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
product_dir=$root/build/i686
test_dir=$root/build/x86_64
native_dir=$root/build/native
jobs=$(nproc)

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

# The platform-free parts built natively with the sanitizers.
build_native() {
    cmake -S "$root" -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$native_dir" -j "$jobs"
}

# Starts Xvfb and a persistent wineserver for the prefix inside the test
# build; stop_wine ends both. The prefix is made on first use.
start_wine() {
    export WINEPREFIX=$test_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    trap stop_wine EXIT
    local displayfd
    exec {displayfd}<> <(:)
    Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    local display
    read -r -t 30 display <&"$displayfd" || { echo "Xvfb did not start" >&2; return 1; }
    exec {displayfd}<&-
    export DISPLAY=:$display
    mkdir -p "$WINEPREFIX"
    # A server that is already running for this prefix is as good as a new one.
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true
    [ -f "$WINEPREFIX/system.reg" ] || echo "Creating the Wine prefix in $WINEPREFIX (first run only)..." >&2
    # Wine's own background processes start here, with their streams closed,
    # not inside a test whose output pipe they would hold open.
    /usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
}

stop_wine() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
}
