#include "platform/pf_heap.h"

#include <malloc.h>

void pf_heap_return_large_blocks() noexcept {
    // Setting the threshold also ends its adjustment.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}
