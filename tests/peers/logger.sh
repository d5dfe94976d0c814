#!/bin/sh
# Sends syslog messages with util-linux logger to a test server on loopback:
#   logger.sh <port> <logger options and message>
# Each datagram also goes to standard error as logger wrote it (-s), so a test can compare.
set -eu
port=$1
shift
exec logger -n 127.0.0.1 -P "$port" -d -s "$@"
