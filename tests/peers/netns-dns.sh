#!/usr/bin/env bash
# A network namespace whose name resolver asks a DNS server that never answers.
#
#   netns-dns.sh setup NAME     create namespace NAME (loopback up) and /etc/netns/NAME/resolv.conf,
#                               which "ip netns exec NAME" puts in place of /etc/resolv.conf
#   netns-dns.sh teardown NAME  delete both (missing ones are ignored)
#
# The resolver asks 127.0.0.1:53 inside the namespace; the test binds a UDP socket there that reads
# nothing and answers nothing, so every query waits for the resolver's own time-out (5 s, twice).
set -euo pipefail

mode=${1:-}
name=${2:-}
if [[ -z "$mode" || -z "$name" || ! "$name" =~ ^[A-Za-z0-9_-]{1,30}$ ]]; then
    echo "usage: $0 setup|teardown NAME" >&2
    exit 2
fi

teardown() {
    ip netns del "$name" 2>/dev/null || true
    rm -rf "/etc/netns/$name"
}

case "$mode" in
setup)
    teardown
    ip netns add "$name"
    ip netns exec "$name" ip link set lo up
    mkdir -p "/etc/netns/$name"
    printf 'nameserver 127.0.0.1\noptions timeout:5 attempts:2\n' >"/etc/netns/$name/resolv.conf"
    echo ready
    ;;
teardown)
    teardown
    ;;
*)
    echo "unknown mode: $mode" >&2
    exit 2
    ;;
esac
