#!/usr/bin/env bash
# Runs a test program three times: as it is, without the capabilities that let root write
# read-only files, and inside a private mount namespace on a tiny, full tmpfs.
set -euo pipefail
test_exe="$1"; shift
export QT_QPA_PLATFORM=offscreen

"$test_exe" "$@"

drop=(setpriv --bounding-set=-dac_override,-dac_read_search,-fowner,-linux_immutable --)
if [ "$(id -u)" = 0 ]; then
    "${drop[@]}" "$test_exe" "$@"
    unshare -m bash -c '
        set -e
        dir=$(mktemp -d /tmp/qly-full.XXXXXX)
        mount -t tmpfs -o size=64k tmpfs "$dir"
        QLY_FULL_DISK_DIR="$dir" "$0" --gtest_filter="FullDisk.*"
        umount "$dir"; rmdir "$dir"' "$test_exe"
else
    echo "not root: the capability-free and full-disk passes need root" >&2
fi
