#!/usr/bin/env python3
"""Makes archives whose entries sit at the ZIP reader's own block sizes into OUTDIR, with the tools
that packages come from: Deflate at levels 1, 6 and 9 from Python's zipfile, Info-ZIP zip and 7z;
traditional encryption from Info-ZIP and 7z, WinZip AES-256 from 7z; Stored from each.

Sizes: 64 KiB (the input block and the largest read) and 1, 2 and 4 MiB (the output block), each
less 1, exact, and more by 1, 5, 37, 100 and 1000 bytes; contents: zeros, random bytes and text.
OUTDIR/tree/<content>/<size> holds what every archive holds; OUTDIR/archives.txt lists the archives.
"""
import concurrent.futures
import os
import random
import shutil
import subprocess
import sys
import zipfile

PASSWORD = "402615"
BASES = (64 * 1024, 1 << 20, 2 << 20, 4 << 20)
OFFSETS = (-1, 0, 1, 5, 37, 100, 1000)


def contents(size):
    rng = random.Random(12)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))) for _ in range(3000)]
    text = bytearray()
    while len(text) < size:
        text += b" ".join(rng.choices(words, k=32)) + b"\n"
    return {"zeros": bytes(size), "random": rng.randbytes(size), "text": bytes(text[:size])}


def make_tree(tree):
    sizes = sorted(base + offset for base in BASES for offset in OFFSETS)
    for kind, data in contents(sizes[-1]).items():
        os.makedirs(os.path.join(tree, kind))
        for size in sizes:
            with open(os.path.join(tree, kind, str(size)), "wb") as f:
                f.write(data[:size])


def python_zip(path, tree, method, level=None):
    with zipfile.ZipFile(path, "w", method, compresslevel=level) as z:
        for kind in sorted(os.listdir(tree)):
            for name in sorted(os.listdir(os.path.join(tree, kind))):
                z.write(os.path.join(tree, kind, name), kind + "/" + name)


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    tree = os.path.join(out, "tree")
    make_tree(tree)

    def tool(name, *args):
        return name, lambda: subprocess.run(list(args) + [os.path.join(out, name)] + ["."] * (args[0] == "7z"),
                                            cwd=tree, check=True, stdout=subprocess.DEVNULL)

    def info_zip(name, *options):
        path = os.path.join(out, name)
        return name, lambda: subprocess.run(["zip", "-q", "-r"] + list(options) + [path, "."], cwd=tree, check=True)

    jobs = []
    for level in (1, 6, 9):
        name = "python_deflate%d.zip" % level
        jobs.append((name, lambda n=name, l=level: python_zip(os.path.join(out, n), tree, zipfile.ZIP_DEFLATED, l)))
        jobs.append(info_zip("info_zip_deflate%d.zip" % level, "-%d" % level))
        jobs.append(tool("7z_deflate%d.zip" % level, "7z", "a", "-tzip", "-mm=Deflate", "-mx=%d" % level))
    jobs.append(info_zip("info_zip_zipcrypto.zip", "-P", PASSWORD))
    jobs.append(tool("7z_zipcrypto.zip", "7z", "a", "-tzip", "-p" + PASSWORD, "-mem=ZipCrypto", "-mm=Deflate"))
    jobs.append(tool("7z_aes256.zip", "7z", "a", "-tzip", "-p" + PASSWORD, "-mem=AES256", "-mm=Deflate"))
    jobs.append(("python_stored.zip", lambda: python_zip(os.path.join(out, "python_stored.zip"), tree, zipfile.ZIP_STORED)))
    jobs.append(info_zip("info_zip_stored_zipcrypto.zip", "-0", "-P", PASSWORD))
    jobs.append(tool("7z_stored_aes256.zip", "7z", "a", "-tzip", "-p" + PASSWORD, "-mem=AES256", "-mm=Copy"))

    # The slowest first (7z's level 9 makes several passes), so that both cores stay busy.
    jobs.sort(key=lambda job: job[0] != "7z_deflate9.zip")
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for future in [pool.submit(run) for _, run in jobs]:
            future.result()
    with open(os.path.join(out, "archives.txt"), "w") as f:
        f.write("".join(name + "\n" for name, _ in sorted(jobs)))


if __name__ == "__main__":
    main()
