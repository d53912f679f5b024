#!/usr/bin/env bash
# Go Mobile end to end: the real dialog in an X session copies to a stick (a size-limited tmpfs
# under /media in a private mount namespace) and back home, first in-process case by case, then
# the real program from the main menu and Copy by the Enter key; the launcher it leaves on the desktop passes
# desktop-file-validate and starts the home program. Screenshots go to build/screenshots/.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
run_in_mount_namespace "mounting a stick in a private mount namespace" "$@"
. "$QLY_SOURCE_DIR/tests/x11/gomobile_lib.sh"
mount --make-rprivate /
STICK="/media/$(id -un)/STICK"
BIG_STICK="/media/$(id -un)/NOTES2GO"
# The mount folders are left as they were found.
made=""
for d in "$(dirname "$STICK")" "$STICK" "$BIG_STICK"; do [ -d "$d" ] || made="$d $made"; done
mkdir -p "$STICK" "$BIG_STICK"
trap 'umount "$STICK" "$BIG_STICK" 2>/dev/null; for d in $made; do rmdir "$d" 2>/dev/null || true; done; _x_cleanup' EXIT
x_start 1280x800
export HOME="$X_WORK/user" XDG_CONFIG_HOME="$X_WORK/user/.config"
mkdir -p "$HOME/Desktop"
# The home installation lies on a fixed disk: the build tree's.
export QLY_STICK="$STICK" QLY_E2E_HOME="$QLY_BINARY_DIR/gomobile-e2e" QLY_SHOTS="$QLY_BINARY_DIR/screenshots"
mkdir -p "$QLY_SHOTS"
mkdir -p "$QLY_E2E_HOME"

"$QLY_BINARY_DIR/bin/gui_mobileform_tests" --gtest_filter='GoMobileStick.*' \
    || fail "the dialog's cases"

# The real program, driven as a user drives it: from the disk to the stick with a page typed
# but not yet saved, then from the stick back home.
shots="$QLY_BINARY_DIR/screenshots"
mkdir -p "$shots"
home="$QLY_E2E_HOME/real"
rm -rf "$home"
app_install "$home"
cp "$QLY_BINARY_DIR/Quillery/qly.chm" "$QLY_BINARY_DIR/Quillery/qly.png" "$home/"
mkdir -p "$home/rtf"
for c in A B C D E F G H I J K L M N O P Q R S T U V W X Y Z; do
    printf '{\\rtf1 page %s}' "$c" >"$home/rtf/$c.rtf"
done
# Room for a program built with the address sanitizer (over 64 MB).
mount -t tmpfs -o size=256m tmpfs "$STICK"
rm -f "$HOME/Desktop/Quillery.desktop"

wait_text() { wait_file_has "$1" "$2"; }
_taller_than() { [ "$(win_geometry "$1" | cut -d' ' -f4)" -gt "$2" ]; }
# The window WID lies whole on a 1280x800 screen.
_on_screen() {
    local x y w h
    read -r x y w h <<<"$(win_geometry "$1")"
    [ "$y" -ge 0 ] && [ $((y + h)) -le 800 ] && [ $((x + w)) -le 1280 ]
}

app_start "$home"
main=$(wait_window Quillery) || fail "no main window"
wait_active "$main" || fail "the main window has no focus"
read -r mx my mw mh <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 200)) $((my + 200)) click 1
xdotool key ctrl+End type --delay 20 ' typed before going'
dlg=$(open_go_mobile "$main") || fail "Go Mobile did not open from the main menu"
import -window root "$shots/gomobile-dialog.png"
copy_by_enter "$dlg"
wait_text "$STICK/Quillery/rtf/Z.rtf" 'page Z' || fail "Copy did not copy the pages"
wait_text "$STICK/Quillery/rtf/A.rtf" 'typed before going' || fail "the page typed on was not saved first"
# The program comes last.
wait_long cmp -s "$home/qly" "$STICK/Quillery/qly" || fail "the program on the stick differs"
grep -qx "HomeDir=$home/" "$STICK/Quillery/qly.ini" || fail "the stick's settings do not know the way home"
import -window root "$shots/gomobile-copied.png"
pass "from the main menu to the stick, with the page typed on saved first"
xdotool key Escape
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "the program did not end"

printf '{\\rtf1 written on the road}' >"$STICK/Quillery/rtf/B.rtf"
# A FAT stick as desktops mount it (showexec): no file has an execute bit. The launcher script
# Go Mobile left there starts the program through the dynamic loader.
chmod -R a-x "$STICK/Quillery"
[ ! -x "$STICK/Quillery/qly" ] || fail "the stick's program still has an execute bit"
(cd / && exec sh "$STICK/Quillery/quillery.sh") >"$X_WORK/app.log" 2>&1 &
APP_PID=$!
_x_pids+=($APP_PID)
# The title names the stick the notes are on.
main=$(wait_window "Quillery - $(basename "$STICK")") || fail "the launcher script started no window: $(cat "$X_WORK/app.log")"
wait_active "$main" || fail "the stick's window has no focus"
dlg=$(open_go_mobile "$main") || fail "Go Mobile did not open on the stick"
copy_by_enter "$dlg"
wait_text "$home/rtf/B.rtf" 'written on the road' || fail "the pages did not come home"
launcher="$HOME/Desktop/Quillery.desktop"
wait_long test -f "$launcher" || fail "no launcher on the desktop"
pass "from the stick back home"
xdotool key Escape
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 5 || fail "the program on the stick did not end"
grep -q "HomeDir=$home/" "$STICK/Quillery/qly.ini" || fail "the stick's settings were not kept"
for d in /lib64 /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu; do
    ls "$d"/*.ini "$d/rtf" >/dev/null 2>&1 && fail "the program wrote into the loader's folder $d"
done
pass "started by sh quillery.sh from a stick without execute bits, it kept to the stick's folder"
mount -o remount,noexec "$STICK"
noexec_log="$X_WORK/noexec.log"
if sh "$STICK/Quillery/quillery.sh" >"$noexec_log" 2>&1; then fail "started from a noexec drive"; fi
grep -q "mounted noexec" "$noexec_log" || fail "no clear message on a noexec drive: $(cat "$noexec_log")"
mount -o remount,exec "$STICK"
pass "a stick mounted noexec gets a clear message"

desktop-file-validate "$launcher" || fail "the launcher does not validate"
grep -qx "Icon=$home/qly.png" "$launcher" || fail "the launcher does not show the program's icon"
pass "the launcher validates and shows the program's icon"
home_program="$home/qly"
exec_line=$(sed -n 's/^Exec=//p' "$launcher")
path=$(sed -n 's/^Path=//p' "$launcher")
[ "${path%/}" = "$home" ] || fail "Path= is $path"
(cd "$path" && eval "exec $exec_line") >"$X_WORK/launched.log" 2>&1 &
launched=$!
_x_pids+=($launched)
wait_window Quillery >/dev/null || fail "the launcher started no Quillery window"
[ "$(readlink "/proc/$launched/exe")" = "$home_program" ] || fail "the launcher started another program"
pass "the launcher starts the home program"
"$QLY_BINARY_DIR/bin/core_mobile_tests" --gtest_filter='MobileCopy.DesktopLauncherStartsFromAnOddHomeFolder' \
    | grep -q '^\[  PASSED  \] 1 test' || fail "gtk-launch does not start a launcher in an odd home folder"
pass "gtk-launch starts the launcher of a home folder with %, space, apostrophe and non-ASCII"
kill -TERM "$launched"
wait_exit "$launched" 5 || fail "the program the launcher started did not end"

# The dialog as a 16 GB stick named NOTES2GO shows it, copying home to this machine's disk, at
# scale 1 and 2 on a 1280x800 screen: every byte count whole, the drive's name readable, the
# expanded dialog on the screen.
mount -t tmpfs -o size=16g tmpfs "$BIG_STICK"
mkdir -p "$BIG_STICK/Quillery"
cp -a "$home/." "$BIG_STICK/Quillery/"
for scale in 1 2; do
    QT_SCALE_FACTOR=$scale app_start "$BIG_STICK/Quillery"
    main=$(wait_window "Quillery - $(basename "$BIG_STICK")") || fail "no window at scale $scale"
    wait_active "$main" || fail "no focus at scale $scale"
    dlg=$(open_go_mobile "$main") || fail "Go Mobile did not open at scale $scale"
    wait_active "$dlg" || fail "the dialog has no focus at scale $scale"
    read -r _ _ _ collapsed <<<"$(win_geometry "$dlg")"
    xdotool key alt+m
    wait_for _taller_than "$dlg" "$collapsed" || fail "More did not expand at scale $scale"
    # The dialog grows first and is moved back onto the screen after: wait for both.
    wait_for _on_screen "$dlg" || {
        read -r dx dy dw dh <<<"$(win_geometry "$dlg")"
        fail "the expanded dialog leaves the screen at scale $scale: ${dw}x$dh+$dx+$dy"
    }
    import -window root "$shots/gomobile-notes2go-scale$scale.png"
    xdotool key Escape
    wait_gone "Go Mobile" || fail "Esc did not close the dialog"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 5 || fail "the program did not end at scale $scale"
done
pass "expanded on the screen at scale 1 and 2"
