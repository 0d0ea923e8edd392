#!/usr/bin/env bash
# Configures (once) and builds Clipmoor incrementally into build/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
jobs="$(nproc)"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Paths relative to the clone, so that clones in other folders share the compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
# Options (-DNAME=VALUE) configure a new build folder, and configure an existing one again
# when its cache holds another value (./run.sh builds without the tests, ./test.sh with).
configure=0
[[ -f "$build/build.ninja" ]] || configure=1
for option in "$@"; do
    if [[ "$configure" == 0 && "$option" =~ ^-D([A-Za-z0-9_]+)(:[A-Z]+)?=(.*)$ ]]; then
        cached="$(sed -n "s/^${BASH_REMATCH[1]}:[A-Z]*=//p" "$build/CMakeCache.txt")"
        [[ "$cached" == "${BASH_REMATCH[3]}" ]] || configure=1
    fi
done
if ((configure)); then
    cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" "$@" >/dev/null
fi
cmake --build "$build" -j "$jobs"
