#!/bin/sh
# Starts a private X server in the foreground for tests: xvfb.sh <dir> [WIDTHxHEIGHTxDEPTH]. The
# server picks a free display itself and writes its number to <dir>/display; it listens on no TCP
# port. The screen is 1024x768x24 unless given.
set -eu
dir=$1
screen=${2:-1024x768x24}
mkdir -p "$dir"
exec Xvfb -displayfd 3 -nolisten tcp -screen 0 "$screen" -nocursor 3>"$dir/display" 2>"$dir/xvfb.log"
