#!/usr/bin/env bash
# The install step of scripts/run.sh in a fresh home whose path needs quoting: a valid launcher
# in the applications folder, the icon in the hicolor theme, the notes left alone when it runs
# again, and the launcher starting the installed program, whose window names the launcher.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start
export HOME="$X_WORK/home of \$user's"
mkdir -p "$HOME"
unset XDG_DATA_HOME XDG_CONFIG_HOME
data="$HOME/.local/share"
launcher="$data/applications/quillery.desktop"

program="$(bash "$QLY_SOURCE_DIR/scripts/install.sh" "$QLY_BINARY_DIR/Quillery")"
[ "$program" = "$HOME/Quillery/qly" ] || fail "installed as $program"
desktop-file-validate "$launcher" || fail "the launcher is not valid"
for size in 16 22 24 32 48 64 128 256; do
    [ -s "$data/icons/hicolor/${size}x${size}/apps/quillery.png" ] || fail "no ${size}px icon"
done
[ -s "$data/icons/hicolor/scalable/apps/quillery.svg" ] || fail "no scalable icon"

# Installing again replaces the program, never the notes or the settings.
mkdir -p "$HOME/Quillery/rtf"
printf '{\\rtf1 kept\\par}' >"$HOME/Quillery/rtf/A.rtf"
printf '[Main]\nActivePage=0\n' >"$HOME/Quillery/qly.ini"
sums="$(cd "$HOME/Quillery" && md5sum rtf/A.rtf qly.ini)"
bash "$QLY_SOURCE_DIR/scripts/install.sh" "$QLY_BINARY_DIR/Quillery" >/dev/null
[ "$(cd "$HOME/Quillery" && md5sum rtf/A.rtf qly.ini)" = "$sums" ] || fail "the notes changed"
cmp -s "$HOME/Quillery/qly" "$QLY_BINARY_DIR/Quillery/qly" || fail "the program was not replaced"
pass "installed twice, notes kept"

# The desktop starts the launcher as its Exec line says.
gtk-launch quillery >"$X_WORK/launch.log" 2>&1 || fail "gtk-launch: $(cat "$X_WORK/launch.log")"
wid="$(wait_window Quillery)" || fail "no window after the launcher ran"
pid="$(xdotool getwindowpid "$wid")"
_x_pids+=("$pid")
[ "$(readlink "/proc/$pid/exe")" = "$program" ] || fail "started $(readlink "/proc/$pid/exe")"
wm_class="$(xprop -id "$wid" WM_CLASS)"
[[ "$wm_class" == *"\"$(sed -n 's/^StartupWMClass=//p' "$launcher")\""* ]] ||
    fail "$wm_class does not match the launcher"
# The icon follows the window's first picture.
has_icon() { xprop -id "$wid" _NET_WM_ICON 2>/dev/null | grep -q 'Icon (16 x 16)'; }
wait_for has_icon || fail "the window has no icon"
pass "the launcher starts the installed program, with its icon"
kill -TERM "$pid"
wait_exit "$pid" || fail "the program did not end"
