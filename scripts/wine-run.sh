#!/usr/bin/env bash
# Runs a Windows program of the x86_64 build under 64-bit Wine. The test
# command sets WINEPREFIX and DISPLAY; these defaults serve a run by hand.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
