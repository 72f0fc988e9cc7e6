#!/bin/sh
# Runs one user path script in a private D-Bus session (the accessibility bus starts on demand in
# it); ctest puts this inside the loopback-only namespace (tests/netns-run.sh).
#   run.sh SCRIPT.py BIN_DIR
here=$(cd "$(dirname "$0")" && pwd)
PYTHONDONTWRITEBYTECODE=1 ORVALO_BIN_DIR=$2 exec dbus-run-session -- /usr/bin/python3 -u "$here/$1"
