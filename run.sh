#!/usr/bin/env bash
# Installs what is missing, builds Zelkavio (Release) and starts the viewer.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build/release" Release -DZELKAVIO_TESTS=OFF -DZELKAVIO_BENCH=OFF
exe="$root/build/release/app/zelkavio"
ini="$(dirname "$exe")/Zelkavio.ini"
# A first start opens the example pictures, so a newcomer sees something at once.
if [ ! -e "$ini" ]; then
    printf '[Fotka]\r\nLeft=10\r\nTop=20\r\n[Pismo]\r\nLeft=10\r\nTop=632\r\nWidth=630\r\nHeight=122\r\n[Plik]\r\nNazwa=%s\r\n' \
        "$root/examples" > "$ini"
fi
exec "$exe"
