#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libcli11-dev lrzsz clang-format qt6-base-dev
  libcairo2-dev fonts-liberation poppler-utils nlohmann-json3-dev
  help2man dpkg-dev file)
# Extra packages named on the command line (the fuzz script asks for clang this way).
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
