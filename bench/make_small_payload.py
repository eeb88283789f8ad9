#!/usr/bin/env python3
"""Builds the extraction benchmark's payload of many small members: a tree of
FILES text files of 64 to 1,000 bytes in folders of 100, and files.txt in the
format of make_payload.py (one "D path" per folder, one "F size path" per
file, Windows separators, in the builder's order).

    make_small_payload.py OUT_DIR [FILES]

Deterministic (the contents and sizes follow from each file's number), so
every machine gets the same payload; nothing outside OUT_DIR is written.
"""
import os
import shutil
import sys

FILES_PER_FOLDER = 100


def main():
    out = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 3000
    tree = os.path.join(out, "tree")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(tree)
    entries = []
    for number in range(files):
        folder = "group%03d" % (number // FILES_PER_FOLDER)
        if number % FILES_PER_FOLDER == 0:
            os.makedirs(os.path.join(tree, folder))
            entries.append("D " + folder)
        size = 64 + (number * 7919) % 937
        line = ("entry %d of the small-member payload; " % number).encode()
        content = (line * (size // len(line) + 1))[:size]
        name = "member-%05d.txt" % number
        with open(os.path.join(tree, folder, name), "wb") as handle:
            handle.write(content)
        entries.append("F %d %s\\%s" % (size, folder, name))
    # The builder orders each folder's names by bytes, a folder before its contents.
    with open(os.path.join(out, "files.txt"), "w") as handle:
        handle.write("\n".join(entries) + "\n")


if __name__ == "__main__":
    main()
