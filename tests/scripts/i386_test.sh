#!/usr/bin/env bash
# The 32-bit probe's two answers, and what `make test` says when the 32-bit
# Wine suite cannot run. The probe's answers are taken in a user namespace
# whose own binfmt_misc hands 32-bit programs to a stand-in: one that runs
# them (ends with the probe's 42) and one that refuses them.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1"; else
    echo "FAILED: $1: expected \"$2\", got \"$3\""
    failures=$((failures + 1))
  fi
}

# Stand-ins: 64-bit programs that end with 42 (as the probe does when it
# runs) or 126 (as a shell reports a program the kernel cannot start).
for code in 42 126; do
  printf '.globl _start\n_start: movl $60, %%eax\n movl $%d, %%edi\n syscall\n' "$code" >"$work/exit$code.s"
  as -o "$work/exit$code.o" "$work/exit$code.s" && ld -o "$work/exit$code" "$work/exit$code.o"
done
probe_with() {  # the probe's answer where 32-bit programs go to $1
  unshare --user --map-root-user --mount bash -c '
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
    printf ":i386:M::%s:%s:%s:F" "\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00" \
      "\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff" "$1" \
      >/proc/sys/fs/binfmt_misc/register &&
    "$2/scripts/i386.sh" probe; echo "exit $?"' _ "$1" "$root" | tr '\n' ' '
}
check "the probe where 32-bit code runs" "this kernel runs 32-bit x86 code exit 0 " "$(probe_with "$work/exit42")"
check "the probe where it does not" "this kernel runs no 32-bit x86 code exit 1 " "$(probe_with "$work/exit126")"

# Emulation forced, and no qemu-i386 to be had: the stage is skipped with its
# reason, and the summary says plainly that the 32-bit DLL was not run.
summary=$(VANTREL_EMULATE_I386=1 VANTREL_TOOLS=/dev/null/none "$root/scripts/run-tests.sh" "$work/build" 0 1 wine32)
status=$?
check "the run's exit status" 0 "$status"
check "the stage's line" 1 "$(grep -c '^  wine32 *SKIPPED (' <<<"$summary")"
check "the last line" "make test: no stage failed, but the 32-bit DLL was NOT run" \
  "$(tail -n 1 <<<"$summary" | sed 's/ (SKIPPED.*//')"
check "no claim that all passed" 0 "$(grep -c 'all passed' <<<"$summary")"
[ $failures -eq 0 ]
