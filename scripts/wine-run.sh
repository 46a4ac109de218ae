#!/usr/bin/env bash
# Runs a Windows program under Wine with the loader its architecture needs:
# /usr/lib/wine/wine for a 32-bit (i386) program, /usr/lib/wine/wine64
# otherwise. For a command that is not a file (wineboot, say) WINEARCH=win32
# chooses the 32-bit loader. The test command sets WINEPREFIX and DISPLAY;
# the defaults below serve a run by hand.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The machine field of a PE file's header: 014c for i386, 8664 for x86-64.
pe_machine() {
    local header
    header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null) || return
    od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

loader=/usr/lib/wine/wine64
if [ -f "$1" ]; then
    [ "$(pe_machine "$1")" = 014c ] && loader=/usr/lib/wine/wine
elif [ "${WINEARCH:-}" = win32 ]; then
    loader=/usr/lib/wine/wine
fi
exec "$loader" "$@"
