#!/bin/sh
# Benchmarks, all on loopback in a private network namespace (so the fixed ports below are free):
#  1. the engine (in enginebench's own process) beside baresip, each with 16 accounts registered
#     at a loopback Kamailio and SIPp calling it directly: start, registration, memory, idle CPU,
#     INVITE->180, a burst from one caller id, INVITE->200 on answered calls, memory with 16 calls
#     up, CPU while one call carries PCMU both ways; and the merge of a 10-minute recording;
#  2. the call log and the recent calls list over a generated cdr table of 1,000,000 calls;
#  3. the panel (build/bin/orvalo) as a whole with 16 extensions, on a private Xvfb display (what a
#     user sees, not offscreen), against the targets of CONTRIBUTING.md, and its memory growth over
#     1,200 calls that ring and are cancelled (4 per second, 0.5 s each); then again for a burst of
#     calls with the SIP log capturing, and the UI thread's longest gap during it;
#  4. the panel again, on the same display, with a company directory of 1,000 entries written into its
#     database, every tile subscribed through Kamailio and a sippeer registered as one of them
#     changing presence.
# Usage: tools/bench/run-bench.sh [build dir]   (make bench)
# Shorter runs: ORVALO_BENCH_IDLE, ORVALO_BENCH_CALLS, ORVALO_BENCH_AUDIO (seconds, calls, seconds),
# ORVALO_BENCH_MERGE (minutes), ORVALO_BENCH_PRESENCE (presence changes), ORVALO_BENCH_GROWTH
# (calls of the growth run, 0 skips it). ORVALO_BENCH_KEEP=1 keeps the work folder (logs, traces);
# ORVALO_BENCH_ONLY=engine, baresip, panel, directory or calllog runs one part (panel includes the
# directory).
# ORVALO_BENCH_STARTS=<n> (with ORVALO_BENCH_ONLY=panel) starts the panel n times and prints each
# start -> all registered and their median, nothing else of part 3 or 4.
# ORVALO_BENCH_SMAPS=<folder> keeps the memory map of the directory panel (part 4) when its resident
# memory is read, to see which mappings hold it.
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
PEER_PORT=5120
DIRECTORY_ENTRIES=1000
ACCOUNTS=16
CALL_LIMIT=16
IDLE=${ORVALO_BENCH_IDLE:-30}
CALLS=${ORVALO_BENCH_CALLS:-50}
AUDIO=${ORVALO_BENCH_AUDIO:-30}
MERGE=${ORVALO_BENCH_MERGE:-10}
PRESENCE_CHANGES=${ORVALO_BENCH_PRESENCE:-21}
GROWTH=${ORVALO_BENCH_GROWTH:-1200}
ONLY=${ORVALO_BENCH_ONLY:-}
WORK=$(mktemp -d)
KAMAILIO_PID=
PANEL_PID=
XVFB_PID=
PEER_PID=

cleanup() {
    [ -n "$PANEL_PID" ] && kill "$PANEL_PID" 2>/dev/null || true
    [ -n "$PEER_PID" ] && kill "$PEER_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && wait "$XVFB_PID" 2>/dev/null || true
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

[ -z "$ONLY" ] || [ "$ONLY" = panel ] || [ "$ONLY" = directory ] || exit 0
echo
echo "== 2b. the company directory: $DIRECTORY_ENTRIES entries in 20 departments, every tile subscribed (stand-in engine)"
echo "   targets: build_ms <= 300, idle_redraws = 0, presence_ms <= 50"
QT_QPA_PLATFORM=offscreen "$BUILD/bin/directorybench" $DIRECTORY_ENTRIES 2>/dev/null | grep '^directory' \
    > "$WORK/directory.txt" || echo "  directory benchmark failed"
sed 's/^/  /' "$WORK/directory.txt"
echo

echo "== 3. the panel: build/bin/orvalo on Xvfb with $ACCOUNTS extensions registered at Kamailio, calls through Kamailio"
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
cp "$APP/orvalo.db" "$WORK/panel/extensions.db"
rm -f "$APP/log"
# The measured panel runs on a display of its own, as a user's does. Xvfb picks a free display number
# and writes it to the file; under load it sometimes dies after announcing it: then it is started again.
start_xvfb() {
    attempt=0
    while [ $attempt -lt 4 ]; do
        attempt=$((attempt + 1))
        : > "$WORK/xvfb.display"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$WORK/xvfb.display" \
            > "$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        i=0
        until grep -q '^[0-9][0-9]*$' "$WORK/xvfb.display" 2>/dev/null; do
            i=$((i + 1))
            [ $i -lt 100 ] && kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        display=:$(head -1 "$WORK/xvfb.display")
        if [ "$display" != : ] && xdpyinfo -display "$display" > /dev/null 2>&1; then
            PANEL_DISPLAY=$display
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    done
    return 1
}
start_xvfb || { echo "Xvfb did not start:"; tail -5 "$WORK/xvfb.log" | sed 's/^/    /'; exit 1; }
# Calls go through Kamailio, as an operator's do. uac-burst.xml expects the 200 of its CANCEL
# before the 487; through the proxy the 487 may come first, and SIPp then counts that call as
# failed after it was logged as ringing: the warning it leaves does not change the counts.
# Two runs: the panel as an operator runs it (no SIP log window) for start, memory, idle CPU,
# INVITE -> 180 and the growth run (the resident memory after its first 100 calls and at its end, and
# the cdr rows its calls left); then a second start for the burst, with the SIP log window capturing
# from its first call on and the longest gap between ticks of a 10 ms timer on the UI thread noted
# meanwhile.
panel_run() {
    rm -f "$APP/log"
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=$PANEL_DISPLAY ORVALO_UNATTENDED=1 ORVALO_BIND_ADDRESS=127.0.0.1 \
        ORVALO_SIP_PORT=$PANEL_PORT XDG_DATA_HOME="$WORK/panel/home" "$@" \
        $BENCH --port $PANEL_PORT --target 127.0.0.1:$REGISTRAR_PORT --sipp-port $((SIPP_PORT + 2)) --name panel \
        --ring-user 3001 --ready-file "$APP/log" --ready-pattern 'Registration ([0-9]+): 200' \
        --growth-calls "$GROWTH" --cdr-db "$APP/orvalo.db" \
        --work-dir "$WORK/panel/run-$PANEL_RUN" --phases $PANEL_PHASES --settle $PANEL_SETTLE \
        -- "$APP/orvalo" >> "$WORK/panel.txt" 2>> "$WORK/panel.err" || failed panel
}
: > "$WORK/panel.txt"
# ORVALO_BENCH_STARTS=n: only n starts of the panel, each start -> all registered and their median.
if [ -n "${ORVALO_BENCH_STARTS:-}" ]; then
    n=0
    while [ $n -lt "$ORVALO_BENCH_STARTS" ]; do
        n=$((n + 1))
        PANEL_RUN=start$n PANEL_PHASES=start PANEL_SETTLE=0 panel_run
    done
    sed -n 's/^panel registered_ms value=//p' "$WORK/panel.txt" | sort -n | awk '
        { v[NR] = $1; printf "  start -> all registered %s ms\n", $1 }
        END { if (NR) printf "  median of %d starts: %s ms (%s-%s)\n", NR, v[int((NR + 1) / 2)], v[1], v[NR] }'
    problems panel
    exit 0
fi
if [ "$ONLY" != directory ]; then
    PANEL_RUN=operator PANEL_PHASES=start,idle,invite180$([ "$GROWTH" -gt 0 ] && echo ,growth) PANEL_SETTLE=5 panel_run
    PANEL_RUN=burst PANEL_PHASES=burst PANEL_SETTLE=2 panel_run ORVALO_SIP_LOG_CAPTURE=1 ORVALO_UI_GAP_LOG="$WORK/panel/ui-gap"
fi
[ -f "$WORK/panel/ui-gap" ] && sed 's/^/panel /' "$WORK/panel/ui-gap" >> "$WORK/panel.txt"
[ "$ONLY" = directory ] || sed 's/^/  /' "$WORK/panel.txt"
problems panel

# Beside the targets (CONTRIBUTING.md, "Performance targets").
[ "$ONLY" = directory ] || awk -v limit=$CALL_LIMIT '
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
        check("UI gap, burst with SIP log capturing", field(line["ui_gap_max_ms"], "value"), 50, "ms")
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

echo
echo "== 4. the panel with the company directory: $DIRECTORY_ENTRIES entries in 20 departments written into its"
echo "   database, every tile subscribed through Kamailio, $ACCOUNTS extensions, a sippeer as extension 2000"
DIR_WORK=$WORK/directory
DIR_APP=$DIR_WORK/app
mkdir -p "$DIR_APP" "$DIR_WORK/home"
cp "$BUILD/bin/orvalo" "$DIR_APP/"
cp "$WORK/panel/extensions.db" "$DIR_APP/orvalo.db"
# As the cloud's provisioning writes it: departments, then one accounts row per entry (2000...).
QT_QPA_PLATFORM=offscreen "$BUILD/bin/directorybench" --write "$DIR_APP" --entries $DIRECTORY_ENTRIES \
    --server 127.0.0.1:$REGISTRAR_PORT 2> "$DIR_WORK/write.err" || { echo "  writing the directory failed"; exit 1; }
# now in microseconds since the epoch
now_us() { date +%s%6N; }
# waits up to $2 tenths of a second for the shell condition $1
wait_for() {
    n=0
    until eval "$1"; do
        n=$((n + 1))
        [ $n -lt "$2" ] || return 1
        sleep 0.1
    done
}
# The peer publishes its presence; its watchers (the panel) are notified by it through the proxy.
# Commands reach it on stdin through a FIFO kept open on descriptor 3.
mkfifo "$DIR_WORK/peer.in"
"$BUILD/bin/sippeer" --port $PEER_PORT --registrar 127.0.0.1:$REGISTRAR_PORT --user 2000 \
    --presence online --presence-note Available --data-dir "$DIR_WORK/peer" \
    < "$DIR_WORK/peer.in" > "$DIR_WORK/peer.out" 2> "$DIR_WORK/peer.err" &
PEER_PID=$!
exec 3> "$DIR_WORK/peer.in"
wait_for 'grep -q "registration state=Ok" "$DIR_WORK/peer.out"' 100 || { echo "  the peer did not register"; exit 1; }

touch "$DIR_WORK/presence"
START=$(now_us)
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=$PANEL_DISPLAY ORVALO_UNATTENDED=1 ORVALO_BIND_ADDRESS=127.0.0.1 \
    ORVALO_SIP_PORT=$PANEL_PORT XDG_DATA_HOME="$DIR_WORK/home" ORVALO_PRESENCE_LOG="$DIR_WORK/presence" \
    "$DIR_APP/orvalo" > "$DIR_WORK/panel.out" 2>&1 &
PANEL_PID=$!
registered() { count=$(grep -c 'Registration [0-9]*: 200' "$DIR_APP/log" 2>/dev/null) || true; echo "${count:-0}"; }
wait_for '[ "$(registered)" -ge $ACCOUNTS ]' 300 || echo "  warning: $(registered) of $ACCOUNTS extensions registered"
REGISTERED_MS=$((($(now_us) - START) / 1000))
# The peer's first NOTIFY: its tile turns green.
wait_for 'grep -q "extension=2000 colour=greenyellow" "$DIR_WORK/presence" 2>/dev/null' 300 \
    || echo "  warning: the peer's tile never turned available"
ONLINE_MS=$((($(now_us) - START) / 1000))
SUBSCRIBED=$(grep -c 'Add buddy' "$DIR_APP/log" || true)
# The 1,000 SUBSCRIBE transactions (most answered 404: nobody registered as those extensions) are
# wound up by the stack's timers over the next seconds: idle starts after them.
sleep 20
cpu_ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$PANEL_PID/stat"; }
RSS_KB=$(awk '/^VmRSS/ { print $2 }' "/proc/$PANEL_PID/status")
# ORVALO_BENCH_SMAPS=<folder> keeps the panel's memory map at that moment, to see where it goes.
[ -z "${ORVALO_BENCH_SMAPS:-}" ] || cp "/proc/$PANEL_PID/smaps" "$ORVALO_BENCH_SMAPS/directory.smaps"
T0=$(now_us)
C0=$(cpu_ticks)
sleep "$IDLE"
C1=$(cpu_ticks)
T1=$(now_us)
IDLE_PCT=$(awk -v c=$((C1 - C0)) -v hz="$(getconf CLK_TCK)" -v us=$((T1 - T0)) \
    'BEGIN { printf "%.3f", 100 * c / hz / (us / 1e6) }')

# Presence changes of the peer, each to its tile's colour: the time from the command to the line
# the panel writes once the tile has its new colour (the peer's NOTIFY, the proxy, the panel).
: > "$DIR_WORK/presence_ms"
i=0
while [ $i -lt "$PRESENCE_CHANGES" ]; do
    case $((i % 3)) in
        0) command="busy Ringing"; colour=gold ;;
        1) command="busy On the phone"; colour=goldenrod ;;
        *) command="online Available"; colour=greenyellow ;;
    esac
    lines=$(wc -l < "$DIR_WORK/presence")
    sent=$(now_us)
    echo "presence $command" >&3
    if wait_for '[ "$(tail -n +$((lines + 1)) "$DIR_WORK/presence" | grep -c "extension=2000 colour=$colour")" -gt 0 ]' 50; then
        tail -n +$((lines + 1)) "$DIR_WORK/presence" | grep -m1 "extension=2000 colour=$colour" \
            | sed 's/.*us=\([0-9]*\).*/\1/' | awk -v sent="$sent" '{ printf "%.2f\n", ($1 - sent) / 1000 }' \
            >> "$DIR_WORK/presence_ms"
    else
        echo "  warning: presence \"$command\" never reached the tile"
    fi
    sleep 0.3
    i=$((i + 1))
done
exec 3>&-
kill "$PANEL_PID" 2>/dev/null || true
wait "$PANEL_PID" 2>/dev/null || true
PANEL_PID=
kill "$PEER_PID" 2>/dev/null || true
wait "$PEER_PID" 2>/dev/null || true
PEER_PID=
PRESENCE=$(sort -n "$DIR_WORK/presence_ms" | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "n/a n/a n/a 0"; exit }
    printf "%s %s %s %d\n", v[1], (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR], NR }')
echo "  directory_panel registered_ms=$REGISTERED_MS peer_online_ms=$ONLINE_MS subscribed=$SUBSCRIBED rss_kb=$RSS_KB" \
    "idle_cpu_pct=$IDLE_PCT idle_s=$IDLE presence_ms(min/median/max/n)=$(echo $PRESENCE | tr ' ' '/')"

# Beside the targets of the directory (1,000 entries, every tile subscribed).
BUILD_MS=$(sed -n 's/.* build_ms=\([0-9.]*\).*/\1/p' "$WORK/directory.txt")
REDRAWS=$(sed -n 's/.* idle_redraws=\([0-9]*\).*/\1/p' "$WORK/directory.txt")
awk -v build="$BUILD_MS" -v rss="$RSS_KB" -v cpu="$IDLE_PCT" -v presence="$PRESENCE" -v redraws="$REDRAWS" '
    function check(label, value, target, unit) {
        verdict = (value ~ /^[0-9.]+$/) ? (value + 0 <= target ? "pass" : "miss") : "miss (not measured)"
        if (value == "") value = "n/a"
        printf "  %-40s %10s %-4s  target <= %-6s %s\n", label, value, unit, target, verdict
    }
    BEGIN {
        print ""
        split(presence, p, " ")
        check("directory build (directorybench)", build, 300, "ms")
        check("idle refresh: tiles redrawn", redraws, 0, "")
        check("panel resident memory with directory", rss == "" ? "" : sprintf("%.1f", rss / 1024), 120, "MiB")
        check("panel idle CPU with directory (%)", cpu, 0.5, "%")
        check("presence change -> tile colour median", p[2], 50, "ms")
        printf "  (presence change -> colour min/median/max %s/%s/%s ms over %s changes, from the command to the\n", p[1], p[2], p[3], p[4]
        print "   peer until the panel has set the colour: the peer, its NOTIFY through Kamailio and the panel)"
    }'
