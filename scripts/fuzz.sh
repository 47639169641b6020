#!/usr/bin/env bash
# Builds the libFuzzer targets with address and undefined-behaviour sanitizers and runs them.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (default: 600 seconds, every target)
# Crash inputs land in fuzz-out/<target>/; copy each into tests/fuzz/regressions/<target>/ as a regression test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
"$root/scripts/install-deps.sh"
build="$root/build/fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
"$root/scripts/build.sh" "$build" RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DZELKAVIO_FUZZ=ON -DZELKAVIO_TESTS=OFF -DZELKAVIO_BENCH=OFF -DZELKAVIO_WERROR=OFF
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$build"/tests/fuzz/fuzz_*; do targets+=("$(basename "$exe")"); done
fi
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    corpus="$root/fuzz-out/$name/corpus"
    mkdir -p "$corpus" "$root/fuzz-out/$name/crashes"
    seeds=()
    [ -d "$root/tests/fuzz/seeds/$name" ] && seeds+=("$root/tests/fuzz/seeds/$name")
    [ -d "$root/tests/fuzz/regressions/$name" ] && seeds+=("$root/tests/fuzz/regressions/$name")
    echo "fuzz: $target for ${seconds}s"
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    QT_QPA_PLATFORM=offscreen \
        "$build/tests/fuzz/fuzz_$name" "$corpus" "${seeds[@]}" \
        -max_total_time="$seconds" -rss_limit_mb=4096 -max_len=262144 \
        -artifact_prefix="$root/fuzz-out/$name/crashes/" -print_final_stats=1 \
        2>&1 | tee "$root/fuzz-out/$name/log.txt" | grep -E '^(#[0-9]+ +DONE|stat::|==[0-9]+==ERROR|SUMMARY)' || true
done
