#!/usr/bin/env bash
# Pictures of the updater's windows under Xvfb, into BUILD_DIR/screenshots/:
#   main-normal.png    the main window as most users see it
#   main-internal.png  internal mode with the file commands, report window below
#   overview.png       the firmware overview
#   verdict.png        the verdict of a whole update of a simulated logger
#   tools/screenshots.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: tools/screenshots.sh BUILD_DIR}" && pwd)
source "$(dirname "$0")/sim_port.sh"
OUT=$BUILD/screenshots
SHOOT=$BUILD/pelion-gui-screenshots
[ -x "$SHOOT" ] || cmake --build "$BUILD" --target pelion-gui-screenshots >/dev/null
mkdir -p "$OUT"

work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT

# Internal mode is granted by the user's settings; these pictures use a settings folder of
# their own so that the real one is never touched.
normal_config=$work/normal
internal_config=$work/internal
mkdir -p "$normal_config" "$internal_config/Tessaly"
printf '[General]\nintern=6021\n' >"$internal_config/Tessaly/Orvo.conf"

shoot() {
    local config=$1
    shift
    XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1024x768x24" "$SHOOT" "$@"
}

shoot "$normal_config" main "$OUT/main-normal.png"
shoot "$internal_config" main "$OUT/main-internal.png" f:+
shoot "$normal_config" overview "$OUT/overview.png"

"$BUILD/pelion-sim" --app-version 0x0601 >"$work/sim.out" &
sim_pid=$!
port=$(sim_port "$work/sim.out" "$sim_pid") ||
    { echo "screenshots.sh: the simulated logger did not start" >&2; exit 1; }
shoot "$internal_config" verdict "$OUT/verdict.png" "$port"

echo "screenshots in $OUT:"
ls "$OUT"
