#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
bash "$src/scripts/deps.sh" --test
cmake -S "$src" -B "$src/build" -G Ninja >/dev/null
cmake --build "$src/build" -j"$(nproc)"
cd "$src/build"
ctest --output-on-failure -j"$(nproc)" "$@"
