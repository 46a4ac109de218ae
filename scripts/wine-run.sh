#!/usr/bin/env bash
# Runs a Windows program under Wine with the loader its architecture needs:
# /usr/lib/wine/wine for a 32-bit (i386) program, /usr/lib/wine/wine64
# otherwise. For a command that is not a file (wineboot, say) WINEARCH=win32
# chooses the 32-bit loader. The test command sets WINEPREFIX and DISPLAY;
# the defaults below serve a run by hand.
#
# Where the kernel refuses to execute 32-bit programs, or QVFILE_EMULATE_I686=1
# asks for it, the 32-bit loader runs under qemu-i386 inside a user and mount
# namespace of its own, whose own binfmt_misc (Linux 6.7 or later) hands
# every i386 program started there to qemu-i386; the registration ends with
# the namespace. The test command's probe exports its finding in
# QVFILE_I686_RUN (native or emulated); a run by hand finds out here. The
# wineserver is the 64-bit one (Wine's wineserver script prefers it), so it
# runs natively and serves processes inside and outside the namespaces alike.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The machine field of a PE file's header: 014c for i386, 8664 for x86-64.
pe_machine() {
    local header
    header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null) || return
    od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# The i386 ELF header (executables and position-independent ones) and its
# mask, as binfmt_misc wants them; flags: the interpreter opened now (F), the
# program's name kept as argv[0] (P), its set-id bits honoured (C).
i386_binfmt=':qvfile-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_binfmt+=':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
i386_binfmt+=':/usr/bin/qemu-i386:FPC'

# Inside the namespace (wine-run.sh --in-namespace LOADER ARGS...): its own
# binfmt_misc, qemu-i386 registered there, then the loader.
if [ "${1:-}" = --in-namespace ]; then
    shift
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
        printf '%s' "$i386_binfmt" >/proc/sys/fs/binfmt_misc/register || {
        echo "wine-run.sh: cannot register qemu-i386 in this namespace's binfmt_misc" >&2
        exit 125
    }
    exec "$@"
fi

loader=/usr/lib/wine/wine64
if [ -f "$1" ]; then
    [ "$(pe_machine "$1")" = 014c ] && loader=/usr/lib/wine/wine
elif [ "${WINEARCH:-}" = win32 ]; then
    loader=/usr/lib/wine/wine
fi
if [ "$loader" = /usr/lib/wine/wine ] && [ -z "${QVFILE_I686_RUN:-}" ]; then
    QVFILE_I686_RUN=native
    if [ "${QVFILE_EMULATE_I686:-}" = 1 ]; then
        QVFILE_I686_RUN=emulated
    elif ! refusal=$("$loader" --version 2>&1) && [[ $refusal = *'Exec format error'* ]]; then
        QVFILE_I686_RUN=emulated
    fi
    export QVFILE_I686_RUN
fi
if [ "$loader" = /usr/lib/wine/wine ] && [ "$QVFILE_I686_RUN" = emulated ]; then
    # Mounts made outside later (the tests' small disk) reach in; none leave.
    exec unshare --user --map-root-user --mount --propagation slave bash "${BASH_SOURCE[0]}" --in-namespace "$loader" "$@"
fi
exec "$loader" "$@"
