#!/usr/bin/env bash
# Installs what is missing, builds the program into build/ and runs it from there.
# Without a display the program runs on Qt's offscreen platform (for a server).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target zorvanite-tarnequill
# Two file capabilities let an ordinary user run the program in full: cap_net_raw sends ICMP echo
# like the system's own ping, and cap_net_bind_service lets the syslog server listen on UDP 514
# (ports below 1024 are for privileged programs only). Both are set the same way, and the script
# says whether they were; without them the echo checks and the syslog server fail and the program
# says so.
capabilities=cap_net_raw,cap_net_bind_service+ep
granted=0
if [ "$(id -u)" -eq 0 ]; then
  setcap "$capabilities" build/zorvanite-tarnequill 2>/dev/null && granted=1
elif command -v sudo >/dev/null; then
  sudo setcap "$capabilities" build/zorvanite-tarnequill 2>/dev/null && granted=1
fi
if [ "$granted" = 1 ]; then
  echo "run.sh: build/zorvanite-tarnequill may send ICMP echo (cap_net_raw) and listen on UDP 514 (cap_net_bind_service)."
else
  echo "run.sh: could not give build/zorvanite-tarnequill cap_net_raw and cap_net_bind_service;" \
    "as an ordinary user its echo checks and its syslog server on UDP 514 will fail." >&2
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
exec build/zorvanite-tarnequill "$@"
