#!/usr/bin/env bash
# How soon a photo opened from a file manager is on the screen: Zelkavio (natural size and fit) against feh, qimgv,
# eog, ristretto and gwenview, each started as `PROGRAM PHOTO` on the same 24-megapixel JPEG under one Xvfb, alone in
# its folder and first in a folder of 1,000 photos. bench/screen_probe reads the screen through the X server and
# gives, from just before the process starts, when the photo's top left corner is first on the screen and when the
# whole photo is (its four corners). Runs are interleaved; the table gives medians.
# Usage: scripts/first-on-screen.sh BUILD_DIR [RUNS]   (RUNS at least 7; the first, warm-up round is not counted)
# Installs the other viewers (Debian packages) for this comparison only; the program never needs them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: first-on-screen.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-7}
[ "$runs" -ge 7 ] || { echo "first-on-screen: at least 7 runs" >&2; exit 2; }
# tumbler: ristretto's thumbnail service, without which it covers the photo with a box about it.
"$root/scripts/install-deps.sh" --only xvfb feh qimgv eog ristretto tumbler gwenview
cmake --build "$build" --target zelkavio screen_probe >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
probe="$build/bench/screen_probe"

mkdir -p "$work/alone" "$work/thousand" "$work/natural/zelkavio" "$work/fit/zelkavio"
"$probe" photo "$work/alone/photo.jpg"
# The other 999 are the same photo under other names, so every name costs what a photo costs.
cp "$work/alone/photo.jpg" "$work/thousand/0000.jpg"
for i in $(seq -w 1 999); do ln "$work/thousand/0000.jpg" "$work/thousand/0$i.jpg"; done
printf '[Fotka]\r\nLeft=0\r\nTop=0\r\nDopasuj=0\r\n' > "$work/natural/zelkavio/Zelkavio.ini"
printf '[Fotka]\r\nLeft=0\r\nTop=0\r\nDopasuj=1\r\n' > "$work/fit/zelkavio/Zelkavio.ini"

cat > "$work/session.sh" <<'INNER'
set -u
work=$1 probe=$2 runs=$3
unset QT_QPA_PLATFORM
export NO_AT_BRIDGE=1
declare -A command=(
    [zelkavio-natural]="env XDG_CONFIG_HOME=$work/natural $work/prefix/bin/zelkavio"
    [zelkavio-fit]="env XDG_CONFIG_HOME=$work/fit $work/prefix/bin/zelkavio"
    [feh]="feh --scale-down --start-at"
    [qimgv]="qimgv" [eog]="eog" [ristretto]="ristretto" [gwenview]="gwenview")
programs="zelkavio-natural zelkavio-fit feh qimgv eog ristretto gwenview"
for round in $(seq 0 "$runs"); do
    for program in $programs; do
        for folder in alone thousand; do
            photo=$work/$folder/$( [ $folder = alone ] && echo photo.jpg || echo 0000.jpg )
            extra=$( [ $program = feh ] && echo "$work/$folder" || true )
            read -r first whole < <(eval "$probe" time 20 -- ${command[$program]} "$photo" $extra 2>/dev/null)
            [ "$round" = 0 ] || echo "$program $folder ${first:--} ${whole:--}" >> "$work/times"
        done
    done
done
INNER
# One session bus for the whole run, as a desktop has; the GNOME and KDE viewers look for it.
command -v dbus-run-session >/dev/null || "$root/scripts/install-deps.sh" --only dbus-daemon
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" dbus-run-session -- bash "$work/session.sh" "$work" "$probe" "$runs"

python3 - "$work/times" "$runs" <<'PY'
import statistics, sys
times = {}
for line in open(sys.argv[1]):
    program, folder, first, whole = line.split()
    times.setdefault((program, folder), ([], []))
    for i, value in enumerate((first, whole)):
        times[(program, folder)][i].append(float(value) if value != "-" else float("inf"))
median = lambda values: statistics.median(values)
fmt = lambda v: "   never" if v == float("inf") else "%8.3f" % v
print("medians of %s runs, seconds from the process start (Xvfb 1920x1080)" % sys.argv[2])
print("%-18s %-9s %8s %8s" % ("program", "folder", "first", "whole"))
for (program, folder), (first, whole) in sorted(times.items(), key=lambda kv: (kv[0][1], kv[0][0])):
    print("%-18s %-9s %s %s" % (program, folder, fmt(median(first)), fmt(median(whole))))
for folder in ("alone", "thousand"):
    others = [(median(w), p) for (p, f), (_, w) in times.items() if f == folder and not p.startswith("zelkavio")]
    fastest, name = min(others)
    fit = median(times[("zelkavio-fit", folder)][1])
    print("%s: zelkavio fit whole %.3f s = %.2f x the fastest other viewer (%s, %.3f s)"
          % (folder, fit, fit / fastest, name, fastest))
PY
