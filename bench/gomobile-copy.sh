#!/usr/bin/env bash
# Go Mobile's copy against `cp -a`: 200 MB of pages (and a program and help file) copied to a
# tmpfs folder, side by side in one run. Usage: bench/gomobile-copy.sh [ROUNDS] [TMPFS_DIR]
# (needs a built tree in build/; TMPFS_DIR defaults to /dev/shm).
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-7}"
tmpfs="${2:-/dev/shm}"
[ "$(stat -f -c %T "$tmpfs")" = tmpfs ] || { echo "$tmpfs is no tmpfs" >&2; exit 1; }
work="$(mktemp -d "$src/build/gomobile-bench.XXXXXX")"
target="$(mktemp -d "$tmpfs/qly-bench.XXXXXX")"
trap 'rm -rf "$work" "$target"' EXIT

# 26 pages of 7.7 MB each: 200 MB on a disk, read once so both sides read from the cache.
mkdir -p "$work/rtf"
cp "$src/build/Quillery/qly" "$src/build/Quillery/qly.chm" "$work/"
printf '[Main]\n' >"$work/qly.ini"
for c in A B C D E F G H I J K L M N O P Q R S T U V W X Y Z; do
    head -c $((200 * 1024 * 1024 / 26)) /dev/urandom >"$work/rtf/$c.rtf"
done
cat "$work"/rtf/*.rtf "$work/qly" >/dev/null
"$src/build/bin/qly-gomobile-bench" "$work" "$target" "$rounds"
