#!/usr/bin/env bash
# Many loggers updated at once by one pelion-update: N paced pelion-sim processes (9600 baud),
# first one logger alone, then all N at once. Prints the wall time of both, their ratio, and
# the updater's CPU time and peak memory for the N at once (from pelion-measure, wait4).
#   bench/several_loggers.sh BUILD_DIR [N] [IMAGE]
#   IMAGE: 11 (default, ~225 s per update) or 1 (the smallest image, BL logger)
set -euo pipefail
BUILD=$1
COUNT=${2:-16}
IMAGE=${3:-11}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
IMAGES=$ROOT/firmware/images
source "$ROOT/tools/sim_port.sh"
WORK=$(mktemp -d)
SIMS=()
cleanup() {
    for pid in "${SIMS[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

case $IMAGE in
    1) SIM_ARGS=(--app-version 0x0314 --bootloader bl --bl-version 0 --platform 0 --print 0)
       FILE=$IMAGES/uFW_PelionB_V3_20.txt ;;
    11) SIM_ARGS=(--app-version 0x0601 --bootloader bl3 --bl-version 0 --platform 24 --print 49
        --upid-id 0x6601 --upid-platform 24 --upid-print 49)
        FILE=$IMAGES/uFW_Pelion_V6_02_PF24_PR49_BL3_0.txt ;;
    *) echo "bench: image 1 or 11" >&2; exit 2 ;;
esac

# start_loggers N: N paced simulated loggers; their ports in PORT_ARGS.
start_loggers() {
    SIMS=()
    PORT_ARGS=()
    for i in $(seq 1 "$1"); do
        "$BUILD/pelion-sim" "${SIM_ARGS[@]}" --paced --expect-image "$FILE" >"$WORK/sim$i.out" 2>&1 &
        SIMS+=($!)
        local port
        port=$(sim_port "$WORK/sim$i.out" "$!") || { echo "bench: pelion-sim did not start" >&2; exit 1; }
        PORT_ARGS+=(--port "$port")
    done
}

# stop_loggers: every logger must hold the image.
stop_loggers() {
    local i=0
    for pid in "${SIMS[@]}"; do
        i=$((i + 1))
        kill -INT "$pid"
        wait "$pid" || { echo "bench: logger $i: $(tail -n 1 "$WORK/sim$i.out")" >&2; exit 1; }
    done
    SIMS=()
}

# measure N: wall_s, cpu_s and maxrss_kib of one pelion-update over N loggers.
measure() {
    start_loggers "$1"
    "$BUILD/pelion-measure" "$BUILD/pelion-update" "${PORT_ARGS[@]}" --yes \
        >"$WORK/update.out" 2>"$WORK/measure$1.out" || {
        echo "bench: the update of $1 loggers failed" >&2
        tail -n 20 "$WORK/update.out" "$WORK/measure$1.out" >&2
        exit 1
    }
    stop_loggers
    tail -n 1 "$WORK/measure$1.out"
}

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

ONE=$(measure 1)
ALL=$(measure "$COUNT")
awk -v n="$COUNT" -v image="$IMAGE" -v w1="$(field wall_s "$ONE")" -v wn="$(field wall_s "$ALL")" \
    -v cpu="$(field cpu_s "$ALL")" -v rss="$(field maxrss_kib "$ALL")" 'BEGIN {
    printf "| loggers | image | one logger | all at once | ratio | updater CPU | CPU / one core | peak memory |\n"
    printf "|---|---|---|---|---|---|---|---|\n"
    printf "| %d | %s | %.2f s | %.2f s | %.4f | %.2f s | %.3f%% | %d KiB |\n",
        n, image, w1, wn, wn / w1, cpu, 100 * cpu / wn, rss
}'
