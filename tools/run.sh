#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool against the station: the first
# CP210x station plugged in, or else a station emulator started on a pseudo-terminal.
#
#   bash tools/run.sh                      identify the station and list its log files
#   bash tools/run.sh read docking --out docking.cfg
#                                          any quaylink-cli command, on the station's port
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" >/dev/null

cli=build/tools/cli/quaylink-cli
station=build/tools/station/quaylink-station

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
else
  "$cli" --port "$port" info
  echo "Log files on the station:"
  "$cli" --port "$port" logs list
  echo "More: bash tools/run.sh read docking --out docking.cfg | write docking FILE | logs get --dir DIR NAME... | firmware upload --family docking FILE"
fi
