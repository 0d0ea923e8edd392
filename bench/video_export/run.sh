#!/usr/bin/env bash
# ./bench.sh video_export runs this with the build folder.
set -euo pipefail
exec "$1/bench/video_export_bench" "${@:2}"
