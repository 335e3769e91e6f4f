#!/usr/bin/env bash
# Pictures of the updater's windows on a whole screen, frames included: Xvfb with the openbox
# window manager. Into ui/screenshots/, the pictures the README shows:
#   main-normal.png    the main window as most users see it
#   main-internal.png  internal mode with the file commands, report window below
#   running.png        an update of a simulated logger in progress
#   verdict.png        the verdict of a whole update of a simulated logger
#   overview.png       the firmware overview
#   tools/screenshots.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: tools/screenshots.sh BUILD_DIR}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/tools/sim_port.sh"
source "$ROOT/tools/x_screen.sh"
OUT=$ROOT/ui/screenshots
SHOOT=$BUILD/pelion-gui-screenshots
[ -x "$SHOOT" ] || cmake --build "$BUILD" --target pelion-gui-screenshots >/dev/null
mkdir -p "$OUT"

work=$(mktemp -d)
pids=()
cleanup() {
    stop_pids
    rm -rf "$work"
}
trap cleanup EXIT

x_screen "$work" || { echo "screenshots.sh: no screen" >&2; exit 1; }

# Internal mode is granted by the user's settings; these pictures use a settings folder of
# their own so that the real one is never touched.
normal_config=$work/normal
internal_config=$work/internal
mkdir -p "$normal_config" "$internal_config/Tessaly"
printf '[General]\nintern=6021\n' >"$internal_config/Tessaly/Orvo.conf"

shoot() {
    local config=$1
    shift
    XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=xcb "$SHOOT" "$@"
}

shoot "$normal_config" main "$OUT/main-normal.png"
shoot "$internal_config" main "$OUT/main-internal.png" f:+
shoot "$normal_config" overview "$OUT/overview.png"

# A simulated logger of its own for each update (application 6.01, platform 24, print 49, BL3);
# simulated_logger NAME sets `port`.
simulated_logger() {
    local out=$work/sim-$1.out
    "$BUILD/pelion-sim" --app-version 0x0601 >"$out" 2>&1 </dev/null &
    pids+=($!)
    port=$(sim_port "$out" "${pids[-1]}") ||
        { echo "screenshots.sh: the simulated logger did not start" >&2; exit 1; }
}

simulated_logger running
shoot "$internal_config" running "$OUT/running.png" "$port"
simulated_logger verdict
shoot "$internal_config" verdict "$OUT/verdict.png" "$port"

echo "screenshots in $OUT:"
ls "$OUT"
