#!/bin/sh
# Starts the SOCKS server in the foreground for tests: danted.sh <dir> <port>. Serves SOCKS4 and SOCKS5
# (no authentication; CONNECT and UDP association) on 127.0.0.1:<port> for loopback clients and loopback
# targets only; its configuration and pid file stay in <dir>.
set -eu
dir=$1
port=$2
mkdir -p "$dir"
cat > "$dir/danted.conf" <<CONF
logoutput: $dir/danted.log
internal: 127.0.0.1 port = $port
external: 127.0.0.1
clientmethod: none
socksmethod: none
user.privileged: root
user.unprivileged: nobody
client pass {
    from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
    from: 127.0.0.0/8 to: 127.0.0.0/8
    command: connect udpassociate
    protocol: tcp udp
}
socks pass {
    from: 127.0.0.0/8 to: 127.0.0.0/8
    command: udpreply
    protocol: udp
}
socks block {
    from: 0.0.0.0/0 to: 0.0.0.0/0
}
CONF
exec danted -f "$dir/danted.conf" -p "$dir/danted.pid" -N 1
