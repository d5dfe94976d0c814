#!/usr/bin/env bash
# A network namespace where unprivileged ICMP echo is closed (net.ipv4.ping_group_range "1 0"), so a
# process without CAP_NET_RAW may open neither kind of ICMP socket in it.
#
#   netns-noecho.sh setup NAME     create namespace NAME with loopback up and the range closed
#   netns-noecho.sh teardown NAME  delete it (a missing one is ignored)
set -euo pipefail

mode=${1:-}
name=${2:-}
if [[ -z "$mode" || -z "$name" || ! "$name" =~ ^[A-Za-z0-9_-]{1,30}$ ]]; then
    echo "usage: $0 setup|teardown NAME" >&2
    exit 2
fi

case "$mode" in
setup)
    ip netns del "$name" 2>/dev/null || true
    ip netns add "$name"
    ip netns exec "$name" ip link set lo up
    ip netns exec "$name" sysctl -q -w net.ipv4.ping_group_range="1 0"
    echo ready
    ;;
teardown)
    ip netns del "$name" 2>/dev/null || true
    ;;
*)
    echo "unknown mode: $mode" >&2
    exit 2
    ;;
esac
