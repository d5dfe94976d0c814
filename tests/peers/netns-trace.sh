#!/usr/bin/env bash
# A routed chain of network namespaces for the traceroute and ping tests of the tools window:
# client -> r1 -> r2 -> target, with names for the client's reverse look-ups.
#
#   netns-trace.sh setup PREFIX     create PREFIX-c, PREFIX-r1, PREFIX-r2, PREFIX-t and
#                                   /etc/netns/PREFIX-c/{hosts,resolv.conf}; prints "ready"
#   netns-trace.sh teardown PREFIX  delete them (missing ones are ignored)
#
# Addresses exist only inside the namespaces:
#   client PREFIX-c    198.18.41.2                 (ping_group_range closed: root takes raw sockets)
#   r1 PREFIX-r1       198.18.41.1 / 198.18.42.1   name "hop-one" in the client's hosts file
#   r2 PREFIX-r2       198.18.42.2 / 198.18.43.1   no name
#   target PREFIX-t    198.18.43.2                 name "trace-target"
# Behind r1: 198.18.50.0/24 an unreachable route (host unreachable), 198.18.51.0/24 a blackhole.
# On r2 echo requests that arrive with TTL 1 (the second hop's probes) are dropped except every
# third one from the second on, so of a hop's three probes only the second answers.
# The client's resolver asks 127.0.0.1, where nothing listens: names outside the hosts file fail
# at once.
set -euo pipefail

mode=${1:-}
prefix=${2:-}
if [[ -z "$mode" || -z "$prefix" || ! "$prefix" =~ ^[A-Za-z0-9_-]{1,20}$ ]]; then
    echo "usage: $0 setup|teardown PREFIX" >&2
    exit 2
fi
C="$prefix-c"
R1="$prefix-r1"
R2="$prefix-r2"
T="$prefix-t"

teardown() {
    for ns in "$C" "$R1" "$R2" "$T"; do
        ip netns del "$ns" 2>/dev/null || true
    done
    rm -rf "/etc/netns/$C"
}

in_ns() {
    local ns=$1
    shift
    ip netns exec "$ns" "$@"
}

link() { # link NS_A IF_A NS_B IF_B
    ip link add "$2" netns "$1" type veth peer name "$4" netns "$3"
    in_ns "$1" ip link set "$2" up
    in_ns "$3" ip link set "$4" up
}

setup() {
    trap 'teardown' EXIT
    for ns in "$C" "$R1" "$R2" "$T"; do
        ip netns add "$ns"
        in_ns "$ns" ip link set lo up
        # Every probe gets its answer, however fast the tests send.
        in_ns "$ns" sysctl -qw net.ipv4.icmp_ratelimit=0
    done
    link "$C" cv "$R1" r1c
    link "$R1" r1n "$R2" r2p
    link "$R2" r2t "$T" tv

    in_ns "$C" ip addr add 198.18.41.2/24 dev cv
    in_ns "$C" ip route add default via 198.18.41.1
    in_ns "$C" sysctl -qw net.ipv4.ping_group_range="1 0"

    in_ns "$R1" ip addr add 198.18.41.1/24 dev r1c
    in_ns "$R1" ip addr add 198.18.42.1/24 dev r1n
    in_ns "$R1" sysctl -qw net.ipv4.ip_forward=1
    in_ns "$R1" ip route add 198.18.43.0/24 via 198.18.42.2
    in_ns "$R1" ip route add unreachable 198.18.50.0/24
    in_ns "$R1" ip route add blackhole 198.18.51.0/24

    in_ns "$R2" ip addr add 198.18.42.2/24 dev r2p
    in_ns "$R2" ip addr add 198.18.43.1/24 dev r2t
    in_ns "$R2" sysctl -qw net.ipv4.ip_forward=1
    in_ns "$R2" ip route add default via 198.18.42.1
    # Before the forwarding path, which would answer a TTL of 1 with time exceeded.
    in_ns "$R2" nft -f - <<'NFT'
table ip zttrace {
    chain pre {
        type filter hook prerouting priority -300; policy accept;
        ip ttl 1 icmp type echo-request numgen inc mod 3 != 1 drop
    }
}
NFT

    in_ns "$T" ip addr add 198.18.43.2/24 dev tv
    in_ns "$T" ip route add default via 198.18.43.1

    mkdir -p "/etc/netns/$C"
    printf '127.0.0.1 localhost\n198.18.41.1 hop-one\n198.18.43.2 trace-target\n' >"/etc/netns/$C/hosts"
    printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$C/resolv.conf"
    trap - EXIT
    echo "ready"
}

case "$mode" in
setup)
    setup
    ;;
teardown)
    teardown
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
