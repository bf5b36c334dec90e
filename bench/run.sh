#!/usr/bin/env bash
# The download benchmark under Wine. Installs what it needs, builds the tools (and the 64-bit
# program), then measures the given program, by default the 64-bit build of this tree:
#   bench/run.sh [path/to/MavikSetupWebCD.exe] [--size MiB] [--rounds N] [--startup-rounds N] [--flat-sizes 16,256]
# Prints a Markdown table; progress goes to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# The benchmark's own server and client; the tests do not need them.
missing=()
for package in nginx curl; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  run_as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  export DEBIAN_FRONTEND=noninteractive
  run_as_root apt-get update -q
  run_as_root apt-get install -y -q "${missing[@]}"
fi

# The tools are built with the preset of the measured program's bitness.
presets=(win64)
if [ $# -gt 0 ] && [ -f "$1" ]; then
  bits=$(/usr/bin/python3 -c 'import sys; from e2e.harness.builds import bits_of; print(bits_of(sys.argv[1]))' "$1")
  presets=("win$bits")
fi
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
done
exec /usr/bin/python3 -m bench.benchmark "$@"
