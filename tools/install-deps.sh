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
# Both profiles need it: the program ships the browser player from an npm package.
if command -v node >/dev/null && command -v npm >/dev/null; then
    missing=("${missing[@]/nodejs/}")
else
    missing+=(npm)
fi
filtered=()
for pkg in "${missing[@]}"; do [[ -n "$pkg" ]] && filtered+=("$pkg"); done

if ((${#filtered[@]})); then
    sudo_cmd=()
    if [[ "$(id -u)" != 0 ]]; then
        if ! command -v sudo >/dev/null; then
            echo "tools/install-deps.sh: Debian packages are missing (${filtered[*]}); run this as root, or install sudo" >&2
            exit 1
        fi
        sudo_cmd=(sudo)
    fi
    echo "Installing Debian packages: ${filtered[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${filtered[@]}" >/dev/null
fi

# The npm packages, pinned by tools/node/package-lock.json, live in build/node: the browser
# player that the build copies into the program folder (build/bin/player), and what the
# tests use. Once installed they are not fetched again, so later builds work offline.
# A package whose engines exclude this Node.js fails the install instead of failing later.
{
    node_dir="$root/build/node"
    stamp="$node_dir/installed-package-lock.json"
    mkdir -p "$node_dir"
    if ! cmp -s "$here/node/package-lock.json" "$stamp" || [[ ! -d "$node_dir/node_modules" ]]; then
        echo "Installing npm packages (browser player and test tools)"
        rm -f "$stamp"
        cp "$here/node/package.json" "$here/node/package-lock.json" "$node_dir/"
        if (cd "$node_dir" && npm ci --engine-strict --no-audit --no-fund --loglevel=warn >/dev/null); then
            cp "$here/node/package-lock.json" "$stamp"
        else
            # The program runs without the player (pages then need a Flash plug-in); the
            # tests do not.
            echo "tools/install-deps.sh: npm could not install the packages of tools/node (see above)" >&2
            [[ "$profile" == test ]] && exit 1
            echo "warning: pages will not play without Flash" >&2
        fi
    fi
}
