#!/usr/bin/env bash
# The release rebuilt from a scratch clone of its commit, as another user
# (when this one is root), in another time zone, with another umask and at a
# path with spaces, is the same bytes; a zip with one byte changed is
# refused, wherever the byte lies.
#   tests/release/reproduce-test.sh PACKAGE_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
package=$1
zip=$(find "$package" -name '*.zip')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failed=0

# The commit BUILDINFO names, in a repository of the test's own, and the
# verify command beside it: any user can read them, wherever the checkout
# lies.
commit=$(sed -n 's/^commit: //p' "$package/BUILDINFO")
git init -q --bare "$work/repository.git" &&
  git -C "$root" push -q "$work/repository.git" "$commit:refs/heads/release" || exit 1
cp "$root/scripts/verify-release.sh" "$work/"
mkdir -m 1777 "$work/scratch space"
as=()
if [ "$(id -u)" -eq 0 ]; then
  mkdir "$work/home" && printf '[safe]\n\tdirectory = *\n' >"$work/home/.gitconfig"
  chmod -R a+rX "$work"
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/home")
fi
echo "rebuilt as $("${as[@]}" id -un), TZ=CHAST-12:45, umask 077, in \"$work/scratch space\""

# verify WHAT ZIP STATUS LAST-LINE: verify-release.sh must end so.
verify() {
  (umask 077 && TZ=CHAST-12:45 TMPDIR="$work/scratch space" "${as[@]}" "$work/verify-release.sh" "$2" \
    "$work/repository.git") >"$work/out" 2>&1
  local status=$? last
  last=$(tail -n 1 "$work/out")
  if [ "$status" -eq "$3" ] && [[ $last =~ $4 ]]; then
    echo "ok: $1: $last"
  else
    echo "FAILED: $1: status $status, not $3; last line \"$last\", not matching $4"
    cat "$work/out"
    failed=1
  fi
}

mkdir "$work/release" && cp "$package"/* "$work/release/"
verify "the release" "$work/release/$(basename "$zip")" 0 '^reproduced$'
size=$(stat -c %s "$zip")
# Byte 10 is the first entry's time in its local header: the files unpack
# the same. Half way lies the exe's compressed data: it no longer unpacks.
for offset in 10 $((size / 2)); do
  mkdir "$work/$offset" && cp "$package"/* "$work/$offset/"
  changed=$work/$offset/$(basename "$zip")
  byte=$(od -An -tu1 -j "$offset" -N1 "$zip")
  printf '%b' "\\0$(printf %03o $(((byte + 1) % 256)))" |
    dd of="$changed" bs=1 seek="$offset" conv=notrunc status=none
  cmp -s "$zip" "$changed" && { echo "FAILED: byte $offset was not changed"; failed=1; }
  verify "byte $offset changed" "$changed" 1 '^differs: '
done
exit $failed
