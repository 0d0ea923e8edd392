#!/usr/bin/env bash
# ./bench.sh build_movie runs this with the build folder.
set -euo pipefail
exec "$1/bench/build_movie_bench" "${@:2}"
