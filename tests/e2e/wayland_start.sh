#!/usr/bin/env bash
# The installed program started on a Wayland desktop (weston, headless, with Xwayland): it must run as an X11
# client of that Xwayland and show the picture there; without Xwayland it runs natively and says so once.
set -euo pipefail
build=${1:?usage: wayland_start.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools weston Xwayland xdotool import convert compare
work=$(mktemp -d)
install_program "$build"
export XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY="zelkavio-test-$$" XDG_SESSION_TYPE=wayland
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/pictures"
weston --backend=headless-backend.so --xwayland --socket="$WAYLAND_DISPLAY" --width=1280 --height=1024 \
    --idle-time=0 --log="$work/weston.log" &
weston=$!
program=
trap 'kill $program $weston 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/weston.log" "$work/program.log" 2>/dev/null; exit 1; }
wait_for() { # wait_for SECONDS COMMAND...
    for _ in $(seq $(( $1 * 10 ))); do "${@:2}" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
wait_for 20 grep -q 'xserver listening on display' "$work/weston.log" || fail "weston did not start its Xwayland"
export DISPLAY=$(grep -o 'xserver listening on display :[0-9]*' "$work/weston.log" | grep -o ':[0-9]*$')

# Four solid quadrants: the picture window, read back through the X server, must show them as the file holds them.
picture="$work/pictures/quadrants.jpg"
convert -size 100x75 xc:'#e01010' -size 100x75 xc:'#10c010' +append \
    \( -size 100x75 xc:'#1010e0' -size 100x75 xc:'#f0f0f0' +append \) -append -quality 95 "$picture"
"$exe" "$picture" >"$work/program.log" 2>&1 &
program=$!
picture_window() { # the program's visible window of the picture's size, as the X server lists it
    for id in $(xdotool search --onlyvisible --class zelkavio 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" = 200 ] && [ "$HEIGHT" = 150 ] && echo "$id" && return 0
    done
    return 1
}
wait_for 30 picture_window || fail "no picture window among the X11 windows of Xwayland $DISPLAY"
sleep 0.5 # the last paint reaches the server
import -window "$(picture_window)" "$work/shot.png"
[ "$(compare -metric AE -fuzz 5% "$work/shot.png" "$picture" null: 2>&1)" = 0 ] || fail "the window does not show the picture"
grep -q Xwayland "$work/program.log" && fail "the program said it runs natively while Xwayland was there"
kill "$program"; wait "$program" 2>/dev/null || true

# Without Xwayland: a native start that says once, on standard error, what will not hold.
env -u DISPLAY timeout 5 "$exe" "$picture" >"$work/program.log" 2>&1 || [ $? = 124 ] || fail "the native start failed"
[ "$(grep -c 'no X11 compatibility (Xwayland)' "$work/program.log")" = 1 ] || fail "no single note of the native start"
echo "PASS: on Wayland the program runs through Xwayland and shows the picture; without it, natively with one note"
