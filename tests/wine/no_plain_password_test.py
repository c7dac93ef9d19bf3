"""The built installer carries its package password only in the stored form: the plain password
appears nowhere in the file, neither as 8-bit nor as UTF-16 text, while the stored form does.
usage: no_plain_password_test.py INSTALLER PASSWORD STORED"""
import sys

installer, password, stored = sys.argv[1:4]
data = open(installer, "rb").read()
failures = []
for encoding in ("ascii", "utf-16-le"):
    if password.encode(encoding) in data:
        failures.append(f"the plain password is in {installer} as {encoding}")
if stored.encode("utf-16-le") not in data:
    failures.append(f"the stored password is not in {installer}")
print("\n".join(failures) or "ok")
sys.exit(1 if failures else 0)
