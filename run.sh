#!/usr/bin/env bash
# ./run.sh            build if needed and start the desktop program
# ./run.sh ARGS...    build if needed and run the command-line program with ARGS
#                     (e.g. ./run.sh export examples/tour.fmo out.swf --html)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/tools/install-deps.sh" build
# Build quietly; on failure show what went wrong.
log="$root/build/last-build.log"
mkdir -p "$root/build"
# A new build folder gets the program alone: the tests and benchmarks need the test
# packages, and ./test.sh turns them on.
options=()
[[ -f "$root/build/build.ninja" ]] || options=(-DCLIPMOOR_TESTS=OFF -DCLIPMOOR_BENCH=OFF)
if ! "$root/tools/build.sh" "${options[@]}" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "run.sh: the build failed (full log: $log)" >&2
    exit 1
fi

if (($#)); then
    exec "$root/build/bin/clipmoor-cli" "$@"
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    cat >&2 <<'MSG'
Clipmoor is a desktop program and there is no display here (DISPLAY is not set).

The headless way works without one:
  ./run.sh --help                                     what the command-line program can do
  ./run.sh export examples/tour.fmo out.swf --html    make a movie and its page from a project
  xvfb-run -a ./run.sh                                start the window on a virtual display
MSG
    exit 1
fi
if [[ ! -x "$root/build/bin/clipmoor" ]]; then
    echo "The desktop program is not built yet; the command-line program is:" >&2
    exec "$root/build/bin/clipmoor-cli" --help
fi
exec "$root/build/bin/clipmoor"
