#!/usr/bin/env bash
# Puts the built DLLs, the jar that carries them, its sources and Javadoc
# jars and a pom.xml into DIST, and says what was built.
#   package.sh [BUILD [DIST]]      (defaults: build, dist)
# The jar is byte-identical when built again from the same sources: its
# entries are added in a fixed order and stamped with SOURCE_DATE_EPOCH if
# set, else the time of the last commit.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-build}")"
dist="$(realpath -m "${2:-dist}")"
cd "$root"

version=$(sed -n 's/.*String VERSION = "\([0-9.]*\)";.*/\1/p' java/quendril/utils/Vantrel.java)
cmake_version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ] || [ "$version" != "$cmake_version" ]; then
  echo "package.sh: Vantrel.VERSION ($version) differs from the CMake project version ($cmake_version)" >&2
  exit 1
fi
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}"
stamp=$(date -u -d "@${epoch:-946684800}" +%Y-%m-%dT%H:%M:%SZ)

mkdir -p "$dist/win32-x86-64" "$dist/win32-aarch64" "$dist/debug/win32-x86" "$dist/debug/win32-x86-64" \
  "$dist/debug/win32-aarch64"
cp "$build/win32/bin/Vantrel.dll" "$dist/Vantrel.dll"
cp "$build/win64/bin/Vantrel.dll" "$dist/win32-x86-64/Vantrel.dll"
cp "$build/win32/bin/debug/Vantrel.dll" "$dist/debug/win32-x86/Vantrel.dll"
cp "$build/win64/bin/debug/Vantrel.dll" "$dist/debug/win32-x86-64/Vantrel.dll"
cp "$build/arm64/bin/Vantrel.dll" "$dist/win32-aarch64/Vantrel.dll"
cp "$build/arm64/bin/debug/Vantrel.dll" "$dist/debug/win32-aarch64/Vantrel.dll"

# The classes, for Java 8 and later, beside the DLLs they load.
staging="$build/jar"
classes="$staging/classes"
rm -rf "$staging"
mkdir -p "$classes/quendril/utils/win32-x86" "$classes/quendril/utils/win32-x86-64" "$classes/quendril/utils/win32-aarch64"
mapfile -t sources < <(cd java && find . -name '*.java' | LC_ALL=C sort)
(cd java && javac --release 8 -Xlint:all,-options -Werror -encoding UTF-8 -d "$classes" "${sources[@]}")
cp "$dist/Vantrel.dll" "$classes/quendril/utils/win32-x86/Vantrel.dll"
cp "$dist/win32-x86-64/Vantrel.dll" "$classes/quendril/utils/win32-x86-64/Vantrel.dll"
cp "$dist/win32-aarch64/Vantrel.dll" "$classes/quendril/utils/win32-aarch64/Vantrel.dll"

cat >"$staging/MANIFEST.MF" <<EOF
Automatic-Module-Name: quendril.utils
Implementation-Title: Vantrel
Implementation-Version: $version
Implementation-Vendor: Quendril
Main-Class: quendril.utils.VantrelDiagnostics
EOF

# Creates jar $1 from the files under folder $2 (with a manifest $3 if
# given): only files, in byte order of their paths, all stamped alike.
make_jar() {
  local jar="$1" from="$2" manifest="${3:-}" files
  mapfile -t files < <(cd "$from" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  rm -f "$jar"
  (cd "$from" && TZ=UTC jar --create --file "$jar" --date="$stamp" ${manifest:+--manifest "$manifest"} "${files[@]}")
}

make_jar "$dist/vantrel.jar" "$classes" "$staging/MANIFEST.MF"
make_jar "$dist/vantrel-sources.jar" java

# The Javadoc of the public API, checked like the code: no warnings.
(cd java && javadoc --release 8 -Xdoclint:all -Werror -quiet -notimestamp -encoding UTF-8 -charset UTF-8 \
  -doctitle "Vantrel $version" -windowtitle "Vantrel $version" -d "$staging/javadoc" "${sources[@]}") >/dev/null
make_jar "$dist/vantrel-javadoc.jar" "$staging/javadoc"

cat >"$dist/pom.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<project xmlns="http://maven.apache.org/POM/4.0.0"
         xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
         xsi:schemaLocation="http://maven.apache.org/POM/4.0.0 https://maven.apache.org/xsd/maven-4.0.0.xsd">
  <modelVersion>4.0.0</modelVersion>
  <groupId>quendril</groupId>
  <artifactId>vantrel</artifactId>
  <version>$version</version>
  <packaging>jar</packaging>
  <name>Vantrel</name>
  <description>Windows services the JDK lacks (console keys, drives and volumes, the working directory, top-level windows and their system menus, file and folder dialogs, special folders, the network adapter address) for 32-bit and 64-bit x86 and 64-bit ARM Windows JVMs, Java 8 and later; the jar carries its DLLs.</description>
  <organization>
    <name>Quendril</name>
  </organization>
  <properties>
    <maven.compiler.release>8</maven.compiler.release>
  </properties>
</project>
EOF

exports() {
  llvm-readobj-14 --coff-exports "$1" | grep -c "Name: Java_"
}
show() {
  local file="$1" note="${2:-}"
  printf '  %-50s %7d bytes%s\n' "${file#"$root"/}" "$(stat -c %s "$file")" "${note:+  ($note)}"
}
printf 'Built (version %s):\n' "$version"
for dll in Vantrel.dll win32-x86-64/Vantrel.dll win32-aarch64/Vantrel.dll; do
  show "$dist/$dll" "$(exports "$dist/$dll") exports"
done
for dll in win32-x86 win32-x86-64 win32-aarch64; do
  show "$dist/debug/$dll/Vantrel.dll" "unstripped, not in the jar"
done
show "$dist/vantrel.jar" "sha256 $(sha256sum "$dist/vantrel.jar" | cut -c1-16)"
show "$dist/vantrel-sources.jar"
show "$dist/vantrel-javadoc.jar"
show "$dist/pom.xml"
