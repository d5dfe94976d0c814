#!/bin/sh
# Starts a notification area in the foreground for tests: trayer.sh [bottom|top]. It docks on the
# X display the caller names in DISPLAY (an Xvfb of the test), at the right end of that edge.
set -eu
edge=${1:-bottom}
if [ -z "${DISPLAY:-}" ]; then
  echo "trayer.sh: DISPLAY is not set" >&2
  exit 2
fi
case "$edge" in
  bottom|top) ;;
  *) echo "trayer.sh: edge must be bottom or top" >&2; exit 2 ;;
esac
# No session bus: the program under test docks over XEmbed, which is what this tray speaks.
unset DBUS_SESSION_BUS_ADDRESS
exec trayer --edge "$edge" --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
  --SetDockType true --SetPartialStrut false --expand false --transparent false --tint 0xd0d0d0
