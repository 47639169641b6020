#!/usr/bin/env bash
# The installed program started as a file manager starts it, with a picture, a folder or a missing path.
set -euo pipefail
build=${1:?usage: open_from_command_line.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools xvfb-run xdotool convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"
[[ $(DISPLAY= "$exe" --version) =~ ^zelkavio\ [0-9]+\.[0-9]+$ ]] || { echo "FAIL: zelkavio --version"; exit 1; }

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
    for _ in $(seq $(( $1 * 10 ))); do "${@:2}" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }
picture() { # picture WIDTH HEIGHT: a visible window of exactly that size
    for id in $(xdotool search --onlyvisible --class zelkavio 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" = "$1" ] && [ "$HEIGHT" = "$2" ] && return 0
    done
    return 1
}
start() { "$exe" "$@" >"$work/program.log" 2>&1 & program=$!; wait_for 30 visible '^Pliki katalogu$'; }
stop() { kill "$program" 2>/dev/null; wait "$program" 2>/dev/null; }
fail() { echo "FAIL: $*"; cat "$work/program.log"; stop; exit 1; }

# A picture: its folder listed, the picture and its description shown at once.
start "$work/wycieczka/żółw.jpg" || fail "PICTURE: the file list window did not open"
wait_for 15 picture 180 120 && wait_for 10 visible '^Opis obrazu$' || fail "PICTURE: picture or description not shown"
stop

# Nothing selected, so the first Ctrl+N shows the given folder's first picture (not the remembered one's).
start "$work/wycieczka" || fail "FOLDER: the file list window did not open"
for attempt in 1 2 3 4 5; do
    xdotool windowfocus --sync "$(visible '^Pliki katalogu$')" key --clearmodifiers ctrl+n >/dev/null 2>&1
    wait_for 6 picture 200 150 && break
done
picture 200 150 || fail "FOLDER: Ctrl+N did not show the given folder's first picture"
stop

# A path that does not exist: an error box, and the remembered folder as usual.
start "$work/nie-ma-takiego.jpg" && wait_for 30 visible '^Error$' || fail "a missing path: no error box or no list"
stop
echo "PASS: a picture, a folder and a missing path given on the command line"
INNER

# -noreset: the server would otherwise reset when the last program closes, and refuse the next one meanwhile.
timeout 150 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$work/session.sh" "$exe" "$work"
