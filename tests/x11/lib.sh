# Shared helpers for tests that run Quillery in a real X session. Source it from a test:
#   . "$QLY_SOURCE_DIR/tests/x11/lib.sh"; x_start; app_install "$dir"; ...
# Everything started here is stopped when the test's shell exits.

set -euo pipefail
: "${QLY_BINARY_DIR:?run me through ctest}"
QLY_EXE="$QLY_BINARY_DIR/Quillery/qly"

_x_pids=()
# Whether process PID runs (an ended child that was not waited for does not).
_running() { local s; s=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) && [ "$s" != Z ]; }
_x_cleanup() {
    local p i n=${#_x_pids[@]}
    # The last started first: clients end before the display they use goes away.
    for ((i = n - 1; i >= 0; i--)); do kill "${_x_pids[i]}" 2>/dev/null || true; done
    # A client whose display went first may hang instead of ending (a desktop panel did): what
    # still runs after five seconds is killed.
    for p in "${_x_pids[@]}"; do
        for i in $(seq 100); do _running "$p" || break; sleep 0.05; done
        kill -KILL "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    [ -n "${X_WORK:-}" ] && rm -rf "$X_WORK"
}
trap _x_cleanup EXIT

# Runs this test again as root in a private mount namespace of its own, where it may mount
# sticks; skips (status 77) where that cannot be. WHAT says what needs it.
run_in_mount_namespace() {
    [ -n "${QLY_IN_MOUNT_NS:-}" ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "SKIP: $1 needs root"
        exit 77
    fi
    if ! unshare -m true 2>/dev/null; then
        echo "SKIP: no private mount namespace here (unshare -m is refused)"
        exit 77
    fi
    shift
    exec unshare -m env QLY_IN_MOUNT_NS=1 bash "$0" "$@"
}

fail() {
    echo "FAIL: $*" >&2
    _x_report >&2 || true
    exit 1
}
# What the session looked like when a test failed: the windows, the one with the focus, how the
# program was doing and what it and the window manager printed.
_x_report() {
    [ -n "${DISPLAY:-}" ] && [ -n "${X_WORK:-}" ] || return 0
    local w active
    active=$(xdotool getactivewindow 2>/dev/null || echo none)
    echo "--- windows (active: $active)"
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        echo "  $w \"$(xdotool getwindowname "$w" 2>/dev/null)\" $(win_geometry "$w" 2>/dev/null)"
    done
    if [ -n "${APP_PID:-}" ] && _running "$APP_PID"; then
        echo "--- program $APP_PID: state $(awk '{print $3}' "/proc/$APP_PID/stat")," \
            "waits in $(cat "/proc/$APP_PID/wchan" 2>/dev/null)"
        command -v gdb >/dev/null &&
            timeout 20 gdb -p "$APP_PID" -batch -ex 'thread apply all bt 12' 2>/dev/null |
            grep -E '^(Thread|#)' | head -60
    fi
    local f
    for f in app.log openbox.log; do
        [ -s "$X_WORK/$f" ] && { echo "--- $f"; tail -n 20 "$X_WORK/$f"; }
    done
    return 0
}
pass() { echo "PASS: $*"; }

# Starts Xvfb (WIDTHxHEIGHT, default 1024x768) with openbox, and sets DISPLAY.
# Each call gives the test its own display and its own runtime folder.
x_start() {
    local size="${1:-1024x768}"
    X_WORK="$(mktemp -d /tmp/qly-x.XXXXXX)"
    export XDG_RUNTIME_DIR="$X_WORK/run"
    mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
    Xvfb -displayfd 1 -screen 0 "${size}x24" -nolisten tcp >"$X_WORK/display" 2>"$X_WORK/xvfb.log" &
    _x_pids+=($!)
    local i
    for i in $(seq 100); do [ -s "$X_WORK/display" ] && break; sleep 0.05; done
    export DISPLAY=":$(head -n1 "$X_WORK/display")"
    # Openbox runs its start-up command once it manages windows as they come. One mapped
    # before that (even after it has claimed the screen) is managed as a window it found at its
    # start, and is not given the focus.
    openbox --sm-disable --startup "touch $X_WORK/wm-ready" >"$X_WORK/openbox.log" 2>&1 &
    _x_pids+=($!)
    for i in $(seq 200); do [ -e "$X_WORK/wm-ready" ] && break; sleep 0.05; done
    [ -e "$X_WORK/wm-ready" ] || fail "openbox did not start: $(cat "$X_WORK/openbox.log")"
    unset QT_QPA_PLATFORM
    export QT_QPA_PLATFORM=xcb
}

# Copies the program into a folder of its own (it keeps its settings and pages beside it).
app_install() {
    mkdir -p "$1"
    cp "$QLY_EXE" "$1/qly"
}

# Starts the program from a folder in the background; APP_PID is its process id.
app_start() {
    "$1/qly" >"$X_WORK/app.log" 2>&1 &
    APP_PID=$!
    _x_pids+=($APP_PID)
}

# Waits until a visible window named NAME exists; prints its id.
wait_window() {
    local name="$1" i id
    for i in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.05
    done
    return 1
}

# Waits for a process to end, at most SECONDS (default 10); fails otherwise.
wait_exit() {
    local pid="$1" secs="${2:-10}" i
    for i in $(seq $((secs * 20))); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
        sleep 0.05
    done
    return 1
}

# Geometry of a window as "X Y W H" (outer, absolute).
win_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# The colour of one screen pixel as "#RRGGBB".
pixel_at() {
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | tail -n1 | grep -o '#[0-9A-F]\{6\}'
}

# Starts trayer as the system tray host, a panel at the bottom right of the screen, and
# waits until it is there.
tray_start() {
    trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
        --height 28 --SetDockType true --SetPartialStrut true --transparent false \
        >"$X_WORK/trayer.log" 2>&1 &
    _x_pids+=($!)
    local i
    for i in $(seq 100); do
        xdotool search --name '^panel$' >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

# The centre of the program's icon in the tray as "X Y"; fails while there is none.
tray_icon_centre() {
    local panel i line
    panel=$(xdotool search --name '^panel$' | head -n1) || return 1
    for i in $(seq 60); do
        line=$(xwininfo -id "$panel" -tree | grep '"Quillery"' | head -n1 || true)
        if [ -n "$line" ]; then
            echo "$line" | awk '{split($(NF-1), s, "[x+]"); split($NF, a, "+");
                print a[2] + int(s[1] / 2), a[3] + int(s[2] / 2)}'
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# The atoms of a window's _NET_WM_STATE, one a line.
# The title bar's Minimize button of the main window WID (inside its 4-pixel sizing frame).
MAIN_BORDER=4
click_minimize() {
    local x y w h
    read -r x y w h < <(win_geometry "$1")
    xdotool mousemove $((x + w - MAIN_BORDER - 41 + 4 + 8)) $((y + MAIN_BORDER + 2 + 8)) click 1
}
has_state() { net_wm_state "$1" | grep -qx "$2"; }
mapped() { xwininfo -id "$1" | grep -q 'IsViewable'; }
# Runs a check until it holds, for ten seconds at most (CI runs several X sessions at once).
wait_for() {
    local i
    for i in $(seq 200); do "$@" && return 0; sleep 0.05; done
    return 1
}
# As wait_for, for up to about a minute: for what copies the 60 MB runtime on a loaded machine.
wait_long() {
    local i
    for i in 1 2 3 4 5 6; do wait_for "$@" && return 0; done
    return 1
}
# The window that has the input focus is WID (the program can take keys now).
wait_active() { wait_for _is_active "$1"; }
_is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
# For tests about something else than start-up focus: a new window WID that the window manager
# did not focus is clicked into focus, as a user would, with a note and the session's report.
focus_new_window() {
    wait_active "$1" && return 0
    echo "NOTE: the window manager did not focus new window $1; activating it"
    _x_report
    xdotool windowactivate "$1" 2>/dev/null
    wait_active "$1"
}
# The window WID is at "X Y W H" (outer, absolute).
wait_geometry() { wait_for _geometry_is "$1" "$2"; }
_geometry_is() { [ "$(win_geometry "$1")" = "$2" ]; }
# The screen pixel at X,Y is (or is no longer) "#RRGGBB".
wait_pixel() { wait_for _pixel_is "$1" "$2" "$3"; }
wait_pixel_not() { wait_for _pixel_is_not "$1" "$2" "$3"; }
_pixel_is() { [ "$(pixel_at "$1" "$2")" = "$3" ]; }
_pixel_is_not() { [ "$(pixel_at "$1" "$2")" != "$3" ]; }
# FILE exists and holds a line matching the extended regular expression PATTERN.
wait_file_has() { wait_for grep -qE "$2" "$1" 2>/dev/null; }
# No visible window is named NAME (any more).
wait_gone() { wait_for _no_window "$1"; }
_no_window() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# Every key sent to the program so far has been handled: F1 goes after them, and the help
# window it opens shows once the keys before it are through. Needs qly.chm in FOLDER.
keys_handled() {
    [ -f "$1/qly.chm" ] || fail "keys_handled needs the help file in $1"
    xdotool key F1
    wait_window "Quillery Help" >/dev/null
}
# At least N (default 1) menus of the program are open: windows of its own beside the main
# window, which is the only one before a menu opens.
wait_menus() { wait_for _menus_open "${1:-1}"; }
_menus_open() { [ "$(xdotool search --onlyvisible --classname '^qly$' 2>/dev/null | wc -l)" -gt "$1" ]; }
# The screen area W x H at X,Y holds more than one colour: something is drawn on it.
wait_ink() { wait_for _has_ink "$@"; }
_has_ink() { [ "$(import -window root -crop "$3x$4+$1+$2" -format '%k' info: 2>/dev/null)" -gt 1 ]; }
# The window WID is drawn: its area holds more than one colour.
wait_drawn() { wait_for _drawn "$1"; }
_drawn() { local x y w h; read -r x y w h < <(win_geometry "$1") && _has_ink "$x" "$y" "$w" "$h"; }

# The visible 34 x 50 window of the program: the floating button.
floating_button() {
    local i w
    for i in $(seq 60); do
        for w in $(xdotool search --onlyvisible --classname '^qly$' 2>/dev/null); do
            [ "$(win_geometry "$w" | cut -d' ' -f3-)" = "34 50" ] && { echo "$w"; return 0; }
        done
        sleep 0.05
    done
    return 1
}

net_wm_state() {
    xprop -id "$1" _NET_WM_STATE | sed -n 's/.*= //p' | tr -d ' ' | tr ',' '\n'
}

# Runs each case of a GoogleTest program in a process of its own (each start of the program has
# its one main window); BEFORE_CASE, when set, is run first each time. Fails when a case fails.
run_gtest_cases() {
    local exe="$1" t status=0
    for t in $("$exe" --gtest_list_tests | awk '/^[^ ]/{s=$1} /^  /{print s $1}'); do
        [ -n "${BEFORE_CASE:-}" ] && $BEFORE_CASE
        if "$exe" --gtest_filter="$t" >"$X_WORK/case.log" 2>&1; then
            pass "$t"
        else
            cat "$X_WORK/case.log" >&2
            echo "FAIL: $t"
            status=1
        fi
    done
    return $status
}

# The text of the main window WID's page, read through the clipboard; the caret ends at the
# page's end with nothing selected.
editor_text() {
    local x y _w _h
    read -r x y _w _h < <(win_geometry "$1")
    xdotool mousemove $((x + 200)) $((y + 200)) click 1 key ctrl+a ctrl+c ctrl+End
    xclip -o -selection clipboard 2>/dev/null
}
# The page shown in window WID holds TEXT: what was typed has been handled, and a signal to
# end the program cannot overtake it. Read as a user would, by select all and copy.
wait_page_has() { wait_for _page_has "$1" "$2"; }
_page_has() { editor_text "$1" | grep -qF -- "$2"; }
# Replaces a file as sync clients and editors do: written aside, then renamed over it.
replace_file() {
    printf '%s' "$2" >"$1.sync-tmp"
    mv -f "$1.sync-tmp" "$1"
}
# True when a visible window other than WID has the program's caption (a message box).
message_box() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Quillery$' 2>/dev/null); do
        [ "$w" != "$1" ] && { echo "$w"; return 0; }
    done
    return 1
}
no_message_box() { ! message_box "$1" >/dev/null; }
# A visible dialog of the program's (a message box), whether the main window is up or not;
# prints its id.
program_dialog() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Quillery$' 2>/dev/null); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG && { echo "$w"; return 0; }
    done
    return 1
}
# Answers the message box over WID with its default button, and waits until it is gone.
answer_box() {
    local box
    box=$(wait_for message_box "$1") || return 1
    # Under load the window manager may not take the first activation: ask again.
    wait_for xdotool windowactivate --sync "$box" 2>/dev/null || true
    xdotool key Return
    wait_for no_message_box "$1"
}

# The installed program folder as users get it (`cmake --install`, the private runtime in lib/):
# made in DIR; APP_FOLDER is DIR/Quillery, with an empty page folder.
app_install_folder() {
    cmake --install "$QLY_BINARY_DIR" --prefix "$1" --strip >"$X_WORK/install.log" 2>&1 ||
        fail "cmake --install: $(cat "$X_WORK/install.log")"
    APP_FOLDER="$1/Quillery"
    [ -f "$APP_FOLDER/lib/libQt6Core.so.6" ] || fail "the installed folder has no runtime"
    mkdir -p "$APP_FOLDER/rtf"
}

# The contrast ratio (WCAG 2) of the area W x H at X,Y in the picture FILE: between its most
# common colour (the ground) and the colour that stands out most from it among those covering
# at least 12 pixels (text strokes; the few blended pixels at their edges do not count).
# A colour given as "R G B" in IGNORE (such as what lies around a control) is left out.
# Prints the ratio and the ground's relative luminance.
contrast_in() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -depth 8 -format %c histogram:info:- |
        sed -n 's/^ *\([0-9]*\): *( *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)[,)].*/\1 \2 \3 \4/p' |
        awk -v ignore="${6:-}" '
             function lin(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
             function lum(r, g, b) { return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b) }
             $2 " " $3 " " $4 == ignore { next }
             { k++; n[k] = $1; l[k] = lum($2, $3, $4); if ($1 > most) { most = $1; ground = k } }
             END { best = 1
                   for (i = 1; i <= k; i++) if (n[i] >= 12) {
                       a = l[i] > l[ground] ? l[i] : l[ground]; b = l[i] > l[ground] ? l[ground] : l[i]
                       r = (a + 0.05) / (b + 0.05); if (r > best) best = r }
                   printf "%.2f %.3f\n", best, l[ground] }'
}
# The colour of the pixel at X,Y in the picture FILE, as "R G B".
colour_in() {
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- |
        sed -n 's/^0,0: *( *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)[,)].*/\1 \2 \3/p'
}
