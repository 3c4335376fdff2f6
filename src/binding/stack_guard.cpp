// The stack protector's guard and its failure routine, in place of the
// compiler's runtime library: that one seeds the guard at attach with
// CryptAcquireContextA and CryptGenRandom, which load a provider DLL under
// the loader lock. The guard here is seeded from values that are at hand
// without loading anything, as the platform's own compilers seed theirs.

#include <windows.h>

#include <cstdint>

// The seeding and the failure routine must not carry a guard of their own:
// the one runs while the guard changes, the other after it proved corrupt.
#define VANTREL_UNGUARDED __attribute__((no_stack_protector, noinline))

extern "C" {

// Read by every protected frame's prologue and epilogue. The fixed value
// holds only until the constructor below has run.
std::uintptr_t __stack_chk_guard = 0x2DDFA232u;

[[noreturn]] VANTREL_UNGUARDED void __stack_chk_fail(void);
}

namespace {

// One step of a 64-bit mix (the finaliser of splitmix64): every input bit
// reaches every output bit, so sources that differ only in their low bits
// still give unrelated guards.
constexpr std::uint64_t mixed(std::uint64_t value) {
  value ^= value >> 30;
  value *= 0xBF58476D1CE4E5B9ull;
  value ^= value >> 27;
  value *= 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

// The constructor of the highest priority runs first in the library's
// attach, before any frame of the library is live whose guard it could
// invalidate. Only kernel32, loaded in every process, is called.
__attribute__((constructor(101))) VANTREL_UNGUARDED void seedStackGuard() {
  LARGE_INTEGER counter = {};
  QueryPerformanceCounter(&counter);
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  std::uint64_t seed = mixed(static_cast<std::uint64_t>(counter.QuadPart));
  seed = mixed(seed ^ ((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime));
  seed = mixed(seed ^ ((static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) | GetCurrentThreadId()));
  // Where the library and this frame lie differs between processes under
  // address space layout randomisation.
  seed = mixed(seed ^ reinterpret_cast<std::uintptr_t>(&__stack_chk_guard));
  seed = mixed(seed ^ reinterpret_cast<std::uintptr_t>(&counter));
  seed = mixed(seed ^ GetTickCount());
  // Mixed, so its low half alone is as good a guard on 32-bit. Zero would
  // match a frame cleared by an overflow: the fixed value stays then.
  const auto guard = static_cast<std::uintptr_t>(seed);
  if (guard != 0) __stack_chk_guard = guard;
}

}  // namespace

// A frame's guard no longer matches: the stack is corrupt, so nothing on it
// (not even a return address) is used. Where the processor supports it, the
// platform's fail-fast ends the process without running any handler of its
// own; otherwise the process is ended with the same status.
extern "C" void __stack_chk_fail(void) {
  if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
#elif defined(__aarch64__)
    register std::uintptr_t code __asm__("x0") = FAST_FAIL_STACK_COOKIE_CHECK_FAILURE;
    __asm__ volatile("brk #0xf003" : : "r"(code) : "memory");
#endif
  }
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  // Not reached: TerminateProcess on the own process does not return.
  __builtin_trap();
}
