#!/bin/sh
# Runs one user path script in a private D-Bus session (the accessibility bus starts on demand in
# it); ctest puts this inside the loopback-only namespace (tests/netns-run.sh). Each run has a
# runtime folder of its own, where the accessibility bus puts its socket: paths run side by side.
# Whatever the run started (registrar, peers, X server, panel) is stopped when it ends, even when
# the script itself died without stopping them: they carry the run's mark in their environment.
#   run.sh SCRIPT.py BIN_DIR
here=$(cd "$(dirname "$0")" && pwd)
runtime=$(mktemp -d "${TMPDIR:-/tmp}/orvalo-userpath-run.XXXXXX") || exit 1
mark="ORVALO_USERPATH_RUN=$runtime"
cleanup() {
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        if { tr '\0' '\n' < "$environ"; } 2>/dev/null | grep -qxF "$mark"; then
            kill -9 "$pid" 2>/dev/null
        fi
    done
    rm -rf "$runtime"
}
trap cleanup EXIT
env "$mark" XDG_RUNTIME_DIR="$runtime" PYTHONDONTWRITEBYTECODE=1 ORVALO_BIN_DIR="$2" \
    dbus-run-session -- /usr/bin/python3 -u "$here/$1"
