// Hot block loops built twice on x86-64: for the baseline (SSE2) and for
// processors with AVX2, chosen once when the program loads. The wider
// registers take four doubles or eight 32-bit samples per instruction and
// have true integer minimum and maximum. Both builds give the same bits:
// the same IEEE operations in the same order, and no fused multiply-add
// (contraction is off for the whole program). Elsewhere (the ARM board) the
// functions are built once, and so they are under ThreadSanitizer, whose
// runtime is not ready yet when the loader picks a build, and with clang (the
// fuzzing build), which wants the attribute on every declaration.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) &&                             \
    !defined(TARVEX_NO_CLONES) && !defined(__SANITIZE_THREAD__)
#define TARVEX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_VECTOR_CLONES
#endif
