#!/usr/bin/env bash
# Runs the SWF write benchmark from the build tree given as the first argument.
set -euo pipefail
build="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build}"
exec "$build/bench/swf_write/swf_write" "${@:2}"
