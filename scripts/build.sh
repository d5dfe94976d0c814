#!/usr/bin/env bash
# Configures and builds one build folder: build.sh <folder> [extra cmake arguments...]
set -euo pipefail
dir=$1; shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
