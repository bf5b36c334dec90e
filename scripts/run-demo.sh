#!/usr/bin/env bash
# Builds the shipped 32-bit program and runs it under Wine against a local
# package server that serves stand-in installer packages.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
exec /usr/bin/python3 -m e2e.demo build/win32/MavikSetupWebCD.exe "$@"
