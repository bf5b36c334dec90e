#!/usr/bin/env bash
# The download benchmark under Wine. Installs what it needs, builds the tools (and the program),
# then measures the given program, by default the 64-bit and then the 32-bit build of this tree:
#   bench/run.sh [path/to/MavikSetupWebCD.exe] [--size MiB] [--rounds N] [--startup-rounds N] [--flat-sizes 16,256]
# The 32-bit exe is not measured where it runs only under qemu-i386: that says so and counts as a skip.
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

# The tools are built with the preset of the measured program's bitness. Without a program, both
# builds of this tree are measured, the 64-bit one and then the shipped 32-bit one.
if [ $# -gt 0 ] && [ -f "$1" ]; then
  bits=$(/usr/bin/python3 -c 'import sys; from e2e.harness.builds import bits_of; print(bits_of(sys.argv[1]))' "$1")
  measured=("win$bits:$1")
  shift
else
  measured=(win64:build/win64/MavikSetupWebCD.exe win32:build/win32/MavikSetupWebCD.exe)
fi
failed=0
for entry in "${measured[@]}"; do
  preset=${entry%%:*}
  program=${entry#*:}
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  status=0
  /usr/bin/python3 -m bench.benchmark "$program" "$@" || status=$?
  # 77: measured nothing on purpose (the 32-bit exe under qemu), and said why.
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then failed=1; fi
done
exit "$failed"
