#!/bin/sh
# Runs the test bed's registrar/proxy in the foreground on 127.0.0.1 and ::1, UDP and TCP, with
# its pid file and runtime files in a temporary directory that is removed again on exit.
# For the demo, benchmarks and manual checks; tests start it through testbed::Kamailio.
#   tools/testbed/run-kamailio.sh [--auth] PORT
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cfg=$here/kamailio.cfg
if [ "${1:-}" = "--auth" ]; then
    cfg=$here/kamailio-auth.cfg
    shift
fi
port=${1:?usage: run-kamailio.sh [--auth] PORT}
kamailio=$(command -v kamailio || echo /usr/sbin/kamailio)
dir=$(mktemp -d "${TMPDIR:-/tmp}/orvalo-kamailio.XXXXXX")
pid=
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
"$kamailio" -f "$cfg" -DD -E -m 32 -M 4 -P "$dir/kamailio.pid" -Y "$dir" \
    -l "udp:127.0.0.1:$port" -l "tcp:127.0.0.1:$port" -l "udp:[::1]:$port" -l "tcp:[::1]:$port" &
pid=$!
wait "$pid"
