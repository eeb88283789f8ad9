#!/usr/bin/env python3
"""Builds the extraction benchmark's payload: a folder tree shaped like a real
application's, copied from files on this machine.

    make_payload.py OUT_DIR

Writes OUT_DIR/tree/ (about 100 MB in about 5,500 files: Windows DLLs and
programs, headers, documents, Python sources, message catalogues, PNG icons
and gzip files, in folders a few levels deep) and OUT_DIR/files.txt, the
list the floor program creates: one line per folder ("D path") and per file
("F size path"), Windows separators, in the builder's order (each folder's
names sorted by bytes, a folder's entry before its contents).

Deterministic: each source is walked in sorted order and its files are taken
whole, up to its quota, so the same machine gives the same payload. Only
names that every contender can write on Windows are taken: plain ASCII, no
device names, no two paths that differ only in case, paths short enough for
the extractor's 260-byte buffers under a deep target folder. Nothing is
downloaded; nothing outside OUT_DIR is written.
"""
import os
import re
import shutil
import sys

MIB = 1 << 20
MIN_TOTAL_BYTES = 50 * 10**6
MAX_RELATIVE_PATH_BYTES = 150
SAFE_NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._+-]*$")
DEVICE_NAMES = {"con", "prn", "aux", "nul"} | {"com%d" % n for n in range(10)} | {"lpt%d" % n for n in range(10)}

SOURCES = [
    # folder in the tree, quota, smallest and largest file taken, roots, test on the file name
    ("bin", 40 * MIB, 1, 4 * MIB,
     ["/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/i386-linux-gnu/wine/i386-windows",
      "/usr/lib/x86_64-linux-gnu"],
     lambda name: name.endswith((".dll", ".exe", ".sys", ".drv", ".ocx", ".cpl")) or ".so" in name),
    ("include", 22 * MIB, 1, 1 * MIB, ["/usr/include", "/usr/share/mingw-w64/include"],
     lambda name: name.endswith((".h", ".hpp", ".hxx", ".tcc", ".inl")) or "." not in name),
    ("doc", 8 * MIB, 1, 1 * MIB, ["/usr/share/doc", "/usr/share/nsis"],
     lambda name: not name.endswith((".gz", ".xz", ".bz2"))),
    ("python", 10 * MIB, 1, 1 * MIB, ["/usr/lib/python3.11", "/usr/lib/python3"], lambda name: name.endswith(".py")),
    ("locale", 8 * MIB, 1, 1 * MIB, ["/usr/share/locale"], lambda name: name.endswith(".mo")),
    ("icons", 4 * MIB, 1024, 1 * MIB, ["/usr/share/icons", "/usr/share/pixmaps"],
     lambda name: name.endswith(".png")),
    ("archives", 8 * MIB, 1, 2 * MIB, ["/usr/share/doc", "/usr/share/man"], lambda name: name.endswith(".gz")),
]


def candidates(roots, wanted, smallest_bytes, largest_bytes):
    """(source path, path relative to its root's parent, size) in sorted walk order."""
    for root in roots:
        if not os.path.isdir(root):
            continue
        for folder, subfolders, names in os.walk(root):
            subfolders.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                if not wanted(name) or os.path.islink(path) or not os.path.isfile(path):
                    continue
                try:
                    size = os.path.getsize(path)
                except OSError:
                    continue
                if smallest_bytes <= size <= largest_bytes:
                    yield path, os.path.relpath(path, os.path.dirname(root)), size


def writable_on_windows(relative):
    parts = relative.split("/")
    return all(SAFE_NAME.match(part) and part.split(".")[0].lower() not in DEVICE_NAMES
               and not part.endswith(".") for part in parts)


def listing(tree):
    """files.txt's lines for tree, in the builder's order."""
    lines = []

    def walk(folder, relative):
        for name in sorted(os.listdir(folder), key=os.fsencode):
            path = os.path.join(folder, name)
            inner = relative + "\\" + name if relative else name
            if os.path.isdir(path):
                lines.append("D " + inner)
                walk(path, inner)
            else:
                lines.append("F %d %s" % (os.path.getsize(path), inner))

    walk(tree, "")
    return lines


def main():
    out_dir = sys.argv[1]
    tree = os.path.join(out_dir, "tree")
    if os.path.exists(tree):
        shutil.rmtree(tree)
    os.makedirs(tree)
    taken_files, taken_folders = set(), set()  # lower-cased: Windows compares names without case
    total_bytes = 0
    for folder, quota, smallest_bytes, largest_bytes, roots, wanted in SOURCES:
        taken_bytes = 0
        for source, relative, size in candidates(roots, wanted, smallest_bytes, largest_bytes):
            if taken_bytes + size > quota:
                continue
            relative = folder + "/" + relative
            # A file's path must not also be a folder's, nor the other way round, in any case.
            folders = ["/".join(relative.split("/")[:n]).lower() for n in range(1, relative.count("/") + 1)]
            if (len(relative) > MAX_RELATIVE_PATH_BYTES or not writable_on_windows(relative)
                    or relative.lower() in taken_files or relative.lower() in taken_folders
                    or any(folder_path in taken_files for folder_path in folders)):
                continue
            target = os.path.join(tree, relative)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            try:
                shutil.copyfile(source, target)
            except OSError:
                continue
            taken_files.add(relative.lower())
            taken_folders.update(folders)
            taken_bytes += size
            if taken_bytes >= quota - 4096:
                break
        if taken_bytes < quota * 3 // 4:
            print("warning: %s has only %d of %d bytes" % (folder, taken_bytes, quota), file=sys.stderr)
        total_bytes += taken_bytes
    lines = listing(tree)
    with open(os.path.join(out_dir, "files.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")
    file_count = sum(1 for line in lines if line.startswith("F "))
    print("payload: %.1f MB in %d files and %d folders" % (total_bytes / 1e6, file_count, len(lines) - file_count))
    if total_bytes < MIN_TOTAL_BYTES:
        print("error: the payload is under %d MB; this machine has too few files to copy" % (MIN_TOTAL_BYTES // 10**6),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
