#!/usr/bin/env bash
# Checks the built DLLs for the hardening the README claims, reading the
# binaries themselves with objdump:
#   check-binaries.sh [BUILD]      (default: build)
# Every DLL: ASLR (DYNAMIC_BASE, with HIGH_ENTROPY_VA on 64-bit), no-execute
# data (NX_COMPAT), no link time stamp, no ADVAPI32 import. Each debug DLL,
# whose symbols name the call targets: the stack protector's check calls
# __stack_chk_fail.
set -uo pipefail
build="${1:-build}"
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}  # reads PE32 and PE32+ alike
failed=0

fail() {
  echo "  FAIL $1: $2"
  failed=1
}

# check_headers DLL WIDTH: the PE header's flags, time stamp and imports.
check_headers() {
  local dll="$1" width="$2" headers flag
  if ! headers=$(TZ=UTC "$objdump" -p "$dll"); then
    fail "$dll" "objdump cannot read it"
    return
  fi
  local flags=(DYNAMIC_BASE NX_COMPAT)
  [ "$width" = 64 ] && flags+=(HIGH_ENTROPY_VA)
  for flag in "${flags[@]}"; do
    grep -qE "^[[:space:]]+$flag\$" <<<"$headers" || fail "$dll" "no $flag"
  done
  grep -qE '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970$' <<<"$headers" || fail "$dll" "a link time stamp"
  grep -qiE 'DLL Name: advapi32\.dll' <<<"$headers" && fail "$dll" "imports ADVAPI32"
}

# check_stack_protector DLL: a debug DLL's calls to __stack_chk_fail (i686
# symbols carry an extra leading underscore).
check_stack_protector() {
  local dll="$1" calls
  calls=$("$objdump" -d "$dll" | grep -cE 'call .*<_?__stack_chk_fail>')
  if [ "$calls" -eq 0 ]; then fail "$dll" "no call to __stack_chk_fail"; else echo "  $dll: $calls stack checks"; fi
}

for tree in win32:32 win64:64; do
  dir="$build/${tree%%:*}/bin"
  width="${tree#*:}"
  for dll in "$dir/Vantrel.dll" "$dir/debug/Vantrel.dll"; do
    if [ ! -f "$dll" ]; then
      fail "$dll" "not built"
      continue
    fi
    check_headers "$dll" "$width"
  done
  [ -f "$dir/debug/Vantrel.dll" ] && check_stack_protector "$dir/debug/Vantrel.dll"
done

if [ $failed -ne 0 ]; then
  echo "check-binaries: FAILED"
  exit 1
fi
echo "check-binaries: every DLL has what the README claims"
