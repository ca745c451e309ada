#!/usr/bin/env bash
# mount|umount FOLDER: a 1 MB file system for the full-disk rip test. Without the right to
# mount, the folder stays an ordinary one and the test skips itself.
set -u
action=$1 folder=$2
case $action in
  mount)
    mkdir -p "$folder"
    mountpoint -q "$folder" && umount "$folder" 2>/dev/null
    mount -t tmpfs -o size=1m tmpfs "$folder" 2>/dev/null || echo "cannot mount a tmpfs at $folder"
    ;;
  umount)
    mountpoint -q "$folder" && umount "$folder" 2>/dev/null
    ;;
esac
exit 0
