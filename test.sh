#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest on a virtual display.
# Extra arguments go to ctest (e.g. ./test.sh -R swf).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/tools/install-deps.sh" test
"$root/tools/build.sh" -DCLIPMOOR_TESTS=ON -DCLIPMOOR_BENCH=ON

# The core again in two clang trees with sanitizers (cmake/ClipmoorSanitizers.cmake): build/asan
# (AddressSanitizer and UndefinedBehaviorSanitizer, with the parsers' fuzz targets) and
# build/tsan (ThreadSanitizer); the main ctest run runs their tests as NAME.asan, NAME.tsan.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
for sanitizer in address thread; do
    tree="$root/build/${sanitizer:0:1}san"
    if [[ ! -f "$tree/build.ninja" ]]; then
        cmake -S "$root" -B "$tree" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCLIPMOOR_SANITIZE=$sanitizer \
            -DCLIPMOOR_GUI=OFF -DCLIPMOOR_BENCH=OFF -DCLIPMOOR_NODE_DIR="$root/build/node" >/dev/null
    fi
    cmake --build "$tree" -j "$(nproc)" --target clipmoor_sanitized_tests
done

cd "$root/build"
# One Xvfb for the whole run; -noreset keeps it alive when its last client leaves.
exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset +extension XInputExtension" \
    ctest --output-on-failure -j "$(nproc)" "$@"
