#!/usr/bin/env bash
# Installs the Debian 12 packages that only the benchmarks' comparisons need (never the program or the tests):
# libemf2svg and QtSvg, for comparing metafile drawing with the EMF -> SVG -> QSvgRenderer route; ripgrep, for
# comparing the phrase search with it (scripts/search-speed.sh).
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" --only libemf2svg-dev qt6-svg-dev ripgrep
