#!/usr/bin/env bash
# Prints the benchmark table: whole updates against the simulated logger (paced at 9600 baud
# and unpaced), the cost of a running update, start-up, and the codec and exchange
# micro-benchmarks, and sixteen paced loggers updated at once. Called by ./run bench with the
# release build folder.
#   bench/run_bench.sh BUILD_DIR [--quick]   --quick: skip the paced (minutes-long) updates
set -euo pipefail
BUILD=$1
QUICK=${2:-}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
IMAGES=$ROOT/firmware/images
source "$ROOT/tools/sim_port.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

CHAR_S=$(awk 'BEGIN { printf "%.9f", 10 / 9600 }')  # one character at 9600 baud 8N1
PAUSES_S=2.701  # two null frames of 100 ms, 1 ms after the jump, 500 ms and 2000 ms at the end

# The two loggers: image 1 (smallest) on a BL logger running 3.20, image 11 (largest) on a
# BL3 3.0 logger running 6.01. For each: sim options, image file, data lines, and the
# characters of everything but the data lines (frames, queries, start and end commands).
SIM_IMAGE1=(--app-version 0x0314 --bootloader bl --bl-version 0 --platform 0 --print 0)
SIM_IMAGE11=(--app-version 0x0601 --bootloader bl3 --bl-version 0 --platform 24 --print 49
    --upid-id 0x6601 --upid-platform 24 --upid-print 49)
FILE_IMAGE1=$IMAGES/uFW_PelionB_V3_20.txt
FILE_IMAGE11=$IMAGES/uFW_Pelion_V6_02_PF24_PR49_BL3_0.txt
# null 2x8; identity 16; serial 16; jump 8; identity 16; start 13+13; end 13; identity 16
FIXED_CHARS_BL=127
# the same plus the platform query (13+23) and the update-ID query (13+139)
FIXED_CHARS_BL3=$((127 + 36 + 152))

data_lines() { grep -c '^:40' "$1"; }

# update NAME FILE FIXED_CHARS PACED SIM_OPTIONS... : one whole update, measured.
update() {
    local name=$1 file=$2 fixed=$3 paced=$4
    shift 4
    local sim_args=("$@" --expect-image "$file")
    [ "$paced" = yes ] && sim_args+=(--paced)
    "$BUILD/pelion-sim" "${sim_args[@]}" >"$WORK/sim.out" 2>&1 &
    local sim=$!
    local port
    port=$(sim_port "$WORK/sim.out" "$sim") || { echo "bench: pelion-sim did not start" >&2; exit 1; }
    "$BUILD/pelion-measure" "$BUILD/pelion-update" --port "$port" --yes \
        >"$WORK/update.out" 2>"$WORK/measure.out" || {
        echo "bench: the update of $name failed" >&2
        cat "$WORK/update.out" "$WORK/measure.out" >&2
        kill "$sim"
        exit 1
    }
    kill -INT "$sim"
    wait "$sim" || { echo "bench: flash after $name: $(tail -n 1 "$WORK/sim.out")" >&2; exit 1; }
    local lines wall cpu
    lines=$(data_lines "$file")
    wall=$(sed -n 's/.*wall_s=\([0-9.]*\).*/\1/p' "$WORK/measure.out")
    cpu=$(sed -n 's/.*cpu_s=\([0-9.]*\).*/\1/p' "$WORK/measure.out")
    awk -v name="$name" -v paced="$paced" -v lines="$lines" -v fixed="$fixed" \
        -v wall="$wall" -v cpu="$cpu" -v char="$CHAR_S" -v pauses="$PAUSES_S" 'BEGIN {
        limit = (lines * 278 + fixed) * char + pauses
        if (paced == "yes")
            printf "| %s, paced 9600 baud | %d | %.2f s | %.2f s | %.4f | %.3f%% |\n",
                name, lines, wall, limit, wall / limit, 100 * cpu / wall
        else
            printf "| %s, unpaced | %d | %.2f s | %.0f us/line beyond pauses | %.0f lines/s | %.3f%% |\n",
                name, lines, wall, 1e6 * (wall - pauses) / lines, lines / (wall - pauses), 100 * cpu / wall
    }'
}

echo "## Whole updates"
echo
echo "| update | data lines | measured | wire-and-pauses limit / overhead | ratio / rate | updater CPU / wall |"
echo "|---|---|---|---|---|---|"
update "image 1" "$FILE_IMAGE1" $FIXED_CHARS_BL no "${SIM_IMAGE1[@]}"
update "image 11" "$FILE_IMAGE11" $FIXED_CHARS_BL3 no "${SIM_IMAGE11[@]}"
if [ "$QUICK" != --quick ]; then
    update "image 1" "$FILE_IMAGE1" $FIXED_CHARS_BL yes "${SIM_IMAGE1[@]}"
    update "image 11" "$FILE_IMAGE11" $FIXED_CHARS_BL3 yes "${SIM_IMAGE11[@]}"
fi

if [ "$QUICK" != --quick ]; then
    echo
    echo "## Many loggers at once"
    echo
    "$ROOT/bench/several_loggers.sh" "$BUILD" 16 11
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
