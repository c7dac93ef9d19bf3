#!/usr/bin/env bash
# Authenticode signing of the installer: the build's own signing step (cmake/SignInstaller.cmake)
# with a code-signing certificate made here by a test CA; osslsigncode verify then accepts the
# signed copy, and refuses the unsigned installer and a signed copy with one byte changed.
# Arguments: installer.exe, the signing script, osslsigncode.
set -uo pipefail
exe=$1 script=$2 osslsigncode=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work" || exit 1

"$here/../support/make-code-signing-cert" "$work" || fail "test certificates"

cp "$exe" signed.exe || fail "no installer to sign"
cmake -DEXE="$work/signed.exe" -DCERT="$work/signer.pem" -DKEY="$work/signer.key" -DOSSLSIGNCODE="$osslsigncode" \
  -P "$script" || fail "signing step"
cmp -s "$exe" signed.exe && fail "signing left the file as it was"

out=$("$osslsigncode" verify -CAfile ca.pem -in signed.exe 2>&1) || fail "verify refused the signed installer: $out"
grep -q "Signature verification: ok" <<<"$out" || fail "no 'Signature verification: ok': $out"
grep -q "Installer Test Maker" <<<"$out" || fail "signer not named: $out"

"$osslsigncode" verify -CAfile ca.pem -in "$exe" >/dev/null 2>&1 && fail "verify accepted the unsigned installer"

# One byte changed in the middle of the signed file (inside the code, the resources or the package).
cp signed.exe tampered.exe
size=$(stat -c %s tampered.exe)
printf '\xA5' | dd of=tampered.exe bs=1 seek=$((size / 2)) conv=notrunc status=none
"$osslsigncode" verify -CAfile ca.pem -in tampered.exe >/dev/null 2>&1 && fail "verify accepted a changed byte"

# A certificate the CA did not issue does not chain.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout other.key -out other.pem -days 2 \
  -subj "/CN=Other CA" 2>/dev/null
"$osslsigncode" verify -CAfile other.pem -in signed.exe >/dev/null 2>&1 && fail "verify accepted an unknown CA"
echo ok
