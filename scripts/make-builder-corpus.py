#!/usr/bin/env python3
"""Makes the builder benchmark's corpus: a tree of real files an installer
might carry, copied from this machine in a fixed order so that the same
machine always gives the same tree.

    make-builder-corpus.py OUTDIR

Three parts, each filled in sorted path order up to its budget, skipping
links and files over 8 MB: text documentation (/usr/share/doc: changelogs,
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
    for label, root, budget, wanted in PARTS:
        used = 0
        for path in files_in(root, wanted):
            size = os.path.getsize(path)
            if size > FILE_LIMIT or used + size > budget:
                continue
            target = os.path.join(out, label, os.path.relpath(path, root))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            try:
                shutil.copyfile(path, target)
            except OSError:
                continue
            os.utime(target, (1700000000, 1700000000))
            used += size
            manifest.append(f"{size} {label}/{os.path.relpath(path, root)}")
    with open(out + ".manifest", "w") as listing:
        listing.write("\n".join(manifest) + "\n")
    total = sum(int(line.split(" ", 1)[0]) for line in manifest)
    print(f"corpus: {len(manifest)} files, {total} bytes in {out}")


if __name__ == "__main__":
    main()
