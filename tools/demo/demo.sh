#!/bin/sh
# Loopback demo of the panel: a Kamailio registrar on 127.0.0.1:5060, the cloud simulator on
# https://127.0.0.1:8443 (the company's cloud service: contact lookups of incoming calls), the panel
# with two extensions (1001 "Front desk", 1003 "Sales", as the cloud provisions them) and two
# scripted callers (1002 rings 1001 and is answered, 1004 rings 1003). Everything runs in a private
# network namespace with loopback only. `make demo` runs it.
#
#   tools/demo/demo.sh [BUILD_DIR] [--screenshot FILE.png]
#
# Without --screenshot the panel opens on your display and the demo ends when you exit it.
# With --screenshot it runs under Xvfb, takes the picture once the calls are up, and stops.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build
shot=
while [ $# -gt 0 ]; do
    case $1 in
    --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
    *) build=$(realpath "$1"); shift ;;
    esac
done

if [ "${ORVALO_DEMO_INSIDE:-}" != 1 ]; then
    export ORVALO_DEMO_INSIDE=1
    # Keep the X display reachable when showing the panel on the desktop: only the network is private.
    if [ "$(id -u)" = 0 ]; then
        exec unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build" ${shot:+--screenshot "$shot"}
    fi
    exec unshare -rn sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build" ${shot:+--screenshot "$shot"}
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvalo-demo.XXXXXX")
pids=
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    for p in $pids; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$work/app"
cp "$build/bin/orvalo" "$work/app/"
export ORVALO_BIND_ADDRESS=127.0.0.1 ORVALO_UNATTENDED=1 XDG_DATA_HOME="$work/home"

"$root/tools/testbed/run-kamailio.sh" 5060 >"$work/kamailio.log" 2>&1 &
pids="$pids $!"
"$build/bin/cloudsim" --fixture "$root/tools/cloudsim/fixture.json" --port 8443 --sip-server 127.0.0.1:5060 \
    >"$work/cloudsim.log" 2>&1 &
pids="$pids $!"

# First start creates the database; then the two extensions are added, marked as provisioned by the
# cloud so that the panel starts logged in (no login window).
QT_QPA_PLATFORM=offscreen "$work/app/orvalo" >"$work/first.log" 2>&1 &
first=$!
i=0
until grep -q 'Initialisation complete' "$work/app/log" 2>/dev/null; do
    i=$((i + 1)); [ $i -lt 200 ] || { echo "panel did not start" >&2; exit 1; }
    sleep 0.1
done
kill "$first"; wait "$first" || true
sqlite3 "$work/app/orvalo.db" <<'SQL'
INSERT INTO accounts (accountname, extension, domain, user, password, sipserveraddress, sipport,
    registrationtime, audiocodecs, dtmftype, activeaccount, defaultaccount, companydevice, fromapi)
VALUES ('Front desk', '1001', '127.0.0.1', '1001', '', '127.0.0.1', '5060', 300, 'ulaw,alaw', 'RFC2833', 1, 1, 0, 1),
       ('Sales', '1003', '127.0.0.1', '1003', '', '127.0.0.1', '5060', 300, 'ulaw,alaw', 'RFC2833', 1, 0, 0, 1);
UPDATE orvalooptions SET value = '1' WHERE name = 'EnableCallProgressTab';
SQL
# Logged in to the simulated cloud service as the operator of its fixture.
printf 'BriskoCloudApiUrl=https://127.0.0.1:8443/briskogui/\nAuthenticationToken=tok-operator\nLoginCompanycode=demo\nLoginUsername=operator\n' \
    >>"$work/app/settings"
echo "Orvalo demo: registrar 127.0.0.1:5060, cloud service https://127.0.0.1:8443; 1002 calls 1001 in 3 s, 1004 calls 1003 in 7 s"

peer() {
    "$build/bin/sippeer" --registrar 127.0.0.1:5060 --port 0 --no-stdin --data-dir "$work/peer-$1" --user "$@" \
        >"$work/peer-$1.log" 2>&1 &
    pids="$pids $!"
}

peer 1002 --call sip:1001@127.0.0.1:5060 --call-delay 3000 --hangup-after 60000
peer 1004 --call sip:1003@127.0.0.1:5060 --call-delay 7000
if [ -n "$shot" ]; then
    xvfb-run -a -s '-screen 0 700x1000x24' sh -c '
        "$0" & panel=$!
        sleep 5
        # The first caller is answered with the Answer key (F5).
        xdotool search --name "Orvalo Lite" windowfocus --sync key F5
        sleep 4
        import -window root "$1"
        kill $panel; wait $panel' "$work/app/orvalo" "$shot"
    echo "screenshot: $shot"
else
    "$work/app/orvalo"
fi
