#!/usr/bin/env bash
# Starts the SNMP simulator in the foreground for the interface walk tests:
#   snmpsim.sh DIR PORT TABLE [ADDRESS]
# It answers SNMPv1/v2c for community "vorpal" (the data file's name) on udp ADDRESS:PORT (default
# 127.0.0.1), runs as nobody, and serves one fixed table written into DIR/data:
#   three      ifIndex 1, 2, 10001:
#                1      ifName "eth0", ifDescr "Intel Ethernet", ifAlias "uplink";  up/up, 1 Gbit/s,
#                       in 4294967295, out 123
#                2      ifName "eth1", ifDescr "eth1", ifAlias "backup";  down/down (admin), speed 0
#                10001  no ifName, ifDescr "Loopback interface", no ifAlias;  testing/testing, 10 Mbit/s
#              plus sysDescr "Simulated switch" and sysUpTime 12345
#   numeric    ifIndex 1 and 2 whose ifDescr values are the numbers "7" and "8" (no ifName table)
#   many:N     N interfaces 1..N, each with every column the walk reads
set -euo pipefail
dir=${1:?dir}
port=${2:?port}
table=${3:?table}
address=${4:-127.0.0.1}
mkdir -p "$dir/data" "$dir/cache"
python3 - "$table" >"$dir/data/vorpal.snmprec" <<'PY'
import sys

table = sys.argv[1]
rows = []


def add(oid, tag, value):
    rows.append((tuple(int(p) for p in oid.split(".")), tag, value))


def interface(i, name, descr, alias, oper, admin, speed, inoct, outoct):
    add(f"1.3.6.1.2.1.2.2.1.1.{i}", 2, i)
    add(f"1.3.6.1.2.1.2.2.1.2.{i}", 4, descr)
    add(f"1.3.6.1.2.1.2.2.1.5.{i}", 66, speed)
    add(f"1.3.6.1.2.1.2.2.1.7.{i}", 2, admin)
    add(f"1.3.6.1.2.1.2.2.1.8.{i}", 2, oper)
    add(f"1.3.6.1.2.1.2.2.1.10.{i}", 65, inoct)
    add(f"1.3.6.1.2.1.2.2.1.16.{i}", 65, outoct)
    if name is not None:
        add(f"1.3.6.1.2.1.31.1.1.1.1.{i}", 4, name)
    if alias is not None:
        add(f"1.3.6.1.2.1.31.1.1.1.18.{i}", 4, alias)


if table == "three":
    add("1.3.6.1.2.1.1.1.0", 4, "Simulated switch")
    add("1.3.6.1.2.1.1.3.0", 67, 12345)
    interface(1, "eth0", "Intel Ethernet", "uplink", 1, 1, 1000000000, 4294967295, 123)
    interface(2, "eth1", "eth1", "backup", 2, 2, 0, 0, 0)
    interface(10001, None, "Loopback interface", None, 3, 3, 10000000, 77, 88)
elif table == "numeric":
    add("1.3.6.1.2.1.2.2.1.1.1", 2, 1)
    add("1.3.6.1.2.1.2.2.1.1.2", 2, 2)
    add("1.3.6.1.2.1.2.2.1.2.1", 4, "7")
    add("1.3.6.1.2.1.2.2.1.2.2", 4, "8")
elif table.startswith("many:"):
    for i in range(1, int(table[5:]) + 1):
        interface(i, f"port{i}", f"Ethernet port {i}", f"desk {i}", 1 if i % 3 else 2, 1, 100000000,
                  1000 * i, 2000 * i)
else:
    sys.exit(f"unknown table {table}")

for oid, tag, value in sorted(rows):
    print(f"{'.'.join(map(str, oid))}|{tag}|{value}")
PY
chmod -R a+rX "$dir"
chown -R nobody "$dir/cache"
exec snmpsimd --data-dir="$dir/data" --cache-dir="$dir/cache" --agent-udpv4-endpoint="$address:$port" \
    --process-user=nobody --process-group=nogroup --logging-method=null
