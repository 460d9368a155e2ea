#!/usr/bin/env bash
# Mounts (mount) or removes (unmount) a 64 KiB tmpfs at the given folder: a
# volume that a test fills at once, to see what a full disk does to a copy.
# Mounting needs root; without it the folder is not left behind, and the
# tests that need the volume report themselves skipped.
set -uo pipefail
action=$1 folder=$2
case $action in
mount)
    mkdir -p "$folder"
    if ! mountpoint -q "$folder"; then
        if ! mount -t tmpfs -o size=64k,mode=1777 tmpfs "$folder" 2>/dev/null; then
            echo "full_volume: cannot mount a tmpfs at $folder (not root?)" >&2
            rmdir "$folder"
        fi
    fi
    ;;
unmount)
    if mountpoint -q "$folder"; then
        umount "$folder"
    fi
    rmdir "$folder" 2>/dev/null
    ;;
esac
exit 0
