#!/usr/bin/env python3
"""Makes the builder benchmark's corpus: a tree of real files an installer
might carry, copied from this machine in a fixed order so that the same
machine always gives the same tree.

    make-builder-corpus.py OUTDIR

Three parts, each filled in sorted path order up to its budget, skipping
links, files over 8 MB and paths an installer could not extract on Windows
(a character Windows refuses, a part ending in a dot or a blank, a device
name, a path that is another one's when case is ignored, as in the kernel
headers xt_MARK.h and xt_mark.h): text documentation (/usr/share/doc: changelogs,
copyright files, some already gzip-compressed), source headers
(/usr/include) and shared libraries (/usr/lib/x86_64-linux-gnu/*.so*).
About 64 MB in several thousand files; a different machine with other
packages gives a different (equally fair) corpus, so compare figures from
one machine only. Writes OUTDIR.manifest (beside the tree, so that it is no
part of it) last, as the mark of a complete corpus."""
import os
import shutil
import sys

PARTS = [
    ("doc", "/usr/share/doc", 24 << 20, lambda name: True),
    ("include", "/usr/include", 24 << 20, lambda name: True),
    ("lib", "/usr/lib/x86_64-linux-gnu", 16 << 20, lambda name: ".so" in name),
]
FILE_LIMIT = 8 << 20
DEVICE_NAMES = {"con", "prn", "aux", "nul", "conin$", "conout$"} | {f"{d}{n}" for d in ("com", "lpt") for n in range(10)}


def extractable_on_windows(relative):
    for part in relative.split("/"):
        if any(c in '<>:"|?*\\' or ord(c) < 0x20 for c in part) or part.endswith((".", " ")):
            return False
        if part.split(".")[0].rstrip(" ").lower() in DEVICE_NAMES:
            return False
    return True


def files_in(root, wanted):
    found = []
    for folder, folders, names in os.walk(root):
        folders.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            if os.path.islink(path) or not os.path.isfile(path) or not wanted(name):
                continue
            found.append(path)
    return sorted(found)


def main():
    out = sys.argv[1]
    if os.path.exists(out):
        shutil.rmtree(out)
    manifest = []
    taken_files, taken_folders = set(), set()  # lower-cased: Windows compares names without case
    for label, root, budget, wanted in PARTS:
        used = 0
        for path in files_in(root, wanted):
            size = os.path.getsize(path)
            if size > FILE_LIMIT or used + size > budget:
                continue
            relative = label + "/" + os.path.relpath(path, root)
            folders = {"/".join(relative.split("/")[:n]).lower() for n in range(1, relative.count("/") + 1)}
            if (not extractable_on_windows(relative) or relative.lower() in taken_files
                    or relative.lower() in taken_folders or folders & taken_files):
                continue
            target = os.path.join(out, label, os.path.relpath(path, root))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            try:
                shutil.copyfile(path, target)
            except OSError:
                continue
            os.utime(target, (1700000000, 1700000000))
            taken_files.add(relative.lower())
            taken_folders |= folders
            used += size
            manifest.append(f"{size} {label}/{os.path.relpath(path, root)}")
    with open(out + ".manifest", "w") as listing:
        listing.write("\n".join(manifest) + "\n")
    total = sum(int(line.split(" ", 1)[0]) for line in manifest)
    print(f"corpus: {len(manifest)} files, {total} bytes in {out}")


if __name__ == "__main__":
    main()
