#!/usr/bin/env bash
# Installs what building and testing qvfile needs on Debian 12 or 13, as
# root, and does nothing (taking no time) when everything is already present.
# Packages are named as both releases name them.
#
# Package indexes that fail to download are named and retried once, then
# left out. 32-bit Wine is installed in the same step as 64-bit Wine; where
# the i386 indexes lag behind the amd64 ones, each library both need is
# installed in both architectures at a version both indexes hold (never
# removing a package, never downgrading one). When 32-bit Wine still cannot
# be installed, the rest is, the reason is kept in build/wine32-not-installed
# for the test command, and bootstrap succeeds. Any other package that cannot
# be installed fails bootstrap, with the package and apt's reason.
#
# Where the kernel refuses to execute 32-bit programs (or QVFILE_EMULATE_I686=1
# asks for the emulated path), 32-bit Wine runs under qemu-i386 from the
# package qemu-user, which Debian 13 has new enough (8 or later) in its own
# archive and Debian 12 only in bookworm-backports: there that suite is
# added, pinned so that nothing else comes from it. When it cannot be
# installed, the reason is kept in build/qemu-not-installed and bootstrap
# succeeds.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine32_note=$root/build/wine32-not-installed
qemu_note=$root/build/qemu-not-installed

packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
          wine64 xvfb xauth googletest duktape-dev clang libclang-rt-dev
          node-typescript zip unzip file git ca-certificates locales xz-utils procps cmark-gfm btrfs-progs)
wine32=wine32:i386

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
say() { echo "bootstrap: $*" >&2; }

# Whether 32-bit Wine is there and the kernel refuses to execute its loader.
kernel_refuses_32_bit() {
    local out status=0
    [ -x /usr/lib/wine/wine ] || return 1
    out=$(/usr/lib/wine/wine --version 2>&1) || status=$?
    [ "$status" -eq 126 ] && grep -q 'Exec format error' <<<"$out"
}
# Whether 32-bit Wine is to run under qemu-i386 and no qemu-i386 8 or later
# is installed.
emulator_missing() {
    [ "${QVFILE_EMULATE_I686:-}" = 1 ] || kernel_refuses_32_bit || return 1
    local version
    version=$(qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\)\..*/\1/p')
    [ -z "$version" ] || [ "$version" -lt 8 ]
}

missing=()
for p in "${packages[@]}" "$wine32"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -eq 0 ] && ! emulator_missing; then
    rm -f "$wine32_note" "$qemu_note"
    exit 0
fi
[ ${#missing[@]} -eq 0 ] || say "installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine comes from the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

# apt-get update, going on without the indexes that fail twice.
update_indexes() {
    local attempt log failures
    for attempt in first retry; do
        log=$(apt-get update 2>&1) && return 0
        failures=$(sed -n 's/^E: Failed to fetch \([^ ]*\) *\(.*\)/\1 (\2)/p' <<<"$log")
        if [ -z "$failures" ]; then
            say "apt-get update failed: $(grep '^E:' <<<"$log" | head -1)"
        elif [ "$attempt" = first ]; then
            while read -r line; do say "index failed to download, retrying once: $line"; done <<<"$failures"
        else
            while read -r line; do say "going on without this index: $line"; done <<<"$failures"
        fi
    done
}

# What apt would do for `install PACKAGE...`, or its refusal, without doing it.
simulate() { apt-get install -s --no-install-recommends "$@" 2>&1; }

# A simulated install is taken only if it removes nothing and downgrades
# nothing ("Inst name [old] (new ...)").
harmless() {
    local plan=$1 name old new
    grep -q '^Remv ' <<<"$plan" && return 1
    while read -r name old new; do
        dpkg --compare-versions "$new" lt "$old" && return 1
    done < <(sed -n 's/^Inst \([^ ]*\) \[\([^]]*\)\] (\([^ ]*\) .*/\1 \2 \3/p' <<<"$plan")
    return 0
}

# apt's reason in one line: its first complaint about a dependency, else its
# last error.
reason_of() {
    local line
    line=$(grep -m1 -E ' : (Pre)?Depends: |Unable to locate|has no installation candidate' <<<"$1" ||
           grep '^E:' <<<"$1" | tail -1)
    sed -E 's/^ +//; s/ +/ /g' <<<"$line"
}

# The i386 packages 32-bit Wine needs, as NAME:i386.
wine32_closure() {
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances "$wine32" 2>/dev/null | grep -E '^[^ <].*:i386$' | sort -u
}

# "NAME VERSION" for every version the indexes hold of the given packages
# whose Multi-Arch is "same".
same_versions() {
    apt-cache show "$@" 2>/dev/null | awk '
        /^Package: / { name = $2 } /^Version: / { version = $2 } /^Multi-Arch: same/ { same = 1 }
        /^$/ { if (same && name != "") print name, version; name = ""; same = 0 }
        END { if (same && name != "") print name, version }'
}

# "NAME CANDIDATE" for each given package, from one apt-cache policy call.
candidates_of() {
    apt-cache policy "$@" 2>/dev/null |
        awk '/^[^ ].*:$/ { sub(/:$/, ""); sub(/:(i386|amd64)$/, ""); name = $0 }
             /^  Candidate: / { print name, $2 }'
}

# Prints NAME:amd64=V NAME:i386=V for each Multi-Arch "same" library of 32-bit
# Wine whose i386 and amd64 candidates differ: V is the installed amd64
# version where the i386 indexes hold it, else the newest version both
# architectures hold that is not older than the installed one. Installed
# amd64 packages built from the same source at the same version (a library's
# -dev package) move with it. Fails, naming the library, when there is no V.
paired_versions() {
    local names i386 amd64 c32 c64 installed name v best now candidates siblings=
    names=$(wine32_closure | sed 's/:i386$//')
    [ -n "$names" ] || return 0
    i386=$(same_versions $(sed 's/$/:i386/' <<<"$names"))
    amd64=$(same_versions $(sed 's/$/:amd64/' <<<"$names"))
    c32=$(candidates_of $(sed 's/$/:i386/' <<<"$names"))
    c64=$(candidates_of $(sed 's/$/:amd64/' <<<"$names"))
    # "NAME VERSION SOURCE" of every installed amd64 package.
    installed=$(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev} ${Version} ${source:Package}\n' |
                awk '$2 == "amd64" && $3 == "ii" { print $1, $4, $5 }')
    for name in $names; do
        grep -q "^$name " <<<"$amd64" && grep -q "^$name " <<<"$i386" || continue
        now=$(awk -v n="$name" '$1 == n { print $2 }' <<<"$installed")
        v=$(awk -v n="$name" '$1 == n { print $2 }' <<<"$c32")
        if [ "$v" = "$(awk -v n="$name" '$1 == n { print $2 }' <<<"$c64")" ]; then
            [ -z "$now" ] || [ "$now" = "$v" ] && continue
        fi
        candidates=$(comm -12 <(sed -n "s/^$name //p" <<<"$i386" | sort -u) \
                              <({ sed -n "s/^$name //p" <<<"$amd64"; echo "$now"; } | sort -u))
        best=
        if [ -n "$now" ] && grep -qxF -- "$now" <<<"$candidates"; then
            best=$now
        else
            for v in $candidates; do
                [ -z "$now" ] || dpkg --compare-versions "$v" ge "$now" || continue
                [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best" && best=$v
            done
        fi
        if [ -z "$best" ]; then
            echo "$name has no version that both the i386 and the amd64 indexes hold${now:+ at or above the installed $now}"
            return 1
        fi
        echo "$name:amd64=$best $name:i386=$best"
        [ -n "$now" ] && [ "$now" != "$best" ] || continue
        siblings+=$(awk -v n="$name" -v now="$now" -v best="$best" '
                $1 == n { source = $3 } { v[$1] = $2; s[$1] = $3 }
                END { for (p in v) if (p != n && s[p] == source && v[p] == now) print p, best }' <<<"$installed")$'\n'
    done
    # The siblings that the amd64 indexes hold at the new version.
    [ -n "${siblings//$'\n'/}" ] || return 0
    apt-cache show $(awk 'NF { print $1 ":amd64" }' <<<"$siblings" | sort -u) 2>/dev/null |
        awk '/^Package: / { name = $2 } /^Version: / { print name, $2 }' |
        grep -xFf <(awk 'NF' <<<"$siblings") | awk '{ print $1 ":amd64=" $2 }'
}

# The Debian mirror and keyring of the machine's bookworm source.
bookworm_source() {
    awk '/^URIs:/ { uri = $2 } /^Signed-By:/ { key = $2 } /^$/ { uri = ""; key = ""; found = 0 }
         /^Suites:.*bookworm( |$)/ { found = 1 }
         found && uri != "" && key != "" { print uri, key; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null
}

# Installs qemu-user: on Debian 12 from bookworm-backports, added for
# qemu-user alone; elsewhere from the release's own archive. Prints the
# reason when it cannot.
install_emulator() {
    local source mirror keyring log suite=
    if [ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" = bookworm ]; then
        suite=bookworm-backports
        source=$(bookworm_source)
        mirror=${source%% *} keyring=${source#* }
        [ -n "$source" ] || { mirror=http://deb.debian.org/debian keyring=/usr/share/keyrings/debian-archive-keyring.gpg; }
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
            "$mirror" "$keyring" >/etc/apt/sources.list.d/qvfile-backports.sources
        printf '%s\n' '# qvfile: qemu-user, and nothing else, from bookworm-backports.' \
            'Package: qemu-user' 'Pin: release n=bookworm-backports' 'Pin-Priority: 500' '' \
            'Package: *' 'Pin: release n=bookworm-backports' 'Pin-Priority: -1' \
            >/etc/apt/preferences.d/qvfile-backports
        update_indexes
    elif [ ${#missing[@]} -eq 0 ]; then
        update_indexes
    fi
    log=$(apt-get install -y -q --no-install-recommends "qemu-user${suite:+/$suite}" 2>&1) ||
        { reason_of "$log"; return 0; }
    emulator_missing && echo "qemu-user${suite:+ from $suite} has no qemu-i386 8 or later"
    return 0
}

[ ${#missing[@]} -eq 0 ] || update_indexes
rest=()
for p in "${missing[@]}"; do [ "$p" = "$wine32" ] || rest+=("$p"); done

wine32_why=
if [[ " ${missing[*]} " = *" $wine32 "* ]]; then
    plan=$(simulate "${rest[@]}" "$wine32") || true
    if ! grep -q '^Inst ' <<<"$plan" || ! harmless "$plan" || grep -q '^E:' <<<"$plan"; then
        if pairs=$(paired_versions); then
            pairs=$(tr ' ' '\n' <<<"$pairs" | sort -u)
            plan=$(simulate "${rest[@]}" "$wine32" $pairs) || true
            grep -q '^E:' <<<"$plan" && wine32_why=$(reason_of "$plan")
            [ -n "$wine32_why" ] || harmless "$plan" ||
                wine32_why="installing it would remove or downgrade packages this machine has"
            [ -n "$wine32_why" ] || { [ -z "$pairs" ] || say "pairing versions: $(echo $pairs)"; rest+=($pairs); }
        else
            # The pairs found before the one that failed are of no use.
            wine32_why=$(tail -n 1 <<<"$pairs")
        fi
    fi
    [ -n "$wine32_why" ] || rest+=("$wine32")
fi

if [ ${#rest[@]} -gt 0 ]; then
    if ! log=$(apt-get install -y -q --no-install-recommends "${rest[@]}" 2>&1); then
        # Name the packages that cannot be installed, each with apt's reason.
        for p in "${rest[@]}"; do
            plan=$(simulate "$p") || say "cannot install ${p%%=*}: $(reason_of "$plan")"
        done
        say "apt-get install failed: $(reason_of "$log")"
        exit 1
    fi
fi

mkdir -p "$(dirname "$wine32_note")"
if [ -n "$wine32_why" ]; then
    say "32-bit Wine could not be installed: $wine32_why"
    echo "$wine32_why" >"$wine32_note"
else
    rm -f "$wine32_note"
fi

if emulator_missing; then
    if [ "${QVFILE_EMULATE_I686:-}" = 1 ]; then why="QVFILE_EMULATE_I686=1 asks for 32-bit Wine under qemu-i386"
    else why="the kernel refuses 32-bit programs"; fi
    say "$why: installing qemu-user"
    qemu_why=$(install_emulator)
    if [ -n "$qemu_why" ]; then
        say "qemu-user could not be installed: $qemu_why"
        echo "$qemu_why" >"$qemu_note"
    else
        rm -f "$qemu_note"
    fi
else
    rm -f "$qemu_note"
fi
