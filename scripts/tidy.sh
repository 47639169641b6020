#!/usr/bin/env bash
# Runs clang-tidy with the committed .clang-tidy over the C++ sources changed lately and fails on any finding.
# Usage: scripts/tidy.sh BUILD_DIR [BASE]
#   BUILD_DIR holds compile_commands.json (every build of ours writes one).
#   BASE is the commit to compare with; by default the sources changed by the commits of the day before HEAD,
#   which covers a working session's submission. Headers are checked through the sources that include them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:?build directory}" && pwd)
cd "$root"
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "tidy: not a git checkout, so nothing tells which sources changed; nothing checked"
    exit 0
fi
if [ $# -ge 2 ]; then
    base=$2
else
    since=$(git log -1 --format=%ct HEAD)
    base=$(git rev-list -1 --before=$((since - 86400)) HEAD || true)
fi
if [ -n "${base:-}" ]; then
    changed=$(git diff --name-only --diff-filter=AMR "$base" HEAD -- '*.cpp')
else
    changed=$(git ls-files -- '*.cpp')
fi
files=()
for f in $changed; do
    # Only sources that the build compiles (the fuzz targets build with clang alone).
    if [ -f "$f" ] && grep -q "\"file\": \"$root/$f\"" "$build_dir/compile_commands.json"; then
        files+=("$f")
    fi
done
if [ ${#files[@]} -eq 0 ]; then
    echo "tidy: no changed sources to check"
    exit 0
fi
echo "tidy: checking ${#files[@]} source(s)"
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build_dir" --quiet --warnings-as-errors='*' \
    --extra-arg=-Wno-unknown-warning-option 2>/dev/null
