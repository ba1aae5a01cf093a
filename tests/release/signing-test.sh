#!/usr/bin/env bash
# Authenticode signing, with throwaway self-signed certificates made here in
# a scratch folder and deleted after (no key is ever kept), once with a
# timestamp of osslsigncode's own authority: the signature verifies, BUILDINFO
# says whether it is timestamped, verify-release.sh reproduces the release,
# removing the signature gives back the unsigned exe, signing again gives the
# same bytes, and an exe of another build is refused as the signed one. The
# signed exe is left unpacked in CHECK_DIR/signed for the tests that run it.
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
package() { QUORVANE_BUILD_DIR=$build QUORVANE_PACKAGE_DIR=$1 "$root/scripts/package.sh" "${@:2}"; }
# reproduced PACKAGE SIGNED VERIFY-OPTIONS...: its exe verifies (account in $keys/verified), BUILDINFO
# says "signed: ...SIGNED", and verify-release.sh rebuilds it.
reproduced() {
  unzip -p "$1"/*.zip '*/Quorvane.exe' >"$keys/verified.exe"
  osslsigncode verify -CAfile "$keys/signing.pem" "${@:3}" -in "$keys/verified.exe" &>"$keys/verified" || true
  grep -x "Signature verification: ok" "$keys/verified"
  diff <(echo "signed: Authenticode, signing time SOURCE_DATE_EPOCH, $2") <(grep ^signed: "$1/BUILDINFO")
  "$root/scripts/verify-release.sh" "$1"/*.zip | tee "$keys/verify.log"
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
! package "$keys/other" --signed-exe "$keys/other.exe" 2>"$keys/refusal" ||
  { echo "an exe of another build was shipped as the signed one"; exit 1; }
grep "is not this build's Quorvane.exe with a signature added" "$keys/refusal"
