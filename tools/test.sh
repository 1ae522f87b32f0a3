#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the plain build,
# then the same suite under ThreadSanitizer and under AddressSanitizer + UBSan; then the
# Debian package, the Windows build under wine and the fuzz targets.
# QUAYLINK_PRESETS="default" limits the run to the listed builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
echo "=== source checks (formatting, layers)"
bash tools/check_source.sh
presets=${QUAYLINK_PRESETS:-"default tsan asan"}
jobs=$(nproc)
for preset in $presets; do
  echo "=== build and test: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
# The Debian package, built from the default build, installed, checked and removed again
# (QUAYLINK_PACKAGE=0 skips it).
if [ "${QUAYLINK_PACKAGE:-1}" != 0 ]; then
  echo "=== Debian package"
  bash tools/package.sh
fi
# The Windows build: cross-built with mingw-w64, its core tests and its serial path under
# wine (QUAYLINK_WINE=0 skips it).
if [ "${QUAYLINK_WINE:-1}" != 0 ]; then
  echo "=== Windows build under wine"
  bash tools/wine-test.sh
fi
# Every fuzz target briefly from its seed corpus (QUAYLINK_FUZZ_SECONDS=0 skips it).
fuzz_seconds=${QUAYLINK_FUZZ_SECONDS:-10}
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "=== fuzz targets, ${fuzz_seconds}s each"
  bash tools/fuzz.sh "$fuzz_seconds"
fi
