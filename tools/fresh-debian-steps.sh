#!/usr/bin/env bash
# The README's commands as a new user types them on a fresh Debian 12 machine, each
# checked, timed and measured (what it downloaded, what disk space it took).
# tools/fresh-debian-check.sh runs this inside its chroot: fresh-debian-steps.sh SOURCE_DIR
set -uo pipefail
cd "$1"
failed=0
# Progress goes to the log even where a command's own output is redirected.
exec 3>&1

# MB used on the root file system (less the CI's compiler cache), downloaded Debian
# packages, npm's download cache.
megabytes() { du -sxm --exclude=/var/cache/ccache "$@" 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }
used=$(megabytes /)
debs=$(megabytes /var/cache/apt/archives)
npm_cache=$(megabytes "$HOME/.npm")
measure() {
    local now_used now_debs now_npm
    now_used=$(megabytes /)
    now_debs=$(megabytes /var/cache/apt/archives)
    now_npm=$(megabytes "$HOME/.npm")
    echo >&3 "   took $((SECONDS - step_started)) s; downloaded $((now_debs - debs)) MB of Debian" \
        "packages and $((now_npm - npm_cache)) MB from npm; disk +$((now_used - used)) MB" \
        "(now $now_used MB in all)"
    used=$now_used debs=$now_debs npm_cache=$now_npm
}
# run EXPECTED_STATUS COMMAND...: the command must end with that status.
run() {
    local expected=$1 status
    shift
    echo >&3 "== \$ $*"
    step_started=$SECONDS
    "$@"
    status=$?
    if [[ "$status" != "$expected" ]]; then
        echo >&3 "!! '$*' ended with status $status, expected $expected"
        failed=1
    fi
    measure
    return "$status"
}

echo "== $(. /etc/os-release && echo "$PRETTY_NAME"), $(nproc) cores, ${used} MB in use"
# On a machine without a display, ./run.sh builds and then says how to go on.
run 1 ./run.sh 2>run.err
cat run.err
grep -q 'no display' run.err || { echo "!! ./run.sh did not explain the missing display"; failed=1; }
run 0 ./run.sh --help >/dev/null
run 0 ./run.sh info examples/tour.fmo
run 0 ./run.sh export examples/tour.fmo out.swf --html
for file in out.swf out.htm; do
    [[ -s "$file" ]] || { echo "!! ./run.sh export wrote no $file"; failed=1; }
done
# The window on a virtual display, as the message above suggests: the program itself must
# be running for 3 s (not the install step or the build).
window_runs() {
    timeout 120 xvfb-run -a ./run.sh &
    local runner=$! seen=0 exe
    for _ in $(seq 200); do
        sleep 0.5
        for exe in /proc/[0-9]*/exe; do
            if [[ "$(readlink "$exe" 2>/dev/null)" == "$PWD/build/bin/clipmoor" ]]; then
                seen=$((seen + 1))
                break
            fi
        done
        ((seen >= 6)) && break
    done
    kill -TERM "$runner" 2>/dev/null
    wait "$runner"
    ((seen >= 6)) || echo "!! the window did not keep running under xvfb-run"
    ((seen >= 6))
}
run 0 window_runs # timeout 120 xvfb-run -a ./run.sh
run 0 env DESTDIR=/tmp/stage cmake --install build --prefix /usr/local >/dev/null
[[ -x /tmp/stage/usr/local/bin/clipmoor ]] || { echo "!! cmake --install put no bin/clipmoor"; failed=1; }
run 0 ./test.sh
echo "== node $(node --version), npm $(npm --version); build/ holds $(megabytes build) MB"
if command -v ccache >/dev/null; then
    ccache -s | grep -Ei '^ *(hits|misses)|cache hit|cache miss' || true
fi
exit "$failed"
