#!/usr/bin/env bash
# Runs the capture benchmark on X servers of its own, at 1920 x 1080 and 3840 x 2160.
# run.sh [BUILD_DIR] [--long]
set -euo pipefail
build="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build}"
program="$build/bench/capture/capture"
for size in 1920x1080 3840x2160; do
    fd_file="$(mktemp)"
    # -displayfd picks a free display number and writes it once the server is ready.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -noreset -nolisten tcp 3>"$fd_file" 2>/dev/null &
    server=$!
    for _ in $(seq 100); do [[ -s "$fd_file" ]] && break; sleep 0.1; done
    display=":$(tr -d '\n' <"$fd_file")"
    rm -f "$fd_file"
    status=0
    DISPLAY="$display" CLIPMOOR_BENCH_SERVER_PID="$server" "$program" "${@:2}" || status=$?
    kill "$server"
    wait "$server" 2>/dev/null || true
    ((status == 0)) || exit "$status"
done
