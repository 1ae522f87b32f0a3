#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool. When no CP210x station is plugged
# in, a station emulator is started on a pseudo-terminal and the tool talks to it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
echo "Built. The window and the command-line front end arrive with the engine; the link layer is in build/."
