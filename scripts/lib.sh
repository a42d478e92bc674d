# Shared by the scripts: configure a build folder once, build it quietly.
# Expects $root (the checkout).

# zrn_configure <build dir> <cmake arguments...>: only when not configured yet. A
# folder whose configure failed has a CMakeCache.txt but no build.ninja: it is
# configured again.
zrn_configure() {
    local build=$1
    shift
    [[ -f "$build/CMakeCache.txt" && -f "$build/build.ninja" ]] \
        || cmake -S "$root" -B "$build" -G Ninja "$@" > /dev/null
}

# zrn_build <build dir> [cmake --build arguments...]: the log is shown only on failure.
zrn_build() {
    local build=$1
    shift
    local log="$build/build.log"
    if ! cmake --build "$build" -j2 "$@" > "$log" 2>&1; then
        cat "$log" >&2
        return 1
    fi
}

# Qt for Windows, where scripts/windows.sh and CI look for it (a fixed path: its
# CMake packages name it).
zrn_qt_windows=/opt/qt-mingw
# zrn_qt_windows_installed: whether Qt for Windows is complete there.
zrn_qt_windows_installed() {
    [[ -f $zrn_qt_windows/lib/cmake/Qt6QuickControls2/Qt6QuickControls2Config.cmake ]]
}
