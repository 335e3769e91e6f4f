# Sourced by the benchmark scripts: the two loggers they update and what an update of each
# cannot go below.
#
# Image 1 (smallest) on a BL logger running 3.20, image 11 (largest) on a BL3 3.0 logger
# running 6.01. image_setup IMAGE sets SIM_ARGS (pelion-sim options), FILE (the image),
# FIXED_CHARS (the characters of everything but the data lines: frames, queries, start and end
# commands) and DATA_LINES.
IMAGES=$(cd "$(dirname "${BASH_SOURCE[0]}")/../firmware/images" && pwd)

CHAR_S=$(awk 'BEGIN { printf "%.9f", 10 / 9600 }')  # one character at 9600 baud 8N1
PAUSES_S=2.701  # two null frames of 100 ms, 1 ms after the jump, 500 ms and 2000 ms at the end

image_setup() {
    case $1 in
        1) SIM_ARGS=(--app-version 0x0314 --bootloader bl --bl-version 0 --platform 0 --print 0)
           FILE=$IMAGES/uFW_PelionB_V3_20.txt
           # null 2x8; identity 16; serial 16; jump 8; identity 16; start 13+13; end 13; identity 16
           FIXED_CHARS=127 ;;
        11) SIM_ARGS=(--app-version 0x0601 --bootloader bl3 --bl-version 0 --platform 24 --print 49
            --upid-id 0x6601 --upid-platform 24 --upid-print 49)
            FILE=$IMAGES/uFW_Pelion_V6_02_PF24_PR49_BL3_0.txt
            # the same plus the platform query (13+23) and the update-ID query (13+139)
            FIXED_CHARS=$((127 + 36 + 152)) ;;
        *) echo "bench: image 1 or 11" >&2; return 2 ;;
    esac
    DATA_LINES=$(grep -c '^:40' "$FILE")
}

# update_bound LATENCY_MS: the least time an update can take, in seconds. Every character on
# the wire takes its character time, plus the logger's pauses. LATENCY_MS 0: the bytes reach
# the updater one by one. Otherwise through a USB adapter whose latency timer is LATENCY_MS: a
# data line's exchange starts when the previous answer's last packet has reached the computer,
# at a point of the adapter's timer grid, and its echo's last byte reaches the adapter 278
# character times later; the packet that carries it leaves at the first grid point after that,
# so each data line costs 278 character times rounded up to whole timer periods. (No packet
# fills at 9600 baud with a timer below 62 character times, 64.6 ms, so the grid is never
# restarted.) The other exchanges are counted at their wire time alone.
update_bound() {
    awk -v lines="$DATA_LINES" -v fixed="$FIXED_CHARS" -v char="$CHAR_S" -v pauses="$PAUSES_S" \
        -v latency="$1" 'BEGIN {
        line = 278 * char
        if (latency > 0) {
            period = latency / 1000
            periods = int(line / period)
            if (periods * period < line) periods++
            line = periods * period
        }
        printf "%.6f", lines * line + fixed * char + pauses
    }'
}
