#!/usr/bin/env bash
# small_disk.sh FOLDER COMMAND...: runs COMMAND with a 64 KiB disk (tmpfs)
# mounted at FOLDER, its Windows path (Wine's Z: drive is the Unix root) in
# QVFILE_SMALL_DISK. Where it cannot be mounted (not root, no mount), COMMAND
# runs all the same with the reason in QVFILE_SMALL_DISK_MISSING, and the
# tests that need the disk skip themselves with it. The disk holds a folder
# only root may change, "root-only", with a file anyone may write,
# "kept.txt". Beside it, a read-only disk at FOLDER-ro holding "kept.txt",
# named in QVFILE_READ_ONLY_DISK; and where mkfs.btrfs is installed, a
# btrfs volume (copy-on-write) of 128 MiB at FOLDER-btrfs, on a loop file,
# in QVFILE_BTRFS_DISK, or why not in QVFILE_BTRFS_DISK_MISSING. The disks
# are unmounted on every way out; ones that an interrupted run left are
# unmounted first.
set -u
folder=${1:?usage: small_disk.sh FOLDER COMMAND...}
shift

unmount() {
    local disk
    for disk in "$folder" "$folder-ro" "$folder-btrfs"; do
        while mountpoint -q "$disk" 2>/dev/null; do umount -l "$disk" || break; done
        rmdir "$disk" 2>/dev/null || true
    done
    rm -f "$folder-btrfs.img"
}
unmount
trap unmount EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$folder" "$folder-ro"
if reason=$(mount -t tmpfs -o size=64k,mode=0777 qvfile-small-disk "$folder" 2>&1); then
    export QVFILE_SMALL_DISK="Z:${folder//\//\\}"
    mkdir -m 0755 "$folder/root-only" && install -m 0666 /dev/null "$folder/root-only/kept.txt"
    mount -t tmpfs -o size=16k,mode=0777 qvfile-read-only-disk "$folder-ro" &&
        printf kept >"$folder-ro/kept.txt" && mount -o remount,ro "$folder-ro" &&
        export QVFILE_READ_ONLY_DISK="Z:${folder//\//\\}-ro"
else
    export QVFILE_SMALL_DISK_MISSING="cannot mount a 64 KiB tmpfs at $folder: ${reason:-mount failed}"
fi
if ! command -v mkfs.btrfs >/dev/null 2>&1; then
    export QVFILE_BTRFS_DISK_MISSING="mkfs.btrfs is not installed (package btrfs-progs)"
elif reason=$(truncate -s 128M "$folder-btrfs.img" 2>&1 && mkfs.btrfs -q "$folder-btrfs.img" 2>&1 &&
              mkdir -p "$folder-btrfs" && mount -o loop "$folder-btrfs.img" "$folder-btrfs" 2>&1 &&
              chmod 0777 "$folder-btrfs"); then
    export QVFILE_BTRFS_DISK="Z:${folder//\//\\}-btrfs"
else
    export QVFILE_BTRFS_DISK_MISSING="cannot make a btrfs volume at $folder-btrfs: ${reason:-failed}"
fi
"$@"
