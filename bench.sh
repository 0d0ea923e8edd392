#!/usr/bin/env bash
# Builds and runs the benchmarks; each reports its time against a baseline measured in the same run.
# ./bench.sh [NAME...]   (names are the folders under bench/, default: all)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/tools/install-deps.sh" test
"$root/tools/build.sh" >/dev/null
names=("$@")
if ((${#names[@]} == 0)); then
    for dir in "$root"/bench/*/; do names+=("$(basename "$dir")"); done
fi
for name in "${names[@]}"; do
    echo "== $name"
    runner="$root/bench/$name/run.sh"
    if [[ -x "$runner" ]]; then "$runner" "$root/build"; else "$root/build/bench/$name"; fi
done
