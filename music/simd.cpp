// AVX2 detection, asked of the processor directly rather than through the runtime's processor
// model, which costs 4 KB of code.
#include "simd.h"

#include <cstdint>
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

#if defined(__GNUC__)
#define LINKMEND_TARGET_XSAVE __attribute__((target("xsave")))
#else
#define LINKMEND_TARGET_XSAVE
#endif

namespace {

// CPUID leaf `leaf`, sub-leaf 0, into eax, ebx, ecx, edx; all zero when the leaf does not exist.
void Cpuid(unsigned leaf, unsigned regs[4]) {
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
#if defined(_MSC_VER)
    int highest[4];
    __cpuid(highest, 0);
    if (leaf > unsigned(highest[0])) return;
    int out[4];
    __cpuidex(out, int(leaf), 0);
    for (int i = 0; i < 4; ++i) regs[i] = unsigned(out[i]);
#else
    if (leaf > __get_cpuid_max(0, nullptr)) return;
    __cpuid_count(leaf, 0, regs[0], regs[1], regs[2], regs[3]);
#endif
}

LINKMEND_TARGET_XSAVE uint64_t SavedRegisterStates() {
    return _xgetbv(0);
}

// AVX2 in the processor (leaf 7, EBX bit 5), and a system that saves the YMM registers: OSXSAVE
// and AVX (leaf 1, ECX bits 27 and 28) with the SSE and AVX states enabled in XCR0 (bits 1, 2).
bool ProcessorHasAvx2() {
    unsigned regs[4];
    Cpuid(1, regs);
    const unsigned kOsxsaveAndAvx = (1u << 27) | (1u << 28);
    if ((regs[2] & kOsxsaveAndAvx) != kOsxsaveAndAvx) return false;
    if ((SavedRegisterStates() & 6) != 6) return false;
    Cpuid(7, regs);
    return (regs[1] & (1u << 5)) != 0;
}

} // namespace

bool gUseAvx2 = ProcessorHasAvx2();
