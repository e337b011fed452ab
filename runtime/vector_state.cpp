// Clearing the upper vector state on x86 processors with AVX.
#include "runtime/vector_state.h"

namespace tarvio {

void clear_upper_vector_state() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx = __builtin_cpu_supports("avx");
  if (avx)
    asm volatile("vzeroupper" ::
                     : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7"
#if defined(__x86_64__)
                       ,
                       "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15"
#endif
    );
#endif
}

}  // namespace tarvio
