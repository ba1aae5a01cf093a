#!/usr/bin/env bash
# Builds the Windows release into build/win/package (or $QUORVANE_PACKAGE_DIR):
#   Quorvane-<version>-win64.zip   Quorvane.exe, README.txt and LICENSE.txt
#   SHA256SUMS                     the zip's and the exe's, and the test
#                                  bundle's when it is built
#   BUILDINFO                      the commit, SOURCE_DATE_EPOCH, the commands
#                                  that built the exe, the toolchain's packages
#   Quorvane-<version>.cdx.json    the CycloneDX SBOM of what the exe links in
# Every byte follows from the commit and the toolchain's versions, so another
# machine can rebuild and compare (scripts/verify-release.sh).
#
#   scripts/package.sh                      unsigned
#   scripts/package.sh --sign OPTIONS... -ts URL...
#       Authenticode-signed and timestamped, as a release for distribution
#       is (untimestamped, Windows refuses the signature once the certificate
#       expires). OPTIONS go to `osslsigncode sign` to name the certificate
#       and key: -pkcs12 org.pfx -readpass pass.txt, or on a hardware token
#       -pkcs11module /usr/lib/x86_64-linux-gnu/opensc-pkcs11.so -certs
#       org.pem -key "pkcs11:..."; each -ts URL is an RFC 3161 timestamp
#       server, asked in turn. The signing time is SOURCE_DATE_EPOCH.
#   scripts/package.sh --signed-exe FILE    ships FILE, this build's exe
#       signed elsewhere; refused unless FILE without its signature is it
#   scripts/package.sh --tests [...]        also the Windows test bundle,
#       Quorvane-<version>-tests-win64.zip: the test programs and the
#       stand-in nnotes.dll (without their debug information), the samples, the
#       package's own Quorvane.exe, tests/bundle/run-tests.cmd and
#       release/tests/README.txt, to run on a Windows machine
#
# A checkout with changes not committed is built as a commit of its own over
# HEAD, made in this repository without touching its index or branches, and
# BUILDINFO names that commit: verify-release.sh finds it in this repository
# only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD_DIR:-$root/build/win}
out=${QUORVANE_PACKAGE_DIR:-$root/build/win/package}
tests=no
if [ "${1:-}" = --tests ]; then tests=yes && shift; fi
mode=${1:-}
[ $# -eq 0 ] || shift
case "$mode" in
  "") [ $# -eq 0 ] ;;
  --sign) [ $# -gt 0 ] ;;
  --signed-exe) [ $# -eq 1 ] && [ -f "$1" ] ;;
  *) false ;;
esac || {
  echo "usage: scripts/package.sh [--tests] [--sign OSSLSIGNCODE-OPTIONS... -ts URL... | --signed-exe FILE]" >&2
  exit 2
}
"$root/scripts/setup.sh"
cd "$root"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

commit=$(git rev-parse HEAD)
: "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain)" ]; then
  GIT_INDEX_FILE=$work/index git add -A
  export GIT_AUTHOR_NAME=package GIT_AUTHOR_EMAIL=package GIT_AUTHOR_DATE=@$SOURCE_DATE_EPOCH
  export GIT_COMMITTER_NAME=package GIT_COMMITTER_EMAIL=package GIT_COMMITTER_DATE=@$SOURCE_DATE_EPOCH
  tree=$(GIT_INDEX_FILE=$work/index git write-tree)
  commit=$(git commit-tree -p "$commit" -m "Changes not committed, packaged" "$tree")
fi

[ -f "$build/CMakeCache.txt" ] || cmake --preset win >/dev/null
if [ "$tests" = yes ]; then cmake --build "$build" >/dev/null; else cmake --build "$build" --target Quorvane >/dev/null; fi
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Quorvane-$version-win64
cmake --install "$build" --prefix "$work/$name" >/dev/null
exe=$work/$name/Quorvane.exe
signed=no
case "$mode" in
  --sign)
    osslsigncode sign "$@" -h sha256 -n Quorvane -time "$SOURCE_DATE_EPOCH" \
      -in "$exe" -out "$work/signed.exe" >/dev/null
    mv "$work/signed.exe" "$exe" ;;
  --signed-exe)
    if ! osslsigncode remove-signature -in "$1" -out "$work/unsigned.exe" >/dev/null ||
      ! cmp -s "$work/unsigned.exe" "$exe"; then
      echo "package: $1 is not this build's Quorvane.exe with a signature added" >&2
      exit 1
    fi
    cp "$1" "$exe" ;;
esac
# The timestamp as the signature carries it, trusted here or not, so that
# --signed-exe of an exe writes the line --sign wrote.
stamp=$({ osslsigncode verify -ignore-crl -in "$exe" 2>/dev/null || true; } |
  sed -n '/^\tTimestamp time: /{s//timestamp /;h};/^\tIssuer: /{s///;H;x;s/\n/ by an authority certified by /p}')
[ -z "$mode" ] || signed="Authenticode, signing time SOURCE_DATE_EPOCH, ${stamp:-no timestamp}"

# zip_up NAME: the zip of $work/NAME, with fixed modes and times, no owners
# or extra times (-X), no directory entries (-D), names in one order, DOS
# times in UTC.
zip_up() {
  find "$work/$1" -type f -exec chmod 0644 {} + -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$work" && find "$1" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$out/$1.zip" -@)
}
rm -rf "$out" && mkdir -p "$out"
zip_up "$name"
(cd "$out" && sha256sum "$name.zip" && cd "$work" && sha256sum "$name/Quorvane.exe") >"$out/SHA256SUMS"

# The commands with the checkout's path as ".", and without the quotes a
# path with spaces gets, so that they read the same from any clone.
commands=$(ninja -C "$build" -t commands bin/Quorvane.exe)
commands=${commands//"$root"/.}
commands=${commands//[\"\']/}
{
  echo "Quorvane $version: $name.zip"
  echo "commit: $commit"
  echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH"
  echo "signed: $signed"
  echo "built by: cmake --preset win; cmake --build build/win --target Quorvane; scripts/package.sh"
  echo "commands that built the exe (. is the checkout):"
  echo "$commands" | sed 's/^/  /'
  echo "toolchain packages (dpkg-query -W):"
  dpkg-query -W binutils-mingw-w64-x86-64 cmake g++-mingw-w64-x86-64-posix \
    gcc-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev \
    osslsigncode zip | sed 's/^/  /'
} >"$out/BUILDINFO"
python3 "$root/scripts/sbom.py" "$build/Quorvane.map" "$exe" "$version" >"$out/Quorvane-$version.cdx.json"
echo "package: $out/$name.zip"

if [ "$tests" = yes ]; then
  bundle=$work/Quorvane-$version-tests-win64
  mkdir -p "$bundle/bin" "$bundle/standin" "$bundle/samples"
  for program in "$build"/bin/*_tests.exe; do
    x86_64-w64-mingw32-strip --strip-debug -o "$bundle/bin/${program##*/}" "$program"
  done
  cp "$exe" "$bundle/bin/"
  x86_64-w64-mingw32-strip --strip-debug -o "$bundle/standin/nnotes.dll" "$build/standin/nnotes.dll"
  cp "$build"/samples/* "$bundle/samples/"
  for text in tests/bundle/run-tests.cmd release/tests/README.txt; do
    sed "s/@VERSION@/$version/g; s/\r*\$/\r/" "$root/$text" >"$bundle/${text##*/}"
  done
  zip_up "${bundle##*/}"
  (cd "$out" && sha256sum "${bundle##*/}.zip") >>"$out/SHA256SUMS"
  echo "test bundle: $out/${bundle##*/}.zip"
fi
