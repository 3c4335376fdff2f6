#!/usr/bin/env bash
# How this machine runs 32-bit x86 Linux code, such as Wine's 32-bit loader:
# natively where the kernel runs it, otherwise under qemu's i386 user-mode
# emulation (some kernels are built without 32-bit support).
#
#   i386.sh mode            prints "native" or "emulated"; VANTREL_EMULATE_I386=1
#                           forces "emulated" on a machine that runs 32-bit code
#   i386.sh probe           exit 0 when the kernel runs 32-bit code, 1 when not
#   i386.sh qemu            fetches qemu-i386 once and prints its path
#   i386.sh run DIR CMD...  runs CMD with every 32-bit program it starts going
#                           through qemu-i386, and the trap-number library
#                           (built into DIR) preloaded; exit 77 when that
#                           cannot be done here
#
# qemu-i386 comes from Debian's qemu-user package, version 10 or later
# (bookworm's 7.2 treats MAP_FIXED_NOREPLACE as a hint, so Wine's address
# reservations land elsewhere): the package is downloaded through a private
# apt state, nothing is installed, and only qemu-i386 (statically linked) is
# unpacked into $VANTREL_TOOLS (default /opt/vantrel-tools).
#
# Wine re-executes its own loader, so the kernel itself must send 32-bit
# programs to qemu: binfmt_misc. `run` registers qemu-i386 in a binfmt_misc
# instance of its own, in a user namespace (Linux 6.7 and later), which no
# other process on the machine sees and which is gone when CMD ends: that
# works the same with and without native 32-bit support, so forcing the
# emulation tests the same path. CMD also runs in a process namespace of its
# own, so that nothing it started outlives it. Where no user namespace can be made, it
# registers machine-wide instead, only when the kernel runs no 32-bit code
# and no entry for 32-bit programs exists.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tools="${VANTREL_TOOLS:-/opt/vantrel-tools}"
qemu="$tools/qemu-i386"
binfmt=/proc/sys/fs/binfmt_misc
# 32-bit x86 ELF executables and shared objects (qemu's own rule for i386).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
magic_hex=7f454c4601010100000000000000000002000300

probe() {
  local dir status=0
  dir=$(mktemp -d)
  as --32 -o "$dir/probe.o" "$here/i386/probe.s" && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" || {
    rm -rf "$dir"
    echo "i386.sh: cannot assemble the 32-bit probe (binutils)" >&2
    return 2
  }
  "$dir/probe" 2>/dev/null || status=$?
  rm -rf "$dir"
  [ "$status" -eq 42 ]
}

fetch_qemu() {
  [ -x "$qemu" ] && return 0
  mkdir -p "$tools"
  exec 8>"$tools/.lock"
  flock 8
  [ -x "$qemu" ] && return 0
  # The archive this machine already uses: the release's backports first
  # (a small index), then the release itself.
  local codename uri work suite version=""
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  uri=$(apt-cache policy | awk -v suite="$codename/main" '$3 == suite { print $2; exit }')
  [ -n "$uri" ] || { echo "i386.sh: no Debian archive for $codename in apt's sources" >&2; return 1; }
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  local apt=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o Debug::NoLocking=1
    -o APT::Sandbox::User=root -qq)
  for suite in "$codename-backports" "$codename"; do
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" >"$work/sources.list"
    apt-get "${apt[@]}" update || continue
    version=$(apt-cache "${apt[@]}" madison qemu-user |
      awk -F' *[|] *' '{ v = $2; sub(/^[0-9]+:/, "", v); if (v + 0 >= 10) print $2 }' | sort -V | tail -n 1)
    [ -n "$version" ] && break
  done
  if [ -n "$version" ] && (cd "$work" && apt-get "${apt[@]}" download "qemu-user=$version") &&
    dpkg-deb --fsys-tarfile "$work"/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386; then
    mv "$work/usr/bin/qemu-i386" "$qemu"
    rm -rf "$work"
  else
    rm -rf "$work"
    echo "i386.sh: could not fetch qemu-user 10 or later from $codename-backports or $codename" >&2
    return 1
  fi
}

# The trap-number library for 32-bit processes and its empty 64-bit twin,
# found through "$LIB" (lib/i386-linux-gnu or lib/x86_64-linux-gnu).
build_shim() {
  local dir="$1" source="$here/i386/trap_numbers.c" name=vantrel-trap-numbers.so
  local lib32="$dir/lib/i386-linux-gnu/$name" lib64="$dir/lib/x86_64-linux-gnu/$name"
  [ "$lib32" -nt "$source" ] && [ -f "$lib64" ] && return 0
  mkdir -p "$(dirname "$lib32")" "$(dirname "$lib64")"
  clang-14 --target=i386-linux-gnu -ffreestanding -fno-stack-protector -nostdlib -shared -fPIC -O2 \
    -Wall -Wextra -Werror -o "$lib32" "$source" /lib/i386-linux-gnu/libc.so.6 &&
    clang-14 -x c /dev/null -shared -nostdlib -o "$lib64"
}

register() {
  local interpreter="$1"
  echo ":qemu-i386:M::$magic:$mask:$interpreter:POCF" >"$binfmt/register"
}

case "${1:-}" in
  probe)
    if probe; then echo "this kernel runs 32-bit x86 code"; else
      echo "this kernel runs no 32-bit x86 code"
      exit 1
    fi
    ;;
  mode)
    if [ "${VANTREL_EMULATE_I386:-0}" = 1 ] || ! probe; then echo emulated; else echo native; fi
    ;;
  qemu)
    fetch_qemu
    echo "$qemu"
    ;;
  run)
    dir="$(realpath -m "$2")"
    shift 2
    fetch_qemu
    build_shim "$dir"
    export LD_PRELOAD="$dir/\$LIB/vantrel-trap-numbers.so${LD_PRELOAD:+ $LD_PRELOAD}"
    if unshare --user --map-root-user --mount mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null; then
      # A process namespace too: whatever CMD leaves running (a Wine process
      # still starting, slowly, under qemu when wineserver ended the others)
      # ends with it.
      exec unshare --user --map-root-user --mount --pid --fork --mount-proc "$0" in-namespace "$@"
    fi
    if probe; then
      echo "i386.sh: no user namespace for a private binfmt_misc, and 32-bit code runs natively here" >&2
      exit 77
    fi
    mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
    if ! grep -qlx "magic $magic_hex" "$binfmt"/* 2>/dev/null; then register "$qemu"; fi
    exec "$@"
    ;;
  in-namespace)
    shift
    mount -t binfmt_misc binfmt_misc "$binfmt"
    register "$qemu"
    exec "$@"
    ;;
  *)
    sed -n '2,/^set /p' "$0" | sed '$d' >&2
    exit 2
    ;;
esac
