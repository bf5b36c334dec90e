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
# Where 32-bit programs run natively, the route through qemu that other machines take runs too,
# on a few tests, so that it cannot break unseen. The whole suite's summary comes last.
if [ "$(/usr/bin/python3 -m e2e.harness.loaders route)" = native ]; then
  MAVIK_E2E_32BIT=qemu ctest --preset native -R '^e2e\.(startup\.32|wine_routes)$' || qemu_route=failed
fi
ctest --preset native || status=$?
if [ "${qemu_route:-passed}" = failed ]; then
  echo "The 32-bit tests through qemu failed (see above), although the whole suite passed natively." >&2
  status=1
fi
exit "$status"
