#!/usr/bin/env bash
# ./bench.sh project_file: run.sh BUILD_DIR [--frames N] [--rounds R]
set -euo pipefail
build="$1"
shift
exec "$build/bench/project_file_bench" "$@"
