#!/usr/bin/env bash
# Checks a built MavikSetupWebCD.exe: a GUI program that imports only DLLs
# Windows ships as known DLLs, hardened, with its manifest and version info.
set -euo pipefail
exe=$1
bits=$2
objdump=$([ "$bits" = 64 ] && echo x86_64-w64-mingw32-objdump || echo i686-w64-mingw32-objdump)
headers=$("$objdump" -p "$exe")
failed=0
fail() { echo "FAIL: $*"; failed=1; }

allowed=" KERNEL32.dll USER32.dll GDI32.dll SHELL32.dll ADVAPI32.dll ole32.dll OLEAUT32.dll msvcrt.dll "
imports=$(grep -oP 'DLL Name: \K\S+' <<<"$headers" | sort -u)
echo "Imports:" $imports
for dll in $imports; do
  [[ "$allowed" == *" $dll "* ]] || fail "imports $dll, which is not a known DLL"
done

characteristics=$(grep -oP 'DllCharacteristics\s+\K[0-9a-fA-F]+' <<<"$headers")
flags=$((16#$characteristics))
(( flags & 0x0100 )) || fail "not NX compatible"
(( flags & 0x0040 )) || fail "no dynamic base"
if [ "$bits" = 64 ]; then (( flags & 0x0020 )) || fail "no high-entropy VA"; fi
grep -qP 'Subsystem\s+0+2\s' <<<"$headers" || fail "not a Windows GUI program"

grep -qa 'requireAdministrator' "$exe" || fail "manifest without requireAdministrator"
grep -qa 'Microsoft.Windows.Common-Controls' "$exe" || fail "manifest without common controls 6"
LC_ALL=C grep -qaP 'M\x00a\x00v\x00i\x00k\x00S\x00e\x00t\x00u\x00p\x00W\x00e\x00b\x00C\x00D\x00' "$exe" \
  || fail "no version information naming MavikSetupWebCD"
[ "$failed" = 0 ] && echo "OK: $exe"
exit "$failed"
