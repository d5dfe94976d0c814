#!/usr/bin/env bash
# A network namespace for the SNMP SET tests: the agent runs inside it next to a veth pair whose link
# the tests switch through ifAdminStatus.
#
#   netns-snmp.sh setup NAME          create namespace NAME with lo up and the pair zts0 <-> zts1 up
#   netns-snmp.sh agent NAME DIR PORT run the agent (tests/peers/snmpd.sh) inside NAME on 127.0.0.1:PORT
#                                     in the foreground
#   netns-snmp.sh teardown NAME       delete the namespace (a missing one is ignored)
#
# Addresses exist only inside the namespace: 198.18.30.1/30 on zts0 and 198.18.30.2/30 on zts1.
set -euo pipefail

mode=${1:-}
name=${2:-}
if [[ -z "$mode" || -z "$name" || ! "$name" =~ ^[A-Za-z0-9_-]{1,30}$ ]]; then
    echo "usage: $0 setup|agent|teardown NAME [DIR PORT]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)

case "$mode" in
setup)
    ip netns add "$name"
    ip -n "$name" link set lo up
    ip -n "$name" link add zts0 type veth peer name zts1
    ip -n "$name" addr add 198.18.30.1/30 dev zts0
    ip -n "$name" addr add 198.18.30.2/30 dev zts1
    ip -n "$name" link set zts0 up
    ip -n "$name" link set zts1 up
    ;;
agent)
    dir=${3:?dir}
    port=${4:?port}
    exec ip netns exec "$name" "$here/snmpd.sh" "$dir" "$port" 127.0.0.1
    ;;
teardown)
    ip netns del "$name" 2>/dev/null || true
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
