#!/usr/bin/env bash
# Runs the README's commands in a fresh minimal Debian 12 root (debootstrap minbase, in a
# chroot) with nothing added by hand, and fails if any of them fails. Needs root.
#
# tools/fresh-debian-check.sh [COMMIT]     (default: this clone's HEAD)
#
# The minimal root is made once from the machine's own Debian mirror and kept as a tarball
# in $CLIPMOOR_CI_CACHE (default /var/cache/clipmoor-ci); every run unpacks it afresh.
# Delete that folder to start from a newer Debian 12. To keep CI's time in bounds the root
# gets one package before the README's commands, ccache, sharing this machine's compiler
# cache (CLIPMOOR_FRESH_CCACHE=0: without).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
commit="$(git -C "$root" rev-parse "${1:-HEAD}")"
cache="${CLIPMOOR_CI_CACHE:-/var/cache/clipmoor-ci}"
suite=bookworm
tarball="$cache/$suite-minbase.tar"

die() {
    echo "fresh-debian-check: $*" >&2
    exit 1
}
[[ "$(id -u)" == 0 ]] || die "needs root (debootstrap, mount and chroot)"
mkdir -p "$cache"
# One check at a time: they would share the cached root and fight for the cores.
exec 9>"$cache/lock"
flock 9

started=$SECONDS
step_started=$SECONDS
step() {
    echo "== fresh-debian-check: $* (after $((SECONDS - started)) s)"
    step_started=$SECONDS
}

# The Debian repositories this machine uses (main suite, updates, security), from its own
# apt sources in either format.
debian_sources() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(ORIGIN)' |
        awk -v s="$suite" '$3 == "Debian" && ($2 == s || $2 == s "-updates" || $2 == s "-security") {
            print $1, $2 }' | sort -u
}
sources="$(debian_sources)"
if [[ -z "$sources" ]] || ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    sources="$(debian_sources)"
fi
mirror="$(awk -v s="$suite" '$2 == s { print $1; exit }' <<<"$sources")"
[[ -n "$mirror" ]] || die "no Debian $suite repository in this machine's apt sources"
if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

if [[ ! -s "$tarball" ]]; then
    step "debootstrap --variant=minbase $suite from $mirror"
    fresh="$(mktemp -d "$cache/debootstrap.XXXXXX")"
    debootstrap --variant=minbase "$suite" "$fresh" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/debootstrap.log" >&2; rm -rf --one-file-system "$fresh"; die "debootstrap failed"; }
    tar -C "$fresh" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
    rm -rf --one-file-system "$fresh"
    echo "   took $((SECONDS - step_started)) s"
fi

rootfs=""
mounts=(proc sys dev dev/pts dev/shm)
ccache="${CLIPMOOR_FRESH_CCACHE:-1}"
((ccache)) && mounts+=(var/cache/ccache)
# The compiler cache: this machine's own where it has one (CI has just built the same commit
# with the same Debian compilers there, so the root compiles little), else one kept in $cache.
# Every package still comes from the README's commands: a missing header or library fails
# the preprocessor or the link as it would without the cache.
ccache_dir="$cache/ccache" ccache_size=2G
if command -v ccache >/dev/null; then
    ccache_dir="$(ccache -k cache_dir)" ccache_size="$(ccache -k max_size)"
fi
cleanup() {
    local status=$?
    if [[ -n "$rootfs" ]]; then
        # Whatever still runs inside (a display server, a browser) holds the mounts.
        local proc
        for proc in /proc/[0-9]*; do
            [[ "$(readlink "$proc/root" 2>/dev/null)" == "$rootfs" ]] && kill -KILL "${proc#/proc/}" 2>/dev/null
        done
        local i
        for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
            if mountpoint -q "$rootfs/${mounts[i]}"; then
                umount "$rootfs/${mounts[i]}" || umount -l "$rootfs/${mounts[i]}"
            fi
        done
        # Never delete through a mount: that would reach the machine's own /dev.
        if grep -q " $rootfs/" /proc/mounts; then
            echo "fresh-debian-check: $rootfs still has mounts; left in place" >&2
        else
            rm -rf --one-file-system "$rootfs"
        fi
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

step "unpacking the minimal root"
rootfs="$(realpath "$(mktemp -d /var/tmp/clipmoor-fresh.XXXXXX)")"
tar -C "$rootfs" -xf "$tarball"
chmod 755 "$rootfs" # mktemp's 0700 would lock out apt's own user
# A Debian 12 installation gets its updates and security fixes: same repositories as here.
awk '{ print "deb", $1, $2, "main" }' <<<"$sources" >"$rootfs/etc/apt/sources.list"
cp -L /etc/resolv.conf "$rootfs/etc/resolv.conf"
# This network's own certificate authorities, as every machine on it has them (npm's
# registry is reached through them); ca-certificates adds them when apt installs it.
if [[ -d /usr/local/share/ca-certificates ]]; then
    mkdir -p "$rootfs/usr/local/share/ca-certificates"
    cp -r /usr/local/share/ca-certificates/. "$rootfs/usr/local/share/ca-certificates/"
fi
for m in "${mounts[@]}"; do
    mkdir -p "$rootfs/$m"
    if [[ "$m" == var/cache/ccache ]]; then
        mkdir -p "$ccache_dir"
        mount --bind "$ccache_dir" "$rootfs/$m"
    else
        mount --bind "/$m" "$rootfs/$m"
    fi
done
git clone --quiet --no-hardlinks "$root" "$rootfs/root/clipmoor"
git -C "$rootfs/root/clipmoor" checkout --quiet --detach "$commit"
echo "   commit $commit, root $rootfs"

inside=(chroot "$rootfs" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
    CCACHE_DIR=/var/cache/ccache CCACHE_MAXSIZE=$ccache_size
    ${NODE_EXTRA_CA_CERTS:+NODE_EXTRA_CA_CERTS=$NODE_EXTRA_CA_CERTS})
if ((ccache)); then
    step "adding ccache to the root (its folder: $ccache_dir)"
    "${inside[@]}" /bin/bash -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends ccache >/dev/null && ccache -z >/dev/null' </dev/null
    echo "   took $((SECONDS - step_started)) s"
fi
cp "$root/tools/fresh-debian-steps.sh" "$rootfs/root/fresh-debian-steps.sh"
"${inside[@]}" /bin/bash /root/fresh-debian-steps.sh /root/clipmoor </dev/null ||
    die "FAILED after $((SECONDS - started)) s (see above)"
echo "== fresh-debian-check: passed in $((SECONDS - started)) s"
