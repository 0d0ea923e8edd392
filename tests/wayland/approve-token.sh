#!/usr/bin/env bash
# Prints a restore token that lets a screen cast of the headless desktop's virtual monitor
# start without the dialog: the permission-store entry the portals write after a click on
# "Share" (layout of xdg-desktop-portal 1.16 with GNOME 43's portal). A token is good for
# one cast. Runs on the desktop's session bus (tests/wayland/with-desktop.sh).
set -euo pipefail

monitor="MetaVendor:MetaVirtualMonitor:0x00"
if ! gdbus call --session --dest org.gnome.Mutter.DisplayConfig --object-path \
    /org/gnome/Mutter/DisplayConfig --method org.gnome.Mutter.DisplayConfig.GetCurrentState |
    grep -q "'MetaVendor', 'MetaVirtualMonitor', '0x00'"; then
    echo "approve-token.sh: the virtual monitor is not $monitor" >&2
    exit 1
fi
# The portal takes only UUIDs as tokens.
token="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n' |
    sed -E 's/(.{8})(.{4})(.{4})(.{4})(.{12})/\1-\2-\3-\4-\5/')"
gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
    --object-path /org/freedesktop/impl/portal/PermissionStore \
    --method org.freedesktop.impl.portal.PermissionStore.Set screencast true "$token" \
    "{'': ['yes']}" \
    "<('GNOME', uint32 1, <(int64 0, int64 0, [(uint32 0, uint32 1, <'$monitor'>)])>)>" >/dev/null
echo "$token"
