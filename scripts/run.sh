#!/usr/bin/env bash
# Builds Quillery, installs it for the user (scripts/install.sh: the program, its help file and
# its private runtime into the user's Quillery folder, never touching the notes, a launcher in
# the desktop's application menu and the icon) and starts it from there.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
bash "$src/scripts/deps.sh"
cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQLY_BUILD_TESTS=OFF >/dev/null
cmake --build "$src/build" -j"$(nproc)"
program="$(bash "$src/scripts/install.sh" "$src/build/Quillery")"
exec "$program"
