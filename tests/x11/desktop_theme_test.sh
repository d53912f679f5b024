#!/usr/bin/env bash
# The installed folder takes the desktop's theme through the GTK theme plugin of its own runtime:
# under Adwaita-dark the options dialog and the title bar's page letter are dark and readable,
# a 16-point desktop font makes the dialogs grow, and without GTK the program starts as before.
. "$QLY_SOURCE_DIR/tests/x11/lib.sh"
x_start 1024x768
export HOME="$X_WORK/user" XDG_CONFIG_HOME="$X_WORK/user/.config"
mkdir -p "$XDG_CONFIG_HOME"
shots="$QLY_BINARY_DIR/screenshots/desktop-theme"
mkdir -p "$shots"
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE GTK_THEME

app_install_folder "$X_WORK/apps"
app="$APP_FOLDER"
[ -f "$app/lib/plugins/platformthemes/libqgtk3.so" ] || fail "the runtime has no GTK theme plugin"
[ -z "$(find "$app/lib" -name 'libgtk-3*' -o -name 'libpango*' -o -name 'libwayland-*')" ] ||
    fail "the desktop's own libraries were bundled: $(ls "$app/lib")"
printf 'page A' >"$app/rtf/A.rtf"
# The title bar's height, in pixels, as the settings give it.
title=30
printf '[Main]\nTitleHeight=%s\n' "$title" >"$app/qly.ini"

# Starts the installed program, opens Options from the main menu and takes a screenshot named
# NAME; sets MAIN and DIALOG to the windows' "X Y W H".
options_shot() {
    local name="$1" main dlg
    app_start "$app"
    main=$(wait_window Quillery) || fail "no main window ($name)"
    focus_new_window "$main" || fail "the main window has no focus ($name)"
    wait_drawn "$main" || fail "the main window is not drawn ($name)"
    MAIN="$(win_geometry "$main")"
    cp "/proc/$APP_PID/maps" "$X_WORK/$name.maps"
    import -window root "$shots/$name-main.png"
    read -r mx my _ _ <<<"$MAIN"
    xdotool mousemove $((mx + 10)) $((my + 10)) click 1
    wait_menus 1 || fail "the main menu did not open ($name)"
    xdotool key o
    dlg=$(wait_window Options) || fail "Options did not open ($name)"
    wait_drawn "$dlg" || fail "Options is not drawn ($name)"
    DIALOG="$(win_geometry "$dlg")"
    import -window root "$shots/$name-options.png"
    xdotool key Escape
    wait_gone Options || fail "Options did not close ($name)"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" || fail "the program did not end ($name)"
}

# The light default, to compare with.
options_shot default
default_dialog="$DIALOG"

GTK_THEME=Adwaita:dark QT_QPA_PLATFORMTHEME=gtk3 options_shot dark
grep -q " $app/lib/plugins/platformthemes/libqgtk3.so" "$X_WORK/dark.maps" ||
    fail "the runtime's GTK theme plugin was not loaded"
grep -q '/libgtk-3\.so' "$X_WORK/dark.maps" || fail "GTK was not loaded"
read -r dx dy dw dh <<<"$DIALOG"
read -r ratio ground < <(contrast_in "$shots/dark-options.png" "$dx" "$dy" "$dw" "$dh")
awk -v g="$ground" 'BEGIN { exit !(g < 0.1) }' ||
    fail "the options dialog is not dark under Adwaita-dark (ground luminance $ground)"
awk -v r="$ratio" 'BEGIN { exit !(r >= 4.5) }' || fail "the options dialog's text has contrast $ratio"
pass "Adwaita-dark: the options dialog is dark (luminance $ground), its text at contrast $ratio:1"

# The page letter stands in the title bar's selector, among the controls at its left end, on
# the selector's ground: the most common colour there besides the page's own.
read -r mx my mw mh <<<"$MAIN"
page_colour="$(colour_in "$shots/dark-main.png" $((mx + mw / 2)) $((my + mh / 2)))"
read -r ratio ground < <(contrast_in "$shots/dark-main.png" "$mx" "$my" $((title * 4)) "$title" \
    "$page_colour")
awk -v g="$ground" 'BEGIN { exit !(g < 0.1) }' ||
    fail "the title bar's selector is not dark under Adwaita-dark (ground luminance $ground)"
awk -v r="$ratio" 'BEGIN { exit !(r >= 4.5) }' ||
    fail "the title bar's page letter has contrast $ratio (ground $ground)"
pass "Adwaita-dark: the title bar's page letter at contrast $ratio:1 on luminance $ground"

# A 16-point desktop font: the dialogs grow with it.
mkdir -p "$XDG_CONFIG_HOME/gtk-3.0"
printf '[Settings]\ngtk-font-name=DejaVu Sans 16\n' >"$XDG_CONFIG_HOME/gtk-3.0/settings.ini"
QT_QPA_PLATFORMTHEME=gtk3 options_shot font16
read -r _ _ w0 h0 <<<"$default_dialog"
read -r _ _ w1 h1 <<<"$DIALOG"
[ "$w1" -gt "$w0" ] && [ "$h1" -gt "$h0" ] ||
    fail "the options dialog did not grow with a 16-point font: ${w0}x$h0 -> ${w1}x$h1"
pass "a 16-point desktop font: the options dialog grew from ${w0}x$h0 to ${w1}x$h1"
rm -rf "$XDG_CONFIG_HOME/gtk-3.0"

# A computer without GTK: the theme plugin cannot load, and the program starts as it does
# without a theme.
if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    gtk="$(ldconfig -p | sed -n 's/.*libgtk-3\.so\.0 (libc6,x86-64) => //p' | head -n1)"
    [ -n "$gtk" ] || fail "GTK is not on this machine (libgtk-3-0)"
    QT_QPA_PLATFORMTHEME=gtk3 unshare -m sh -c 'mount --bind /dev/null "$1" && exec "$2/qly"' \
        sh "$gtk" "$app" >"$X_WORK/app.log" 2>&1 &
    APP_PID=$!
    _x_pids+=($APP_PID)
    main=$(wait_window Quillery) || fail "without GTK the program did not start: $(cat "$X_WORK/app.log")"
    kill -TERM "$APP_PID"
    wait_exit "$APP_PID" || fail "the program did not end"
    pass "without GTK the program starts as before"
else
    echo "NOTE: the start without GTK needs root and a private mount namespace; not tried"
fi
