#!/usr/bin/env bash
# small_disk.sh FOLDER COMMAND...: runs COMMAND with a 64 KiB disk (tmpfs)
# mounted at FOLDER, its Windows path (Wine's Z: drive is the Unix root) in
# QVFILE_SMALL_DISK. Where it cannot be mounted (not root, no mount), COMMAND
# runs all the same with the reason in QVFILE_SMALL_DISK_MISSING, and the
# tests that need the disk skip themselves with it. The disk is unmounted on
# every way out; one that an interrupted run left is unmounted first.
set -u
folder=${1:?usage: small_disk.sh FOLDER COMMAND...}
shift

unmount() {
    while mountpoint -q "$folder" 2>/dev/null; do umount -l "$folder" || break; done
    rmdir "$folder" 2>/dev/null || true
}
unmount
trap unmount EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$folder"
if reason=$(mount -t tmpfs -o size=64k,mode=0777 qvfile-small-disk "$folder" 2>&1); then
    export QVFILE_SMALL_DISK="Z:${folder//\//\\}"
else
    export QVFILE_SMALL_DISK_MISSING="cannot mount a 64 KiB tmpfs at $folder: ${reason:-mount failed}"
fi
"$@"
