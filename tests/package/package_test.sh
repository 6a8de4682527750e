#!/bin/sh
# The Debian package of this build: made with cpack, checked by lintian, installed with apt,
# used from /usr/bin, and purged again, leaving nothing of it under /usr.
# Arguments: the build folder and the project version. Exit 77 (skipped) when it cannot run.
build=$1 version=$2
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in dpkg dpkg-deb apt-get cpack; do
    command -v "$tool" >/dev/null || skip "no $tool on this machine"
done
if dpkg-query -W -f '${Status}' kelvo 2>/dev/null | grep -q installed ||
    [ -e /usr/bin/kelvo ] || [ -e /usr/bin/kelvo-cli ]; then
    skip "kelvo is already installed under /usr, and this test would replace it"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvo-package-XXXXXX")
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" \
    XDG_CONFIG_HOME="$scratch/home/config" XDG_CACHE_HOME="$scratch/home/cache" \
    XDG_STATE_HOME="$scratch/home/state" TMPDIR="$scratch"
mkdir -p "$HOME"
failed=0
check() { # check DESCRIPTION COMMAND...: runs the command, records a failure with its output
    what=$1; shift
    if ! out=$("$@" 2>&1); then echo "FAILED: $what"; echo "$out"; failed=1; fi
}
cleanup() {
    dpkg-query -W kelvo >/dev/null 2>&1 && dpkg --purge kelvo >/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# cpack reruns the install rules, which rewrite files in the build folder that the install test
# reads: take its lock.
flock "$build/install_test.lock" cpack --config "$build/CPackConfig.cmake" -G DEB \
    -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/kelvo_*.deb)
check "package version is $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"
for need in "yt-dlp," "ffmpeg," "qml6-module-qt-labs-folderlistmodel," "libqt6core6 ("; do
    check "Depends names $need" sh -c "dpkg-deb -f '$deb' Depends | grep -qF '$need'"
done
if command -v lintian >/dev/null; then
    check "lintian reports no errors" sh -c "! lintian '$deb' 2>&1 | grep '^E:'"
fi

# Every dependency is already here (scripts/install-deps): apt installs kelvo alone, offline.
check "apt would install nothing but kelvo" sh -c \
    "apt-get install -s '$deb' | grep '^Inst ' | grep -v '^Inst kelvo ' | (! grep .)"
check "apt installs the package" apt-get install -y -q -o DPkg::Lock::Timeout=300 "$deb"
check "kelvo-cli --version" sh -c '/usr/bin/kelvo-cli --version | grep -q "^kelvo "'
check "kelvo-cli list on a fresh home" /usr/bin/kelvo-cli list
check "desktop entry validates" desktop-file-validate /usr/share/applications/kelvo.desktop
check "metainfo validates" appstreamcli validate --no-net \
    /usr/share/metainfo/io.github.kelvo.metainfo.xml
check "unit starts /usr/bin/kelvo-cli" \
    grep -qx "ExecStart=/usr/bin/kelvo-cli watch" /usr/lib/systemd/user/kelvo-watch.service
check "the tools folder is installed" test -d /usr/libexec/kelvo

check "apt removes the package" apt-get purge -y -q -o DPkg::Lock::Timeout=300 kelvo
dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' | while read -r path; do
    case "$path" in
        */kelvo*|*/kelvo/*|*io.github.kelvo*) [ ! -e "$path" ] || echo "left behind: $path" ;;
    esac
done >"$scratch/left"
check "nothing of the package is left under /usr" test ! -s "$scratch/left"
[ -s "$scratch/left" ] && cat "$scratch/left"
exit $failed
