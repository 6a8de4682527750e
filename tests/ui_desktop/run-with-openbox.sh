#!/bin/sh
# Runs a test program on a private X server with a real window manager: openbox, which keeps the
# size limits a window sets (what the offscreen platform and a bare X server never do). No tray
# host runs there. Usage: run-with-openbox.sh program [args]
set -eu
if [ "${1:-}" != --inside ]; then
    exec "$(dirname "$0")/../app_services/run-under-xvfb.sh" "$0" --inside "$@"
fi
shift
ready=$(mktemp -u "${TMPDIR:-/tmp}/kelvo-openbox-XXXXXX")
openbox --sm-disable --startup "touch $ready" >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; rm -f "$ready"' EXIT
until [ -e "$ready" ]; do
    kill -0 $wm 2>/dev/null || { echo "run-with-openbox: openbox did not start" >&2; exit 1; }
    sleep 0.1
done
"$@"
