#!/usr/bin/env bash
# Network namespaces for the ICMP echo tests: two clients (one limited to raw sockets, one allowed
# datagram ICMP sockets) behind a router whose routes and filter produce every kind of ICMP answer.
#
#   netns-ping.sh setup PREFIX     create the namespaces PREFIX-c, PREFIX-d, PREFIX-r, PREFIX-t
#   netns-ping.sh teardown PREFIX  delete them (missing ones are ignored)
#   netns-ping.sh run PREFIX       setup, then wait in the foreground until signalled, then teardown
#
# Addresses exist only inside the namespaces:
#   raw client PREFIX-c       198.18.1.2   fd00:1::2   (ping_group_range closed: root takes raw sockets)
#   datagram client PREFIX-d  198.18.3.2   fd00:3::2   (ping_group_range open: datagram sockets)
#   router PREFIX-r           198.18.1.1 / 198.18.3.1 / 198.18.2.1, fd00:1::1 / fd00:3::1 / fd00:2::1
#   target PREFIX-t           198.18.2.2   fd00:2::2   (answers echo)
# Targets behind the router, by what the router answers:
#   198.18.10.1  fd00:10::1  unreachable route  (v4 host unreachable; v6 no route)
#   198.18.11.1  fd00:11::1  prohibit route     (administratively prohibited)
#   198.18.12.1  fd00:12::1  blackhole route    (silence)
#   198.18.13.1  fd00:13::1  no route at all    (v4 network unreachable; v6 no route)
#   198.18.14.1  fd00:14::1  filter: port unreachable
#   198.18.15.1  fd00:15::1  filter: host prohibited (v4 code 10) / policy failure (v6 code 5)
#                fd00:16::1  filter: address unreachable (v6 code 3)
# The filter targets need nft; without it they are left out and "nft=no" is printed.
set -euo pipefail

mode=${1:-}
prefix=${2:-}
if [[ -z "$mode" || -z "$prefix" || ! "$prefix" =~ ^[A-Za-z0-9_-]{1,20}$ ]]; then
    echo "usage: $0 setup|teardown|run PREFIX" >&2
    exit 2
fi
C="$prefix-c"
D="$prefix-d"
R="$prefix-r"
T="$prefix-t"

teardown() {
    for ns in "$C" "$D" "$R" "$T"; do
        ip netns del "$ns" 2>/dev/null || true
    done
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

addr() { # addr NS IF V4/len V6/len
    in_ns "$1" ip addr add "$3" dev "$2"
    in_ns "$1" ip -6 addr add "$4" dev "$2" nodad
}

setup_client() { # setup_client NS IF V4 V6 GW4 GW6 PING_GROUP_RANGE
    in_ns "$1" ip link set lo up
    addr "$1" "$2" "$3" "$4"
    in_ns "$1" ip route add 198.18.0.0/15 via "$5"
    in_ns "$1" ip -6 route add fd00::/16 via "$6"
    in_ns "$1" sysctl -qw net.ipv4.ping_group_range="$7"
}

setup_filter() {
    if ! command -v nft >/dev/null 2>&1; then
        echo "nft=no"
        return
    fi
    in_ns "$R" ip route add 198.18.14.0/23 via 198.18.2.2
    in_ns "$R" ip -6 route add fd00:14::/64 via fd00:2::2
    in_ns "$R" ip -6 route add fd00:15::/64 via fd00:2::2
    in_ns "$R" ip -6 route add fd00:16::/64 via fd00:2::2
    in_ns "$R" nft -f - <<'EOF'
table inet ztping {
    chain forward {
        type filter hook forward priority 0; policy accept;
        ip daddr 198.18.14.0/24 reject with icmp type port-unreachable
        ip daddr 198.18.15.0/24 reject with icmp type host-prohibited
        ip6 daddr fd00:14::/64 reject with icmpv6 type port-unreachable
        ip6 daddr fd00:15::/64 reject with icmpv6 type policy-fail
        ip6 daddr fd00:16::/64 reject with icmpv6 type addr-unreachable
    }
}
EOF
    echo "nft=yes"
}

# Waits (at most 5 s) until no address of any namespace is still tentative.
wait_settled() {
    local tries=50
    while ((tries-- > 0)); do
        local busy=0
        for ns in "$C" "$D" "$R" "$T"; do
            if [[ -n "$(in_ns "$ns" ip -6 addr show tentative)" ]]; then
                busy=1
            fi
        done
        ((busy)) || return 0
        sleep 0.1
    done
}

setup() {
    # A failure half-way (set -e) leaves nothing behind.
    trap 'teardown' EXIT
    for ns in "$C" "$D" "$R" "$T"; do
        ip netns add "$ns"
        # Addresses usable at once: no duplicate address detection on the links made below.
        in_ns "$ns" sysctl -qw net.ipv6.conf.default.accept_dad=0
        in_ns "$ns" sysctl -qw net.ipv6.conf.all.accept_dad=0
    done
    link "$C" vc "$R" rc
    link "$D" vd "$R" rd
    link "$T" vt "$R" rt

    in_ns "$R" ip link set lo up
    addr "$R" rc 198.18.1.1/24 fd00:1::1/64
    addr "$R" rd 198.18.3.1/24 fd00:3::1/64
    addr "$R" rt 198.18.2.1/24 fd00:2::1/64
    in_ns "$R" sysctl -qw net.ipv4.ip_forward=1
    in_ns "$R" sysctl -qw net.ipv6.conf.all.forwarding=1
    # Every probe must get its answer, however fast the tests send.
    in_ns "$R" sysctl -qw net.ipv4.icmp_ratelimit=0
    in_ns "$R" sysctl -qw net.ipv6.icmp.ratelimit=0
    in_ns "$R" sysctl -qw net.ipv4.icmp_ratemask=0 2>/dev/null || true
    in_ns "$R" ip route add unreachable 198.18.10.0/24
    in_ns "$R" ip route add prohibit 198.18.11.0/24
    in_ns "$R" ip route add blackhole 198.18.12.0/24
    in_ns "$R" ip -6 route add unreachable fd00:10::/64
    in_ns "$R" ip -6 route add prohibit fd00:11::/64
    in_ns "$R" ip -6 route add blackhole fd00:12::/64

    setup_client "$C" vc 198.18.1.2/24 fd00:1::2/64 198.18.1.1 fd00:1::1 "1 0"
    setup_client "$D" vd 198.18.3.2/24 fd00:3::2/64 198.18.3.1 fd00:3::1 "0 2147483647"

    in_ns "$T" ip link set lo up
    addr "$T" vt 198.18.2.2/24 fd00:2::2/64
    in_ns "$T" ip route add default via 198.18.2.1
    in_ns "$T" ip -6 route add default via fd00:2::1

    setup_filter
    wait_settled
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
run)
    setup
    sleep infinity &
    sleeper=$!
    trap 'exit 0' TERM INT
    trap 'kill "$sleeper" 2>/dev/null || true; teardown' EXIT
    wait "$sleeper"
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
