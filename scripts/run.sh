#!/usr/bin/env bash
# Installs what is missing, builds the program into build/ and runs it from there.
# Without a display the program runs on Qt's offscreen platform (for a server).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target zorvanite-tarnequill
# Like the system's own ping, the program may send ICMP echo as an ordinary user.
if [ "$(id -u)" -eq 0 ]; then
  setcap cap_net_raw+ep build/zorvanite-tarnequill 2>/dev/null || true
elif command -v sudo >/dev/null; then
  sudo setcap cap_net_raw+ep build/zorvanite-tarnequill 2>/dev/null || true
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
exec build/zorvanite-tarnequill "$@"
