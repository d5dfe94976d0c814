#!/bin/sh
# An SNMP agent whose interface octet counters the tests set by writing files, for the sampling and
# traffic tests of the monitor.
#
#   snmp-counters.sh agent <dir> <port>   run the agent in the foreground on udp:127.0.0.1:<port>:
#                                         a fixed sysDescr, community "public" read-only, and
#                                         ifInOctets.N / ifOutOctets.N (Counter32) read from
#                                         <dir>/counters/in.N and <dir>/counters/out.N
#   snmp-counters.sh <dir> -g OID         the agent's pass handler: GET
#   snmp-counters.sh <dir> -n OID         the agent's pass handler: GETNEXT
#   snmp-counters.sh <dir> -s OID ...     the agent's pass handler: SET (always refused)
#
# A counter file holds one decimal number; a missing file or one that is not a number is "no such
# object". Configuration, state and the log (snmpd.log) stay in <dir>.
set -eu

IN_BASE=.1.3.6.1.2.1.2.2.1.10
OUT_BASE=.1.3.6.1.2.1.2.2.1.16

# The value of counter file <dir>/counters/<file>, or nothing.
counter_value() {
    f="$1/counters/$2"
    [ -f "$f" ] || return 1
    v=$(tr -d ' \r\n' < "$f")
    case "$v" in
    '' | *[!0-9]*) return 1 ;;
    esac
    printf '%s\n' "$v"
}

# Splits OID into its base (IN_BASE or OUT_BASE), file prefix and index; fails for any other OID.
split_oid() {
    case "$1" in
    "$IN_BASE".*) base=$IN_BASE prefix=in index=${1#"$IN_BASE".} ;;
    "$OUT_BASE".*) base=$OUT_BASE prefix=out index=${1#"$OUT_BASE".} ;;
    *) return 1 ;;
    esac
    case "$index" in
    '' | *[!0-9]*) return 1 ;;
    esac
}

answer() { # answer OID VALUE
    printf '%s\ncounter\n%s\n' "$1" "$2"
}

pass_get() {
    split_oid "$2" || return 0
    v=$(counter_value "$1" "$prefix.$index") || return 0
    answer "$2" "$v"
}

# The first counter of OID's column after OID (the agent asks each column's handler separately).
pass_next() {
    dir=$1
    oid=$2
    case "$oid" in
    "$IN_BASE" | "$IN_BASE".*) b=$IN_BASE p=in ;;
    "$OUT_BASE" | "$OUT_BASE".*) b=$OUT_BASE p=out ;;
    *) return 0 ;;
    esac
    after=-1
    if [ "$oid" != "$b" ]; then
        rest=${oid#"$b".}
        after=${rest%%.*}
        case "$after" in '' | *[!0-9]*) return 0 ;; esac
    fi
    for i in $(ls "$dir/counters" 2>/dev/null | sed -n "s/^$p\.\([0-9][0-9]*\)\$/\1/p" | sort -n); do
        [ "$i" -gt "$after" ] || continue
        v=$(counter_value "$dir" "$p.$i") || continue
        answer "$b.$i" "$v"
        return 0
    done
}

run_agent() {
    dir=$1
    port=$2
    self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
    mkdir -p "$dir/persist" "$dir/counters"
    cat > "$dir/snmpd.conf" <<CONF
sysDescr Counter agent for the monitor tests
rocommunity public default
pass $IN_BASE /bin/sh $self $dir
pass $OUT_BASE /bin/sh $self $dir
CONF
    export SNMP_PERSISTENT_DIR="$dir/persist"
    export SNMPCONFPATH="$dir"
    export MIBS=""
    exec snmpd -f -Lf "$dir/snmpd.log" -C -c "$dir/snmpd.conf" -p "$dir/snmpd.pid" -m "" "udp:127.0.0.1:$port"
}

case "${1:-}" in
agent)
    run_agent "${2:?dir}" "${3:?port}"
    ;;
'')
    echo "usage: $0 agent DIR PORT | DIR -g|-n|-s OID" >&2
    exit 2
    ;;
*)
    dir=$1
    case "${2:-}" in
    -g) pass_get "$dir" "${3:-}" ;;
    -n) pass_next "$dir" "${3:-}" ;;
    -s) echo not-writable ;;
    *) exit 2 ;;
    esac
    ;;
esac
