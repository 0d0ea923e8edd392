#!/usr/bin/env bash
# Runs COMMAND on a headless Wayland desktop of its own and stops the desktop afterwards:
# GNOME's compositor with one virtual monitor, PipeWire, WirePlumber and the screen-cast
# portals on a private session bus, in a private home and runtime folder.
#
# Usage: tests/wayland/with-desktop.sh [--size WxH] [--scale S] COMMAND [ARGS...]
# --scale gives the monitor a fractional scale such as 1.25 (logical layout, scaled
# framebuffers): windows get the monitor's size divided by S, the screen cast its pixels.
# COMMAND sees WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS, XDG_* (a private home too),
# CLIPMOOR_TEST_SCREENCAST_TOKEN (a pre-approved token; tests/wayland/approve-token.sh
# makes more), CLIPMOOR_TEST_PIPEWIRE_PID (to end the stream) and no DISPLAY. The exit status
# is COMMAND's; 1 when the desktop does not come up.
# Runs as root or as a user, with or without a systemd user session.
set -uo pipefail

size=1280x720
scale=1
while [[ "${1:-}" == --size || "${1:-}" == --scale ]]; do
    [[ "$1" == --size ]] && size="$2" || scale="$2"
    shift 2
done
(($#)) || { echo "usage: $0 [--size WxH] [--scale S] COMMAND [ARGS...]" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/clipmoor-wayland.XXXXXX")"
pids=()
log="$work/desktop.log"

stop() {
    # Reverse order: the GNOME portal crashes when the compositor goes first.
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null
        for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
        kill -9 "${pids[i]}" 2>/dev/null
    done
    # Services the bus started on demand (the permission store) leave with it.
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM

fail() {
    echo "with-desktop.sh: $1 (log follows)" >&2
    cat "$log" >&2
    exit 1
}

# Waits up to 10 s for a condition.
wait_for() {
    for _ in $(seq 100); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
export XDG_DATA_HOME="$work/home/.local/share" XDG_STATE_HOME="$work/home/.local/state"
export XDG_CACHE_HOME="$work/home/.cache" XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
export WAYLAND_DISPLAY=clipmoor-wayland-0
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset DISPLAY SESSION_MANAGER
# GLib's settings would otherwise go looking for dconf on a bus that has none. Fractional
# scales are still an experiment of the compositor's, switched on in a settings file.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
if [[ "$scale" != 1 ]]; then
    export GSETTINGS_BACKEND=keyfile
    mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
    printf '[org/gnome/mutter]\nexperimental-features=['"'"'scale-monitor-framebuffer'"'"']\n' \
        >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
fi

export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >>"$log" 2>&1 &
pids+=($!)
wait_for "[[ -S '$XDG_RUNTIME_DIR/bus' ]]" || fail "the session bus did not start"
dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME \
    XDG_STATE_HOME XDG_CACHE_HOME XDG_CURRENT_DESKTOP XDG_SESSION_TYPE WAYLAND_DISPLAY \
    GSETTINGS_BACKEND >>"$log" 2>&1 || fail "the session bus refused the environment"

mutter --headless --virtual-monitor "$size" --wayland --no-x11 \
    --wayland-display="$WAYLAND_DISPLAY" >>"$log" 2>&1 &
pids+=($!)
pipewire >>"$log" 2>&1 &
pids+=($!)
wait_for "[[ -S '$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY' && -S '$XDG_RUNTIME_DIR/pipewire-0' ]]" ||
    fail "the compositor or PipeWire did not start"
wireplumber >>"$log" 2>&1 &
pids+=($!)
/usr/libexec/xdg-desktop-portal-gnome >>"$log" 2>&1 &
pids+=($!)
/usr/libexec/xdg-desktop-portal >>"$log" 2>&1 &
pids+=($!)

has_name() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
wait_for "has_name org.freedesktop.portal.Desktop && has_name org.freedesktop.impl.portal.desktop.gnome && has_name org.gnome.Mutter.ScreenCast" ||
    fail "the portals did not start"

if [[ "$scale" != 1 ]]; then
    display=(gdbus call --session --dest org.gnome.Mutter.DisplayConfig
        --object-path /org/gnome/Mutter/DisplayConfig --method)
    serial="$("${display[@]}" org.gnome.Mutter.DisplayConfig.GetCurrentState |
        sed -n 's/^(uint32 \([0-9]*\),.*/\1/p')"
    # Method 1: for this run only.
    "${display[@]}" org.gnome.Mutter.DisplayConfig.ApplyMonitorsConfig "$serial" 1 \
        "[(0, 0, $scale, 0, true, [('Meta-0', '$size@60.000', @a{sv} {})])]" '@a{sv} {}' \
        >>"$log" 2>&1 || fail "the monitor could not be scaled by $scale"
fi

token="$("$(dirname "${BASH_SOURCE[0]}")/approve-token.sh" 2>>"$log")" ||
    fail "no screen-cast token could be approved"
export CLIPMOOR_TEST_PIPEWIRE_PID="${pids[2]}"
export CLIPMOOR_TEST_SCREENCAST_TOKEN="$token"

"$@"
