#!/bin/sh
# Starts a private X server in the foreground for tests: xvfb.sh <dir> [WIDTHxHEIGHTxDEPTH]. The
# server picks a free display itself and writes its number to <dir>/display; it listens on no TCP
# port. The screen is 1024x768x24 unless given.
# Only the abstract local socket: a display number is then chosen by a bind that only one server
# can win, and there is no socket file in /tmp/.X11-unix that another test's server, ending while
# this one starts on the number it just left, could remove from under it.
set -eu
dir=$1
screen=${2:-1024x768x24}
mkdir -p "$dir"
exec Xvfb -displayfd 3 -nolisten tcp -nolisten unix -screen 0 "$screen" -nocursor 3>"$dir/display" 2>"$dir/xvfb.log"
