#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# The folder chooser and both info dialogs of the win64 build, shown by
# dialog_driver.exe under wine64 on a virtual display and driven with xdotool:
# each info dialog opens and closes (OK, Esc); the folder chooser opens on the
# nearest existing folder of a start path that does not exist, passes its
# folder back also after Cancel, opens again with the size it was given,
# creates a folder through its new-folder panel and through the tree's context
# menu, reports one that cannot be created, and renames one in the tree; and
# Setup.exe's target-folder button opens it and installs into its choice. Screenshots go to BUILD_DIR/screenshots.
#
#   tests/e2e/dialogs_e2e.sh BUILD_DIR
#
# Uses WINEPREFIX and DISPLAY when set (scripts/wine-tests.sh sets both),
# otherwise a fresh prefix and a private Xvfb display. Exit status 0 when all
# checks pass or the tools are missing (a SKIPPED line says which), 1 when a
# check fails, 2 on a usage error.
set -u

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck source=lib/wine.sh
. "$(dirname "$0")/lib/wine.sh"
driver=$(find "$build" -name dialog_driver.exe -not -path '*/CMakeFiles/*' | head -1)

skip() {
    echo "SKIPPED: dialog tests: $*"
    exit 0
}
[ -n "$driver" ] || skip "no dialog_driver.exe in $build (a win64 build makes it)"
[ -x "$WINE64" ] || skip "wine64 not installed ($WINE64)"
command -v xdotool >/dev/null 2>&1 || skip "xdotool not installed"
if [ -z "${DISPLAY:-}" ] && ! command -v Xvfb >/dev/null 2>&1; then
    skip "no display and Xvfb not installed"
fi

e2e_wine_env
# The built-in German texts, whatever Wine's language is.
export SETUP_LANG=${SETUP_LANG:-DEU}
e2e_scratch setup-dialogs

if [ -z "${DISPLAY:-}" ]; then
    e2e_start_xvfb 90 120 || skip "no free display for Xvfb"
fi
if [ -z "${WINEPREFIX:-}" ]; then
    e2e_wine_prefix "$(mktemp -d "${TMPDIR:-/tmp}/setup-wine.XXXXXX")" ||
        { echo "cannot create a Wine prefix" >&2; exit 1; }
fi

shots="$build/screenshots"
mkdir -p "$shots"

# Starts the driver with the given arguments; its output goes to $work/out.
pid=
start() {
    (cd "$(dirname "$driver")" && exec "$WINE64" "$driver" "$@") >"$work/out" 2>"$work/err" &
    pid=$!
}
# Prints the id of the visible window whose title matches $1, waiting up to 30 s.
wait_window() {
    local id
    for _ in $(seq 1 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            sleep 0.5 # let it paint
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}
# Waits up to 10 s for window $1 to close (or hide).
wait_gone() {
    for _ in $(seq 1 50); do
        xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.2
    done
    return 1
}
# Waits up to 20 s for the driver to end; its exit status, or 124.
wait_driver() {
    for _ in $(seq 1 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            return $?
        fi
        sleep 0.2
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 124
}
shot() {
    # The mouse away, so that no tool-tip covers the window.
    xdotool mousemove 0 0 >/dev/null 2>&1
    command -v import >/dev/null 2>&1 && import -window "$1" "$shots/$2.png" 2>/dev/null
}
keys() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id" >/dev/null 2>&1
    xdotool key --delay 100 "$@"
}
# new_folder_name ID NAME: Tab from the tree to the new-folder button of the
# chooser ID, which opens the panel, and NAME typed over the field's text.
new_folder_name() {
    keys "$1" Tab space
    sleep 0.5
    keys "$1" ctrl+a
    xdotool type --delay 50 "$2"
}
# not_shown WHAT: WHAT did not appear; the driver is stopped.
not_shown() {
    fail "$1 did not appear"
    kill "$pid" 2>/dev/null
}

echo "--- info dialog of the installer: opens, OK closes it"
start about
if id=$(wait_window '^Info$'); then
    shot "$id" about-setup
    keys "$id" Return
    wait_driver
    status=$?
    [ $status -eq 0 ] && grep -q '^OK' "$work/out" || fail "OK did not close the dialog with OK (status $status)"
else
    not_shown "the info dialog"
fi

echo "--- info dialog of a project: opens, Esc closes it"
start about project
if id=$(wait_window '^Info$'); then
    shot "$id" about-project
    keys "$id" Escape
    wait_driver
    status=$?
    [ $status -eq 1 ] && grep -q '^closed' "$work/out" || fail "Esc did not close the dialog (status $status)"
else
    not_shown "the project's info dialog"
fi

base="$WINEPREFIX/drive_c/dialogtest/Basis"
rm -rf "$WINEPREFIX/drive_c/dialogtest"
mkdir -p "$base"
title='^Zielordner der Installation'

echo "--- folder chooser: opens on the nearest existing folder; the next call keeps size and folder"
start folder 'C:\dialogtest\Basis\fehlt\auch' twice
if id=$(wait_window "$title"); then
    shot "$id" folder
    # A larger window, then Cancel: the folder is still passed back.
    xdotool windowsize "$id" 600 450
    sleep 0.5
    keys "$id" Escape
    wait_gone "$id" || fail "Esc did not close the folder chooser"
    if id=$(wait_window "$title"); then
        keys "$id" Return
    else
        fail "the second call of the folder chooser did not appear"
    fi
    wait_driver
    status=$?
    mapfile -t lines < <(tr -d '\r' <"$work/out")
    first=${lines[0]:-}
    second=${lines[1]:-}
    case "$first" in
    'Cancel '*' C:\dialogtest\Basis\') ;;
    *) fail "Cancel on the preselected folder gave '$first', expected the folder C:\\dialogtest\\Basis\\" ;;
    esac
    # The same size and folder again: the second window opened as the first closed.
    [ $status -eq 0 ] && [ "$second" = "OK ${first#Cancel }" ] ||
        fail "the second call gave '$second' after '$first' (status $status)"
    case "$first" in
    'Cancel 471x400 '*) fail "the window kept its first size 471x400 after it was made larger" ;;
    esac
else
    not_shown "the folder chooser"
fi

echo "--- folder chooser: a new folder through the panel (name, Enter), then OK"
start folder 'C:\dialogtest\Basis\fehlt'
if id=$(wait_window "$title"); then
    new_folder_name "$id" "Neu angelegt"
    shot "$id" folder-new-folder-panel
    keys "$id" Return
    sleep 0.5
    shot "$id" folder-new-folder-created
    keys "$id" Return
    wait_driver
    status=$?
    got=$(tr -d '\r' <"$work/out")
    got=${got#OK * }
    [ -d "$base/Neu angelegt" ] || fail "the folder was not created"
    [ $status -eq 0 ] && [ "$got" = 'C:\dialogtest\Basis\Neu angelegt\' ] ||
        fail "the new folder was not chosen: '$got' (status $status)"
else
    not_shown "the folder chooser"
fi
echo "--- folder chooser on an existing folder: context menu, renaming in the tree, then OK"
rm -rf "$base"/*
start folder 'C:\dialogtest\Basis'
if id=$(wait_window "$title"); then
    # The menu key opens the tree's menu at the selected folder; its one item
    # creates "Neuer Ordner" there and selects it.
    keys "$id" Menu
    sleep 0.5
    xdotool key --delay 100 Down Return
    sleep 0.5
    # F2 edits the name; Enter ends the edit and must not close the window.
    keys "$id" F2
    sleep 0.5
    xdotool key ctrl+a
    xdotool type --delay 50 "Umbenannt"
    shot "$id" folder-rename
    xdotool key Return
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "Enter in the name field closed the folder chooser"
    keys "$id" Return
    wait_driver
    status=$?
    got=$(tr -d '\r' <"$work/out")
    got=${got#OK * }
    [ -d "$base/Umbenannt" ] && [ ! -e "$base/Neuer Ordner" ] ||
        fail "the new folder was not created and renamed: $(ls "$base" | tr '\n' ' ')"
    [ $status -eq 0 ] && [ "$got" = 'C:\dialogtest\Basis\Umbenannt\' ] ||
        fail "the renamed folder was not chosen: '$got' (status $status)"
else
    not_shown "the folder chooser"
fi
echo "--- folder chooser: a folder that cannot be created is reported; Enter is OK again"
start folder 'C:\dialogtest\Basis'
if id=$(wait_window "$title"); then
    new_folder_name "$id" "Umbenannt" # exists already
    xdotool key Return
    if box=$(wait_window '^Setup$'); then
        shot "$box" folder-create-failed
        keys "$box" Return
        wait_gone "$box"
    else
        fail "no message that the folder could not be created"
    fi
    keys "$id" Return
    wait_driver
    status=$?
    got=$(tr -d '\r' <"$work/out")
    [ $status -eq 0 ] && [ "${got#OK * }" = 'C:\dialogtest\Basis\' ] ||
        fail "Enter after the failed folder did not close with OK: '$got' (status $status)"
else
    not_shown "the folder chooser"
fi
echo "--- Setup.exe: the target-folder button opens the chooser on the target's nearest existing folder"
if [ -f "$build/Setup.exe" ]; then
    rm -rf "$base"/*
    mkdir -p "$work/proj/dateien"
    echo "Inhalt" >"$work/proj/dateien/datei.txt"
    # A name of its own: the registry remembers a project's last folder.
    printf '[Project]\r\nName=Ordnerwahl%s\r\nHeadLine=Ordnerwahl\r\nPath=C:\\dialogtest\\Basis\\Ziel\r\ntalk=0\r\nPart1=Dateien\r\n[Dateien]\r\nDir=dateien\r\nFile1=*.txt\r\n' "$$" \
        >"$work/proj/install.ins"
    # The part's start-menu shortcut names a program that is not there.
    echo "CreateLink => OK" >"$work/answers.txt"
    (cd "$build" && exec "$WINE64" Setup.exe "$(zpath "$work/proj/install.ins")" \
        --log="$(zpath "$work/proj.log")" --answers="$(zpath "$work/answers.txt")") \
        >/dev/null 2>&1 &
    pid=$!
    if main=$(wait_window '^Ordnerwahl$'); then
        # The folder button: 595, 96, 33 x 30 in the window's client area.
        xdotool mousemove --window "$main" 611 111 click 1
        if id=$(wait_window "$title"); then
            # The target C:\dialogtest\Basis\Ziel does not exist: its folder
            # is preselected, and a new folder is made in it.
            new_folder_name "$id" "Neu"
            xdotool key Return
            sleep 0.5
            keys "$id" Return
            wait_gone "$id"
            keys "$main" Return # install now
            wait_driver
            status=$?
            grep -q '^TARGET.*C:.dialogtest.Basis.Neu.$' "$work/proj.log" ||
                fail "the chosen folder was not the target: $(grep '^TARGET' "$work/proj.log")"
            [ $status -eq 0 ] && [ -n "$(find "$base/Neu" -name datei.txt 2>/dev/null)" ] ||
                fail "nothing installed into the chosen folder (status $status); log:
$(cat "$work/proj.log")"
        else
            fail "the target-folder button opened no chooser"
            kill "$pid" 2>/dev/null
        fi
    else
        fail "Setup.exe showed no window"
        kill "$pid" 2>/dev/null
    fi
fi
rm -rf "$WINEPREFIX/drive_c/dialogtest"

if [ $failures -ne 0 ]; then
    echo "dialog tests: $failures failed"
    exit 1
fi
echo "dialog tests passed (screenshots in $shots)"
