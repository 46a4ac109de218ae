#!/usr/bin/env bash
# A maintainer's check that the README's two commands set up a fresh machine:
#
#   fresh-check.sh 12|13
#
# makes a minimal Debian 12 (bookworm) or 13 (trixie) with debootstrap in
# build/fresh-RELEASE, copies the committed tree (git archive HEAD) into
# root's home there (/root/qvfile, where a newcomer working as root puts it,
# a folder other users cannot enter), with the machine's own mirror, runs
# `bash scripts/build.sh` and then `bash scripts/test.sh` inside it, and
# prints each command's outcome and time. As root. Each command runs in a
# mount namespace of its own whose root is the new system (pivot_root, with
# /proc, /dev and /sys mounted; they end with the namespace): unlike a
# chroot, this lets the tests make user namespaces, which running 32-bit
# Wine under qemu-i386 needs. QVFILE_EMULATE_I686 is passed on.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "${1:-}" in
    12|bookworm) release=12 suite=bookworm ;;
    13|trixie) release=13 suite=trixie ;;
    *) echo "usage: fresh-check.sh 12|13 (the Debian release to try)" >&2; exit 2 ;;
esac
fresh=$root/build/fresh-$release
target=$fresh/debian
tree=/root/qvfile

# Every mount under the chroot, the deepest first: /proc, /dev and /sys, and
# what the tests mounted inside it.
mounts_under() { findmnt -rno TARGET 2>/dev/null | awk -v t="$target/" 'index($0 "/", t) == 1' | sort -r; }
unmount_all() {
    local point
    for point in $(mounts_under); do
        umount -R "$point" 2>/dev/null || umount -lR "$point" 2>/dev/null || true
    done
}
# Removes the folder only with nothing mounted in it, never leaving its file
# system (a bind of the machine's /dev would otherwise lose its nodes).
remove_fresh() {
    unmount_all
    if [ -n "$(mounts_under)" ]; then
        echo "fresh-check: still mounted, not removing $fresh:" $(mounts_under) >&2
        exit 1
    fi
    rm -rf --one-file-system "$fresh"
}
trap unmount_all EXIT
trap 'exit 130' INT TERM

command -v debootstrap >/dev/null || {
    echo "fresh-check: installing debootstrap" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null
}

remove_fresh
mkdir -p "$fresh"
# source_of SUITE: the address of the machine's own source for SUITE (its
# release, or its release's -security), from its deb822 sources.
own=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
source_of() {
    awk -v suite="$1" '/^URIs:/ { uri = $2 } /^$/ { uri = ""; found = 0 }
         /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) found = 1 }
         found && uri != "" { sub(/\/$/, "", uri); print uri; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null
}
mirror=$(source_of "$own")
mirror=${mirror:-http://deb.debian.org/debian}
security=$(source_of "$own-security")
security=${security:-http://deb.debian.org/debian-security}
start=$SECONDS
echo "fresh-check: debootstrap --variant=minbase $suite from $mirror"
debootstrap --variant=minbase "$suite" "$target" "$mirror" >"$fresh/debootstrap.log" 2>&1 ||
    { tail -20 "$fresh/debootstrap.log"; echo "fresh-check: debootstrap failed"; exit 1; }
echo "fresh-check: minimal Debian made in $((SECONDS - start)) s"

# The release's main, updates and security suites from the machine's own
# mirrors, as a new installation has them, and its name resolution.
rm -f "$target/etc/apt/sources.list"
printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: %s\n\n' \
    "$mirror" "$suite" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg >"$target/etc/apt/sources.list.d/debian.sources"
printf 'Types: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: %s\n' \
    "$security" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg >>"$target/etc/apt/sources.list.d/debian.sources"
cp /etc/resolv.conf "$target/etc/resolv.conf" 2>/dev/null || true
mkdir -p "$target$tree"
git -C "$root" archive HEAD | tar -x -C "$target$tree"

# in_fresh_root COMMAND: runs COMMAND in the tree in the new system, with a
# clean environment.
in_fresh_root() {
    unshare --mount --propagation private /bin/bash -c '
        set -e
        target=$1 command=$2 tree=$3
        mount --bind "$target" "$target"
        mount -t proc proc "$target/proc"
        for point in dev sys; do mount --rbind "/$point" "$target/$point"; done
        mkdir -p "$target/.old-root"
        cd "$target"
        pivot_root . .old-root
        umount -l /.old-root
        rmdir /.old-root
        cd /
        exec /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            TERM="${TERM:-dumb}" ${QVFILE_EMULATE_I686:+QVFILE_EMULATE_I686="$QVFILE_EMULATE_I686"} \
            /bin/bash -c "cd $tree && $command"' in-fresh-root "$target" "$1" "$tree"
}

outcomes=()
failed=0
for command in "bash scripts/build.sh" "bash scripts/test.sh"; do
    start=$SECONDS status=0
    echo
    echo "== fresh-check: $command =="
    in_fresh_root "$command" || status=$?
    outcome=passed
    [ "$status" -eq 0 ] || { outcome="FAILED (status $status)"; failed=1; }
    outcomes+=("$command: $outcome in $((SECONDS - start)) s")
    [ "$status" -eq 0 ] || break
done

echo
echo "== fresh-check summary: Debian $release ($suite), the tree in $tree =="
printf '%s\n' "${outcomes[@]}"
exit "$failed"
