# Shared by the end-to-end scripts (sourced, never run alone): the checks and set-up every one of them needs.

# The program must reach the virtual X server, whatever platform the test run chose for unit tests.
unset QT_QPA_PLATFORM

# Exits with a SKIP line when one of the tools named is missing.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
    done
}

# Installs the build into a fresh prefix below $work and sets $exe to the installed program. The installed
# program keeps its settings in $XDG_CONFIG_HOME/zelkavio, pointed below $work; $settings is that file.
install_program() { # install_program BUILD_DIR
    cmake --install "$1" --prefix "$work/prefix" >/dev/null
    exe="$work/prefix/bin/zelkavio"
    [ -x "$exe" ] || { echo "FAIL: no program installed at $exe"; exit 1; }
    export XDG_CONFIG_HOME="$work/config"
    settings="$XDG_CONFIG_HOME/zelkavio/Zelkavio.ini"
    mkdir -p "$(dirname "$settings")"
}
