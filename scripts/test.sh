#!/usr/bin/env bash
# Builds both Windows programs and the native tests, then runs every test:
# unit tests (ASan + UBSan) and end-to-end tests under Wine. Ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
/usr/bin/python3 -m e2e.harness.loaders
ctest --preset native
