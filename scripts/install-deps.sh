#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Zelkavio need.
# Idempotent: asks apt only for what is missing, and runs `apt-get update` only then.
# `install-deps.sh --only PKG...` installs just the packages named (used for the benchmarks' extras).
set -euo pipefail

packages=(
    # build
    cmake ninja-build pkg-config g++ ccache clang clang-format clang-tidy
    # libraries
    qt6-base-dev qt6-translations-l10n libicu-dev libjpeg62-turbo-dev libsdl2-mixer-dev libsndfile1-dev libmpg123-dev
    libexiv2-dev libssl-dev libx11-dev libxext-dev
    # tests, fuzzing and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
    # fonts for the interface and for metafile text
    fonts-liberation fonts-dejavu-core
    # end-to-end tests under a virtual X server, and under a headless Wayland desktop with its X11 compatibility
    xvfb xdotool openbox x11-utils imagemagick weston xwayland
    # the native Wayland platform, for a Wayland desktop without Xwayland
    qt6-wayland
    # an independent metadata reader and writer, to check the captions we share
    libimage-exiftool-perl
    # making sample sounds
    sox
    # the icon's PNGs, the desktop entry and metainfo checks, the Debian package (shlibdeps needs `file`)
    librsvg2-bin desktop-file-utils appstream dpkg-dev file
    # the screen saver test's private session bus
    dbus-daemon
)
if [ "${1:-}" = "--only" ]; then
    shift
    packages=("$@")
fi

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
        echo "install-deps: these packages are missing: ${missing[*]}" >&2
        echo "install-deps: run this script as root (or install them with apt-get) and try again." >&2
        exit 1
    fi
else
    SUDO=
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
