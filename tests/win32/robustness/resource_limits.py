#!/usr/bin/env python3
"""Resource limits, run hidden under Wine by matrix_driver.exe; prints what
it measures and checks what must hold.

    resource_limits.py --tvsfx TVSFX --arch x86|x64 --driver MATRIX_DRIVER
        --fake-setup FAKE_SETUP --wine-run WINE_RUN_SH --wine-arch win32|win64
        --prefix PREFIX --out DIR [--members N]

- A full disk: the temporary folder on a 1 MiB tmpfs, a member of 3 MiB.
  The run must end in the write-error message, leave nothing on that disk
  and change nothing outside it. Needs root for the mount; skipped with a
  line otherwise.
- Many tiny members. 100,000 are more than a zip without Zip64 counts
  (65,535 entries, folders included): the builder must refuse them with a
  message saying so, and nothing be written. 65,000 (unless --members) in
  65 folders are built (time and peak memory, from GNU time) and run
  hidden (time, and the installer's peak working set); the run must
  succeed and leave nothing behind.
Exit status: 0 when everything checked held.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corruption_matrix as matrix  # noqa: E402

MSG_WRITE_ERROR = 45  # "Error al escribir en %s. Posible causa: disco lleno."
FULL_DISK_BYTES = 1 << 20
BIG_MEMBER_BYTES = 3 << 20
MEMBERS_PER_FOLDER = 1000
MANY_LIMIT_MS = 1800 * 1000


def build(args, out, source, env=None, measure=False):
    """Builds an installer; with measure, (seconds, peak KiB) from GNU time."""
    command = [args.tvsfx, "build", "--quiet", "--arch", args.arch, "--hidden", "--command", "setup.exe",
               "--out", out, "--from-dir", source]
    if not measure:
        subprocess.run(command, check=True, env=env)
        return None
    report = out + ".time"
    subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", report] + command, check=True, env=env)
    with open(report) as f:
        seconds, peak_kib = f.read().split()
    return float(seconds), int(peak_kib)


def run_driver(args, work, name, installer, temp=""):
    """One run through the driver: its result fields."""
    listing = os.path.join(work, name + ".list")
    with open(listing, "w", newline="\r\n") as f:
        f.write(f"{name}\t{matrix.windows_path(installer)}\t\t{MANY_LIMIT_MS}\t{temp}\n")
    results = os.path.join(work, name + ".results")
    canary = os.path.join(work, "canary")
    os.makedirs(canary, exist_ok=True)
    subprocess.run(["bash", args.wine_run, "--arch", args.wine_arch, "--prefix", args.prefix, args.driver,
                    matrix.windows_path(listing), matrix.windows_path(results), "C:\\users",
                    matrix.windows_path(canary)], check=True, stdout=subprocess.DEVNULL)
    with open(results, encoding="latin-1") as f:
        return f.readline().rstrip("\n").split("\t")


def full_disk(args, work):
    disk = os.path.join(work, "full")
    os.makedirs(disk)
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={FULL_DISK_BYTES}", "talvok-full",
                                            disk], stderr=subprocess.DEVNULL).returncode != 0:
        print("full disk: skipped (mounting a small tmpfs needs root)")
        return []
    try:
        payload = os.path.join(work, "full-payload")
        os.makedirs(payload)
        shutil.copy(args.fake_setup, os.path.join(payload, "setup.exe"))
        with open(os.path.join(payload, "grande.bin"), "wb") as f:
            f.write(random.Random(3).randbytes(BIG_MEMBER_BYTES))
        folder = os.path.join(work, "full-installer")
        os.makedirs(folder)
        installer = os.path.join(folder, "lleno.exe")
        build(args, installer, payload)
        fields = run_driver(args, work, "full-disk", installer, matrix.windows_path(disk))
        outcome, failures = matrix.judge(fields, matrix.windows_path(folder))
        left = os.listdir(disk)
        print(f"full disk: a {BIG_MEMBER_BYTES >> 20} MiB member, the temporary folder on a "
              f"{FULL_DISK_BYTES >> 20} MiB tmpfs: {outcome}; left on that disk: {left or 'nothing'}")
        texts = [matrix.unescape(t) for t in fields[3].split(" | ")] if fields[3] else []
        if [matrix.message_id(t) for t in texts] != [MSG_WRITE_ERROR]:
            failures.append("the run did not end in the write-error message")
        if left:
            failures.append("files left on the full disk: " + " ".join(left))
        return [("full disk", f) for f in failures]
    finally:
        subprocess.run(["umount", disk])


def tiny_members(args, payload, count):
    os.makedirs(payload)
    shutil.copy(args.fake_setup, os.path.join(payload, "setup.exe"))
    for i in range(count):
        folder = os.path.join(payload, f"c{i // MEMBERS_PER_FOLDER:03d}")
        if i % MEMBERS_PER_FOLDER == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, f"a{i:06d}.txt"), "w") as f:
            f.write(f"{i}\n")


def too_many_members(args, work):
    payload = os.path.join(work, "too-many-payload")
    tiny_members(args, payload, 100000)
    out = os.path.join(work, "too-many.exe")
    command = [args.tvsfx, "build", "--quiet", "--arch", args.arch, "--command", "setup.exe", "--out", out,
               "--from-dir", payload]
    started = time.monotonic()
    refused = subprocess.run(command, capture_output=True, text=True)
    seconds = time.monotonic() - started
    print(f"100000 tiny members: exit {refused.returncode} after {seconds:.1f} s: {refused.stderr.strip()}")
    shutil.rmtree(payload)
    if refused.returncode == 1 and "over the 65535 a zip archive holds without Zip64" in refused.stderr \
            and not os.path.exists(out):
        return []
    return [("too many members", "not refused with the Zip64 message, or something was written")]


def many_members(args, work, count):
    payload = os.path.join(work, "many-payload")
    tiny_members(args, payload, count)
    folder = os.path.join(work, "many-installer")
    os.makedirs(folder)
    installer = os.path.join(folder, "muchos.exe")
    env = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
    seconds, peak_kib = build(args, installer, payload, env=env, measure=True)
    size = os.path.getsize(installer)
    print(f"{count} tiny members: build {seconds:.1f} s, peak memory {peak_kib / 1024:.1f} MiB, "
          f"installer {size / 1048576:.1f} MiB")
    started = time.monotonic()
    fields = run_driver(args, work, "many", installer)
    wall = time.monotonic() - started
    outcome, failures = matrix.judge(fields, matrix.windows_path(folder))
    elapsed_ms, peak = (fields + ["", "", "", "", "", "", "0", "0"])[6:8]
    print(f"{count} tiny members: hidden run {int(elapsed_ms) / 1000:.1f} s ({wall:.1f} s with Wine's start), "
          f"installer's peak working set {int(peak) / 1024:.1f} MiB: {outcome}")
    if outcome != "success":
        failures.append("the run did not succeed")
    return [("many members", f) for f in failures]


def main():
    parser = argparse.ArgumentParser()
    for option in ("tvsfx", "arch", "driver", "fake-setup", "wine-run", "wine-arch", "prefix", "out"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--members", type=int, default=65000)
    args = parser.parse_args()
    work = os.path.abspath(args.out)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failed = full_disk(args, work) + too_many_members(args, work) + many_members(args, work, args.members)
    for part, failure in failed:
        print(f"FAILED {part}: {failure}")
    print(f"resource limits: {'all held' if not failed else f'{len(failed)} failed'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
