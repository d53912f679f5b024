#!/usr/bin/env bash
# Go Mobile end to end: the real dialog in an X session copies to a stick (a size-limited tmpfs
# under /media in a private mount namespace) and back home; the launcher it leaves on the
# desktop passes desktop-file-validate and starts the home program.
if [ "$(id -u)" != 0 ]; then
    echo "SKIP: mounting a stick in a private mount namespace needs root"
    exit 77
fi
if [ -z "${QLY_IN_MOUNT_NS:-}" ]; then
    exec unshare -m env QLY_IN_MOUNT_NS=1 bash "$0" "$@"
fi
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
mount --make-rprivate /
STICK="/media/$(id -un)/STICK"
mkdir -p "$STICK"
trap 'rmdir "$STICK" 2>/dev/null || true; _x_cleanup' EXIT
x_start 1024x768
export HOME="$X_WORK/user" XDG_CONFIG_HOME="$X_WORK/user/.config"
mkdir -p "$HOME/Desktop"
# The home installation lies on a fixed disk: the build tree's.
export QLY_STICK="$STICK" QLY_E2E_HOME="$QLY_BINARY_DIR/gomobile-e2e"
mkdir -p "$QLY_E2E_HOME"

"$QLY_BINARY_DIR/bin/gui_mobileform_tests" --gtest_filter='GoMobileStick.*' \
    || fail "the dialog's cases"

launcher="$HOME/Desktop/Quillery.desktop"
desktop-file-validate "$launcher" || fail "the launcher does not validate"
pass "the launcher validates"
home_program="$QLY_E2E_HOME/CopiesToTheStickAndBringsThePagesHome/qly"
exec_line=$(sed -n 's/^Exec=//p' "$launcher")
path=$(sed -n 's/^Path=//p' "$launcher")
[ "${path%/}" = "$(dirname "$home_program")" ] || fail "Path= is $path"
(cd "$path" && eval "exec $exec_line") >"$X_WORK/launched.log" 2>&1 &
launched=$!
_x_pids+=($launched)
wait_window Quillery >/dev/null || fail "the launcher started no Quillery window"
[ "$(readlink "/proc/$launched/exe")" = "$home_program" ] || fail "the launcher started another program"
pass "the launcher starts the home program"
