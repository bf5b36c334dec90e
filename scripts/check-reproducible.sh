#!/usr/bin/env bash
# Builds the program of one bitness afresh in two folders and checks that the two
# unsigned exes are byte for byte the same, and that neither holds a folder name.
# Usage: check-reproducible.sh BITS FIRST_FOLDER SECOND_FOLDER [CONFIGURE OPTION...]
# (both folders are emptied first; the options, such as -DMAVIK_VERSION=..., go to both configures).
set -euo pipefail
bits=$1
folders=("$2" "$3")
options=("${@:4}")
source=$(cd "$(dirname "$0")/.." && pwd)
cd "$source"

for folder in "${folders[@]}"; do
  rm -rf "$folder"
  started=$SECONDS
  log=$(cmake --preset "win$bits" -B "$folder" "${options[@]}" 2>&1 \
        && cmake --build "$folder" --target MavikSetupWebCD -j2 2>&1) || { echo "$log"; exit 1; }
  echo "built $folder/MavikSetupWebCD.exe in $((SECONDS - started)) s"
done

first=${folders[0]}/MavikSetupWebCD.exe
second=${folders[1]}/MavikSetupWebCD.exe
failed=0
if ! cmp -s "$first" "$second"; then
  echo "FAIL: $first and $second differ in $(cmp -l "$first" "$second" | wc -l) bytes; first offsets (1-based, octal bytes):"
  cmp -l "$first" "$second" | head -5
  failed=1
fi
for folder in "$source" "${folders[@]}"; do
  if grep -qaF "$folder" "$first" "$second"; then
    echo "FAIL: the exe holds the folder name $folder"
    failed=1
  fi
done
[ "$failed" = 0 ] && echo "OK: $bits-bit builds in two folders are identical ($(stat -c %s "$first") bytes)"
exit "$failed"
