#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the program and the tests need.
# Safe to run any number of times: it does nothing when everything is present.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libsqlite3-dev libssl-dev
  libcurl4-openssl-dev libsdl2-mixer-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format libcap2-bin ccache lld
  # what the host menus start: "CMD Ping" and "Connect by telnet" in a terminal window
  xterm iputils-ping inetutils-telnet
  # fonts for stable pixel tests
  fonts-dejavu-core fonts-liberation2
  # real peers started by the tests
  snmpd snmp snmpsim lighttpd microsocks tinyproxy dante-server openssh-server bsdutils iproute2 nftables
  sqlite3 file desktop-file-utils
  python3 fping util-linux
  # a real X display for the window tests, driven and photographed from the test
  xvfb xdotool imagemagick xclip
  # the notification area, the window inspector and a window manager of the end-to-end window tests
  trayer x11-utils openbox
  # test tones and the tools/ script that makes the program's sounds
  sox
  # mail servers and the file watcher of the notification tests
  python3-aiosmtpd exim4-daemon-light inotify-tools openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# Package scripts must not start daemons: the tests start their own copies on private ports.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
fi
$SUDO apt-get install -y --no-install-recommends "${missing[@]}" || { [ "$own_policy" = 0 ] || $SUDO rm -f "$policy"; exit 1; }
[ "$own_policy" = 0 ] || $SUDO rm -f "$policy"
# The packaged daemons are started by the tests on private ports; keep the system copies quiet.
# The ssh service is stopped only when this step installed it: a machine reached over ssh keeps its own.
services=(snmpd lighttpd tinyproxy danted exim4)
if printf '%s\n' "${missing[@]}" | grep -qx openssh-server; then services+=(ssh); fi
for svc in "${services[@]}"; do
  $SUDO systemctl disable --now "$svc" >/dev/null 2>&1 || true
  $SUDO service "$svc" stop >/dev/null 2>&1 || true
done
