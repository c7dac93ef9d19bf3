"""package-tool's signature commands against the openssl command, which nobody here wrote.

usage: package_signing_test.py [--wine WINE_RUN] TOOL
With --wine, TOOL is package-tool.exe and runs under Wine (CNG); keygen and sign exist in the host
build only, so there the keys and signatures all come from openssl.
Exit codes checked: keygen and sign 0 done / 1 failed / 2 usage; verify 0 match / 1 no match /
2 usage or a PACKAGEKEY that is no key."""

import argparse
import os
import pathlib
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "support"))
from ecdsa_der import der_signature_to_raw, raw_to_der  # noqa: E402

ARGS = None
N = 0xffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551  # order of P-256


def hexsig(r, s):
    return "%064x%064x" % (r, s)


class Maker:
    """A key pair and signatures made by the openssl command."""

    def __init__(self, folder: pathlib.Path):
        self.key = folder / "openssl-key.pem"
        subprocess.run(["openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                        "-out", str(self.key)], check=True, capture_output=True)
        der = subprocess.run(["openssl", "pkey", "-in", str(self.key), "-pubout", "-outform", "DER"],
                             check=True, capture_output=True).stdout
        self.package_key = der[-64:].hex()

    def sign(self, path):
        der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(self.key), str(path)], check=True,
                             capture_output=True).stdout
        raw = der_signature_to_raw(der)
        return int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big")


def openssl_verifies(public_key_hex, path, sig_hex, folder):
    """The openssl command's verdict on a signature in our form (r then s, hex)."""
    spki = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200") + b"\x04" + \
        bytes.fromhex(public_key_hex)
    (folder / "pub.der").write_bytes(spki)
    (folder / "sig.der").write_bytes(raw_to_der(bytes.fromhex(sig_hex)))
    result = subprocess.run(["openssl", "dgst", "-sha256", "-verify", str(folder / "pub.der"), "-keyform", "DER",
                             "-signature", str(folder / "sig.der"), str(path)], capture_output=True, text=True)
    return "Verified OK" in result.stdout


class PackageSigningTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = pathlib.Path(self.tmp.name)
        self.package = self.dir / "package.zip"
        self.package.write_bytes(b"PK\x03\x04" + os.urandom(70000))

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, p):
        return "Z:" + str(p).replace("/", "\\") if ARGS.wine else str(p)

    def tool(self, *args):
        command = ([ARGS.wine] if ARGS.wine else []) + [ARGS.tool] + [str(a) for a in args]
        return subprocess.run(command, capture_output=True, text=True, stdin=subprocess.DEVNULL)

    def verify(self, key, path, sig):
        return self.tool("verify", key, self.path(path), sig).returncode

    def test_verify_takes_openssl_signatures_and_nothing_near(self):
        maker = Maker(self.dir)
        r, s = maker.sign(self.package)
        other = self.dir / "other.zip"
        other.write_bytes(self.package.read_bytes() + b"\0")
        key = maker.package_key
        cases = [
            ("openssl's signature", key, self.package, hexsig(r, s), 0),
            ("in upper case", key.upper(), self.package, hexsig(r, s).upper(), 0),
            ("the other s of the pair", key, self.package, hexsig(r, N - s), 0),
            ("another file", key, other, hexsig(r, s), 1),
            ("s plus one", key, self.package, hexsig(r, (s + 1) % N), 1),
            ("r and s swapped", key, self.package, hexsig(s, r), 1),
            ("r zero", key, self.package, hexsig(0, s), 1),
            ("s = n", key, self.package, "%064x%064x" % (r, N), 1),
            ("DER form", key, self.package, raw_to_der(bytes.fromhex(hexsig(r, s))).hex(), 1),
            ("127 digits", key, self.package, hexsig(r, s)[:127], 1),
            ("not hex", key, self.package, "z" * 128, 1),
            ("another maker's key", Maker(self.make_dir("m2")).package_key, self.package, hexsig(r, s), 1),
            ("missing package", key, self.dir / "missing.zip", hexsig(r, s), 1),
            ("key with the 04 prefix", "04" + key, self.package, hexsig(r, s), 2),
            ("key off the curve", key[:127] + ("0" if key[127] != "0" else "1"), self.package, hexsig(r, s), 2),
            ("key not hex", "k" * 128, self.package, hexsig(r, s), 2),
        ]
        for what, k, path, sig, code in cases:
            with self.subTest(what):
                self.assertEqual(self.verify(k, path, sig), code)
        self.assertEqual(self.tool("verify", key, self.path(self.package)).returncode, 2)

    def make_dir(self, name):
        d = self.dir / name
        d.mkdir()
        return d

    @unittest.skipIf("--wine" in sys.argv, "keygen and sign are host tools")
    def test_keygen_writes_a_private_key_that_openssl_reads(self):
        folder = self.dir / "new" / "keys"
        result = self.tool("keygen", folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        package_key = result.stdout.strip()
        self.assertRegex(package_key, r"^[0-9a-f]{128}$")
        pem = folder / "package-key.pem"
        self.assertEqual(stat.S_IMODE(pem.stat().st_mode), 0o600)
        der = subprocess.run(["openssl", "pkey", "-in", str(pem), "-pubout", "-outform", "DER"], check=True,
                             capture_output=True).stdout
        self.assertEqual(der[-64:].hex(), package_key, "the printed value is the key's public half")
        text = subprocess.run(["openssl", "pkey", "-in", str(pem), "-text", "-noout"], check=True,
                              capture_output=True, text=True).stdout
        self.assertIn("prime256v1", text)

        before = pem.read_bytes()
        again = self.tool("keygen", folder)
        self.assertEqual(again.returncode, 1, "an existing key is never replaced")
        self.assertEqual(pem.read_bytes(), before)
        self.assertEqual(again.stdout, "")
        self.assertEqual(self.tool("keygen").returncode, 2)

    @unittest.skipIf("--wine" in sys.argv, "keygen and sign are host tools")
    def test_sign_makes_what_openssl_verifies(self):
        folder = self.dir / "keys"
        package_key = self.tool("keygen", folder).stdout.strip()
        pem = folder / "package-key.pem"
        result = self.tool("sign", pem, self.package)
        self.assertEqual(result.returncode, 0, result.stderr)
        sig = result.stdout.strip()
        self.assertRegex(sig, r"^[0-9a-f]{128}$")
        self.assertTrue(openssl_verifies(package_key, self.package, sig, self.dir))
        self.assertEqual(self.verify(package_key, self.package, sig), 0)
        other = self.dir / "other.zip"
        other.write_bytes(b"another package")
        self.assertFalse(openssl_verifies(package_key, other, sig, self.dir))

        # Keys it cannot sign with, files it cannot read, and bad usage.
        p384 = self.dir / "p384.pem"
        subprocess.run(["openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-384", "-out",
                        str(p384)], check=True, capture_output=True)
        rsa = self.dir / "rsa.pem"
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024", "-out",
                        str(rsa)], check=True, capture_output=True)
        public = self.dir / "public.pem"
        subprocess.run(["openssl", "pkey", "-in", str(pem), "-pubout", "-out", str(public)], check=True)
        for what, key, package, code in [("P-384 key", p384, self.package, 1), ("RSA key", rsa, self.package, 1),
                                         ("public key only", public, self.package, 1),
                                         ("missing key", self.dir / "none.pem", self.package, 1),
                                         ("missing package", pem, self.dir / "none.zip", 1)]:
            with self.subTest(what):
                result = self.tool("sign", key, package)
                self.assertEqual(result.returncode, code)
                self.assertEqual(result.stdout, "")
        self.assertEqual(self.tool("sign", pem).returncode, 2)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine")
    parser.add_argument("tool")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
