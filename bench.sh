#!/usr/bin/env bash
# Builds and runs the benchmarks; each reports its time against a baseline measured in the same run.
# ./bench.sh [NAME...] [--OPTION...]   (names are the folders under bench/, default: all;
# options go to every benchmark named, e.g. ./bench.sh capture --long)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/tools/install-deps.sh" test
"$root/tools/build.sh" -DCLIPMOOR_TESTS=ON -DCLIPMOOR_BENCH=ON >/dev/null
names=()
options=()
for argument in "$@"; do
    if [[ "$argument" == -* ]]; then options+=("$argument"); else names+=("$argument"); fi
done
if ((${#names[@]} == 0)); then
    for runner in "$root"/bench/*/run.sh; do names+=("$(basename "$(dirname "$runner")")"); done
fi
# Every benchmark folder has a run.sh that takes the build folder.
status=0
for name in "${names[@]}"; do
    runner="$root/bench/$name/run.sh"
    [[ -f "$runner" ]] || { echo "== $name: no benchmark here" >&2; status=1; continue; }
    echo "== $name"
    bash "$runner" "$root/build" "${options[@]}" || status=1
done
exit "$status"
