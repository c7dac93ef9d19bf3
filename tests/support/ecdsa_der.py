"""ECDSA signatures between our form (r then s, 32 bytes each) and DER, the form of the openssl
command. DER is read by the development server's own reader, the one it signs with."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "devserver"))
from devserver import der_signature_to_raw  # noqa: E402,F401


def raw_to_der(raw: bytes) -> bytes:
    """r then s as a DER SEQUENCE of two INTEGERs."""
    def integer(value: bytes) -> bytes:
        body = value.lstrip(b"\0") or b"\0"
        if body[0] & 0x80:
            body = b"\0" + body
        return b"\x02" + bytes([len(body)]) + body
    seq = integer(raw[:32]) + integer(raw[32:])
    return b"\x30" + bytes([len(seq)]) + seq
