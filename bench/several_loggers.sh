#!/usr/bin/env bash
# Many loggers updated at once by one pelion-update: for each line setting, one paced
# pelion-sim (9600 baud) updated alone, then N at once. Prints, per run, the wall time against
# the least time an update can take on that line (bench/images.sh), their ratio, and the
# updater's CPU time and peak memory (from pelion-measure, wait4).
#   bench/several_loggers.sh BUILD_DIR [N] [IMAGE] [LATENCY_MS...]
#   IMAGE: 11 (default, ~225 s per update) or 1 (the smallest image, BL logger)
#   LATENCY_MS: 0 (default) the bytes reach the updater one by one; otherwise through the
#   model of a USB serial adapter with that latency timer (pelion-sim --adapter-latency)
set -euo pipefail
BUILD=$1
COUNT=${2:-16}
IMAGE=${3:-11}
shift $(($# < 3 ? $# : 3))
LATENCIES=("${@:-0}")
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/tools/sim_port.sh"
source "$ROOT/bench/images.sh"
image_setup "$IMAGE"
WORK=$(mktemp -d)
SIMS=()
cleanup() {
    for pid in "${SIMS[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

# start_loggers N LATENCY_MS: N paced simulated loggers; their ports in PORT_ARGS.
start_loggers() {
    local line_args=(--paced)
    [ "$2" != 0 ] && line_args+=(--adapter-latency "$2")
    SIMS=()
    PORT_ARGS=()
    for i in $(seq 1 "$1"); do
        "$BUILD/pelion-sim" "${SIM_ARGS[@]}" "${line_args[@]}" --expect-image "$FILE" \
            >"$WORK/sim$i.out" 2>&1 &
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

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

# row N LATENCY_MS: one pelion-update over N loggers, as a table row.
row() {
    start_loggers "$1" "$2"
    "$BUILD/pelion-measure" "$BUILD/pelion-update" "${PORT_ARGS[@]}" --yes \
        >"$WORK/update.out" 2>"$WORK/measure.out" || {
        echo "bench: the update of $1 loggers failed" >&2
        tail -n 20 "$WORK/update.out" "$WORK/measure.out" >&2
        exit 1
    }
    stop_loggers
    local measured line
    measured=$(tail -n 1 "$WORK/measure.out")
    line="paced 9600 baud"
    [ "$2" != 0 ] && line="adapter, $2 ms timer"
    awk -v line="$line" -v n="$1" -v image="$IMAGE" -v bound="$(update_bound "$2")" \
        -v wall="$(field wall_s "$measured")" -v cpu="$(field cpu_s "$measured")" \
        -v rss="$(field maxrss_kib "$measured")" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
        printf "| %s | %d | %s | %.2f s | %.2f s | %.4f | %.2f s | %.3f%% | %d KiB | %s |\n",
            line, n, image, wall, bound, wall / bound, cpu, 100 * cpu / wall, rss, load
    }'
}

echo "| line | loggers | image | measured | least possible | ratio | updater CPU | CPU / one core | peak memory | load after |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for latency in "${LATENCIES[@]}"; do
    row 1 "$latency"
    row "$COUNT" "$latency"
done
