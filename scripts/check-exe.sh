#!/usr/bin/env bash
# Checks a built MavikSetupWebCD.exe: a GUI program that binds only kernel32 and the C runtime
# while it starts (every other DLL is bound later, from the system folder), whose calls through
# pointer slots all go where the loader or the image put them, whose load
# configuration keeps the dependencies of those two in the system folder too, hardened, with its
# manifest and version info (of the version given as third argument), and the shipped 32-bit one
# within its size.
set -euo pipefail
exe=$1
bits=$2
expected_version=${3:-}
objdump=$([ "$bits" = 64 ] && echo x86_64-w64-mingw32-objdump || echo i686-w64-mingw32-objdump)
headers=$("$objdump" -p "$exe")
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# msvcrt.dll is a known DLL: Windows maps it from the system folder, never from beside the program.
allowed=" KERNEL32.dll msvcrt.dll "
imports=$(grep -oP 'DLL Name: \K\S+' <<<"$headers" | sort -u)
echo "Imports:" $imports
for dll in $imports; do
  [[ "$allowed" == *" $dll "* ]] || fail "imports $dll while it starts; only kernel32 and msvcrt may be"
done

# A slot that neither the loader binds nor the image fills is a call to what lies on disk, 0 for a
# late-bound function whose stub the linker dropped.
python3 "$(dirname "$0")/check-call-slots.py" "$exe" "$objdump" || fail "calls through slots that nothing fills"

# DependentLoadFlags of the load configuration: LOAD_LIBRARY_SEARCH_SYSTEM32.
read -r config_rva config_size < <(grep -oP 'Entry a \K[0-9a-fA-F]+ [0-9a-fA-F]+(?= Load Configuration Directory)' <<<"$headers" || true)
image_base=$((16#$(grep -oP 'ImageBase\s+\K[0-9a-fA-F]+' <<<"$headers")))
flags_offset=$([ "$bits" = 64 ] && echo $((0x4E)) || echo $((0x36)))
if [ -z "${config_rva:-}" ] || (( 16#$config_rva == 0 || 16#$config_size < flags_offset + 2 )); then
  fail "no load configuration that reaches DependentLoadFlags"
else
  at=$((image_base + 16#$config_rva + flags_offset))
  bytes=$("$objdump" -s --start-address=$at --stop-address=$((at + 2)) "$exe" | grep -oP '^ [0-9a-f]+ \K[0-9a-f]{4}')
  dependent_load_flags=$((16#${bytes:2:2}${bytes:0:2}))
  printf 'DependentLoadFlags: 0x%x\n' "$dependent_load_flags"
  (( dependent_load_flags == 0x800 )) || fail "DependentLoadFlags is not LOAD_LIBRARY_SEARCH_SYSTEM32"
fi

characteristics=$(grep -oP 'DllCharacteristics\s+\K[0-9a-fA-F]+' <<<"$headers")
flags=$((16#$characteristics))
(( flags & 0x0100 )) || fail "not NX compatible"
(( flags & 0x0040 )) || fail "no dynamic base"
if [ "$bits" = 64 ]; then (( flags & 0x0020 )) || fail "no high-entropy VA"; fi
grep -qP 'Subsystem\s+0+2\s' <<<"$headers" || fail "not a Windows GUI program"

grep -qa 'requireAdministrator' "$exe" || fail "manifest without requireAdministrator"
grep -qa 'Microsoft.Windows.Common-Controls' "$exe" || fail "manifest without common controls 6"
# The version information, read back: one version throughout (the one configured, when given), and
# the texts a vendor sets.
if version_info=$(python3 "$(dirname "$0")/exe-version.py" "$exe"); then
  echo "$version_info"
  field() { sed -n "s/^$1: //p" <<<"$version_info"; }
  [ "$(field ProductName)" = MavikSetupWebCD ] || fail "version information does not name MavikSetupWebCD"
  file_version=$(field FILEVERSION)
  for name in PRODUCTVERSION FileVersion ProductVersion; do
    [ "$(field "$name")" = "$file_version" ] || fail "$name differs from FILEVERSION $file_version"
  done
  if [ -n "$expected_version" ]; then
    [ "$file_version" = "$expected_version" ] || fail "version $file_version, configured $expected_version"
  fi
  for name in CompanyName FileDescription LegalCopyright; do
    [ -n "$(field "$name")" ] || fail "no $name in the version information"
  done
else
  fail "no readable version information"
fi
# The shipped 32-bit exe is one download for every user: it stays within 600 KB.
size=$(stat -c %s "$exe")
echo "Size: $size bytes"
if [ "$bits" = 32 ]; then (( size <= 600 * 1024 )) || fail "the 32-bit exe is $size bytes, over 600 KB"; fi
[ "$failed" = 0 ] && echo "OK: $exe"
exit "$failed"
