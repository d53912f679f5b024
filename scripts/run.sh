#!/usr/bin/env bash
# Builds Quillery, installs the portable folder into the user's Quillery folder (replacing only
# the program and its help file there, never the notes) and starts it from there.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
bash "$src/scripts/deps.sh"
cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQLY_BUILD_TESTS=OFF >/dev/null
cmake --build "$src/build" -j"$(nproc)"

if [ -d "$HOME/Applications" ]; then target="$HOME/Applications/Quillery"; else target="$HOME/Quillery"; fi
mkdir -p "$target"
for f in qly qly.chm; do
    if [ -f "$src/build/Quillery/$f" ]; then
        cp -f "$src/build/Quillery/$f" "$target/.$f.new"
        mv -f "$target/.$f.new" "$target/$f"
    fi
done
exec "$target/qly"
