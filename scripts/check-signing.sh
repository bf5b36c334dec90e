#!/usr/bin/env bash
# Signs the program of a configured build folder through the build's own signing step, with a
# throwaway CA and code-signing certificate, and checks the signature with osslsigncode.
# Usage: check-signing.sh BUILD_FOLDER (reconfigured to sign; its objects are reused).
set -euo pipefail
folder=$1
exe=$folder/MavikSetupWebCD.exe
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
# Signatures made at a fixed time: the same key then signs the same bytes alike.
export SOURCE_DATE_EPOCH=1767225600

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=MavikSetupWebCD Throwaway CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
  -keyout "$keys/ca.key" -out "$keys/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=MavikSetupWebCD Throwaway Signer" \
  -keyout "$keys/signer.key" -out "$keys/signer.csr" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
  >"$keys/signer.ext"
openssl x509 -req -days 1 -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" \
  -CAcreateserial -extfile "$keys/signer.ext" -out "$keys/signer.pem" 2>/dev/null
printf 'Geçici parola' >"$keys/password"
openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.pem" -certfile "$keys/ca.pem" \
  -passout "file:$keys/password" -out "$keys/signer.p12"

failed=0
fail() { echo "FAIL: $*"; failed=1; }
# Prints what the command said when it fails.
quietly() { local output; output=$("$@" 2>&1) || { echo "$output"; return 1; }; }
build() { quietly cmake --build "$folder" --target MavikSetupWebCD -j2; }

# The unsigned exe first: the folder may have been signed by an earlier run.
quietly cmake "$folder" -DMAVIK_SIGN_PKCS12= -DMAVIK_SIGN_PASSWORD_FILE=
build
cp "$exe" "$keys/unsigned.exe"

configured=$(cmake "$folder" -DMAVIK_SIGN_PKCS12="$keys/signer.p12" -DMAVIK_SIGN_PASSWORD_FILE="$keys/password" 2>&1) \
  || { echo "$configured"; exit 1; }
grep -q 'MavikSetupWebCD.exe will be signed' <<<"$configured" || fail "configure does not say that it signs"
build

if verified=$(osslsigncode verify -CAfile "$keys/ca.pem" -in "$exe" 2>&1); then
  grep -q 'Subject: /CN=MavikSetupWebCD Throwaway Signer' <<<"$verified" || fail "signed by someone else: $verified"
else
  fail "the signature does not verify: $verified"
fi
osslsigncode verify -CAfile "$keys/ca.pem" -in "$keys/unsigned.exe" >/dev/null 2>&1 \
  && fail "the unsigned exe verifies too, so verifying proves nothing"

"$(dirname "$0")/sign-exe.sh" "$keys/unsigned.exe" "$keys/signer.p12" "$keys/password"
cmp -s "$keys/unsigned.exe" "$exe" || fail "signing the same exe again at SOURCE_DATE_EPOCH gives other bytes"

# A wrong password fails the build and leaves no exe to ship by mistake.
printf 'yanlış' >"$keys/password"
build >/dev/null && fail "the build succeeds with a wrong password"
[ -e "$exe" ] && fail "a failed signing leaves $exe behind"

[ "$failed" = 0 ] && echo "OK: the build signs $exe, and it verifies against the throwaway CA"
exit "$failed"
