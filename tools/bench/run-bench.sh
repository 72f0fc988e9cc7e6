#!/bin/sh
# Benchmarks, all on loopback in a private network namespace (so the fixed ports below are free):
#  1. the engine (in enginebench's own process) beside baresip, each with 16 accounts registered
#     at a loopback Kamailio and SIPp calling it directly: start, registration, memory, idle CPU,
#     INVITE->180, a burst from one caller id, INVITE->200 on answered calls, memory with 16 calls
#     up, CPU while one call carries PCMU both ways; and the merge of a 10-minute recording;
#  2. the call log and the recent calls list over a generated cdr table of 1,000,000 calls;
#  3. the panel (build/bin/orvalo) as a whole with 16 extensions, against the targets of
#     CONTRIBUTING.md, with the SIP log capturing and the UI thread's longest gap during the calls,
#     and its memory growth over 1,200 calls that ring and are cancelled (4 per second, 0.5 s each).
# Usage: tools/bench/run-bench.sh [build dir]   (make bench)
# Shorter runs: ORVALO_BENCH_IDLE, ORVALO_BENCH_CALLS, ORVALO_BENCH_AUDIO (seconds, calls, seconds),
# ORVALO_BENCH_MERGE (minutes), ORVALO_BENCH_GROWTH (calls of the growth run, 0 skips it).
# ORVALO_BENCH_KEEP=1 keeps the work folder (logs, traces);
# ORVALO_BENCH_ONLY=engine, baresip, panel or calllog runs one part.
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
PANEL_PORT=5110
SIPP_PORT=5100
ACCOUNTS=16
CALL_LIMIT=16
IDLE=${ORVALO_BENCH_IDLE:-30}
CALLS=${ORVALO_BENCH_CALLS:-50}
AUDIO=${ORVALO_BENCH_AUDIO:-30}
MERGE=${ORVALO_BENCH_MERGE:-10}
GROWTH=${ORVALO_BENCH_GROWTH:-1200}
ONLY=${ORVALO_BENCH_ONLY:-}
WORK=$(mktemp -d)
KAMAILIO_PID=
PANEL_PID=

cleanup() {
    [ -n "$PANEL_PID" ] && kill "$PANEL_PID" 2>/dev/null || true
    [ -n "$KAMAILIO_PID" ] && kill "$KAMAILIO_PID" 2>/dev/null || true
    [ -n "$KAMAILIO_PID" ] && wait "$KAMAILIO_PID" 2>/dev/null || true
    if [ -n "${ORVALO_BENCH_KEEP:-}" ]; then echo "kept: $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
# A run that failed: say so with the last lines of its error output (the library logs a lot there).
failed() {
    echo "  $1 benchmark failed; last lines of its error output:"
    grep -v 'echo canceller' "$WORK/$1.err" | tail -8 | sed 's/^/    /'
}
# What went wrong inside a run that finished: SIPp scenarios that failed, missing registrations.
problems() {
    grep -h '^sipp exit\|did not bind\|ended during' "$WORK/$1.err" 2>/dev/null | sed 's/^/  warning: /' || true
}
trap 'exit 130' INT TERM

kamailio -f "$ROOT/tools/testbed/kamailio.cfg" -DD -E -m 32 -M 4 -P "$WORK/kamailio.pid" -Y "$WORK" \
    -l "udp:127.0.0.1:$REGISTRAR_PORT" -l "tcp:127.0.0.1:$REGISTRAR_PORT" > "$WORK/kamailio.log" 2>&1 &
KAMAILIO_PID=$!
sleep 1

BENCH="$BUILD/bin/enginebench --accounts $ACCOUNTS --idle $IDLE --calls $CALLS --audio-seconds $AUDIO
    --merge-minutes $MERGE --burst $((CALL_LIMIT + 1)) --simultaneous $CALL_LIMIT
    --scenarios $ROOT/tools/bench --burst-scenario $ROOT/tools/sipp/uac-burst.xml"

echo "== 1. engine and baresip: $ACCOUNTS accounts, idle $IDLE s, $CALLS calls per latency, audio $AUDIO s"
: > "$WORK/orvalo.txt"
if [ -z "$ONLY" ] || [ "$ONLY" = engine ]; then
    $BENCH --registrar 127.0.0.1:$REGISTRAR_PORT --port $ENGINE_PORT --sipp-port $SIPP_PORT --name orvalo \
        --work-dir "$WORK/orvalo" > "$WORK/orvalo.txt" 2> "$WORK/orvalo.err" || failed orvalo
fi
sed 's/^/  /' "$WORK/orvalo.txt"
problems orvalo

: > "$WORK/baresip.txt"
if [ -n "$ONLY" ] && [ "$ONLY" != baresip ]; then
    :
elif command -v baresip > /dev/null; then
    mkdir -p "$WORK/baresip"
    # No audio hardware: a sine tone is the microphone, the player is a bridge nobody reads.
    cat > "$WORK/baresip/config" <<CONFIG
net_interface		127.0.0.1
sip_listen		127.0.0.1:$BARESIP_PORT
module_path		/usr/lib/baresip/modules
call_max_calls		$CALL_LIMIT
audio_source		ausine,440
ausrc_srate		48000
ausrc_channels		2
auplay_srate		48000
audio_player		aubridge,bench
module			g711.so
module			ausine.so
module			aubridge.so
module_app		account.so
module_app		menu.so
CONFIG
    # baresip takes every incoming call on its first account, whatever the request URI: one run
    # whose accounts only ring, then one whose accounts answer at once.
    cp -r "$WORK/baresip" "$WORK/baresip-auto"
    for mode in manual auto; do
        dir=$WORK/baresip; [ $mode = auto ] && dir=$WORK/baresip-auto
        i=1001
        : > "$dir/accounts"
        while [ $i -lt $((1001 + ACCOUNTS)) ]; do
            echo "<sip:$i@127.0.0.1:$REGISTRAR_PORT>;regint=600;answermode=$mode" >> "$dir/accounts"
            i=$((i + 1))
        done
    done
    baresip_bench() {
        $BENCH --port $BARESIP_PORT --sipp-port $((SIPP_PORT + 1)) --name baresip --ready-stdout \
            --ready-pattern '^([0-9]+)@\S+: .* 200 OK' "$@"
    }
    baresip_bench --work-dir "$WORK/baresip-ringing" --phases start,idle,invite180,burst \
        -- baresip -f "$WORK/baresip" > "$WORK/baresip.txt" 2> "$WORK/baresip.err" || failed baresip
    baresip_bench --work-dir "$WORK/baresip-answering" --phases invite200,calls16,audio \
        -- baresip -f "$WORK/baresip-auto" >> "$WORK/baresip.txt" 2>> "$WORK/baresip.err" || failed baresip
    sed 's/^/  /' "$WORK/baresip.txt"
    problems baresip
else
    echo "baresip not installed: no comparison (make bench installs baresip-core)"
fi

# The engine beside baresip: min/median/max of each distribution, the ratio of the medians.
awk '
    {
        key = $2
        line[$1, key] = $0
        figures[key] = 1
        if (!(key in order)) { order[key] = ++n; names[n] = key }
    }
    function field(s, k,    parts, i, c) {
        c = split(s, parts, /[ =]+/)
        for (i = 1; i < c; i++) if (parts[i] == k) return parts[i + 1]
        return ""
    }
    function show(s) {
        if (s == "") return "-"
        if (field(s, "median") != "") return sprintf("%.2f/%.2f/%.2f", field(s, "min"), field(s, "median"), field(s, "max"))
        if (field(s, "ringing") != "") return sprintf("%s ring, %s refused (%s)", field(s, "ringing"), field(s, "refused"), field(s, "codes"))
        return field(s, "value")
    }
    function central(s) { return field(s, "median") != "" ? field(s, "median") : field(s, "value") }
    function ratio(a, b) {
        if (a == "" || b == "" || field(a, "ringing") != "") return ""
        a = central(a); b = central(b)
        return (a ~ /^[0-9.]+$/ && b + 0 > 0) ? sprintf("%.2f", a / b) : "n/a"
    }
    END {
        printf "\n  %-16s %-26s %-26s %s\n", "figure", "orvalo", "baresip", "orvalo/baresip"
        for (i = 1; i <= n; i++) {
            k = names[i]
            if (k == "merge_input") continue
            printf "  %-16s %-26s %-26s %s\n", k, show(line["orvalo", k]), show(line["baresip", k]), ratio(line["orvalo", k], line["baresip", k])
        }
        print "  (distributions: min/median/max in ms; ratio of the medians; merge_ms: baresip has no such step)"
    }' "$WORK/orvalo.txt" "$WORK/baresip.txt"

if [ -z "$ONLY" ] || [ "$ONLY" = calllog ]; then
    echo
    echo "== 2. the call log and recent calls over a generated cdr table of 1,000,000 calls"
    QT_QPA_PLATFORM=offscreen "$BUILD/bin/calllogbench" 2> "$WORK/calllog.err" || failed calllog
fi

[ -z "$ONLY" ] || [ "$ONLY" = panel ] || exit 0
echo
echo "== 2b. the company directory: 1000 entries in 20 departments, every tile subscribed (stand-in engine)"
echo "   targets: build_ms <= 300, idle_redraws = 0, presence_ms <= 50"
QT_QPA_PLATFORM=offscreen "$BUILD/bin/directorybench" 1000 2>/dev/null | grep '^directory' | sed 's/^/  /' \
    || echo "  directory benchmark failed"
echo

echo "== 3. the panel: build/bin/orvalo with $ACCOUNTS extensions registered at Kamailio, calls through Kamailio"
APP=$WORK/panel/app
mkdir -p "$APP" "$WORK/panel/home"
cp "$BUILD/bin/orvalo" "$APP/"
# The first start creates the database; then the extensions and the call limit are added. The
# extensions are marked as provisioned by the cloud: the panel starts logged in, no login window.
env QT_QPA_PLATFORM=offscreen ORVALO_UNATTENDED=1 ORVALO_BIND_ADDRESS=127.0.0.1 ORVALO_SIP_PORT=$PANEL_PORT \
    XDG_DATA_HOME="$WORK/panel/home" "$APP/orvalo" > "$WORK/panel/first.out" 2>&1 &
PANEL_PID=$!
i=0
until grep -q 'Initialisation complete' "$APP/log" 2>/dev/null; do
    i=$((i + 1))
    [ $i -lt 300 ] || { echo "the panel did not start"; exit 1; }
    sleep 0.1
done
kill "$PANEL_PID"
wait "$PANEL_PID" || true
PANEL_PID=
{
    echo "BEGIN;"
    i=0
    while [ $i -lt $ACCOUNTS ]; do
        ext=$((3001 + i))
        echo "INSERT INTO accounts (accountname, extension, domain, user, password, sipserveraddress, sipport,
            registrationtime, audiocodecs, dtmftype, activeaccount, defaultaccount, companydevice, fromapi)
            VALUES ('Line $ext', '$ext', '127.0.0.1:$REGISTRAR_PORT', '$ext', '', '127.0.0.1', '$REGISTRAR_PORT', 300, 'ulaw,alaw',
            'RFC2833', 1, $([ $i -eq 0 ] && echo 1 || echo 0), 0, 1);"
        i=$((i + 1))
    done
    echo "DELETE FROM orvalooptions WHERE name = 'MaxCallCount';"
    echo "INSERT INTO orvalooptions (name, value) VALUES ('MaxCallCount', '$CALL_LIMIT');"
    echo "COMMIT;"
} | sqlite3 "$APP/orvalo.db"
rm -f "$APP/log"
# Calls go through Kamailio, as an operator's do. uac-burst.xml expects the 200 of its CANCEL
# before the 487; through the proxy the 487 may come first, and SIPp then counts that call as
# failed after it was logged as ringing: the warning it leaves does not change the counts.
# The SIP log window captures throughout; from the first incoming call on, the panel notes the longest
# gap between ticks of a 10 ms timer on its UI thread (written when it ends). Then the growth run:
# the resident memory after its first 100 calls and at its end, and the cdr rows its calls left.
env QT_QPA_PLATFORM=offscreen ORVALO_UNATTENDED=1 ORVALO_BIND_ADDRESS=127.0.0.1 ORVALO_SIP_PORT=$PANEL_PORT \
    XDG_DATA_HOME="$WORK/panel/home" ORVALO_SIP_LOG_CAPTURE=1 ORVALO_UI_GAP_LOG="$WORK/panel/ui-gap" \
    $BENCH --port $PANEL_PORT --target 127.0.0.1:$REGISTRAR_PORT --sipp-port $((SIPP_PORT + 2)) --name panel --work-dir "$WORK/panel/run" \
    --phases start,idle,invite180,burst$([ "$GROWTH" -gt 0 ] && echo ,growth) --ring-user 3001 --settle 5 \
    --growth-calls "$GROWTH" --cdr-db "$APP/orvalo.db" \
    --ready-file "$APP/log" --ready-pattern 'Registration ([0-9]+): 200' \
    -- "$APP/orvalo" > "$WORK/panel.txt" 2> "$WORK/panel.err" || failed panel
[ -f "$WORK/panel/ui-gap" ] && sed 's/^/panel /' "$WORK/panel/ui-gap" >> "$WORK/panel.txt"
sed 's/^/  /' "$WORK/panel.txt"
problems panel

# Beside the targets (CONTRIBUTING.md, "Performance targets").
awk -v limit=$CALL_LIMIT '
    function field(s, k,    parts, i, c) {
        c = split(s, parts, /[ =]+/)
        for (i = 1; i < c; i++) if (parts[i] == k) return parts[i + 1]
        return ""
    }
    { line[$2] = $0 }
    function check(label, value, target, unit) {
        verdict = (value ~ /^-?[0-9.]+$/) ? (value + 0 <= target ? "pass" : "miss") : "miss (not measured)"
        if (value == "") value = "n/a"
        printf "  %-34s %10s %-4s  target <= %-6s %s\n", label, value, unit, target, verdict
    }
    END {
        print ""
        check("start -> all registered", field(line["registered_ms"], "value"), 200, "ms")
        rss = field(line["rss_16acc_kb"], "value")
        check("resident memory", rss == "" ? "" : sprintf("%.1f", rss / 1024), 80, "MiB")
        check("idle CPU (% of one core)", field(line["idle_cpu_pct"], "value"), 0.10, "%")
        measured = field(line["invite180_ms"], "n") + 0 > 0
        check("INVITE -> 180 median", measured ? field(line["invite180_ms"], "median") : "", 3, "ms")
        check("INVITE -> 180 p95", measured ? field(line["invite180_ms"], "p95") : "", 6, "ms")
        check("UI thread longest gap (10 ms timer)", field(line["ui_gap_max_ms"], "value"), 50, "ms")
        b = line["burst"]
        ringing = field(b, "ringing")
        printf "  %-34s %10s of %s  target %s ring, the rest refused   %s\n", "burst from one caller id: ringing",
            ringing, field(b, "sent"), limit, (ringing == limit && field(b, "refused") == field(b, "sent") - limit) ? "pass" : "miss"
        g = line["growth"]
        if (g != "") {
            check("memory growth per 1,000 calls", field(g, "growth_kib_per_1000"), 1024, "KiB")
            calls = field(g, "calls")
            printf "  %-34s %10s of %s  all ring, all leave a complete cdr row   %s\n", "growth calls: rang, cdr complete",
                field(g, "rang") "/" field(g, "cdr_complete"), calls,
                (field(g, "rang") == calls && field(g, "cdr_complete") == calls) ? "pass" : "miss"
            printf "  (growth: %s KiB after %s calls, %s KiB after %s; cdr rows %s)\n", field(g, "rss_base_kb"),
                field(g, "base_calls"), field(g, "rss_end_kb"), calls, field(g, "cdr")
        }
        printf "  (INVITE -> 180 min/median/p95/max %s/%s/%s/%s ms over %s calls; refused: %s)\n",
            field(line["invite180_ms"], "min"), field(line["invite180_ms"], "median"), field(line["invite180_ms"], "p95"),
            field(line["invite180_ms"], "max"), field(line["invite180_ms"], "n"), field(b, "codes")
    }' "$WORK/panel.txt"
