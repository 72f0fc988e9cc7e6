#!/bin/sh
# Runs the cloud simulator in the foreground with the shipped fixture on 127.0.0.1:PORT
# (default 8443). For the demo and manual checks; tests start it through testbed::CloudSim.
# Further arguments go to cloudsim (e.g. --sip-server 127.0.0.1:5070, --fail '*=slow:2000').
#   tools/cloudsim/run-cloudsim.sh [PORT] [cloudsim options...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
port=8443
case "${1:-}" in
    ''|-*) ;;
    *) port=$1; shift ;;
esac
bin=${ORVALO_BIN_DIR:-$here/../../build/bin}
exec "$bin/cloudsim" --fixture "$here/fixture.json" --port "$port" "$@"
