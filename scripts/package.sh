#!/usr/bin/env bash
# Puts the built DLL and the jar that carries it into dist/, and says what
# was built.
set -euo pipefail
win="$1"
dist="$2"
mkdir -p "$dist"
cp "$win/bin/Vantrel.dll" "$dist/Vantrel.dll"

classes="$win/java/classes"
mkdir -p "$classes/quendril/utils/win32-x86"
cp "$dist/Vantrel.dll" "$classes/quendril/utils/win32-x86/Vantrel.dll"
rm -f "$dist/vantrel.jar"
jar --create --file "$dist/vantrel.jar" -C "$classes" .

exports=$(i686-w64-mingw32-objdump -p "$dist/Vantrel.dll" | sed -n "/\[Ordinal\/Name Pointer\] Table/,/^$/p" | grep -c "Java_")
printf 'Built:\n'
printf '  %-20s %8d bytes  (%s exports)\n' "$dist/Vantrel.dll" "$(stat -c %s "$dist/Vantrel.dll")" "$exports"
printf '  %-20s %8d bytes\n' "$dist/vantrel.jar" "$(stat -c %s "$dist/vantrel.jar")"
