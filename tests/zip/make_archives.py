#!/usr/bin/env python3
"""Makes the ZIP test archives with real tools (Info-ZIP zip, 7z, Python's zipfile) into OUTDIR.

OUTDIR/tree holds the content the archives were made from; the tests compare what they extract
with it. Run at test time by ctest, before the host and the Wine runs of the ZIP tests.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import warnings
import zipfile
import zlib

PASSWORD = "402615"
# Archives made by real old archivers (Shrink, Reduce, Implode), with their expected content.
LEGACY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "legacy")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree(root):
    """Nested folders, compressible text, incompressible bytes (more than one 64 KiB block), an
    empty file, and a Chinese name."""
    rng = random.Random(5)
    text = b"".join(b"line %d of the product's readme, said again and again\n" % i for i in range(4000))
    write(os.path.join(root, "readme.txt"), text)
    write(os.path.join(root, "bin", "app.dat"), bytes(rng.getrandbits(8) for _ in range(200_000)))
    write(os.path.join(root, "bin", "plugins", "deep", "empty.cfg"), b"")
    write(os.path.join(root, "bin", "plugins", "deep", "small.cfg"), b"k=v\n")
    write(os.path.join(root, "数据", "说明.txt"), "中文说明\n".encode("utf-8"))


def run(args, cwd):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL)


def local_data_offset(data, header_offset):
    name_len, extra_len = struct.unpack_from("<HH", data, header_offset + 26)
    return header_offset + 30 + name_len + extra_len


def corrupt_entry(src, dst, name):
    """A copy of src with bytes in the middle of one entry's data inverted."""
    data = bytearray(open(src, "rb").read())
    info = zipfile.ZipFile(src).getinfo(name)
    start = local_data_offset(data, info.header_offset)
    for i in range(start + info.compress_size // 2, start + info.compress_size // 2 + 8):
        data[i] ^= 0xFF
    open(dst, "wb").write(data)


def central_headers(data):
    """(offset, name) of each central directory header."""
    end = data.rfind(b"PK\x05\x06")
    count, = struct.unpack_from("<H", data, end + 10)
    at, = struct.unpack_from("<I", data, end + 16)
    for _ in range(count):
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, at + 28)
        yield at, bytes(data[at + 46:at + 46 + name_len])
        at += 46 + name_len + extra_len + comment_len


def set_aes_version_1(src, dst, crc_for):
    """WinZip AE-1 keeps the CRC that AE-2 leaves out: a copy of 7z's AE-2 archive with version 1
    and the given CRC (a function of the entry) in the local and central headers."""
    data = bytearray(open(src, "rb").read())
    infos = {info.orig_filename.encode("utf-8"): info for info in zipfile.ZipFile(src).infolist()}
    for central, name in list(central_headers(data)):
        info = infos[name]
        if info.compress_type != 99:
            continue
        crc = crc_for(info)
        struct.pack_into("<I", data, info.header_offset + 14, crc)
        struct.pack_into("<I", data, central + 16, crc)
        for at in (info.header_offset, central):
            field = data.find(b"\x01\x99\x07\x00", at)
            struct.pack_into("<H", data, field + 4, 1)
    open(dst, "wb").write(data)


def local_header(name, content):
    """A Stored entry's local header and content."""
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0, zlib.crc32(content), len(content), len(content),
                       len(name), 0) + name.encode() + content


def directory(records, offset):
    """Central records of Stored entries (name, content, local header offset) and the end record,
    for a directory that starts at offset."""
    central = b""
    for name, content, at in records:
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0, zlib.crc32(content), len(content),
                               len(content), len(name), 0, 0, 0, 0, 0, at) + name.encode()
    return central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(records), len(records), len(central), offset, 0)


def traditional_archive(path, password, entries):
    """Deflate entries under traditional encryption with a fixed encryption header, so that the
    password check byte decides the same way on every run (tools draw the header at random: a
    wrong password then passes the check byte once in 256 tries)."""
    table = [0] * 256
    for i in range(256):
        c = i
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table[i] = c

    def cipher(data):
        keys = [0x12345678, 0x23456789, 0x34567890]

        def update(b):
            keys[0] = table[(keys[0] ^ b) & 0xFF] ^ (keys[0] >> 8)
            keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
            keys[2] = table[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8)

        for b in password.encode():
            update(b)
        out = bytearray()
        for b in data:
            t = (keys[2] | 2) & 0xFFFF
            out.append(b ^ ((t * (t ^ 1)) >> 8) & 0xFF)
            update(b)
        return bytes(out)

    body = b""
    records = []
    for name, content in entries:
        crc = zlib.crc32(content)
        packer = zlib.compressobj(6, zlib.DEFLATED, -15)
        data = cipher(bytes(range(11)) + bytes([crc >> 24]) + packer.compress(content) + packer.flush())
        records.append((name, crc, len(data), len(content), len(body)))
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 1, 8, 0, 0, crc, len(data), len(content), len(name), 0)
        body += name.encode() + data
    central = b""
    for name, crc, csize, size, at in records:
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 1, 8, 0, 0, crc, csize, size, len(name), 0, 0,
                               0, 0, 0, at) + name.encode()
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(records), len(records), len(central), len(body), 0)
    open(path, "wb").write(body + central + end)


def python_archives(out, tree):
    # Data descriptors: a stream that cannot seek makes zipfile write them (flag bit 3).
    class Unseekable:
        def __init__(self, f):
            self.f = f
        def write(self, b):
            return self.f.write(b)
        def tell(self):
            raise OSError
        def flush(self):
            self.f.flush()

    with open(os.path.join(out, "descriptor.zip"), "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
            for rel in ("readme.txt", "bin/app.dat"):
                z.write(os.path.join(tree, rel), rel)

    # ZIP64: limits lowered so that every size, offset and the end record take their 64-bit form.
    saved = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 0, 0
    try:
        with zipfile.ZipFile(os.path.join(out, "zip64.zip"), "w", zipfile.ZIP_DEFLATED) as z:
            for rel in ("readme.txt", "bin/plugins/deep/small.cfg"):
                z.write(os.path.join(tree, rel), rel)
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = saved

    # Names in an 8-bit code page, without the UTF-8 flag: one in CP437, one in GBK that carries
    # the Unicode path field (0x7075) with its UTF-8 form.
    original = zipfile.ZipInfo._encodeFilenameFlags
    code_page = {"café.txt": "cp437", "说明.txt": "gbk"}
    try:
        zipfile.ZipInfo._encodeFilenameFlags = lambda self: (self.filename.encode(code_page[self.filename]), self.flag_bits)
        with zipfile.ZipFile(os.path.join(out, "oem_names.zip"), "w") as z:
            z.writestr("café.txt", b"cafe\n")
            name = "说明.txt"
            utf8 = name.encode("utf-8")
            info = zipfile.ZipInfo(name)
            info.extra = struct.pack("<HHBI", 0x7075, 5 + len(utf8), 1, zlib.crc32(name.encode("gbk"))) + utf8
            z.writestr(info, "中文说明\n".encode("utf-8"))
    finally:
        zipfile.ZipInfo._encodeFilenameFlags = original

    # Names that reach outside the destination, beside two that stay inside.
    with zipfile.ZipFile(os.path.join(out, "traversal.zip"), "w") as z:
        for name in ("../evil.txt", "/abs.txt", "C:/drive.txt", "C:drive2.txt", "a/../../up.txt",
                     "a\\..\\..\\back.txt", "nul.txt", "inner/../fine.txt", "safe.txt"):
            z.writestr(zipfile.ZipInfo(name), b"payload\n")

    # Attributes: DOS read-only, hidden and system bits, as written on Windows.
    with zipfile.ZipFile(os.path.join(out, "attributes.zip"), "w") as z:
        for name, attr in (("readonly.txt", 0x01), ("hidden.txt", 0x02), ("system.txt", 0x04), ("normal.txt", 0x20)):
            info = zipfile.ZipInfo(name)
            info.create_system = 0
            info.external_attr = attr
            z.writestr(info, name.encode())

    # Large enough (13 MB) that one percent spans several 64 KiB blocks.
    with zipfile.ZipFile(os.path.join(out, "large_stored.zip"), "w") as z:
        z.writestr("large.bin", random.Random(7).randbytes(13_000_000))

    # A folder whose large file takes long enough to write that something can happen meanwhile.
    with zipfile.ZipFile(os.path.join(out, "held_folder.zip"), "w") as z:
        z.writestr("data/first.txt", b"first\n")
        z.writestr("data/large.bin", random.Random(8).randbytes(3_000_000))
        z.writestr("data/last.txt", b"last\n")

    # A directory whose size field overshoots the file, and one whose field is too small: the
    # records themselves are intact, and unzip and 7z read them.
    good = open(os.path.join(out, "info_zip_deflate.zip"), "rb").read()
    end = good.rfind(b"PK\x05\x06")
    for name, size in (("bad_directory.zip", len(good)), ("short_directory_size.zip", 46)):
        bad = bytearray(good)
        struct.pack_into("<I", bad, end + 12, size)
        open(os.path.join(out, name), "wb").write(bad)
    # A directory that is damaged: its second record's signature is gone.
    broken = bytearray(good)
    second = list(central_headers(good))[1][0]
    broken[second:second + 4] = b"PK\x00\x00"
    open(os.path.join(out, "broken_directory.zip"), "wb").write(broken)
    # Bytes before the archive, as a self-extractor's stub puts them, with the offsets left as
    # they were.
    open(os.path.join(out, "prefixed.zip"), "wb").write(b"MZ" + bytes(4094) + good)

    # Crafted: the second entry's local header and data lie inside the first entry's data, as in
    # archives that make a few kilobytes write gigabytes; the third is a plain entry after them.
    inner = local_header("second.txt", b"inner\n")
    records = [("first.txt", inner, 0), ("second.txt", b"inner\n", 30 + len("first.txt"))]
    data = local_header("first.txt", inner)
    records.append(("third.txt", b"third\n", len(data)))
    data += local_header("third.txt", b"third\n")
    # A fourth central record points at the third entry again.
    records.append(("fourth.txt", b"third\n", records[2][2]))
    open(os.path.join(out, "overlap.zip"), "wb").write(data + directory(records, len(data)))

    # Entries whose paths meet, each soon after another that it could touch, while a large entry
    # ahead of them is still being decoded, and more entries after them than are decoded side by
    # side: a name twice, a file where a later entry wants a folder and a folder where a later one
    # wants a file, names that differ in case only (one file on Windows), a name that looks like a
    # temporary file of another.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # zipfile warns of the name written twice
        with zipfile.ZipFile(os.path.join(out, "related_paths.zip"), "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("large.bin", random.Random(9).randbytes(3_000_000))
            z.writestr("twice.txt", b"first\n")
            z.writestr("node", b"a file\n")
            z.writestr("node/inner.txt", b"no folder for me\n")
            z.writestr("Case.txt", b"upper\n")
            z.writestr("case.txt", b"lower\n")
            z.writestr("twice.txt", b"second\n")
            z.writestr("twice.txt.~0.part", b"an entry of its own\n")
            z.writestr("late/", b"")
            z.writestr("late", b"a file where a folder is\n")
            for i in range(40):
                z.writestr("many/%02d.txt" % i, b"%d\n" % i)

    # Entries named like the temporary file of a later entry: more than one such name, another
    # letter case (of ASCII, Latin, Greek and Cyrillic letters, which NTFS folds alike), a name with
    # the dot that Windows drops, a folder; with what zipfile makes of them.
    names = os.path.join(out, "temporary_names.zip")
    with zipfile.ZipFile(names, "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("a.~0.part", "a.~1.part", "a", "B.~0.PART", "b", "c.~0.part/inside.txt", "c", "d.~0.part.", "d",
                     "é.~0.part", "É", "σ.~0.part", "Σ", "Ж.~0.part", "ж"):
            z.writestr(name, b"entry %s\n" % name.encode())
    with zipfile.ZipFile(names) as z:
        z.extractall(os.path.join(out, "temporary_names"))

    # An entry with content that carries the DOS folder attribute, beside an empty one that does.
    with zipfile.ZipFile(os.path.join(out, "folder_attribute.zip"), "w") as z:
        for name, content in (("tool.exe", b"MZ program\n"), ("emptydir", b"")):
            info = zipfile.ZipInfo(name)
            info.create_system = 0
            info.external_attr = 0x10
            z.writestr(info, content)


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    tree = os.path.join(out, "tree")
    make_tree(tree)
    ascii_items = ["readme.txt", "bin"]
    everything = ascii_items + ["数据"]

    # Info-ZIP stores names in the local character set without the UTF-8 flag; ASCII names only.
    run(["zip", "-q", "-r", "-P", PASSWORD, os.path.join(out, "info_zip_deflate.zip")] + ascii_items, tree)
    run(["zip", "-q", "-r", "-0", "-P", PASSWORD, os.path.join(out, "info_zip_stored.zip")] + ascii_items, tree)
    for em in ("AES128", "AES192", "AES256", "ZipCrypto"):
        run(["7z", "a", "-tzip", "-p" + PASSWORD, "-mem=" + em, os.path.join(out, "7z_%s.zip" % em.lower())] + everything, tree)
    run(["7z", "a", "-tzip", "-p" + PASSWORD, "-mem=AES256", "-mm=Copy", os.path.join(out, "7z_aes256_stored.zip")] + everything, tree)
    # One archive, one password, both schemes and both methods.
    mixed = os.path.join(out, "mixed.zip")
    run(["7z", "a", "-tzip", "-p" + PASSWORD, "-mem=ZipCrypto", "-mm=Copy", mixed, "readme.txt", "数据"], tree)
    run(["7z", "a", "-tzip", "-p" + PASSWORD, "-mem=AES256", "-mm=Deflate", mixed, "bin"], tree)

    corrupt_entry(os.path.join(out, "info_zip_deflate.zip"), os.path.join(out, "damaged_traditional.zip"), "readme.txt")
    corrupt_entry(os.path.join(out, "info_zip_stored.zip"), os.path.join(out, "damaged_stored.zip"), "readme.txt")
    corrupt_entry(os.path.join(out, "7z_aes256_stored.zip"), os.path.join(out, "damaged_aes.zip"), "readme.txt")
    real_crc = lambda info: zlib.crc32(open(os.path.join(tree, info.filename), "rb").read())
    set_aes_version_1(os.path.join(out, "7z_aes256.zip"), os.path.join(out, "aes_v1.zip"), real_crc)
    set_aes_version_1(os.path.join(out, "7z_aes256.zip"), os.path.join(out, "aes_v1_bad_crc.zip"), lambda info: 0x12345678)

    python_archives(out, tree)
    # Every reason of a skip: a password that does not match (traditional, AES), a method this
    # reader lacks (BZip2), beside entries that come through.
    traditional_archive(os.path.join(out, "fixed_header.zip"), PASSWORD,
                        [("one.txt", b"one " * 100), ("two.txt", b"two " * 1000), ("empty.txt", b"")])
    run(["7z", "a", "-tzip", "-mm=BZip2", os.path.join(out, "bzip2.zip"), "readme.txt"], tree)
    for name in ("shrink.zip", "reduce.zip", "implode.zip", "first.txt"):
        shutil.copy(os.path.join(LEGACY, name), out)


if __name__ == "__main__":
    main()
