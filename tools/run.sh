#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool against the station: the first
# CP210x station plugged in, or else a station emulator (with sample data) started on a
# pseudo-terminal, which the window lists among its ports.
#
#   bash tools/run.sh                      the window (quaylink); press OPEN
#   bash tools/run.sh read docking --out docking.cfg
#                                          any quaylink-cli command, on the station's port
#
# Without a display (no DISPLAY or WAYLAND_DISPLAY) it says so and shows a command-line
# tour instead; `xvfb-run -a bash tools/run.sh` gives the window a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
# The traffic monitor's buttons carry Hangul captions: a font that has them.
bash tools/deps.sh fonts-nanum
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" >/dev/null

cli=build/tools/cli/quaylink-cli
station=build/tools/station/quaylink-station
window=build/app/quaylink

port=$("$cli" ports | awk -F'\t' '$1 ~ /^ttyUSB/ {print $2; exit}')
emulator_pid=""
if [ -z "$port" ]; then
  state=$(mktemp -d)
  fifo="$state/out"
  mkfifo "$fifo"
  "$station" --type 2 --state "$state/station" >"$fifo" &
  emulator_pid=$!
  exec 3<"$fifo"
  read -r port <&3
  trap 'kill "$emulator_pid" 2>/dev/null; wait "$emulator_pid" 2>/dev/null; rm -rf "$state"' EXIT
  echo "No station plugged in: a station emulator serves $port (state in $state/station)."
fi

if [ $# -gt 0 ]; then
  "$cli" --port "$port" "$@"
elif [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the window: choose the station's port and press OPEN."
  "$window"
else
  echo "No display here, so no window. For one, run: xvfb-run -a bash tools/run.sh"
  echo "(xvfb-run comes with Debian's xvfb package), or run this on a desktop."
  echo "Meanwhile, the same station through the command-line tool:"
  "$cli" --port "$port" info
  echo "Log files on the station:"
  "$cli" --port "$port" logs list
  echo "More: bash tools/run.sh read docking --out docking.cfg | write docking FILE | logs get --dir DIR NAME... | firmware upload --family docking|tkl|rvx FILE"
fi
