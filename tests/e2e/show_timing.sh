#!/usr/bin/env bash
# The installed program under a virtual X server runs the automatic show over three pictures, the second with
# a 2.5 s sound, after the user set the delay to 1 s: each picture stays its delay or its sound's length rounded
# up to whole seconds — the second about 3 s, the others about 1 s.
set -euo pipefail
build=${1:?usage: show_timing.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools xvfb-run xdotool convert sox
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"

# Three widths, so the picture window's width tells which picture is shown.
mkdir "$work/pictures"
convert -size 100x80 xc:'#c03030' "$work/pictures/a.jpg"
convert -size 130x80 xc:'#30c030' "$work/pictures/b.jpg"
convert -size 160x80 xc:'#3030c0' "$work/pictures/c.jpg"
sox -n -r 8000 -c 1 -b 16 "$work/pictures/b.wav" trim 0 2.5
printf '[Fotka]\r\nLeft=10\r\nTop=10\r\n[Plik]\r\nNazwa=%s\r\n' "$work/pictures" > "$settings"

cat > "$work/session.sh" <<'INNER'
set -u
exe=$1 work=$2
wait_for() { # wait_for SECONDS COMMAND...
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }
"$exe" >"$work/program.log" 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null; wait 2>/dev/null' EXIT
fail() { echo "FAIL: $*"; cat "$work/program.log"; exit 1; }

wait_for 30 visible '^Pliki katalogu$' || fail "the file list window did not open"
main=$(visible '^Zelkavio wer\. 3\.0$') || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$main")"
# The delay box sits in the bottom panel, 584 px from its left, whether or not a frame surrounds the window.
xdotool mousemove --sync $(( X + 612 )) $(( Y + HEIGHT - 23 )) click 1
xdotool key --clearmodifiers End shift+Home
xdotool type '1'
sleep 0.3
xdotool key --clearmodifiers ctrl+a

# The width of the visible picture window every 20 ms, with the time, until it closes at the show's end.
shown_width() {
    for id in $(xdotool search --onlyvisible --class zelkavio 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        case "$WIDTH" in 100|130|160) [ "$HEIGHT" = 80 ] && { echo "$WIDTH"; return 0; } ;; esac
    done
    return 1
}
start=$(date +%s%N)
: > "$work/widths"
seen=0
while :; do
    now=$(( ($(date +%s%N) - start) / 1000000 ))
    [ "$now" -gt 15000 ] && fail "the show did not end within 15 s"
    if width=$(shown_width); then
        echo "$now $width" >> "$work/widths"
        seen=1
    elif [ "$seen" = 1 ]; then
        echo "$now closed" >> "$work/widths"
        break
    fi
    sleep 0.02
done

# When each width was first seen, and how long it stayed.
awk '
    $2 != last { if (last != "") print last, $1 - since; since = $1; last = $2 }
' "$work/widths" > "$work/spans"
cat "$work/spans"
check() { # check WIDTH MIN_MS MAX_MS
    local ms
    ms=$(awk -v w="$1" '$1 == w { print $2 }' "$work/spans")
    [ -n "$ms" ] || fail "picture $1 px wide was never shown"
    [ "$ms" -ge "$2" ] && [ "$ms" -le "$3" ] || fail "picture $1 px wide stayed $ms ms, not $2–$3 ms"
}
check 100 800 1600
check 130 2800 3600
check 160 800 1600
echo "PASS: 1 s, 3 s (the sound's 2.5 s rounded up), 1 s"
INNER

timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$exe" "$work"
