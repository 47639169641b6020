#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package zelkavio_<version>_<arch>.deb with CPack (Release, without tests and benchmarks).
# Usage: scripts/package.sh [OUT_DIR]   (default: build/package; the package lands there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/package}
build="$root/build/release-package"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build" Release -DZELKAVIO_TESTS=OFF -DZELKAVIO_BENCH=OFF
mkdir -p "$out"
(cd "$build" && cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/zelkavio_*.deb
