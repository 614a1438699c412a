#include "platform/KeepFreedMemory.h"

namespace tolvar {

// The process heap keeps freed blocks and reuses them (its low-fragmentation front end does this
// for the sizes a workbook uses); there is no threshold to raise.
void keepFreedMemory() {}

}  // namespace tolvar
