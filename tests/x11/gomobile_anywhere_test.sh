#!/usr/bin/env bash
# The installed program folder on a stick runs on a computer without Qt. The installed folder
# (with its private runtime) copies itself by Go Mobile to a FAT stick mounted as desktops
# mount FAT (showexec: no file has an execute bit, chmod is refused) and to an exFAT stick;
# then, with the system's Qt hidden, the stick's launcher script starts the stick's program,
# which shows the stick's pages and writes only inside the stick's Quillery folder.
# The kernel here has no vfat or exfat: the sticks are FUSE mounts (fusefat under bindfs for
# showexec, exfat-fuse on a loop device) of images in a private mount namespace.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
run_in_mount_namespace "mounting sticks and hiding Qt in a private mount namespace" "$@"
. "$QLY_SOURCE_DIR/tests/x11/gomobile_lib.sh"
mount --make-rprivate /
for tool in fusefat bindfs mkfs.vfat; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh --test)"; exit 77; }
done

media="/media/$(id -un)"
made=""
for d in "$media" "$media/FATSTICK" "$media/EXSTICK"; do [ -d "$d" ] || made="$d $made"; done
mkdir -p "$media/FATSTICK" "$media/EXSTICK"
loop=""
cleanup() {
    local m
    for m in "$media/FATSTICK" "$media/EXSTICK" "$X_WORK/fat"; do umount "$m" 2>/dev/null || true; done
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
    for d in $made; do rmdir "$d" 2>/dev/null || true; done
    _x_cleanup
}
trap cleanup EXIT
x_start 1024x768
export HOME="$X_WORK/user" XDG_CONFIG_HOME="$X_WORK/user/.config"
mkdir -p "$HOME/Desktop"

# The home installation on this machine's disk: the installed folder with its runtime.
cmake --install "$QLY_BINARY_DIR" --prefix "$X_WORK/apps" --strip >"$X_WORK/install.log" ||
    fail "cmake --install: $(cat "$X_WORK/install.log")"
home="$X_WORK/apps/Quillery"
[ -f "$home/lib/libQt6Core.so.6" ] && [ -f "$home/lib/plugins/platforms/libqxcb.so" ] ||
    fail "the installed folder has no runtime"
mkdir -p "$home/rtf"
for c in A B C D E F G H I J K L M N O P Q R S T U V W X Y Z; do
    printf '{\\rtf1 home page %s}' "$c" >"$home/rtf/$c.rtf"
done
pass "installed with a runtime of $(du -sm "$home/lib" | cut -f1) MB ($(du -sm "$home" | cut -f1) MB in all)"

_escape_closes() { xdotool key Escape; sleep 0.1; _no_window "Go Mobile"; }

# Copies the home installation to the stick mounted at $1 with Go Mobile from the main menu.
copy_home_to() {
    app_start "$home"
    local main dlg
    main=$(wait_window Quillery) || fail "no home window"
    focus_new_window "$main" || fail "the home window has no focus"
    dlg=$(open_go_mobile "$main") || fail "Go Mobile did not open"
    copy_by_enter "$dlg"
    # A minute at most: some 60 MB go to a FUSE stick. The pages come first and the launcher
    # script last, once the program is there.
    local i
    for i in $(seq 1200); do [ -f "$1/Quillery/quillery.sh" ] && break; sleep 0.05; done
    [ -f "$1/Quillery/rtf/Z.rtf" ] || fail "the copy to $1 did not copy the pages"
    [ -f "$1/Quillery/quillery.sh" ] || fail "the copy to $1 did not end with the launcher script"
    # Esc waits until the copy has ended.
    wait_for _escape_closes || fail "the dialog did not close"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 5 || fail "the home program did not end"
    cmp -s "$home/lib/libQt6Core.so.6" "$1/Quillery/lib/libQt6Core.so.6" ||
        fail "the runtime did not travel to $1"
}

# Starts the launcher script of the stick at $1 with the system's Qt (and every library the
# runtime brings) hidden; checks that it runs on the stick's runtime, shows the stick's page
# and saves typing there, and that nothing was written outside the stick's Quillery folder.
run_from_stick_without_qt() {
    local stick="$1" app="$1/Quillery" name
    name=$(basename "$stick")
    printf '{\\rtf1 page A on %s}' "$name" >"$app/rtf/A.rtf"
    local marker="$X_WORK/before-$name"
    touch "$marker"
    local home_sums
    home_sums=$(cd "$home" && md5sum rtf/*.rtf)
    cat >"$X_WORK/hide-qt.sh" <<'HIDE'
for lib in "$1"/lib/*.so*; do
    for dir in /usr/lib/x86_64-linux-gnu /usr/lib; do
        [ -e "$dir/$(basename "$lib")" ] && mount --bind /dev/null "$dir/$(basename "$lib")"
    done
done
for lib in /usr/lib/x86_64-linux-gnu/libQt6*; do mount --bind /dev/null "$lib"; done
mount -t tmpfs -o size=1m tmpfs /usr/lib/x86_64-linux-gnu/qt6/plugins
shift
cd / && exec "$@"
HIDE
    # Qt is gone: the build tree's program, on the system's Qt, cannot start.
    if unshare -m bash "$X_WORK/hide-qt.sh" "$app" "$QLY_EXE" >"$X_WORK/noqt.log" 2>&1; then
        fail "Qt is not hidden"
    fi
    grep -q "error while loading shared libraries" "$X_WORK/noqt.log" || fail "Qt is not hidden: $(cat "$X_WORK/noqt.log")"
    unshare -m bash "$X_WORK/hide-qt.sh" "$app" sh "$app/quillery.sh" >"$X_WORK/$name.log" 2>&1 &
    APP_PID=$!
    _x_pids+=($APP_PID)
    local main
    main=$(wait_window "Quillery - $name") || fail "nothing started from $name: $(cat "$X_WORK/$name.log")"
    grep -E '/libQt6Core\.so|/libicuuc\.so|/libqxcb\.so|/libhunspell' "/proc/$APP_PID/maps" | awk '{print $6}' | sort -u >"$X_WORK/maps"
    [ "$(grep -c "^$app/lib/" "$X_WORK/maps")" = 4 ] && [ "$(wc -l <"$X_WORK/maps")" = 4 ] ||
        fail "not on the stick's runtime: $(cat "$X_WORK/maps")"
    focus_new_window "$main" || fail "the stick's window has no focus"
    [ "$(editor_text "$main")" = "page A on $name" ] || fail "the stick's page A is not shown"
    xdotool type --delay 10 ' typed here'
    wait_page_has "$main" "page A on $name typed here" || fail "the typing did not reach the page"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 10 || fail "the stick's program did not end"
    grep -q 'page A on [A-Z]* typed here' "$app/rtf/A.rtf" || fail "the typing was not saved on $name"
    [ "$(cd "$home" && md5sum rtf/*.rtf)" = "$home_sums" ] || fail "the home pages changed"
    # fusefat shows the volume label as a file of the root folder.
    local written
    written=$(find "$stick" "$HOME" -newer "$marker" -not -type d -not -path "$app/*" \
        -not -name "$name" 2>/dev/null || true)
    [ -z "$written" ] || fail "written outside the stick's Quillery folder: $written"
    for d in /lib64 /usr/lib/x86_64-linux-gnu /usr/lib; do
        if ls "$d"/*.ini "$d/rtf" "$d/backup" >/dev/null 2>&1; then fail "written into the loader's folder $d"; fi
    done
}

# A FAT stick, mounted as desktops mount it: showexec leaves no execute bit, chmod is refused.
# 8 KB clusters, as sticks come formatted: fusefat cannot grow a folder past its first small
# cluster once files were renamed in it.
truncate -s 128M "$X_WORK/fat.img"
mkfs.vfat -s 16 -n FATSTICK "$X_WORK/fat.img" >/dev/null
mkdir -p "$X_WORK/fat"
fusefat -o rw+,big_writes "$X_WORK/fat.img" "$X_WORK/fat" >"$X_WORK/fusefat.log" 2>&1 ||
    fail "fusefat: $(cat "$X_WORK/fusefat.log")"
bindfs --perms=a-x:a+D --chmod-deny "$X_WORK/fat" "$media/FATSTICK"
copy_home_to "$media/FATSTICK"
[ ! -x "$media/FATSTICK/Quillery/qly" ] || fail "the FAT stick's program has an execute bit"
run_from_stick_without_qt "$media/FATSTICK"
pass "FAT (showexec): copied, started by sh quillery.sh without Qt, kept to the stick"
umount "$media/FATSTICK" "$X_WORK/fat"

# An exFAT stick: every file has every mode bit there, so the launcher runs the program itself.
if ! command -v mount.exfat-fuse >/dev/null || ! command -v mkfs.exfat >/dev/null; then
    echo "SKIP: exFAT: exfat-fuse or exfatprogs is not installed"
    exit 0
fi
truncate -s 128M "$X_WORK/exfat.img"
mkfs.exfat -L EXSTICK "$X_WORK/exfat.img" >/dev/null
# exfat-fuse run by root mounts block devices only.
if ! loop=$(losetup --find --show "$X_WORK/exfat.img" 2>"$X_WORK/losetup.log"); then
    loop=""
    echo "SKIP: exFAT: no loop device here ($(cat "$X_WORK/losetup.log"))"
    exit 0
fi
mount.exfat-fuse "$loop" "$media/EXSTICK" >"$X_WORK/exfat.log" 2>&1 || fail "exfat-fuse: $(cat "$X_WORK/exfat.log")"
copy_home_to "$media/EXSTICK"
run_from_stick_without_qt "$media/EXSTICK"
pass "exFAT: copied, started by sh quillery.sh without Qt, kept to the stick"
