"""A certificate authority made for one test run with openssl, and server certificates from it:
good (localhost), for another host name, expired, and one signed by nobody the
installer trusts. Nothing here is trusted anywhere until a test adds the CA to a Wine prefix."""

import subprocess
from pathlib import Path

CA_CONFIG = """[ca]
default_ca = test_ca
[test_ca]
dir = {dir}
database = $dir/index.txt
serial = $dir/serial
new_certs_dir = $dir/issued
certificate = $dir/ca.pem
private_key = $dir/ca.key
default_md = sha256
policy = anything
copy_extensions = copy
unique_subject = no
[anything]
commonName = supplied
[server]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
"""


def openssl(*args, cwd: Path):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


class TestCa:
    def __init__(self, folder: Path):
        self.dir = folder
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "issued").mkdir(exist_ok=True)
        (folder / "index.txt").write_text("")
        (folder / "serial").write_text("1000\n")
        (folder / "ca.cnf").write_text(CA_CONFIG.format(dir=folder))
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                "-subj", "/CN=Installer Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
        openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=folder)
        self.der = folder / "ca.der"
        self.pem = folder / "ca.pem"

    def server(self, name: str, dns: str = "localhost", start: str | None = None, end: str | None = None) -> Path:
        """A PEM file with key and certificate for dns, signed by this CA and valid from start to end
        (openssl's YYYYMMDDHHMMSSZ; default: from now for a day)."""
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr",
                "-subj", f"/CN={dns}", "-addext", f"subjectAltName=DNS:{dns}", cwd=self.dir)
        dates = ["-startdate", start, "-enddate", end] if start else ["-days", "1"]
        openssl("ca", "-batch", "-config", "ca.cnf", "-extensions", "server", "-in", f"{name}.csr",
                "-out", f"{name}.crt", "-notext", *dates, cwd=self.dir)
        return self._bundle(name)

    def self_signed(self, name: str, dns: str = "localhost") -> Path:
        """A certificate for dns that signs itself: no trusted authority vouches for it."""
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.crt",
                "-days", "1", "-subj", f"/CN={dns}", "-addext", f"subjectAltName=DNS:{dns}",
                cwd=self.dir)
        return self._bundle(name)

    def _bundle(self, name: str) -> Path:
        pem = self.dir / f"{name}.pem"
        pem.write_bytes((self.dir / f"{name}.crt").read_bytes() + (self.dir / f"{name}.key").read_bytes())
        return pem
