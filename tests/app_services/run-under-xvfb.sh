#!/bin/sh
# Runs a test program on a private X server (Xvfb, on a free display) with a private D-Bus session
# bus that starts no services of its own, then tears both down. Usage: run-under-xvfb.sh program [args]
set -eu

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvo-xvfb-XXXXXX")
xvfb_pid=""
bus_pid=""
cleanup() {
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
tries=0
while [ ! -s "$scratch/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "run-under-xvfb: Xvfb did not start" >&2
        cat "$scratch/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(head -n 1 "$scratch/display")"
export DISPLAY

# A bus of our own: no service files, so nothing is started on demand behind the tests' back.
cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$scratch</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$scratch/bus.conf" --nofork --print-address=3 \
    3>"$scratch/bus-address" &
bus_pid=$!
tries=0
while [ ! -s "$scratch/bus-address" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$bus_pid" 2>/dev/null; then
        echo "run-under-xvfb: dbus-daemon did not start" >&2
        exit 1
    fi
    sleep 0.1
done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$scratch/bus-address")
export DBUS_SESSION_BUS_ADDRESS
# The system bus is out of reach on purpose; tests hand the private bus to what needs one.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/no-system-bus"
export DBUS_SYSTEM_BUS_ADDRESS
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
unset WAYLAND_DISPLAY || true

status=0
"$@" || status=$?
exit "$status"
