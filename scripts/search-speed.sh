#!/usr/bin/env bash
# Opt-in speed comparison of the phrase search (zelkavio-opis search) with ripgrep and GNU grep over 1,000 described
# JPEG photographs of about 2.4 MB each (not run in CI; needs ripgrep: scripts/install-bench-deps.sh).
# Every tool runs in the same round, the rounds repeat RUNS times (warm page cache), and the medians are printed.
# Each round checks that every tool found the same files.
# Usage: scripts/search-speed.sh BUILD_DIR [DATA_DIR] [RUNS]
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
data=${2:-/tmp/zelkavio-search-data}
runs=${3:-11}
opis="$build/cli/zelkavio-opis"
present="Morskie Oko"
absent="Kasprowy Wierch"
command -v rg >/dev/null || { echo "ripgrep is missing: scripts/install-bench-deps.sh" >&2; exit 2; }
[ -x "$opis" ] || { echo "build zelkavio-opis first" >&2; exit 2; }

if [ ! -f "$data/.complete" ]; then
    rm -rf "$data"
    "$build/bench/make_search_corpus" "$data" 1000 "$present"
    touch "$data/.complete"
fi
rm -f "$data/.complete.hits"
total=$(du -sb --exclude=.complete "$data" | cut -f1)
echo "data: $(ls "$data"/*.jpg | wc -l) files, $total bytes; $(nproc) processors; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
cat "$data"/*.jpg >/dev/null # into the page cache

# name|command template; PHRASE and the mode's options are filled in per run.
tool_command() { # tool mode phrase
    local tool=$1 mode=$2 phrase=$3
    case "$tool:$mode" in
        rg-j1:cs) rg -F -l -a -uuu -j1 -- "$phrase" "$data" ;;
        rg-j1:ci) rg -F -l -a -uuu -j1 -i --no-unicode -- "$phrase" "$data" ;;
        rg-j2:cs) rg -F -l -a -uuu -j2 -- "$phrase" "$data" ;;
        rg-j2:ci) rg -F -l -a -uuu -j2 -i --no-unicode -- "$phrase" "$data" ;;
        grep:cs) LC_ALL=C grep -F -l -a -r -- "$phrase" "$data" ;;
        grep:ci) LC_ALL=C grep -F -l -a -r -i -- "$phrase" "$data" ;;
        opis-j1:cs) "$opis" search --match-case --threads 1 -- "$phrase" "$data" ;;
        opis-j1:ci) "$opis" search --threads 1 -- "$phrase" "$data" ;;
        opis-j2:cs) "$opis" search --match-case --threads 2 -- "$phrase" "$data" ;;
        opis-j2:ci) "$opis" search --threads 2 -- "$phrase" "$data" ;;
    esac
}

tools=(rg-j1 rg-j2 grep opis-j1 opis-j2)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for mode in cs ci; do
    for phrase in "$present" "$absent"; do
        declare -A times=()
        for ((run = 0; run < runs; ++run)); do
            reference=""
            for tool in "${tools[@]}"; do
                start=$EPOCHREALTIME
                tool_command "$tool" "$mode" "$phrase" >"$out" || true
                end=$EPOCHREALTIME
                found=$(sed 's#.*/##' "$out" | sort)
                times[$tool]+="$(echo "$end - $start" | bc -l) "
                if [ "$tool" = rg-j1 ]; then
                    reference=$found
                elif [ "$found" != "$reference" ]; then
                    echo "MISMATCH: $tool ($mode, \"$phrase\") found other files than rg -j1" >&2
                    exit 1
                fi
            done
        done
        hits=$(printf '%s' "$reference" | grep -c . || true)
        base=$(echo ${times[rg-j1]} | tr ' ' '\n' | median)
        echo "mode $mode, \"$phrase\" ($hits hits), median of $runs runs:"
        for tool in "${tools[@]}"; do
            m=$(echo ${times[$tool]} | tr ' ' '\n' | median)
            printf '  %-8s %7.3f s  %5.2f x rg -j1\n' "$tool" "$m" "$(echo "$m / $base" | bc -l)"
        done
        unset times
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
