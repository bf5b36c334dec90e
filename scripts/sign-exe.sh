#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (SHA-256) through osslsigncode.
# Usage: sign-exe.sh EXE PKCS12 PASSWORD_FILE [TIMESTAMP_URL]
# With SOURCE_DATE_EPOCH set, that is the signing time, so the same key signs the same bytes alike.
# A failed signing removes the exe, so that an unsigned one cannot be shipped by mistake.
set -euo pipefail
exe=$1
pkcs12=$2
password_file=$3
timestamp_url=${4:-}

options=(-pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n MavikWebSetup)
[ -n "$timestamp_url" ] && options+=(-ts "$timestamp_url")
[ -n "${SOURCE_DATE_EPOCH:-}" ] && options+=(-time "$SOURCE_DATE_EPOCH")

signed=$exe.signed
if ! output=$(osslsigncode sign "${options[@]}" -in "$exe" -out "$signed" 2>&1); then
  echo "$output"
  echo "Signing $exe failed: it has been removed."
  rm -f "$exe" "$signed"
  exit 1
fi
mv -f "$signed" "$exe"
