#!/usr/bin/env bash
# Configures and builds Zelkavio with Ninja. Usage: scripts/build.sh BUILD_DIR BUILD_TYPE [extra cmake args...]
# Uses ccache when it is installed; paths are hashed relative to the checkout, so two checkouts share hits.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:?build directory}
build_type=${2:?build type}
shift 2
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${launcher[@]}" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
