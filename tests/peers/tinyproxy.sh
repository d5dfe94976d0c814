#!/bin/sh
# Starts the HTTP proxy in the foreground for tests: tinyproxy.sh <dir> <port> [<user> <password>].
# Listens on 127.0.0.1:<port> for loopback clients, allows CONNECT to any port; with a user and
# password it asks for Basic authentication. Configuration, log and pid file stay in <dir>.
set -eu
dir=$1
port=$2
mkdir -p "$dir"
chmod 0777 "$dir"
auth=""
if [ $# -ge 4 ]; then
    auth="BasicAuth $3 $4"
fi
cat > "$dir/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
LogFile "$dir/tinyproxy.log"
LogLevel Info
PidFile "$dir/tinyproxy.pid"
$auth
CONF
exec tinyproxy -d -c "$dir/tinyproxy.conf"
