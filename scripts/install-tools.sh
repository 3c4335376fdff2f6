#!/usr/bin/env bash
# Installs, from Debian's archive only, whatever the build and the tests need
# and this machine lacks. Safe to run again: it does nothing when all is there.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have_cmd i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have_cmd cmake || need+=(cmake)
have_cmd make || need+=(make)
have_cmd g++ || need+=(g++)
have_cmd javac || need+=(openjdk-17-jdk-headless)
have_cmd jar || need+=(openjdk-17-jdk-headless)
have_cmd clang-14 || need+=(clang-14)
have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)
# The ARM64 DLL: clang's linker, and llvm's dlltool and windres.
have_cmd ld.lld-14 || need+=(lld-14)
have_cmd llvm-dlltool-14 || need+=(llvm-14)
have_cmd llvm-windres-14 || need+=(llvm-14)
# Its test: an arm64 Debian tree with Wine, run by qemu.
have_cmd mmdebstrap || need+=(mmdebstrap)
have_cmd qemu-aarch64-static || need+=(qemu-user-static)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
have_pkg libbenchmark-dev || need+=(libbenchmark-dev)
have_cmd xvfb-run || need+=(xvfb)
have_cmd as || need+=(binutils)
have_cmd xauth || need+=(xauth)
have_cmd python3 || need+=(python3)
have_cmd wine || need+=(wine)
have_pkg wine32:i386 || need+=(wine32:i386)
have_pkg wine64 || need+=(wine64)
[ -f /usr/share/java/junit-platform-console-standalone.jar ] || need+=(junit5)
[ -f /usr/share/java/eclipse-osgi.jar ] || need+=(libeclipse-osgi-java)
# No JDK of 24 or later: Debian 12 has none, and Debian 13's openjdk-25
# needs its newer C library, which would replace the system's. The test of
# a quiet start on Java 24+ uses one where installed and is skipped elsewhere.

# Where the kernel runs no 32-bit code (or VANTREL_EMULATE_I386=1), the
# 32-bit Wine suite runs under qemu-i386, fetched once from Debian's archive
# (scripts/i386.sh). Without it that stage is skipped and says why.
emulation() {
  if [ "$("$here/i386.sh" mode)" = emulated ] && ! "$here/i386.sh" qemu >/dev/null; then
    echo "qemu-i386 could not be fetched: the 32-bit Wine suite will be skipped"
  fi
}
here="$(cd "$(dirname "$0")" && pwd)"

if [ ${#need[@]} -eq 0 ]; then
  emulation
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing from Debian: ${need[*]}"
if printf '%s\n' "${need[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# An index that fails to download (a mirror in the middle of a sync) leaves
# the others usable, so go on with what was fetched.
$sudo apt-get update -qq || echo "apt-get update reported errors; going on with the indexes it has"
if ! $sudo apt-get install -y -qq "${need[@]}" >/dev/null; then
  # Without the security suite's i386 index, its amd64 updates cannot be
  # matched by i386 packages of the same version (multiarch needs both
  # equal): take every package from the release suite instead.
  echo "Retrying with the release suite's versions"
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  $sudo apt-get install -y -qq -t "$release" "${need[@]}" >/dev/null
fi
emulation
