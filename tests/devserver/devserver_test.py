"""The development server's own behaviour: lookup answers, request log, package faults."""

import email.utils
import http.client
import json
import os
import pathlib
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

SOURCE = pathlib.Path(__file__).resolve().parents[2]
SERVER = SOURCE / "tools" / "devserver" / "devserver.py"
sys.path.insert(0, str(SOURCE / "tests" / "e2e"))
from test_ca import TestCa  # noqa: E402
sys.path.insert(0, str(SOURCE / "tests" / "support"))
from ecdsa_der import raw_to_der  # noqa: E402


def blob(offset, size):
    return bytes(((i * 131) + i // 65536) % 256 for i in range(offset, offset + size))


def start_server(root, *options):
    """The server on a free port, serving root/files: its process and its port."""
    port_file = root / "port"
    proc = subprocess.Popen([sys.executable, str(SERVER), "--port", "0", "--port-file", str(port_file),
                             "--files", str(root / "files"), *options], stdout=subprocess.DEVNULL)
    for _ in range(100):
        if port_file.exists():
            break
        time.sleep(0.05)
    return proc, int(port_file.read_text())


class DevServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        root = pathlib.Path(cls.dir.name)
        (root / "files").mkdir()
        (root / "files" / "package.zip").write_bytes(b"PK" + bytes(range(256)) * 40)
        (root / "files" / "package-v2.zip").write_bytes(b"PK" + bytes(range(255, -1, -1)) * 40)
        (root / "secret.txt").write_text("outside")
        cls.log_file = root / "requests.log"
        cls.proc, cls.port = start_server(root, "--log", str(cls.log_file))
        cls.base = "http://127.0.0.1:%d" % cls.port

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait()
        cls.dir.cleanup()

    def setUp(self):
        self.get("/_control/reset")

    def get(self, path, headers=None):
        """(status, headers, body); the body as far as it arrived."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request("GET", path, headers=headers or {})
        resp = conn.getresponse()
        try:
            body = resp.read()
        except http.client.IncompleteRead as e:
            body = e.partial
        conn.close()
        return resp.status, resp.headers, body

    def set(self, query):
        status, _, _ = self.get("/_control/set?" + query)
        self.assertEqual(status, 200)

    def test_lookup_answers(self):
        package = self.base + "/files/package.zip"
        cases = [
            ("", {"code": 0, "data": {"url": package, "ver": "1.0.0"}}),
            ("lookup=code1", {"code": 1, "data": {"url": package, "ver": "1.0.0"}}),
            ("lookup=empty_url&ver=2.0", {"code": 0, "data": {"url": "", "ver": "2.0"}}),
            ("lookup=no_data", {"code": 0}),
            ("code=7", {"code": 7, "data": {"url": package, "ver": "1.0.0"}}),
            ("code=x1", {"code": "x1", "data": {"url": package, "ver": "1.0.0"}}),
            ("url=http://a/b.zip&sha256=ab", {"code": 0, "data": {"url": "http://a/b.zip", "ver": "1.0.0",
                                                                  "sha256": "ab"}}),
        ]
        for settings, expected in cases:
            with self.subTest(settings=settings):
                self.get("/_control/reset")
                if settings:
                    self.set(settings)
                status, _, body = self.get("/api/config/soft_down?soft_id=a&source=b")
                self.assertEqual(status, 200)
                self.assertEqual(json.loads(body), expected)
        self.set("lookup=not_json")
        self.assertRaises(ValueError, json.loads, self.get("/api/config/soft_down")[2])
        self.set("lookup=status500")
        self.assertEqual(self.get("/api/config/soft_down")[0], 500)

    def test_requests_are_logged_in_order_with_their_exact_query(self):
        paths = ["/api/report/preinstall?soft_id=a&curr_ver=1.0&proc=&kid=%26x",
                 "/api/config/soft_down?soft_id=a&source=b", "/files/package.zip"]
        for p in paths:
            self.get(p)
        self.get("/_control/log")  # control requests are not recorded
        self.assertEqual(self.get("/_control/log")[2].decode().splitlines(), paths)
        self.assertEqual(self.log_file.read_text().splitlines(), paths)
        self.get("/_control/clear-log")
        self.assertEqual(self.get("/_control/log")[2], b"")

    def test_files_are_served_with_ranges_and_nothing_outside_the_folder(self):
        data = (pathlib.Path(self.dir.name) / "files" / "package.zip").read_bytes()
        status, headers, body = self.get("/files/package.zip")
        self.assertEqual((status, body, headers["Content-Length"]), (200, data, str(len(data))))
        status, headers, body = self.get("/files/package.zip", {"Range": "bytes=100-"})
        self.assertEqual((status, body), (206, data[100:]))
        self.assertEqual(headers["Content-Range"], "bytes 100-%d/%d" % (len(data) - 1, len(data)))
        self.assertEqual(self.get("/files/../secret.txt")[0], 404)
        self.assertEqual(self.get("/files/%2e%2e/secret.txt")[0], 404)
        self.assertEqual(self.get("/files/missing.zip")[0], 404)

    def test_package_faults(self):
        self.assertEqual(self.get("/blob/200000")[2], blob(0, 200000))
        for status in (300, 301, 404, 500):
            self.set("pkg_status=%d" % status)
            got, headers, _ = self.get("/blob/1000")
            self.assertEqual(got, status)
            self.assertEqual(headers["Location"] is None, status != 300)
        self.get("/_control/reset")

        self.set("drop_at=1000&drop_times=2")
        self.assertEqual(self.get("/blob/5000")[2], blob(0, 1000))
        self.assertEqual(self.get("/blob/5000", {"Range": "bytes=1000-"})[2], blob(1000, 1000))
        self.assertEqual(self.get("/blob/5000", {"Range": "bytes=2000-"})[2], blob(2000, 3000))

        self.set("drop_at=-1&no_length=1")
        status, headers, body = self.get("/blob/70000")
        self.assertEqual((status, headers["Content-Length"], body), (200, None, blob(0, 70000)))

        self.set("no_length=0&redirect_host=localhost")
        status, headers, _ = self.get("/blob/10")
        self.assertEqual(status, 302)
        self.assertEqual(headers["Location"], "http://localhost:%d/blob/10" % self.port)

    def test_validators_follow_http_and_each_resume_fault_breaks_one_rule(self):
        files = pathlib.Path(self.dir.name) / "files"
        v1, v2 = (files / "package.zip").read_bytes(), (files / "package-v2.zip").read_bytes()
        total = len(v1)
        status, headers, _ = self.get("/files/package.zip")
        etag, modified = headers["ETag"], headers["Last-Modified"]
        time.sleep(1.1)  # validators do not drift with the clock
        again = self.get("/files/package.zip")[1]
        self.assertEqual((again["ETag"], again["Last-Modified"]), (etag, modified))
        self.assertRegex(etag, r'^"[0-9a-f]{16}"$')
        # A strong date: well before the answer's own Date.
        self.assertGreaterEqual((email.utils.parsedate_to_datetime(headers["Date"]) -
                                 email.utils.parsedate_to_datetime(modified)).total_seconds(), 60)
        rest = "bytes 100-%d/%d" % (total - 1, total)
        cases = [
            # settings, If-Range, expected status, Content-Range, body
            ("", etag, 206, rest, v1[100:]),
            ("", modified, 206, rest, v1[100:]),
            ("", '"other"', 200, None, v1),
            ("", "Mon, 01 Jan 2001 00:00:00 GMT", 200, None, v1),
            ("ignore_if_range=1", '"other"', 206, rest, v1[100:]),
            ("range_from_zero=1", etag, 206, "bytes 0-%d/%d" % (total - 1, total), v1),
            ("wrong_total=1", etag, 206, "bytes 100-%d/%d" % (total - 1, total + 1), v1[100:]),
            ("etag_changes=1", etag, 200, None, v1),
        ]
        for settings, if_range, want_status, want_range, want_body in cases:
            with self.subTest(settings=settings, if_range=if_range):
                self.get("/_control/reset")
                if settings:
                    self.set(settings)
                status, headers, body = self.get("/files/package.zip", {"Range": "bytes=100-", "If-Range": if_range})
                self.assertEqual((status, headers["Content-Range"], body), (want_status, want_range, want_body))

        self.get("/_control/reset")
        self.set("etag_changes=1")
        tags = {self.get("/files/package.zip")[1]["ETag"] for _ in range(3)}
        self.assertEqual(len(tags), 3)
        self.assertIsNone(self.get("/files/package.zip")[1]["Last-Modified"])

        self.get("/_control/reset")
        self.set("no_validators=1")
        headers = self.get("/files/package.zip")[1]
        self.assertEqual((headers["ETag"], headers["Last-Modified"]), (None, None))

        self.get("/_control/reset")
        self.set("next_package=package-v2.zip")
        first = self.get("/files/package.zip")
        second = self.get("/files/package.zip", {"Range": "bytes=100-", "If-Range": first[1]["ETag"]})
        self.assertEqual(first[2], v1)
        self.assertEqual((second[0], second[2]), (200, v2))
        self.assertNotEqual(first[1]["ETag"], second[1]["ETag"])

        self.get("/_control/reset")
        self.set("extra_bytes=7")
        conn = socket.create_connection(("127.0.0.1", self.port), timeout=5)
        conn.sendall(b"GET /files/package.zip HTTP/1.0\r\n\r\n")
        raw = b""
        while chunk := conn.recv(65536):
            raw += chunk
        conn.close()
        head, _, body = raw.partition(b"\r\n\r\n")
        self.assertIn(b"Content-Length: %d\r\n" % total, head + b"\r\n")
        self.assertEqual(body, v1 + b"\xA5" * 7)

    def test_stall_holds_the_body_back(self):
        self.set("stall_at=100&stall_seconds=5")
        conn = socket.create_connection(("127.0.0.1", self.port), timeout=1.5)
        conn.sendall(b"GET /blob/1000 HTTP/1.0\r\n\r\n")
        received = b""
        with self.assertRaises(socket.timeout):
            while True:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                received += chunk
        conn.close()
        self.assertTrue(received.endswith(blob(0, 100)), received[-20:])

    def test_unknown_setting_is_refused(self):
        self.assertEqual(self.get("/_control/set?no_such=1")[0], 400)


class TlsDevServerTest(unittest.TestCase):
    """--tls: https with a certificate from a test CA, checked by Python's own ssl module."""

    def test_https_with_the_given_certificate(self):
        with tempfile.TemporaryDirectory() as d:
            root = pathlib.Path(d)
            ca = TestCa(root / "ca")
            good = ca.server("good")
            port_file = root / "port"
            proc = subprocess.Popen([sys.executable, str(SERVER), "--port", "0", "--port-file", str(port_file),
                                     "--tls", str(good)], stdout=subprocess.DEVNULL)
            try:
                for _ in range(100):
                    if port_file.exists():
                        break
                    time.sleep(0.05)
                port = int(port_file.read_text())
                trusting = ssl.create_default_context(cafile=str(ca.pem))
                url = "https://localhost:%d/api/config/soft_down" % port
                with urllib.request.urlopen(url, context=trusting, timeout=10) as r:
                    answer = json.loads(r.read())
                self.assertEqual(answer["data"]["url"], "https://localhost:%d/files/package.zip" % port)
                # A client that trusts nothing of ours refuses it; a plain-http client gets no answer.
                with self.assertRaises(urllib.error.URLError) as refused:
                    urllib.request.urlopen(url, context=ssl.create_default_context(), timeout=10)
                self.assertIsInstance(refused.exception.reason, ssl.SSLCertVerificationError)
                with self.assertRaises((http.client.HTTPException, OSError)):
                    urllib.request.urlopen("http://localhost:%d/api/config/soft_down" % port, timeout=10).read()
                # The failed handshakes did not stop the server.
                with urllib.request.urlopen(url, context=trusting, timeout=10) as r:
                    self.assertEqual(r.status, 200)
            finally:
                proc.terminate()
                proc.wait()


class SignedLookupTest(unittest.TestCase):
    """--sign-key: the lookup's "sig", checked with the openssl command, and its faults."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        root = pathlib.Path(cls.dir.name)
        (root / "files").mkdir()
        cls.package = b"PK" + os.urandom(5000)
        (root / "files" / "package.zip").write_bytes(cls.package)
        cls.key = root / "key.pem"
        subprocess.run(["openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out",
                        str(cls.key)], check=True, capture_output=True)
        cls.public = root / "public.pem"
        subprocess.run(["openssl", "pkey", "-in", str(cls.key), "-pubout", "-out", str(cls.public)], check=True)
        cls.proc, port = start_server(root, "--sign-key", str(cls.key))
        cls.base = "http://127.0.0.1:%d" % port

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait()
        cls.dir.cleanup()

    def lookup_data(self, sig_mode):
        urllib.request.urlopen(self.base + "/_control/set?sig=" + sig_mode).read()
        with urllib.request.urlopen(self.base + "/api/config/soft_down?soft_id=x&source=y") as r:
            return json.loads(r.read())["data"]

    def openssl_verifies(self, sig_hex, data):
        root = pathlib.Path(self.dir.name)
        (root / "sig.der").write_bytes(raw_to_der(bytes.fromhex(sig_hex)))
        (root / "data.bin").write_bytes(data)
        result = subprocess.run(["openssl", "dgst", "-sha256", "-verify", str(self.public), "-signature",
                                 str(root / "sig.der"), str(root / "data.bin")], capture_output=True, text=True)
        return result.returncode == 0 and "Verified OK" in result.stdout

    def test_signature_of_the_package(self):
        sig = self.lookup_data("ok")["sig"]
        self.assertRegex(sig, r"^[0-9a-f]{128}$")
        self.assertTrue(self.openssl_verifies(sig, self.package))
        self.assertFalse(self.openssl_verifies(sig, self.package + b"x"))

    def test_faults(self):
        other = self.lookup_data("other")["sig"]
        self.assertRegex(other, r"^[0-9a-f]{128}$")
        self.assertFalse(self.openssl_verifies(other, self.package), "a real signature, of other bytes")
        self.assertNotIn("sig", self.lookup_data("missing"))
        self.assertNotRegex(self.lookup_data("malformed")["sig"], r"^[0-9a-f]{128}$")


if __name__ == "__main__":
    unittest.main()
