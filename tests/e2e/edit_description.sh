#!/usr/bin/env bash
# The installed program under a virtual X server: a user shows a described picture, types a Polish description
# into the description field, saves it with Ctrl+Z (closing the box that confirms it) and deletes it with Ctrl+K;
# the file holds exactly the picture, the marker and the text in Windows-1250, then exactly the picture.
set -euo pipefail
build=${1:?usage: edit_description.sh BUILD_DIR}
source "$(dirname "$0")/common.bash"
require_tools xvfb-run xdotool convert cmp
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"

mkdir "$work/pictures"
convert -size 120x80 xc:'#3060a0' -quality 90 "$work/picture.jpg"
cp "$work/picture.jpg" "$work/pictures/jezioro.jpg"
printf '@||@stary opis' >> "$work/pictures/jezioro.jpg"
# The text typed below, as the file must hold it: "Zażółć gęślą jaźń" in Windows-1250.
{ cat "$work/picture.jpg"; printf '@||@Za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1'; } > "$work/expected.jpg"
printf '[Fotka]\r\nLeft=10\r\nTop=10\r\n[Pismo]\r\nLeft=10\r\nTop=400\r\nWidth=500\r\nHeight=120\r\n[Plik]\r\nNazwa=%s\r\n' \
    "$work/pictures" > "$work/prefix/bin/Zelkavio.ini"
# A settings file beside the installed program wins over the user's, which names no folder here.
printf '[Plik]\r\nNazwa=%s\r\n' "$work/nowhere" > "$settings"

cat > "$work/session.sh" <<'INNER'
set -u
exe=$1 work=$2
file="$work/pictures/jezioro.jpg"
wait_for() { # wait_for SECONDS COMMAND...
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
"$exe" >"$work/program.log" 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null; wait 2>/dev/null' EXIT
fail() { echo "FAIL: $*"; cat "$work/program.log"; exit 1; }
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }

wait_for 30 visible '^Pliki katalogu$' || fail "the file list window did not open"
for attempt in 1 2 3 4 5; do
    xdotool windowfocus --sync "$(visible '^Pliki katalogu$')" >/dev/null 2>&1
    xdotool key --clearmodifiers ctrl+n
    wait_for 6 visible '^Opis obrazu$' && break
done
field=$(visible '^Opis obrazu$')
[ -n "$field" ] || fail "the description window did not open"

# Select the old text with the keyboard (Ctrl+A starts the show here), type over it and save with Ctrl+Z. xdotool
# types a letter the keyboard map lacks by remapping a spare key, and on a loaded machine it now and then drops one:
# the whole edit is then typed and saved again (a fault of ours fails every attempt the same way).
type_and_save() {
    xdotool windowfocus --sync "$field"
    xdotool key --clearmodifiers ctrl+End ctrl+shift+Home
    xdotool type --delay 30 'Zażółć gęślą jaźń'
    sleep 0.3
    xdotool key --clearmodifiers ctrl+z
    wait_for 10 visible '^Zelkavio$' || fail "no box confirmed the save"
    box=$(visible '^Zelkavio$')
    xdotool windowfocus --sync "$box" >/dev/null 2>&1
    xdotool key --clearmodifiers Return
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Zelkavio\$' >/dev/null" || fail "the box did not close"
}
for attempt in 1 2 3; do
    type_and_save
    cmp -s "$file" "$work/expected.jpg" && break
    echo "attempt $attempt: the saved text differs from what was typed:"
    od -c "$file" | tail -3
done
cmp -s "$file" "$work/expected.jpg" || fail "the saved file is not picture + marker + text"

xdotool windowfocus --sync "$(visible '^Opis obrazu$')" >/dev/null 2>&1
xdotool key --clearmodifiers ctrl+k
wait_for 10 cmp -s "$file" "$work/picture.jpg" || fail "Ctrl+K did not leave the bare picture"
echo "PASS: saved with Ctrl+Z and deleted with Ctrl+K"
INNER

timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$exe" "$work"
