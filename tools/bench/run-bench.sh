#!/bin/sh
# Engine benchmark: our engine and baresip side by side, each registered with 16 accounts at a
# loopback Kamailio: start time, memory, idle CPU over 30 s, INVITE->180 over 50 SIPp calls.
# Runs in a private loopback-only network namespace, so the fixed ports below are free.
# Usage: tools/bench/run-bench.sh [build dir]   (make bench)
set -eu
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac

if [ "${ORVALO_BENCH_NETNS:-}" != 1 ]; then
    export ORVALO_BENCH_NETNS=1
    if [ "$(id -u)" = 0 ]; then
        exec unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$BUILD"
    fi
    exec unshare -rn sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$BUILD"
fi

REGISTRAR_PORT=5070
ENGINE_PORT=5080
BARESIP_PORT=5090
SIPP_PORT=5100
ACCOUNTS=16
IDLE=${ORVALO_BENCH_IDLE:-30}
CALLS=${ORVALO_BENCH_CALLS:-50}
WORK=$(mktemp -d)
KAMAILIO_PID=

cleanup() {
    [ -n "$KAMAILIO_PID" ] && kill "$KAMAILIO_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

kamailio -f "$ROOT/tools/testbed/kamailio.cfg" -DD -E -m 32 -M 4 -P "$WORK/kamailio.pid" -Y "$WORK" \
    -l "udp:127.0.0.1:$REGISTRAR_PORT" -l "tcp:127.0.0.1:$REGISTRAR_PORT" > "$WORK/kamailio.log" 2>&1 &
KAMAILIO_PID=$!
sleep 1

BENCH="$BUILD/bin/enginebench --registrar 127.0.0.1:$REGISTRAR_PORT --accounts $ACCOUNTS --idle $IDLE \
    --calls $CALLS --scenario $ROOT/tools/bench/invite_180.xml --sipp-port $SIPP_PORT"

echo "engine benchmark: $ACCOUNTS accounts, idle $IDLE s, $CALLS calls (INVITE->180 from the SIPp trace)"
$BENCH --port "$ENGINE_PORT" --name orvalo | tee "$WORK/orvalo.txt"

if command -v baresip > /dev/null; then
    mkdir -p "$WORK/baresip"
    cat > "$WORK/baresip/config" <<CONFIG
net_interface		127.0.0.1
sip_listen		127.0.0.1:$BARESIP_PORT
module_path		/usr/lib/baresip/modules
module			g711.so
module_app		account.so
module_app		menu.so
CONFIG
    i=1001
    : > "$WORK/baresip/accounts"
    while [ $i -lt $((1001 + ACCOUNTS)) ]; do
        echo "<sip:$i@127.0.0.1:$REGISTRAR_PORT>;regint=600" >> "$WORK/baresip/accounts"
        i=$((i + 1))
    done
    $BENCH --port "$BARESIP_PORT" --sipp-port $((SIPP_PORT + 1)) --name baresip -- baresip -f "$WORK/baresip" \
        | tee "$WORK/baresip.txt"
    # Ratios orvalo / baresip of each figure (median for the latency).
    awk '
        function field(line, key,    n, i, parts) {
            n = split(line, parts, /[ =]+/)
            for (i = 1; i < n; i++) if (parts[i] == key) return parts[i + 1]
            return ""
        }
        function ratio(a, b) { return (b + 0 > 0) ? sprintf("%.1f", a / b) : "n/a" }
        FNR == 1 && FILENAME ~ /orvalo/ { o = $0 }
        FNR == 1 && FILENAME ~ /baresip/ { b = $0 }
        END {
            printf "ratio      start=%s rss=%s rss_16acc=%s idle_cpu=%s invite180_median=%s (orvalo / baresip)\n",
                ratio(field(o, "start_ms"), field(b, "start_ms")),
                ratio(field(o, "rss_kb"), field(b, "rss_kb")),
                ratio(field(o, "rss_16acc_kb"), field(b, "rss_16acc_kb")),
                ratio(field(o, "idle_cpu_pct"), field(b, "idle_cpu_pct")),
                ratio(field(o, "median"), field(b, "median"))
        }' "$WORK/orvalo.txt" "$WORK/baresip.txt"
else
    echo "baresip not installed: no comparison (make bench installs baresip-core)"
fi
