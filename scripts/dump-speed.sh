#!/usr/bin/env bash
# Opt-in speed check of `zelkavio-opis dump` against `sha256sum` over the same 1,000 described JPEG photographs of
# about 2.4 MB each (not run in CI). Hashing every picture's bytes is the floor of a dump; the dump should take at
# most 1.5 times as long. Both run in the same round, the rounds repeat RUNS times (warm page cache), and the medians
# and their ratio are printed. One extra traced run checks that the dump opens each picture file once.
# Usage: scripts/dump-speed.sh BUILD_DIR [DATA_DIR] [RUNS]
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
data=${2:-/tmp/zelkavio-search-data} # the phrase search's data set (scripts/search-speed.sh) is the same kind
runs=${3:-7}
opis="$build/cli/zelkavio-opis"
[ -x "$opis" ] || { echo "build zelkavio-opis first" >&2; exit 2; }

if [ ! -f "$data/.complete" ]; then
    rm -rf "$data"
    "$build/bench/make_search_corpus" "$data" 1000 "Morskie Oko"
    touch "$data/.complete"
fi
count=$(ls "$data"/*.jpg | wc -l)
echo "data: $count files, $(du -sb --exclude=.complete "$data" | cut -f1) bytes; $(nproc) processors; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
cat "$data"/*.jpg >/dev/null # into the page cache

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT
sha=() dump=()
for ((run = 0; run < runs; ++run)); do
    start=$EPOCHREALTIME
    sha256sum "$data"/*.jpg >/dev/null
    middle=$EPOCHREALTIME
    "$opis" dump "$data" >"$out"
    end=$EPOCHREALTIME
    sha+=("$(echo "$middle - $start" | bc -l)")
    dump+=("$(echo "$end - $middle" | bc -l)")
done
[ "$(wc -l <"$out")" -eq $((count + 1)) ] || { echo "the dump has $(wc -l <"$out") lines for $count files" >&2; exit 1; }
s=$(printf '%s\n' "${sha[@]}" | median)
d=$(printf '%s\n' "${dump[@]}" | median)
printf 'median of %d runs:\n  sha256sum %7.3f s\n  dump      %7.3f s  %5.2f x sha256sum (target: at most 1.50)\n' \
    "$runs" "$s" "$d" "$(echo "$d / $s" | bc -l)"

if command -v strace >/dev/null; then
    strace -f -e trace=openat -o "$out" "$opis" dump "$data" >/dev/null
    opens=$(grep -c '\.jpg", O_RDONLY' "$out" || true)
    echo "picture files opened by one dump: $opens (files: $count)"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
