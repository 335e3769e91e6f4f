# Sourced by the screenshot scripts: a screen of their own, Xvfb with the openbox window manager.
# x_screen WORK_DIR starts both, adds their process ids to the caller's array `pids` and exports
# DISPLAY; it fails when either does not come up. stop_pids ends every process in `pids`.
x_screen() {
    local work=$1 number
    # Xvfb names its display on the -displayfd pipe once it accepts clients.
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 800x600x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    read -r -t 60 -u "$display_fd" number ||
        { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; return 1; }
    export DISPLAY=:$number
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 600); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    echo "openbox did not start" >&2
    return 1
}

stop_pids() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
