#!/bin/sh
# Smoke run of the tray app on Wayland: Weston with its X11 backend inside Xvfb (the headless
# backend has no seat, and Qt's Wayland client then crashes in text fields), a private D-Bus
# session bus and a scratch home. kelvo must start, show its popover when a second start hands
# over to it (the popover's link field takes the focus), open every window that
# `kelvo --show <window>` asks for, and quit cleanly on SIGTERM with them open: exit 0, no QML
# warning. Exits 77 (skipped) only when Weston or Xvfb is missing. Usage: wayland-smoke.sh kelvo
set -eu
kelvo=$1
command -v weston >/dev/null && command -v Xvfb >/dev/null || { echo "no weston or Xvfb"; exit 77; }
s=$(mktemp -d "${TMPDIR:-/tmp}/kelvo-wayland-XXXXXX")
pids=""
trap 'kill $pids 2>/dev/null || true; wait; rm -rf "$s"' EXIT
fail() { echo "wayland-smoke: $1" >&2; tail -n 20 "$s"/*.log >&2; exit 1; }
await() { # what, condition...
    what=$1; shift; i=0
    until "$@"; do i=$((i + 1)); [ $i -lt 300 ] || fail "$what"; sleep 0.1; done
}
export HOME="$s/home" XDG_RUNTIME_DIR="$s/run" QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=wayland-kelvo
for dir in CONFIG DATA CACHE STATE; do export "XDG_${dir}_HOME=$s/$dir"; done
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$s/display" 2>"$s/xvfb.log" & pids=$!
await "Xvfb did not start" test -s "$s/display"
DISPLAY=":$(cat "$s/display")" weston --backend=x11-backend.so --socket="$WAYLAND_DISPLAY" \
    --use-pixman --width=1024 --height=700 --idle-time=0 --log="$s/weston.log" 2>/dev/null & pids="$pids $!"
await "weston did not start" test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
echo "<busconfig><type>session</type><listen>unix:dir=$s</listen><policy context=\"default\">
<allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>" \
    >"$s/bus.conf"
dbus-daemon --config-file="$s/bus.conf" --nofork --print-address=3 3>"$s/bus" 2>"$s/bus.log" &
pids="$pids $!"
await "dbus-daemon did not start" test -s "$s/bus"
export DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$s/bus")"

# The Wayland protocol log tells when the popover is on the desktop with its link field focused.
WAYLAND_DEBUG=client "$kelvo" 2>"$s/kelvo.log" & kelvo_pid=$! pids="$pids $!"
await "kelvo did not start" test -S "$XDG_RUNTIME_DIR/kelvo-$(id -u).socket"
"$kelvo" 2>"$s/second.log" || fail "the second start did not hand over"
await "the popover did not open" grep -Eq 'text_input.*\.(activate|enable)\(' "$s/kelvo.log"
for window in Library Activity Settings; do
    "$kelvo" --show "$(echo $window | tr A-Z a-z)" 2>>"$s/second.log" || fail "--show $window did not hand over"
    await "the $window window did not open" grep -q "set_title(\"kelvo $window" "$s/kelvo.log"
done
"$kelvo" --show popover 2>>"$s/second.log" || fail "--show popover did not hand over"
kill -TERM $kelvo_pid
status=0; wait $kelvo_pid || status=$?
[ $status -eq 0 ] || fail "kelvo ended with status $status on SIGTERM"
! grep -v '^\[' "$s/kelvo.log" | grep -Eq 'QML|\.qml:' || fail "QML warnings"
echo "wayland-smoke: kelvo started, opened its popover and every window, and quit cleanly under Weston"
