#!/usr/bin/env bash
# Makes the source release: quelm-VERSION.tar.xz of the commit checked out
# (HEAD; changes not committed are left out, and said so), every tracked file
# under quelm-VERSION/, plus packaging/source-date-epoch, the commit's time,
# which a build without git takes for its reproducible package. No .git, no
# build output. The same commit gives the same bytes.
#
# Usage: tools/make-release.sh [OUTDIR]     (default: build; prints the path)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${1:-$ROOT/build}"

say() { echo "[make-release.sh] $*" >&2; }

git -C "$ROOT" rev-parse --verify -q HEAD >/dev/null || { say "$ROOT is not a git checkout with a commit"; exit 1; }
version="$(sed -n 's/^project(quelm VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
[ -n "$version" ] || { say "no version in CMakeLists.txt's project()"; exit 1; }
epoch="$(git -C "$ROOT" log -1 --format=%ct HEAD)"
name="quelm-$version"
[ -z "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ] ||
    say "note: the checkout has changes that are not committed; the release holds HEAD without them"

mkdir -p "$OUT"
work="$(mktemp -d "${TMPDIR:-/tmp}/quelm-release-XXXXXX")"
trap 'rm -rf "$work"' EXIT

# git archive stamps every member with the commit's time; the one added file
# gets the same time and owner, and the modes are fixed, so nothing depends
# on who runs this, when, or on their git settings.
git -C "$ROOT" -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="$name/" HEAD >"$work/$name.tar"
mkdir -p "$work/$name/packaging"
echo "$epoch" >"$work/$name/packaging/source-date-epoch"
tar --append --file="$work/$name.tar" --directory="$work" --format=ustar --owner=root:0 --group=root:0 \
    --mode=0644 --mtime="@$epoch" "$name/packaging/source-date-epoch"
# One thread: xz's multi-threaded blocks would depend on the machine.
xz -9 --threads=1 --stdout "$work/$name.tar" >"$work/$name.tar.xz"
mv "$work/$name.tar.xz" "$OUT/$name.tar.xz"
echo "$OUT/$name.tar.xz"
