#!/usr/bin/env bash
# Installs what is missing, builds Zelkavio with its tests and runs every test through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/test"
"$root/scripts/build.sh" "$build" RelWithDebInfo
if [ "${CI:-}" = "true" ]; then
    "$root/scripts/check-format.sh"
    # clang-tidy over the sources changed lately (scripts/tidy.sh says which).
    "$root/scripts/tidy.sh" "$build"
fi
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
