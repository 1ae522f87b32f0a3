#!/usr/bin/env bash
# Source checks CI runs before building: formatting with the committed .clang-format, and
# the layer rule (each folder includes only its own layer and those below it). The build
# enforces the layers too, through per-layer include roots; this also covers headers that
# no translation unit includes yet.
set -euo pipefail
cd "$(dirname "$0")/.."

git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

# folder: the top-level folders its files may include with "folder/…"
declare -A allowed=(
  [link]="link"
  [io]="io"
  [rules]="rules"
  [records]="records rules io link"
  [protocol]="protocol records rules io link"
  [engine]="engine protocol records rules io link"
  [report]="report records rules io link"
  [tools]="tools engine report protocol records rules io link"
  [usbdisk]="usbdisk engine report protocol records rules io link"
  [pages]="pages usbdisk engine report protocol records rules io link"
  [app]="app pages usbdisk engine report protocol records rules io link"
)
# The window's layers; every other folder is below the window and includes no Qt header.
window="pages usbdisk app"
status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include *"([^/"]+)\/.*/\1/' <<<"$line")
    if ! grep -qw -- "$target" <<<"${allowed[$folder]}"; then
      echo "layer rule: $line (${folder}/ may include only: ${allowed[$folder]})" >&2
      status=1
    fi
  done < <(grep -rnE '#include *"[^/"]+/' --include='*.h' --include='*.cpp' "$folder" || true)
  grep -qw -- "$folder" <<<"$window" && continue
  if grep -rnE '#include *<Q' --include='*.h' --include='*.cpp' "$folder"; then
    echo "layer rule: ${folder}/ is below the window and includes no Qt header" >&2
    status=1
  fi
done
exit $status
