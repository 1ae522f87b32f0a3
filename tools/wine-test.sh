#!/usr/bin/env bash
# The Windows build, proved without Windows: cross-builds the core, quaylink-cli.exe,
# quaylink-station.exe and the core's test programs with mingw-w64, runs the tests under
# wine, then checks the real serial path both ways:
#   - quaylink-cli.exe on COM5 against the Linux quaylink-station on a pseudo-terminal
#     (wine maps COM ports to devices through links in its dosdevices folder);
#   - quaylink-station.exe --device COM6 against the Linux quaylink-cli, over a pair of
#     pseudo-terminals joined by socat.
# The wine prefix is made afresh in a temporary folder, offline and without prompts, and
# removed at the end. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh g++-mingw-w64-x86-64-posix wine64 socat
jobs=$(nproc)

echo "=== cross-build for Windows (build-win)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# The Linux side of the serial checks.
if [ ! -x build/tools/station/quaylink-station ] || [ ! -x build/tools/cli/quaylink-cli ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j "$jobs" --target quaylink-station quaylink-cli
fi

work=$(mktemp -d /tmp/quaylink-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: nothing to download, no dialog asking to.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "=== wine prefix"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
[ -d "$WINEPREFIX/dosdevices" ] || { echo "wine-test: wineboot made no prefix"; exit 1; }

echo "=== core tests under wine"
passed=0 failed=0 skipped=0 broken=()
for exe in build-win/tests/*/*.exe; do
  log="$work/$(basename "$exe").log"
  status=0
  # The console's line ends are CR LF; with pipefail a failing program still counts.
  timeout 600 wine "$exe" --gtest_brief=1 2>&1 | tr -d '\r' >"$log" || status=$?
  count() { sed -n "s/^\[  $1 *\] \([0-9]*\) tests\{0,1\}[.,].*/\1/p" "$log" | tail -n 1; }
  p=$(count PASSED) f=$(count FAILED) s=$(count SKIPPED)
  passed=$((passed + ${p:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
  echo "$(basename "$exe"): ${p:-0} passed, ${f:-0} failed, ${s:-0} skipped (exit $status)"
  if [ "$status" -ne 0 ] || [ -z "$p" ]; then
    broken+=("$exe")
    grep -E '^\[  FAILED  \]|Failure|error' "$log" | head -n 20 || true
  fi
  # What skipped and why, so a skip is never silent.
  grep -A1 ': Skipped$' "$log" | grep -v -e ': Skipped$' -e '^--$' | sed 's/^/  skipped: /' || true
done

echo "=== quaylink-cli.exe on COM5, the Linux emulator on a pseudo-terminal"
state="$work/state"
build/tools/station/quaylink-station --type 2 --state "$state" >"$work/station.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/station.out" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/station.out")
[ -c "$device" ] || { echo "wine-test: the emulator gave no device ($device)"; exit 1; }
ln -sfn "$device" "$WINEPREFIX/dosdevices/com5"
cli_exe=(wine build-win/tools/cli/quaylink-cli.exe --port COM5)
serial_failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: expected '$2', got '$3'"; serial_failures=$((serial_failures + 1)); fi
}
check "info over COM5" "2 multi-gas station" "$("${cli_exe[@]}" info 2>/dev/null | tr -d '\r')"
out_win="Z:${work//\//\\}\\docking.cfg"
status=0
"${cli_exe[@]}" read docking --out "$out_win" >/dev/null 2>&1 || status=$?
check "read docking over COM5 exits 0" 0 "$status"
if cmp -s "$work/docking.cfg" "$state/Docking.cfg"; then echo "ok: the record read is the emulator's"; else
  echo "FAILED: the record read differs from the emulator's"; serial_failures=$((serial_failures + 1)); fi
status=0
"${cli_exe[@]}" write docking "$out_win" --verify >/dev/null 2>&1 || status=$?
check "write docking --verify over COM5 exits 0" 0 "$status"
status=0
wine build-win/tools/cli/quaylink-cli.exe --port COM9 info >/dev/null 2>&1 || status=$?
check "a port that is not there exits 2" 2 "$status"

# A line that goes away mid-upload (the emulator ends) is a lost line, not a hang.
head -c 3000000 /dev/urandom >"$work/bare.bin"
build/tools/cli/quaylink-cli firmware pack --family rvx --tag 2.01 "$work/bare.bin" "$work/RVX_FW.bin" >/dev/null
station_pid=${pids[0]}
# Ends the emulator once the file is under way (its staged copy is in the folder).
(for _ in $(seq 400); do
  if compgen -G "$state/firmware/.*.part" >/dev/null; then break; fi
  sleep 0.05
done
kill "$station_pid") &
status=0
started=$SECONDS
timeout 60 "${cli_exe[@]}" firmware upload --family rvx "Z:${work//\//\\}\\RVX_FW.bin" >"$work/upload.out" 2>&1 || status=$?
check "an upload whose line goes away exits 1" 1 "$status"
check "and says the connection was lost" yes "$(grep -c 'Connection lost' "$work/upload.out" >/dev/null && echo yes || echo no)"
check "within 20 s" yes "$([ $((SECONDS - started)) -le 20 ] && echo yes || echo no)"

echo "=== quaylink-station.exe on COM6, the Linux quaylink-cli on the other end"
socat -d -d "pty,raw,echo=0,link=$work/win-end" "pty,raw,echo=0,link=$work/linux-end" 2>"$work/socat.log" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/win-end" ] && [ -e "$work/linux-end" ] && break; sleep 0.1; done
ln -sfn "$(readlink -f "$work/win-end")" "$WINEPREFIX/dosdevices/com6"
wine build-win/tools/station/quaylink-station.exe --type 1 --device COM6 >"$work/station-win.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q COM6 "$work/station-win.out" 2>/dev/null && break; sleep 0.1; done
check "quaylink-station.exe serves COM6" "COM6" "$(head -n 1 "$work/station-win.out" | tr -d '\r')"
check "info from quaylink-station.exe" "1 single-gas station" \
  "$(build/tools/cli/quaylink-cli --port "$work/linux-end" info 2>/dev/null)"
status=0
build/tools/cli/quaylink-cli --port "$work/linux-end" read detector --out "$work/tkl.cfg" >/dev/null 2>&1 || status=$?
check "read detector from quaylink-station.exe exits 0" 0 "$status"
check "the detector record is a single-gas one" 112 "$(stat -c %s "$work/tkl.cfg" 2>/dev/null || echo none)"

echo "wine: $passed passed, $((failed + serial_failures)) failed, $skipped skipped"
if [ "${#broken[@]}" -gt 0 ] || [ "$failed" -gt 0 ] || [ "$serial_failures" -gt 0 ]; then
  [ "${#broken[@]}" -gt 0 ] && echo "wine-test: programs that did not pass: ${broken[*]}"
  exit 1
fi
