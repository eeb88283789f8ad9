#!/usr/bin/env python3
"""Builds the decoder benchmark's corpus from files on this machine.

    make_corpus.py OUT_DIR

Writes OUT_DIR/text.bin, binary.bin and compressed.bin (about 56 MiB in all)
and OUT_DIR/manifest.txt, the files each class was cut from. Deterministic:
the candidates are walked in sorted order and taken whole until the class's
quota is reached (the last one cut), so the same machine gives the same
corpus. Nothing is downloaded; nothing outside OUT_DIR is written.
"""
import os
import sys

MIB = 1 << 20
CLASSES = [
    # name, quota, roots, test on the file name
    ("text", 24 * MIB, ["/usr/include", "/usr/share/doc", "/usr/lib/python3", "/usr/share/perl5"],
     lambda name: name.endswith((".h", ".hpp", ".py", ".pm", ".txt", ".md", ".html", ".css", ".js"))
     or name in ("copyright", "README", "NEWS", "changelog")),
    ("binary", 20 * MIB, ["/usr/bin", "/usr/lib/x86_64-linux-gnu", "/usr/lib/gcc"],
     lambda name: ".so" in name or name.endswith((".a", ".o")) or "." not in name),
    ("compressed", 12 * MIB, ["/usr/share", "/usr/lib"],
     lambda name: name.endswith((".gz", ".png", ".jar", ".xz", ".bz2", ".zip", ".jpg", ".zst"))),
]
MIN_FILE_BYTES = 512


def candidates(roots, wanted):
    for root in roots:
        for folder, subfolders, names in os.walk(root):
            subfolders.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                if not wanted(name) or os.path.islink(path) or not os.path.isfile(path):
                    continue
                try:
                    if os.path.getsize(path) >= MIN_FILE_BYTES:
                        yield path
                except OSError:
                    continue


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    manifest = []
    for name, quota, roots, wanted in CLASSES:
        taken = 0
        with open(os.path.join(out_dir, name + ".bin"), "wb") as out:
            for path in candidates(roots, wanted):
                try:
                    with open(path, "rb") as source:
                        data = source.read(quota - taken)
                except OSError:
                    continue
                out.write(data)
                taken += len(data)
                manifest.append("%s\t%d\t%s" % (name, len(data), path))
                if taken >= quota:
                    break
        if taken < quota:
            print("warning: class %s has only %d bytes" % (name, taken), file=sys.stderr)
    with open(os.path.join(out_dir, "manifest.txt"), "w") as out:
        out.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
