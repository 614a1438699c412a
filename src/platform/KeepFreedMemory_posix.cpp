#include "platform/KeepFreedMemory.h"

#include <malloc.h>

namespace tolvar {

void keepFreedMemory()
{
    constexpr int kKeep = 64 * 1024 * 1024;
    // Large blocks from the heap rather than mapped one by one, and the heap's free top kept.
    mallopt(M_MMAP_THRESHOLD, kKeep);
    mallopt(M_TRIM_THRESHOLD, kKeep);
    mallopt(M_TOP_PAD, kKeep / 4);
}

}  // namespace tolvar
