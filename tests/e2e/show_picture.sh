#!/usr/bin/env bash
# The installed program, started under a virtual X server with a settings file naming a directory of one
# described picture: Ctrl+N must show the picture's own pixels in the picture window and open the
# description window.
set -euo pipefail
build=${1:?usage: show_picture.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools xvfb-run xdotool import convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"

# Four solid quadrants, so a screenshot can be compared with the decoded picture at their centres.
mkdir "$work/pictures"
picture="$work/pictures/quadrants.jpg"
convert -size 100x75 xc:'#e01010' -size 100x75 xc:'#10c010' +append \
    \( -size 100x75 xc:'#1010e0' -size 100x75 xc:'#f0f0f0' +append \) -append -quality 95 "$picture"
printf '@||@Opis obrazu: czerwie\xf1 i zielone' >> "$picture"
printf '[Fotka]\r\nLeft=120\r\nTop=90\r\n[Plik]\r\nNazwa=%s\r\n' "$work/pictures" > "$settings"

cat > "$work/session.sh" <<'INNER'
set -u
exe=$1 work=$2 picture=$3
wait_for() { # wait_for SECONDS COMMAND...
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
# No window manager: nothing here needs one, and windows then map at once where the program puts them.
"$exe" >"$work/program.log" 2>&1 &
program=$!
cleanup() { kill "$program" 2>/dev/null; wait 2>/dev/null; }
trap cleanup EXIT

describe_windows() {
    cat "$work/program.log"
    ps -o pid,stat,etime,cmd -p "$program" 2>/dev/null | tail -n +2
    for id in $(xdotool search --class zelkavio 2>/dev/null); do
        echo "window $id: '$(xdotool getwindowname "$id")' $(xdotool getwindowgeometry "$id" | tr '\n' ' ')"
    done
}
wait_for 30 xdotool search --onlyvisible --name '^Pliki katalogu$' \
    || { echo "FAIL: the file list window did not open"; describe_windows; exit 1; }

# The picture window sizes itself to the picture: find the visible window of the picture's size.
find_picture_window() {
    for id in $(xdotool search --onlyvisible --class zelkavio 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [ "$WIDTH" = 200 ] && [ "$HEIGHT" = 150 ]; then echo "$X $Y"; return 0; fi
    done
    return 1
}
# Ctrl+N in the file list shows the first picture; with one picture a repeated key changes nothing, so the
# key is sent again when focus had not yet settled.
for attempt in 1 2 3 4 5; do
    list=$(xdotool search --onlyvisible --name '^Pliki katalogu$' | head -1)
    xdotool windowfocus --sync "$list" >/dev/null 2>&1
    xdotool key --clearmodifiers ctrl+n
    wait_for 6 find_picture_window && break
done
find_picture_window >/dev/null || { echo "FAIL: no picture window of the picture's size appeared"; describe_windows; exit 1; }
wait_for 10 xdotool search --onlyvisible --name '^Opis obrazu$' \
    || { echo "FAIL: the description window did not appear"; describe_windows; exit 1; }
read -r px py < <(find_picture_window)
sleep 0.5 # let the last paint reach the server before the screenshot
import -window root "$work/screen.png"

pixel() { convert "$1" -format "%[fx:int(255*u.r)] %[fx:int(255*u.g)] %[fx:int(255*u.b)]" -crop "1x1+$2+$3" +repage info:; }
status=0
for point in "50 37" "150 37" "50 112" "150 112"; do
    read -r x y <<<"$point"
    read -r sr sg sb < <(pixel "$picture" "$x" "$y")
    read -r r g b < <(pixel "$work/screen.png" $(( px + x )) $(( py + y )))
    for pair in "$sr $r" "$sg $g" "$sb $b"; do
        read -r want got <<<"$pair"
        if [ $(( want > got ? want - got : got - want )) -gt 8 ]; then
            echo "FAIL: screen pixel ($x,$y) of the picture is $r,$g,$b, the picture holds $sr,$sg,$sb"
            status=1
            break
        fi
    done
done
[ "$status" = 0 ] && echo "PASS: the picture window shows the picture's pixels and the description window is open"
exit "$status"
INNER

timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$exe" "$work" "$picture"
