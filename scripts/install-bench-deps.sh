#!/usr/bin/env bash
# Installs the Debian 12 packages that only the benchmarks' comparisons need (never the program or the tests):
# libemf2svg and QtSvg, for comparing metafile drawing with the EMF -> SVG -> QSvgRenderer route.
# Idempotent: asks apt only for what is missing, and runs `apt-get update` only then.
set -euo pipefail

packages=(
    libemf2svg-dev qt6-svg-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        SUDO=sudo
    else
        echo "install-bench-deps: these packages are missing: ${missing[*]}" >&2
        echo "install-bench-deps: run this script as root (or install them with apt-get) and try again." >&2
        exit 1
    fi
else
    SUDO=
fi

echo "install-bench-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
