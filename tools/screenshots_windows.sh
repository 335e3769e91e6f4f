#!/usr/bin/env bash
# Pictures of the Windows window program under Wine, on an Xvfb screen with openbox, in a Wine
# prefix of its own that is thrown away afterwards. Into ui/screenshots/, each cut to the
# windows on the screen, frames included:
#   windows-main-normal.png    the main window as most users see it
#   windows-main-internal.png  internal mode (the registry's gate), report window below
#   windows-verdict.png        the verdict of a whole update of a simulated logger on COM5
#   tools/screenshots_windows.sh BUILD_DIR   (BUILD_DIR/win32/pelion-update-gui.exe)
set -euo pipefail
BUILD=$(cd "${1:?usage: tools/screenshots_windows.sh BUILD_DIR}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/tools/sim_port.sh"
source "$ROOT/tools/x_screen.sh"
OUT=$ROOT/ui/screenshots
PROGRAM=$BUILD/win32/pelion-update-gui.exe
GATE_KEY='HKCU\Software\Tessaly\Orvo'
MAIN_CAPTION='Pelion Firmware Update'
# Where the Update button lies in the main window's client area (menu bar and panel).
UPDATE_BUTTON=(67 114)
WAIT_SECONDS=60
[ -f "$PROGRAM" ] || { echo "screenshots_windows.sh: no $PROGRAM" >&2; exit 1; }
mkdir -p "$OUT"

work=$(mktemp -d)
pids=()
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# A new prefix would offer to download .NET and HTML engines; neither is wanted.
export WINEDLLOVERRIDES='mscoree,mshtml='
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    stop_pids
    rm -rf "$work"
}
trap cleanup EXIT

x_screen "$work" || { echo "screenshots_windows.sh: no screen" >&2; exit 1; }
wine wineboot >"$work/wineboot.log" 2>&1 ||
    { echo "screenshots_windows.sh: Wine did not start" >&2; cat "$work/wineboot.log" >&2; exit 1; }
# Windows' dialog font, Tahoma, from fonts-wine: this Wine does not look into its own font
# folder, only into the prefix's.
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# wait_for CAPTION: the X window of the visible window with exactly this caption, once shown.
wait_for() {
    timeout "$WAIT_SECONDS" xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# shoot NAME: the screen, cut to what lies on it (the background is black).
shoot() {
    sleep 1  # the last paint and the frames settle
    import -window root "$work/screen.png"
    convert "$work/screen.png" -trim +repage -strip "$OUT/$1"
}

# start_program [ARG...]: the window program, with its main window up; sets `main`.
start_program() {
    # In a subshell of its own, whose report of the program killed by end_program goes nowhere.
    (wine "$PROGRAM" "$@" >"$work/program.log" 2>&1 || true) 2>/dev/null &
    program=$!
    main=$(wait_for "$MAIN_CAPTION") ||
        { echo "screenshots_windows.sh: no main window" >&2; cat "$work/program.log" >&2; exit 1; }
}

# Ends it with everything else of the prefix; the prefix is thrown away anyway.
end_program() {
    wineserver -k
    wineserver -w
    wait "$program"
}

start_program
shoot windows-main-normal.png
end_program

wine reg add "$GATE_KEY" /v intern /t REG_DWORD /d 6021 /f >/dev/null 2>&1
start_program
wait_for Report >/dev/null
shoot windows-main-internal.png
end_program

# A simulated logger (application 6.01, platform 24, print 49, BL3) as COM5; internal mode asks
# no question before the update.
"$BUILD/pelion-sim" --app-version 0x0601 >"$work/sim.out" 2>&1 </dev/null &
pids+=($!)
port=$(sim_port "$work/sim.out" "${pids[-1]}") ||
    { echo "screenshots_windows.sh: the simulated logger did not start" >&2; exit 1; }
ln -s "$port" "$WINEPREFIX/dosdevices/com5"
start_program --port COM5
wait_for Report >/dev/null
xdotool mousemove --window "$main" "${UPDATE_BUTTON[@]}" click 1
wait_for Information >/dev/null ||
    { echo "screenshots_windows.sh: no verdict" >&2; cat "$work/program.log" >&2; exit 1; }
shoot windows-verdict.png
end_program

echo "Windows screenshots in $OUT:"
ls "$OUT"/windows-*
