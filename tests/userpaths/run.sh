#!/bin/sh
# Runs one user path script in a private D-Bus session (the accessibility bus starts on demand in
# it); ctest puts this inside the loopback-only namespace (tests/netns-run.sh). Each run has a
# runtime folder of its own, where the accessibility bus puts its socket: paths run side by side.
#   run.sh SCRIPT.py BIN_DIR
here=$(cd "$(dirname "$0")" && pwd)
runtime=$(mktemp -d "${TMPDIR:-/tmp}/orvalo-userpath.XXXXXX") || exit 1
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR=$runtime PYTHONDONTWRITEBYTECODE=1 ORVALO_BIN_DIR=$2 \
    dbus-run-session -- /usr/bin/python3 -u "$here/$1"
