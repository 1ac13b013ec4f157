#!/usr/bin/env bash
# Fails when an .exe or .dll of the build imports a DLL outside the set every Windows ships with.
set -u
objdump=$1 dir=$2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|wininet|ws2_32|wsock32|iphlpapi|gdiplus|winmm|msacm32|msvcrt|shlwapi|version|imagehlp|dbghelp|uxtheme|msimg32|rpcrt4|urlmon|crypt32|secur32|userenv|psapi)\.dll$'
status=0 count=0
while IFS= read -r -d '' f; do
  count=$((count + 1))
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    if ! printf '%s' "$lower" | grep -Eq "$allowed"; then
      echo "$f imports $dll"
      status=1
    fi
  done < <("$objdump" -p "$f" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$dir" \( -name wineprefix -prune \) -o \( -name '*.exe' -o -name '*.dll' \) -type f -print0)
[ $count -gt 0 ] || { echo "no executables found in $dir"; exit 1; }
echo "$count executables checked"
exit $status
