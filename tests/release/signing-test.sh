#!/usr/bin/env bash
# Authenticode signing, with throwaway self-signed certificates made here in
# a scratch folder and deleted after (no key is ever kept): the signature
# verifies, removing it gives back the unsigned exe byte for byte, signing
# again gives the same bytes, an exe of another build is refused as the
# signed one, and verify-release.sh reproduces the signed release; signed
# and timestamped by osslsigncode's own authority, the same, and BUILDINFO
# names the timestamp. The signed exe is left unpacked in CHECK_DIR/signed
# for the tests that run it.
#   tests/release/signing-test.sh BUILD_DIR CHECK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1 check=$2
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
for use in signing:codeSigning timestamps:critical,timeStamping; do
  openssl req -x509 -newkey rsa:3072 -nodes -days 1 -subj "/CN=Quorvane test ${use%%:*}, throwaway" \
    -addext "extendedKeyUsage=${use#*:}" -keyout "$keys/${use%%:*}.key" -out "$keys/${use%%:*}.pem" 2>/dev/null
done
stamped=$(date +%s)  # the timestamp's time: both certificates are valid then
gmt() { LC_ALL=C TZ=UTC date -d "@$1" '+%b %e %H:%M:%S %Y GMT'; }
rm -rf "$check/signed-package" "$check/signed"
package() {
  QUORVANE_BUILD_DIR=$build QUORVANE_PACKAGE_DIR=$1 "$root/scripts/package.sh" "${@:2}"
}
# reproduced PACKAGE SIGNED VERIFY-OPTIONS...: the zip's exe verifies with the
# throwaway certificates (osslsigncode's account left in $keys/verified),
# BUILDINFO says "signed: SIGNED", and verify-release.sh rebuilds the zip.
reproduced() {
  local zip
  zip=$(find "$1" -name '*.zip')
  unzip -p "$zip" '*/Quorvane.exe' >"$keys/verified.exe"
  osslsigncode verify -CAfile "$keys/signing.pem" "${@:3}" -in "$keys/verified.exe" >"$keys/verified" 2>&1 || true
  grep -x "Signature verification: ok" "$keys/verified"
  grep -x "signed: Authenticode, signing time SOURCE_DATE_EPOCH, $2" "$1/BUILDINFO"
  "$root/scripts/verify-release.sh" "$zip" | tee "$keys/verify.log"
  [ "$(tail -n 1 "$keys/verify.log")" = reproduced ]
}
sign=(--sign -certs "$keys/signing.pem" -key "$keys/signing.key")

package "$keys/stamped" "${sign[@]}" -TSA-certs "$keys/timestamps.pem" -TSA-key "$keys/timestamps.key" \
  -TSA-time "$stamped"
reproduced "$keys/stamped" \
  "timestamp $(gmt "$stamped") by an authority certified by /CN=Quorvane test timestamps, throwaway" \
  -TSA-CAfile "$keys/timestamps.pem"
grep -x "Timestamp Server Signature verification: ok" "$keys/verified"

package "$check/signed-package" "${sign[@]}"
package "$keys/again" "${sign[@]}"
zip=$(find "$check/signed-package" -name '*.zip')
cmp "$zip" "$keys/again/$(basename "$zip")" && echo "signed again: the same bytes"
reproduced "$check/signed-package" "no timestamp"
epoch=$(sed -n 's/^SOURCE_DATE_EPOCH: //p' "$check/signed-package/BUILDINFO")
grep -F "Signing time: $(gmt "$epoch")" "$keys/verified"
unzip -q "$zip" -d "$check/signed"
signed=$(find "$check/signed" -name Quorvane.exe)
unsigned=$(find "$check/unpacked" -name Quorvane.exe)
! cmp -s "$signed" "$unsigned" || { echo "the exe was not signed"; exit 1; }
osslsigncode remove-signature -in "$signed" -out "$keys/removed.exe" >/dev/null
cmp "$keys/removed.exe" "$unsigned" && echo "signature removed: the unsigned exe, byte for byte"
# Another program of the build, signed, is no signed copy of the tool.
osslsigncode sign -certs "$keys/signing.pem" -key "$keys/signing.key" -in "$build/bin/generate_directory.exe" \
  -out "$keys/other.exe" >/dev/null
if package "$keys/other" --signed-exe "$keys/other.exe" 2>"$keys/refusal"; then
  echo "an exe of another build was shipped as the signed one"
  exit 1
fi
grep "is not this build's Quorvane.exe with a signature added" "$keys/refusal"
