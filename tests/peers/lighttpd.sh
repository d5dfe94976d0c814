#!/bin/sh
# Starts the web server in the foreground for tests: lighttpd.sh <dir> <port>. Serves <dir>/www on
# 127.0.0.1:<port> and [::1]:<port>; its configuration and logs stay in <dir>.
set -eu
dir=$1
port=$2
mkdir -p "$dir/www"
cat > "$dir/lighttpd.conf" <<CONF
server.document-root = "$dir/www"
server.bind = "127.0.0.1"
server.port = $port
\$SERVER["socket"] == "[::1]:$port" { }
server.errorlog = "$dir/error.log"
server.pid-file = "$dir/lighttpd.pid"
server.max-keep-alive-requests = 10000
mimetype.assign = ( ".txt" => "text/plain", ".html" => "text/html", "" => "application/octet-stream" )
index-file.names = ( "index.html" )
CONF
exec lighttpd -D -f "$dir/lighttpd.conf"
