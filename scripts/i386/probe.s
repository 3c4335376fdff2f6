# The smallest 32-bit x86 Linux program: exits with 42 through the 32-bit
# system call gate. A kernel that runs 32-bit code returns 42; one that does
# not refuses to start it ("Exec format error").
        .globl _start
_start:
        movl    $1, %eax        # exit
        movl    $42, %ebx
        int     $0x80
