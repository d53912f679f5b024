#!/usr/bin/env bash
# Another computer: a minimal Debian root with exactly the packages the README says such a
# computer supplies. The stick's program (the installed folder with the launcher script Go Mobile
# leaves) starts there, shows page A and saves typing; with a listed library removed the launcher
# names it; printing without CUPS says that the print service's library cannot be loaded.
# The root is made once and kept in QLY_TEST_CACHE (default /var/cache/quillery-tests), under a
# name that changes with the list.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "a Debian root needs root (debootstrap, chroot)"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/deps.sh --test)"
unshare -m true 2>/dev/null || skip "no private mount namespace here (unshare -m is refused)"
if [ -z "${QLY_IN_MOUNT_NS:-}" ]; then
    exec unshare -m env QLY_IN_MOUNT_NS=1 bash "$0" "$@"
fi
mount --make-rprivate /

# The README's list: the one `apt-get install` line of its section on another computer.
packages="$(sed -n 's/^ *apt-get install --no-install-recommends //p' "$QLY_SOURCE_DIR/README.md")"
[ -n "$packages" ] || fail "the README names no packages for another computer"
mirror="$(sed -n 's/^URIs: *\(http[^ ]*debian\)\/* *$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    head -n1)"
[ -n "$mirror" ] || mirror="$(sed -n 's/^deb \(http[^ ]*debian\)\/* bookworm .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n1)"
[ -n "$mirror" ] || skip "no Debian mirror in /etc/apt/sources.list*"

cache="${QLY_TEST_CACHE:-/var/cache/quillery-tests}"
root="$cache/bookworm-$(printf '%s' "$packages" | md5sum | cut -c1-12)"
if [ ! -e "$root/.ready" ]; then
    mkdir -p "$cache"
    base="$cache/bookworm-minbase"
    if [ ! -e "$base/.ready" ]; then
        rm -rf "$base"
        timeout 900 debootstrap --variant=minbase bookworm "$base" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
            skip "debootstrap from $mirror failed (no network to the mirror?): $(tail -n 2 "$cache/debootstrap.log")"
        touch "$base/.ready"
    fi
    rm -rf "$root.new"
    cp -a "$base" "$root.new"
    rm -f "$root.new/.ready"
    # shellcheck disable=SC2086
    { chroot "$root.new" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive chroot "$root.new" apt-get install -y -qq --no-install-recommends $packages &&
        chroot "$root.new" apt-get clean; } >"$cache/apt.log" 2>&1 ||
        skip "the README's packages could not be installed from $mirror: $(tail -n 2 "$cache/apt.log")"
    touch "$root.new/.ready"
    mv "$root.new" "$root"
fi
# A library an interrupted run took away goes back first.
[ -e "$root/usr/lib/x86_64-linux-gnu/libfontconfig.so.1.away" ] &&
    mv "$root/usr/lib/x86_64-linux-gnu/libfontconfig.so.1.away" "$root/usr/lib/x86_64-linux-gnu/libfontconfig.so.1"
pass "a minimal Debian 12 with the README's packages: $packages"

x_start 1024x768
app_install_folder "$X_WORK/apps"
app="$APP_FOLDER"
"$QLY_BINARY_DIR/bin/qly-window-driver" launcher-script >"$app/quillery.sh"
printf 'page A here' >"$app/rtf/A.rtf"
# The stick, the display's socket and the system's own folders inside the root.
mkdir -p "$root/media/stick" "$root/tmp/.X11-unix"
mount --bind "$X_WORK/apps" "$root/media/stick"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
# The command that runs in the root (the launcher execs the program: its pid is the program's).
in_root=(chroot "$root" env -i DISPLAY="$DISPLAY" HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin)

"${in_root[@]}" sh /media/stick/Quillery/quillery.sh >"$X_WORK/app.log" 2>&1 &
APP_PID=$!
_x_pids+=($APP_PID)
main=$(wait_window Quillery) || fail "the stick's program did not start there: $(cat "$X_WORK/app.log")"
focus_new_window "$main" || fail "the window has no focus"
wait_drawn "$main" || fail "the window is not drawn"
shots="$QLY_BINARY_DIR/screenshots/another-computer"
mkdir -p "$shots"
import -window root "$shots/page-a.png"
[ "$(editor_text "$main")" = "page A here" ] || fail "page A is not shown: $(editor_text "$main")"
xdotool type --delay 20 ' typed there'
wait_page_has "$main" 'page A here typed there' || fail "the typing did not reach the page"

# Print, from the main menu: the computer has no CUPS.
read -r mx my _ _ <<<"$(win_geometry "$main")"
xdotool mousemove $((mx + 10)) $((my + 10)) click 1
wait_menus 1 || fail "the main menu did not open"
xdotool key n
wait_menus 2 || fail "the Note menu did not open"
xdotool key p
box=""
for _ in $(seq 200); do box=$(message_box "$main") && break; sleep 0.05; done
[ -n "$box" ] || fail "printing without CUPS showed nothing"
focus_new_window "$box" || fail "the message box has no focus"
wait_drawn "$box" || fail "the message box is not drawn"
import -window root "$shots/print.png"
# The box's words are checked in gui_print_nocups; here it is the box and not the preview.
_no_window "Print preview" || fail "the print preview opened without CUPS"
xdotool key Return
pass "without CUPS, Print shows a message box (screenshot print.png), no preview"

kill -TERM "$APP_PID"
wait_exit "$APP_PID" 10 || fail "the program did not end"
grep -q 'page A here typed there' "$app/rtf/A.rtf" || fail "the typing was not saved: $(cat "$app/rtf/A.rtf")"
pass "the stick's program started there, showed page A and saved the typing"

# One listed library gone: the launcher names it, on the terminal.
gone=/usr/lib/x86_64-linux-gnu/libfontconfig.so.1
[ -e "$root$gone" ] || fail "the root has no $gone"
mv "$root$gone" "$root$gone.away"
status=0
"${in_root[@]}" sh /media/stick/Quillery/quillery.sh >"$X_WORK/missing.log" 2>&1 || status=$?
mv "$root$gone.away" "$root$gone"
[ "$status" = 127 ] || fail "the launcher ended with $status: $(cat "$X_WORK/missing.log")"
grep -q 'lacks libraries it needs: libfontconfig\.so\.1\.' "$X_WORK/missing.log" ||
    fail "the launcher did not name the library: $(cat "$X_WORK/missing.log")"
pass "with libfontconfig.so.1 removed the launcher says: $(head -n1 "$X_WORK/missing.log")"
