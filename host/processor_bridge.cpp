// The render layer reaches the host's multiprocessing service only through these three
// functions, so that nothing below the host adapter includes the host's headers.
#include "assim/smp.h"
#include "render/parallel.h"

namespace brumel {

int bridge_numprocs() { return smp_numprocs(); }

void bridge_exec(SliceEntry entry, void* w0, void* w1, void* w2, void* w3, void* w4, void* w5) {
  smp_exec(entry, w0, w1, w2, w3, w4, w5);
}

int bridge_id() { return smp_id(); }

}  // namespace brumel
