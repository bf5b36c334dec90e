#!/usr/bin/env bash
# Builds both Windows programs and the native tests, then runs every test: the unit tests under
# ThreadSanitizer, then unit tests (ASan + UBSan) and end-to-end tests under Wine. Ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
for preset in native tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
/usr/bin/python3 -m e2e.harness.loaders
status=0
ctest --preset tsan || status=$?
ctest --preset native || status=$?
exit "$status"
