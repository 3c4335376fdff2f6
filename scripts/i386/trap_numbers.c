// Preloaded into 32-bit processes that run under qemu's i386 user-mode
// emulation: gives Wine's fault handlers the trap number that qemu leaves out.
//
// A real kernel stores the processor's trap number in the signal context
// (REG_TRAPNO). qemu stores -1 for every fault, and Wine's 32-bit handlers
// decide by that number what the fault was: -1 turns a null write into an
// illegal instruction (0xC000001D instead of 0xC0000005) and a stack
// overflow into a dead process. This library wraps each handler a program
// installs for a fault signal and, before calling it, fills in the number
// the kernel would have given, from the signal and its si_code, and for an
// `int N` the program may not execute (Windows' __fastfail is `int 0x29`)
// the error code the processor gives, which names N.
//
// Built freestanding (no headers: the layouts below are i386 glibc's) and
// linked against the i386 libc, whose sigaction does the real work. A
// 64-bit twin without code sits beside it, so that one LD_PRELOAD entry
// naming "$LIB" loads silently into 64-bit processes too. The wrapper runs
// before Wine's handler has set up its segment registers, so it must not
// touch thread-local storage (hence no stack protector).
//
// Its tests are the Wine suite's crash cases run emulated
// (VANTREL_EMULATE_I386=1 make wine-test): a null write, a crash while
// exiting and a smashed stack guard must end their child processes with
// the same codes as natively.

typedef void (*InfoHandler)(int, void*, void*);

// glibc's struct sigaction on i386.
struct Action {
  InfoHandler handler;    // sa_sigaction (or sa_handler without SA_SIGINFO)
  unsigned long mask[32]; // sigset_t
  int flags;
  void (*restorer)(void);
};

enum { kSaSiginfo = 4 };
enum { kSigIll = 4, kSigTrap = 5, kSigBus = 7, kSigFpe = 8, kSigSegv = 11, kSignals = 65 };
// si_code values.
enum { kTrapBreakpoint = 1, kTrapTrace = 2, kFpeIntDivide = 1, kFpeIntOverflow = 2, kBusAlign = 1 };
enum { kSiKernel = 0x80 };
// x86 trap numbers.
enum { kDivide = 0, kSingleStep = 1, kBreakpoint = 3, kOverflow = 4, kInvalidOpcode = 6,
       kProtection = 13, kPageFault = 14, kX87Float = 16, kAlignment = 17 };

// The context: uc_flags, uc_link, uc_stack (3 words), then the general
// registers, of which REG_TRAPNO, REG_ERR and REG_EIP are the 13th to 15th.
enum { kGregsOffset = 20, kRegTrapno = 12, kRegErr = 13, kRegEip = 14 };
enum { kIntImm8 = 0xCD };

extern int __sigaction(int, const struct Action*, struct Action*);

static InfoHandler programHandlers[kSignals];

static int trapNumber(int signal, int code) {
  switch (signal) {
    case kSigSegv: return code == kSiKernel ? kProtection : kPageFault;
    case kSigBus: return code == kBusAlign ? kAlignment : kPageFault;
    case kSigFpe:
      if (code == kFpeIntDivide) return kDivide;
      return code == kFpeIntOverflow ? kOverflow : kX87Float;
    case kSigTrap: return code == kTrapTrace ? kSingleStep : kBreakpoint;
    default: return kInvalidOpcode;
  }
}

static void callProgramHandler(int signal, void* info, void* context) {
  int* gregs = (int*)((char*)context + kGregsOffset);
  if (gregs[kRegTrapno] == -1) {
    gregs[kRegTrapno] = trapNumber(signal, ((int*)info)[2]);
    if (gregs[kRegTrapno] == kProtection) {
      // An interrupt gate closed to user code: the error code is the gate's
      // number shifted by 3, with bit 1 set ("in the interrupt table").
      const unsigned char* instruction = (const unsigned char*)gregs[kRegEip];
      gregs[kRegErr] = instruction[0] == kIntImm8 ? (instruction[1] << 3) | 2 : 0;
    }
  }
  programHandlers[signal](signal, info, context);
}

static int isFaultSignal(int signal) {
  return signal == kSigSegv || signal == kSigBus || signal == kSigFpe || signal == kSigTrap ||
         signal == kSigIll;
}

// The program sees its own handler wherever it reads one back.
int sigaction(int signal, const struct Action* action, struct Action* old) {
  if (!isFaultSignal(signal)) return __sigaction(signal, action, old);
  struct Action wrapped;
  const struct Action* given = action;
  if (action && (action->flags & kSaSiginfo)) {
    wrapped = *action;
    wrapped.handler = callProgramHandler;
    given = &wrapped;
  }
  InfoHandler before = programHandlers[signal];
  int result = __sigaction(signal, given, old);
  if (result != 0) return result;
  if (old && old->handler == callProgramHandler) old->handler = before;
  if (action) programHandlers[signal] = given == &wrapped ? action->handler : 0;
  return 0;
}
