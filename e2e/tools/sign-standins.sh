#!/usr/bin/env bash
# Makes the signed stand-ins of the signer-pin tests and the pins of the program that takes them:
#   sign-standins.sh STANDIN FOLDER CMAKE
# Two throwaway authorities: one that the tests put into the prefix's machine root store, one that
# they put into the user's only. FOLDER gets their certificates (*.der), the stand-in signed by the
# pinned vendor, by another vendor of the same authority, by an impostor under the vendor's name
# from the user's authority, and the vendor's signed stand-in with one byte changed (standins/),
# the signer list (packages.signers) and the program's pins (include/app/PackagePins.h). Two more
# are signed by the vendor with certificates that name a revocation list on the package server
# (revocation_list_url below): one revoked there (revoked.exe), one not (checked.exe); the list is
# signing.crl.
set -euo pipefail
standin=$1
folder=$2
cmake=$3
here=$(dirname "$0")
keys=$folder/keys
rm -rf "$folder/keys" "$folder/standins"
mkdir -p "$keys" "$folder/standins"

quietly() { local output; output=$("$@" 2>&1) || { echo "$output"; return 1; }; }
authority() {  # name, common name
  quietly openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=$2" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$keys/$1.key" -out "$keys/$1.pem"
  openssl x509 -in "$keys/$1.pem" -outform DER -out "$folder/$1.der"
}
signed_standin() {  # file name, signer's common name, authority[, revocation list URL]
  quietly openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$keys/$1.key" -out "$keys/$1.csr"
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$keys/code.ext"
  [ -n "${4:-}" ] && echo "crlDistributionPoints=URI:$4" >>"$keys/code.ext"
  quietly openssl x509 -req -days 3650 -in "$keys/$1.csr" -CA "$keys/$3.pem" -CAkey "$keys/$3.key" \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$keys/code.ext" -out "$keys/$1.pem"
  cat "$keys/$1.pem" "$keys/$3.pem" >"$keys/$1.chain.pem"
  quietly osslsigncode sign -certs "$keys/$1.chain.pem" -key "$keys/$1.key" -h sha256 \
    -in "$standin" -out "$folder/standins/$1.exe"
}

authority machine-ca "MavikSetupWebCD signing test authority"
authority user-ca "MavikSetupWebCD user-only test authority"
signed_standin vendor "QorMavik Test Vendor" machine-ca
signed_standin other-signer "Another Test Vendor" machine-ca
signed_standin impostor "QorMavik Test Vendor" user-ca
revocation_list_url=http://paketler.qormavik.test/qormavik/websetup/signing.crl
signed_standin revoked "QorMavik Test Vendor" machine-ca "$revocation_list_url"
signed_standin checked "QorMavik Test Vendor" machine-ca "$revocation_list_url"
# The authority's list, revoking the one certificate.
printf '[ca]\ndefault_ca=test\n[test]\ndatabase=%s\ndefault_md=sha256\ndefault_crl_days=3650\n' "$keys/index.txt" >"$keys/ca.cnf"
: >"$keys/index.txt"
quietly openssl ca -config "$keys/ca.cnf" -keyfile "$keys/machine-ca.key" -cert "$keys/machine-ca.pem" \
  -revoke "$keys/revoked.pem"
quietly openssl ca -config "$keys/ca.cnf" -keyfile "$keys/machine-ca.key" -cert "$keys/machine-ca.pem" \
  -gencrl -out "$keys/signing.crl.pem"
openssl crl -in "$keys/signing.crl.pem" -outform DER -out "$folder/signing.crl"
# One byte of the code changed, the signature left as it was.
cp "$folder/standins/vendor.exe" "$folder/standins/tampered.exe"
printf '\xff' | dd of="$folder/standins/tampered.exe" bs=1 seek=1100 conv=notrunc status=none

thumbprint=$(sha256sum <"$folder/machine-ca.der" | cut -d' ' -f1)
for name in NDP472-KB4054530-x86-x64-AllOS-ENU.exe PDFCreator.exe QorMavik32.exe QorMavik64.exe; do
  echo "$thumbprint  $name  QorMavik Test Vendor"
done >"$folder/packages.signers"
"$cmake" -D "signers=$folder/packages.signers" -D "header=$folder/include/app/PackagePins.h" \
  -P "$here/PinSigners.cmake" >/dev/null
