#!/usr/bin/env bash
# Installs the Debian packages that are missing (and the npm packages the tests use).
# Usage: tools/install-deps.sh build|test
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
profile="${1:-build}"

lists=("$here/packages-build.txt")
[[ "$profile" == test ]] && lists+=("$here/packages-test.txt")

missing=()
for list in "${lists[@]}"; do
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        status="$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
        [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
    done <"$list"
done

# Node.js may come from another source than Debian; only npm is required to be on PATH.
if command -v node >/dev/null && command -v npm >/dev/null; then
    missing=("${missing[@]/nodejs/}")
elif [[ "$profile" == test ]]; then
    missing+=(npm)
fi
filtered=()
for pkg in "${missing[@]}"; do [[ -n "$pkg" ]] && filtered+=("$pkg"); done

if ((${#filtered[@]})); then
    echo "Installing Debian packages: ${filtered[*]}"
    sudo_cmd=()
    [[ "$(id -u)" == 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${filtered[@]}" >/dev/null
fi

if [[ "$profile" == test ]]; then
    # npm packages of the tests, pinned by tools/node/package-lock.json, live in build/node.
    node_dir="$root/build/node"
    mkdir -p "$node_dir"
    if ! cmp -s "$here/node/package-lock.json" "$node_dir/package-lock.json" ||
        [[ ! -d "$node_dir/node_modules" ]]; then
        echo "Installing npm packages for the tests"
        cp "$here/node/package.json" "$here/node/package-lock.json" "$node_dir/"
        (cd "$node_dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    fi
fi
