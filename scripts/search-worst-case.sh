#!/usr/bin/env bash
# The phrase search's worst case in whole processes, against GNU grep: a 10 MB file of "xy" over and over,
# searched for "xy" 5,000 times and "z" (found nowhere), without regard to case and with it. The file is in the
# page cache; each command runs RUNS times in turn and the medians are printed.
# Usage: scripts/search-worst-case.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
runs=${2:-11}
opis="$build/cli/zelkavio-opis"
[ -x "$opis" ] || { echo "build zelkavio-opis first" >&2; exit 2; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 -c "import sys; sys.stdout.write('xy' * (5 * 1024 * 1024))" >"$dir/xy.jpg"
phrase=$(python3 -c "import sys; sys.stdout.write('xy' * 5000 + 'z')")
cat "$dir/xy.jpg" >/dev/null
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A times=()
names=(grep-ci opis-ci grep-cs opis-cs)
for ((run = 0; run < runs; ++run)); do
    for name in "${names[@]}"; do
        start=$EPOCHREALTIME
        case $name in
            grep-ci) LC_ALL=C grep -ciF -- "$phrase" "$dir/xy.jpg" >/dev/null || true ;;
            opis-ci) "$opis" search -- "$phrase" "$dir" >/dev/null || true ;;
            grep-cs) LC_ALL=C grep -cF -- "$phrase" "$dir/xy.jpg" >/dev/null || true ;;
            opis-cs) "$opis" search --match-case -- "$phrase" "$dir" >/dev/null || true ;;
        esac
        end=$EPOCHREALTIME
        times[$name]+="$(echo "$end - $start" | bc -l) "
    done
done
echo "10 MB of \"xy\", phrase \"xy\" x 5000 + \"z\"; median of $runs runs; $(nproc) processors"
for name in "${names[@]}"; do
    printf '  %-8s %7.4f s\n' "$name" "$(echo ${times[$name]} | tr ' ' '\n' | median)"
done
