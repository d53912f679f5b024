#!/usr/bin/env bash
# Kill test: CYCLES times, start Quillery under Xvfb, type words (with pauses, and now and
# then a page switch, which saves a page), and SIGKILL it at a random moment. After each kill:
# every page file reads back whole, qly.ini is unchanged, and when more than the recovery
# pause passed since the last key, every word typed is in a page file or a recovery copy. At
# the next start: no temporary file is left, and the recovery box is offered when a copy was
# due; Restore is pressed. Prints cycles, losses and the longest span of typing lost.
# Usage: bench/kill-cycles.sh [CYCLES]   (needs a built tree in build/)
set -uo pipefail
src="${QLY_SOURCE_DIR:-$(cd "$(dirname "$0")/.." && pwd)}"
export QLY_SOURCE_DIR="$src" QLY_BINARY_DIR="${QLY_BINARY_DIR:-$src/build}"
cycles="${1:-300}"
. "$src/tests/x11/lib.sh"
set +e
x_start 1024x768
rtftool="$X_WORK/qly-rtf"
cp "$QLY_BINARY_DIR/bin/qly-rtf" "$rtftool"
app="$X_WORK/app"
app_install "$app"
mkdir -p "$app/rtf"
# Pages large enough that a save takes a while: kills land inside saves too.
python3 - "$app/rtf" <<'PY'
import random, sys
random.seed(3)
words = "note page quill ink letter idea plan list meeting call".split()
for letter in "ABC":
    lines = [" ".join(random.choice(words) for _ in range(12)) for _ in range(2500)]
    body = "\\par\n".join(lines)
    open(f"{sys.argv[1]}/{letter}.rtf", "w").write("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + body + "\\par}")
PY
IDLE=2.0   # the recovery pause of the program
MARGIN=0.5 # for timers on a loaded machine

now() { date +%s.%N; }
fgt() { awk -v a="$1" -v b="$2" 'BEGIN{exit !(a > b)}'; }
rand() { awk -v s="$RANDOM$RANDOM" -v lo="$1" -v hi="$2" 'BEGIN{srand(s); printf "%.3f", lo + rand() * (hi - lo)}'; }
temporaries() {
    find "$app" \( -name '*.rtf.??????' -o -name 'qly.ini.??????' \) 2>/dev/null
}
all_text() {
    local f
    for f in "$app"/rtf/*.rtf "$app"/recovery/*.rtf; do
        [ -f "$f" ] && "$rtftool" text "$f" 2>/dev/null
    done
}

# The reference settings: one normal start and close.
app_start "$app"
wait_window Quillery >/dev/null || fail "no main window"
sleep 1
kill -TERM "$APP_PID"; wait_exit "$APP_PID" || fail "no exit"
cp "$app/qly.ini" "$X_WORK/qly.ini.ref"

losses=0 longest=0 offered=0 boxes_due=0 temps_after_kill=0
copy_due=0
for cycle in $(seq "$cycles"); do
    # A copy newer than its page is offered at the start.
    copies="$(find "$app/recovery" -name '?.rtf' 2>/dev/null)"
    app_start "$app"
    wait_window Quillery >/dev/null || { echo "cycle $cycle: no main window"; losses=$((losses + 1)); continue; }
    # The recovery box has the program's caption too: the main window is the tall one.
    main="" box=""
    for _ in $(seq $([ -n "$copies" ] && echo 100 || echo 10)); do
        for w in $(xdotool search --onlyvisible --name '^Quillery$' 2>/dev/null); do
            read -r _ _ _ wh <<<"$(win_geometry "$w" 2>/dev/null)"
            if [ "${wh:-0}" -ge 250 ]; then main=$w; else box=$w; fi
        done
        [ -n "$box" ] && [ -n "$main" ] && break
        sleep 0.05
    done
    [ -n "$main" ] || main=$(wait_window Quillery)
    if [ -n "$box" ]; then
        offered=$((offered + 1))
        xdotool windowactivate --sync "$box" key Return 2>/dev/null
        sleep 0.3
    elif [ "$copy_due" = 1 ]; then
        echo "cycle $cycle: the text typed before the last kill was not offered"
        losses=$((losses + 1))
    fi
    left="$(temporaries)"
    if [ -n "$left" ]; then
        echo "cycle $cycle: temporary files left at start: $left"
        losses=$((losses + 1))
    fi
    read -r mx my _ _ <<<"$(win_geometry "$main")"
    xdotool mousemove $((mx + 200)) $((my + 200)) click 1 key ctrl+End 2>/dev/null

    : >"$X_WORK/typed"
    kill_after=$(rand 0.2 5)
    (sleep "$kill_after"; now >"$X_WORK/killed"; kill -KILL "$APP_PID") &
    killer=$!
    n=0 last_key=$(now)
    while kill -0 "$APP_PID" 2>/dev/null && [ ! -s "$X_WORK/killed" ]; do
        n=$((n + 1))
        token="c${cycle}w${n}"
        echo "$token $(now)" >>"$X_WORK/typed"
        xdotool type --delay 8 "$token " 2>/dev/null
        last_key=$(now)
        if fgt "$(rand 0 1)" 0.85; then
            xdotool mousemove $((mx + 4 + 100)) $((my + 4 + 10)) click 1 2>/dev/null # Next
            xdotool mousemove $((mx + 200)) $((my + 200)) click 1 key ctrl+End 2>/dev/null
        fi
        if fgt "$(rand 0 1)" 0.6; then sleep "$(rand 1 3.5)"; else sleep "$(rand 0 0.3)"; fi
    done
    wait "$killer" 2>/dev/null
    wait_exit "$APP_PID" 10
    killed=$(cat "$X_WORK/killed"); rm -f "$X_WORK/killed"

    [ -n "$(temporaries)" ] && temps_after_kill=$((temps_after_kill + 1))
    # Every page file whole: it parses and ends where an RTF document ends.
    for f in "$app"/rtf/*.rtf; do
        if ! "$rtftool" text "$f" >/dev/null 2>&1 || [ "$(tr -d '\r\n' <"$f" | tail -c 1)" != "}" ]; then
            echo "cycle $cycle: $f is not whole"
            losses=$((losses + 1))
        fi
    done
    cmp -s "$app/qly.ini" "$X_WORK/qly.ini.ref" || { echo "cycle $cycle: qly.ini changed"; losses=$((losses + 1)); }
    # The words typed: present in a page or a copy, else lost.
    text="$(all_text)"
    first_lost="" lost_token=""
    while read -r token at; do
        grep -qw -- "$token" <<<"$text" || { first_lost=$at lost_token=$token; break; }
    done <"$X_WORK/typed"
    pause=$(awk -v k="$killed" -v l="$last_key" 'BEGIN{printf "%.3f", k - l}')
    copy_due=0
    if fgt "$pause" "$(awk -v a=$IDLE -v b=$MARGIN 'BEGIN{print a + b}')" && [ -s "$X_WORK/typed" ]; then
        copy_due=1
        boxes_due=$((boxes_due + 1))
        if [ -n "$first_lost" ]; then
            echo "cycle $cycle: words from $lost_token on were lost, though the last key came ${pause}s before the kill"
            losses=$((losses + 1))
        fi
    fi
    if [ -n "$first_lost" ]; then
        gap=$(awk -v k="$killed" -v f="$first_lost" 'BEGIN{printf "%.3f", k - f}')
        fgt "$gap" "$longest" && longest=$gap
    fi
    # A copy is offered only while it is newer than its page: a kill right after a switch
    # leaves none due.
    [ -n "$(find "$app/recovery" -name '?.rtf' 2>/dev/null)" ] || copy_due=0
    [ $((cycle % 25)) = 0 ] && echo "after $cycle cycles: losses $losses, longest gap ${longest}s"
done
# One more start: the leftovers of the last kill go too.
app_start "$app"
wait_window Quillery >/dev/null
sleep 1
[ -n "$(temporaries)" ] && { echo "temporary files left after the last start"; losses=$((losses + 1)); }
kill -KILL "$APP_PID"
echo "cycles: $cycles"
echo "losses: $losses"
echo "longest gap of text lost: ${longest}s"
echo "recovery boxes offered: $offered (due after a pause of more than ${IDLE}s + ${MARGIN}s: $boxes_due)"
echo "kills that left a temporary file (inside a save or a copy): $temps_after_kill"
