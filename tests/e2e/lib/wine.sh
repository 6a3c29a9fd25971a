# shellcheck shell=bash disable=SC2034,SC2154
# The Windows build under wine64, sourced after common.sh: a private virtual
# display, a fresh Wine prefix, and ending the prefix's programs.

WINE64=${WINE64:-/usr/lib/wine/wine64}

# e2e_have_wine: wine64 and wineserver are installed.
e2e_have_wine() {
    [ -x "$WINE64" ] && command -v wineserver >/dev/null 2>&1
}

# e2e_wine_env: quiet Wine, no Mono or Gecko installer dialogs while a prefix
# is made, and no menu entries on the host for the shortcuts a run makes.
e2e_wine_env() {
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
}

# e2e_start_xvfb FIRST LAST: a private virtual display (Xvfb) on the first
# free number from FIRST to LAST, exported as DISPLAY and stopped at exit.
# False when Xvfb is missing or no display could be started.
e2e_start_xvfb() {
    command -v Xvfb >/dev/null 2>&1 || return 1
    local n pid
    for n in $(seq "$1" "$2"); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        pid=$!
        sleep 0.5
        if kill -0 "$pid" 2>/dev/null; then
            export DISPLAY=":$n"
            e2e_at_exit e2e_stop "$pid"
            return 0
        fi
    done
    return 1
}

# e2e_wine_stop: ends every program of the current prefix (WINEPREFIX, when
# it still exists) and waits for its server to end.
e2e_wine_stop() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# e2e_wine_prefix FOLDER: a fresh Wine prefix made in FOLDER and exported as
# WINEPREFIX; at exit the programs of the prefix then in use are ended and
# FOLDER is removed. False when Wine cannot make it.
e2e_wine_prefix() {
    export WINEPREFIX=$1
    e2e_at_exit rm -rf "$1"
    e2e_at_exit e2e_wine_stop
    "$WINE64" wineboot -i >/dev/null 2>&1 || return 1
    wineserver -w >/dev/null 2>&1 || true
}
