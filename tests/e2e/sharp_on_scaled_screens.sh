#!/usr/bin/env bash
# The installed program on screens scaled by 1, 1.5 and 2: at natural size a checkerboard of single pixels must
# reach the screen pixel for pixel, in a picture window as many device pixels large as the picture (a fractional
# scale rounds the window up by one column or row of backdrop).
set -euo pipefail
build=${1:?usage: sharp_on_scaled_screens.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools xvfb-run xdotool import convert compare
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"
mkdir "$work/pictures"
convert -size 400x300 pattern:gray50 -type TrueColor BMP3:"$work/pictures/checkerboard.bmp"

cat > "$work/session.sh" <<'INNER'
set -u
exe=$1 work=$2 status=0
for scale in 1 1.5 2; do
    QT_SCALE_FACTOR=$scale "$exe" "$work/pictures/checkerboard.bmp" >"$work/program.log" 2>&1 &
    program=$! shot=
    for _ in $(seq 150); do # the picture window: 400 or 401 device pixels wide, 300 high
        for id in $(xdotool search --onlyvisible --class zelkavio 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$id")"
            [ "$HEIGHT" = 300 ] && [ "$WIDTH" -ge 400 ] && [ "$WIDTH" -le 401 ] && shot=$id
        done
        [ -n "$shot" ] && break || sleep 0.1
    done
    sleep 0.5 # the last paint reaches the server
    if [ -z "$shot" ] || ! import -window "$shot" -crop 400x300+0+0 +repage "$work/shot.png"; then
        echo "FAIL: scale $scale: no picture window of 400 × 300 device pixels"; cat "$work/program.log"; status=1
    elif [ "$(compare -metric AE "$work/shot.png" "$work/pictures/checkerboard.bmp" null: 2>&1)" != 0 ]; then
        echo "FAIL: scale $scale: the screen does not show the picture's pixels one for one"; status=1
    fi
    kill "$program"; wait "$program" 2>/dev/null
done
[ "$status" = 0 ] && echo "PASS: natural size is one picture pixel on one device pixel at scales 1, 1.5 and 2"
exit "$status"
INNER

timeout 150 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$work/session.sh" "$exe" "$work"
