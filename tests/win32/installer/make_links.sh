#!/usr/bin/env bash
# Makes the folder the clean-up's link test deletes, on the Unix side (Wine 8
# makes no links itself: CreateSymbolicLinkA answers success and makes
# nothing). Wine shows a Unix symbolic link to a folder as a folder that is a
# reparse point; one to a file it shows as a plain file, through which every
# deletion reaches the target, so none is made here.
#   make_links.sh DIR
#     DIR/outside/keep.txt, DIR/outside/empty/   what the links point at
#     DIR/tree/dirlink -> ../outside
#     DIR/tree/emptylink -> ../outside/empty
#     DIR/tree/plain.txt
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir/tree" "$dir/outside/empty"
echo keep >"$dir/outside/keep.txt"
echo plain >"$dir/tree/plain.txt"
ln -s ../outside "$dir/tree/dirlink"
ln -s ../outside/empty "$dir/tree/emptylink"
