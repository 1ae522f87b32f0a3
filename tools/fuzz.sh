#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and UBSan) and runs each for
# SECONDS seconds, starting from its seed corpus in fuzz/corpus/<target>/.
#   bash tools/fuzz.sh SECONDS [TARGET...]
# New inputs go to build-fuzz/corpus/<target>/, findings to build-fuzz/findings/. A finding
# ends the run with a non-zero exit; add the input to fuzz/corpus/<target>/ with the fix.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: tools/fuzz.sh SECONDS [TARGET...]}
shift
bash tools/deps.sh clang libclang-rt-dev
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -nE 's/^quaylink_add_fuzzer\(([a-z_]+) .*/\1/p' fuzz/CMakeLists.txt)
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  echo "=== fuzz: $target for ${seconds}s"
  mkdir -p "build-fuzz/corpus/$target"
  "build-fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=0 \
    -artifact_prefix="build-fuzz/findings/$target-" \
    "build-fuzz/corpus/$target" "fuzz/corpus/$target"
done
