#!/usr/bin/env bash
# Authenticode signing, with a throwaway self-signed certificate made here in
# a scratch folder and deleted after (no key is ever kept): the signature
# verifies, removing it gives back the unsigned exe byte for byte, signing
# again gives the same bytes, an exe of another build is refused as the
# signed one, and verify-release.sh reproduces the signed release. The signed
# exe is left unpacked in CHECK_DIR/signed for the tests that run it.
#   tests/release/signing-test.sh BUILD_DIR CHECK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1 check=$2
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
openssl req -x509 -newkey rsa:3072 -nodes -days 1 -subj "/CN=Quorvane test signing, throwaway" \
  -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
rm -rf "$check/signed-package" "$check/signed"
package() {
  QUORVANE_BUILD_DIR=$build QUORVANE_PACKAGE_DIR=$1 "$root/scripts/package.sh" "${@:2}"
}
package "$check/signed-package" --sign -certs "$keys/cert.pem" -key "$keys/key.pem"
package "$keys/again" --sign -certs "$keys/cert.pem" -key "$keys/key.pem"
zip=$(find "$check/signed-package" -name '*.zip')
cmp "$zip" "$keys/again/$(basename "$zip")" && echo "signed again: the same bytes"
unzip -q "$zip" -d "$check/signed"
signed=$(find "$check/signed" -name Quorvane.exe)
unsigned=$(find "$check/unpacked" -name Quorvane.exe)

osslsigncode verify -CAfile "$keys/cert.pem" -in "$signed" >"$keys/verified" 2>&1 || true
grep -x "Signature verification: ok" "$keys/verified"
epoch=$(sed -n 's/^SOURCE_DATE_EPOCH: //p' "$check/signed-package/BUILDINFO")
grep -F "Signing time: $(LC_ALL=C TZ=UTC date -d "@$epoch" '+%b %e %H:%M:%S %Y') GMT" "$keys/verified"
! cmp -s "$signed" "$unsigned" || { echo "the exe was not signed"; exit 1; }
osslsigncode remove-signature -in "$signed" -out "$keys/removed.exe" >/dev/null
cmp "$keys/removed.exe" "$unsigned" && echo "signature removed: the unsigned exe, byte for byte"
# Another program of the build, signed, is no signed copy of the tool.
osslsigncode sign -certs "$keys/cert.pem" -key "$keys/key.pem" -in "$build/bin/generate_directory.exe" \
  -out "$keys/other.exe" >/dev/null
if package "$keys/other" --signed-exe "$keys/other.exe" 2>"$keys/refusal"; then
  echo "an exe of another build was shipped as the signed one"
  exit 1
fi
grep "is not this build's Quorvane.exe with a signature added" "$keys/refusal"
grep -x "signed: Authenticode, signing time SOURCE_DATE_EPOCH, no timestamp server" \
  "$check/signed-package/BUILDINFO"
"$root/scripts/verify-release.sh" "$zip" | tee "$keys/verify.log"
[ "$(tail -n 1 "$keys/verify.log")" = reproduced ]
