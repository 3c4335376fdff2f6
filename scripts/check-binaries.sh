#!/usr/bin/env bash
# Checks what the built DLLs contain.
#   check-binaries.sh BUILD
# Each check is a function over the build trees; the script fails when any
# of them does.
set -uo pipefail
build="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

failed=0
fail() { echo "  FAILED: $*"; failed=1; }

# llvm's tools read the PE files of every architecture built here.
nm=llvm-nm-14
objdump=llvm-objdump-14

# The msvcrt functions a DLL imports, one a line.
msvcrt_imports() {
  "$objdump" -p "$1" | awk '/DLL Name:/ { dll = tolower($3); next }
    dll == "msvcrt.dll" && NF == 2 && $1 ~ /^[0-9]+$/ { print $2 }'
}

# No printf: the library formats its texts itself, so no DLL may carry
# mingw's printf (its formatter, its floating-point conversion and their
# helpers) nor the msvcrt imports that only that code needs. vfprintf stays
# imported: the runtime's start-up code reports a failed relocation with it.
# The x86 DLL stays within 56 KiB.
check_no_printf() {
  local tree dll symbols imports
  for tree in win32 win64 arm64; do
    dll="$build/$tree/bin/debug/Vantrel.dll"
    [ -f "$dll" ] || { fail "$dll is missing"; continue; }
    symbols=$("$nm" "$dll" | awk '$2 ~ /^[TtDdBbRr]$/ { print $3 }' |
      grep -E '(__mingw_(pformat|[a-z]*printf)|__pformat_|__gdtoa|__g_dfmt|__dtoa|__ldtoa)' | sort -u)
    if [ -n "$symbols" ]; then fail "$dll contains mingw's printf:" $symbols; continue; fi
    imports=$(msvcrt_imports "$dll" |
      grep -xE '([a-z_]*printf|localeconv|setlocale|strerror|_?_?_lc_codepage_func|_?_?_mb_cur_max(_func)?)' |
      grep -vx vfprintf)
    if [ -n "$imports" ]; then fail "$dll imports printf's msvcrt functions:" $imports; continue; fi
    echo "  $tree: no mingw printf, $(msvcrt_imports "$dll" | wc -l) msvcrt imports"
  done
  local x86="$build/win32/bin/Vantrel.dll" limit=57344
  if [ -f "$x86" ]; then
    local size
    size=$(stat -c %s "$x86")
    if [ "$size" -le "$limit" ]; then
      echo "  win32: Vantrel.dll $size bytes, within $limit"
    else
      fail "$x86 is $size bytes, over $limit"
    fi
  else
    fail "$x86 is missing"
  fi
}

# The hardening the README claims, read from the PE header and the code:
# every DLL has ASLR (DYNAMIC_BASE, with HIGH_ENTROPY_VA on 64-bit),
# no-execute data (NX_COMPAT), no link time stamp and no ADVAPI32 import
# (the stack guard is seeded without it); each debug DLL, whose symbols name
# the call targets, calls __stack_chk_fail (i686 symbols carry an extra
# leading underscore). GNU objdump does not read ARM64 PE files: LLVM's
# does, in the same layout.
check_hardening() {
  local tree dll headers flag calls dump
  for tree in win32 win64 arm64; do
    local flags=(DYNAMIC_BASE NX_COMPAT)
    [ "$tree" = win32 ] || flags+=(HIGH_ENTROPY_VA)
    dump=objdump
    [ "$tree" = arm64 ] && dump=llvm-objdump-14
    for dll in "$build/$tree/bin/Vantrel.dll" "$build/$tree/bin/debug/Vantrel.dll"; do
      headers=$(TZ=UTC "$dump" -p "$dll") || { fail "$dll cannot be read"; continue; }
      for flag in "${flags[@]}"; do
        grep -qE "^[[:space:]]+$flag\$" <<<"$headers" || fail "$dll lacks $flag"
      done
      grep -qE '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970$' <<<"$headers" || fail "$dll has a link time stamp"
      grep -qiE 'DLL Name: advapi32\.dll' <<<"$headers" && fail "$dll imports ADVAPI32"
    done
    calls=$("$dump" -d "$dll" | grep -cE '(call|bl)[[:space:]].*<_?__stack_chk_fail>')
    if [ "$calls" -gt 0 ]; then
      echo "  $tree: ${flags[*]}, no time stamp, no ADVAPI32, $calls stack checks"
    else
      fail "$dll has no call to __stack_chk_fail"
    fi
  done
}

# Nothing at load that loads a library: GCC's crtbegin.o registers unwind
# tables and, in a 32-bit DLL, calls LoadLibraryA by bare name under the
# loader lock; the x86 DLLs are linked without it.
check_no_frame_registration() {
  local tree dll symbols
  for tree in win32 win64; do
    dll="$build/$tree/bin/debug/Vantrel.dll"
    symbols=$("$nm" "$dll" | grep -oE '_?__(gcc_)?(de)?register_frame[a-z_]*' | sort -u)
    if [ -n "$symbols" ]; then fail "$dll registers unwind tables at load:" $symbols; continue; fi
    echo "  $tree: no unwind-table registration at load"
  done
}

check_no_printf
check_hardening
check_no_frame_registration

exit $failed
