#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest on a virtual display.
# Extra arguments go to ctest (e.g. ./test.sh -R swf).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/tools/install-deps.sh" test
"$root/tools/build.sh" -DCLIPMOOR_TESTS=ON -DCLIPMOOR_BENCH=ON

# The parsers' fuzz targets build in their own clang tree with sanitizers.
if [[ -f "$root/tests/fuzz/CMakeLists.txt" ]] && command -v clang++ >/dev/null; then
    fuzz="$root/build/fuzz"
    if [[ ! -f "$fuzz/build.ninja" ]]; then
        cmake -S "$root" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
            -DCLIPMOOR_FUZZ_ONLY=ON -DCLIPMOOR_GUI=OFF >/dev/null
    fi
    cmake --build "$fuzz" -j "$(nproc)"
fi

cd "$root/build"
# One Xvfb for the whole run; -noreset keeps it alive when its last client leaves.
exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset +extension XInputExtension" \
    ctest --output-on-failure -j "$(nproc)" "$@"
