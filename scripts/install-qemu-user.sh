#!/usr/bin/env bash
# Installs qemu-user 10 from the backports suite of the Debian mirror this machine already uses.
# The end-to-end tests run the 32-bit Wine loader under its qemu-i386 where the kernel refuses
# 32-bit programs (or when a run asks for that route); bookworm's own qemu 7.2 cannot start it.
# Only qemu-user comes from backports: a pin of its own keeps every other package where it was.
set -euo pipefail

wanted_major=10
list=/etc/apt/sources.list.d/mavik-backports.sources
pin=/etc/apt/preferences.d/mavik-qemu-user

sudo_if_needed() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed_major() {
  dpkg-query -W -f '${Version}' qemu-user 2>/dev/null | sed -E 's/^[0-9]+://; s/[.].*//'
}

if [ "$(installed_major)" = "$wanted_major" ] && [ -x /usr/bin/qemu-i386 ]; then
  echo "qemu-user $wanted_major is installed."
  exit 0
fi

. /etc/os-release
suite="$VERSION_CODENAME-backports"
# The mirror that the machine's own sources name for its release, whatever host that is.
mirror=$(apt-get indextargets --format '$(REPO_URI)' "Release: $VERSION_CODENAME" "Target-Of: deb" | head -n 1)
if [ -z "$mirror" ]; then
  echo "No apt source names the $VERSION_CODENAME suite; cannot add $suite for qemu-user." >&2
  exit 1
fi

echo "Installing qemu-user $wanted_major from $suite on $mirror"
sudo_if_needed tee "$list" >/dev/null <<EOF
Types: deb
URIs: $mirror
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
sudo_if_needed tee "$pin" >/dev/null <<EOF
Package: qemu-user
Pin: release n=$suite
Pin-Priority: 990
EOF
export DEBIAN_FRONTEND=noninteractive
sudo_if_needed apt-get update -q
# Without recommends: no binfmt registration, the harness starts qemu-i386 itself.
sudo_if_needed apt-get install -y -q --no-install-recommends qemu-user

if [ "$(installed_major)" != "$wanted_major" ]; then
  echo "apt installed qemu-user $(dpkg-query -W -f '${Version}' qemu-user), not $wanted_major" >&2
  exit 1
fi
