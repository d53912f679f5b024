#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quillery need.
# Only what is missing is installed; as root directly, otherwise through sudo.
set -euo pipefail

build_pkgs=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
    fp-utils libchm-dev libcups2-dev libhunspell-dev libdtl-dev
    qt6-wayland qt6-gtk-platformtheme qt6-xdgdesktopportal-platformtheme
)
test_pkgs=(
    libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev
    xvfb xauth openbox xdotool xclip x11-utils trayer imagemagick
    fonts-dejavu-core fonts-liberation2
    libchm-bin unrtf hyperfine pandoc abiword libreoffice-writer-nogui libnuspell-dev
    time python3-minimal
    cups printer-driver-cups-pdf poppler-utils desktop-file-utils libgtk-3-bin
    weston xwayland qt6-wayland xfce4-panel dbus-x11 dbus-bin dbus-daemon
    util-linux procps gdb
    dosfstools fusefat bindfs exfatprogs exfat-fuse
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0 orca speech-dispatcher
    hunspell-en-us hunspell-de-de
    syncthing
    libgtk-3-0 debootstrap
)

pkgs=("${build_pkgs[@]}")
if [ "${1:-}" = "--test" ]; then
    pkgs+=("${test_pkgs[@]}")
fi

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
