#!/bin/sh
# Runs a test inside a private network namespace that has only loopback, so that nothing a SIP or
# RTP stack sends can leave the machine. Root (CI) uses `unshare -n`; others a user namespace.
if [ "$(id -u)" = 0 ]; then
    exec unshare -n sh -c 'ip link set lo up && exec "$@"' netns-run "$@"
fi
exec unshare -rn sh -c 'ip link set lo up && exec "$@"' netns-run "$@"
