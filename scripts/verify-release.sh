#!/usr/bin/env bash
# Rebuilds a release from the commit its BUILDINFO names, in a scratch clone,
# and compares it byte for byte with what was handed over:
#
#   scripts/verify-release.sh ZIP [REPOSITORY]
#
# BUILDINFO must lie beside ZIP; SHA256SUMS and the SBOM are compared too
# when they lie there, and so is the test bundle when SHA256SUMS lists it. The commit is taken from REPOSITORY (a path or URL),
# by default the repository this script belongs to. A signed exe is compared
# with its signature removed, and the zip is compared once the rebuilt exe
# carries that same signature; `osslsigncode verify` checks the signature
# itself. The rebuild runs that commit's own scripts/package.sh, which
# installs the toolchain packages it lacks (scripts/setup.sh); BUILDINFO
# lists the versions the release was built with.
#
# The last line is "reproduced" (status 0), or "differs: " and what differs
# (status 1), after diffoscope's account of where.
set -uo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -f "$1" ]; then
  echo "usage: scripts/verify-release.sh ZIP [REPOSITORY]" >&2
  exit 2
fi
zip=$(realpath "$1") given=$(dirname "$(realpath "$1")")
repo=${2:-$(cd "$(dirname "$0")/.." && pwd)}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
differs() {
  echo "differs: $*"
  exit 1
}

commit=$(sed -n 's/^commit: //p' "$given/BUILDINFO" 2>/dev/null)
epoch=$(sed -n 's/^SOURCE_DATE_EPOCH: //p' "$given/BUILDINFO" 2>/dev/null)
[[ $commit =~ ^[0-9a-f]{40}$ && $epoch =~ ^[0-9]+$ ]] ||
  differs "BUILDINFO beside the zip names no commit and SOURCE_DATE_EPOCH"
shared=()
[ ! -d "$repo" ] || shared=(--shared)  # a local repository lends every object
git clone -q --no-checkout "${shared[@]}" "$repo" "$scratch/src" &&
  git -C "$scratch/src" -c advice.detachedHead=false checkout -q "$commit" ||
  differs "commit $commit cannot be checked out from $repo"

unzip -q "$zip" -d "$scratch/given" || differs "the zip cannot be unpacked"
exe=$(find "$scratch/given" -name Quorvane.exe)
[ -f "$exe" ] || differs "the zip holds no Quorvane.exe"
# The rebuild, as its own commit builds it, in another place and at another time.
package() {
  rm -rf "$scratch/rebuilt"
  SOURCE_DATE_EPOCH=$epoch QUORVANE_PACKAGE_DIR=$scratch/rebuilt "$scratch/src/scripts/package.sh" \
    "$@" >"$scratch/package.log" 2>&1 || {
    tail -n 20 "$scratch/package.log"
    differs "the rebuild of $commit failed"
  }
}
with=()
grep -q -- '-tests-win64\.zip$' "$given/SHA256SUMS" 2>/dev/null && with=(--tests)
package "${with[@]}"
unzip -q "$scratch/rebuilt/$(basename "$zip")" -d "$scratch/rebuilt-files" ||
  differs "the rebuild has no $(basename "$zip")"
rebuilt_exe=$(find "$scratch/rebuilt-files" -name Quorvane.exe)

unsigned=$exe what=Quorvane.exe
if osslsigncode extract-signature -in "$exe" -out "$scratch/signature" >/dev/null 2>&1; then
  osslsigncode remove-signature -in "$exe" -out "$scratch/unsigned.exe" >/dev/null ||
    differs "the signature of Quorvane.exe cannot be removed"
  unsigned=$scratch/unsigned.exe what="Quorvane.exe (its signature removed)"
fi
if ! cmp -s "$unsigned" "$rebuilt_exe"; then
  diffoscope --text - "$unsigned" "$rebuilt_exe" | head -n 100
  differs "$what"
fi
echo "same: $what"
if [ "$unsigned" != "$exe" ]; then
  # The rebuilt exe with the release's signature: the same bytes as its exe.
  package "${with[@]}" --signed-exe "$exe"
fi

different=()
for file in "$scratch"/rebuilt/*; do
  here=$given/$(basename "$file")
  case $file in
    *-tests-win64.zip) [ -f "$here" ] || differs "$(basename "$here"), which SHA256SUMS lists, is not beside the zip" ;;
    *.zip) here=$zip ;;
    */BUILDINFO) ;;
    *) [ -f "$here" ] || continue ;;
  esac
  if cmp -s "$here" "$file"; then
    echo "same: $(basename "$here")"
  else
    diffoscope --text - "$here" "$file" | head -n 100
    different+=("$(basename "$here")")
  fi
done
[ ${#different[@]} -eq 0 ] || differs "${different[*]}"
echo reproduced
