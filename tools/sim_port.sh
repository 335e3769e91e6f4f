# Sourced by the scripts that start pelion-sim, whose first line of output is the port it
# serves. sim_port FILE PID prints that port, or fails when the simulator did not come up.
sim_port() {
    local out=$1 pid=$2 port=""
    for _ in $(seq 100); do
        port=$(head -n 1 "$out" 2>/dev/null || true)
        if [ -n "$port" ]; then
            printf '%s\n' "$port"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
