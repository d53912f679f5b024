#!/usr/bin/env bash
# Spelling in a real X session with the system's Hunspell dictionaries (en_US and de_DE): red
# under misspelt words only, a page only viewed left as its file was, the menu's suggestion
# saved into the page, a word added to the personal list kept across a restart and carried by
# Go Mobile to a stick whose program checks with the stick's dictionaries alone.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
for d in en_US de_DE; do
    if [ ! -f "/usr/share/hunspell/$d.dic" ]; then
        echo "SKIP: the $d dictionary is not installed (scripts/deps.sh --test installs it)"
        exit 77
    fi
done
run_in_mount_namespace "mounting a stick and hiding the system's dictionaries" "$@"
. "$QLY_SOURCE_DIR/tests/x11/gomobile_lib.sh"
mount --make-rprivate /
STICK="/media/$(id -un)/SPELLSTICK"
made=""
for d in "$(dirname "$STICK")" "$STICK"; do [ -d "$d" ] || made="$d $made"; done
mkdir -p "$STICK"
trap 'umount "$STICK" 2>/dev/null; for d in $made; do rmdir "$d" 2>/dev/null || true; done; _x_cleanup' EXIT
# Room for a program built with the address sanitizer.
mount -t tmpfs -o size=256m tmpfs "$STICK"
x_start 1024x768
export HOME="$X_WORK/user" XDG_CONFIG_HOME="$X_WORK/user/.config" LANG=C.UTF-8 LC_ALL=C.UTF-8
mkdir -p "$HOME/Desktop"
shots="$QLY_BINARY_DIR/screenshots"
mkdir -p "$shots"

app="$X_WORK/home"
app_install "$app"
cp "$QLY_BINARY_DIR/Quillery/qly.chm" "$app/"
mkdir -p "$app/rtf"
printf '{\\rtf1\\ansi teh quick brwon Fahrrad\\par}' >"$app/rtf/A.rtf"
printf '{\\rtf1\\ansi Quillerya quick teh\\par}' >"$app/rtf/B.rtf"
printf '[Spelling]\nCheckAsYouType=1\nLanguages=en_US,de_DE\n' >"$app/qly.ini"

# The separate runs of red (misspelling underlines: red, never the page's colours) across the
# editor of window WID as the screen shows it: their count, runs split by gaps over 6 pixels.
red_runs() {
    local x y w h
    read -r x y w h < <(win_geometry "$1")
    w=$((w - 16)); h=$((h - 40))
    import -window root -crop "${w}x$h+$((x + 8))+$((y + 36))" -depth 8 rgb:- 2>/dev/null |
        /usr/bin/python3 -c '
import sys
w = int(sys.argv[1]); data = sys.stdin.buffer.read(); xs = set()
for i in range(0, len(data) - 2, 3):
    r, g, b = data[i], data[i + 1], data[i + 2]
    if r > 150 and g < 130 and r > b + 60:
        xs.add((i // 3) % w)
runs, last = 0, -100
for x in sorted(xs):
    runs += x > last + 6
    last = x
print(runs)' "$w"
}
_red_runs_are() { [ "$(red_runs "$1")" = "$2" ]; }
identity() { stat -c '%d %i %s %Y.%y' "$1"; }
start_app() {
    app_start "$1"
    main=$(wait_window "${2:-Quillery}") || fail "no main window: $(cat "$X_WORK/app.log")"
    focus_new_window "$main" || fail "the main window has no focus"
}
stop_app() {
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" 5 || fail "the program did not end"
}

# A page only viewed: two words marked (the German one is right with both languages on), and
# its file untouched at exit.
before=$(identity "$app/rtf/A.rtf")
start_app "$app"
wait_for _red_runs_are "$main" 2 || fail "expected red under two words, saw $(red_runs "$main") runs"
import -window root "$shots/spelling-marks.png"
pass "\"teh quick brwon Fahrrad\": red under two words, the German one accepted"
stop_app
[ "$(identity "$app/rtf/A.rtf")" = "$before" ] || fail "the page only viewed was written"
pass "a page with misspellings, only viewed, is not written"

# The menu at the caret (the page's start: "teh") from the keyboard; its first item replaces it.
start_app "$app"
wait_for _red_runs_are "$main" 2 || fail "no marks after the restart"
xdotool key shift+F10
wait_menus 1 || fail "Shift+F10 opened no menu"
import -window root "$shots/spelling-menu.png"
# A menu opened by a key starts with its first item active.
xdotool key Return
wait_for _red_runs_are "$main" 1 || fail "the chosen suggestion left $(red_runs "$main") marks"
stop_app
grep -q 'the quick brwon' "$app/rtf/A.rtf" || fail "the page does not hold the suggestion: $(cat "$app/rtf/A.rtf")"
pass "the menu's first suggestion for \"teh\" is \"the\", saved in the page"

# "Add to Dictionary" on page B's first word.
start_app "$app"
xdotool key ctrl+Next
wait_for _red_runs_are "$main" 2 || fail "page B: expected two marks, saw $(red_runs "$main")"
xdotool key shift+F10
wait_menus 1 || fail "no menu on page B"
xdotool key a
wait_file_has "$app/qly.dic" '^Quillerya$' || fail "the word did not reach the personal list"
wait_for _red_runs_are "$main" 1 || fail "the added word kept its mark"
stop_app
start_app "$app"
wait_for _red_runs_are "$main" 1 || fail "after a restart the added word is marked again"
pass "\"Add to Dictionary\" survives a restart"

# F7 goes to the next misspelt word ("teh", after the caret) and opens the menu there; its
# "Ignore All" takes the last mark away. The Menu key opens the menu too.
xdotool key F7
wait_menus 1 || fail "F7 opened no menu"
xdotool key g
wait_for _red_runs_are "$main" 0 || fail "Ignore All from F7's menu left $(red_runs "$main") marks"
xdotool key Menu
wait_menus 1 || fail "the Menu key opened no menu"
xdotool key Escape
pass "F7 opens the menu on the next misspelt word; the Menu key opens the menu"

# Go Mobile to the stick, then the stick's program with the system's dictionaries hidden.
dlg=$(open_go_mobile "$main") || fail "Go Mobile did not open"
copy_by_enter "$dlg"
wait_file_has "$STICK/Quillery/rtf/B.rtf" 'Quillerya' || fail "Go Mobile did not copy the pages"
# The program and then the launcher come after the pages: the launcher means the copy is done
# (the runtime's 60 MB may take a while on a loaded machine).
wait_long test -s "$STICK/Quillery/quillery.sh" || fail "Go Mobile did not finish the copy"
for f in dict/en_US.aff dict/en_US.dic dict/de_DE.aff dict/de_DE.dic; do
    [ -s "$STICK/Quillery/$f" ] || fail "Go Mobile did not carry $f"
done
grep -qx Quillerya "$STICK/Quillery/qly.dic" || fail "Go Mobile did not carry the personal list"
xdotool key Escape
stop_app
mount -t tmpfs tmpfs /usr/share/hunspell
start_app "$STICK/Quillery" "Quillery - $(basename "$STICK")"
wait_for _red_runs_are "$main" 1 || fail "the stick's program: expected only \"teh\" marked, saw $(red_runs "$main")"
import -window root "$shots/spelling-stick.png"
stop_app
umount /usr/share/hunspell
pass "the stick's program checks with its own dict/ and knows the added word"
