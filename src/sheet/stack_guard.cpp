// The stack protector's guard and failure routine for the DLL's own code: MinGW-w64's
// runtime has none, and GCC's libssp would import CryptGenRandom and msvcrt's file
// calls, so the DLL keeps to the system functions it already imports.
#include <cstdint>
#include <x86intrin.h>

extern "C" {
std::uintptr_t __stack_chk_guard = 0x2b992ddfu;

// Ends the process at once, as Windows ends one whose /GS cookie was overwritten:
// nothing of a smashed stack may run on, not even a host's exception handler. int 0x29
// is __fastfail (FAST_FAIL_STACK_COOKIE_CHECK_FAILURE in ecx); where a Windows version
// lacks it, it faults, and the trap after it faults again.
[[noreturn]] void __stack_chk_fail() {
    __asm__ volatile("int $0x29" : : "c"(2) : "memory");
    __builtin_trap();
}
}

namespace {

// Runs from the runtime's start-up, before DllMain and before any function of ours that
// carries a cookie; the start-up code has none. The guard mixes the cycle counter with
// the stack's and the image's randomised addresses; its low byte stays zero, so that a
// string copy cannot write it.
__attribute__((constructor(101), no_stack_protector)) void seed_stack_guard() {
    int on_stack = 0;
    std::uintptr_t seed = static_cast<std::uintptr_t>(__rdtsc());
    seed ^= reinterpret_cast<std::uintptr_t>(&on_stack) * 0x9e3779b1u;
    seed ^= reinterpret_cast<std::uintptr_t>(&__stack_chk_guard) << 7;
    __stack_chk_guard = (seed ^ (seed >> 16)) & ~static_cast<std::uintptr_t>(0xff);
}

} // namespace
