#!/usr/bin/env bash
# Runs the portal capture benchmark on a headless Wayland desktop of its own at 1920 x 1080.
# run.sh [BUILD_DIR] [--seconds S]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:-$here/../../build}"
exec "$here/../../tests/wayland/with-desktop.sh" --size 1920x1080 \
    "$build/bench/capture_portal/capture_portal" "${@:2}"
