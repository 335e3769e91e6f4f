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
OUT=$ROOT/ui/screenshots
SHOOT=$BUILD/pelion-gui-screenshots
[ -x "$SHOOT" ] || cmake --build "$BUILD" --target pelion-gui-screenshots >/dev/null
mkdir -p "$OUT"

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# A screen of its own: Xvfb names its display on the -displayfd pipe once it accepts clients.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 800x600x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 60 -u "$display_fd" number ||
    { echo "screenshots.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$number
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 600); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' ||
    { echo "screenshots.sh: openbox did not start" >&2; exit 1; }

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
