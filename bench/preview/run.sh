#!/usr/bin/env bash
# ./bench.sh preview runs this with the build folder. Needs no display.
set -euo pipefail
QT_QPA_PLATFORM=offscreen exec "$1/bench/preview_bench" "${@:2}"
