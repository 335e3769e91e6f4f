#!/usr/bin/env bash
# Starts the updater window, under Xvfb when there is no display.
#   tools/gui.sh [--sim] [ELEMENT...]
# --sim attaches a simulated logger (application 6.01 on platform 24, print 49, BL3 3.0, valid
# update-ID block): its pseudo-terminal stands in the port field, so Update runs a whole update.
# ELEMENTs go to the program as they are (cc:-, cf:-, cp:-, f:+, mf:+, mf:-).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${PELION_BUILD_DIR:-$ROOT/build}
source "$ROOT/tools/sim_port.sh"

sim=no
elements=()
for arg in "$@"; do
    case $arg in
        --sim) sim=yes ;;
        *) elements+=("$arg") ;;
    esac
done

launcher=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "gui.sh: no display and no xvfb-run" >&2; exit 1; }
    echo "gui.sh: no display; the window runs under Xvfb (xvfb-run -a)" >&2
    launcher=(xvfb-run -a)
fi

port_args=()
if [ "$sim" = yes ]; then
    work=$(mktemp -d)
    "$BUILD/pelion-sim" --app-version 0x0601 >"$work/sim.out" &
    sim_pid=$!
    trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
    port=$(sim_port "$work/sim.out" "$sim_pid") ||
        { echo "gui.sh: the simulated logger did not start" >&2; exit 1; }
    echo "gui.sh: simulated logger on $port" >&2
    port_args=(--port "$port")
fi

"${launcher[@]}" "$BUILD/pelion-update-gui" "${port_args[@]}" "${elements[@]}"
