# Shared by the scripts: configure a build folder once, build it quietly.
# Expects $root (the checkout).

# zrn_configure <build dir> <cmake arguments...>: only when not configured yet.
zrn_configure() {
    local build=$1
    shift
    [[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -G Ninja "$@" > /dev/null
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
