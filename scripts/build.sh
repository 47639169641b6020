#!/usr/bin/env bash
# Configures and builds Zelkavio with Ninja. Usage: scripts/build.sh BUILD_DIR BUILD_TYPE [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:?build directory}
build_type=${2:?build type}
shift 2
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
