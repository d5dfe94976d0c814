#!/bin/sh
# Starts the SNMP agent in the foreground for tests: snmpd.sh <dir> <port> [address]. Listens on
# udp:<address>:<port> (default 127.0.0.1) and reads only the configuration written into <dir>:
# a fixed sysDescr, community "public" read-only and "vorpal" read-write, and three SNMPv3 users
#   md5user  MD5 "md5-auth-pass" without privacy
#   desuser  MD5 "des-auth-pass", DES "des-priv-pass"
#   aesuser  SHA "aes-auth-pass", AES "aes-priv-pass"
# Persistent state (engine id and boots) stays in <dir>/persist. With -C the agent reads no file but
# those given by -c, so the createUser lines sit in a second private file named there.
set -eu
dir=$1
port=$2
address=${3:-127.0.0.1}
mkdir -p "$dir/persist"
cat > "$dir/snmpd.conf" <<CONF
sysDescr Test agent for the network monitor
sysLocation test rack
rocommunity public default
rwcommunity vorpal default
rouser md5user auth
rouser desuser priv
rwuser aesuser priv
CONF
cat > "$dir/users.conf" <<CONF
createUser md5user MD5 md5-auth-pass
createUser desuser MD5 des-auth-pass DES des-priv-pass
createUser aesuser SHA aes-auth-pass AES aes-priv-pass
CONF
export SNMP_PERSISTENT_DIR="$dir/persist"
export SNMPCONFPATH="$dir"
export MIBS=""
exec snmpd -f -Lo -C -c "$dir/snmpd.conf,$dir/users.conf" -p "$dir/snmpd.pid" -m "" "udp:$address:$port"
