#!/usr/bin/env bash
# The ARM64 stage: runs the transcript driver (tests/binding/transcript_driver.c)
# with the ARM64 DLL under arm64 Wine 10, emulated by qemu, and with the
# x86-64 DLL under the machine's own 64-bit Wine, and requires the two
# transcripts to be equal.
#   arm64-wine.sh BUILD JOBS
# Exits with 0 when they are equal, 1 when they differ or a run failed, and
# 77 when this machine cannot run the stage (the reason is printed).
#
# Debian's arm64 Wine 8 (bookworm) cannot run ARM64 Windows programs; the
# arm64 Wine 10 of trixie can, in an arm64 Debian tree of its own, entered
# with chroot and run through qemu's binfmt handler. The tree is made once
# and kept in BUILD/arm64-wine.
set -uo pipefail
build="$1"; jobs="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
work="$root/$build/arm64-wine"
tree="$work/tree"

skip() {
  echo "SKIPPED: $*"
  exit 77
}

[ "$(id -u)" -eq 0 ] || skip "entering the arm64 tree needs root (chroot, mounts, binfmt registration)"
command -v qemu-aarch64-static >/dev/null && command -v mmdebstrap >/dev/null ||
  skip "qemu-user-static or mmdebstrap is missing (make tools installs them)"
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip "binfmt_misc cannot be mounted here"
fi
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  # The F flag opens qemu now, so that it runs inside the chroot as well.
  cat /usr/lib/binfmt.d/qemu-aarch64.conf >"$binfmt/register" 2>/dev/null ||
    skip "qemu's arm64 handler cannot be registered with binfmt_misc"
fi

# Build the driver in both trees (the DLLs are built by make).
for dir in win64 arm64; do
  cmake --build "$build/$dir" -j "$jobs" --target transcript_driver >/dev/null || exit 1
done

start=$SECONDS
if [ ! -x "$tree/usr/lib/wine/wine64" ]; then
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | grep -v security | head -n 1)
  echo "making the arm64 Debian tree with Wine 10 (once; kept in $build/arm64-wine)"
  rm -rf "$tree.partial" && mkdir -p "$work" &&
    mmdebstrap --quiet --arch=arm64 --variant=extract --include=wine64,wine,libwine,dash,coreutils,bash \
      trixie "$tree.partial" "${mirror:-http://deb.debian.org/debian}" || exit 1
  mv "$tree.partial" "$tree"
  echo "tree made in $((SECONDS - start)) s"
fi

# arm64_wine and x86_64_wine run a command with the environment of one Wine.
# In the tree, qemu's default processor would have branch-target
# identification, for which Wine's ntdll.so is marked while its dispatcher
# has no landing pads: Wine then stalls on illegal instructions. A
# Neoverse-N1 has no such feature. Both runs alike: the same user (whose
# name is in the folder paths), no Mono or Gecko set-up, no debugger for the
# guard check's crash, and Wine's null display driver, with which windows
# exist without a display. Nothing may take more than ten minutes.
overrides="mscoree,mshtml=;winedbg.exe=d"
arm64_wine() {
  timeout 600 chroot "$tree" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root USER=root QEMU_CPU=neoverse-n1 \
    WINEDEBUG=-all WINEPREFIX=/root/prefix WINEDLLOVERRIDES="$overrides" "$@"
}
x86_64_wine() {
  timeout 600 env -u DISPLAY USER=root WINEPREFIX="$work/prefix-x86-64" WINEDEBUG=-all \
    WINEDLLOVERRIDES="$overrides" "$@"
}

# proc and dev inside the tree only while the stage runs. Wine's server
# lingers after the last program: it is waited for, and the mounts are
# detached even if it still holds them, so that removing the build folder
# can never reach the machine's /dev.
unmount() {
  [ -e "$tree/usr/lib/wine/wineserver64" ] && arm64_wine /usr/lib/wine/wineserver64 -w 2>/dev/null
  umount -l "$tree/dev" 2>/dev/null
  umount -l "$tree/proc" 2>/dev/null
}
trap unmount EXIT
mount -t proc proc "$tree/proc" && mount --bind /dev "$tree/dev" || exit 1

# Each prefix is made once, by the command that chooses the null driver.
for run in arm64_wine x86_64_wine; do
  [ "$run" = arm64_wine ] && prefix="$tree/root/prefix" || prefix="$work/prefix-x86-64"
  [ -f "$prefix/user.reg" ] && continue
  start=$SECONDS
  $run /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 &&
    $run /usr/lib/wine/wineserver64 -w || exit 1
  echo "${run%_wine} Wine prefix made in $((SECONDS - start)) s"
done

mkdir -p "$tree/vantrel" "$work/x86-64"
cp "$build/arm64/bin/Vantrel.dll" "$build/arm64/bin/transcript_driver.exe" "$tree/vantrel/"
cp "$build/win64/bin/Vantrel.dll" "$build/win64/bin/transcript_driver.exe" "$work/x86-64/"

start=$SECONDS
arm64_wine /usr/lib/wine/wine64 'Z:\vantrel\transcript_driver.exe' </dev/null 2>"$work/arm64.log" |
  tr -d '\r' >"$work/arm64.txt"
echo "ARM64: $(arm64_wine /usr/lib/wine/wine64 --version) under qemu-aarch64 (QEMU_CPU=neoverse-n1)," \
  "transcript of $(wc -l <"$work/arm64.txt") lines in $((SECONDS - start)) s"
start=$SECONDS
x86_64_wine /usr/lib/wine/wine64 "$work/x86-64/transcript_driver.exe" </dev/null 2>"$work/x86-64.log" |
  tr -d '\r' >"$work/x86-64.txt"
echo "x86-64: $(x86_64_wine /usr/lib/wine/wine64 --version)," \
  "transcript of $(wc -l <"$work/x86-64.txt") lines in $((SECONDS - start)) s"

status=0
if ! grep -q '^stack guard, exit status after an overrun: 0xC0000409$' "$work/arm64.txt"; then
  echo "the ARM64 DLL's stack guard did not end the process with 0xC0000409"
  status=1
fi
if ! grep -q '^console closes at unload: 1$' "$work/arm64.txt"; then
  echo "the ARM64 transcript is incomplete (the driver stopped early): see $work/arm64.log"
  status=1
fi
if diff -u "$work/x86-64.txt" "$work/arm64.txt"; then
  echo "the ARM64 and x86-64 transcripts are equal"
else
  status=1
fi
exit $status
