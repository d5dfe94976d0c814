#!/bin/sh
# Starts the SOCKS5 proxy in the foreground for tests: microsocks.sh <dir> <port> [<user> <password>].
# Listens on 127.0.0.1:<port> only; with a user and password it asks for them. <dir>
# holds its log.
set -eu
dir=$1
port=$2
mkdir -p "$dir"
if [ $# -ge 4 ]; then
    exec microsocks -i 127.0.0.1 -p "$port" -u "$3" -P "$4" 2>>"$dir/microsocks.log"
fi
exec microsocks -i 127.0.0.1 -p "$port" 2>>"$dir/microsocks.log"
