#!/bin/bash
# Asks a package server, before a release goes out, for every package of setup/Packages.h the way the
# program will, and says per package whether the program can fetch it:
#   scripts/check-server.sh URL [--digests LIST] [--signers LIST] [--proxy HOST:PORT] [--ca PEM]
# URL is the root URL compiled in (MAVIK_BASE_URL); the packages lie under URL/qormavik/websetup/.
# For each package: a HEAD and a GET answered 200 with a Content-Length under 2 GiB, exactly that many
# bytes in the body, a strong ETag or a Last-Modified, and a Range request from the middle answered
# 206 with the right Content-Range and the same bytes; with the build's pin lists, the SHA-256 and
# size against the digest list, and the signature's signer name under the pinned authority.
# Exit code 0 only when every package is fit; 1 when one is not; 2 for a wrong call.
set -euo pipefail
exec python3 "$(dirname "$0")/check_server.py" "$@"
