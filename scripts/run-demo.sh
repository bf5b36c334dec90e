#!/usr/bin/env bash
# Builds the shipped 32-bit program and runs it under Wine against a local
# package server that serves stand-in installer packages. Where this machine's
# kernel runs no 32-bit programs, it runs through qemu-i386; where qemu cannot
# stand in either, the 64-bit build runs instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

bits=$(/usr/bin/python3 -m e2e.harness.loaders demo-bits)
cmake --preset "win$bits" >/dev/null
cmake --build --preset "win$bits" -j "$(nproc)"
exec /usr/bin/python3 -m e2e.demo "build/win$bits/MavikSetupWebCD.exe" "$@"
