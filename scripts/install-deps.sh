#!/usr/bin/env bash
# Installs, from Debian's packages, whatever building and testing need and is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ git python3
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine32 wine64 xvfb e2fsprogs
  osslsigncode openssl
)

sudo_if_needed() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
  if [ "$package" = wine32 ]; then
    dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
  else
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build and test packages are installed."
else
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  sudo_if_needed apt-get update -q
  # wine32 is needed on every machine. Where the kernel refuses 32-bit programs, a few i386 install
  # scripts print "Exec format error" and apt still ends with success; the files are all there,
  # and the tests run the 32-bit loader under qemu-i386.
  sudo_if_needed apt-get install -y -q "${missing[@]}"
fi

# On every machine, so that either route for 32-bit programs can run anywhere.
"$(dirname "$0")/install-qemu-user.sh"
