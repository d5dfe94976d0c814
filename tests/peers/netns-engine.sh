#!/usr/bin/env bash
# Network namespaces for the check engine's end-to-end echo tests: a client and a target host joined
# by a veth pair. The test runs the engine inside the client namespace.
#
#   netns-engine.sh setup PREFIX            create PREFIX-c (client) and PREFIX-t (target)
#   netns-engine.sh teardown PREFIX         delete them (missing ones are ignored)
#   netns-engine.sh silence PREFIX ADDRESS  the target stops answering from ADDRESS (its replies vanish)
#   netns-engine.sh answer PREFIX ADDRESS   the target answers from ADDRESS again
#   netns-engine.sh loopback PREFIX         create PREFIX-l alone: all of 127.0.0.0/8 answers,
#                                           except what the nft set "silent" holds (starts with
#                                           127.2.0.0/16), whose packets vanish on the way in;
#                                           datagram echo sockets are allowed
#   netns-engine.sh drop PREFIX ADDRESS     packets to ADDRESS (127.x.y.z) vanish from now on
#   netns-engine.sh undrop PREFIX ADDRESS   and answered again
#
# Addresses exist only inside the namespaces:
#   client PREFIX-c  198.18.40.1/24; 198.18.41.0/24 routed to the target
#   target PREFIX-t  198.18.40.2/24, 198.18.40.3/32 and 198.18.40.4/32 (all answer echo);
#                    blackhole 198.18.41.0/24 (echo to 198.18.41.1 vanishes without an answer)
set -euo pipefail

mode=${1:-}
prefix=${2:-}
if [[ -z "$mode" || -z "$prefix" || ! "$prefix" =~ ^[A-Za-z0-9_-]{1,20}$ ]]; then
    echo "usage: $0 setup|loopback|teardown|silence|answer|drop|undrop PREFIX [ADDRESS]" >&2
    exit 2
fi
C="$prefix-c"
T="$prefix-t"

L="$prefix-l"

teardown() {
    for ns in "$C" "$T" "$L"; do
        ip netns del "$ns" 2>/dev/null || true
    done
}

# A target address the tests may silence: one of the target's own, nothing else.
check_address() {
    case "$1" in
    198.18.40.2 | 198.18.40.3 | 198.18.40.4) ;;
    *)
        echo "not a target address: $1" >&2
        exit 2
        ;;
    esac
}

# Replies from ADDRESS go through their own table; a blackhole there silences them.
rule_table() {
    echo $((100 + ${1##*.}))
}

setup() {
    # A failure half-way (set -e) leaves nothing behind.
    trap 'teardown' EXIT
    ip netns add "$C"
    ip netns add "$T"
    ip link add vc netns "$C" type veth peer name vt netns "$T"
    ip -n "$C" link set lo up
    ip -n "$T" link set lo up
    ip -n "$C" addr add 198.18.40.1/24 dev vc
    ip -n "$T" addr add 198.18.40.2/24 dev vt
    ip -n "$T" addr add 198.18.40.3/32 dev vt
    ip -n "$T" addr add 198.18.40.4/32 dev vt
    ip -n "$C" link set vc up
    ip -n "$T" link set vt up
    ip -n "$C" route add 198.18.41.0/24 via 198.18.40.2
    ip -n "$T" route add blackhole 198.18.41.0/24
    # The target answers ARP for its /32 addresses on the link too (the default does), and every
    # echo gets its answer however fast the tests send.
    ip netns exec "$T" sysctl -qw net.ipv4.icmp_ratelimit=0
    trap - EXIT
    echo "ready"
}

# A loopback address of the loopback namespace, nothing else.
check_loopback() {
    if [[ ! "$1" =~ ^127\.[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3}$ ]]; then
        echo "not a loopback address: $1" >&2
        exit 2
    fi
}

loopback() {
    trap 'teardown' EXIT
    ip netns add "$L"
    ip -n "$L" link set lo up
    ip netns exec "$L" sysctl -qw net.ipv4.icmp_ratelimit=0
    ip netns exec "$L" sysctl -qw net.ipv4.ping_group_range="0 2147483647"
    ip netns exec "$L" nft -f - <<'NFT'
table ip zte {
    set silent {
        type ipv4_addr
        flags interval
        elements = { 127.2.0.0/16 }
    }
    # Dropped on the way in: the sender's request leaves and no answer ever comes back.
    chain in {
        type filter hook input priority 0; policy accept;
        ip daddr @silent drop
    }
}
NFT
    trap - EXIT
    echo "ready"
}

case "$mode" in
setup)
    setup
    ;;
loopback)
    loopback
    ;;
drop)
    address=${3:?address}
    check_loopback "$address"
    ip netns exec "$L" nft add element ip zte silent "{ $address }"
    ;;
undrop)
    address=${3:?address}
    check_loopback "$address"
    ip netns exec "$L" nft delete element ip zte silent "{ $address }"
    ;;
teardown)
    teardown
    ;;
silence)
    address=${3:?address}
    check_address "$address"
    table=$(rule_table "$address")
    ip -n "$T" route replace blackhole default table "$table"
    ip -n "$T" rule add from "$address" lookup "$table" priority "$table"
    ;;
answer)
    address=${3:?address}
    check_address "$address"
    table=$(rule_table "$address")
    ip -n "$T" rule del from "$address" lookup "$table" priority "$table" 2>/dev/null || true
    ip -n "$T" route flush table "$table" 2>/dev/null || true
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
