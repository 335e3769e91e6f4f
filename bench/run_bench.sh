#!/usr/bin/env bash
# Prints the benchmark table: whole updates against the simulated logger (paced at 9600 baud
# and unpaced), the cost of a running update, start-up, and the codec and exchange
# micro-benchmarks, sixteen paced loggers updated at once, and one and sixteen loggers behind
# the model of a USB serial adapter (16 ms and 1 ms latency timer). Called by ./run bench with
# the release build folder.
#   bench/run_bench.sh BUILD_DIR [--quick]   --quick: skip the paced (minutes-long) updates
set -euo pipefail
BUILD=$1
QUICK=${2:-}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/tools/sim_port.sh"
source "$ROOT/bench/images.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# The updates keep their history here, not in the user's own.
export XDG_STATE_HOME="$WORK/state"

# update IMAGE PACED [OPTION]: one whole update, measured; OPTION goes to pelion-update.
update() {
    local image=$1 paced=$2 option=${3:-}
    image_setup "$image"
    local sim_args=("${SIM_ARGS[@]}" --expect-image "$FILE")
    [ "$paced" = yes ] && sim_args+=(--paced)
    "$BUILD/pelion-sim" "${sim_args[@]}" >"$WORK/sim.out" 2>&1 &
    local sim=$!
    local port
    port=$(sim_port "$WORK/sim.out" "$sim") || { echo "bench: pelion-sim did not start" >&2; exit 1; }
    "$BUILD/pelion-measure" "$BUILD/pelion-update" --port "$port" --yes ${option:+"$option"} \
        >"$WORK/update.out" 2>"$WORK/measure.out" || {
        echo "bench: the update of image $image failed" >&2
        cat "$WORK/update.out" "$WORK/measure.out" >&2
        kill "$sim"
        exit 1
    }
    kill -INT "$sim"
    wait "$sim" || { echo "bench: flash after image $image: $(tail -n 1 "$WORK/sim.out")" >&2; exit 1; }
    local wall cpu
    wall=$(sed -n 's/.*wall_s=\([0-9.]*\).*/\1/p' "$WORK/measure.out")
    cpu=$(sed -n 's/.*cpu_s=\([0-9.]*\).*/\1/p' "$WORK/measure.out")
    awk -v name="image $image${option:+ $option}" -v paced="$paced" -v lines="$DATA_LINES" -v limit="$(update_bound 0)" \
        -v wall="$wall" -v cpu="$cpu" -v pauses="$PAUSES_S" 'BEGIN {
        if (paced == "yes")
            printf "| %s, paced 9600 baud | %d | %.2f s | %.2f s | %.4f | %.3f%% |\n",
                name, lines, wall, limit, wall / limit, 100 * cpu / wall
        else
            printf "| %s, unpaced | %d | %.2f s | %.0f us/line beyond pauses | %.0f lines/s | %.3f%% |\n",
                name, lines, wall, 1e6 * (wall - pauses) / lines, lines / (wall - pauses), 100 * cpu / wall
    }'
}

echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "## Whole updates"
echo
echo "| update | data lines | measured | wire-and-pauses limit / overhead | ratio / rate | updater CPU / wall |"
echo "|---|---|---|---|---|---|"
update 1 no
update 11 no
# Writing the update history (two records, each flushed to the disk) against none.
update 11 no --no-history
if [ "$QUICK" != --quick ]; then
    update 1 yes
    update 11 yes
fi

if [ "$QUICK" != --quick ]; then
    echo
    echo "## Many loggers at once, and through a USB serial adapter"
    echo
    "$ROOT/bench/several_loggers.sh" "$BUILD" 16 11 0 16 1
fi

echo
echo "## Start-up"
echo
echo "| program | median wall (of 20) | peak resident memory |"
echo "|---|---|---|"
startup() {
    local name=$1
    shift
    for _ in $(seq 20); do
        "$BUILD/pelion-measure" "$@" 2>&1 >/dev/null | tail -n 1
    done >"$WORK/startup.out"
    local median rss
    median=$(sed -n 's/.*wall_s=\([0-9.]*\).*/\1/p' "$WORK/startup.out" | sort -n | sed -n 10p)
    rss=$(sed -n 's/.*maxrss_kib=\([0-9]*\).*/\1/p' "$WORK/startup.out" | sort -n | tail -n 1)
    awk -v name="$name" -v median="$median" -v rss="$rss" \
        'BEGIN { printf "| %s | %.1f ms | %d KiB |\n", name, 1000 * median, rss }'
}
startup "pelion-update --list-firmware" "$BUILD/pelion-update" --list-firmware
if [ -x "$BUILD/pelion-update-gui" ]; then
    QT_QPA_PLATFORM=offscreen startup "pelion-update-gui to its first idle moment (offscreen)" \
        "$BUILD/pelion-update-gui" --quit-when-idle
fi

echo
echo "## Micro-benchmarks"
echo
echo '```'
"$BUILD/pelion-codec-bench" --benchmark_min_time=0.2 2>/dev/null | sed -n '/^BM_/p'
"$BUILD/pelion-link-bench" --benchmark_min_time=1 2>/dev/null | sed -n '/^BM_/p'
echo '```'
