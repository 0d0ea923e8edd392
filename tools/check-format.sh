#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format 14 makes of it with the
# repository's .clang-format, and names the files. tools/check-format.sh --fix formats them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
format=clang-format-14
command -v "$format" >/dev/null || format=clang-format
[[ "$("$format" --version)" == *"version 14."* ]] || {
    echo "check-format: clang-format 14 is needed (tools/install-deps.sh test)" >&2
    exit 1
}
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [[ "${1:-}" == --fix ]]; then
    exec "$format" -i "${files[@]}"
fi
exec "$format" --dry-run -Werror "${files[@]}"
