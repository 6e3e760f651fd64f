// The processor features the render loops choose between, and how a function asks the compiler
// for AVX2 code in a file otherwise built for SSE2.
#pragma once

#if defined(__GNUC__)
#define LINKMEND_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define LINKMEND_TARGET_AVX2
#endif

// True where the processor and the system offer AVX2. False keeps the render loops (mixing and
// block conversion) to SSE2; both give the same bits, and tests clear it to prove that.
extern bool gUseAvx2;
