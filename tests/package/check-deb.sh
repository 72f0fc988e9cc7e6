#!/bin/sh
# Builds the Debian package from BUILD_DIR into a scratch directory, checks what it carries (files,
# computed dependencies, desktop entry, AppStream metadata), unpacks it into a scratch root and
# starts the unpacked panel offscreen with a fresh home: it must keep its files in the per-user
# data directory, exit cleanly on SIGTERM, and say clearly why when the home is not writable.
#   tests/package/check-deb.sh BUILD_DIR
set -eu
build=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/orvalo-deb.XXXXXX")
panel=
cleanup() {
    [ -z "$panel" ] || { kill "$panel" 2>/dev/null || true; wait "$panel" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/orvalo-lite_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no orvalo-lite_<version>_amd64.deb in $(ls "$work/out")"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/orvalo /usr/share/applications/org.orvalo.Lite.desktop \
    /usr/share/metainfo/org.orvalo.Lite.metainfo.xml /usr/share/icons/hicolor/scalable/apps/orvalo.svg \
    /usr/share/orvalo/icons/phone.svg /usr/share/orvalo/fonts/Inter-Regular.otf; do
    grep -qx "$f" "$work/files" || fail "$f is not in the package"
done
# Only the panel: no test or tool executables.
! grep -E '^/usr/bin/.' "$work/files" | grep -vx /usr/bin/orvalo || fail "extra executables"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in liblinphone libqt6widgets6 libqt6sql6-sqlite libc6; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = orvalo-lite ] || fail "package name"

dpkg-deb -x "$deb" "$work/root"
desktop=$work/root/usr/share/applications/org.orvalo.Lite.desktop
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -qx 'Categories=Network;Telephony;' "$desktop" || fail "desktop categories"
grep -qx 'Icon=orvalo' "$desktop" || fail "desktop icon"
grep -qx 'Exec=orvalo' "$desktop" || fail "desktop Exec"
appstreamcli validate --no-net --explain "$work/root/usr/share/metainfo/org.orvalo.Lite.metainfo.xml" \
    || fail "AppStream metadata does not validate"

# The unpacked panel, offscreen, with a fresh home.
export QT_QPA_PLATFORM=offscreen ORVALO_UNATTENDED=1 ORVALO_BIND_ADDRESS=127.0.0.1
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
"$work/root/usr/bin/orvalo" >"$work/panel.out" 2>&1 &
panel=$!
data=$XDG_DATA_HOME/orvalo
i=0
until grep -q 'Initialisation complete' "$data/log" 2>/dev/null; do
    i=$((i + 1))
    [ $i -lt 300 ] || { cat "$work/panel.out"; fail "the installed panel did not start"; }
    kill -0 "$panel" 2>/dev/null || { cat "$work/panel.out"; fail "the installed panel ended at start"; }
    sleep 0.1
done
[ -s "$data/orvalo.db" ] || fail "no database in $data"
[ -f "$data/settings" ] || fail "no settings file in $data"
[ "$(ls "$work/root/usr/bin")" = orvalo ] || fail "files written beside the installed executable"
kill -TERM "$panel"
status=0
wait "$panel" || status=$?
panel=
[ $status = 0 ] || { cat "$work/panel.out"; fail "exit status $status after SIGTERM"; }

# Port 5060 held by another program: the panel starts on another port and says so.
python3 -c 'import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("0.0.0.0", 5060)); time.sleep(30)' &
holder=$!
sleep 0.3
XDG_DATA_HOME="$work/home2" "$work/root/usr/bin/orvalo" >"$work/port.out" 2>&1 &
panel=$!
i=0
until grep -q 'Initialisation complete' "$work/home2/orvalo/log" 2>/dev/null; do
    i=$((i + 1))
    [ $i -lt 300 ] && kill -0 "$panel" 2>/dev/null || { kill "$holder"; cat "$work/port.out"; fail "port 5060 taken: no start"; }
    sleep 0.1
done
kill "$holder"
grep -q 'SIP port 5060 is in use by another program: using port [0-9]* instead' "$work/home2/orvalo/log" \
    || fail "port 5060 taken: not said"
kill -TERM "$panel"
status=0
wait "$panel" || status=$?
panel=
[ $status = 0 ] || fail "port 5060 taken: exit status $status"

# A home where nothing can be written: a clear reason and status 1, at once.
start=$(date +%s)
status=0
HOME=/dev/null XDG_DATA_HOME=/dev/null/share timeout 20 "$work/root/usr/bin/orvalo" >"$work/nohome.out" 2>&1 \
    || status=$?
[ $status = 1 ] || { cat "$work/nohome.out"; fail "unwritable home: exit status $status"; }
grep -q 'Cannot write the data directory' "$work/nohome.out" || { cat "$work/nohome.out"; fail "unwritable home: no reason given"; }
[ $(($(date +%s) - start)) -lt 10 ] || fail "unwritable home: slow exit"
echo "package ok: $(basename "$deb")"
