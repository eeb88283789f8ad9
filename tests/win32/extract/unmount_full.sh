#!/usr/bin/env bash
# Takes away the small tmpfs that make_archives.sh mounts for the full-disk
# case, if it is there:  unmount_full.sh OUTDIR
out=$1
if mountpoint -q "$out/full" 2>/dev/null; then
    umount "$out/full"
fi
exit 0
