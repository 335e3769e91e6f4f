#!/usr/bin/env bash
# A full update of a simulated logger: pelion-sim plays a logger running application 6.01 on
# platform 24, print 49, with a BL3 3.0 bootloader and a valid update-ID block; pelion-update
# programs it, and the simulator's summary shows whether its flash now equals image 11.
#   tools/demo.sh [--realtime]    --realtime: the simulated line keeps 9600 baud
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${PELION_BUILD_DIR:-$ROOT/build}
source "$ROOT/tools/sim_port.sh"
IMAGE_11=$ROOT/firmware/images/uFW_Pelion_V6_02_PF24_PR49_BL3_0.txt

SIM_ARGS=()
for arg in "$@"; do
    case "$arg" in
        --realtime) SIM_ARGS+=(--paced) ;;
        *) echo "usage: $0 [--realtime]" >&2; exit 2 ;;
    esac
done

for program in pelion-sim pelion-update; do
    [ -x "$BUILD/$program" ] || { echo "demo: $BUILD/$program is missing; build first" >&2; exit 1; }
done

WORK=$(mktemp -d)
SIM_PID=""
cleanup() {
    if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

"$BUILD/pelion-sim" --app-class 0x6601 --app-version 0x0601 --bootloader bl3 --bl-version 0 \
    --platform 24 --print 49 --upid-id 0x6601 --upid-platform 24 --upid-print 49 \
    --expect-image "$IMAGE_11" "${SIM_ARGS[@]}" >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM_PID=$!

if ! PORT=$(sim_port "$WORK/sim.out" "$SIM_PID"); then
    echo "demo: pelion-sim did not come up" >&2
    cat "$WORK/sim.err" >&2
    exit 1
fi

echo "==> simulated logger on $PORT: application 6.01, platform 24, print 49, BL3 3.0"
echo "==> pelion-update --port $PORT --yes"
update_status=0
"$BUILD/pelion-update" --port "$PORT" --yes || update_status=$?

kill -INT "$SIM_PID" 2>/dev/null || true
sim_status=0
wait "$SIM_PID" || sim_status=$?
SIM_PID=""
echo "==> pelion-sim: $(tail -n 1 "$WORK/sim.out")"

if [ "$update_status" -ne 0 ] || [ "$sim_status" -ne 0 ]; then
    echo "demo: FAILED (pelion-update exit $update_status, pelion-sim exit $sim_status)" >&2
    exit 1
fi
echo "==> demo passed: the logger's flash equals image 11"
