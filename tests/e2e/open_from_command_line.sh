#!/usr/bin/env bash
# The installed program started as a file manager starts it: `zelkavio FOLDER` lists that folder in place of the
# remembered one with nothing selected, `zelkavio PICTURE` shows the picture and its description at once, and a
# path that does not exist gives an error box and the usual start. --version needs no display at all.
set -euo pipefail
build=${1:?usage: open_from_command_line.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools xvfb-run xdotool convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"

version=$(DISPLAY= "$exe" --version)
[[ $version =~ ^zelkavio\ [0-9]+\.[0-9]+ ]] || { echo "FAIL: zelkavio --version printed '$version'"; exit 1; }

# Each picture has a size of its own, so the picture window's size tells which one is shown.
mkdir "$work/remembered" "$work/wycieczka"
convert -size 160x100 xc:'#808000' "$work/remembered/inny.jpg"
convert -size 200x150 xc:'#a03030' "$work/wycieczka/a.jpg"
convert -size 180x120 xc:'#3030a0' "$work/wycieczka/żółw.jpg"
printf '@||@Opis \xbf\xf3\xb3wia' >> "$work/wycieczka/żółw.jpg"
printf '[Fotka]\r\nLeft=10\r\nTop=10\r\n[Plik]\r\nNazwa=%s\r\n' "$work/remembered" > "$settings"

cat > "$work/session.sh" <<'INNER'
set -u
exe=$1 work=$2
wait_for() { # wait_for SECONDS COMMAND...
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }
picture_window() { # picture_window WIDTH HEIGHT: a visible window of exactly that size
    for id in $(xdotool search --onlyvisible --class zelkavio 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" = "$1" ] && [ "$HEIGHT" = "$2" ] && return 0
    done
    return 1
}
program=
start() { "$exe" "$@" >"$work/program.log" 2>&1 & program=$!; }
stop() { kill "$program" 2>/dev/null; wait "$program" 2>/dev/null; }
trap stop EXIT
fail() { echo "FAIL: $*"; cat "$work/program.log"; exit 1; }

# A picture: its folder listed, the picture and its description shown without a key pressed.
start "$work/wycieczka/żółw.jpg"
wait_for 30 visible '^Pliki katalogu$' || fail "PICTURE: the file list window did not open"
wait_for 15 picture_window 180 120 || fail "PICTURE: the picture was not shown"
wait_for 10 visible '^Opis obrazu$' || fail "PICTURE: the description window did not open"
stop

# A folder: listed with nothing selected, so the first Ctrl+N shows its first picture (not the remembered one's).
start "$work/wycieczka"
wait_for 30 visible '^Pliki katalogu$' || fail "FOLDER: the file list window did not open"
sleep 1
picture_window 200 150 && fail "FOLDER: a picture was shown before one was chosen"
for attempt in 1 2 3 4 5; do
    xdotool windowfocus --sync "$(visible '^Pliki katalogu$')" >/dev/null 2>&1
    xdotool key --clearmodifiers ctrl+n
    wait_for 6 picture_window 200 150 && break
done
picture_window 200 150 || fail "FOLDER: Ctrl+N did not show the given folder's first picture"
stop

# A path that does not exist: an error box, and the remembered folder as usual.
start "$work/nie-ma-takiego.jpg"
wait_for 30 visible '^Error$' || fail "a missing path gave no error box"
wait_for 10 visible '^Pliki katalogu$' || fail "a missing path stopped the usual start"
stop
echo "PASS: a picture, a folder and a missing path given on the command line"
INNER

timeout 150 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$exe" "$work"
