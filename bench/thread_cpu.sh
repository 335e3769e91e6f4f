#!/usr/bin/env bash
# Where a running update spends the updater's CPU: one pelion-update over one paced pelion-sim
# (image 11), sampled per thread over a window in the middle of the data lines. Prints, per
# thread, its share of one core (run time from /proc/.../schedstat, in ns) and its wake-ups a
# second (voluntary context switches), the figure that the CPU follows.
#   bench/thread_cpu.sh BUILD_DIR [LATENCY_MS] [WINDOW_S]
#   LATENCY_MS: 0 (default) byte by byte, otherwise through the adapter model
set -euo pipefail
BUILD=$1
LATENCY=${2:-0}
WINDOW=${3:-40}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/tools/sim_port.sh"
source "$ROOT/bench/images.sh"
image_setup 11
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

line_args=(--paced)
[ "$LATENCY" != 0 ] && line_args+=(--adapter-latency "$LATENCY")
"$BUILD/pelion-sim" "${SIM_ARGS[@]}" "${line_args[@]}" >"$WORK/sim.out" 2>&1 &
PIDS+=($!)
port=$(sim_port "$WORK/sim.out" "$!") || { echo "bench: pelion-sim did not start" >&2; exit 1; }
"$BUILD/pelion-update" --port "$port" --yes >"$WORK/update.out" 2>&1 &
UPDATER=$!
PIDS+=($UPDATER)
sleep 8  # past the queries, into the data lines

# snapshot: per thread its id, run time in ns and voluntary context switches
snapshot() {
    for task in /proc/"$UPDATER"/task/*; do
        read -r run _ <"$task/schedstat"
        echo "${task##*/} $run $(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")"
    done
}
snapshot >"$WORK/before"
sleep "$WINDOW"
snapshot >"$WORK/after"
join "$WORK/before" "$WORK/after" | awk -v window="$WINDOW" -v main="$UPDATER" '{
    name = $1 == main ? "main thread" : "link thread " $1
    printf "%s: %.3f%% of one core, %.1f wake-ups/s\n", name, ($4 - $2) / 1e7 / window, ($5 - $3) / window
}'
