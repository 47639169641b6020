#!/usr/bin/env bash
# Installs the Debian 12 packages that only the benchmarks' comparisons need (never the program or the tests):
# libemf2svg and QtSvg, for comparing metafile drawing with the EMF -> SVG -> QSvgRenderer route.
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" --only libemf2svg-dev qt6-svg-dev
