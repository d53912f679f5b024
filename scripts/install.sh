#!/usr/bin/env bash
# Installs a built portable folder for the user: the program, its help file and its private
# runtime (the folder lib/ that `cmake --install` collects: Qt, the libraries only Qt needs and
# the Qt plugins) into the user's Quillery folder (replacing only those, never the notes or the
# settings), the launcher into the desktop's applications folder and the icon into the user's
# hicolor theme. Prints the program's installed path.
# Usage: scripts/install.sh [portable-folder]   (default: build/Quillery)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
from="${1:-$src/build/Quillery}"
[ -x "$from/qly" ] || { echo "No program to install in $from" >&2; exit 1; }
: "${HOME:?}"

if [ -d "$HOME/Applications" ]; then target="$HOME/Applications/Quillery"; else target="$HOME/Quillery"; fi
data="${XDG_DATA_HOME:-$HOME/.local/share}"
mkdir -p "$target" "$data/applications"

# Everything is gathered first in a folder beside the target, on the same drive, so that it
# goes into place by renaming.
stage="$(mktemp -d "$target/.install.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
build="$(dirname "$from")"
if [ -f "$build/cmake_install.cmake" ]; then
    cmake --install "$build" --prefix "$stage" >"$stage/install.log" ||
        { cat "$stage/install.log" >&2; exit 1; }
else
    mkdir -p "$stage/Quillery"
    cp -a "$from/." "$stage/Quillery/"
fi
from="$stage/Quillery"

# Each file goes in under a temporary name and is renamed into place, so that an interrupted
# install leaves the old file or the new one, and a running copy keeps its own.
put() {
    local from_file="$1" to_file="$2"
    mkdir -p "$(dirname "$to_file")"
    cp -f "$from_file" "$(dirname "$to_file")/.$(basename "$to_file").new"
    mv -f "$(dirname "$to_file")/.$(basename "$to_file").new" "$to_file"
}
# The runtime is replaced as a whole, before the program that needs it; a running copy keeps
# the files it has open.
if [ -d "$from/lib" ]; then
    rm -rf "$target/.lib.old"
    if [ -d "$target/lib" ]; then mv "$target/lib" "$target/.lib.old"; fi
    mv "$from/lib" "$target/lib"
    rm -rf "$target/.lib.old"
fi
for f in qly qly.chm qly.png qly.svg; do
    [ -f "$from/$f" ] && put "$from/$f" "$target/$f"
done

for png in "$src"/data/icons/hicolor/*/apps/quillery.png; do
    size="$(basename "$(dirname "$(dirname "$png")")")"
    put "$png" "$data/icons/hicolor/$size/apps/quillery.png"
done
put "$src/data/icons/quillery.svg" "$data/icons/hicolor/scalable/apps/quillery.svg"
# Icon caches look at the theme folder's time.
touch "$data/icons/hicolor"

# The Exec line quotes the path as the Desktop Entry rules say (", `, $ and \ escaped, then
# every \ doubled once more for the file's string syntax, and % doubled).
exec_path="$(printf '%s' "$target/qly" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')"
tryexec_path="$(printf '%s' "$target/qly" | sed -e 's/\\/\\\\/g')"
launcher="$data/applications/quillery.desktop"
sed -e "s|@EXEC@|\"$(printf '%s' "$exec_path" | sed -e 's/[|&\\]/\\&/g')\"|" \
    -e "s|@TRYEXEC@|$(printf '%s' "$tryexec_path" | sed -e 's/[|&\\]/\\&/g')|" \
    "$src/data/quillery.desktop.in" >"$launcher.new"
mv -f "$launcher.new" "$launcher"
if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$data/applications" || echo "The menu cache was not refreshed; the launcher shows at the next login." >&2
fi
echo "$target/qly"
