#!/usr/bin/env bash
# Puts the built DLLs and the jar that carries them into dist/, and says what
# was built.
#   package.sh BUILD DIST
set -euo pipefail
build="$1"
dist="$2"
mkdir -p "$dist/win32-x86-64" "$dist/debug/win32-x86" "$dist/debug/win32-x86-64"
cp "$build/win32/bin/Vantrel.dll" "$dist/Vantrel.dll"
cp "$build/win64/bin/Vantrel.dll" "$dist/win32-x86-64/Vantrel.dll"
cp "$build/win32/bin/debug/Vantrel.dll" "$dist/debug/win32-x86/Vantrel.dll"
cp "$build/win64/bin/debug/Vantrel.dll" "$dist/debug/win32-x86-64/Vantrel.dll"

classes="$build/win32/java/classes"
mkdir -p "$classes/quendril/utils/win32-x86" "$classes/quendril/utils/win32-x86-64"
cp "$dist/Vantrel.dll" "$classes/quendril/utils/win32-x86/Vantrel.dll"
cp "$dist/win32-x86-64/Vantrel.dll" "$classes/quendril/utils/win32-x86-64/Vantrel.dll"
rm -f "$dist/vantrel.jar"
jar --create --file "$dist/vantrel.jar" -C "$classes" .

exports() {
  "$1-w64-mingw32-objdump" -p "$2" | sed -n "/\[Ordinal\/Name Pointer\] Table/,/^$/p" | grep -c "Java_"
}
printf 'Built:\n'
printf '  %-32s %8d bytes  (%s exports)\n' "$dist/Vantrel.dll" "$(stat -c %s "$dist/Vantrel.dll")" \
  "$(exports i686 "$dist/Vantrel.dll")"
printf '  %-32s %8d bytes  (%s exports)\n' "$dist/win32-x86-64/Vantrel.dll" \
  "$(stat -c %s "$dist/win32-x86-64/Vantrel.dll")" "$(exports x86_64 "$dist/win32-x86-64/Vantrel.dll")"
printf '  %-32s %8d bytes\n' "$dist/vantrel.jar" "$(stat -c %s "$dist/vantrel.jar")"
