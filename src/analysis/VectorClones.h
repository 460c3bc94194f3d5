#pragma once

// Marks a hot loop's function to be compiled twice, for the baseline x86-64
// instruction set and for AVX2, the copy chosen once at load time by the CPU
// it runs on. Packages must start on any x86-64 processor, yet most machines
// decoding music today have twice as wide vectors. AVX2 alone brings no fused
// multiply-add, so both copies round every result alike. GCC only: Clang
// does not clone templates.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__)
#define KORVANE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORVANE_VECTOR_CLONES
#endif
