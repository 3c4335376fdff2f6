#!/usr/bin/env bash
# Puts the built DLLs, the jar that carries them, its sources and Javadoc
# jars and a pom.xml into DIST, and says what was built.
#   package.sh [BUILD [DIST]]      (defaults: build, dist)
# The version comes from the build trees (generated there from CMake's
# project version, the only place it is written). The jars are
# byte-identical when built again from the same sources: their entries are
# added in a fixed order and stamped with SOURCE_DATE_EPOCH if set, else the
# time of the last commit.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-build}")"
dist="$(realpath -m "${2:-dist}")"
cd "$root"

# Each DLL the jar carries: its build tree, its folder in dist/ (. for the
# top) and its folder in the jar beside the classes.
dlls=(
  "win32 . win32-x86"
  "win64 win32-x86-64 win32-x86-64"
  "arm64 win32-aarch64 win32-aarch64"
)

# The version every build tree was configured with; they must agree.
version_source=generated/java/quendril/utils/VantrelVersion.java
version=""
for entry in "${dlls[@]}"; do
  read -r tree _ <<<"$entry"
  seen=$(sed -n 's/.*String TEXT = "\([0-9.]*\)";.*/\1/p' "$build/$tree/$version_source")
  if [ -z "$seen" ] || { [ -n "$version" ] && [ "$seen" != "$version" ]; }; then
    echo "package.sh: $build/$tree was configured for version '$seen', another tree for '$version'" >&2
    exit 1
  fi
  version="$seen"
done
read -r first_tree _ <<<"${dlls[0]}"

epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}"
stamp=$(date -u -d "@${epoch:-946684800}" +%Y-%m-%dT%H:%M:%SZ)

staging="$build/jar"
classes="$staging/classes"
sources="$staging/sources"
rm -rf "$staging"
mkdir -p "$classes/META-INF" "$sources"

for entry in "${dlls[@]}"; do
  read -r tree folder jar_folder _ <<<"$entry"
  mkdir -p "$dist/$folder" "$dist/debug/$jar_folder" "$classes/quendril/utils/$jar_folder"
  cp "$build/$tree/bin/Vantrel.dll" "$dist/$folder/Vantrel.dll"
  cp "$build/$tree/bin/debug/Vantrel.dll" "$dist/debug/$jar_folder/Vantrel.dll"
  cp "$build/$tree/bin/Vantrel.dll" "$classes/quendril/utils/$jar_folder/Vantrel.dll"
done

# The sources as shipped: java/ with the generated version class, without
# the module descriptor, which is compiled apart.
cp -r java/. "$sources"
rm -rf "$sources/versions" "$sources/overview.html" "$sources/quendril/utils/VantrelVersion.java.in"
cp "$build/$first_tree/$version_source" "$sources/quendril/utils/"
mapfile -t java_sources < <(cd "$sources" && find . -name '*.java' | LC_ALL=C sort)
mkdir -p "$sources/META-INF/versions/9"
cp java/versions/9/module-info.java "$sources/META-INF/versions/9/"

# Every class for Java 8; the module descriptor alone for Java 9, against
# those classes, so that Java 8 never sees it.
(cd "$sources" && javac --release 8 -Xlint:all,-options -Werror -encoding UTF-8 -d "$classes" "${java_sources[@]}")
javac --release 9 -Xlint:all -Werror -encoding UTF-8 --module-version "$version" \
  --patch-module quendril.utils="$classes" -d "$staging/module" java/versions/9/module-info.java

# The licence and the notices go into every jar.
notices=(LICENSE NOTICE THIRD-PARTY-NOTICES)
for jar_tree in "$classes" "$sources" "$staging/javadoc"; do
  mkdir -p "$jar_tree/META-INF"
  cp "${notices[@]}" "$jar_tree/META-INF/"
done

cat >"$staging/pom.xml" <<EOF
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
  <url>https://github.com/quendril/vantrel</url>
  <licenses>
    <license>
      <name>Apache-2.0</name>
      <url>https://www.apache.org/licenses/LICENSE-2.0.txt</url>
      <distribution>repo</distribution>
    </license>
  </licenses>
  <organization>
    <name>Quendril</name>
    <url>https://github.com/quendril</url>
  </organization>
  <developers>
    <developer>
      <id>quendril</id>
      <name>Quendril</name>
      <organization>Quendril</organization>
      <organizationUrl>https://github.com/quendril</organizationUrl>
    </developer>
  </developers>
  <scm>
    <connection>scm:git:https://github.com/quendril/vantrel.git</connection>
    <developerConnection>scm:git:ssh://git@github.com/quendril/vantrel.git</developerConnection>
    <url>https://github.com/quendril/vantrel</url>
    <tag>v$version</tag>
  </scm>
</project>
EOF
# Maven's own place for them inside the jar.
mkdir -p "$classes/META-INF/maven/quendril/vantrel"
cp "$staging/pom.xml" "$classes/META-INF/maven/quendril/vantrel/pom.xml"
printf 'artifactId=vantrel\ngroupId=quendril\nversion=%s\n' "$version" >"$classes/META-INF/maven/quendril/vantrel/pom.properties"

# Quiet on Java 24 and later when run with -jar (Enable-Native-Access); a
# bundle for OSGi frameworks; its module descriptor in versions/9.
cat >"$staging/MANIFEST.MF" <<EOF
Implementation-Title: Vantrel
Implementation-Version: $version
Implementation-Vendor: Quendril
Multi-Release: true
Enable-Native-Access: ALL-UNNAMED
Bundle-ManifestVersion: 2
Bundle-SymbolicName: quendril.utils
Bundle-Version: $version
Bundle-Name: Vantrel
Bundle-Vendor: Quendril
Bundle-License: Apache-2.0
Export-Package: quendril.utils;version="$version"
Require-Capability: osgi.ee;filter:="(&(osgi.ee=JavaSE)(version>=1.8))"
EOF

# Creates jar $1 from the files under folder $2: only files, in byte order
# of their paths, all stamped alike. Further arguments are jar options, and
# after a "--" more files (such as "--release 9 -C folder file").
make_jar() {
  local jar="$1" from="$2" options=() files
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  mapfile -t files < <(cd "$from" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  rm -f "$jar"
  (cd "$from" && TZ=UTC jar --create --file "$jar" --date="$stamp" "${options[@]}" "${files[@]}" "$@")
}

make_jar "$dist/vantrel.jar" "$classes" --manifest "$staging/MANIFEST.MF" \
  --main-class quendril.utils.VantrelDiagnostics -- --release 9 -C "$staging/module" module-info.class
make_jar "$dist/vantrel-sources.jar" "$sources"

# The Javadoc of the public API, checked like the code: no warnings.
(cd "$sources" && javadoc --release 8 -Xdoclint:all -Werror -quiet -notimestamp -encoding UTF-8 -charset UTF-8 \
  -overview "$root/java/overview.html" -doctitle "Vantrel $version" -windowtitle "Vantrel $version" \
  -d "$staging/javadoc" "${java_sources[@]}") >/dev/null
make_jar "$dist/vantrel-javadoc.jar" "$staging/javadoc"
cp "$staging/pom.xml" "$dist/pom.xml"

show() {
  local file="$1" note="${2:-}"
  printf '  %-50s %7d bytes%s\n' "${file#"$root"/}" "$(stat -c %s "$file")" "${note:+  ($note)}"
}
printf 'Built (version %s):\n' "$version"
for entry in "${dlls[@]}"; do
  read -r _ folder _ <<<"$entry"
  dll="$dist/$folder/Vantrel.dll"
  show "${dll/\/.\//\/}" "$(llvm-readobj-14 --coff-exports "$dll" | grep -c "Name: Java_") exports"
done
for entry in "${dlls[@]}"; do
  read -r _ _ jar_folder _ <<<"$entry"
  show "$dist/debug/$jar_folder/Vantrel.dll" "unstripped, not in the jar"
done
show "$dist/vantrel.jar" "sha256 $(sha256sum "$dist/vantrel.jar" | cut -c1-16)"
show "$dist/vantrel-sources.jar"
show "$dist/vantrel-javadoc.jar"
show "$dist/pom.xml"
