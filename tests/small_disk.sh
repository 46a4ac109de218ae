#!/usr/bin/env bash
# small_disk.sh FOLDER COMMAND...: runs COMMAND with a 64 KiB disk (tmpfs)
# mounted at FOLDER, its Windows path (Wine's Z: drive is the Unix root) in
# QVFILE_SMALL_DISK. Where it cannot be mounted (not root, no mount), COMMAND
# runs all the same with the reason in QVFILE_SMALL_DISK_MISSING, and the
# tests that need the disk skip themselves with it. The disk holds a folder
# only root may change, "root-only", with a file anyone may write,
# "kept.txt". Beside it, a read-only disk at FOLDER-ro holding "kept.txt",
# named in QVFILE_READ_ONLY_DISK. The disks are unmounted on every way out;
# ones that an interrupted run left are unmounted first.
set -u
folder=${1:?usage: small_disk.sh FOLDER COMMAND...}
shift

unmount() {
    local disk
    for disk in "$folder" "$folder-ro"; do
        while mountpoint -q "$disk" 2>/dev/null; do umount -l "$disk" || break; done
        rmdir "$disk" 2>/dev/null || true
    done
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
"$@"
