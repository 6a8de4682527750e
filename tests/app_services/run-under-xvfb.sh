#!/bin/sh
# Runs a test program on a private X server (Xvfb, on a free display) and a private D-Bus session
# bus (session-bus.conf), then tears both down. Usage: run-under-xvfb.sh program [args]
set -eu
display=$(mktemp "${TMPDIR:-/tmp}/kelvo-display-XXXXXX")
# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$display"' EXIT
until [ -s "$display" ]; do
    kill -0 $xvfb 2>/dev/null || { echo "run-under-xvfb: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
# The system bus is out of reach on purpose; tests hand the private bus to what needs one.
export DISPLAY=":$(cat "$display")" QT_QPA_PLATFORM=xcb DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent
unset WAYLAND_DISPLAY
dbus-run-session --config-file="$(dirname "$0")/session-bus.conf" -- "$@"
