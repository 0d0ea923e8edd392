#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that the installed programs have
# their files and find their libraries: the command-line program makes a movie, the desktop
# program starts with a project file given on its command line.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
stage="$(mktemp -d)"
program_pid=""
cleanup() {
    [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null || true
    rm -rf "$stage"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >"$stage/install.log"
root="$stage/root/usr"

[[ -L "$root/bin/clipmoor" ]] || fail "bin/clipmoor is not a link"
program_dir="$(dirname "$(readlink -f "$root/bin/clipmoor")")"
[[ "$program_dir" == "$root/lib"*"/clipmoor" ]] || fail "program folder is $program_dir"
for file in clipmoor clipmoor-cli libPictavo.so librasKB50.so librasM50.so help/index.html \
    player/ruffle.js; do
    [[ -f "$program_dir/$file" ]] || fail "$file missing from the program folder"
done
ls "$program_dir"/player/*.wasm >/dev/null || fail "the player's WebAssembly is missing"
for file in share/applications/clipmoor.desktop share/mime/packages/clipmoor-project.xml \
    share/icons/hicolor/scalable/apps/clipmoor.svg; do
    [[ -f "$root/$file" ]] || fail "$file missing"
done
grep -qx 'MimeType=application/x-clipmoor-project;' "$root/share/applications/clipmoor.desktop" ||
    fail "the desktop entry does not open projects"
grep -qx 'Exec=clipmoor %f' "$root/share/applications/clipmoor.desktop" ||
    fail "the desktop entry does not pass the file"
python3 - "$root/share/mime/packages/clipmoor-project.xml" "$root/share/icons/hicolor/scalable/apps/clipmoor.svg" <<'PY' || fail "bad XML"
import sys, xml.etree.ElementTree as ET
mime = ET.parse(sys.argv[1]).getroot()
ns = {"m": "http://www.freedesktop.org/standards/shared-mime-info"}
assert mime.find("m:mime-type/m:glob", ns).get("pattern") == "*.fmo"
ET.parse(sys.argv[2])
PY
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/share/applications/clipmoor.desktop" || fail "desktop entry"
fi
for binary in "$program_dir/clipmoor" "$program_dir/clipmoor-cli"; do
    if ldd "$binary" | grep -q "not found"; then fail "$(ldd "$binary" | grep "not found")"; fi
done

# The installed command-line program loads its image library from its own folder.
"$root/bin/clipmoor-cli" export "$source/examples/tour.fmo" "$stage/tour.swf" --html \
    >"$stage/cli.log" 2>&1 || fail "clipmoor-cli export: $(cat "$stage/cli.log")"
[[ "$(head -c 3 "$stage/tour.swf")" == "FWS" ]] || fail "no movie written"
[[ -f "$stage/tour.htm" ]] || fail "no page written"

# The installed desktop program starts, through its link, and opens the project it is given.
if [[ -n "${DISPLAY:-}" ]]; then
    cp "$source/examples/tour.fmo" "$stage/given.fmo"
    log="$stage/program.log"
    CLIPMOOR_TEST_LOG="$log" "$root/bin/clipmoor" "$stage/given.fmo" >"$stage/program.out" 2>&1 &
    program_pid=$!
    for _ in $(seq 1 300); do
        grep -q '^shown|' "$log" 2>/dev/null && break
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$stage/program.out" "$log" 2>/dev/null)"
        sleep 0.1
    done
    grep -q '^shown|.*given\.fmo' "$log" || fail "the project was not opened: $(cat "$log")"
    if grep -q '^message|' "$log"; then fail "the program complained: $(grep '^message|' "$log")"; fi
fi
echo "install test: 1 passed, 0 failed"
